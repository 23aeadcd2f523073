#pragma once
// A fresh folder under the test's temporary directory, removed when the test ends.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <random>
#include <string>

namespace vm31::testing {

class TempFolder {
 public:
  TempFolder() {
    static std::atomic<int> counter{0};
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "vm31";
    for (char& c : name) {
      if (c == '/') c = '_';
    }
    // A random part keeps test programs of different build folders, run at the same time, out
    // of each other's folders (the name is removed first).
    static const std::string run = std::to_string(std::random_device{}());
    path_ = std::filesystem::path(::testing::TempDir()) /
            ("vm31-" + name + "-" + run + "-" + std::to_string(counter++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

}  // namespace vm31::testing
