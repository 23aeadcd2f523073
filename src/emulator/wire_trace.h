#pragma once
// The wire trace of the emulated mouse, one JSON object per line:
//   {"device":{"vendor_id":N,"product_id":N,"codec_key":"<12 hex>","codec_table":"<16 hex>"}}
// then one line per transfer on either collection, in the order the transfers reached the mouse:
//   {"t_us":N,"op":"set_feature"|"get_feature"|"write"|"read"|"input","report":"<hex>"}
// "report" is the whole report buffer as transferred, report-id byte first, lower-case hex;
// t_us counts microseconds since the trace began. Each line is flushed as it is written.

#include <cstdint>
#include <mutex>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "core/device/device_definition.h"
#include "core/device/ports.h"

namespace vm31 {

std::string HexString(std::span<const std::uint8_t> bytes);

class WireTrace {
 public:
  // Writes the first line at once; `out` must outlive the trace. `clock` gives the start time.
  WireTrace(std::ostream& out, Clock& clock, const DeviceDefinition& definition);
  // `arrived` is when the transfer reached the mouse (taken from the same clock). Thread-safe.
  void record(std::string_view op, std::span<const std::uint8_t> report, Clock::TimePoint arrived);

 private:
  std::mutex mutex_;
  std::ostream& out_;
  Clock::TimePoint start_;
};

}  // namespace vm31
