#include "core/settings/value_labels.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "core/settings/report_rate.h"

namespace vm31 {
namespace {

struct LabelCase {
  const char* function;
  std::function<std::string(int)> label;
  int index;
  std::string_view expected;
};

std::function<std::string(int)> Dpi(int sensorType) {
  return [sensorType](int level) { return DpiLabel(sensorType, level); };
}
std::function<std::string(int)> Mode(UiLanguage language) {
  return [language](int index) { return LightModeLabel(index, language); };
}
std::function<std::string(int)> Effect(UiLanguage language) {
  return [language](int index) { return RgbEffectLabel(index, language); };
}

constexpr int kIntMin = std::numeric_limits<int>::min();
constexpr int kIntMax = std::numeric_limits<int>::max();

TEST(ValueLabels, ByFunctionAndIndex) {
  const LabelCase cases[] = {
      {"neon", NeonLevelLabel, 0, "0.5S"},
      {"neon", NeonLevelLabel, 1, "1S"},
      {"neon", NeonLevelLabel, 2, "1.5S"},
      {"neon", NeonLevelLabel, 19, "10S"},
      {"neon", NeonLevelLabel, 28, "14.5S"},
      {"neon", NeonLevelLabel, 29, "15S"},
      {"neon", NeonLevelLabel, 30, ""},
      {"neon", NeonLevelLabel, -1, ""},
      {"standard", StandardLevelLabel, 0, "5%"},
      {"standard", StandardLevelLabel, 8, "85%"},
      {"standard", StandardLevelLabel, 9, "100%"},
      {"standard", StandardLevelLabel, 10, ""},
      {"standard", StandardLevelLabel, -1, ""},
      {"respiration", RespirationLevelLabel, 0, "8S"},
      {"respiration", RespirationLevelLabel, 4, "4S"},
      {"respiration", RespirationLevelLabel, 5, ""},
      {"mode en", Mode(UiLanguage::kEnglish), 0, "Off"},
      {"mode en", Mode(UiLanguage::kEnglish), 3, "Neon"},
      {"mode chs", Mode(UiLanguage::kSimplifiedChinese), 0, "关闭模式"},
      {"mode cht", Mode(UiLanguage::kTraditionalChinese), 1, "標準模式"},
      {"mode en", Mode(UiLanguage::kEnglish), 4, ""},
      {"mode en", Mode(UiLanguage::kEnglish), -1, ""},
      {"effect en", Effect(UiLanguage::kEnglish), 0, "Non-Disolay"},
      {"effect en", Effect(UiLanguage::kEnglish), 3, "RGB Fixed On"},
      {"effect chs", Effect(UiLanguage::kSimplifiedChinese), 0, "关闭"},
      {"effect cht", Effect(UiLanguage::kTraditionalChinese), 2, "RGB閃爍"},
      {"effect en", Effect(UiLanguage::kEnglish), 4, ""},
      {"dpi 0", Dpi(0), 0, "200"},
      {"dpi 0", Dpi(0), 11, "4000"},
      {"dpi 0", Dpi(0), 12, ""},
      {"dpi 1", Dpi(1), 0, "600"},
      {"dpi 1", Dpi(1), 7, "3200"},
      {"dpi 1", Dpi(1), 8, ""},  // valid for sensor 0, past the end for the others
      {"dpi 1", Dpi(1), 11, ""},
      {"dpi 2", Dpi(2), 2, "750"},
      {"dpi 2", Dpi(2), 7, "2500"},
      {"dpi 3", Dpi(3), 0, "400"},
      {"dpi 3", Dpi(3), 8, ""},
      {"dpi 4", Dpi(4), 0, ""},
      {"dpi 4", Dpi(4), 11, ""},
      {"dpi -1", Dpi(-1), 0, ""},
      {"dpi 255", Dpi(255), 3, ""},
      {"dpi 0", Dpi(0), -1, ""},
      {"dpi 0", Dpi(0), kIntMin, ""},
      {"dpi max", Dpi(kIntMax), kIntMax, ""},
      {"neon", NeonLevelLabel, kIntMax, ""},
      {"neon", NeonLevelLabel, kIntMin, ""},
  };
  for (const LabelCase& c : cases) {
    EXPECT_EQ(c.label(c.index), c.expected) << c.function << " index " << c.index;
  }
}

TEST(ValueLabels, LightLevelsByMode) {
  struct Case {
    int mode;
    int count;
    std::string_view first, last;
  };
  const Case cases[] = {
      {1, 10, "5%", "100%"}, {2, 5, "8S", "4S"}, {3, 30, "0.5S", "15S"},
      {0, 0, "", ""},        {4, 0, "", ""},     {-1, 0, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    EXPECT_EQ(LightLevelCount(c.mode), c.count);
    EXPECT_EQ(LightLevelLabel(c.mode, 0), c.first);
    EXPECT_EQ(LightLevelLabel(c.mode, c.count - 1), c.last);
    EXPECT_EQ(LightLevelLabel(c.mode, c.count), "");  // one past the mode's list
  }
}

// Each rate's balloon names its own rate, and only the four codes are rates.
TEST(ReportRates, CodesRatesAndBalloonsAgree) {
  int slower = 0;
  for (const ReportRate& rate : kReportRates) {
    SCOPED_TRACE(rate.hz);
    EXPECT_GT(rate.hz, slower);  // slowest first
    slower = rate.hz;
    EXPECT_EQ(FindReportRate(rate.code), &rate);
    EXPECT_EQ(UiTextFor(rate.switchedNotice, UiLanguage::kEnglish),
              "Switch report rate into " + std::to_string(rate.hz) + "HZ");
  }
  for (int code : {0, 3, 16, 255, -1}) EXPECT_EQ(FindReportRate(code), nullptr) << code;
}

TEST(ValueLabels, EveryLevelOfEverySensorHasAText) {
  const int expectedCounts[] = {12, 8, 8, 8, 0};
  for (int sensor = 0; sensor < 5; ++sensor) {
    SCOPED_TRACE(sensor);
    EXPECT_EQ(DpiLevelCount(sensor), expectedCounts[sensor]);
    for (int level = 0; level < DpiLevelCount(sensor); ++level) {
      EXPECT_FALSE(DpiLabel(sensor, level).empty()) << level;
    }
  }
}

}  // namespace
}  // namespace vm31
