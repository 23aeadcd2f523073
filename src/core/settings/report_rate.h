#pragma once
// The report rates the mouse takes. The settings record's `reportRateCode`, the report-rate
// command and the mouse's rate-switch event all carry one of these codes; the mouse runs at
// 1000 Hz for any other.

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/text/text_table.h"

namespace vm31 {

struct ReportRate {
  std::uint8_t code;
  int hz;
  UiText switchedNotice;  // the balloon after the mouse itself switched to this rate
};

// Slowest first, the order of the basic page's rate segments.
inline constexpr std::array<ReportRate, 4> kReportRates{{
    {8, 125, UiText::kRateSwitched125Hz},
    {4, 250, UiText::kRateSwitched250Hz},
    {2, 500, UiText::kRateSwitched500Hz},
    {1, 1000, UiText::kRateSwitched1000Hz},
}};
inline constexpr std::size_t kReportRateCount = kReportRates.size();

// The row of `code`; nullptr for a code that is not a report rate.
constexpr const ReportRate* FindReportRate(int code) {
  for (const ReportRate& rate : kReportRates) {
    if (rate.code == code) return &rate;
  }
  return nullptr;
}

// The row of the rate of `hz` reports a second; nullptr for a rate the mouse does not have.
constexpr const ReportRate* FindReportRateByHz(int hz) {
  for (const ReportRate& rate : kReportRates) {
    if (rate.hz == hz) return &rate;
  }
  return nullptr;
}

// The codes alone, in table order.
constexpr std::array<std::uint8_t, kReportRateCount> ReportRateCodes() {
  std::array<std::uint8_t, kReportRateCount> codes{};
  for (std::size_t i = 0; i < kReportRateCount; ++i) codes[i] = kReportRates[i].code;
  return codes;
}

}  // namespace vm31
