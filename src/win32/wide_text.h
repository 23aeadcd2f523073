#pragma once
// UTF-8 (the core's text) to the system's UTF-16 and back, for the shell's Win32 calls.

#include <string>
#include <string_view>

namespace vm31::win32 {

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

}  // namespace vm31::win32
