#include "core/device/transport.h"

#include <algorithm>
#include <string>
#include <vector>

namespace vm31 {
namespace {

Error TransferError(const char* what, const Error& cause) {
  return MakeError(cause.code, std::string("mouse: ") + what + " failed: " + cause.message);
}

}  // namespace

CommandTransport::CommandTransport(HidHandle& control, ReportLengths lengths, Clock& clock,
                                   Codec codec)
    : control_(control), lengths_(lengths), clock_(clock), codec_(codec) {}

Status CommandTransport::setCommandReport(const FeatureCommand& command) {
  if (lengths_.feature < 1 + kCommandSize) {
    return MakeError(ErrorCode::kUsage, "mouse: the control collection's feature report (" +
                                            std::to_string(lengths_.feature) +
                                            " bytes) cannot carry a command");
  }
  std::vector<std::uint8_t> report(lengths_.feature, 0);
  std::copy(command.begin(), command.end(), report.begin() + 1);
  const std::span<std::uint8_t, kCommandSize> block(report.data() + 1, kCommandSize);
  block[7] = CommandChecksum(block);
  if (encodedMode_) EncodeBlock(block, codec_);
  ++counters_.featureReports;
  Result<std::size_t> sent = control_.setFeature(report);
  if (!sent) return TransferError("sending a command", sent.error());
  return Ok{};
}

Status CommandTransport::getReplyReport(FeatureCommand& command) {
  std::vector<std::uint8_t> report(lengths_.feature, 0);
  ++counters_.featureReports;
  Result<std::size_t> got = control_.getFeature(report);
  if (!got) return TransferError("fetching a reply", got.error());
  const std::span<std::uint8_t, kCommandSize> block(report.data() + 1, kCommandSize);
  if (encodedMode_) DecodeBlock(block, codec_);
  std::copy(block.begin(), block.end(), command.begin());
  return Ok{};
}

Status CommandTransport::sendCommand(FeatureCommand& command) {
  command[7] = CommandChecksum(command);
  ++counters_.commands;
  if (Status sent = setCommandReport(command); !sent) return sent;
  if ((command[0] & kReadFlag) == 0) return Ok{};
  return getReplyReport(command);
}

Status CommandTransport::transferBlock(FeatureCommand& command, std::span<std::uint8_t> data) {
  const bool isRead = (command[0] & kReadFlag) != 0;
  // Checked before the command goes out, so that the mouse is never left waiting for chunks.
  const std::size_t reportLength = isRead ? lengths_.input : lengths_.output;
  if (reportLength < 1 + kChunkDataSize) {
    return MakeError(ErrorCode::kUsage, std::string("mouse: the control collection's ") +
                                            (isRead ? "input" : "output") + " report (" +
                                            std::to_string(reportLength) +
                                            " bytes) cannot carry a data chunk");
  }
  if (Status sent = sendCommand(command); !sent) return sent;
  // Byte 2 of the command (write) or of the reply (read) is the data length.
  const std::size_t length = command[2];
  const std::size_t chunks = (length + kChunkDataSize - 1) / kChunkDataSize;
  if (isRead) {
    std::vector<std::uint8_t> buffer(std::max(kMinChunkBufferSize, lengths_.input), 0);
    const std::span<std::uint8_t> report(buffer.data(), lengths_.input);
    for (std::size_t chunk = 0; chunk < chunks; ++chunk) {
      std::fill(buffer.begin(), buffer.end(), 0);
      ++counters_.chunksRead;
      Result<HidReadResult> got = control_.read(report, kChunkReadTimeout);
      if (!got) return TransferError("reading a data chunk", got.error());
      if (got.value().status != HidReadStatus::kReport) {
        return MakeError(ErrorCode::kIo, "mouse: the reply announced " + std::to_string(length) +
                                             " bytes but chunk " + std::to_string(chunk + 1) +
                                             " of " + std::to_string(chunks) + " never came");
      }
      const std::size_t offset = chunk * kChunkDataSize;
      if (offset < data.size()) {
        const std::size_t count = std::min(kChunkDataSize, data.size() - offset);
        std::copy_n(buffer.begin() + 1, count, data.begin() + static_cast<std::ptrdiff_t>(offset));
      }
    }
    if (length > data.size()) {
      return MakeError(ErrorCode::kOutOfRange,
                       "mouse: a reply announced " + std::to_string(length) +
                           " bytes for a block of " + std::to_string(data.size()));
    }
    return Ok{};
  }
  std::vector<std::uint8_t> buffer(std::max(kMinChunkBufferSize, lengths_.output), 0);
  for (std::size_t chunk = 0; chunk < chunks; ++chunk) {
    std::fill(buffer.begin(), buffer.end(), 0);
    const std::size_t offset = chunk * kChunkDataSize;
    if (offset < data.size()) {
      const std::size_t count = std::min(kChunkDataSize, data.size() - offset);
      std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(offset), count, buffer.begin() + 1);
    }
    ++counters_.chunksWritten;
    Result<std::size_t> written =
        control_.write(std::span<const std::uint8_t>(buffer.data(), lengths_.output));
    if (!written) return TransferError("writing a data chunk", written.error());
    clock_.waitUntil(clock_.now() + kChunkWriteWait);
  }
  return Ok{};
}

HandshakeOutcome CommandTransport::handshake() {
  for (int attempt = 0; attempt < 2; ++attempt) {
    encodedMode_ = attempt == 1;
    FeatureCommand command = MakeCommand(0x00, {kHandshakeChallenge[0], kHandshakeChallenge[1],
                                                kHandshakeChallenge[2], kHandshakeChallenge[3]});
    ++counters_.commands;
    if (!setCommandReport(command)) {
      encodedMode_ = false;
      return HandshakeOutcome::kNoAnswer;
    }
    clock_.waitUntil(clock_.now() + kHandshakeWait);
    if (!getReplyReport(command)) {
      encodedMode_ = false;
      return HandshakeOutcome::kNoAnswer;
    }
    const bool match =
        std::equal(kHandshakeChallenge.begin(), kHandshakeChallenge.end(), command.begin() + 1);
    if (attempt == 0 && match) {
      encodedMode_ = false;
      return HandshakeOutcome::kPlainEcho;
    }
    if (attempt == 1) {
      encodedMode_ = match;
      return match ? HandshakeOutcome::kDetected : HandshakeOutcome::kNoMatch;
    }
  }
  encodedMode_ = false;
  return HandshakeOutcome::kNoMatch;
}

}  // namespace vm31
