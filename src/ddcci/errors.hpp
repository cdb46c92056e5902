#pragma once

#include "support/error.hpp"

namespace lumra::ddcci {

// The DDC/CI frame sentinels, matched by identity with support::Is.
extern const support::Error kErrChecksum;
extern const support::Error kErrUnsupportedVCP;
extern const support::Error kErrMalformedSource;
extern const support::Error kErrInvalidProtocolFlag;
extern const support::Error kErrInvalidLength;
extern const support::Error kErrNullReply;
extern const support::Error kErrUnexpectedOpcode;
extern const support::Error kErrVCPCodeMismatch;
extern const support::Error kErrOffsetMismatch;
extern const support::Error kErrUnexpectedResult;

}  // namespace lumra::ddcci
