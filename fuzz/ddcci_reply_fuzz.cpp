// ParseVCPReply and ParseCapabilitiesReply on arbitrary reply bytes (the first input byte is
// the requested VCP code), checked against a reference decision written from the frame rules:
// which check fails first decides the error's sentinel, and a success carries exactly the
// reply's bytes. The reply is copied into a buffer of its exact size, so a read past it is
// caught by AddressSanitizer.
#include <vector>

#include "ddcci/errors.hpp"
#include "ddcci/frame.hpp"
#include "fuzz_check.hpp"

namespace {

namespace ddcci = lumra::ddcci;
using lumra::support::Error;

// The sentinel the frame check must fail with, or nullptr when the frame is sound.
const Error* FrameProblem(const std::vector<std::uint8_t>& r) {
  if (r.size() < 3) return &ddcci::kErrInvalidLength;
  if (r[0] != 0x6E) return &ddcci::kErrMalformedSource;
  if ((r[1] & 0x80) == 0) return &ddcci::kErrInvalidProtocolFlag;
  const std::size_t n = r[1] & 0x7F;
  if (r.size() < n + 3) return &ddcci::kErrInvalidLength;
  std::uint8_t sum = 0x50;
  for (std::size_t i = 0; i < n + 3; ++i) sum ^= r[i];
  if (sum != 0) return &ddcci::kErrChecksum;
  if (n == 0) return &ddcci::kErrNullReply;
  return nullptr;
}

const Error* VCPProblem(const std::vector<std::uint8_t>& r, std::uint8_t code) {
  if (const Error* frame = FrameProblem(r)) return frame;
  const std::size_t n = r[1] & 0x7F;
  if (n != 8 || r[2] != 0x02) return &ddcci::kErrUnexpectedOpcode;
  if (r[4] != code) return &ddcci::kErrVCPCodeMismatch;
  if (r[3] == 1) return &ddcci::kErrUnsupportedVCP;
  if (r[3] != 0) return &ddcci::kErrUnexpectedResult;
  return nullptr;
}

const Error* CapabilitiesProblem(const std::vector<std::uint8_t>& r) {
  if (const Error* frame = FrameProblem(r)) return frame;
  const std::size_t n = r[1] & 0x7F;
  if (n < 3 || r[2] != 0xE3) return &ddcci::kErrUnexpectedOpcode;
  return nullptr;
}

// The sentinels that are returned as themselves, never wrapped in a longer message.
bool ReturnedBare(const Error* sentinel) {
  return sentinel == &ddcci::kErrChecksum || sentinel == &ddcci::kErrNullReply ||
         sentinel == &ddcci::kErrUnsupportedVCP;
}

void CheckError(const Error& err, const Error* expected) {
  FUZZ_CHECK(err, "accepted a reply the frame rules refuse: " + expected->Message());
  FUZZ_CHECK(lumra::support::Is(err, *expected), err.Message() + ", want " + expected->Message());
  if (ReturnedBare(expected)) {
    FUZZ_CHECK(err.SameAs(*expected), "wrapped: " + err.Message());
  } else {
    FUZZ_CHECK(err.Message().starts_with(expected->Message() + ": "), err.Message());
  }
}

void CheckVCP(const std::vector<std::uint8_t>& reply, std::uint8_t code) {
  const auto parsed = ddcci::ParseVCPReply(reply, code);
  if (const Error* expected = VCPProblem(reply, code)) {
    CheckError(parsed.Err, expected);
    FUZZ_CHECK(parsed.Value.Current == 0 && parsed.Value.Maximum == 0 && !parsed.Value.Momentary,
               "a failure carried a value");
    return;
  }
  FUZZ_CHECK(parsed.Ok(), parsed.Err.Message());
  const ddcci::VCPValue& v = parsed.Value;
  FUZZ_CHECK(v.Maximum == (reply[6] << 8 | reply[7]) && v.Current == (reply[8] << 8 | reply[9]),
             "values differ from the reply bytes");
  FUZZ_CHECK(v.Momentary == (reply[5] == 1), "momentary flag");
  FUZZ_CHECK(
      v.Raw[0] == reply[6] && v.Raw[1] == reply[7] && v.Raw[2] == reply[8] && v.Raw[3] == reply[9],
      "raw bytes");
}

void CheckCapabilities(const std::vector<std::uint8_t>& reply) {
  const auto parsed = ddcci::ParseCapabilitiesReply(reply);
  if (const Error* expected = CapabilitiesProblem(reply)) {
    CheckError(parsed.Err, expected);
    FUZZ_CHECK(parsed.Value.Offset == 0 && parsed.Value.Fragment.empty(), "a failure carried data");
    return;
  }
  FUZZ_CHECK(parsed.Ok(), parsed.Err.Message());
  const std::size_t n = reply[1] & 0x7F;
  FUZZ_CHECK(parsed.Value.Offset == (reply[3] << 8 | reply[4]), "offset");
  const std::vector<std::uint8_t> fragment(reply.begin() + 5,
                                           reply.begin() + 2 + static_cast<long>(n));
  FUZZ_CHECK(parsed.Value.Fragment == fragment, "fragment differs from the payload");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t code = data[0];
  const std::vector<std::uint8_t> reply(data + 1, data + size);
  CheckVCP(reply, code);
  CheckCapabilities(reply);
  // A reply built by the reference rules always parses: a Get VCP reply for the same code.
  std::vector<std::uint8_t> sound = {0x6E, 0x88, 0x02, 0x00, code, 0x00, 0, 0, 0, 0, 0};
  for (std::size_t i = 0; i < 4 && i + 1 < size; ++i) sound[6 + i] = data[1 + i];
  std::uint8_t sum = 0x50;
  for (std::size_t i = 0; i + 1 < sound.size(); ++i) sum ^= sound[i];
  sound.back() = sum;
  FUZZ_CHECK(ddcci::ParseVCPReply(sound, code).Ok(), "a sound reply was refused");
  return 0;
}
