#include "core/device/device_definition.h"

#include <optional>
#include <string>
#include <system_error>

#include "core/settings/ini_file.h"
#include "core/util/path_text.h"

namespace vm31 {
namespace {

constexpr std::string_view kSection = "Device";

std::optional<int> HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return std::nullopt;
}

std::optional<std::uint16_t> ParseNumber16(const std::string& text) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  std::uint32_t value = 0;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    for (std::size_t i = 2; i < text.size(); ++i) {
      const auto digit = HexDigit(text[i]);
      if (!digit) return std::nullopt;
      value = value * 16 + static_cast<std::uint32_t>(*digit);
      if (value > 0xFFFF) return std::nullopt;
    }
  } else {
    for (char c : text) {
      if (c < '0' || c > '9') return std::nullopt;
      value = value * 10 + static_cast<std::uint32_t>(c - '0');
      if (value > 0xFFFF) return std::nullopt;
    }
  }
  return static_cast<std::uint16_t>(value);
}

template <std::size_t N>
bool ParseHexBytes(const std::string& text, std::array<std::uint8_t, N>& out) {
  if (text.size() != 2 * N) return false;
  for (std::size_t i = 0; i < N; ++i) {
    const auto high = HexDigit(text[2 * i]);
    const auto low = HexDigit(text[2 * i + 1]);
    if (!high || !low) return false;
    out[i] = static_cast<std::uint8_t>(*high * 16 + *low);
  }
  return true;
}

}  // namespace

Result<DeviceDefinition> ParseDeviceDefinition(const Bytes& fileBytes, std::string_view source) {
  const IniDocument ini = IniDocument::Parse(fileBytes);
  DeviceDefinition definition;
  const auto bad = [&](std::string_view key, std::string_view expected) {
    return MakeError(ErrorCode::kBadFormat, std::string(source) + ": \"" + std::string(key) +
                                                "\" must be " + std::string(expected));
  };
  struct NumberKey {
    std::string_view key;
    std::uint16_t DeviceDefinition::*field;
  };
  static constexpr NumberKey kNumbers[] = {
      {"VendorId", &DeviceDefinition::vendorId},
      {"ProductId", &DeviceDefinition::productId},
      {"ControlUsagePage", &DeviceDefinition::controlUsagePage},
      {"ControlUsage", &DeviceDefinition::controlUsage},
      {"EventUsagePage", &DeviceDefinition::eventUsagePage},
      {"EventUsage", &DeviceDefinition::eventUsage},
  };
  for (const NumberKey& entry : kNumbers) {
    const auto text = ini.find(kSection, entry.key);
    if (!text) continue;
    const auto value = ParseNumber16(*text);
    if (!value) return bad(entry.key, "a number from 0 to 0xFFFF");
    definition.*entry.field = *value;
  }
  if (const auto key = ini.find(kSection, "CodecKey")) {
    if (!ParseHexBytes(*key, definition.codecKey)) return bad("CodecKey", "12 hex digits");
  }
  if (const auto table = ini.find(kSection, "CodecTable")) {
    if (!ParseHexBytes(*table, definition.codecTable)) return bad("CodecTable", "16 hex digits");
  }
  return definition;
}

Result<DeviceDefinition> LoadDeviceDefinition(const std::filesystem::path& dataFolder,
                                              const std::filesystem::path& factoryFolder) {
  for (const auto& folder : {dataFolder, factoryFolder}) {
    if (folder.empty()) continue;
    const std::filesystem::path path = folder / kDeviceDefinitionFileName;
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) continue;
    Result<Bytes> bytes = ReadWholeFile(path, 64 * 1024);
    if (!bytes) return bytes.error();
    return ParseDeviceDefinition(bytes.value(), PathText(path));
  }
  return DeviceDefinition{};
}

}  // namespace vm31
