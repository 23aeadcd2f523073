#include <gtest/gtest.h>

#include "core/device/reader.h"
#include "device_rig.h"

namespace vm31 {
namespace {

using testing::DeviceRig;
using testing::Notice;
using testing::Switch;
using Code = PresenceNotice;

TEST(Handshake, AcceptsOnlyAMouseThatAnswersTheScrambledChallenge) {
  DeviceDefinition otherKey;
  otherKey.codecKey = {'O', 't', 'h', 'e', 'r', '!'};
  struct Case {
    const char* name;
    DeviceDefinition host;
    bool plainEcho;
    bool noReply;
    HandshakeOutcome outcome;
  };
  const Case cases[] = {
      {"right key", {}, false, false, HandshakeOutcome::kDetected},
      {"plain echo", {}, true, false, HandshakeOutcome::kPlainEcho},
      {"wrong key", otherKey, false, false, HandshakeOutcome::kNoMatch},
      {"no reply", {}, false, true, HandshakeOutcome::kNoAnswer},
  };
  for (const Case& c : cases) {
    DeviceRig rig(c.host);
    EmulatorFaults faults;
    faults.plainEcho = c.plainEcho;
    faults.noReply = c.noReply;
    rig.mouse.setFaults(faults);
    rig.bus.plug();
    const bool detected = c.outcome == HandshakeOutcome::kDetected;
    EXPECT_EQ(rig.link.startUp(), detected) << c.name;
    EXPECT_EQ(rig.link.lastHandshake(), c.outcome) << c.name;
    EXPECT_EQ(rig.link.transport()->encodedMode(), detected) << c.name;
    EXPECT_EQ(rig.sink.events(),
              std::vector{Notice(detected ? Code::kDetected : Code::kNotDetected)})
        << c.name;
  }
}

TEST(Hotplug, AMouseAbsentAtStartIsFoundWhenPluggedIn) {
  DeviceRig rig;
  rig.mouse.setSensorType(3);
  EXPECT_FALSE(rig.link.startUp());
  EXPECT_EQ(rig.sink.events(), std::vector{Notice(Code::kNotDetected)});
  rig.sink.clear();

  rig.bus.plug();  // a composite device: one arrival per collection, each handled in full
  rig.pumpHotplug();
  EXPECT_TRUE(rig.link.devicePresent());
  EXPECT_EQ(rig.sink.events(), (std::vector{Notice(Code::kDetected), Notice(Code::kDetected)}));
  EXPECT_EQ(rig.link.state().sensorTypeCopy, 3);
  EXPECT_EQ(rig.mouse.state().sensorInfo.option2 & kSensorOption2Flag, kSensorOption2Flag);
  EXPECT_EQ(rig.link.controlInfo().path, EmulatedHidBus::kControlPath);
  EXPECT_EQ(rig.mouse.problems(), std::vector<std::string>{});
}

TEST(Hotplug, RemovalMakesTheMouseAbsentAndApplyIsRefused) {
  DeviceRig rig;
  rig.bus.plug();
  ASSERT_TRUE(rig.link.startUp());
  rig.sink.clear();
  rig.bus.unplug();
  rig.pumpHotplug();
  EXPECT_FALSE(rig.link.devicePresent());
  EXPECT_EQ(rig.sink.events().back(), Notice(Code::kNotDetected));
  const auto refused = rig.link.apply(FactoryConfig());
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error().code, ErrorCode::kNotFound);

  rig.bus.plug();  // and back without a restart
  rig.pumpHotplug();
  EXPECT_TRUE(rig.link.devicePresent());
  EXPECT_TRUE(rig.link.apply(FactoryConfig()).value().ok());
}

TEST(Hotplug, OtherDevicesChangeNothing) {
  DeviceRig rig;
  rig.bus.plug();
  ASSERT_TRUE(rig.link.startUp());
  rig.bus.takePending();
  rig.sink.clear();
  HidInterfaceInfo keyboard{"emulator:keyboard", 0x046D, 0xC31C, 0x0001, 0x0006, 0, 9, 2, ""};
  HidInterfaceInfo sibling{"emulator:sibling", 0x0F3A, 0x7C22, 0xFF00, 0xFF00, 9, 33, 33, ""};
  rig.bus.addForeign(keyboard);
  rig.bus.addForeign(sibling);
  rig.bus.removeForeign(keyboard.path);
  const std::vector<HotplugEvent> events = rig.bus.takePending();
  ASSERT_EQ(events.size(), 3u);
  for (const HotplugEvent& event : events) {
    EXPECT_FALSE(rig.link.handleHotplug(event)) << event.path;
  }
  EXPECT_TRUE(rig.link.devicePresent());
  EXPECT_EQ(rig.sink.events(), std::vector<DeviceEvent>{});
}

TEST(Hotplug, ARightVendorWithAnotherProductIsSkippedAndTheSearchGoesOn) {
  DeviceRig rig;
  // Listed first, with the mouse's collections: only the product id tells them apart.
  rig.bus.addForeign({"emulator:sibling", 0x0F3A, 0x7C22, 0xFF00, 0xFF00, 9, 33, 33, ""}, false);
  EXPECT_EQ(rig.link.openMouseDevice(), OpenOutcome::kAbsent);
  rig.bus.plug();
  EXPECT_TRUE(rig.link.startUp());
  EXPECT_EQ(rig.link.controlInfo().path, EmulatedHidBus::kControlPath);
}

// Two mice plugged in at once: the control collection is taken with the event collection of its
// own device, even when another mouse's event collection is listed first (this bus cannot open
// the other mouse's collections: taking one would fail the open).
TEST(Hotplug, TwoMiceTheControlCollectionIsPairedWithItsOwnEvents) {
  DeviceRig rig;
  HidInterfaceInfo otherEvents = rig.mouse.eventInfo("emulator:second/events");
  otherEvents.parent = "emulator:second";
  rig.bus.addForeign(otherEvents, false);  // listed before the mouse's own collections
  rig.bus.setEventListedFirst(false);      // the mouse's control, then its events
  rig.bus.plug();
  ASSERT_EQ(rig.link.openMouseDevice(), OpenOutcome::kOpened);
  EXPECT_EQ(rig.link.controlInfo().path, EmulatedHidBus::kControlPath);
  EXPECT_EQ(rig.link.eventInfo().path, EmulatedHidBus::kEventPath);
  ASSERT_TRUE(rig.link.handshake());
  rig.link.reader().start();
  rig.sink.clear();
  ASSERT_TRUE(rig.mouse.press(PressKind::kDpi, 3).ok());
  EXPECT_EQ(rig.sink.waitFor(1), (std::vector{Switch(MouseSwitch::kDpiStage, 3)}));
}

TEST(Hotplug, AMouseOfferingOnlyTheEventCollectionIsNotAccepted) {
  DeviceRig rig;
  rig.bus.setControlListed(false);
  rig.bus.plug();
  rig.pumpHotplug();
  EXPECT_FALSE(rig.link.devicePresent());
  EXPECT_EQ(rig.sink.events(), std::vector{Notice(Code::kNotDetected)});
}

TEST(Hotplug, ANodeWithoutPermissionIsRetriedThenReportedAsSuch) {
  DeviceRig rig;
  rig.bus.setDeniedOpens(3);  // the access rule arrives a little after the node
  rig.bus.plug();
  rig.pumpHotplug();
  EXPECT_TRUE(rig.link.devicePresent());
  EXPECT_EQ(rig.sink.events().front(), Notice(Code::kDetected));

  DeviceRig denied;
  denied.bus.setDeniedOpens(-1);
  denied.bus.plug();
  denied.clock.clearWaits();
  denied.bus.takePending();
  denied.link.handleHotplug(
      {HotplugEvent::Kind::kArrival, EmulatedHidBus::kControlPath, 0x0F3A, 0x7C21});
  EXPECT_FALSE(denied.link.devicePresent());
  EXPECT_EQ(denied.sink.events(), std::vector{Notice(Code::kAccessDenied)});
  ASSERT_TRUE(denied.link.openProblem().has_value());
  EXPECT_NE(denied.link.openProblem()->message.find("70-kor-vm31.rules"), std::string::npos);
  EXPECT_NE(denied.link.openProblem()->message.find("permission denied"), std::string::npos);
  EXPECT_EQ(denied.clock.totalWaited(), kAccessRetryPeriod);

  // The other interfaces of the same plug-in do not wait again.
  denied.link.handleHotplug(
      {HotplugEvent::Kind::kArrival, EmulatedHidBus::kEventPath, 0x0F3A, 0x7C21});
  EXPECT_EQ(denied.clock.totalWaited(), kAccessRetryPeriod);
  EXPECT_EQ(denied.sink.events(),
            (std::vector{Notice(Code::kAccessDenied), Notice(Code::kAccessDenied)}));
}

TEST(EventReport, OnlyReportSixWithAKnownCodeIsAnEvent) {
  struct Case {
    std::vector<std::uint8_t> report;
    std::optional<SwitchEvent> event;
  };
  const Case cases[] = {
      {{6, 7, 0, 2, 0, 0, 0, 0}, SwitchEvent{MouseSwitch::kDpiStage, 2}},
      {{6, 5, 9, 8}, SwitchEvent{MouseSwitch::kReportRate, 8}},
      {{6, 8, 0, 1}, SwitchEvent{MouseSwitch::kKeyGroup, 1}},
      {{6, 9, 0, 12}, SwitchEvent{MouseSwitch::kMacroKey, 12}},
      {{6, 6, 0, 2}, std::nullopt},
      {{6, 14, 0, 0}, std::nullopt},
      {{5, 7, 0, 2}, std::nullopt},
      {{0, 7, 0, 2}, std::nullopt},
      {{6, 7, 0}, std::nullopt},  // too short to carry a value
      {{}, std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseEventReport(c.report), c.event);
}

TEST(Reader, DeliversEachEventOnceAndIgnoresOtherReports) {
  DeviceRig rig;
  rig.bus.setEventListedFirst(false);  // events work whatever the listing order
  rig.bus.plug();
  ASSERT_TRUE(rig.link.startUp());
  rig.link.reader().start();
  rig.sink.clear();

  rig.mouse.queueEventReport({6, 6, 0, 1, 0, 0, 0, 0});
  rig.mouse.queueEventReport({5, 7, 0, 2, 0, 0, 0, 0});
  ASSERT_TRUE(rig.mouse.press(PressKind::kDpi, 2).ok());
  ASSERT_TRUE(rig.mouse.press(PressKind::kRate, 250).ok());
  // Reports are read in order, so two events mean the two ignored reports were passed over.
  EXPECT_EQ(rig.sink.waitFor(2),
            (std::vector{Switch(MouseSwitch::kDpiStage, 2), Switch(MouseSwitch::kReportRate, 4)}));
  rig.link.reader().stop();
  EXPECT_EQ(rig.sink.events().size(), 2u);
}

TEST(Reader, ResumesAfterUnplugAndReplug) {
  DeviceRig rig;
  rig.bus.plug();
  ASSERT_TRUE(rig.link.startUp());
  rig.link.reader().start();
  rig.bus.unplug();
  rig.pumpHotplug();
  rig.bus.plug();
  rig.pumpHotplug();
  ASSERT_TRUE(rig.link.devicePresent());
  rig.sink.clear();
  ASSERT_TRUE(rig.mouse.press(PressKind::kGroup, 2).ok());
  EXPECT_EQ(rig.sink.waitFor(1), (std::vector{Switch(MouseSwitch::kKeyGroup, 2)}));
}

// Records which of the mouse's transfers happened while the mouse was taken; refuses when told.
class RecordingOwnership : public MouseOwnership {
 public:
  explicit RecordingOwnership(const EmulatedMouse& mouse) : mouse_(mouse) {}
  Result<std::unique_ptr<OwnershipLock>> acquire(const HidInterfaceInfo& control,
                                                 std::chrono::milliseconds patience) override {
    paths.push_back(control.path);
    patiences.push_back(patience);
    if (refusal) return *refusal;
    return std::unique_ptr<OwnershipLock>(std::make_unique<Held>(*this));
  }
  std::optional<Error> refusal;
  std::vector<std::string> paths;
  std::vector<std::chrono::milliseconds> patiences;
  int transfersWhileHeld = 0;

 private:
  struct Held : OwnershipLock {
    explicit Held(RecordingOwnership& owner)
        : owner(owner), startedAt(owner.mouse_.transfersSincePlug()) {}
    ~Held() override { owner.transfersWhileHeld += owner.mouse_.transfersSincePlug() - startedAt; }
    RecordingOwnership& owner;
    int startedAt;
  };
  const EmulatedMouse& mouse_;
};

TEST(Ownership, EveryHandshakeRefreshCommandAndApplyRunsWhileTheMouseIsTaken) {
  DeviceRig rig;
  RecordingOwnership ownership(rig.mouse);
  rig.link.setOwnership(&ownership);
  rig.bus.plug();
  ASSERT_TRUE(rig.link.startUp());
  ASSERT_TRUE(rig.link.sensorRefresh().ok());
  FeatureCommand read = MakeCommand(opcode::kReadSensorInfo, {});
  ASSERT_TRUE(rig.link.sendCommand(read).ok());
  const auto applied = rig.link.apply(FactoryConfig());
  ASSERT_TRUE(applied.ok() && applied.value().ok());
  EXPECT_GT(rig.mouse.transfersSincePlug(), 100);
  EXPECT_EQ(ownership.transfersWhileHeld, rig.mouse.transfersSincePlug());
  EXPECT_EQ(ownership.paths, std::vector<std::string>(4, EmulatedHidBus::kControlPath));
  EXPECT_EQ(ownership.patiences, std::vector(4, kOwnershipPatience));
}

TEST(Ownership, ABusyMouseIsReportedAsBusyAndNothingIsSent) {
  DeviceRig rig;
  RecordingOwnership ownership(rig.mouse);
  rig.link.setOwnership(&ownership);
  rig.bus.plug();
  ownership.refusal =
      MakeError(ErrorCode::kBusy, "the mouse is busy: vm31ctl (pid 7) is programming it");
  EXPECT_FALSE(rig.link.startUp());
  ASSERT_TRUE(rig.link.openProblem().has_value());
  EXPECT_EQ(rig.link.openProblem()->code, ErrorCode::kBusy);
  EXPECT_EQ(rig.link.openProblem()->message, ownership.refusal->message);
  EXPECT_EQ(rig.sink.events(), std::vector{Notice(Code::kBusy)});
  EXPECT_EQ(rig.mouse.transfersSincePlug(), 0);

  // Taken once it is free; an apply refused while busy sends nothing either.
  ownership.refusal.reset();
  ASSERT_TRUE(rig.link.startUp());
  const int afterHandshake = rig.mouse.transfersSincePlug();
  ownership.refusal = MakeError(ErrorCode::kBusy, "busy");
  const auto applied = rig.link.apply(FactoryConfig());
  ASSERT_FALSE(applied.ok());
  EXPECT_EQ(applied.error().code, ErrorCode::kBusy);
  EXPECT_EQ(rig.mouse.transfersSincePlug(), afterHandshake);

  // A guard that is itself broken (no runtime folder) does not keep the mouse from being used.
  ownership.refusal = MakeError(ErrorCode::kIo, "/run/user/1: no such folder");
  EXPECT_TRUE(rig.link.startUp());
}

// The first step of an outcome whose transfer failed.
std::optional<ApplyStepProblem> FirstFailure(const ApplyOutcome& outcome) {
  for (const ApplyStepProblem& problem : outcome.problems) {
    if (problem.result == ApplyStepResult::kFailed) return problem;
  }
  return std::nullopt;
}

// Every fault lets the apply end without a crash or a hang, names the first failed step and
// never lets a reply write outside the blocks it names.
TEST(ApplyFaults, EndWithTheFailureReported) {
  struct Case {
    const char* name;
    EmulatorFaults faults;
    std::optional<ApplyStep> failedStep;
    ErrorCode code;
  };
  EmulatorFaults noReply, overlong, wrongIndex, unplugEarly, unplugLate, slow, corrupt;
  noReply.noReply = true;
  overlong.overlongReply = true;
  wrongIndex.wrongIndex = true;
  unplugEarly.unplugAtTransfer = 3;
  unplugLate.unplugAtTransfer = 150;
  slow.latency = std::chrono::microseconds(700);
  corrupt.corruptMacroSlot = 5;
  const Case cases[] = {
      {"no reply", noReply, ApplyStep::kReadLightEffect, ErrorCode::kIo},
      {"overlong reply", overlong, ApplyStep::kReadColorBlocks, ErrorCode::kOutOfRange},
      {"wrong index", wrongIndex, ApplyStep::kReadLightTriples, ErrorCode::kOutOfRange},
      {"unplug early", unplugEarly, ApplyStep::kReadLightEffect, ErrorCode::kNotFound},
      {"unplug late", unplugLate, ApplyStep::kReadBackMacros, ErrorCode::kNotFound},
      {"latency", slow, std::nullopt, ErrorCode::kIo},
      {"corrupt macro", corrupt, std::nullopt, ErrorCode::kIo},
  };
  for (const Case& c : cases) {
    DeviceRig rig;
    rig.bus.plug();
    ASSERT_TRUE(rig.link.startUp());
    const FirmwareState powerOn = rig.mouse.state();
    rig.mouse.setFaults(c.faults);
    const auto outcome = rig.link.apply(FactoryConfig());
    ASSERT_TRUE(outcome.ok()) << c.name;
    const ApplyOutcome& result = outcome.value();
    const auto failure = FirstFailure(result);
    EXPECT_EQ(failure ? std::optional(failure->step) : std::nullopt, c.failedStep) << c.name;
    EXPECT_EQ(result.mouseGone, c.code == ErrorCode::kNotFound && c.failedStep) << c.name;
    if (c.failedStep) {
      ASSERT_TRUE(failure && failure->error.has_value()) << c.name;
      EXPECT_EQ(failure->error->code, c.code) << c.name;
      EXPECT_FALSE(result.ok()) << c.name;
      EXPECT_NE(result.message().find(ApplyStepName(*c.failedStep)), std::string::npos);
    }
    if (c.faults.corruptMacroSlot) {
      EXPECT_EQ(result.mismatchedMacroSlots, std::vector<int>{5});
      EXPECT_FALSE(result.ok());
      EXPECT_NE(result.message().find("slot 5"), std::string::npos);
      // The matrices still went out after the mismatch.
      EXPECT_EQ(rig.mouse.state().keyMatrices[1], (std::array<std::uint8_t, 64>{}));
    }
    if (c.faults.latency.count() > 0) {
      EXPECT_TRUE(result.ok()) << result.message();
    }
    if (c.faults.overlongReply) {
      // The 24 bytes of sub-block 0 were taken, nothing beyond; they were not written back, as
      // the reply was refused.
      EXPECT_EQ(rig.link.state().colorBlocks[0], rig.mouse.state().colorBlocks[0]);
      EXPECT_EQ(rig.mouse.state().colorBlocks[0], powerOn.colorBlocks[0]);
      EXPECT_TRUE(result.mismatchedMacroSlots.empty()) << "no slot was read back";
    }
    if (c.faults.wrongIndex) {
      // Nothing was stored from the replies, and the record decides only a0: neither triple
      // was written back.
      EXPECT_EQ(rig.link.state().light.triples[1], LightState{}.triples[1]);
      EXPECT_EQ(rig.mouse.state().light.triples, powerOn.light.triples);
    }
  }
}

}  // namespace
}  // namespace vm31
