// The parts that join the backends for the device link: several buses as one, and the hand-over
// of the reader thread's events to the user-interface loop.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "core/device/combined_bus.h"
#include "core/device/loop_event_sink.h"

namespace vm31 {
namespace {

HidInterfaceInfo At(std::string path) {
  HidInterfaceInfo info;
  info.path = std::move(path);
  return info;
}

// A bus that lists fixed paths (or fails to list) and records the paths it was asked to open.
class ListingBus : public HidBus {
 public:
  explicit ListingBus(std::vector<std::string> paths, bool fails = false)
      : paths_(std::move(paths)), fails_(fails) {}
  Result<std::vector<HidInterfaceInfo>> enumerate() override {
    if (fails_) return MakeError(ErrorCode::kIo, "bus " + paths_.front() + " failed");
    std::vector<HidInterfaceInfo> listed;
    for (const auto& path : paths_) listed.push_back(At(path));
    return listed;
  }
  Result<std::unique_ptr<HidHandle>> open(const HidInterfaceInfo& info, HidOpenMode) override {
    opened.push_back(info.path);
    return MakeError(ErrorCode::kIo, "recorded");
  }
  std::vector<std::string> opened;

 private:
  std::vector<std::string> paths_;
  bool fails_;
};

std::vector<std::string> Paths(const std::vector<HidInterfaceInfo>& listed) {
  std::vector<std::string> paths;
  for (const auto& info : listed) paths.push_back(info.path);
  return paths;
}

TEST(CombinedBus, ListsEveryBusInOrderAndOpensThroughTheBusThatListed) {
  ListingBus first({"hidraw:a", "hidraw:b"});
  ListingBus broken({"broken"}, true);
  ListingBus last({"emulator:c"});
  CombinedBus bus({&first, &broken, &last});

  auto listed = bus.enumerate();
  ASSERT_TRUE(listed) << listed.error().message;  // one bus failing hides nothing of the others
  EXPECT_EQ(Paths(listed.value()),
            (std::vector<std::string>{"hidraw:a", "hidraw:b", "emulator:c"}));

  (void)bus.open(At("emulator:c"), HidOpenMode::kEvents);
  (void)bus.open(At("hidraw:b"), HidOpenMode::kControl);
  EXPECT_EQ(first.opened, std::vector<std::string>{"hidraw:b"});
  EXPECT_EQ(last.opened, std::vector<std::string>{"emulator:c"});

  auto unlisted = bus.open(At("hidraw:z"), HidOpenMode::kControl);
  ASSERT_FALSE(unlisted);
  EXPECT_EQ(unlisted.error().code, ErrorCode::kNotFound);
  EXPECT_NE(unlisted.error().message.find("hidraw:z"), std::string::npos);
}

TEST(CombinedBus, ReportsTheFirstFailureOnlyWhenNothingIsListed) {
  ListingBus broken({"one"}, true);
  ListingBus alsoBroken({"two"}, true);
  ListingBus empty({});
  CombinedBus bus({&empty, &broken, &alsoBroken});
  auto listed = bus.enumerate();
  ASSERT_FALSE(listed);
  EXPECT_EQ(listed.error().message, "bus one failed");
}

// A wake that counts raises and lets the test wait for one.
class CountingWake : public LoopWake {
 public:
  void raise() override {
    std::lock_guard lock(mutex_);
    ++raised_;
    changed_.notify_all();
  }
  void consume() override {
    std::lock_guard lock(mutex_);
    ++consumed_;
  }
  // The bound only keeps a broken build from hanging.
  bool waitRaised(int count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return raised_ >= count; });
  }
  int raised() {
    std::lock_guard lock(mutex_);
    return raised_;
  }
  int consumed() {
    std::lock_guard lock(mutex_);
    return consumed_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int raised_ = 0;
  int consumed_ = 0;
};

TEST(LoopEventSink, OnItsOwnThreadHandlesTheEventInTheCall) {
  CountingWake wake;
  std::vector<DeviceEvent> handled;
  LoopEventSink sink([&](const DeviceEvent& event) { handled.push_back(event); }, wake);
  sink.deliver(DeviceEvent{PresenceNotice::kNotDetected});
  EXPECT_EQ(handled, std::vector<DeviceEvent>{PresenceNotice::kNotDetected});
  EXPECT_EQ(wake.raised(), 0);
}

TEST(LoopEventSink, AnotherThreadsDeliveryReturnsOnlyOnceTheLoopHandledIt) {
  CountingWake wake;
  std::vector<DeviceEvent> handled;
  LoopEventSink sink([&](const DeviceEvent& event) { handled.push_back(event); }, wake);
  std::atomic<bool> returned = false;
  std::thread reader([&] {
    sink.deliver(DeviceEvent{SwitchEvent{MouseSwitch::kDpiStage, 2}});
    returned = true;
  });
  ASSERT_TRUE(wake.waitRaised(1));
  EXPECT_FALSE(returned);  // still waiting: the loop has not dispatched
  EXPECT_TRUE(handled.empty());
  sink.dispatch();
  reader.join();
  EXPECT_TRUE(returned);
  EXPECT_EQ(handled, (std::vector<DeviceEvent>{SwitchEvent{MouseSwitch::kDpiStage, 2}}));
  EXPECT_EQ(wake.consumed(), 1);
}

TEST(LoopEventSink, ShutdownReleasesAWaitingDeliveryAndRefusesLaterOnes) {
  CountingWake wake;
  std::vector<DeviceEvent> handled;
  LoopEventSink sink([&](const DeviceEvent& event) { handled.push_back(event); }, wake);
  std::thread reader([&] { sink.deliver(DeviceEvent{SwitchEvent{MouseSwitch::kDpiStage, 2}}); });
  ASSERT_TRUE(wake.waitRaised(1));
  sink.shutdown();
  reader.join();
  std::thread late([&] { sink.deliver(DeviceEvent{SwitchEvent{MouseSwitch::kKeyGroup, 1}}); });
  late.join();
  sink.dispatch();
  EXPECT_TRUE(handled.empty());
  EXPECT_EQ(wake.raised(), 1);
}

}  // namespace
}  // namespace vm31
