#pragma once
// Display texts of stored lighting and DPI values, as the main window, its lists and the tray
// balloons show them. Each function takes a stored index and gives "" for any index outside
// its table: stored bytes come from a file the user can edit, so no index is trusted.

#include <array>
#include <span>
#include <string>
#include <string_view>

#include "core/text/text_table.h"

namespace vm31 {

inline constexpr int kLightModeLabelCount = 4;    // off, standard, respiration, neon
inline constexpr int kStandardLevelCount = 10;    // "5%" .. "85%", "100%"
inline constexpr int kRespirationLevelCount = 5;  // "8S" down to "4S"
inline constexpr int kNeonLevelCount = 30;        // "0.5S" .. "15S" in half seconds
inline constexpr int kRgbEffectLabelCount = 4;

// The lighting mode `lightMode` (0..3): the "Off", "Standard", "Respiration", "Neon" texts.
std::string LightModeLabel(int index, UiLanguage language);
// The level of the standard mode (0..9) as a brightness percentage.
std::string StandardLevelLabel(int index);
// The level of the respiration mode (0..4) as a period, slowest first.
std::string RespirationLevelLabel(int index);
// The level of the neon mode (0..29): (index + 1) half seconds, "0.5S", "1S", ... "15S".
std::string NeonLevelLabel(int index);
// The level `index` of lighting mode `mode` (1 standard, 2 respiration, 3 neon, the `lightMode`
// values) with that mode's label above; "" for another mode and for a level outside the mode's
// list.
std::string LightLevelLabel(int mode, int index);
// Number of levels of lighting mode `mode` (1..3): 10, 5, 30; 0 for another mode.
int LightLevelCount(int mode);
// The RGB effect of a mode (0..3): the "Non-Disolay", "RGB Effect", "RGB Flash", "RGB Fixed On"
// texts.
std::string RgbEffectLabel(int index, UiLanguage language);

namespace dpi_labels_detail {
inline constexpr std::array<std::string_view, 12> kSensor0{
    "200", "400", "600", "800", "1200", "1600", "2000", "2400", "2800", "3200", "3600", "4000"};
inline constexpr std::array<std::string_view, 8> kSensor1{"600",  "800",  "1000", "1200",
                                                          "1600", "2000", "2400", "3200"};
inline constexpr std::array<std::string_view, 8> kSensor2{"250",  "500",  "750",  "1000",
                                                          "1250", "1500", "2000", "2500"};
inline constexpr std::array<std::string_view, 8> kSensor3{"400",  "800",  "1200", "1600",
                                                          "2000", "2400", "2800", "3200"};
}  // namespace dpi_labels_detail

// The DPI value texts by sensor type (the type the mouse reports) and DPI level index. Sensor 0
// has twelve levels, sensors 1..3 eight each; other sensor types have none.
inline constexpr std::array<std::span<const std::string_view>, 4> kDpiLabelTable{
    dpi_labels_detail::kSensor0, dpi_labels_detail::kSensor1, dpi_labels_detail::kSensor2,
    dpi_labels_detail::kSensor3};

// Number of DPI levels of `sensorType`; 0 for an unknown sensor.
int DpiLevelCount(int sensorType);

// The DPI text of `level` for `sensorType`; "" for an unknown sensor and for a level past the end
// of that sensor's table (a level valid for sensor 0 may not exist for the others).
std::string DpiLabel(int sensorType, int level);

}  // namespace vm31
