// Shared helpers of the fuzz targets: a property check that stops the run with a message, and
// ways to carve structured arguments out of the fuzzer's bytes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace lumra::fuzz {

// A broken property is a crash for libFuzzer, which then saves the input that caused it.
#define FUZZ_CHECK(condition, detail)                                                            \
  do {                                                                                           \
    if (!(condition)) {                                                                          \
      std::fprintf(stderr, "%s:%d: property failed: %s\n  %s\n", __FILE__, __LINE__, #condition, \
                   std::string(detail).c_str());                                                 \
      std::abort();                                                                              \
    }                                                                                            \
  } while (0)

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The input cut at every NUL byte: a command line of words (empty words included).
inline std::vector<std::string> SplitWords(std::string_view text) {
  std::vector<std::string> words;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '\0') {
      words.emplace_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  return words;
}

// Reads little pieces off the front of the input; past the end every read gives zeros.
class ByteReader {
 public:
  explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}
  bool Empty() const { return bytes_.empty(); }
  std::uint8_t Byte() {
    if (bytes_.empty()) return 0;
    const auto b = static_cast<std::uint8_t>(bytes_.front());
    bytes_.remove_prefix(1);
    return b;
  }
  std::uint64_t Uint64() {
    std::uint64_t value = 0;
    for (int i = 0; i < 8; ++i) value = value << 8 | Byte();
    return value;
  }
  // A text of at most `maximum` bytes, its length taken from the next byte.
  std::string Text(std::size_t maximum = 255) {
    const std::size_t length = std::min<std::size_t>(Byte(), maximum);
    const std::size_t taken = std::min(length, bytes_.size());
    std::string text(bytes_.substr(0, taken));
    bytes_.remove_prefix(taken);
    return text;
  }
  std::string_view Rest() const { return bytes_; }

 private:
  std::string_view bytes_;
};

// Length of the well-formed UTF-8 sequence at the front of `text` (surrogates and overlong
// forms are not well formed), or 0 when the first byte starts none.
inline std::size_t WellFormedLength(std::string_view text) {
  const auto at = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const auto inRange = [&](std::size_t i, std::uint8_t low, std::uint8_t high) {
    return i < text.size() && at(i) >= low && at(i) <= high;
  };
  const std::uint8_t lead = at(0);
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return inRange(1, 0x80, 0xBF) ? 2 : 0;
  if (lead >= 0xE0 && lead <= 0xEF) {
    const std::uint8_t low = lead == 0xE0 ? 0xA0 : 0x80;
    const std::uint8_t high = lead == 0xED ? 0x9F : 0xBF;
    return inRange(1, low, high) && inRange(2, 0x80, 0xBF) ? 3 : 0;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    const std::uint8_t low = lead == 0xF0 ? 0x90 : 0x80;
    const std::uint8_t high = lead == 0xF4 ? 0x8F : 0xBF;
    return inRange(1, low, high) && inRange(2, 0x80, 0xBF) && inRange(3, 0x80, 0xBF) ? 4 : 0;
  }
  return 0;
}

// Text with every byte of invalid UTF-8 replaced by U+FFFD, as a JSON writer must render it.
inline std::string ReplaceInvalidUTF8(std::string_view text) {
  std::string out;
  while (!text.empty()) {
    const std::size_t length = WellFormedLength(text);
    if (length == 0) {
      out += "\xEF\xBF\xBD";
      text.remove_prefix(1);
    } else {
      out.append(text.substr(0, length));
      text.remove_prefix(length);
    }
  }
  return out;
}

}  // namespace lumra::fuzz
