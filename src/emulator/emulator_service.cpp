#include "emulator/emulator_service.h"

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <utility>
#include <vector>

namespace vm31 {
namespace {

std::int32_t WireErrorOf(const Error& error) {
  return error.code == ErrorCode::kNotFound ? -kWireNoDevice : -kWireIoError;
}

EmulatorFrame Answer(char type, std::vector<std::uint8_t> payload) {
  return EmulatorFrame{type, std::move(payload)};
}

EmulatorFrame ResultAnswer(std::int32_t value) {
  return Answer('R', EncodeResult(value));
}

EmulatorFrame TransferAnswer(const Result<std::size_t>& result) {
  return ResultAnswer(result ? static_cast<std::int32_t>(result.value())
                             : WireErrorOf(result.error()));
}

}  // namespace

std::optional<int> ParseEmulatorNumber(const std::string& text, int low, int high) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < low || value > high) return std::nullopt;
  return value;
}

EmulatorService::EmulatorService(EmulatedMouse& mouse, std::function<void(const std::string&)> say)
    : mouse_(mouse), say_(std::move(say)) {}

std::optional<EmulatorFrame> EmulatorService::answerDeviceFrame(DeviceConnectionState& connection,
                                                                EmulatorFrame frame) {
  const std::uint64_t generation = mouse_.generation();
  switch (frame.type) {
    case 'E':
      return Answer('L', EncodeCollections({mouse_.controlInfo(""), mouse_.eventInfo("")}));
    case 'O': {
      if (frame.payload.size() != 2 || frame.payload[0] > kEmulatedEventCollection) {
        return ResultAnswer(-kWireInvalid);
      }
      if (!mouse_.plugged()) return ResultAnswer(-kWireNoDevice);
      connection.collection = frame.payload[0];
      connection.generation = generation;
      connection.pushEvents = frame.payload[0] == kEmulatedEventCollection;
      return ResultAnswer(0);
    }
    case 'P':
      return std::nullopt;  // closed on unplug: that is the whole message
    default:
      break;
  }
  if (!connection.collection) return ResultAnswer(-kWireBadHandle);
  const std::uint64_t opened = connection.generation;
  const bool control = *connection.collection == kEmulatedControlCollection;
  switch (frame.type) {
    case 'S':
      if (!control) return ResultAnswer(-kWireWrongCollection);
      return TransferAnswer(mouse_.setFeature(opened, frame.payload));
    case 'G': {
      if (!control) return ResultAnswer(-kWireWrongCollection);
      auto got = mouse_.getFeature(opened, frame.payload);
      if (!got) return ResultAnswer(WireErrorOf(got.error()));
      frame.payload.resize(std::min(frame.payload.size(), got.value()));
      return Answer('D', std::move(frame.payload));
    }
    case 'W':
      if (!control) return ResultAnswer(-kWireWrongCollection);
      return TransferAnswer(mouse_.writeOutput(opened, frame.payload));
    case 'Q': {
      if (!control) return Answer('N', {});
      Bytes buffer(kEmulatedControlInputLength, 0);
      auto read = mouse_.readControl(opened, buffer);
      if (!read) return ResultAnswer(WireErrorOf(read.error()));
      if (read.value().status != HidReadStatus::kReport) return Answer('N', {});
      buffer.resize(read.value().length);
      return Answer('D', std::move(buffer));
    }
    default:
      return ResultAnswer(-kWireInvalid);
  }
}

std::string EmulatorService::answerControlLine(const std::string& line) {
  std::istringstream words(line);
  std::vector<std::string> w;
  for (std::string word; words >> word;) w.push_back(word);
  if (w.size() == 1 && w[0] == "plug") {
    mouse_.plug();
    return "ok plugged";
  }
  if (w.size() == 1 && w[0] == "unplug") {
    mouse_.unplug();
    return "ok unplugged";
  }
  if (w.size() == 1 && w[0] == "status") {
    const auto state = mouse_.state();
    return std::string("ok ") + (mouse_.plugged() ? "plugged" : "unplugged") + " sensor-type " +
           std::to_string(state.sensorInfo.sensorType) + " report-rate-code " +
           std::to_string(state.reportRateCode) + " problems " +
           std::to_string(mouse_.problems().size());
  }
  if (w.size() == 3 && w[0] == "press") {
    static const std::pair<const char*, PressKind> kKinds[] = {{"rate", PressKind::kRate},
                                                               {"dpi", PressKind::kDpi},
                                                               {"group", PressKind::kGroup},
                                                               {"macro", PressKind::kMacro}};
    const auto value = ParseEmulatorNumber(w[2], 0, 100000);
    for (const auto& [name, kind] : kKinds) {
      if (w[1] != name) continue;
      if (!value) return "error the value must be a number";
      auto pressed = mouse_.press(kind, *value);
      return pressed ? "ok pressed " + w[1] + " " + w[2] : "error " + pressed.error().message;
    }
    return "error press what? rate, dpi, group or macro";
  }
  if (w.size() == 3 && w[0] == "fault") {
    EmulatorFaults faults = mouse_.faults();
    const bool on = w[2] == "on";
    if (w[1] == "no-reply" || w[1] == "overlong" || w[1] == "wrong-index") {
      if (!on && w[2] != "off") return "error on or off";
      (w[1] == "no-reply"   ? faults.noReply
       : w[1] == "overlong" ? faults.overlongReply
                            : faults.wrongIndex) = on;
    } else if (w[1] == "unplug-at") {
      const auto n = ParseEmulatorNumber(w[2], 0, 1000000);
      if (!n) return "error unplug-at takes a transfer number (0 = never)";
      faults.unplugAtTransfer = *n;
    } else if (w[1] == "latency") {
      const auto us = ParseEmulatorNumber(w[2], 0, 1000000);
      if (!us) return "error latency takes microseconds (0..1000000)";
      faults.latency = std::chrono::microseconds(*us);
    } else {
      return "error unknown fault";
    }
    mouse_.setFaults(faults);
    return "ok fault " + w[1] + " " + w[2];
  }
  return "error unknown request: " + line;
}

Status EmulatorService::follow(EmulatorEndpoints& endpoints) {
  const bool plugged = mouse_.plugged();
  if (plugged && !endpoints.deviceEndpointOpen()) {
    if (auto opened = endpoints.openDeviceEndpoint(); !opened) return opened.error();
    if (announcedUnplug_) say_("plugged in");
    announcedUnplug_ = false;
  } else if (!plugged && endpoints.deviceEndpointOpen()) {
    endpoints.closeDeviceEndpoint();
    say_("unplugged");
    announcedUnplug_ = true;
  }
  const std::uint64_t generation = mouse_.generation();
  endpoints.dropDeviceConnections([generation](const DeviceConnectionState& connection) {
    return connection.collection && connection.generation != generation;
  });
  while (auto report = mouse_.takeEventReport(generation)) endpoints.pushEventReport(*report);
  const auto problems = mouse_.problems();
  for (std::size_t i = reportedProblems_; i < problems.size(); ++i) {
    std::fprintf(stderr, "emulated mouse: %s\n", problems[i].c_str());
  }
  reportedProblems_ = problems.size();
  return Ok{};
}

}  // namespace vm31
