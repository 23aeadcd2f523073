#include "emulator/wire_trace.h"

#include <chrono>

namespace vm31 {

std::string HexString(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (std::uint8_t byte : bytes) {
    text.push_back(kDigits[byte >> 4]);
    text.push_back(kDigits[byte & 0xF]);
  }
  return text;
}

WireTrace::WireTrace(std::ostream& out, Clock& clock, const DeviceDefinition& definition)
    : out_(out), start_(clock.now()) {
  out_ << "{\"device\":{\"vendor_id\":" << definition.vendorId
       << ",\"product_id\":" << definition.productId << ",\"codec_key\":\""
       << HexString(definition.codecKey) << "\",\"codec_table\":\""
       << HexString(definition.codecTable) << "\"}}\n";
  out_.flush();
}

void WireTrace::record(std::string_view op, std::span<const std::uint8_t> report,
                       Clock::TimePoint arrived) {
  std::lock_guard lock(mutex_);
  const auto elapsed =
      std::chrono::duration_cast<std::chrono::microseconds>(arrived - start_).count();
  out_ << "{\"t_us\":" << elapsed << ",\"op\":\"" << op << "\",\"report\":\"" << HexString(report)
       << "\"}\n";
  out_.flush();
}

}  // namespace vm31
