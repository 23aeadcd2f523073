#pragma once
// A small HID report-descriptor reader: just enough to tell, for each top-level collection, its
// usage page and usage and the byte lengths of its feature, input and output reports. Lengths
// count the report-id byte (one byte even without report ids) and take the longest report of
// each kind, as the Windows HID capabilities do. Any bytes are safe input: the reader never
// looks past the buffer, bounds nesting and the global-item stack, and rejects what it cannot
// read with an Error instead of guessing.

#include <cstdint>
#include <span>
#include <vector>

#include "core/util/result.h"

namespace vm31 {

struct HidCollectionCaps {
  std::uint16_t usagePage = 0;
  std::uint16_t usage = 0;
  std::uint16_t featureReportLength = 0;  // 0 when the collection has no feature report
  std::uint16_t inputReportLength = 0;
  std::uint16_t outputReportLength = 0;

  friend bool operator==(const HidCollectionCaps&, const HidCollectionCaps&) = default;
};

inline constexpr int kMaxReportDescriptorNesting = 32;  // collections inside collections
inline constexpr int kMaxReportDescriptorPushes = 16;   // Push items without a Pop

// The top-level collections of `descriptor`, in descriptor order. Fails with kBadFormat on an
// item cut short by the end of the buffer, an End Collection without a Collection, nesting or
// pushes beyond the limits above, or a report longer than 65535 bytes.
Result<std::vector<HidCollectionCaps>> ParseReportDescriptor(
    std::span<const std::uint8_t> descriptor);

}  // namespace vm31
