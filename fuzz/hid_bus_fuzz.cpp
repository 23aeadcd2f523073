// A HID bus whose every answer comes from the fuzzer: what enumerate lists (lengths included),
// whether an open succeeds, every feature report, chunk and its length, every error and every
// time-out. Behind it run the device link's start-up (open, handshake), the sensor refresh, the
// apply sequence and hotplug events. Whatever the device says, nothing crashes or hangs, no
// report is written past its buffer, and every failure is reported in words.
#include <fuzzer/FuzzedDataProvider.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/device/commands.h"
#include "core/device/device_link.h"
#include "emulator/virtual_clock.h"
#include "fuzz_check.h"

namespace {

using vm31::Error;
using vm31::ErrorCode;
using vm31::HidReadResult;
using vm31::HidReadStatus;
using vm31::Result;

Error Failure(FuzzedDataProvider& fuzz) {
  switch (fuzz.ConsumeIntegralInRange(0, 2)) {
    case 0:
      return vm31::MakeError(ErrorCode::kNotFound, "fuzzed: the device is gone");
    case 1:
      return vm31::MakeError(ErrorCode::kAccessDenied, "fuzzed: permission denied");
    default:
      return vm31::MakeError(ErrorCode::kIo, "fuzzed: input/output error");
  }
}

// The control collection. Runs on the thread of the link only, the one that owns the provider;
// once the fuzzer's bytes run out the device is gone, so every loop ends.
class FuzzedControlHandle : public vm31::HidHandle {
 public:
  FuzzedControlHandle(FuzzedDataProvider& fuzz, vm31::VirtualClock& clock)
      : fuzz_(fuzz), clock_(clock) {}

  Result<std::size_t> setFeature(std::span<const std::uint8_t> report) override {
    return transferred(report.size());
  }
  Result<std::size_t> getFeature(std::span<std::uint8_t> report) override {
    if (gone()) return gone_;
    if (fuzz_.ConsumeBool()) return Failure(fuzz_);
    return fill(report);
  }
  Result<std::size_t> write(std::span<const std::uint8_t> report) override {
    return transferred(report.size());
  }
  Result<HidReadResult> read(std::span<std::uint8_t> buffer,
                             std::optional<std::chrono::milliseconds> timeout) override {
    if (gone()) return gone_;
    switch (fuzz_.ConsumeIntegralInRange(0, 3)) {
      case 0:
        return Failure(fuzz_);
      case 1:
        if (timeout) clock_.advance(*timeout);
        return HidReadResult{HidReadStatus::kTimedOut, 0};
      case 2:
        return HidReadResult{HidReadStatus::kWoken, 0};
      default: {
        auto filled = fill(buffer);
        return HidReadResult{HidReadStatus::kReport, filled.value()};
      }
    }
  }
  void wake() override {}

 private:
  bool gone() const { return fuzz_.remaining_bytes() == 0; }
  Result<std::size_t> transferred(std::size_t size) {
    if (gone()) return gone_;
    switch (fuzz_.ConsumeIntegralInRange(0, 3)) {
      case 0:
        return Failure(fuzz_);
      case 1:
        return fuzz_.ConsumeIntegralInRange<std::size_t>(0, size);  // a short transfer
      default:
        return size;
    }
  }
  Result<std::size_t> fill(std::span<std::uint8_t> buffer) {
    const std::size_t length = fuzz_.ConsumeIntegralInRange<std::size_t>(0, buffer.size());
    const auto bytes = fuzz_.ConsumeBytes<std::uint8_t>(length);
    std::copy(bytes.begin(), bytes.end(), buffer.begin());
    return bytes.size();
  }

  FuzzedDataProvider& fuzz_;
  vm31::VirtualClock& clock_;
  const Error gone_ = vm31::MakeError(ErrorCode::kNotFound, "fuzzed: the device is gone");
};

// The event collection is read by the reader thread, which must not share the provider: its
// reads fail at once, as a collection that went away, and the reader waits for the next one.
class DeadEventHandle : public vm31::HidHandle {
 public:
  Result<std::size_t> setFeature(std::span<const std::uint8_t>) override { return gone(); }
  Result<std::size_t> getFeature(std::span<std::uint8_t>) override { return gone(); }
  Result<std::size_t> write(std::span<const std::uint8_t>) override { return gone(); }
  Result<HidReadResult> read(std::span<std::uint8_t>,
                             std::optional<std::chrono::milliseconds>) override {
    return gone();
  }
  void wake() override {}

 private:
  static Error gone() { return vm31::MakeError(ErrorCode::kNotFound, "fuzzed: events gone"); }
};

class FuzzedBus : public vm31::HidBus {
 public:
  FuzzedBus(FuzzedDataProvider& fuzz, vm31::VirtualClock& clock,
            const vm31::DeviceDefinition& definition)
      : fuzz_(fuzz), clock_(clock), definition_(definition) {}

  Result<std::vector<vm31::HidInterfaceInfo>> enumerate() override {
    if (fuzz_.remaining_bytes() == 0) return std::vector<vm31::HidInterfaceInfo>{};
    if (fuzz_.ConsumeIntegralInRange(0, 7) == 0) return Failure(fuzz_);
    std::vector<vm31::HidInterfaceInfo> listed;
    const int count = fuzz_.ConsumeIntegralInRange(0, 4);
    for (int i = 0; i < count; ++i) {
      vm31::HidInterfaceInfo info;
      info.path = "fuzzed#" + std::to_string(i);
      const bool mouse = fuzz_.ConsumeIntegralInRange(0, 3) != 0;
      info.vendorId = mouse ? definition_.vendorId : fuzz_.ConsumeIntegral<std::uint16_t>();
      info.productId = mouse ? definition_.productId : fuzz_.ConsumeIntegral<std::uint16_t>();
      const bool control = fuzz_.ConsumeBool();
      info.usagePage = control ? definition_.controlUsagePage : definition_.eventUsagePage;
      info.usage = control ? definition_.controlUsage : definition_.eventUsage;
      info.featureReportLength = fuzz_.ConsumeIntegralInRange<std::uint16_t>(0, 80);
      info.inputReportLength = fuzz_.ConsumeIntegralInRange<std::uint16_t>(0, 80);
      info.outputReportLength = fuzz_.ConsumeIntegralInRange<std::uint16_t>(0, 80);
      listed.push_back(std::move(info));
    }
    last_ = listed;
    return listed;
  }

  Result<std::unique_ptr<vm31::HidHandle>> open(const vm31::HidInterfaceInfo&,
                                                vm31::HidOpenMode mode) override {
    if (fuzz_.remaining_bytes() == 0 || fuzz_.ConsumeIntegralInRange(0, 5) == 0) {
      return Failure(fuzz_);
    }
    if (mode == vm31::HidOpenMode::kEvents) {
      return std::unique_ptr<vm31::HidHandle>(new DeadEventHandle());
    }
    return std::unique_ptr<vm31::HidHandle>(new FuzzedControlHandle(fuzz_, clock_));
  }

  const std::vector<vm31::HidInterfaceInfo>& lastListed() const { return last_; }

 private:
  FuzzedDataProvider& fuzz_;
  vm31::VirtualClock& clock_;
  const vm31::DeviceDefinition& definition_;
  std::vector<vm31::HidInterfaceInfo> last_;
};

class CountingSink : public vm31::EventSink {
 public:
  void deliver(const vm31::DeviceEvent&) override { ++delivered; }
  std::atomic<int> delivered{0};
};

void CheckApplyOutcome(const vm31::ApplyOutcome& outcome) {
  // Every failed step carries its error, every skipped one the read it lacked; each is named.
  for (const vm31::ApplyStepProblem& problem : outcome.problems) {
    if (problem.result == vm31::ApplyStepResult::kFailed) FUZZ_CHECK(problem.error.has_value());
    if (problem.result == vm31::ApplyStepResult::kSkipped) FUZZ_CHECK(problem.missing.has_value());
    FUZZ_CHECK(outcome.message().find(vm31::ApplyStepName(problem.step)) != std::string::npos);
  }
  for (int slot : outcome.mismatchedMacroSlots) FUZZ_CHECK(slot >= 1 && slot <= vm31::kMacroCount);
  if (outcome.ok()) FUZZ_CHECK(outcome.message().empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider fuzz(data, size);
  const vm31::DeviceDefinition definition;
  vm31::VirtualClock clock;
  CountingSink sink;
  FuzzedBus bus(fuzz, clock, definition);

  vm31::MouseConfig config;
  const auto seed = fuzz.ConsumeBytes<std::uint8_t>(64);
  for (std::size_t i = 0; i < config.bytes.size() && !seed.empty(); ++i) {
    config.bytes[i] = static_cast<std::uint8_t>(seed[i % seed.size()] ^ (i / seed.size()));
  }

  vm31::DeviceLink link(bus, clock, sink, definition);
  for (int round = 0; round < 3 && fuzz.remaining_bytes() > 0; ++round) {
    const bool present = round == 0 ? link.startUp() : link.devicePresent();
    if (present) {
      if (auto refreshed = link.sensorRefresh(); !refreshed) {
        FUZZ_CHECK(!refreshed.error().message.empty());
      }
      auto applied = link.apply(config);
      if (applied) {
        CheckApplyOutcome(applied.value());
      } else {
        FUZZ_CHECK(!applied.error().message.empty());
      }
      if (vm31::CommandTransport* transport = link.transport()) {
        CheckApplyOutcome(vm31::ApplyConfig(*transport, clock, link.state(), config));
      }
    } else if (const auto& problem = link.openProblem()) {
      FUZZ_CHECK(!problem->message.empty());
    }
    // A plug event for one of the listed collections, or a removal.
    if (!bus.lastListed().empty() && fuzz.remaining_bytes() > 0) {
      const vm31::HidInterfaceInfo info = bus.lastListed()[fuzz.ConsumeIntegralInRange<std::size_t>(
          0, bus.lastListed().size() - 1)];  // a copy: the link enumerates again
      const auto kind = fuzz.ConsumeBool() ? vm31::HotplugEvent::Kind::kArrival
                                           : vm31::HotplugEvent::Kind::kRemoval;
      link.handleHotplug({kind, info.path, info.vendorId, info.productId});
    }
  }
  link.close();
  return 0;
}
