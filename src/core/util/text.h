#pragma once
// Small text helpers shared by the file formats. Core text is UTF-8.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vm31 {

// Parses text the way the stored files have always been read: leading blanks and one sign are
// accepted, parsing stops at the first character that is not a digit, text without digits gives
// 0. Values beyond the range of a 32-bit signed integer saturate at its ends.
std::int32_t ParseLeadingInt(std::string_view text);

// Returns at most `maxCharacters` characters of `text`, never cutting a UTF-8 sequence in two.
// A byte that does not start a valid sequence counts as one character.
std::string TruncateCharacters(std::string_view text, std::size_t maxCharacters);

// Decodes one UTF-8 sequence at text[i]; returns its length, or 0 for a byte that does not start
// a valid sequence (overlong forms, surrogates, values above U+10FFFF, a sequence cut short).
std::size_t DecodeUtf8(std::string_view text, std::size_t i, char32_t& codePoint);

// Case-insensitive equality for ASCII letters; other bytes must match exactly.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace vm31
