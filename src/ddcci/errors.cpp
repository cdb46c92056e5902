#include "ddcci/errors.hpp"

namespace lumra::ddcci {

using support::Error;

const Error ErrChecksum = Error::New("DDC/CI checksum mismatch");
const Error ErrUnsupportedVCP = Error::New("DDC/CI VCP feature is unsupported");
const Error ErrMalformedSource = Error::New("DDC/CI reply has malformed source");
const Error ErrInvalidProtocolFlag = Error::New("DDC/CI reply has invalid protocol flag");
const Error ErrInvalidLength = Error::New("DDC/CI reply has invalid length");
const Error ErrNullReply = Error::New("DDC/CI null response");
const Error ErrUnexpectedOpcode = Error::New("DDC/CI reply has unexpected opcode");
const Error ErrVCPCodeMismatch = Error::New("DDC/CI reply VCP code mismatch");
const Error ErrOffsetMismatch = Error::New("DDC/CI capabilities offset mismatch");
const Error ErrUnexpectedResult = Error::New("DDC/CI reply has unexpected result code");

}  // namespace lumra::ddcci
