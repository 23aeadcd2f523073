#pragma once
// The skin pictures and record offsets the main window's two pages share between their drawing
// (main_pages.cpp) and their controls (main_controls.cpp, advanced_controls.cpp). File names are
// appended to the current skin folder.

#include <array>
#include <cstddef>
#include <string_view>

#include "core/app/layout.h"
#include "core/settings/mouse_config.h"

namespace vm31::page_picture {

inline constexpr std::string_view kDropdownNormal = "/DropdownBox-normal.png";
inline constexpr std::string_view kRateDark = "/slider-RP-dark.png";
inline constexpr std::string_view kRateLight = "/slider-RP-light.png";
inline constexpr std::string_view kDpiDark = "/slider-DPI-dark.png";
inline constexpr std::string_view kDpiLight = "/slider-DPI-light.png";
inline constexpr std::string_view kSliderDark = "/slider-dark.png";
inline constexpr std::string_view kSliderLight = "/slider-light.png";
inline constexpr std::string_view kTickOff = "/Pane.png";
inline constexpr std::string_view kTickOn = "/PaneMakingTick.png";

}  // namespace vm31::page_picture

namespace vm31 {

// The record offsets of the advanced page's sliders (pointer speed, scroll lines, double-click),
// each holding the slider's position 1..11.
inline constexpr std::array<std::size_t, layout::kSliderCount> kSliderConfigOffsets{
    config_offset::kPointerSpeedLevel, config_offset::kWheelScrollLines,
    config_offset::kDoubleClickLevel};

// The caption of the pages' warning boxes.
inline constexpr std::string_view kPageWarningCaption = "Warning";

}  // namespace vm31
