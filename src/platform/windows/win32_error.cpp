#include "platform/windows/win32_error.h"

#include <windows.h>

#include <shellapi.h>

namespace vm31::windows_platform {

std::string Utf8FromWide(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
  return out;
}

std::wstring WideFromUtf8(const std::string& text) {
  if (text.empty()) return {};
  const int size =
      ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
  return out;
}

std::vector<std::string> CommandLineWords() {
  int count = 0;
  wchar_t** words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> result;
  if (words == nullptr) return result;
  for (int i = 0; i < count; ++i) result.push_back(Utf8FromWide(words[i]));
  ::LocalFree(words);
  return result;
}

void UseUtf8Console() {
  ::SetConsoleOutputCP(CP_UTF8);
}

Error Win32Error(const std::string& what, unsigned long code) {
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = length > 0 && text != nullptr ? std::wstring(text, length) : L"";
  if (text != nullptr) ::LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                              message.back() == L' ' || message.back() == L'.')) {
    message.pop_back();
  }
  std::string described = what + ": " + (message.empty() ? "system error" : Utf8FromWide(message)) +
                          " (error " + std::to_string(code) + ")";
  ErrorCode kind = ErrorCode::kIo;
  if (code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION) {
    kind = ErrorCode::kAccessDenied;
  } else if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ||
             code == ERROR_DEVICE_NOT_CONNECTED || code == ERROR_DEV_NOT_EXIST) {
    kind = ErrorCode::kNotFound;
  }
  return MakeError(kind, described);
}

}  // namespace vm31::windows_platform
