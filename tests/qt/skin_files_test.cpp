// Checks every skin folder the program can pick (the rendered skins of the build, or the folder
// VM31_SKINS_DIR names): every picture of the skin picture table is present as a PNG file of the
// table's size, and shaped so that the persistent back buffer never keeps traces of a previous
// picture (the program draws over what is there, with per-pixel alpha).
#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QString>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/app/layout.h"
#include "core/ui/skin_pictures.h"

namespace {

using vm31::SkinPicture;
using vm31::SkinPictureKind;
using vm31::SkinPictureRow;

bool Among(SkinPicture picture, std::initializer_list<SkinPicture> pictures) {
  return std::find(pictures.begin(), pictures.end(), picture) != pictures.end();
}

// The corners must be transparent.
bool Rounded(SkinPicture picture) {
  using enum SkinPicture;
  return Among(picture, {kTickOff, kTickOn, kDropdownNormal, kDropdownOver, kDpiCellDark,
                         kDpiCellLight, kRateCellDark, kRateCellLight, kButtonNormal, kButtonOver,
                         kCloseOver, kMinimiseOver, kBasicTabNormal, kBasicTabOver,
                         kAdvancedTabNormal, kAdvancedTabOver, kSkinsButtonOver});
}

// The program redraws text on it: its inside must be opaque.
bool CarriesText(SkinPicture picture) {
  using enum SkinPicture;
  return Among(picture, {kDropdownNormal, kDropdownOver, kButtonNormal, kButtonOver});
}

// The least size that holds the layout of a window, page or popup background. Popups: the close
// button ends at 370, 24 and OK and Cancel at 375, 274; beyond that each dialog's own controls:
// the fire-key explanations reach x = 390, the Windows list y = 306.
vm31::Size LayoutReach(SkinPicture picture) {
  switch (picture) {
    case SkinPicture::kMain:
    case SkinPicture::kBasicPage:
    case SkinPicture::kAdvancedPage:
      return vm31::layout::kFaceSize;
    case SkinPicture::kWindowsKeyDialog:
      return {375, 306};
    case SkinPicture::kFireKeyDialog:
      return {390, 274};
    default:
      return {375, 274};
  }
}

// Pictures drawn over each other at the same place. `first` is drawn over `second` to take its
// place (restoring a hover, unticking, darkening a cell), so it must cover every pixel of it.
struct Cover {
  SkinPicture first;
  SkinPicture second;
};
constexpr std::array<Cover, 23> kCovers = [] {
  using enum SkinPicture;
  return std::array<Cover, 23>{{
      {kButtonNormal, kButtonOver},
      {kButtonOver, kButtonNormal},
      {kDropdownNormal, kDropdownOver},
      {kDropdownOver, kDropdownNormal},
      {kCloseNormal, kCloseOver},
      {kMinimiseNormal, kMinimiseOver},
      {kSkinsButtonNormal, kSkinsButtonOver},
      {kBasicTabNormal, kBasicTabOver},
      {kBasicTabOver, kBasicTabNormal},
      {kAdvancedTabNormal, kAdvancedTabOver},
      {kAdvancedTabOver, kAdvancedTabNormal},
      {kTickOff, kTickOn},
      {kTickOn, kTickOff},
      {kDpiCellDark, kDpiCellLight},
      {kDpiCellLight, kDpiCellDark},
      {kRateCellDark, kRateCellLight},
      {kRateCellLight, kRateCellDark},
      {kSliderCellDark, kSliderCellLight},
      {kSliderCellLight, kSliderCellDark},
      // Both pages are drawn over the main picture and over each other.
      {kBasicPage, kAdvancedPage},
      {kAdvancedPage, kBasicPage},
      {kBasicPage, kMain},
      {kAdvancedPage, kMain},
  }};
}();

std::string Name(SkinPicture picture) {
  return std::string(vm31::SkinPictureFile(picture).substr(1));
}

QString SkinsRoot() {
  const char* from_env = std::getenv("VM31_SKINS_DIR");
  return QString::fromUtf8(from_env != nullptr && *from_env != '\0' ? from_env : VM31_SKINS_DIR);
}

// The skins this project renders, whose pictures have exactly the table's sizes (VM31_SKINS_DIR
// unset); another skin's pictures need only fit where they are drawn.
bool BundledSkins() {
  const char* from_env = std::getenv("VM31_SKINS_DIR");
  return from_env == nullptr || *from_env == '\0';
}

std::vector<std::string> SkinFolders() {
  std::vector<std::string> names;
  for (const QString& name : QDir(SkinsRoot()).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    names.push_back(name.toStdString());
  }
  return names;
}

QString PicturePath(const QString& folder, SkinPicture picture) {
  return folder + QString::fromUtf8(vm31::SkinPictureFile(picture).data(),
                                    static_cast<qsizetype>(vm31::SkinPictureFile(picture).size()));
}

QImage Load(const QString& folder, SkinPicture picture) {
  return QImage(PicturePath(folder, picture)).convertToFormat(QImage::Format_ARGB32);
}

// The first pixel whose alpha is below 255, as "x,y", or empty when the area is opaque.
std::string FirstTransparent(const QImage& image, int left, int top, int right, int bottom) {
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) {
      if (qAlpha(image.pixel(x, y)) != 255) return std::to_string(x) + "," + std::to_string(y);
    }
  }
  return {};
}

class SkinFolderTest : public testing::TestWithParam<std::string> {
 protected:
  QString folder() const { return SkinsRoot() + "/" + QString::fromStdString(GetParam()); }
};

TEST(SkinFolders, TheDefaultSkinIsThere) {
  EXPECT_TRUE(QDir(SkinsRoot() + "/Dark").exists()) << SkinsRoot().toStdString();
}

TEST_P(SkinFolderTest, EveryPictureIsAPngOfTheTablesSize) {
  const QImage main = Load(folder(), SkinPicture::kMain);
  for (const SkinPictureRow& row : vm31::kSkinPictures) {
    SCOPED_TRACE(Name(row.picture));
    const QString path = PicturePath(folder(), row.picture);
    QImageReader reader(path);
    ASSERT_EQ(reader.format(), QByteArray("png")) << path.toStdString();
    const QImage image = Load(folder(), row.picture);
    ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
    EXPECT_TRUE(QImage(path).hasAlphaChannel() || !Rounded(row.picture));
    if (BundledSkins()) {
      EXPECT_EQ(image.width(), row.size.width);
      EXPECT_EQ(image.height(), row.size.height);
    } else if (row.kind == SkinPictureKind::kElement) {
      // Another skin's element may be smaller than its rectangle, never larger.
      EXPECT_LE(image.width(), row.size.width);
      EXPECT_LE(image.height(), row.size.height);
    }
    if (row.kind != SkinPictureKind::kElement) {
      const vm31::Size reach = LayoutReach(row.picture);
      EXPECT_GE(image.width(), reach.width);
      EXPECT_GE(image.height(), reach.height);
      // A popup must fit over the main window; a page must not reach past the window.
      EXPECT_LE(image.width(), main.width());
      EXPECT_LE(image.height(), main.height());
      EXPECT_EQ(FirstTransparent(image, 0, 0, image.width(), image.height()), "");
    }
    if (Rounded(row.picture)) {
      EXPECT_LT(qAlpha(image.pixel(0, 0)), 255);
      EXPECT_LT(qAlpha(image.pixel(image.width() - 1, image.height() - 1)), 255);
    }
    if (CarriesText(row.picture)) {
      EXPECT_EQ(FirstTransparent(image, 3, 3, image.width() - 3, image.height() - 3), "");
    }
  }
}

TEST_P(SkinFolderTest, APictureCoversThePictureItReplaces) {
  for (const Cover& cover : kCovers) {
    SCOPED_TRACE(Name(cover.first) + " over " + Name(cover.second));
    const QImage first = Load(folder(), cover.first);
    const QImage second = Load(folder(), cover.second);
    ASSERT_FALSE(first.isNull());
    ASSERT_FALSE(second.isNull());
    ASSERT_GE(first.width(), second.width());
    ASSERT_GE(first.height(), second.height());
    std::string uncovered;
    for (int y = 0; y < second.height() && uncovered.empty(); ++y) {
      for (int x = 0; x < second.width(); ++x) {
        if (qAlpha(first.pixel(x, y)) < qAlpha(second.pixel(x, y))) {
          uncovered = std::to_string(x) + "," + std::to_string(y);
          break;
        }
      }
    }
    EXPECT_EQ(uncovered, "");
  }
}

INSTANTIATE_TEST_SUITE_P(Skins, SkinFolderTest, testing::ValuesIn(SkinFolders()),
                         [](const testing::TestParamInfo<std::string>& info) {
                           std::string name;
                           for (char c : info.param)
                             name += std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '_';
                           return name;
                         });

}  // namespace
