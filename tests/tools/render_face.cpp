// render_face OUT_FOLDER [SKINS_FOLDER]: renders the main window's two pages with every rendered
// skin, through the Qt shell offscreen against the emulated mouse, as the user sees them (child
// controls included), and writes per skin:
//   <skin>-face-basic.png        basic page, twelve-level sensor
//   <skin>-face-basic-hover.png  basic page, eight-level sensor, key row 3 and Apply under the
//                                pointer
//   <skin>-face-advanced.png     advanced page with two macros, "New" under the pointer
//   <skin>-face-long-texts.png   basic page with a long key-row caption fitted to its box and
//                                the neon lighting's parameter list open
// The data files live in a temporary folder that is removed afterwards.

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>

#include "face_rig.h"

#ifndef VM31_SKINS_DIR
#error "VM31_SKINS_DIR names the rendered skins"
#endif

namespace {

using vm31::FactoryConfig;
using vm31::MouseConfig;
using vm31::Point;
using vm31::testing::FaceRig;

bool Save(FaceRig& rig, const QString& file) {
  const QImage image = rig.window->grab().toImage();
  if (image.isNull() || !image.save(file, "PNG")) {
    std::fprintf(stderr, "render_face: cannot write %s\n", qPrintable(file));
    return false;
  }
  std::printf("%s\n", qPrintable(file));
  return true;
}

MouseConfig Settings() {
  MouseConfig config = FactoryConfig();
  config.at(vm31::config_offset::kReportRateCode) = 2;  // 500 Hz
  config.at(vm31::config_offset::kDpiStageEnabled + 2) = 0;
  config.at(vm31::config_offset::kEnhancePointerPrecision) = 1;
  return config;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: render_face OUT_FOLDER [SKINS_FOLDER]\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  const std::filesystem::path skins = argc > 2 ? argv[2] : VM31_SKINS_DIR;
  if (!QDir().mkpath(out)) {
    std::fprintf(stderr, "render_face: cannot make %s\n", argv[1]);
    return 1;
  }
  QTemporaryDir data;
  if (!data.isValid()) return 1;

  bool ok = true;
  int run = 0;
  for (const QString& skin : QDir(QString::fromStdString(skins.string()))
                                 .entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
    const std::string name = skin.toStdString();
    const auto folder = [&] {
      return std::filesystem::path(data.path().toStdString()) / std::to_string(run++);
    };
    {
      FaceRig rig(folder(), skins, name, 0, Settings());
      ok = Save(rig, out + "/" + skin + "-face-basic.png") && ok;
    }
    {
      FaceRig rig(folder(), skins, name, 2, Settings());
      rig.dlg->onHover(Point{300, 255});  // key row 3
      rig.dlg->onHover(Point{700, 630});  // Apply
      ok = Save(rig, out + "/" + skin + "-face-basic-hover.png") && ok;
    }
    {
      MouseConfig config = Settings();
      config.setLightMode(3);  // neon
      FaceRig rig(folder(), skins, name, 0, config);
      rig.dlg->buttonLabels().texts[6] = "Combo Key-Right Shift+Page Down";
      rig.pages->rebuildPage(vm31::MainPage::kBasic);
      rig.dlg->onLeftButtonDown(Point{800, 367});  // the lighting parameter field
      ok = Save(rig, out + "/" + skin + "-face-long-texts.png") && ok;
    }
    {
      FaceRig rig(folder(), skins, name, 0, Settings());
      rig.dlg->onLeftButtonDown(Point{70, 70});  // the advanced tab
      rig.dlg->onHover(Point{560, 535});         // "New"
      ok = Save(rig, out + "/" + skin + "-face-advanced.png") && ok;
    }
  }
  return ok ? 0 : 1;
}
