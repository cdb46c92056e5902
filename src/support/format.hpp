#pragma once

#include <concepts>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "support/error.hpp"

namespace lumra::support {

// One argument of a printf-style format: a text, an integer, a byte sequence or an error.
class FormatArg {
 public:
  enum class ArgKind { Text, Signed, Unsigned, Bytes, Error };

  FormatArg(std::string_view text) : kind_(ArgKind::Text), text_(text) {}
  FormatArg(const std::string& text) : kind_(ArgKind::Text), text_(text) {}
  FormatArg(const char* text) : kind_(ArgKind::Text), text_(text) {}
  template <std::signed_integral T>
  FormatArg(T value) : kind_(ArgKind::Signed), signed_(value) {}
  template <std::unsigned_integral T>
  FormatArg(T value) : kind_(ArgKind::Unsigned), unsigned_(value) {}
  FormatArg(bool) = delete;
  FormatArg(std::span<const std::uint8_t> bytes) : kind_(ArgKind::Bytes), bytes_(bytes) {}
  FormatArg(const std::vector<std::uint8_t>& bytes) : kind_(ArgKind::Bytes), bytes_(bytes) {}
  FormatArg(const Error& err) : kind_(ArgKind::Error), error_(&err) {}

  ArgKind Kind() const { return kind_; }
  std::string_view Text() const { return text_; }
  std::int64_t AsSigned() const { return signed_; }
  std::uint64_t AsUnsigned() const { return unsigned_; }
  std::span<const std::uint8_t> Bytes() const { return bytes_; }
  const support::Error& AsError() const { return *error_; }

 private:
  ArgKind kind_;
  std::string_view text_;
  std::int64_t signed_ = 0;
  std::uint64_t unsigned_ = 0;
  std::span<const std::uint8_t> bytes_;
  const support::Error* error_ = nullptr;
};

// Fills a format with its arguments in order. Verbs: %s and %v (text, error message or
// decimal number), %d, %x, %X with optional zero padding and width (%02X, %016x), "% X" for
// byte sequences (upper-case pairs separated by spaces), %q (quoted text) and %w (the message
// of a wrapped error). A missing argument is written "%!v(MISSING)".
std::string FormatArgs(std::string_view format, std::span<const FormatArg> args);

template <typename... Args>
std::string Format(std::string_view format, const Args&... args) {
  const FormatArg list[] = {FormatArg(args)..., FormatArg("")};
  return FormatArgs(format, std::span<const FormatArg>(list, sizeof...(Args)));
}

// Builds an error from a format; every %w argument is recorded as wrapped, in order.
Error ErrorfArgs(std::string_view format, std::span<const FormatArg> args);

template <typename... Args>
Error Errorf(std::string_view format, const Args&... args) {
  const FormatArg list[] = {FormatArg(args)..., FormatArg("")};
  return ErrorfArgs(format, std::span<const FormatArg>(list, sizeof...(Args)));
}

}  // namespace lumra::support
