// The table of a skin's pictures: the list the build renders and res/skins/generate.py writes is
// the same table, and every element picture has the size of the rectangles it is drawn into.

#include "core/ui/skin_pictures.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>

#include "core/app/layout.h"
#include "core/ui/key_dialogs.h"
#include "core/ui/popup_frame.h"

namespace vm31 {
namespace {

std::string_view KindName(SkinPictureKind kind) {
  switch (kind) {
    case SkinPictureKind::kWindow:
      return "window";
    case SkinPictureKind::kPage:
      return "page";
    case SkinPictureKind::kElement:
      return "element";
    case SkinPictureKind::kDialog:
      return "dialog";
  }
  return "?";
}

// res/skins/pictures.txt without its comment lines and blank lines.
std::string PictureListLines() {
  std::ifstream in(std::string(VM31_SOURCE_DIR) + "/res/skins/pictures.txt");
  EXPECT_TRUE(in.is_open());
  std::string lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line[0] != '#') lines += line + "\n";
  }
  return lines;
}

TEST(SkinPictures, TheListTheBuildRendersIsTheTable) {
  std::string expected;
  for (const SkinPictureRow& row : kSkinPictures) {
    ASSERT_TRUE(row.fileName.starts_with("/") && row.fileName.ends_with(".png")) << row.fileName;
    const std::string_view name = row.fileName.substr(1, row.fileName.size() - 5);
    expected += std::string(name) + " " + std::string(KindName(row.kind)) + " " +
                std::to_string(row.size.width) + " " + std::to_string(row.size.height) + "\n";
  }
  EXPECT_EQ(PictureListLines(), expected)
      << "res/skins/pictures.txt must list the pictures of src/core/ui/skin_pictures.h";
}

TEST(SkinPictures, AnElementHasTheSizeOfEveryRectangleItIsDrawnInto) {
  struct Place {
    SkinPicture picture;
    Rect rect;
  };
  const Place places[] = {
      {SkinPicture::kTickOff, layout::DpiTick(0)},
      {SkinPicture::kTickOff, layout::kPointerPrecisionTick},
      {SkinPicture::kTickOff, CMacroDialog::PlayPane(1)},
      {SkinPicture::kTickOn, layout::DpiTick(3)},
      {SkinPicture::kTickOn, layout::kScrollOneScreenTick},
      {SkinPicture::kTickOn, CMacroDialog::PlayPane(3)},
      {SkinPicture::kDropdownNormal, layout::KeyRow(0)},
      {SkinPicture::kDropdownOver, layout::KeyRow(6)},
      {SkinPicture::kDpiCellDark, layout::DpiCell(0, 0)},
      {SkinPicture::kDpiCellLight, layout::DpiCell(3, 11)},
      {SkinPicture::kRateCellDark, layout::kReportRateSegments[0]},
      {SkinPicture::kRateCellLight, layout::kReportRateSegments[3]},
      {SkinPicture::kSliderCellDark, layout::SliderCell(0, 0)},
      {SkinPicture::kSliderCellLight, layout::SliderCell(2, 10)},
      {SkinPicture::kButtonNormal, layout::kOkButton},
      {SkinPicture::kButtonNormal, layout::kModeAButton},
      {SkinPicture::kButtonNormal, layout::kSystemDefaultButton},
      {SkinPicture::kButtonOver, layout::kNewMacroButton},
      {SkinPicture::kButtonOver, PopupButtonRects::kOk},
      {SkinPicture::kButtonOver, PopupButtonRects::kCancel},
      {SkinPicture::kCloseNormal, layout::kCloseButton},
      {SkinPicture::kCloseOver, PopupButtonRects::kClose},
      {SkinPicture::kMinimiseNormal, layout::kMinimiseButton},
      {SkinPicture::kMinimiseOver, layout::kMinimiseButton},
      {SkinPicture::kBasicTabNormal, layout::kBasicTab},
      {SkinPicture::kBasicTabOver, layout::kBasicTab},
      {SkinPicture::kAdvancedTabNormal, layout::kAdvancedTab},
      {SkinPicture::kAdvancedTabOver, layout::kAdvancedTab},
      {SkinPicture::kSkinsButtonNormal, layout::kSkinsButton},
      {SkinPicture::kSkinsButtonOver, layout::kSkinsButton},
  };
  std::set<SkinPicture> placed;
  for (const Place& place : places) {
    const SkinPictureRow& row = SkinPictureInfo(place.picture);
    EXPECT_EQ(row.size, (Size{place.rect.width(), place.rect.height()})) << row.fileName;
    placed.insert(place.picture);
  }
  for (const SkinPictureRow& row : kSkinPictures) {
    EXPECT_EQ(placed.count(row.picture) == 1, row.kind == SkinPictureKind::kElement)
        << row.fileName << ": every element, and nothing else, is drawn into a rectangle";
  }
}

}  // namespace
}  // namespace vm31
