#include "emulator/emulator_client.h"

#include <algorithm>
#include <array>
#include <deque>

namespace vm31 {
namespace {

class EmulatorHandle : public HidHandle {
 public:
  EmulatorHandle(std::unique_ptr<EmulatorConnection> connection, HidOpenMode mode, std::string path)
      : connection_(std::move(connection)), mode_(mode), path_(std::move(path)) {}

  Result<std::size_t> setFeature(std::span<const std::uint8_t> report) override {
    return transferResult('S', report, "set feature report");
  }

  Result<std::size_t> getFeature(std::span<std::uint8_t> report) override {
    auto answer = request('G', report);
    if (!answer) return answer.error();
    if (answer.value().type == 'D') {
      const auto& data = answer.value().payload;
      std::fill(report.begin(), report.end(), 0);
      const std::size_t length = std::min(report.size(), data.size());
      std::copy_n(data.begin(), length, report.begin());
      return length;
    }
    return resultOf(answer.value(), "get feature report");
  }

  Result<std::size_t> write(std::span<const std::uint8_t> report) override {
    return transferResult('W', report, "write output report");
  }

  Result<HidReadResult> read(std::span<std::uint8_t> buffer,
                             std::optional<std::chrono::milliseconds> timeout) override {
    if (connection_->consumeWake()) return HidReadResult{HidReadStatus::kWoken, 0};
    if (mode_ == HidOpenMode::kControl) {
      auto answer = request('Q', {});
      if (!answer) return answer.error();
      if (answer.value().type == 'D') return deliver(answer.value().payload, buffer);
      if (answer.value().type != 'N') return resultOf(answer.value(), "read input report").error();
      // Nothing queued: like a device that sends nothing, wait for the time-out or a wake.
    } else if (!queued_.empty()) {
      auto report = std::move(queued_.front());
      queued_.pop_front();
      return deliver(report, buffer);
    }
    for (;;) {
      auto waited = connection_->waitReadable(timeout);
      if (!waited) return named(waited.error());
      if (waited.value() == ConnectionWait::kWoken) return HidReadResult{HidReadStatus::kWoken, 0};
      if (waited.value() == ConnectionWait::kTimedOut) {
        return HidReadResult{HidReadStatus::kTimedOut, 0};
      }
      // A hang-up ends here as kNotFound; a frame begun must be complete within the deadline.
      auto frame = ReceiveFrame(*connection_, EmulatorAnswerDeadline());
      if (!frame) return named(frame.error());
      if (frame.value().type == 'I') return deliver(frame.value().payload, buffer);
    }
  }

  void wake() override { connection_->wake(); }

 private:
  static HidReadResult deliver(const std::vector<std::uint8_t>& report,
                               std::span<std::uint8_t> buffer) {
    const std::size_t length = std::min(buffer.size(), report.size());
    std::copy_n(report.begin(), length, buffer.begin());
    return HidReadResult{HidReadStatus::kReport, length};
  }

  // Sends a request and returns its answer, which must come within one deadline however many
  // frames arrive before it. Input reports pushed meanwhile are kept in order, within the bounds
  // of the header: a peer that streams reports cannot make this side grow.
  Result<EmulatorFrame> request(char type, std::span<const std::uint8_t> payload) {
    if (auto sent = SendFrame(*connection_, type, payload); !sent) return named(sent.error());
    const auto deadline = EmulatorAnswerDeadline();
    for (;;) {
      auto frame = ReceiveFrame(*connection_, deadline);
      if (!frame) return named(frame.error());
      if (frame.value().type != 'I') return frame;
      auto& report = frame.value().payload;
      if (report.size() > kMaxReportBytes) report.resize(kMaxReportBytes);
      if (queued_.size() == kMaxQueuedReports) queued_.pop_front();
      queued_.push_back(std::move(report));
    }
  }

  Result<std::size_t> transferResult(char type, std::span<const std::uint8_t> report,
                                     const char* what) {
    auto answer = request(type, report);
    if (!answer) return answer.error();
    return resultOf(answer.value(), what);
  }

  Result<std::size_t> resultOf(const EmulatorFrame& frame, const char* what) const {
    const auto value = DecodeResult(frame);
    if (!value) return MakeError(ErrorCode::kIo, path_ + ": " + what + ": a garbled answer");
    if (*value < 0) return WireResultError(path_ + ": " + what, *value);
    return static_cast<std::size_t>(*value);
  }

  Error named(Error error) const {
    error.message = path_ + ": " + error.message;
    return error;
  }

  std::unique_ptr<EmulatorConnection> connection_;
  HidOpenMode mode_;
  std::string path_;
  std::deque<std::vector<std::uint8_t>> queued_;
};

}  // namespace

Status SendFrame(EmulatorConnection& connection, char type, std::span<const std::uint8_t> payload) {
  return connection.send(EncodeFrame(type, payload));
}

Result<EmulatorFrame> ReceiveFrame(EmulatorConnection& connection, EmulatorDeadline deadline) {
  return ReadFrame(
      [&](std::span<std::uint8_t> bytes) { return connection.receive(bytes, deadline); });
}

Result<std::string> ExchangeControlLine(EmulatorConnection& connection, const std::string& line,
                                        const std::string& where) {
  const std::string request = line + "\n";
  if (auto sent = connection.send(
          std::span(reinterpret_cast<const std::uint8_t*>(request.data()), request.size()));
      !sent) {
    return sent.error();
  }
  // One deadline for the whole answer line, however it trickles in.
  const auto deadline = EmulatorAnswerDeadline();
  std::string answer;
  std::array<std::uint8_t, 1> c{};
  while (answer.size() < kMaxControlAnswer) {
    if (!connection.receive(c, deadline) || c[0] == '\n') break;
    answer += static_cast<char>(c[0]);
  }
  if (answer.empty()) return MakeError(ErrorCode::kIo, where + ": no answer");
  return answer;
}

EmulatorClientBus::EmulatorClientBus(std::string where, EmulatorConnector connect)
    : where_(std::move(where)), connect_(std::move(connect)) {}

Result<std::vector<HidInterfaceInfo>> EmulatorClientBus::enumerate() {
  std::vector<HidInterfaceInfo> none;
  auto connection = connect_();
  if (!connection) return none;  // not running, or unplugged: nothing to list
  if (!SendFrame(*connection.value(), 'E', {})) return none;
  auto frame = ReceiveFrame(*connection.value(), EmulatorAnswerDeadline());
  if (!frame || frame.value().type != 'L') return none;  // unplugged meanwhile
  return DecodeCollections(frame.value().payload, where_);
}

Result<std::unique_ptr<HidHandle>> EmulatorClientBus::open(const HidInterfaceInfo& info,
                                                           HidOpenMode mode) {
  const auto index = CollectionIndexOfPath(info.path);
  if (!index) return MakeError(ErrorCode::kNotFound, info.path + ": not an emulated collection");
  auto connection = connect_();
  if (!connection) {
    return MakeError(ErrorCode::kNotFound, info.path + ": the emulated mouse is unplugged");
  }
  const std::array<std::uint8_t, 2> request = {
      *index, mode == HidOpenMode::kControl ? std::uint8_t{0} : std::uint8_t{1}};
  if (auto sent = SendFrame(*connection.value(), 'O', request); !sent) return sent.error();
  auto answer = ReceiveFrame(*connection.value(), EmulatorAnswerDeadline());
  if (!answer) return MakeError(ErrorCode::kNotFound, info.path + ": " + answer.error().message);
  const auto value = DecodeResult(answer.value());
  if (!value) return MakeError(ErrorCode::kIo, info.path + ": a garbled answer");
  if (*value < 0) return WireResultError(info.path, *value);
  return std::unique_ptr<HidHandle>(
      new EmulatorHandle(std::move(connection).value(), mode, info.path));
}

}  // namespace vm31
