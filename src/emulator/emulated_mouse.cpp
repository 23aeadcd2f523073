#include "emulator/emulated_mouse.h"

#include <algorithm>

#include "core/device/report_descriptor.h"
#include "core/device/transport.h"
#include "core/settings/report_rate.h"

namespace vm31 {
namespace {

std::string Hex2(std::uint8_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  return std::string("0x") + kDigits[value >> 4] + kDigits[value & 0xF];
}

bool IsHandshake(const FeatureCommand& block) {
  return block[0] == opcode::kHandshake && block[7] == CommandChecksum(block) &&
         std::equal(kHandshakeChallenge.begin(), kHandshakeChallenge.end(), block.begin() + 1);
}

Error Gone() {
  return MakeError(ErrorCode::kNotFound, "emulated mouse: the mouse is unplugged");
}

// Expected data length and chunk count of each block write.
struct BlockWriteRule {
  std::uint8_t opcode;
  std::uint8_t firstIndex;
  std::uint8_t lastIndex;
  std::size_t length;
};
constexpr std::array<BlockWriteRule, 4> kBlockWrites = {{
    {opcode::kWriteColorBlock, 0, 1, kColorBlockSize},
    {opcode::kWriteDpiBlock, kDpiBlockStageCount, kDpiBlockStageCount, kDpiBlockSize},
    {opcode::kWriteKeyMatrix, 1, 4, 64},
    {opcode::kWriteMacro, 1, kMacroCount, kMacroBlockSize},
}};

}  // namespace

EmulatedMouse::EmulatedMouse(DeviceDefinition definition, Clock& clock)
    : definition_(definition),
      codec_(Codec::FromKeyAndTable(definition.codecKey, definition.codecTable)),
      clock_(clock) {
  for (std::size_t i = 0; i < kColorBlockSize; ++i) {
    state_.colorBlocks[0][i] = static_cast<std::uint8_t>(0xA0 + i);
  }
  for (auto& matrix : state_.keyMatrices) matrix.fill(0x5A);  // power-on junk until written
}

Bytes EmulatedMouse::ControlReportDescriptor() {
  return {
      0x06, 0x00, 0xFF,  // Usage Page (0xFF00)
      0x0A, 0x00, 0xFF,  // Usage (0xFF00)
      0xA1, 0x01,        // Collection (Application)
      0x15, 0x00,        //   Logical Minimum (0)
      0x26, 0xFF, 0x00,  //   Logical Maximum (255)
      0x75, 0x08,        //   Report Size (8)
      0x95, 0x20,        //   Report Count (32)
      0x09, 0x01,        //   Usage (1)
      0x81, 0x02,        //   Input (Data, Variable, Absolute): a data chunk
      0x09, 0x02,        //   Usage (2)
      0x91, 0x02,        //   Output: a data chunk
      0x95, 0x08,        //   Report Count (8)
      0x09, 0x03,        //   Usage (3)
      0xB1, 0x02,        //   Feature: a command block
      0xC0,              // End Collection
  };
}

Bytes EmulatedMouse::EventReportDescriptor() {
  return {
      0x06, 0x01, 0xFF,  // Usage Page (0xFF01)
      0x0A, 0x01, 0xFF,  // Usage (0xFF01)
      0xA1, 0x01,        // Collection (Application)
      0x85, 0x06,        //   Report ID (6)
      0x15, 0x00,        //   Logical Minimum (0)
      0x26, 0xFF, 0x00,  //   Logical Maximum (255)
      0x75, 0x08,        //   Report Size (8)
      0x95, 0x07,        //   Report Count (7)
      0x09, 0x01,        //   Usage (1)
      0x81, 0x02,        //   Input: code, unused, value, padding
      0xC0,              // End Collection
  };
}

namespace {
HidInterfaceInfo InfoFrom(const Bytes& descriptor, const DeviceDefinition& definition,
                          std::string path) {
  HidInterfaceInfo info;
  info.path = std::move(path);
  info.vendorId = definition.vendorId;
  info.productId = definition.productId;
  const auto caps = ParseReportDescriptor(descriptor);
  if (caps && !caps.value().empty()) {
    const HidCollectionCaps& c = caps.value().front();
    info.usagePage = c.usagePage;
    info.usage = c.usage;
    info.featureReportLength = c.featureReportLength;
    info.inputReportLength = c.inputReportLength;
    info.outputReportLength = c.outputReportLength;
  }
  return info;
}
}  // namespace

HidInterfaceInfo EmulatedMouse::controlInfo(std::string path) const {
  return InfoFrom(ControlReportDescriptor(), definition_, std::move(path));
}

HidInterfaceInfo EmulatedMouse::eventInfo(std::string path) const {
  return InfoFrom(EventReportDescriptor(), definition_, std::move(path));
}

void EmulatedMouse::plug() {
  std::unique_lock lock(mutex_);
  if (plugged_) return;
  plugged_ = true;
  transfers_ = 0;
  notifyListener(lock);
}

void EmulatedMouse::unplug() {
  std::unique_lock lock(mutex_);
  if (!plugged_) return;
  unplugLocked();
  notifyListener(lock);
}

void EmulatedMouse::unplugLocked() {
  plugged_ = false;
  ++generation_;
  state_.encoded = false;
  reply_.reset();
  pending_.reset();
  controlInput_.clear();
  eventInput_.clear();
  eventArrived_.notify_all();
}

bool EmulatedMouse::plugged() const {
  std::lock_guard lock(mutex_);
  return plugged_;
}

std::uint64_t EmulatedMouse::generation() const {
  std::lock_guard lock(mutex_);
  return generation_;
}

void EmulatedMouse::notifyListener(std::unique_lock<std::mutex>& lock) {
  std::function<void()> listener = listener_;
  lock.unlock();
  if (listener) listener();
  lock.lock();
}

void EmulatedMouse::problem(std::string text) {
  problems_.push_back(std::move(text));
}

Status EmulatedMouse::beginTransfer(std::unique_lock<std::mutex>& lock, std::uint64_t generation) {
  if (!plugged_ || generation != generation_) return Gone();
  ++transfers_;
  if (faults_.unplugAtTransfer > 0 && transfers_ == faults_.unplugAtTransfer) {
    unplugLocked();
    notifyListener(lock);
    return Gone();
  }
  if (faults_.latency.count() > 0) {
    const auto latency = faults_.latency;
    lock.unlock();
    clock_.waitUntil(clock_.now() + latency);
    lock.lock();
    if (!plugged_ || generation != generation_) return Gone();
  }
  return Ok{};
}

Result<std::size_t> EmulatedMouse::setFeature(std::uint64_t generation,
                                              std::span<const std::uint8_t> report) {
  const Clock::TimePoint arrived = clock_.now();
  std::unique_lock lock(mutex_);
  if (Status reached = beginTransfer(lock, generation); !reached) return reached.error();
  if (trace_) trace_->record("set_feature", report, arrived);
  if (report.size() != kEmulatedFeatureLength || report[0] != 0) {
    problem("feature report of " + std::to_string(report.size()) + " bytes with report id " +
            (report.empty() ? std::string("none") : Hex2(report[0])) + " (expected 9 bytes, id 0)");
    if (report.size() < 1 + kCommandSize) return report.size();
  }
  if (pending_) {
    problem("command arrived while " +
            std::to_string(pending_->chunksExpected - pending_->data.size() / kChunkDataSize) +
            " chunk(s) of command " + Hex2(pending_->opcode) + " were still expected");
    pending_.reset();
  }
  FeatureCommand block{};
  std::copy_n(report.begin() + 1, kCommandSize, block.begin());
  reply_.reset();

  // A plain challenge always restarts the handshake and gets a reply that does not echo it.
  if (IsHandshake(block)) {
    state_.encoded = false;
    if (faults_.plainEcho) {
      reply({opcode::kHandshake, kHandshakeChallenge[0], kHandshakeChallenge[1],
             kHandshakeChallenge[2], kHandshakeChallenge[3]});
    } else {
      reply({opcode::kHandshake, 0x55, 0x22, 0xC4, 0x9D});
    }
    return report.size();
  }
  FeatureCommand decoded = block;
  DecodeBlock(decoded, codec_);
  if (IsHandshake(decoded)) {
    state_.encoded = true;
    reply({opcode::kHandshake, kHandshakeChallenge[0], kHandshakeChallenge[1],
           kHandshakeChallenge[2], kHandshakeChallenge[3]});
    return report.size();
  }
  const FeatureCommand& command = state_.encoded ? decoded : block;
  if (command[7] != CommandChecksum(command)) {
    problem("command " + Hex2(command[0]) + " with checksum " + Hex2(command[7]) + " (expected " +
            Hex2(CommandChecksum(command)) + ")" +
            (state_.encoded ? "" : " (the host has not passed the scrambled handshake)"));
    return report.size();
  }
  if (faults_.refuseCommand && faultHits(command[0])) {
    return MakeError(ErrorCode::kIo, "emulated mouse: command " + Hex2(command[0]) + " refused");
  }
  handleCommand(command);
  return report.size();
}

bool EmulatedMouse::faultHits(std::uint8_t opcode) const {
  return faults_.onlyOpcode == 0 || faults_.onlyOpcode == opcode;
}

void EmulatedMouse::reply(std::initializer_list<std::uint8_t> bytes) {
  FeatureCommand block{};
  std::copy(bytes.begin(), bytes.end(), block.begin());
  block[7] = CommandChecksum(block);
  reply_ = block;
}

void EmulatedMouse::queueBlock(std::span<const std::uint8_t> data, std::size_t announced) {
  if (!controlInput_.empty()) {
    problem(std::to_string(controlInput_.size()) +
            " data chunk(s) of an earlier read were "
            "never fetched");
    controlInput_.clear();
  }
  const std::size_t chunks = (announced + kChunkDataSize - 1) / kChunkDataSize;
  for (std::size_t chunk = 0; chunk < chunks; ++chunk) {
    Bytes report(kEmulatedControlInputLength, 0);
    for (std::size_t i = 0; i < kChunkDataSize; ++i) {
      const std::size_t at = chunk * kChunkDataSize + i;
      report[1 + i] = at < data.size() ? data[at] : std::uint8_t{0};
    }
    controlInput_.push_back(std::move(report));
  }
}

void EmulatedMouse::handleCommand(const FeatureCommand& c) {
  const bool hit = faultHits(c[0]);
  const std::uint8_t wrong = faults_.wrongIndex && hit ? 1 : 0;
  const bool overlong = faults_.overlongReply && hit;
  switch (c[0]) {
    case opcode::kWriteReportRate:
      if (c[1] != 1 && c[1] != 2 && c[1] != 4 && c[1] != 8) {
        problem("report rate code " + Hex2(c[1]) + " (expected 1, 2, 4 or 8)");
        return;
      }
      state_.reportRateCode = c[1];
      return;
    case opcode::kWriteSensorInfo:
      state_.sensorInfo = {c[1], c[2], c[3], c[4]};
      return;
    case opcode::kReadSensorInfo: {
      const SensorInfo& s = state_.sensorInfo;
      reply({c[0], s.sensorType, s.rate, s.option1, s.option2});
      return;
    }
    case opcode::kWriteLightTriple:
      if (c[1] > 1) {
        problem("lighting index " + std::to_string(c[1]) + " (expected 0 or 1)");
        return;
      }
      state_.light.triples[c[1]] = {c[2], c[3], c[4]};
      return;
    case opcode::kReadLightTriple: {
      if (c[1] > 1) {
        problem("lighting index " + std::to_string(c[1]) + " (expected 0 or 1)");
        return;
      }
      const auto& t = state_.light.triples[c[1]];
      reply({c[0], static_cast<std::uint8_t>(c[1] + 2 * wrong), t[0], t[1], t[2]});
      return;
    }
    case opcode::kWriteLightEffect:
      state_.light.effect = c[1];
      state_.light.option1 = c[2];
      state_.light.option2 = c[3];
      return;
    case opcode::kReadLightEffect:
      reply({c[0], state_.light.effect, state_.light.option1, state_.light.option2});
      return;
    case opcode::kReadColorBlock: {
      if (c[1] > 1) {
        problem("colour sub-block " + std::to_string(c[1]) + " (expected 0 or 1)");
        return;
      }
      const std::size_t announced = overlong ? 40 : kColorBlockSize;
      reply({c[0], static_cast<std::uint8_t>(c[1] + 2 * wrong),
             static_cast<std::uint8_t>(announced)});
      queueBlock(state_.colorBlocks[c[1]], announced);
      return;
    }
    case opcode::kReadMacro: {
      if (c[1] < 1 || c[1] > kMacroCount) {
        problem("macro slot " + std::to_string(c[1]) + " (expected 1..12)");
        return;
      }
      const std::size_t announced = overlong ? 160 : kMacroBlockSize;
      reply({c[0], static_cast<std::uint8_t>(c[1] + kMacroCount * wrong),
             static_cast<std::uint8_t>(announced)});
      queueBlock(state_.macros[c[1] - 1u], announced);
      return;
    }
    default:
      break;
  }
  for (const BlockWriteRule& rule : kBlockWrites) {
    if (rule.opcode != c[0]) continue;
    if (c[1] < rule.firstIndex || c[1] > rule.lastIndex) {
      problem("command " + Hex2(c[0]) + " names index " + std::to_string(c[1]) + " (expected " +
              std::to_string(rule.firstIndex) + ".." + std::to_string(rule.lastIndex) + ")");
      return;
    }
    if (c[2] != rule.length) {
      problem("command " + Hex2(c[0]) + " announces " + std::to_string(c[2]) + " bytes (expected " +
              std::to_string(rule.length) + ")");
    }
    PendingWrite write;
    write.opcode = c[0];
    write.index = c[1];
    write.length = rule.length;
    write.chunksExpected = (rule.length + kChunkDataSize - 1) / kChunkDataSize;
    pending_ = std::move(write);
    return;
  }
  problem("unknown command " + Hex2(c[0]));
}

void EmulatedMouse::storeWrite(const PendingWrite& w) {
  const auto data = std::span<const std::uint8_t>(w.data).first(w.length);
  switch (w.opcode) {
    case opcode::kWriteColorBlock:
      std::copy(data.begin(), data.end(), state_.colorBlocks[w.index].begin());
      // The chunk carries 32 bytes; the host keeps zeros after the 24 data bytes.
      if (std::any_of(w.data.begin() + kColorBlockSize, w.data.end(),
                      [](std::uint8_t b) { return b != 0; })) {
        problem("colour sub-block " + std::to_string(w.index) + " chunk is not zero after byte 24");
      }
      return;
    case opcode::kWriteDpiBlock:
      state_.dpiStageCount = w.index;
      std::copy(data.begin(), data.end(), state_.dpiBlock.begin());
      return;
    case opcode::kWriteKeyMatrix:
      std::copy(data.begin(), data.end(), state_.keyMatrices[w.index - 1u].begin());
      return;
    case opcode::kWriteMacro:
      std::copy(data.begin(), data.end(), state_.macros[w.index - 1u].begin());
      if (faults_.corruptMacroSlot == w.index) state_.macros[w.index - 1u][0] ^= 0xFF;
      return;
    default:
      return;
  }
}

Result<std::size_t> EmulatedMouse::getFeature(std::uint64_t generation,
                                              std::span<std::uint8_t> report) {
  const Clock::TimePoint arrived = clock_.now();
  std::unique_lock lock(mutex_);
  if (Status reached = beginTransfer(lock, generation); !reached) return reached.error();
  if (faults_.noReply && (!reply_ || faultHits((*reply_)[0]))) {
    // The data of a block reply that never came is not sent either.
    reply_.reset();
    controlInput_.clear();
    return MakeError(ErrorCode::kIo, "emulated mouse: no reply to the feature request");
  }
  std::fill(report.begin(), report.end(), 0);
  if (report.size() != kEmulatedFeatureLength) {
    problem("feature request of " + std::to_string(report.size()) + " bytes (expected 9)");
  }
  if (reply_ && report.size() >= 1 + kCommandSize) {
    FeatureCommand block = *reply_;
    if (state_.encoded) EncodeBlock(block, codec_);
    std::copy(block.begin(), block.end(), report.begin() + 1);
  } else if (!reply_) {
    problem("feature request without a read command before it");
  }
  if (trace_) trace_->record("get_feature", report, arrived);
  return report.size();
}

Result<std::size_t> EmulatedMouse::writeOutput(std::uint64_t generation,
                                               std::span<const std::uint8_t> report) {
  const Clock::TimePoint arrived = clock_.now();
  std::unique_lock lock(mutex_);
  if (Status reached = beginTransfer(lock, generation); !reached) return reached.error();
  if (trace_) trace_->record("write", report, arrived);
  if (report.size() != kEmulatedControlOutputLength || report[0] != 0) {
    problem("output report of " + std::to_string(report.size()) +
            " bytes (expected 33, report id 0)");
  }
  if (!pending_) {
    problem("data chunk without a block command before it");
    return report.size();
  }
  const auto body = report.size() > 1 ? report.subspan(1) : std::span<const std::uint8_t>{};
  for (std::size_t i = 0; i < kChunkDataSize; ++i) {
    pending_->data.push_back(i < body.size() ? body[i] : 0);
  }
  if (pending_->data.size() / kChunkDataSize == pending_->chunksExpected) {
    storeWrite(*pending_);
    pending_.reset();
  }
  return report.size();
}

Result<HidReadResult> EmulatedMouse::readControl(std::uint64_t generation,
                                                 std::span<std::uint8_t> buffer) {
  const Clock::TimePoint arrived = clock_.now();
  std::unique_lock lock(mutex_);
  if (Status reached = beginTransfer(lock, generation); !reached) return reached.error();
  if (controlInput_.empty()) {
    problem("read of a data chunk that no reply announced");
    return HidReadResult{HidReadStatus::kTimedOut, 0};
  }
  const Bytes chunk = std::move(controlInput_.front());
  controlInput_.pop_front();
  if (trace_) trace_->record("read", chunk, arrived);
  const std::size_t count = std::min(chunk.size(), buffer.size());
  std::copy_n(chunk.begin(), count, buffer.begin());
  return HidReadResult{HidReadStatus::kReport, count};
}

std::optional<Bytes> EmulatedMouse::takeControlReport(std::uint64_t generation) {
  const Clock::TimePoint arrived = clock_.now();
  std::unique_lock lock(mutex_);
  if (!plugged_ || generation != generation_ || controlInput_.empty()) return std::nullopt;
  if (Status reached = beginTransfer(lock, generation); !reached || controlInput_.empty()) {
    return std::nullopt;
  }
  Bytes chunk = std::move(controlInput_.front());
  controlInput_.pop_front();
  if (trace_) trace_->record("read", chunk, arrived);
  return chunk;
}

Result<HidReadResult> EmulatedMouse::readEvent(std::uint64_t generation,
                                               std::span<std::uint8_t> buffer,
                                               std::optional<std::chrono::milliseconds> timeout,
                                               EventWait& wait) {
  std::unique_lock lock(mutex_);
  const auto ready = [&] {
    return wait.wakeRequested || !plugged_ || generation != generation_ || !eventInput_.empty();
  };
  if (timeout) {
    eventArrived_.wait_for(lock, *timeout, ready);
  } else {
    eventArrived_.wait(lock, ready);
  }
  if (wait.wakeRequested) {
    wait.wakeRequested = false;
    return HidReadResult{HidReadStatus::kWoken, 0};
  }
  if (!plugged_ || generation != generation_) return Gone();
  if (eventInput_.empty()) return HidReadResult{HidReadStatus::kTimedOut, 0};
  const Bytes report = std::move(eventInput_.front());
  eventInput_.pop_front();
  if (trace_) trace_->record("input", report, clock_.now());
  const std::size_t count = std::min(report.size(), buffer.size());
  std::copy_n(report.begin(), count, buffer.begin());
  return HidReadResult{HidReadStatus::kReport, count};
}

void EmulatedMouse::wakeEventReader(EventWait& wait) {
  std::lock_guard lock(mutex_);
  wait.wakeRequested = true;
  eventArrived_.notify_all();
}

std::optional<Bytes> EmulatedMouse::takeEventReport(std::uint64_t generation) {
  std::lock_guard lock(mutex_);
  if (!plugged_ || generation != generation_ || eventInput_.empty()) return std::nullopt;
  Bytes report = std::move(eventInput_.front());
  eventInput_.pop_front();
  if (trace_) trace_->record("input", report, clock_.now());
  return report;
}

Status EmulatedMouse::press(PressKind kind, int value) {
  std::unique_lock lock(mutex_);
  if (!plugged_) return Gone();
  std::uint8_t code = 0;
  std::uint8_t eventValue = 0;
  switch (kind) {
    case PressKind::kRate: {
      const ReportRate* found = FindReportRateByHz(value);
      if (found == nullptr) {
        return MakeError(ErrorCode::kOutOfRange, "report rate must be 1000, 500, 250 or 125");
      }
      code = static_cast<std::uint8_t>(MouseSwitch::kReportRate);
      eventValue = found->code;
      state_.reportRateCode = found->code;
      break;
    }
    case PressKind::kDpi:
      if (value < 1 || value > 4) return MakeError(ErrorCode::kOutOfRange, "DPI stage is 1..4");
      code = static_cast<std::uint8_t>(MouseSwitch::kDpiStage);
      eventValue = static_cast<std::uint8_t>(value);
      break;
    case PressKind::kGroup:
      if (value < 1 || value > 2) return MakeError(ErrorCode::kOutOfRange, "key group is 1 or 2");
      code = static_cast<std::uint8_t>(MouseSwitch::kKeyGroup);
      eventValue = static_cast<std::uint8_t>(value);
      break;
    case PressKind::kMacro:
      if (value < 1 || value > 255) return MakeError(ErrorCode::kOutOfRange, "macro is 1..255");
      code = static_cast<std::uint8_t>(MouseSwitch::kMacroKey);
      eventValue = static_cast<std::uint8_t>(value);
      break;
  }
  Bytes report(kEmulatedEventInputLength, 0);
  report[0] = 6;  // the event collection's report id
  report[1] = code;
  report[3] = eventValue;
  eventInput_.push_back(std::move(report));
  eventArrived_.notify_all();
  notifyListener(lock);
  return Ok{};
}

void EmulatedMouse::queueEventReport(Bytes report) {
  std::unique_lock lock(mutex_);
  eventInput_.push_back(std::move(report));
  eventArrived_.notify_all();
  notifyListener(lock);
}

void EmulatedMouse::setSensorType(std::uint8_t type) {
  std::lock_guard lock(mutex_);
  state_.sensorInfo.sensorType = type;
}

void EmulatedMouse::setFaults(const EmulatorFaults& faults) {
  std::lock_guard lock(mutex_);
  faults_ = faults;
  transfers_ = 0;
}

EmulatorFaults EmulatedMouse::faults() const {
  std::lock_guard lock(mutex_);
  return faults_;
}

void EmulatedMouse::setTrace(WireTrace* trace) {
  std::lock_guard lock(mutex_);
  trace_ = trace;
}

void EmulatedMouse::setListener(std::function<void()> listener) {
  std::lock_guard lock(mutex_);
  listener_ = std::move(listener);
}

FirmwareState EmulatedMouse::state() const {
  std::lock_guard lock(mutex_);
  return state_;
}

std::vector<std::string> EmulatedMouse::problems() const {
  std::lock_guard lock(mutex_);
  return problems_;
}

void EmulatedMouse::clearProblems() {
  std::lock_guard lock(mutex_);
  problems_.clear();
}

int EmulatedMouse::transfersSincePlug() const {
  std::lock_guard lock(mutex_);
  return transfers_;
}

}  // namespace vm31
