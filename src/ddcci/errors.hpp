#pragma once

#include "support/error.hpp"

namespace lumra::ddcci {

// The DDC/CI frame sentinels, matched by identity with support::Is.
extern const support::Error ErrChecksum;
extern const support::Error ErrUnsupportedVCP;
extern const support::Error ErrMalformedSource;
extern const support::Error ErrInvalidProtocolFlag;
extern const support::Error ErrInvalidLength;
extern const support::Error ErrNullReply;
extern const support::Error ErrUnexpectedOpcode;
extern const support::Error ErrVCPCodeMismatch;
extern const support::Error ErrOffsetMismatch;
extern const support::Error ErrUnexpectedResult;

}  // namespace lumra::ddcci
