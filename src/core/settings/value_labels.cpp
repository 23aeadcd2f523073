#include "core/settings/value_labels.h"

namespace vm31 {
namespace {

constexpr std::array<std::string_view, kStandardLevelCount> kStandardLevels{
    "5%", "15%", "25%", "35%", "45%", "55%", "65%", "75%", "85%", "100%"};

constexpr std::array<std::string_view, kRespirationLevelCount> kRespirationLevels{"8S", "7S", "6S",
                                                                                  "5S", "4S"};

static_assert(static_cast<int>(UiText::kLightModeNeon) - static_cast<int>(UiText::kLightModeOff) +
                      1 ==
                  kLightModeLabelCount,
              "the lighting-mode slots are the four modes in order");
static_assert(static_cast<int>(UiText::kRgbFixedOn) - static_cast<int>(UiText::kRgbEffectOff) + 1 ==
                  kRgbEffectLabelCount,
              "the RGB-effect slots are the four effects in order");
static_assert(kDpiLabelTable[0].size() == 12 && kDpiLabelTable[1].size() == 8 &&
              kDpiLabelTable[2].size() == 8 && kDpiLabelTable[3].size() == 8);

template <std::size_t N>
std::string FromTable(const std::array<std::string_view, N>& table, int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= N) return {};
  return std::string(table[static_cast<std::size_t>(index)]);
}

std::string SlotLabel(UiText first, int count, int index, UiLanguage language) {
  if (index < 0 || index >= count) return {};
  return std::string(UiTextFor(static_cast<UiText>(static_cast<int>(first) + index), language));
}

}  // namespace

std::string LightModeLabel(int index, UiLanguage language) {
  return SlotLabel(UiText::kLightModeOff, kLightModeLabelCount, index, language);
}

std::string StandardLevelLabel(int index) {
  return FromTable(kStandardLevels, index);
}

std::string RespirationLevelLabel(int index) {
  return FromTable(kRespirationLevels, index);
}

std::string NeonLevelLabel(int index) {
  if (index < 0 || index >= kNeonLevelCount) return {};
  const int halfSeconds = index + 1;
  std::string label = std::to_string(halfSeconds / 2);
  if (halfSeconds % 2 != 0) label += ".5";
  label += 'S';
  return label;
}

std::string LightLevelLabel(int mode, int index) {
  switch (mode) {
    case 1:
      return StandardLevelLabel(index);
    case 2:
      return RespirationLevelLabel(index);
    case 3:
      return NeonLevelLabel(index);
    default:
      return {};
  }
}

int LightLevelCount(int mode) {
  switch (mode) {
    case 1:
      return kStandardLevelCount;
    case 2:
      return kRespirationLevelCount;
    case 3:
      return kNeonLevelCount;
    default:
      return 0;
  }
}

std::string RgbEffectLabel(int index, UiLanguage language) {
  return SlotLabel(UiText::kRgbEffectOff, kRgbEffectLabelCount, index, language);
}

int DpiLevelCount(int sensorType) {
  if (sensorType < 0 || static_cast<std::size_t>(sensorType) >= kDpiLabelTable.size()) return 0;
  return static_cast<int>(kDpiLabelTable[static_cast<std::size_t>(sensorType)].size());
}

std::string DpiLabel(int sensorType, int level) {
  if (level < 0 || level >= DpiLevelCount(sensorType)) return {};
  return std::string(
      kDpiLabelTable[static_cast<std::size_t>(sensorType)][static_cast<std::size_t>(level)]);
}

}  // namespace vm31
