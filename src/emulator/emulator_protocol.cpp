#include "emulator/emulator_protocol.h"

#include <algorithm>

namespace vm31 {
namespace {

void PutU16(std::vector<std::uint8_t>& bytes, std::uint16_t value) {
  bytes.push_back(static_cast<std::uint8_t>(value));
  bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

std::uint16_t GetU16(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

}  // namespace

EmulatorDeadline EmulatorAnswerDeadline() {
  return std::chrono::steady_clock::now() + kEmulatorAnswerTime;
}

std::vector<std::uint8_t> EncodeFrame(char type, std::span<const std::uint8_t> payload) {
  std::vector<std::uint8_t> bytes(kFrameHeaderBytes + payload.size());
  bytes[0] = static_cast<std::uint8_t>(type);
  const auto size = static_cast<std::uint32_t>(payload.size());
  for (int i = 0; i < 4; ++i) bytes[1 + i] = static_cast<std::uint8_t>(size >> (8 * i));
  std::copy(payload.begin(), payload.end(), bytes.begin() + kFrameHeaderBytes);
  return bytes;
}

Result<EmulatorFrame> ReadFrame(const std::function<Status(std::span<std::uint8_t>)>& readExactly) {
  std::array<std::uint8_t, kFrameHeaderBytes> header{};
  if (auto got = readExactly(header); !got) return got.error();
  std::uint32_t size = 0;
  for (int i = 0; i < 4; ++i) size |= static_cast<std::uint32_t>(header[1 + i]) << (8 * i);
  if (size > kMaxFramePayload) {
    return MakeError(ErrorCode::kBadFormat, "emulated mouse: oversized frame");
  }
  EmulatorFrame frame;
  frame.type = static_cast<char>(header[0]);
  frame.payload.resize(size);
  if (auto got = readExactly(frame.payload); !got) return got.error();
  return frame;
}

std::vector<std::uint8_t> EncodeResult(std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  return {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
          static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
}

std::optional<std::int32_t> DecodeResult(const EmulatorFrame& frame) {
  if (frame.type != 'R' || frame.payload.size() != 4) return std::nullopt;
  std::uint32_t bits = 0;
  for (int i = 0; i < 4; ++i) bits |= static_cast<std::uint32_t>(frame.payload[i]) << (8 * i);
  return static_cast<std::int32_t>(bits);
}

Error WireResultError(const std::string& what, std::int32_t result) {
  switch (-result) {
    case kWireNoDevice:
      return MakeError(ErrorCode::kNotFound, what + ": No such device");
    case kWireWrongCollection:
      return MakeError(ErrorCode::kNotFound, what + ": Broken pipe");
    case kWireBadHandle:
      return MakeError(ErrorCode::kIo, what + ": Bad file descriptor");
    case kWireInvalid:
      return MakeError(ErrorCode::kIo, what + ": Invalid argument");
    case kWireIoError:
      return MakeError(ErrorCode::kIo, what + ": Input/output error");
    default:
      return MakeError(ErrorCode::kIo, what + ": error " + std::to_string(-result));
  }
}

std::vector<std::uint8_t> EncodeCollections(const std::vector<HidInterfaceInfo>& collections) {
  std::vector<std::uint8_t> records;
  for (const HidInterfaceInfo& info : collections) {
    for (std::uint16_t value :
         {info.vendorId, info.productId, info.usagePage, info.usage, info.featureReportLength,
          info.inputReportLength, info.outputReportLength}) {
      PutU16(records, value);
    }
  }
  return records;
}

std::vector<HidInterfaceInfo> DecodeCollections(std::span<const std::uint8_t> records,
                                                const std::string& where) {
  std::vector<HidInterfaceInfo> result;
  for (std::size_t at = 0, index = 0; at + kCollectionRecordBytes <= records.size();
       at += kCollectionRecordBytes, ++index) {
    HidInterfaceInfo info;
    info.path = std::string(kEmulatorPathPrefix) + where + "#" + std::to_string(index);
    info.vendorId = GetU16(records, at);
    info.productId = GetU16(records, at + 2);
    info.usagePage = GetU16(records, at + 4);
    info.usage = GetU16(records, at + 6);
    info.featureReportLength = GetU16(records, at + 8);
    info.inputReportLength = GetU16(records, at + 10);
    info.outputReportLength = GetU16(records, at + 12);
    result.push_back(std::move(info));
  }
  return result;
}

std::optional<std::uint8_t> CollectionIndexOfPath(const std::string& path) {
  if (path.rfind(kEmulatorPathPrefix, 0) != 0) return std::nullopt;
  const auto hash = path.rfind('#');
  if (hash == std::string::npos || hash + 1 >= path.size() || path.size() - hash > 4) {
    return std::nullopt;
  }
  unsigned index = 0;
  for (std::size_t i = hash + 1; i < path.size(); ++i) {
    if (path[i] < '0' || path[i] > '9') return std::nullopt;
    index = index * 10 + static_cast<unsigned>(path[i] - '0');
  }
  if (index > 255) return std::nullopt;
  return static_cast<std::uint8_t>(index);
}

}  // namespace vm31
