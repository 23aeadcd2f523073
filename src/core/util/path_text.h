#pragma once
// Paths as text: what messages and text files show of a path.

#include <filesystem>
#include <string>

namespace vm31 {

// The path in its generic form ("/" between the parts on every system) as UTF-8. Never the
// narrow native form, which on Windows is the ANSI code page and loses characters.
inline std::string PathText(const std::filesystem::path& path) {
  const std::u8string text = path.generic_u8string();
  return std::string(text.begin(), text.end());
}

// A path from UTF-8 text (arguments, environment values, ini entries): every character kept,
// where a path made from a narrow string takes it in the ANSI code page on Windows.
inline std::filesystem::path PathFromUtf8(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

}  // namespace vm31
