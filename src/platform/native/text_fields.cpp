#include "platform/native/text_fields.hpp"

#include <cstring>
#include <vector>

namespace lumra::native {

namespace {

bool is_continuation(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

}  // namespace

bool copy_text_field(char* field, std::size_t capacity, std::string_view text) {
  if (capacity == 0) return false;
  std::size_t length = text.size();
  const bool fits = length < capacity;
  if (!fits) {
    length = capacity - 1;
    // Never end in the middle of a character.
    while (length > 0 && is_continuation(text[length])) --length;
  }
  std::memcpy(field, text.data(), length);
  std::memset(field + length, 0, capacity - length);
  return fits;
}

bool copy_cf_string(char* field, std::size_t capacity, CFTypeRef value) {
  if (capacity == 0) return false;
  field[0] = '\0';
  if (value == nullptr || CFGetTypeID(value) != CFStringGetTypeID()) return false;
  const auto string = static_cast<CFStringRef>(value);
  const CFIndex size =
      CFStringGetMaximumSizeForEncoding(CFStringGetLength(string), kCFStringEncodingUTF8) + 1;
  if (size <= 0) return false;
  std::vector<char> utf8(static_cast<std::size_t>(size));
  if (!CFStringGetCString(string, utf8.data(), size, kCFStringEncodingUTF8)) return false;
  return copy_text_field(field, capacity, std::string_view(utf8.data()));
}

}  // namespace lumra::native
