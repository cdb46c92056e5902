#include "support/format.hpp"

#include <cstdio>

#include "support/hex.hpp"
#include "support/quote.hpp"

namespace lumra::support {

namespace {

struct Spec {
  bool space = false;
  bool zero = false;
  int width = 0;
  char verb = 0;
};

std::string Padded(const std::string& digits, const Spec& spec, bool negative) {
  const std::string sign = negative ? "-" : "";
  const std::size_t length = sign.size() + digits.size();
  const std::size_t width = static_cast<std::size_t>(spec.width);
  if (length >= width) return sign + digits;
  const std::string pad(width - length, spec.zero ? '0' : ' ');
  return spec.zero ? sign + pad + digits : pad + sign + digits;
}

std::string Digits(std::uint64_t value, char verb) {
  if (verb == 'd' || verb == 's' || verb == 'v') return std::to_string(value);
  const char* alphabet = HexDigits(verb == 'X' ? HexCase::Upper : HexCase::Lower);
  std::string out;
  do {
    out.insert(out.begin(), alphabet[value % 16]);
    value /= 16;
  } while (value != 0);
  return out;
}

std::string FormatInteger(const FormatArg& arg, const Spec& spec) {
  bool negative = false;
  std::uint64_t magnitude = 0;
  if (arg.kind() == FormatArg::Kind::Signed) {
    const std::int64_t value = arg.as_signed();
    negative = value < 0;
    magnitude = negative ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value);
  } else {
    magnitude = arg.as_unsigned();
  }
  return Padded(Digits(magnitude, spec.verb), spec, negative);
}

std::string FormatBytes(std::span<const std::uint8_t> bytes, const Spec& spec) {
  const HexCase letters = spec.verb == 'X' ? HexCase::Upper : HexCase::Lower;
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0 && spec.space) out += ' ';
    AppendHexByte(out, bytes[i], letters);
  }
  return out;
}

std::string FormatOne(const FormatArg& arg, const Spec& spec) {
  switch (arg.kind()) {
    case FormatArg::Kind::Text:
      return spec.verb == 'q' ? QuoteGo(arg.text()) : std::string(arg.text());
    case FormatArg::Kind::Error:
      return spec.verb == 'q' ? QuoteGo(arg.error().Message()) : arg.error().Message();
    case FormatArg::Kind::Bytes:
      if (spec.verb == 'x' || spec.verb == 'X') return FormatBytes(arg.bytes(), spec);
      return FormatBytes(arg.bytes(), Spec{true, false, 0, 'X'});
    case FormatArg::Kind::Signed:
    case FormatArg::Kind::Unsigned:
      return FormatInteger(arg, spec);
  }
  return {};
}

// Walks the format once; `onWrapped` sees each argument consumed by %w.
template <typename OnWrapped>
std::string Render(std::string_view format, std::span<const FormatArg> args, OnWrapped onWrapped) {
  std::string out;
  out.reserve(format.size() + 16);
  std::size_t next = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      out += format[i];
      continue;
    }
    Spec spec;
    std::size_t j = i + 1;
    for (; j < format.size() && (format[j] == ' ' || format[j] == '0'); ++j) {
      (format[j] == ' ' ? spec.space : spec.zero) = true;
    }
    for (; j < format.size() && format[j] >= '0' && format[j] <= '9'; ++j) {
      spec.width = spec.width * 10 + (format[j] - '0');
    }
    if (j >= format.size()) {
      out += "%!(NOVERB)";
      break;
    }
    spec.verb = format[j];
    i = j;
    if (spec.verb == '%') {
      out += '%';
      continue;
    }
    if (next >= args.size()) {
      out += "%!";
      out += spec.verb;
      out += "(MISSING)";
      continue;
    }
    const FormatArg& arg = args[next++];
    if (spec.verb == 'w' && arg.kind() == FormatArg::Kind::Error) onWrapped(arg.error());
    out += FormatOne(arg, spec);
  }
  return out;
}

}  // namespace

std::string FormatArgs(std::string_view format, std::span<const FormatArg> args) {
  return Render(format, args, [](const Error&) {});
}

Error ErrorfArgs(std::string_view format, std::span<const FormatArg> args) {
  std::vector<Error> wrapped;
  std::string message = Render(format, args, [&](const Error& err) {
    if (err) wrapped.push_back(err);
  });
  return Error::Wrapping(std::move(message), std::move(wrapped));
}

}  // namespace lumra::support
