// The device definition (vm31-device.ini): any bytes give a definition or an error naming the
// file; a parsed definition parses the same again.
#include <cstddef>
#include <cstdint>

#include "core/device/device_definition.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const vm31::Bytes bytes(data, data + size);
  const auto first = vm31::ParseDeviceDefinition(bytes, "vm31-device.ini");
  const auto second = vm31::ParseDeviceDefinition(bytes, "vm31-device.ini");
  FUZZ_CHECK(first.ok() == second.ok());
  if (first) {
    FUZZ_CHECK(first.value() == second.value());
  } else {
    FUZZ_CHECK(first.error().message.find("vm31-device.ini") != std::string::npos);
  }
  return 0;
}
