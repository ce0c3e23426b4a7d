#pragma once

#include <string>
#include <string_view>

namespace quintarel::win32 {

// The model keeps UTF-8; the W functions take UTF-16.
std::wstring Widen(std::string_view utf8);

}  // namespace quintarel::win32
