#pragma once
// Win32 error codes as the core's errors: the subject, the system's own message.

#include <string>
#include <vector>

#include "core/util/result.h"

namespace vm31::windows_platform {

// "<what>: <the system's message for code> (error <code>)"; kAccessDenied for a refused access,
// kNotFound for a missing file or device, else kIo.
Error Win32Error(const std::string& what, unsigned long code);

// UTF-8 from the system's UTF-16 text and back.
std::string Utf8FromWide(const std::wstring& text);
std::wstring WideFromUtf8(const std::string& text);

// The program's command line split into words (CommandLineToArgvW), the program's name first,
// as UTF-8: every character kept, which argv (the ANSI code page) does not.
std::vector<std::string> CommandLineWords();

// Makes the console show this program's UTF-8 output as such.
void UseUtf8Console();

}  // namespace vm31::windows_platform
