#include "platform/native/text_fields.hpp"

#include <cstring>
#include <vector>

namespace lumra::native {

namespace {

bool IsContinuation(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

}  // namespace

bool CopyTextField(char* field, std::size_t capacity, std::string_view text) {
  if (capacity == 0) return false;
  std::size_t length = text.size();
  const bool fits = length < capacity;
  if (!fits) {
    length = capacity - 1;
    // Never end in the middle of a character.
    while (length > 0 && IsContinuation(text[length])) --length;
  }
  std::memcpy(field, text.data(), length);
  std::memset(field + length, 0, capacity - length);
  return fits;
}

bool CopyCfString(char* field, std::size_t capacity, CFTypeRef value) {
  if (capacity == 0) return false;
  field[0] = '\0';
  if (value == nullptr || CFGetTypeID(value) != CFStringGetTypeID()) return false;
  const auto string = static_cast<CFStringRef>(value);
  const CFIndex size =
      CFStringGetMaximumSizeForEncoding(CFStringGetLength(string), kCFStringEncodingUTF8) + 1;
  if (size <= 0) return false;
  std::vector<char> utf8(static_cast<std::size_t>(size));
  if (!CFStringGetCString(string, utf8.data(), size, kCFStringEncodingUTF8)) return false;
  return CopyTextField(field, capacity, std::string_view(utf8.data()));
}

}  // namespace lumra::native
