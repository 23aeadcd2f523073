#include "core/ui/fonts.h"

#include <array>

namespace vm31 {
namespace {

constexpr std::string_view kHeiti = "黑体";
constexpr std::string_view kSongti = "宋体";
constexpr std::string_view kArial = "Arial";
constexpr std::string_view kTahoma = "Tahoma";

constexpr std::array<std::string_view, 3> kHeitiFamilies{"WenQuanYi Micro Hei", "Noto Sans CJK SC",
                                                         kHeiti};
constexpr std::array<std::string_view, 3> kSongtiFamilies{"Noto Serif CJK SC", "AR PL UMing CN",
                                                          kSongti};
constexpr std::array<std::string_view, 2> kArialFamilies{"Liberation Sans", kArial};
constexpr std::array<std::string_view, 2> kTahomaFamilies{"DejaVu Sans", kTahoma};

constexpr int kNormalWeight = 400;
constexpr int kTitleWeight = 700;

}  // namespace

FontSpec CreateUiFont(UiLanguage language, FontRole role, SystemVersion version) {
  const bool title = role == FontRole::kTitle;
  const int weight = title ? kTitleWeight : kNormalWeight;
  switch (language) {
    case UiLanguage::kSimplifiedChinese: {
      const bool heiti = version.major == 6 && version.minor == 2;
      return FontSpec{std::string(heiti ? kHeiti : kSongti), title ? 18 : 13, weight};
    }
    case UiLanguage::kTraditionalChinese:
      return FontSpec{std::string(kHeiti), title ? 18 : 13, weight};
    case UiLanguage::kEnglish:
      break;
  }
  return title ? FontSpec{std::string(kTahoma), 18, weight}
               : FontSpec{std::string(kArial), 14, weight};
}

std::span<const std::string_view> FontFamiliesFor(std::string_view face) {
  if (face == kHeiti) return kHeitiFamilies;
  if (face == kSongti) return kSongtiFamilies;
  if (face == kArial) return kArialFamilies;
  if (face == kTahoma) return kTahomaFamilies;
  return {};
}

}  // namespace vm31
