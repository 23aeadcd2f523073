#pragma once
// The user-interface fonts: which face, height and weight each language uses for the normal
// body text and for the larger titles, and the installed families that stand in for the
// program's face names on this platform.

#include <span>
#include <string_view>

#include "core/text/text_table.h"
#include "core/ui/ports.h"

namespace vm31 {

enum class FontRole { kNormal, kTitle };

// The system version the Simplified Chinese font choice depends on (major, minor). Only 6.2
// selects "黑体" for Simplified Chinese; every other version, and every non-Windows system,
// selects "宋体".
struct SystemVersion {
  int major = 0;
  int minor = 0;
};

// The font of `role` in `language`: normal weight 400, title weight 700.
//   Simplified Chinese: "黑体" on version 6.2, else "宋体"; 13 normal, 18 title.
//   Traditional Chinese: "黑体", 13 normal, 18 title.
//   English: "Arial" 14 normal, "Tahoma" 18 title.
FontSpec CreateUiFont(UiLanguage language, FontRole role, SystemVersion version = {});

// The installed families to try, best first, for one of the program's face names: "黑体" ->
// WenQuanYi Micro Hei, Noto Sans CJK SC; "宋体" -> Noto Serif CJK SC, AR PL UMing CN;
// "Arial" -> Liberation Sans; "Tahoma" -> DejaVu Sans. Each list ends with the face name itself
// (a system that has the original face uses it). An unknown face gives an empty list: the host
// then asks for the face as named.
std::span<const std::string_view> FontFamiliesFor(std::string_view face);

}  // namespace vm31
