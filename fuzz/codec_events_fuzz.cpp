// The command codec and the event reports: DecodeBlock undoes EncodeBlock for every block, key
// and table; MakeCommand's checksum holds; any input report parses to nothing or to an event
// whose value is the report's byte 3.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/device/codec.h"
#include "core/device/reader.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size >= 22) {
    const vm31::Codec codec = vm31::Codec::FromKeyAndTable(
        std::span<const std::uint8_t, 6>(data, 6), std::span<const std::uint8_t, 8>(data + 6, 8));
    vm31::FeatureCommand block;
    std::copy_n(data + 14, block.size(), block.begin());
    const vm31::FeatureCommand original = block;
    vm31::EncodeBlock(block, codec);
    vm31::DecodeBlock(block, codec);
    FUZZ_CHECK(block == original);

    const vm31::FeatureCommand command =
        vm31::MakeCommand(data[14], {data[15], data[16], data[17], data[18], data[19], data[20]});
    FUZZ_CHECK(command[7] == vm31::CommandChecksum(command));
  }
  const std::vector<std::uint8_t> report(data, data + size);
  if (const auto event = vm31::ParseEventReport(report)) {
    FUZZ_CHECK(size >= 4 && report[0] == vm31::kEventReportId);
    FUZZ_CHECK(event->value == report[3]);
  }
  return 0;
}
