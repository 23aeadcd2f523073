// Both pages of the main window rendered by the Qt shell with the rendered default skin: the
// regions that carry no text must hold exactly the skin's own pictures composited over the page
// picture over "/main.png", as the settings decide them.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QPainter>

#include "face_rig.h"
#include "support/temp_folder.h"

namespace vm31 {
namespace {

using testing::FaceRig;
using testing::TempFolder;

const std::filesystem::path kSkins = VM31_SKINS_DIR;
constexpr const char* kSkin = "Dark";

QImage Picture(std::string_view name) {
  return qt::LoadSkinPicture(QString::fromStdString((kSkins / kSkin).string() + std::string(name)));
}

// "/main.png" with the page picture and then `layers` drawn over it, source-over.
QImage Composite(std::string_view page,
                 const std::vector<std::pair<std::string_view, Point>>& layers) {
  QImage image = Picture("/main.png").convertToFormat(QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&image);
  painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  painter.drawImage(QPoint(0, 0), Picture(page));
  for (const auto& [name, at] : layers) painter.drawImage(QPoint(at.x, at.y), Picture(name));
  return image;
}

// The first pixel of `region` where the two images differ, as text; "" when none does.
std::string FirstDifference(const QImage& actual, const QImage& expected, const Rect& region) {
  for (int y = region.top; y < region.bottom; ++y) {
    for (int x = region.left; x < region.right; ++x) {
      if (actual.pixel(x, y) != expected.pixel(x, y)) {
        return "(" + std::to_string(x) + "," + std::to_string(y) + ") " +
               QString::number(actual.pixel(x, y), 16).toStdString() +
               " != " + QString::number(expected.pixel(x, y), 16).toStdString();
      }
    }
  }
  return {};
}

struct Region {
  const char* name;
  Rect rect;
  std::vector<std::pair<std::string_view, Point>> layers;
};

void ExpectRegions(const QImage& buffer, std::string_view page,
                   const std::vector<Region>& regions) {
  for (const Region& region : regions) {
    SCOPED_TRACE(region.name);
    EXPECT_EQ(FirstDifference(buffer, Composite(page, region.layers), region.rect), "");
  }
}

Point At(const Rect& r) {
  return Point{r.left, r.top};
}

MouseConfig Settings() {
  MouseConfig config = FactoryConfig();
  config.at(config_offset::kReportRateCode) = 2;  // 500 Hz
  config.at(config_offset::kDpiLevel + 0) = 1;
  config.at(config_offset::kDpiLevel + 1) = 7;
  config.at(config_offset::kDpiStageEnabled + 2) = 0;
  config.at(config_offset::kPointerSpeedLevel) = 4;
  config.at(config_offset::kEnhancePointerPrecision) = 1;
  return config;
}

TEST(MainPagesRender, BasicPageHoldsTheSkinPicturesWhereTheSettingsPutThem) {
  TempFolder temp;
  FaceRig rig(temp.path(), kSkins, kSkin, 1, Settings());
  const QImage& buffer = rig.window->backBuffer();
  ASSERT_EQ(rig.pages->currentPage(), MainPage::kBasic);

  std::vector<Region> regions{
      {"close", layout::kCloseButton, {{"/button-close-normal.png", At(layout::kCloseButton)}}},
      {"minimise",
       layout::kMinimiseButton,
       {{"/button-min-normal.png", At(layout::kMinimiseButton)}}},
      {"skins", layout::kSkinsButton, {{"/button-Skins-normal.png", At(layout::kSkinsButton)}}},
      {"basic tab", layout::kBasicTab, {{"/button-PrePage-normal.png", At(layout::kBasicTab)}}},
      {"advanced tab",
       layout::kAdvancedTab,
       {{"/button-NextPage-normal.png", At(layout::kAdvancedTab)}}},
  };
  for (int segment = 0; segment < 4; ++segment) {
    const Rect r = layout::kReportRateSegments[static_cast<std::size_t>(segment)];
    std::vector<std::pair<std::string_view, Point>> layers{{"/slider-RP-dark.png", At(r)}};
    if (segment == 2) layers.emplace_back("/slider-RP-light.png", At(r));
    regions.push_back({"rate segment", r, layers});
  }
  const int lit[] = {2, 8, 0, 0};  // stage 3 disabled; stage 4 at the factory level below
  const int stage4 = rig.dlg->mouseConfig().dpiLevel(3) + 1;
  for (int stage = 0; stage < 4; ++stage) {
    const bool enabled = stage != 2;
    regions.push_back(
        {"tick",
         layout::DpiTick(stage),
         {{enabled ? "/PaneMakingTick.png" : "/Pane.png", At(layout::DpiTick(stage))}}});
    const int lights = stage == 3 ? std::min(stage4, 8) : lit[stage];
    for (int level = 0; level < 8; ++level) {
      const Rect cell = layout::DpiCell(stage, level);
      regions.push_back(
          {"dpi cell",
           cell,
           {{level < lights ? "/slider-DPI-light.png" : "/slider-DPI-dark.png", At(cell)}}});
    }
  }
  // Levels 9..12 do not exist for this sensor: the page picture shows there.
  regions.push_back({"no ninth level", layout::DpiCell(0, 8), {}});
  ExpectRegions(buffer, "/BasicSet2.png", regions);
}

TEST(MainPagesRender, AdvancedPageHoldsTheSkinPicturesWhereTheSettingsPutThem) {
  TempFolder temp;
  FaceRig rig(temp.path(), kSkins, kSkin, 0, Settings());
  rig.pages->showAdvancedPage();
  const QImage& buffer = rig.window->backBuffer();

  std::vector<Region> regions{
      {"close", layout::kCloseButton, {{"/button-close-normal.png", At(layout::kCloseButton)}}},
      {"advanced tab",
       layout::kAdvancedTab,
       {{"/button-NextPage-normal.png", At(layout::kAdvancedTab)}}},
      {"precision tick",
       layout::kPointerPrecisionTick,
       {{"/PaneMakingTick.png", At(layout::kPointerPrecisionTick)}}},
      {"scroll tick",
       layout::kScrollOneScreenTick,
       {{"/Pane.png", At(layout::kScrollOneScreenTick)}}},
  };
  const int stored[] = {4, rig.dlg->mouseConfig().at(config_offset::kWheelScrollLines),
                        rig.dlg->mouseConfig().at(config_offset::kDoubleClickLevel)};
  for (int slider = 0; slider < 3; ++slider) {
    for (int cell = 0; cell < 11; ++cell) {
      const Rect r = layout::SliderCell(slider, cell);
      std::vector<std::pair<std::string_view, Point>> layers{{"/slider-dark.png", At(r)}};
      if (cell < stored[slider]) layers.emplace_back("/slider-light.png", At(r));
      regions.push_back({"slider cell", r, layers});
    }
  }
  ExpectRegions(buffer, "/AdvancedSet2.png", regions);
}

TEST(MainPagesRender, HoverLightsTheButtonAndLeavingRestoresIt) {
  TempFolder temp;
  FaceRig rig(temp.path(), kSkins, kSkin, 0, Settings());
  const QImage before = rig.window->backBuffer().copy();
  const Point close = At(layout::kCloseButton);
  // The over picture goes over the normal one that the page drew; leaving draws the normal one
  // over both.
  rig.dlg->onHover({855, 10});
  EXPECT_EQ(FirstDifference(rig.window->backBuffer(),
                            Composite("/BasicSet2.png", {{"/button-close-normal.png", close},
                                                         {"/button-close-over.png", close}}),
                            layout::kCloseButton),
            "");
  rig.dlg->onMouseMove({200, 600});
  EXPECT_EQ(FirstDifference(rig.window->backBuffer(),
                            Composite("/BasicSet2.png", {{"/button-close-normal.png", close},
                                                         {"/button-close-over.png", close},
                                                         {"/button-close-normal.png", close}}),
                            layout::kCloseButton),
            "");
  // Nothing else changed.
  EXPECT_EQ(FirstDifference(rig.window->backBuffer(), before, Rect{0, 0, 849, 644}), "");
  EXPECT_EQ(FirstDifference(rig.window->backBuffer(), before, Rect{0, 24, 875, 644}), "");
}

// Long captions and values are fitted to their field: a smaller size of the same face, then an
// ellipsis, and the whole text is the field's tooltip when it did not fit as given.
TEST(MainPagesRender, LongTextsStayInsideTheirFieldsWithTheWholeTextAsTooltip) {
  TempFolder temp;
  FaceRig rig(temp.path(), kSkins, kSkin, 0, Settings());
  const std::string combo = "Combo Key-Right Shift+Page Down";
  rig.dlg->buttonLabels().texts[6] = combo;
  rig.pages->rebuildPage(MainPage::kBasic);

  // Nothing of the caption is drawn on the row's drop arrow.
  const Rect row = layout::KeyRow(6);
  const Rect arrow{layout::KeyRowCaption(6).right, row.top, row.right, row.bottom};
  EXPECT_EQ(
      FirstDifference(rig.window->backBuffer(),
                      Composite("/BasicSet2.png", {{"/DropdownBox-normal.png", At(row)}}), arrow),
      "");
  const QPoint onCaption(layout::KeyRowCaption(6).left + 5, row.top + 10);
  EXPECT_EQ(rig.window->toolTipAt(onCaption).toStdString(), combo);
  EXPECT_EQ(
      rig.window->toolTipAt(QPoint(layout::KeyRowCaption(0).left + 5, layout::KeyRow(0).top + 10)),
      "");  // a factory caption fits
  // Another page painted over the face takes the key rows' tooltips with it.
  rig.pages->rebuildPage(MainPage::kAdvanced);
  EXPECT_EQ(rig.window->toolTipAt(onCaption), "");
  rig.pages->rebuildPage(MainPage::kBasic);

  for (const std::string& value :
       {std::string("RGB Fixed On"), std::string("Non-Disolay"), combo}) {
    SCOPED_TRACE(value);
    rig.window->setText(layout::control_id::kLightModeValue, value);
    auto* label = qobject_cast<QLabel*>(rig.window->control(layout::control_id::kLightModeValue));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(rig.window->text(layout::control_id::kLightModeValue), value);
    EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text()),
              label->contentsRect().width());
    EXPECT_GE(label->font().pixelSize(), 7);
    // A text shown other than as given carries the whole text as its tooltip.
    if (label->text() != QString::fromStdString(value)) {
      EXPECT_EQ(label->toolTip(), QString::fromStdString(value));
    }
  }
  // The longest one cannot fit at any sensible size.
  EXPECT_EQ(
      qobject_cast<QLabel*>(rig.window->control(layout::control_id::kLightModeValue))->toolTip(),
      QString::fromStdString(combo));
}

}  // namespace
}  // namespace vm31

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
