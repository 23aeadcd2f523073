#pragma once
// The pictures a skin consists of: one enumerator per picture and one table that gives its file
// name (appended to the skin folder) and what draws it. Adding a picture is one enumerator and
// one row; the skin file test, the build's rendering list and res/skins/generate.py follow this
// table.

#include <array>
#include <cstddef>
#include <string_view>

namespace vm31 {

enum class SkinPicture {
  kMain,
  kBasicPage,
  kAdvancedPage,
  kTickOff,
  kTickOn,
  kDropdownNormal,
  kDropdownOver,
  kDpiCellDark,
  kDpiCellLight,
  kRateCellDark,
  kRateCellLight,
  kSliderCellDark,
  kSliderCellLight,
  kButtonNormal,
  kButtonOver,
  kCloseNormal,
  kCloseOver,
  kMinimiseNormal,
  kMinimiseOver,
  kBasicTabNormal,
  kBasicTabOver,
  kAdvancedTabNormal,
  kAdvancedTabOver,
  kSkinsButtonNormal,
  kSkinsButtonOver,
  kSingleKeyDialog,
  kComboKeyDialog,
  kMediaKeyDialog,
  kWindowsKeyDialog,
  kFireKeyDialog,
  kDelayDialog,
  kMacroKeyDialog,
  kSkinsDialog,
};
inline constexpr std::size_t kSkinPictureCount =
    static_cast<std::size_t>(SkinPicture::kSkinsDialog) + 1;

// What a picture is: the main window's background, a page face drawn over it, an element drawn
// into a rectangle of the main window's layout, or a popup dialog's background.
enum class SkinPictureKind { kWindow, kPage, kElement, kDialog };

struct SkinPictureRow {
  SkinPicture picture;
  std::string_view fileName;  // begins with "/"
  SkinPictureKind kind;
};

inline constexpr std::array<SkinPictureRow, kSkinPictureCount> kSkinPictures{{
    {SkinPicture::kMain, "/main.png", SkinPictureKind::kWindow},
    {SkinPicture::kBasicPage, "/BasicSet2.png", SkinPictureKind::kPage},
    {SkinPicture::kAdvancedPage, "/AdvancedSet2.png", SkinPictureKind::kPage},
    {SkinPicture::kTickOff, "/Pane.png", SkinPictureKind::kElement},
    {SkinPicture::kTickOn, "/PaneMakingTick.png", SkinPictureKind::kElement},
    {SkinPicture::kDropdownNormal, "/DropdownBox-normal.png", SkinPictureKind::kElement},
    {SkinPicture::kDropdownOver, "/DropdownBox-over.png", SkinPictureKind::kElement},
    {SkinPicture::kDpiCellDark, "/slider-DPI-dark.png", SkinPictureKind::kElement},
    {SkinPicture::kDpiCellLight, "/slider-DPI-light.png", SkinPictureKind::kElement},
    {SkinPicture::kRateCellDark, "/slider-RP-dark.png", SkinPictureKind::kElement},
    {SkinPicture::kRateCellLight, "/slider-RP-light.png", SkinPictureKind::kElement},
    {SkinPicture::kSliderCellDark, "/slider-dark.png", SkinPictureKind::kElement},
    {SkinPicture::kSliderCellLight, "/slider-light.png", SkinPictureKind::kElement},
    {SkinPicture::kButtonNormal, "/button-normal.png", SkinPictureKind::kElement},
    {SkinPicture::kButtonOver, "/button-over.png", SkinPictureKind::kElement},
    {SkinPicture::kCloseNormal, "/button-close-normal.png", SkinPictureKind::kElement},
    {SkinPicture::kCloseOver, "/button-close-over.png", SkinPictureKind::kElement},
    {SkinPicture::kMinimiseNormal, "/button-min-normal.png", SkinPictureKind::kElement},
    {SkinPicture::kMinimiseOver, "/button-min-over.png", SkinPictureKind::kElement},
    {SkinPicture::kBasicTabNormal, "/button-PrePage-normal.png", SkinPictureKind::kElement},
    {SkinPicture::kBasicTabOver, "/button-PrePage-over.png", SkinPictureKind::kElement},
    {SkinPicture::kAdvancedTabNormal, "/button-NextPage-normal.png", SkinPictureKind::kElement},
    {SkinPicture::kAdvancedTabOver, "/button-NextPage-over.png", SkinPictureKind::kElement},
    {SkinPicture::kSkinsButtonNormal, "/button-Skins-normal.png", SkinPictureKind::kElement},
    {SkinPicture::kSkinsButtonOver, "/button-Skins-over.png", SkinPictureKind::kElement},
    {SkinPicture::kSingleKeyDialog, "/single-key.png", SkinPictureKind::kDialog},
    {SkinPicture::kComboKeyDialog, "/combo-key.png", SkinPictureKind::kDialog},
    {SkinPicture::kMediaKeyDialog, "/media-key.png", SkinPictureKind::kDialog},
    {SkinPicture::kWindowsKeyDialog, "/windows-key.png", SkinPictureKind::kDialog},
    {SkinPicture::kFireKeyDialog, "/fire-key.png", SkinPictureKind::kDialog},
    {SkinPicture::kDelayDialog, "/delay-time.png", SkinPictureKind::kDialog},
    {SkinPicture::kMacroKeyDialog, "/macro-key.png", SkinPictureKind::kDialog},
    {SkinPicture::kSkinsDialog, "/skins.png", SkinPictureKind::kDialog},
}};

// The table is in enumerator order, so a picture's row is found by its value.
constexpr const SkinPictureRow& SkinPictureInfo(SkinPicture picture) {
  return kSkinPictures[static_cast<std::size_t>(picture)];
}
constexpr std::string_view SkinPictureFile(SkinPicture picture) {
  return SkinPictureInfo(picture).fileName;
}

constexpr bool SkinPicturesInOrder() {
  for (std::size_t i = 0; i < kSkinPictures.size(); ++i) {
    if (static_cast<std::size_t>(kSkinPictures[i].picture) != i) return false;
  }
  return true;
}
static_assert(SkinPicturesInOrder(), "kSkinPictures must list the pictures in enumerator order");

}  // namespace vm31
