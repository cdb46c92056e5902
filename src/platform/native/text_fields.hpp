#pragma once

#include <cstddef>
#include <string_view>

#include "platform/native/platform_api.hpp"

namespace lumra::native {

// Copies `text` into a fixed field of `capacity` bytes: at most capacity − 1 bytes and a NUL,
// cut at a UTF-8 character boundary when it does not fit. True when all of it fitted.
bool CopyTextField(char* field, std::size_t capacity, std::string_view text);

// Copies a CoreFoundation string as UTF-8 into a fixed field, cut as above when too long.
// False when the value is not a string or cannot be converted, or did not fit.
bool CopyCfString(char* field, std::size_t capacity, CFTypeRef value);

}  // namespace lumra::native
