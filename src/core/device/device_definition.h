#pragma once
// The device definition: which HID device is the mouse and the constants of its command codec.
// It lives in a small ini file installed with the program ("vm31-device.ini" among the factory
// files); a copy in the user's data folder overrides it. The shipped values fit the emulated
// mouse; the codec key and table of a real mouse go into that file, nowhere in the code.
//
// Format (section "Device"; every key optional, a missing key keeps the built-in value; numbers
// in decimal or 0x-prefixed hexadecimal):
//   VendorId=0x0F3A            ProductId=0x7C21
//   ControlUsagePage=0xFF00    ControlUsage=0xFF00
//   EventUsagePage=0xFF01      EventUsage=0xFF01
//   CodecKey=<12 hex digits>   the six key bytes, first byte first
//   CodecTable=<16 hex digits> the eight table bytes T[0..7]

#include <array>
#include <cstdint>
#include <filesystem>
#include <string_view>

#include "core/util/atomic_file.h"
#include "core/util/result.h"

namespace vm31 {

inline constexpr std::string_view kDeviceDefinitionFileName = "vm31-device.ini";

struct DeviceDefinition {
  std::uint16_t vendorId = 0x0F3A;
  std::uint16_t productId = 0x7C21;
  std::uint16_t controlUsagePage = 0xFF00;
  std::uint16_t controlUsage = 0xFF00;
  std::uint16_t eventUsagePage = 0xFF01;
  std::uint16_t eventUsage = 0xFF01;
  // Printable ASCII "Vm31Ek", the emulated mouse's key.
  std::array<std::uint8_t, 6> codecKey = {0x56, 0x6D, 0x33, 0x31, 0x45, 0x6B};
  std::array<std::uint8_t, 8> codecTable = {0x3C, 0xA5, 0x19, 0xE2, 0x47, 0x8B, 0xD0, 0x6F};

  friend bool operator==(const DeviceDefinition&, const DeviceDefinition&) = default;
};

// Parses the file's bytes over the built-in values. `source` names the file in error messages.
// Fails with kBadFormat naming the key when a value is not a number in range or not the right
// number of hex digits.
Result<DeviceDefinition> ParseDeviceDefinition(const Bytes& fileBytes, std::string_view source);

// The definition in effect: <dataFolder>/vm31-device.ini when it exists, else the one in
// `factoryFolder`, else the built-in values. A file that exists but is unreadable or malformed
// is an Error (never silently replaced by the defaults).
Result<DeviceDefinition> LoadDeviceDefinition(const std::filesystem::path& dataFolder,
                                              const std::filesystem::path& factoryFolder);

}  // namespace vm31
