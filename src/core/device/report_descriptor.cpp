#include "core/device/report_descriptor.h"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <string>

namespace vm31 {
namespace {

// Item prefix: bits 0..1 size code (0, 1, 2 or 4 bytes), bits 2..3 type, bits 4..7 tag.
constexpr std::uint8_t kLongItemPrefix = 0xFE;
enum ItemType : std::uint8_t { kMain = 0, kGlobal = 1, kLocal = 2 };
enum MainTag : std::uint8_t {
  kInput = 0x8,
  kOutput = 0x9,
  kCollection = 0xA,
  kFeature = 0xB,
  kEndCollection = 0xC
};
enum GlobalTag : std::uint8_t {
  kUsagePage = 0x0,
  kReportSize = 0x7,
  kReportId = 0x8,
  kReportCount = 0x9,
  kPush = 0xA,
  kPop = 0xB
};
enum LocalTag : std::uint8_t { kUsage = 0x0 };

constexpr std::uint64_t kMaxReportBits = 65534ull * 8;  // 65535 bytes with the id byte

struct GlobalState {
  std::uint32_t usagePage = 0;
  std::uint32_t reportSize = 0;   // bits per field
  std::uint32_t reportCount = 0;  // fields
  std::uint8_t reportId = 0;
};

// Bits per report id and kind (input, output, feature) inside one top-level collection.
struct CollectionBits {
  HidCollectionCaps caps;
  std::array<std::array<std::uint64_t, 256>, 3> bits{};
};

Error Bad(const std::string& what) {
  return MakeError(ErrorCode::kBadFormat, "HID report descriptor: " + what);
}

}  // namespace

Result<std::vector<HidCollectionCaps>> ParseReportDescriptor(
    std::span<const std::uint8_t> descriptor) {
  std::vector<HidCollectionCaps> result;
  GlobalState global;
  std::vector<GlobalState> stack;
  // The last Usage since the previous main item (a flag and a value rather than std::optional,
  // which GCC 12 at -O2 wrongly reports as maybe-uninitialized).
  bool hasLocalUsage = false;
  std::uint32_t localUsage = 0;
  int depth = 0;
  std::unique_ptr<CollectionBits> current;  // the open top-level collection

  auto finish = [&]() -> Status {
    for (int kind = 0; kind < 3; ++kind) {
      std::uint64_t longest = 0;
      for (std::uint64_t bits : current->bits[kind]) longest = std::max(longest, bits);
      if (longest > kMaxReportBits) return Bad("a report is longer than 65535 bytes");
      const auto length =
          longest == 0 ? std::uint16_t{0} : static_cast<std::uint16_t>(1 + (longest + 7) / 8);
      if (kind == 0) current->caps.inputReportLength = length;
      if (kind == 1) current->caps.outputReportLength = length;
      if (kind == 2) current->caps.featureReportLength = length;
    }
    result.push_back(current->caps);
    current.reset();
    return Ok{};
  };

  std::size_t pos = 0;
  while (pos < descriptor.size()) {
    const std::uint8_t prefix = descriptor[pos];
    if (prefix == kLongItemPrefix) {
      if (descriptor.size() - pos < 3)
        return Bad("long item cut short at byte " + std::to_string(pos));
      const std::size_t dataSize = descriptor[pos + 1];
      if (descriptor.size() - pos - 3 < dataSize) {
        return Bad("long item cut short at byte " + std::to_string(pos));
      }
      pos += 3 + dataSize;  // long items carry nothing this reader needs
      continue;
    }
    static constexpr std::array<std::size_t, 4> kSizes = {0, 1, 2, 4};
    const std::size_t size = kSizes[prefix & 0x3];
    if (descriptor.size() - pos - 1 < size) {
      return Bad("item cut short at byte " + std::to_string(pos));
    }
    std::uint32_t data = 0;
    for (std::size_t i = 0; i < size; ++i) {
      data |= static_cast<std::uint32_t>(descriptor[pos + 1 + i]) << (8 * i);
    }
    const auto type = static_cast<std::uint8_t>((prefix >> 2) & 0x3);
    const auto tag = static_cast<std::uint8_t>(prefix >> 4);
    pos += 1 + size;

    if (type == kGlobal) {
      switch (tag) {
        case kUsagePage:
          global.usagePage = data;
          break;
        case kReportSize:
          global.reportSize = data;
          break;
        case kReportCount:
          global.reportCount = data;
          break;
        case kReportId:
          global.reportId = static_cast<std::uint8_t>(data);
          break;
        case kPush:
          if (static_cast<int>(stack.size()) >= kMaxReportDescriptorPushes) {
            return Bad("too many Push items");
          }
          stack.push_back(global);
          break;
        case kPop:
          if (!stack.empty()) {
            global = stack.back();
            stack.pop_back();
          }
          break;
        default:
          break;
      }
      continue;
    }
    if (type == kLocal) {
      if (tag == kUsage) {
        // A four-byte usage names its own page in the high half.
        localUsage = size == 4 ? data : ((global.usagePage & 0xFFFF) << 16) | (data & 0xFFFF);
        hasLocalUsage = true;
      }
      continue;
    }
    if (type != kMain) continue;  // reserved item type: skipped

    switch (tag) {
      case kCollection:
        if (depth >= kMaxReportDescriptorNesting) return Bad("collections nested too deeply");
        if (depth == 0) {
          current = std::make_unique<CollectionBits>();
          const std::uint32_t usage =
              hasLocalUsage ? localUsage : (global.usagePage & 0xFFFF) << 16;
          current->caps.usagePage = static_cast<std::uint16_t>(usage >> 16);
          current->caps.usage = static_cast<std::uint16_t>(usage & 0xFFFF);
        }
        ++depth;
        break;
      case kEndCollection:
        if (depth == 0) return Bad("End Collection without a Collection");
        --depth;
        if (depth == 0) {
          if (Status done = finish(); !done) return done.error();
        }
        break;
      case kInput:
      case kOutput:
      case kFeature:
        if (current) {
          const int kind = tag == kInput ? 0 : tag == kOutput ? 1 : 2;
          std::uint64_t& bits = current->bits[kind][global.reportId];
          bits += static_cast<std::uint64_t>(global.reportSize) * global.reportCount;
          if (bits > kMaxReportBits) return Bad("a report is longer than 65535 bytes");
        }
        break;
      default:
        break;
    }
    hasLocalUsage = false;
  }
  if (current) {
    if (Status done = finish(); !done) return done.error();  // unclosed: keep what was read
  }
  return result;
}

}  // namespace vm31
