#include "support/format.hpp"

#include <cstdio>

#include "support/hex.hpp"
#include "support/quote.hpp"

namespace lumra::support {

namespace {

struct Spec {
  bool Space = false;
  bool Zero = false;
  int Width = 0;
  char Verb = 0;
};

std::string Padded(const std::string& digits, const Spec& spec, bool negative) {
  const std::string sign = negative ? "-" : "";
  const std::size_t length = sign.size() + digits.size();
  const std::size_t width = static_cast<std::size_t>(spec.Width);
  if (length >= width) return sign + digits;
  const std::string pad(width - length, spec.Zero ? '0' : ' ');
  return spec.Zero ? sign + pad + digits : pad + sign + digits;
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
  if (arg.Kind() == FormatArg::ArgKind::Signed) {
    const std::int64_t value = arg.AsSigned();
    negative = value < 0;
    magnitude =
        negative ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value);
  } else {
    magnitude = arg.AsUnsigned();
  }
  return Padded(Digits(magnitude, spec.Verb), spec, negative);
}

std::string FormatBytes(std::span<const std::uint8_t> bytes, const Spec& spec) {
  const HexCase letters = spec.Verb == 'X' ? HexCase::Upper : HexCase::Lower;
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0 && spec.Space) out += ' ';
    AppendHexByte(out, bytes[i], letters);
  }
  return out;
}

std::string FormatOne(const FormatArg& arg, const Spec& spec) {
  switch (arg.Kind()) {
    case FormatArg::ArgKind::Text:
      return spec.Verb == 'q' ? QuoteGo(arg.Text()) : std::string(arg.Text());
    case FormatArg::ArgKind::Error:
      return spec.Verb == 'q' ? QuoteGo(arg.AsError().Message()) : arg.AsError().Message();
    case FormatArg::ArgKind::Bytes:
      if (spec.Verb == 'x' || spec.Verb == 'X') return FormatBytes(arg.Bytes(), spec);
      return FormatBytes(arg.Bytes(), Spec{true, false, 0, 'X'});
    case FormatArg::ArgKind::Signed:
    case FormatArg::ArgKind::Unsigned:
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
      (format[j] == ' ' ? spec.Space : spec.Zero) = true;
    }
    for (; j < format.size() && format[j] >= '0' && format[j] <= '9'; ++j) {
      spec.Width = spec.Width * 10 + (format[j] - '0');
    }
    if (j >= format.size()) {
      out += "%!(NOVERB)";
      break;
    }
    spec.Verb = format[j];
    i = j;
    if (spec.Verb == '%') {
      out += '%';
      continue;
    }
    if (next >= args.size()) {
      out += "%!";
      out += spec.Verb;
      out += "(MISSING)";
      continue;
    }
    const FormatArg& arg = args[next++];
    if (spec.Verb == 'w' && arg.Kind() == FormatArg::ArgKind::Error) onWrapped(arg.AsError());
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
