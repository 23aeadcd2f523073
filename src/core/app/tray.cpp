#include "core/app/tray.h"

#include <array>

#include "core/settings/report_rate.h"
#include "core/settings/value_labels.h"

namespace vm31 {
namespace {

TrayNotice Info(std::string text) {
  return TrayNotice{std::move(text), std::string(kInfoTitle), kSwitchNoticeTimeoutMs};
}

TrayNotice Warning(std::string text) {
  return TrayNotice{std::move(text), std::string(kWarningTitle), kPresenceNoticeTimeoutMs};
}

std::string Text(UiText id, UiLanguage language) {
  return std::string(UiTextFor(id, language));
}

}  // namespace

std::optional<TrayNotice> DeviceEventNotice(const DeviceEvent& event, UiLanguage language,
                                            const MouseConfig& config, int sensorType,
                                            std::string_view accessProblem) {
  switch (event.code) {
    case static_cast<int>(DeviceEventCode::kReportRate): {
      const ReportRate* rate = FindReportRate(event.value);
      if (rate == nullptr) return std::nullopt;
      return Info(Text(rate->switchedNotice, language));
    }
    case static_cast<int>(DeviceEventCode::kDpiStage): {
      static constexpr std::array<UiText, 4> kStages{UiText::kDpiStage1, UiText::kDpiStage2,
                                                     UiText::kDpiStage3, UiText::kDpiStage4};
      if (event.value < 1 || event.value > 4) return std::nullopt;
      const int stage = event.value;
      return Info(Text(kStages[stage - 1], language) +
                  DpiLabel(sensorType, config.dpiLevel(stage - 1)));
    }
    case static_cast<int>(DeviceEventCode::kKeyGroup):
      if (event.value == 1) return Info(Text(UiText::kKeyMatrix1, language));
      if (event.value == 2) return Info(Text(UiText::kKeyMatrix2, language));
      return std::nullopt;
    case static_cast<int>(DeviceEventCode::kMacroKey):
      if (event.value == 0) return std::nullopt;
      return Info(Text(UiText::kSwitchToMacro, language) + std::to_string(event.value));
    case static_cast<int>(DeviceEventCode::kDetected): {
      TrayNotice notice = Info(Text(UiText::kMouseDetected, language));
      notice.timeoutMs = kPresenceNoticeTimeoutMs;
      return notice;
    }
    case static_cast<int>(DeviceEventCode::kNotDetected):
      return Warning(Text(UiText::kMouseNotDetected, language));
    case static_cast<int>(DeviceEventCode::kAccessDenied):
    case static_cast<int>(DeviceEventCode::kBusy):
      return Warning(accessProblem.empty() ? Text(UiText::kMouseNotDetected, language)
                                           : std::string(accessProblem));
    default:
      return std::nullopt;
  }
}

std::vector<MenuItem> TrayMenu(UiLanguage language) {
  return {MenuItem{kCommandExit, Text(UiText::kTrayExit, language)}};
}

}  // namespace vm31
