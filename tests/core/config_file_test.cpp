#include "core/settings/config_file.h"

#include <gtest/gtest.h>

#include <fstream>

#include "core/settings/data_location.h"
#include "core/util/path_text.h"
#include "support/temp_folder.h"

namespace vm31 {
namespace {

using vm31::testing::TempFolder;

void WriteBytes(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

Bytes ReadBytes(const std::filesystem::path& path) {
  auto content = ReadWholeFile(path);
  return content ? content.value() : Bytes{};
}

// A file image whose every byte differs from its neighbours, so a shifted or dropped byte shows.
Bytes PatternedImage(std::uint8_t flag) {
  Bytes image(kConfigFileSize);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7 + 3);
  image[0] = flag;
  return image;
}

TEST(ConfigFile, LoadThenSaveChangesOnlyTheFlagByte) {
  TempFolder folder;
  const auto path = folder / "config.bin";
  const Bytes original = PatternedImage(0);
  WriteBytes(path, original);

  MouseConfig config;
  std::uint8_t flag = 9;
  ASSERT_EQ(LoadConfig(path, config, flag).outcome, ConfigLoadOutcome::kLoaded);
  EXPECT_EQ(flag, 0);
  // Reserved bytes are part of the record as loaded.
  EXPECT_EQ(config.at(config_offset::kReservedAfterMacros), original[1 + 1920]);
  EXPECT_EQ(config.at(config_offset::kReservedAfterLight), original[1 + 1954]);

  ASSERT_TRUE(SaveConfig(path, config));
  Bytes expected = original;
  expected[0] = 1;
  EXPECT_EQ(ReadBytes(path), expected);
  EXPECT_EQ(flag, 0) << "saving never changes the in-memory flag";
}

TEST(ConfigFile, AnyOtherSizeIsIgnoredAndLeavesTheRecord) {
  struct Case {
    std::size_t size;
  };
  for (const Case c : {Case{0}, Case{1}, Case{1985}, Case{1987}, Case{10u * 1024u * 1024u}}) {
    SCOPED_TRACE(c.size);
    TempFolder folder;
    const auto path = folder / "config.bin";
    WriteBytes(path, Bytes(c.size, 0xAB));
    MouseConfig config = FactoryConfig();
    std::uint8_t flag = 7;
    EXPECT_EQ(LoadConfig(path, config, flag).outcome, ConfigLoadOutcome::kWrongSize);
    EXPECT_EQ(config, FactoryConfig());
    EXPECT_EQ(flag, 7);
  }
}

TEST(ConfigFile, MissingFileIsReportedAndNeverCreated) {
  TempFolder folder;
  const auto path = folder / "config.bin";
  MouseConfig config;
  std::uint8_t flag = 0;
  EXPECT_EQ(LoadConfig(path, config, flag).outcome, ConfigLoadOutcome::kMissing);
  const Status saved = SaveConfig(path, config);
  ASSERT_FALSE(saved);
  EXPECT_EQ(saved.error().message, kConfigMissingMessage);
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(ConfigFile, FailedWriteKeepsTheOldFileAndLeavesNoTemporary) {
  TempFolder folder;
  // A file name of 250 bytes is valid, but no longer temporary sibling name fits in the 255
  // bytes a file name may have: the write fails before anything touches the file (even as root).
  const auto path = folder / std::string(250, 'c');
  WriteBytes(path, PatternedImage(0));
  const Status saved = SaveConfig(path, FactoryConfig());
  ASSERT_FALSE(saved);
  EXPECT_NE(saved.error().message.find(path.generic_string()), std::string::npos);
  EXPECT_EQ(ReadBytes(path), PatternedImage(0));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
}

TEST(DataLocation, PortableFolderWinsOnlyWhenItHoldsConfigBin) {
  TempFolder folder;
  const UserEnvironment environment{"/xdg", "/home/someone", "C:\\Users\\someone\\AppData"};
  EXPECT_EQ(ChooseDataFolder(folder.path(), environment, HostSystem::kPosix), "/xdg/kor-vm31");
  EXPECT_EQ(ChooseDataFolder(folder.path(), environment, HostSystem::kWindows),
            std::filesystem::path("C:\\Users\\someone\\AppData") / "kor-vm31");
  WriteBytes(folder / "config.bin", {});
  for (const HostSystem system : {HostSystem::kPosix, HostSystem::kWindows}) {
    EXPECT_EQ(ChooseDataFolder(folder.path(), environment, system), folder.path());
  }
}

TEST(DataLocation, UserFolderFollowsXdgRules) {
  constexpr HostSystem kPosix = HostSystem::kPosix;
  EXPECT_EQ(UserDataFolder({"/xdg", "/home/a", std::nullopt}, kPosix), "/xdg/kor-vm31");
  EXPECT_EQ(UserDataFolder({"", "/home/a", std::nullopt}, kPosix), "/home/a/.config/kor-vm31");
  EXPECT_EQ(UserDataFolder({"relative/path", "/home/a", std::nullopt}, kPosix),
            "/home/a/.config/kor-vm31");
  EXPECT_EQ(UserDataFolder({std::nullopt, "/home/a", std::nullopt}, kPosix),
            "/home/a/.config/kor-vm31");
  EXPECT_EQ(UserDataFolder({"C:\\xdg", "/home/a", std::nullopt}, kPosix),
            "/home/a/.config/kor-vm31");
}

// On Windows the XDG variables mean nothing: %APPDATA% when it is an absolute path, and the
// factory files in the folder "factory" beside the program.
TEST(DataLocation, WindowsUsesAppDataAndTheFactoryFolderBesideTheProgram) {
  constexpr HostSystem kWindows = HostSystem::kWindows;
  const std::filesystem::path appData("C:\\Users\\a\\AppData\\Roaming");
  EXPECT_EQ(UserDataFolder({"/xdg", "/home/a", "C:\\Users\\a\\AppData\\Roaming"}, kWindows),
            appData / "kor-vm31");
  EXPECT_EQ(UserDataFolder({std::nullopt, std::nullopt, "\\\\server\\share"}, kWindows),
            std::filesystem::path("\\\\server\\share") / "kor-vm31");
  for (const char* notAbsolute : {"", "relative", "C:relative", "/rootOfTheCurrentDrive"}) {
    EXPECT_EQ(UserDataFolder({"/xdg", "/home/a", notAbsolute}, kWindows), "kor-vm31")
        << notAbsolute;
  }
  EXPECT_EQ(UserDataFolder({"/xdg", "/home/a", std::nullopt}, kWindows), "kor-vm31");
  // Characters beyond ASCII survive (UTF-8 in, the system's own path out).
  EXPECT_EQ(PathText(UserDataFolder({{}, {}, "C:/Users/J\xc3\xb6rg"}, kWindows)),
            "C:/Users/J\xc3\xb6rg/kor-vm31");
  const std::filesystem::path program("C:\\Program Files\\KOR VM31");
  EXPECT_EQ(FactoryFolder(program, "/usr/share", kWindows), program / "factory");
}

TEST(DataLocation, FillFromFactoryCopiesOnlyMissingFiles) {
  TempFolder factory;
  TempFolder user;
  WriteBytes(factory / "config.bin", PatternedImage(0));
  WriteBytes(factory / "record.ini", {'[', 'a', ']'});
  WriteBytes(factory / "str.ini", {'x'});
  const auto target = user.path() / "nested" / "kor-vm31";
  std::filesystem::create_directories(target);
  WriteBytes(target / "str.ini", {'m', 'i', 'n', 'e'});

  ASSERT_TRUE(FillFromFactory(target, factory.path()));
  EXPECT_EQ(ReadBytes(target / "config.bin"), PatternedImage(0));
  EXPECT_EQ(ReadBytes(target / "record.ini"), (Bytes{'[', 'a', ']'}));
  EXPECT_EQ(ReadBytes(target / "str.ini"), (Bytes{'m', 'i', 'n', 'e'}));
}

}  // namespace
}  // namespace vm31
