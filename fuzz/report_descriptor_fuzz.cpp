// The report-descriptor reader: any bytes give collections or an error, never a read past the
// buffer; a descriptor is read the same way twice.
#include <cstddef>
#include <cstdint>

#include "core/device/report_descriptor.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A copy of exactly `size` bytes, so the sanitizer sees any read past the end.
  const std::vector<std::uint8_t> descriptor(data, data + size);
  const auto first = vm31::ParseReportDescriptor(descriptor);
  const auto second = vm31::ParseReportDescriptor(descriptor);
  FUZZ_CHECK(first.ok() == second.ok());
  if (first) {
    FUZZ_CHECK(first.value() == second.value());
  } else {
    FUZZ_CHECK(!first.error().message.empty());
  }
  return 0;
}
