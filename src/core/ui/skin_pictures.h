#pragma once
// The pictures a skin consists of: one enumerator per picture and one table that gives its file
// name (appended to the skin folder), what draws it and its size. Adding a picture is one
// enumerator and one row here and the same line in res/skins/pictures.txt, the list the build
// renders and res/skins/generate.py writes; a core test keeps that file equal to this table and
// the skin file test checks every bundled skin against it.

#include <array>
#include <cstddef>
#include <string_view>

#include "core/ui/ports.h"

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
  // The picture's size in the bundled skins: an element has the size of the rectangle it is
  // drawn into; the window picture and the pages cover the window; a dialog's background is the
  // dialog's window.
  Size size;
};

// The main window: its layout needs at least 875 x 644 (layout::kFaceSize).
inline constexpr Size kWindowPictureSize{884, 654};
// A popup dialog: the frame buttons reach 375, 274 (the fire-key explanations x = 390).
inline constexpr Size kDialogPictureSize{392, 286};
// The Windows-key dialog is taller: its 11-entry list reaches y = 306.
inline constexpr Size kWindowsDialogPictureSize{392, 312};

// The enumerators are spelt without their enumeration's name to keep the rows on one line.
inline constexpr std::array<SkinPictureRow, kSkinPictureCount> kSkinPictures = [] {
  using enum SkinPicture;
  using enum SkinPictureKind;
  // clang-format off
  return std::array<SkinPictureRow, kSkinPictureCount>{{
    {kMain,              "/main.png",                   kWindow,  kWindowPictureSize},
    {kBasicPage,         "/BasicSet2.png",              kPage,    kWindowPictureSize},
    {kAdvancedPage,      "/AdvancedSet2.png",           kPage,    kWindowPictureSize},
    {kTickOff,           "/Pane.png",                   kElement, {16, 16}},
    {kTickOn,            "/PaneMakingTick.png",         kElement, {16, 16}},
    {kDropdownNormal,    "/DropdownBox-normal.png",     kElement, {211, 21}},
    {kDropdownOver,      "/DropdownBox-over.png",       kElement, {211, 21}},
    {kDpiCellDark,       "/slider-DPI-dark.png",        kElement, {16, 16}},
    {kDpiCellLight,      "/slider-DPI-light.png",       kElement, {16, 16}},
    {kRateCellDark,      "/slider-RP-dark.png",         kElement, {70, 11}},
    {kRateCellLight,     "/slider-RP-light.png",        kElement, {70, 11}},
    {kSliderCellDark,    "/slider-dark.png",            kElement, {24, 11}},
    {kSliderCellLight,   "/slider-light.png",           kElement, {24, 11}},
    {kButtonNormal,      "/button-normal.png",          kElement, {105, 21}},
    {kButtonOver,        "/button-over.png",            kElement, {105, 21}},
    {kCloseNormal,       "/button-close-normal.png",    kElement, {18, 18}},
    {kCloseOver,         "/button-close-over.png",      kElement, {18, 18}},
    {kMinimiseNormal,    "/button-min-normal.png",      kElement, {18, 18}},
    {kMinimiseOver,      "/button-min-over.png",        kElement, {18, 18}},
    {kBasicTabNormal,    "/button-PrePage-normal.png",  kElement, {40, 40}},
    {kBasicTabOver,      "/button-PrePage-over.png",    kElement, {40, 40}},
    {kAdvancedTabNormal, "/button-NextPage-normal.png", kElement, {40, 40}},
    {kAdvancedTabOver,   "/button-NextPage-over.png",   kElement, {40, 40}},
    {kSkinsButtonNormal, "/button-Skins-normal.png",    kElement, {18, 18}},
    {kSkinsButtonOver,   "/button-Skins-over.png",      kElement, {18, 18}},
    {kSingleKeyDialog,   "/single-key.png",             kDialog,  kDialogPictureSize},
    {kComboKeyDialog,    "/combo-key.png",              kDialog,  kDialogPictureSize},
    {kMediaKeyDialog,    "/media-key.png",              kDialog,  kDialogPictureSize},
    {kWindowsKeyDialog,  "/windows-key.png",            kDialog,  kWindowsDialogPictureSize},
    {kFireKeyDialog,     "/fire-key.png",               kDialog,  kDialogPictureSize},
    {kDelayDialog,       "/delay-time.png",             kDialog,  kDialogPictureSize},
    {kMacroKeyDialog,    "/macro-key.png",              kDialog,  kDialogPictureSize},
    {kSkinsDialog,       "/skins.png",                  kDialog,  kDialogPictureSize},
  }};
  // clang-format on
}();

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
