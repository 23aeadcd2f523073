// The desktop backends of the system mouse settings against the real thing: GNOME's GSettings
// schema through GIO's keyfile backend in a temporary configuration folder, and KDE's files in a
// temporary folder (with the settings-changed signal caught on the session bus when the test
// runs under one).

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/settings/ini_file.h"
#include "core/util/atomic_file.h"
#include "platform/linux/system_mouse_chooser.h"
#include "platform/linux/system_mouse_gsettings.h"
#include "platform/linux/system_mouse_kde.h"
#include "support/temp_folder.h"

namespace vm31 {
namespace {

// The configuration folder of this process; GSettings reads its environment once, at its
// first use, so main() sets it before any test runs.
std::filesystem::path gConfigHome;
// GIO's settings backend for this run: "keyfile", or "memory" for the run that checks the
// refusal of a backend that would lose every write.
std::string gBackend;

std::string ReadText(const std::filesystem::path& file) {
  Result<Bytes> bytes = ReadWholeFile(file);
  if (!bytes) return {};
  return std::string(bytes.value().begin(), bytes.value().end());
}

TEST(GSettingsSystemMouse, WritesLandInTheSettingsBackendAndReadBack) {
  std::unique_ptr<GSettingsSystemMouse> gnome = GSettingsSystemMouse::Create();
  ASSERT_NE(gnome, nullptr) << kGnomeMouseSchema << " is not installed (gsettings-desktop-schemas)";

  // The schema's defaults: speed 0 is the system default 10, "default" profile counts as off.
  EXPECT_EQ(gnome->readPointerSpeed().value, 10);
  EXPECT_EQ(gnome->readPointerPrecision().outcome, SystemOutcome::kDone);
  EXPECT_FALSE(gnome->readPointerPrecision().value);

  EXPECT_EQ(gnome->writePointerSpeed(20).outcome, SystemOutcome::kDone);
  EXPECT_EQ(gnome->writePointerPrecision(true).outcome, SystemOutcome::kDone);
  EXPECT_EQ(gnome->writeDoubleClickTime(270).outcome, SystemOutcome::kDone);

  // In the keyfile the settings backend keeps, as every GSettings program will see them.
  const std::string keyfile = ReadText(gConfigHome / "glib-2.0/settings/keyfile");
  EXPECT_NE(keyfile.find("[org/gnome/desktop/peripherals/mouse]"), std::string::npos) << keyfile;
  EXPECT_NE(keyfile.find("speed=1.0"), std::string::npos) << keyfile;
  EXPECT_NE(keyfile.find("accel-profile='adaptive'"), std::string::npos) << keyfile;
  EXPECT_NE(keyfile.find("double-click=270"), std::string::npos) << keyfile;

  // And through a fresh settings object.
  std::unique_ptr<GSettingsSystemMouse> again = GSettingsSystemMouse::Create();
  EXPECT_EQ(again->readPointerSpeed().value, 20);
  EXPECT_TRUE(again->readPointerPrecision().value);
  EXPECT_EQ(again->readDoubleClickTime().value, 270);

  EXPECT_EQ(gnome->writePointerPrecision(false).outcome, SystemOutcome::kDone);
  EXPECT_NE(ReadText(gConfigHome / "glib-2.0/settings/keyfile").find("accel-profile='flat'"),
            std::string::npos);
  EXPECT_FALSE(again->readPointerPrecision().value);
}

TEST(GSettingsSystemMouse, WheelLinesAreUnavailableNotFailed) {
  std::unique_ptr<GSettingsSystemMouse> gnome = GSettingsSystemMouse::Create();
  ASSERT_NE(gnome, nullptr);
  EXPECT_EQ(gnome->readWheelScrollLines().outcome, SystemOutcome::kUnavailable);
  EXPECT_EQ(gnome->writeWheelScrollLines(5).outcome, SystemOutcome::kUnavailable);

  // The page's writer: the three GNOME settings land, no failure message, one unavailable.
  MouseConfig config;
  ApplyDefaultSystemMouseSettings(config);
  config.at(config_offset::kPointerSpeedLevel) = 1;
  config.at(config_offset::kDoubleClickLevel) = 6;
  const SystemMouseReport report = WriteSystemMouseSettings(*gnome, config);
  EXPECT_TRUE(report.failures.empty());
  EXPECT_TRUE(report.anyUnavailable);
  EXPECT_EQ(gnome->readPointerSpeed().value, 1);
  EXPECT_EQ(gnome->readDoubleClickTime().value, 550);
}

TEST(GSettingsSystemMouse, MemoryOnlyBackendCountsAsNoDesktop) {
  if (gBackend != "memory") GTEST_SKIP() << "runs with VM31_TEST_GSETTINGS_BACKEND=memory";
  EXPECT_EQ(GSettingsSystemMouse::Create(), nullptr);
  EXPECT_EQ(CreateSystemMouse({"GNOME", gConfigHome})->desktopName(), "");
}

TEST(GSettingsSystemMouse, ChosenOutsideKde) {
  std::unique_ptr<SystemMouse> chosen = CreateSystemMouse({"ubuntu:GNOME", gConfigHome});
  EXPECT_EQ(chosen->desktopName(), "GNOME");
}

class KdeSystemMouseTest : public ::testing::Test {
 protected:
  testing::TempFolder folder_;
  KdeSystemMouse kde_{folder_.path() / "config"};  // created by the first write
};

TEST_F(KdeSystemMouseTest, MissingFilesReadAsPlasmaDefaults) {
  EXPECT_TRUE(kde_.readPointerPrecision().value);
  EXPECT_EQ(kde_.readPointerSpeed().value, 10);
  EXPECT_EQ(kde_.readWheelScrollLines().value, 3u);
  EXPECT_EQ(kde_.readDoubleClickTime().value, 400);
  EXPECT_EQ(kde_.readDoubleClickTime().outcome, SystemOutcome::kDone);
}

TEST_F(KdeSystemMouseTest, WritesKeepTheRestOfTheFilesAndReadBack) {
  std::filesystem::create_directories(folder_.path() / "config");
  const std::string globals = "[General]\nfont=Noto Sans\n\n[KDE]\nSingleClick=false\n";
  ASSERT_TRUE(WriteFileAtomically(folder_.path() / "config/kdeglobals",
                                  Bytes(globals.begin(), globals.end())));

  EXPECT_EQ(kde_.writeWheelScrollLines(7).outcome, SystemOutcome::kDone);
  EXPECT_EQ(kde_.writeDoubleClickTime(270).outcome, SystemOutcome::kDone);
  EXPECT_EQ(kde_.writePointerPrecision(false).outcome, SystemOutcome::kDone);
  EXPECT_EQ(kde_.writePointerSpeed(15).outcome, SystemOutcome::kDone);

  EXPECT_EQ(ReadText(folder_.path() / "config/kdeglobals"),
            "[General]\nfont=Noto Sans\n\n[KDE]\nSingleClick=false\nWheelScrollLines=7\n"
            "DoubleClickInterval=270\n");
  EXPECT_EQ(ReadText(folder_.path() / "config/kcminputrc"),
            "[Mouse]\nXLbInptAccelProfileFlat=true\nXLbInptPointerAcceleration=0.5\n");

  EXPECT_EQ(kde_.readWheelScrollLines().value, 7u);
  EXPECT_EQ(kde_.readDoubleClickTime().value, 270);
  EXPECT_FALSE(kde_.readPointerPrecision().value);
  EXPECT_EQ(kde_.readPointerSpeed().value, 15);
}

TEST_F(KdeSystemMouseTest, PageScrollIsUnavailableAndBadValuesFail) {
  EXPECT_EQ(kde_.writeWheelScrollLines(kWheelPageScroll).outcome, SystemOutcome::kUnavailable);
  EXPECT_FALSE(std::filesystem::exists(folder_.path() / "config/kdeglobals"));

  std::filesystem::create_directories(folder_.path() / "config");
  const std::string globals = "[KDE]\nWheelScrollLines=many\nDoubleClickInterval=-3\n";
  ASSERT_TRUE(WriteFileAtomically(folder_.path() / "config/kdeglobals",
                                  Bytes(globals.begin(), globals.end())));
  EXPECT_EQ(kde_.readWheelScrollLines().outcome, SystemOutcome::kFailed);
  EXPECT_EQ(kde_.readDoubleClickTime().outcome, SystemOutcome::kFailed);

  // A configuration file that cannot be written (here: a folder in its place) fails the write.
  std::filesystem::create_directories(folder_.path() / "config/kcminputrc");
  const SystemWriting written = kde_.writePointerSpeed(10);
  EXPECT_EQ(written.outcome, SystemOutcome::kFailed);
  EXPECT_NE(written.detail.find("kcminputrc"), std::string::npos) << written.detail;
  EXPECT_EQ(kde_.readPointerPrecision().outcome, SystemOutcome::kFailed);
}

TEST_F(KdeSystemMouseTest, ChosenWhenTheDesktopNamesKde) {
  EXPECT_EQ(CreateSystemMouse({"KDE", folder_.path()})->desktopName(), "KDE Plasma");
  EXPECT_EQ(CreateSystemMouse({"X-Generic:kde", folder_.path()})->desktopName(), "KDE Plasma");
  EXPECT_NE(CreateSystemMouse({"KDEish", folder_.path()})->desktopName(), "KDE Plasma");
}

// Picked at the first operation, then kept: the write goes to KDE's files of that session.
TEST_F(KdeSystemMouseTest, ChosenOnFirstUsePicksAtTheFirstOperation) {
  SystemMouseChosenOnFirstUse mouse({"KDE", folder_.path()});
  EXPECT_FALSE(mouse.chosen());
  EXPECT_EQ(mouse.writeWheelScrollLines(5).outcome, SystemOutcome::kDone);
  EXPECT_TRUE(mouse.chosen());
  EXPECT_EQ(mouse.desktopName(), "KDE Plasma");
  EXPECT_EQ(ReadText(folder_.path() / "kdeglobals"), "[KDE]\nWheelScrollLines=5\n");
  EXPECT_EQ(mouse.readWheelScrollLines().value, 5u);
}

// Running KDE programs learn of the change through KGlobalSettings.notifyChange(3, 0).
TEST_F(KdeSystemMouseTest, WriteTellsRunningProgramsOnTheSessionBus) {
  if (std::getenv("DBUS_SESSION_BUS_ADDRESS") == nullptr) {
    GTEST_SKIP() << "no session bus (the test registration runs this under dbus-run-session)";
  }
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  ASSERT_NE(bus, nullptr);
  struct Seen {
    int count = 0;
    int type = -1;
    int category = -1;
  } seen;
  const guint subscription = g_dbus_connection_signal_subscribe(
      bus, nullptr, "org.kde.KGlobalSettings", "notifyChange", "/KGlobalSettings", nullptr,
      G_DBUS_SIGNAL_FLAGS_NONE,
      [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
         GVariant* parameters, gpointer data) {
        auto* into = static_cast<Seen*>(data);
        ++into->count;
        g_variant_get(parameters, "(ii)", &into->type, &into->category);
      },
      &seen, nullptr);

  ASSERT_EQ(kde_.writeDoubleClickTime(340).outcome, SystemOutcome::kDone);
  // The signal comes back through the bus daemon: wait for it, bounded by a generous deadline.
  const gint64 deadline = g_get_monotonic_time() + 20 * G_USEC_PER_SEC;
  while (seen.count == 0 && g_get_monotonic_time() < deadline) {
    g_main_context_iteration(nullptr, FALSE);
    g_usleep(1000);
  }
  g_dbus_connection_signal_unsubscribe(bus, subscription);
  g_object_unref(bus);
  EXPECT_EQ(seen.count, 1);
  EXPECT_EQ(seen.type, 3);
  EXPECT_EQ(seen.category, 0);
}

}  // namespace
}  // namespace vm31

int main(int argc, char** argv) {
  // Before the first GSettings use: the keyfile backend in a configuration folder of our own.
  std::string pattern = (std::filesystem::temp_directory_path() / "vm31-gsettings-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return 2;
  vm31::gConfigHome = pattern;
  setenv("XDG_CONFIG_HOME", pattern.c_str(), 1);
  const char* backend = std::getenv("VM31_TEST_GSETTINGS_BACKEND");
  vm31::gBackend = backend != nullptr ? backend : "keyfile";
  setenv("GSETTINGS_BACKEND", vm31::gBackend.c_str(), 1);
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  std::error_code ignored;
  std::filesystem::remove_all(vm31::gConfigHome, ignored);
  return result;
}
