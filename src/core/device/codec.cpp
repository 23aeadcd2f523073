#include "core/device/codec.h"

#include <utility>

namespace vm31 {
namespace {

std::uint8_t SwapNibbles(std::uint8_t value) {
  return static_cast<std::uint8_t>((value << 4) | (value >> 4));
}

void ExchangePairs(std::span<std::uint8_t, kCommandSize> d) {
  std::swap(d[0], d[5]);
  std::swap(d[1], d[4]);
  std::swap(d[2], d[7]);
  std::swap(d[3], d[6]);
}

void XorKey(std::span<std::uint8_t, kCommandSize> d, const Codec& codec) {
  for (std::size_t i = 1; i <= 6; ++i) d[i] ^= codec.key[i];
}

std::uint64_t ToBigEndian(std::span<const std::uint8_t, kCommandSize> d) {
  std::uint64_t value = 0;
  for (std::uint8_t byte : d) value = (value << 8) | byte;
  return value;
}

void FromBigEndian(std::uint64_t value, std::span<std::uint8_t, kCommandSize> d) {
  for (std::size_t i = kCommandSize; i-- > 0;) {
    d[i] = static_cast<std::uint8_t>(value & 0xFF);
    value >>= 8;
  }
}

}  // namespace

std::uint8_t CommandChecksum(std::span<const std::uint8_t, kCommandSize> block) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < 7; ++i) sum += block[i];
  return static_cast<std::uint8_t>(0xFF - (sum & 0xFF));
}

FeatureCommand MakeCommand(std::uint8_t opcode, std::initializer_list<std::uint8_t> parameters) {
  FeatureCommand command{};
  command[0] = opcode;
  std::size_t i = 1;
  for (std::uint8_t p : parameters) {
    if (i > 6) break;
    command[i++] = p;
  }
  command[7] = CommandChecksum(command);
  return command;
}

Codec Codec::FromKeyAndTable(std::span<const std::uint8_t, 6> keyBytes,
                             std::span<const std::uint8_t, 8> tableBytes) {
  Codec codec;
  for (std::size_t i = 0; i < 6; ++i) codec.key[i + 1] = keyBytes[i];
  for (std::size_t i = 0; i < 8; ++i) codec.table[i] = tableBytes[i];
  return codec;
}

void EncodeBlock(std::span<std::uint8_t, kCommandSize> block, const Codec& codec) {
  ExchangePairs(block);
  XorKey(block, codec);
  const std::uint64_t value = ToBigEndian(block);
  FromBigEndian((value << 3) | (value >> 61), block);
  for (std::size_t i = 0; i < kCommandSize; ++i) {
    block[i] = static_cast<std::uint8_t>(block[i] + SwapNibbles(codec.table[i]));
  }
}

void DecodeBlock(std::span<std::uint8_t, kCommandSize> block, const Codec& codec) {
  for (std::size_t i = 0; i < kCommandSize; ++i) {
    block[i] = static_cast<std::uint8_t>(block[i] - SwapNibbles(codec.table[i]));
  }
  const std::uint64_t value = ToBigEndian(block);
  FromBigEndian((value >> 3) | (value << 61), block);
  XorKey(block, codec);
  ExchangePairs(block);
}

}  // namespace vm31
