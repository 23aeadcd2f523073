// Checks every skin folder the program can pick (the rendered skins of the build, or the folder
// VM31_SKINS_DIR names): all 33 pictures are present as PNG files, sized for the rectangles the
// program draws them into, and shaped so that the persistent back buffer never keeps traces of a
// previous picture (the program draws over what is there, with per-pixel alpha).
#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QString>

#include <array>
#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

enum class Kind {
  kFace,     // the window (main picture, the pages) or a popup background: opaque everywhere
  kElement,  // drawn at a rectangle: at most the rectangle's size
};

struct Picture {
  const char* name;
  Kind kind;
  int width;  // element: the rectangle; face: the least size that holds its layout
  int height;
  bool rounded;       // the corners must be transparent
  bool carries_text;  // the program redraws text on it: its inside must be opaque
};

// Rectangles of the main window's elements and the layouts of the popup windows.
constexpr std::array<Picture, 33> kPictures{{
    {"main", Kind::kFace, 875, 644, false, false},
    {"BasicSet2", Kind::kFace, 875, 644, false, false},
    {"AdvancedSet2", Kind::kFace, 875, 644, false, false},
    {"Pane", Kind::kElement, 16, 16, true, false},
    {"PaneMakingTick", Kind::kElement, 16, 16, true, false},
    {"DropdownBox-normal", Kind::kElement, 211, 21, true, true},
    {"DropdownBox-over", Kind::kElement, 211, 21, true, true},
    {"slider-DPI-dark", Kind::kElement, 16, 16, true, false},
    {"slider-DPI-light", Kind::kElement, 16, 16, true, false},
    {"slider-RP-dark", Kind::kElement, 70, 11, true, false},
    {"slider-RP-light", Kind::kElement, 70, 11, true, false},
    {"slider-dark", Kind::kElement, 24, 11, false, false},
    {"slider-light", Kind::kElement, 24, 11, false, false},
    {"button-normal", Kind::kElement, 105, 21, true, true},
    {"button-over", Kind::kElement, 105, 21, true, true},
    {"button-close-normal", Kind::kElement, 18, 18, false, false},
    {"button-close-over", Kind::kElement, 18, 18, true, false},
    {"button-min-normal", Kind::kElement, 18, 18, false, false},
    {"button-min-over", Kind::kElement, 18, 18, true, false},
    {"button-PrePage-normal", Kind::kElement, 40, 40, true, false},
    {"button-PrePage-over", Kind::kElement, 40, 40, true, false},
    {"button-NextPage-normal", Kind::kElement, 40, 40, true, false},
    {"button-NextPage-over", Kind::kElement, 40, 40, true, false},
    {"button-Skins-normal", Kind::kElement, 18, 18, false, false},
    {"button-Skins-over", Kind::kElement, 18, 18, true, false},
    // Popups: the close button ends at 370, 24 and OK and Cancel at 375, 274; beyond that each
    // dialog's own controls: the fire-key explanations reach x = 390, the Windows list y = 306.
    {"single-key", Kind::kFace, 375, 274, false, false},
    {"combo-key", Kind::kFace, 375, 274, false, false},
    {"media-key", Kind::kFace, 375, 274, false, false},
    {"windows-key", Kind::kFace, 375, 306, false, false},
    {"fire-key", Kind::kFace, 390, 274, false, false},
    {"delay-time", Kind::kFace, 375, 274, false, false},
    {"macro-key", Kind::kFace, 375, 274, false, false},
    {"skins", Kind::kFace, 375, 274, false, false},
}};

// Pictures drawn over each other at the same place. `first` is drawn over `second` to take its
// place (restoring a hover, unticking, darkening a cell), so it must cover every pixel of it.
struct Cover {
  const char* first;
  const char* second;
};
constexpr std::array<Cover, 23> kCovers{{
    {"button-normal", "button-over"},
    {"button-over", "button-normal"},
    {"DropdownBox-normal", "DropdownBox-over"},
    {"DropdownBox-over", "DropdownBox-normal"},
    {"button-close-normal", "button-close-over"},
    {"button-min-normal", "button-min-over"},
    {"button-Skins-normal", "button-Skins-over"},
    {"button-PrePage-normal", "button-PrePage-over"},
    {"button-PrePage-over", "button-PrePage-normal"},
    {"button-NextPage-normal", "button-NextPage-over"},
    {"button-NextPage-over", "button-NextPage-normal"},
    {"Pane", "PaneMakingTick"},
    {"PaneMakingTick", "Pane"},
    {"slider-DPI-dark", "slider-DPI-light"},
    {"slider-DPI-light", "slider-DPI-dark"},
    {"slider-RP-dark", "slider-RP-light"},
    {"slider-RP-light", "slider-RP-dark"},
    {"slider-dark", "slider-light"},
    {"slider-light", "slider-dark"},
    // Both pages are drawn over the main picture and over each other.
    {"BasicSet2", "AdvancedSet2"},
    {"AdvancedSet2", "BasicSet2"},
    {"BasicSet2", "main"},
    {"AdvancedSet2", "main"},
}};

QString SkinsRoot() {
  const char* from_env = std::getenv("VM31_SKINS_DIR");
  return QString::fromUtf8(from_env != nullptr && *from_env != '\0' ? from_env : VM31_SKINS_DIR);
}

std::vector<std::string> SkinFolders() {
  std::vector<std::string> names;
  for (const QString& name : QDir(SkinsRoot()).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    names.push_back(name.toStdString());
  }
  return names;
}

QImage Load(const QString& folder, const char* name) {
  return QImage(folder + "/" + name + ".png").convertToFormat(QImage::Format_ARGB32);
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

TEST_P(SkinFolderTest, EveryPictureIsAPngSizedForItsPlace) {
  const QImage main = Load(folder(), "main");
  for (const Picture& picture : kPictures) {
    SCOPED_TRACE(picture.name);
    const QString path = folder() + "/" + picture.name + ".png";
    QImageReader reader(path);
    ASSERT_EQ(reader.format(), QByteArray("png")) << path.toStdString();
    const QImage image = Load(folder(), picture.name);
    ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
    EXPECT_TRUE(QImage(path).hasAlphaChannel() || !picture.rounded);
    if (picture.kind == Kind::kElement) {
      EXPECT_LE(image.width(), picture.width);
      EXPECT_LE(image.height(), picture.height);
    } else {
      EXPECT_GE(image.width(), picture.width);
      EXPECT_GE(image.height(), picture.height);
      // A popup must fit over the main window; a page must not reach past the window.
      EXPECT_LE(image.width(), main.width());
      EXPECT_LE(image.height(), main.height());
      EXPECT_EQ(FirstTransparent(image, 0, 0, image.width(), image.height()), "");
    }
    if (picture.rounded) {
      EXPECT_LT(qAlpha(image.pixel(0, 0)), 255);
      EXPECT_LT(qAlpha(image.pixel(image.width() - 1, image.height() - 1)), 255);
    }
    if (picture.carries_text) {
      EXPECT_EQ(FirstTransparent(image, 3, 3, image.width() - 3, image.height() - 3), "");
    }
  }
}

TEST_P(SkinFolderTest, APictureCoversThePictureItReplaces) {
  for (const Cover& cover : kCovers) {
    SCOPED_TRACE(std::string(cover.first) + " over " + cover.second);
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
