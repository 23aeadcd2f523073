#include "core/app/tray.h"

#include <array>
#include <variant>

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
                                            std::string_view openProblem,
                                            std::string_view accessRefusal) {
  if (const auto* presence = std::get_if<PresenceNotice>(&event)) {
    switch (*presence) {
      case PresenceNotice::kDetected: {
        TrayNotice notice = Info(Text(UiText::kMouseDetected, language));
        notice.timeoutMs = kPresenceNoticeTimeoutMs;
        return notice;
      }
      case PresenceNotice::kNotDetected:
        return Warning(Text(UiText::kMouseNotDetected, language));
      case PresenceNotice::kAccessDenied:
        if (!accessRefusal.empty()) {
          return Warning(MouseAccessRefusedText(language, accessRefusal));
        }
        return Warning(openProblem.empty() ? Text(UiText::kMouseNotDetected, language)
                                           : std::string(openProblem));
      case PresenceNotice::kBusy:
        return Warning(openProblem.empty() ? Text(UiText::kMouseNotDetected, language)
                                           : MouseBusyText(language, openProblem));
    }
    return std::nullopt;
  }
  const SwitchEvent& switched = std::get<SwitchEvent>(event);
  switch (switched.which) {
    case MouseSwitch::kReportRate: {
      const ReportRate* rate = FindReportRate(switched.value);
      if (rate == nullptr) return std::nullopt;
      return Info(Text(rate->switchedNotice, language));
    }
    case MouseSwitch::kDpiStage: {
      static constexpr std::array<UiText, 4> kStages{UiText::kDpiStage1, UiText::kDpiStage2,
                                                     UiText::kDpiStage3, UiText::kDpiStage4};
      if (switched.value < 1 || switched.value > 4) return std::nullopt;
      const int stage = switched.value;
      return Info(Text(kStages[stage - 1], language) +
                  DpiLabel(sensorType, config.dpiLevel(stage - 1)));
    }
    case MouseSwitch::kKeyGroup:
      if (switched.value == 1) return Info(Text(UiText::kKeyMatrix1, language));
      if (switched.value == 2) return Info(Text(UiText::kKeyMatrix2, language));
      return std::nullopt;
    case MouseSwitch::kMacroKey:
      if (switched.value == 0) return std::nullopt;
      return Info(Text(UiText::kSwitchToMacro, language) + std::to_string(switched.value));
  }
  return std::nullopt;  // a code the mouse does not send
}

std::vector<MenuItem> TrayMenu(UiLanguage language) {
  return {MenuItem{kCommandExit, Text(UiText::kTrayExit, language)}};
}

}  // namespace vm31
