#pragma once
// The eight-byte command block and its codec. A block travels in bytes 1..8 of a feature report;
// in encoded mode it is scrambled with the codec key and table of the device definition.

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>

namespace vm31 {

inline constexpr std::size_t kCommandSize = 8;

// Byte 0 opcode (bit 7 set: a read whose reply is fetched), bytes 1..6 parameters, byte 7 the
// checksum of bytes 0..6.
using FeatureCommand = std::array<std::uint8_t, kCommandSize>;

inline constexpr std::uint8_t kReadFlag = 0x80;

// 0xFF minus the sum of bytes 0..6, modulo 256.
std::uint8_t CommandChecksum(std::span<const std::uint8_t, kCommandSize> block);

// A command block with the given opcode and parameters (missing ones 0) and its checksum.
FeatureCommand MakeCommand(std::uint8_t opcode, std::initializer_list<std::uint8_t> parameters);

// The codec constants: key bytes 1..6 (bytes 0 and 7 are 0 and never used) and table T[0..7].
struct Codec {
  std::array<std::uint8_t, 8> key{};
  std::array<std::uint8_t, 8> table{};

  static Codec FromKeyAndTable(std::span<const std::uint8_t, 6> keyBytes,
                               std::span<const std::uint8_t, 8> tableBytes);
};

// Scrambles a block in place: swap pairs, XOR the key into bytes 1..6, rotate the 64-bit
// big-endian value left by 3 bits, add the nibble-swapped table bytes.
void EncodeBlock(std::span<std::uint8_t, kCommandSize> block, const Codec& codec);
// Exactly undoes EncodeBlock for every block, key and table.
void DecodeBlock(std::span<std::uint8_t, kCommandSize> block, const Codec& codec);

}  // namespace vm31
