#include "ddcci/errors.hpp"

namespace lumra::ddcci {

using support::Error;

const Error kErrChecksum = Error::New("DDC/CI checksum mismatch");
const Error kErrUnsupportedVCP = Error::New("DDC/CI VCP feature is unsupported");
const Error kErrMalformedSource = Error::New("DDC/CI reply has malformed source");
const Error kErrInvalidProtocolFlag = Error::New("DDC/CI reply has invalid protocol flag");
const Error kErrInvalidLength = Error::New("DDC/CI reply has invalid length");
const Error kErrNullReply = Error::New("DDC/CI null response");
const Error kErrUnexpectedOpcode = Error::New("DDC/CI reply has unexpected opcode");
const Error kErrVCPCodeMismatch = Error::New("DDC/CI reply VCP code mismatch");
const Error kErrOffsetMismatch = Error::New("DDC/CI capabilities offset mismatch");
const Error kErrUnexpectedResult = Error::New("DDC/CI reply has unexpected result code");

}  // namespace lumra::ddcci
