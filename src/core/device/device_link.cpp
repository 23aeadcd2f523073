#include "core/device/device_link.h"

#include <algorithm>

#include "core/text/text_table.h"

namespace vm31 {
namespace {

Error AccessProblem(const Error& cause) {
  return MakeError(ErrorCode::kAccessDenied,
                   MouseAccessRefusedText(UiLanguage::kEnglish, cause.message));
}

}  // namespace

DeviceLink::DeviceLink(HidBus& bus, Clock& clock, EventSink& sink, DeviceDefinition definition)
    : bus_(bus), clock_(clock), sink_(sink), definition_(definition), reader_(sink) {}

DeviceLink::~DeviceLink() {
  reader_.stop();
  close();
}

bool DeviceLink::isMouse(const HidInterfaceInfo& info) const {
  return info.vendorId == definition_.vendorId && info.productId == definition_.productId;
}

void DeviceLink::close() {
  setPresent(false);
  reader_.setEventHandle(nullptr, 0);
  transport_.reset();
  control_.reset();
  events_.reset();
}

void DeviceLink::setPresent(bool present) {
  present_ = present;
  reader_.setPresent(present);
}

void DeviceLink::notify(PresenceNotice notice) {
  sink_.deliver(notice);
}

OpenOutcome DeviceLink::openMouseDevice() {
  openProblem_.reset();
  accessRefusal_.clear();
  Result<std::vector<HidInterfaceInfo>> listed = bus_.enumerate();
  if (!listed) {
    openProblem_ = listed.error();
    return OpenOutcome::kFailed;
  }
  const HidInterfaceInfo* control = nullptr;
  std::vector<const HidInterfaceInfo*> eventCandidates;
  const HidInterfaceInfo* unreadable = nullptr;  // the mouse's node, but not examinable
  std::vector<std::string> paths;
  for (const HidInterfaceInfo& info : listed.value()) {
    if (!isMouse(info)) continue;
    paths.push_back(info.path);
    if (info.usagePage == definition_.controlUsagePage && info.usage == definition_.controlUsage &&
        info.featureReportLength != 0) {
      if (!control) control = &info;
    } else if (info.usagePage == definition_.eventUsagePage &&
               info.usage == definition_.eventUsage && info.inputReportLength != 0) {
      eventCandidates.push_back(&info);
    } else if (info.usagePage == 0 && info.featureReportLength == 0 &&
               info.inputReportLength == 0 && info.outputReportLength == 0) {
      if (!unreadable) unreadable = &info;
    }
  }
  const HidInterfaceInfo* events = nullptr;
  if (control) {
    const auto sameMouse = std::find_if(
        eventCandidates.begin(), eventCandidates.end(),
        [&](const HidInterfaceInfo* candidate) { return candidate->parent == control->parent; });
    if (sameMouse != eventCandidates.end()) events = *sameMouse;
  }
  mousePaths_ = paths;
  if (!control) {
    if (unreadable) {
      // Opening it tells why it could not be examined.
      Result<std::unique_ptr<HidHandle>> probe = bus_.open(*unreadable, HidOpenMode::kControl);
      if (!probe && probe.error().code == ErrorCode::kAccessDenied) {
        openProblem_ = AccessProblem(probe.error());
        accessRefusal_ = probe.error().message;
        return OpenOutcome::kAccessDenied;
      }
    }
    return OpenOutcome::kAbsent;
  }
  const auto failed = [&](const Error& error) {
    if (error.code == ErrorCode::kAccessDenied) {
      openProblem_ = AccessProblem(error);
      accessRefusal_ = error.message;
      return OpenOutcome::kAccessDenied;
    }
    openProblem_ = error;
    return OpenOutcome::kFailed;
  };

  // Fresh handles replace the earlier ones, which are closed once nothing uses them.
  std::shared_ptr<HidHandle> eventHandle;
  if (events) {
    Result<std::unique_ptr<HidHandle>> opened = bus_.open(*events, HidOpenMode::kEvents);
    if (!opened) return failed(opened.error());
    eventHandle = std::move(opened.value());
  }
  Result<std::unique_ptr<HidHandle>> opened = bus_.open(*control, HidOpenMode::kControl);
  if (!opened) return failed(opened.error());

  transport_.reset();
  control_ = std::move(opened.value());
  controlInfo_ = *control;
  eventInfo_ = events ? *events : HidInterfaceInfo{};
  events_ = eventHandle;
  reader_.setEventHandle(eventHandle, events ? events->inputReportLength : 0);
  const ReportLengths lengths{control->featureReportLength, control->inputReportLength,
                              control->outputReportLength};
  transport_ = std::make_unique<CommandTransport>(
      *control_, lengths, clock_,
      Codec::FromKeyAndTable(definition_.codecKey, definition_.codecTable));
  return OpenOutcome::kOpened;
}

Result<std::unique_ptr<OwnershipLock>> DeviceLink::takeOwnership() {
  if (!ownership_) return std::unique_ptr<OwnershipLock>();
  auto lock = ownership_->acquire(controlInfo_, kOwnershipPatience);
  if (!lock && lock.error().code != ErrorCode::kBusy) return std::unique_ptr<OwnershipLock>();
  return lock;
}

bool DeviceLink::handshake() {
  if (!transport_) {
    setPresent(false);
    notify(PresenceNotice::kNotDetected);
    return false;
  }
  bool detected = false;
  {
    auto owned = takeOwnership();
    if (!owned) {
      openProblem_ = owned.error();
      setPresent(false);
      notify(PresenceNotice::kBusy);
      return false;
    }
    lastHandshake_ = transport_->handshake();
    detected = *lastHandshake_ == HandshakeOutcome::kDetected;
  }  // released before the notice: its handler may start another transfer
  setPresent(detected);
  notify(detected ? PresenceNotice::kDetected : PresenceNotice::kNotDetected);
  return detected;
}

bool DeviceLink::startUp() {
  if (openMouseDevice() == OpenOutcome::kOpened) return handshake();
  setPresent(false);
  notify(openProblem_ && openProblem_->code == ErrorCode::kAccessDenied
             ? PresenceNotice::kAccessDenied
             : PresenceNotice::kNotDetected);
  return false;
}

Status DeviceLink::sensorRefresh() {
  if (!transport_ || !present_) {
    return MakeError(ErrorCode::kNotFound, "The gaming mouse is not connected.");
  }
  auto owned = takeOwnership();
  if (!owned) return owned.error();
  return SensorRefresh(*transport_, state_);
}

Status DeviceLink::sendCommand(FeatureCommand& command) {
  if (!transport_ || !present_) {
    return MakeError(ErrorCode::kNotFound, "The gaming mouse is not connected.");
  }
  auto owned = takeOwnership();
  if (!owned) return owned.error();
  return transport_->sendCommand(command);
}

Result<ApplyOutcome> DeviceLink::apply(const MouseConfig& config) {
  if (!transport_ || !present_) {
    return MakeError(ErrorCode::kNotFound, "The gaming mouse is not connected.");
  }
  auto owned = takeOwnership();
  if (!owned) return owned.error();
  return ApplyConfig(*transport_, clock_, state_, config);
}

void DeviceLink::handleArrival() {
  OpenOutcome outcome = openMouseDevice();
  // Access rules are applied just after a node appears: a refused open is tried again for a
  // short while before the user is told. A composite mouse announces each of its interfaces;
  // the arrivals of one plug-in wait once, not once per interface.
  const bool retried = accessGaveUpAt_ && clock_.now() < *accessGaveUpAt_ + kAccessRetryPeriod;
  if (outcome == OpenOutcome::kAccessDenied && !retried) {
    const Clock::TimePoint giveUp = clock_.now() + kAccessRetryPeriod;
    while (outcome == OpenOutcome::kAccessDenied && clock_.now() < giveUp) {
      clock_.waitUntil(std::min(giveUp, clock_.now() + kAccessRetryInterval));
      outcome = openMouseDevice();
    }
    if (outcome == OpenOutcome::kAccessDenied) accessGaveUpAt_ = clock_.now();
  }
  if (outcome != OpenOutcome::kOpened) {
    close();
    notify(outcome == OpenOutcome::kAccessDenied ? PresenceNotice::kAccessDenied
                                                 : PresenceNotice::kNotDetected);
    return;
  }
  if (handshake()) (void)sensorRefresh();  // a failed refresh leaves the sensor type as it was
}

bool DeviceLink::handleHotplug(const HotplugEvent& event) {
  const bool ours =
      (event.vendorId == definition_.vendorId && event.productId == definition_.productId) ||
      std::find(mousePaths_.begin(), mousePaths_.end(), event.path) != mousePaths_.end();
  if (!ours) return false;
  if (event.kind == HotplugEvent::Kind::kArrival) {
    handleArrival();
    return true;
  }
  if (openMouseDevice() == OpenOutcome::kOpened) {
    handshake();
  } else {
    close();
    notify(PresenceNotice::kNotDetected);
  }
  return true;
}

}  // namespace vm31
