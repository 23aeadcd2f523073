#include "cli/device_commands.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>
#include <thread>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/cli_support.h"
#include "cli/platform_backends.h"
#include "core/device/device_link.h"
#include "core/settings/config_file.h"
#include "core/settings/ini_file.h"
#include "core/settings/preferences.h"
#include "core/settings/report_rate.h"
#include "core/util/path_text.h"

namespace vm31::cli {
namespace {

constexpr int kOk = kExitOk;
constexpr int kAbsent = kExitAbsent;
constexpr int kBadUsage = kExitUsage;
constexpr int kFileError = kExitFileError;
constexpr int kTransferFailed = kExitDeviceFailure;

std::string Hex2(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02x", value & 0xFF);
  return text;
}

// The presence notice in words.
std::string_view PresenceInWords(PresenceNotice notice) {
  switch (notice) {
    case PresenceNotice::kDetected:
      return "mouse detected";
    case PresenceNotice::kNotDetected:
      return "mouse not detected";
    case PresenceNotice::kAccessDenied:
      return "mouse present but not accessible";
    case PresenceNotice::kBusy:
      return "mouse busy";
  }
  return "mouse presence changed";
}

// The device event in words, as a line of `vm31ctl watch`.
std::string EventInWords(const DeviceEvent& event) {
  if (const auto* presence = std::get_if<PresenceNotice>(&event)) {
    return std::string(PresenceInWords(*presence));
  }
  const SwitchEvent& switched = std::get<SwitchEvent>(event);
  switch (switched.which) {
    case MouseSwitch::kReportRate:
      if (const ReportRate* rate = FindReportRate(switched.value)) {
        return "report rate " + std::to_string(rate->hz) + " Hz";
      }
      return "report rate switched (unknown code " + std::to_string(switched.value) + ")";
    case MouseSwitch::kDpiStage:
      return "DPI stage " + std::to_string(switched.value);
    case MouseSwitch::kKeyGroup:
      return switched.value == 1 || switched.value == 2
                 ? std::string("key group ") + (switched.value == 1 ? "1 (Mode A)" : "2 (Mode B)")
                 : "key group switched (unknown value " + std::to_string(switched.value) + ")";
    case MouseSwitch::kMacroKey:
      return "macro key " + std::to_string(switched.value);
  }
  return "device event " + std::to_string(static_cast<int>(switched.which)) + " value " +
         std::to_string(switched.value);
}

// The device event as a line of `vm31ctl watch --json`: "event" names it, "text" gives it in
// words, the other fields its value.
nlohmann::ordered_json EventAsJson(const DeviceEvent& event) {
  nlohmann::ordered_json object;
  if (const auto* presence = std::get_if<PresenceNotice>(&event)) {
    switch (*presence) {
      case PresenceNotice::kDetected:
        object = {{"event", "detected"}};
        break;
      case PresenceNotice::kNotDetected:
        object = {{"event", "notDetected"}};
        break;
      case PresenceNotice::kAccessDenied:
        object = {{"event", "accessDenied"}};
        break;
      case PresenceNotice::kBusy:
        object = {{"event", "busy"}};
        break;
    }
    object["text"] = EventInWords(event);
    return object;
  }
  const SwitchEvent& switched = std::get<SwitchEvent>(event);
  switch (switched.which) {
    case MouseSwitch::kReportRate: {
      object = {{"event", "reportRate"}, {"code", switched.value}};
      const ReportRate* rate = FindReportRate(switched.value);
      object["hz"] = rate ? nlohmann::ordered_json(rate->hz) : nlohmann::ordered_json(nullptr);
      break;
    }
    case MouseSwitch::kDpiStage:
      object = {{"event", "dpiStage"}, {"stage", switched.value}};
      break;
    case MouseSwitch::kKeyGroup:
      object = {{"event", "keyGroup"}, {"group", switched.value}};
      break;
    case MouseSwitch::kMacroKey:
      object = {{"event", "macroKey"}, {"key", switched.value}};
      break;
    default:
      object = {{"event", "deviceEvent"},
                {"code", static_cast<int>(switched.which)},
                {"value", switched.value}};
      break;
  }
  object["text"] = EventInWords(event);
  return object;
}

// What every device command needs: the files, the device definition, the backends, the link.
struct Session {
  DataFiles files;
  std::unique_ptr<DeviceBackend> backend;
  std::unique_ptr<LoopWakeSignal> wake;
  std::unique_ptr<LoopEventSink> sink;
  std::unique_ptr<DeviceLink> link;

  ~Session() {
    if (sink) sink->shutdown();  // release a reader waiting in deliver() before it is stopped
    link.reset();
  }
};

// Prints why a session could not be opened and gives nullptr and the exit status. Only a
// command that waits for events follows plugging.
std::unique_ptr<Session> OpenSession(LoopEventSink::Handler handler, int& failure,
                                     HotplugFollowing following) {
  auto session = std::make_unique<Session>();
  session->files = DefaultDataFiles();
  auto definition = LoadProgramDeviceDefinition();
  if (!definition) {
    failure = Fail(kFileError, definition.error().message);
    return nullptr;
  }
  auto backend = DeviceBackend::create(definition.value(), following);
  if (!backend) {
    failure = Fail(DeviceErrorStatus(backend.error()), backend.error().message);
    return nullptr;
  }
  session->backend = std::move(backend).value();
  auto wake = LoopWakeSignal::create();
  if (!wake) {
    failure = Fail(DeviceErrorStatus(wake.error()), wake.error().message);
    return nullptr;
  }
  session->wake = std::move(wake).value();
  session->sink = std::make_unique<LoopEventSink>(std::move(handler), *session->wake);
  session->link = std::make_unique<DeviceLink>(session->backend->bus(), session->backend->clock(),
                                               *session->sink, definition.value());
  session->link->setOwnership(&session->backend->ownership());
  return session;
}

// Why the mouse cannot be used, for the user.
std::string AbsenceMessage(const DeviceLink& link) {
  if (link.openProblem()) return link.openProblem()->message;
  switch (link.lastHandshake().value_or(HandshakeOutcome::kDetected)) {
    case HandshakeOutcome::kPlainEcho:
    case HandshakeOutcome::kNoMatch:
      return "A device with the mouse's ids is connected but did not answer the mouse's "
             "handshake (is the codec key in vm31-device.ini the mouse's?).";
    case HandshakeOutcome::kNoAnswer:
      return "The gaming mouse did not answer the handshake.";
    case HandshakeOutcome::kDetected:
      break;
  }
  return "The gaming mouse is not connected.";
}

// The exit status when the mouse could not be taken: held by another program past the wait is a
// device failure; otherwise it is absent or not accessible.
int AbsenceStatus(const DeviceLink& link) {
  const bool busy = link.openProblem() && link.openProblem()->code == ErrorCode::kBusy;
  return busy ? kTransferFailed : kAbsent;
}

struct Options {
  std::optional<std::filesystem::path> config;
  std::optional<std::filesystem::path> prefs;
  bool json = false;
};

enum class Accepts { kFiles, kJson };

std::optional<Options> ParseOptions(const std::vector<std::string>& args, Accepts accepts) {
  Options options;
  const bool files = accepts == Accepts::kFiles;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (files && i + 1 < args.size() && args[i] == "--config") {
      options.config = PathFromUtf8(args[++i]);
    } else if (files && i + 1 < args.size() && args[i] == "--prefs") {
      options.prefs = PathFromUtf8(args[++i]);
    } else if (!files && args[i] == "--json") {
      options.json = true;
    } else {
      return std::nullopt;
    }
  }
  return options;
}

// What woke the watch loop (several at once are possible).
struct LoopActivity {
  bool stop = false;      // Ctrl+C (SIGINT, SIGTERM on Linux; the console's Ctrl+C, Ctrl+Break
                          // or close on Windows)
  bool handOver = false;  // the reader thread handed over an event
  bool hotplug = false;   // hotplug events wait
};

#ifdef _WIN32

// The console's stop requests as an event the loop waits on.
class StopRequests {
 public:
  static Result<std::unique_ptr<StopRequests>> create() {
    HANDLE& event = stopEvent();
    if (event == nullptr) event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) return MakeError(ErrorCode::kIo, "cannot create an event");
    if (!::SetConsoleCtrlHandler(&StopRequests::Handler, TRUE)) {
      return MakeError(ErrorCode::kIo, "cannot watch Ctrl+C");
    }
    return std::make_unique<StopRequests>();
  }
  HANDLE event() const { return stopEvent(); }

 private:
  static HANDLE& stopEvent() {
    static HANDLE event = nullptr;
    return event;
  }
  static BOOL WINAPI Handler(DWORD) {
    ::SetEvent(stopEvent());
    return TRUE;
  }
};

Result<LoopActivity> WaitForLoop(const StopRequests& stop, Session& session) {
  std::vector<HANDLE> waits = {stop.event(), session.wake->event()};
  for (void* signal : session.backend->hotplugSignals()) waits.push_back(signal);
  const DWORD count = static_cast<DWORD>(waits.size());
  const DWORD outcome = ::WaitForMultipleObjects(count, waits.data(), FALSE, INFINITE);
  if (outcome >= WAIT_OBJECT_0 + count) return MakeError(ErrorCode::kIo, "waiting failed");
  LoopActivity activity;
  activity.stop = ::WaitForSingleObject(waits[0], 0) == WAIT_OBJECT_0;
  activity.handOver = ::WaitForSingleObject(waits[1], 0) == WAIT_OBJECT_0;
  for (std::size_t i = 2; i < waits.size(); ++i) {
    if (::WaitForSingleObject(waits[i], 0) == WAIT_OBJECT_0) activity.hotplug = true;
  }
  return activity;
}

#else

// SIGINT and SIGTERM through a descriptor; blocked before any thread starts, so the reader
// thread never takes them.
class StopRequests {
 public:
  static Result<std::unique_ptr<StopRequests>> create() {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    if (pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr) != 0) {
      return MakeError(ErrorCode::kIo, "cannot block SIGINT");
    }
    linux_platform::UniqueFd signals(::signalfd(-1, &stopSignals, SFD_CLOEXEC));
    if (!signals.valid()) return MakeError(ErrorCode::kIo, "cannot watch SIGINT");
    return std::unique_ptr<StopRequests>(new StopRequests(std::move(signals)));
  }
  int fd() const { return signals_.get(); }

 private:
  explicit StopRequests(linux_platform::UniqueFd signals) : signals_(std::move(signals)) {}
  linux_platform::UniqueFd signals_;
};

Result<LoopActivity> WaitForLoop(const StopRequests& stop, Session& session) {
  for (;;) {
    pollfd fds[3] = {{stop.fd(), POLLIN, 0},
                     {session.backend->hotplugFd(), POLLIN, 0},
                     {session.wake->fd(), POLLIN, 0}};
    if (::poll(fds, 3, -1) < 0) {
      if (errno == EINTR) continue;
      return MakeError(ErrorCode::kIo, "poll failed");
    }
    LoopActivity activity;
    activity.stop = (fds[0].revents & POLLIN) != 0;
    activity.hotplug = (fds[1].revents & POLLIN) != 0;
    activity.handOver = (fds[2].revents & POLLIN) != 0;
    return activity;
  }
}

#endif

}  // namespace

int RunStatus(const std::vector<std::string>& args) {
  const auto options = ParseOptions(args, Accepts::kJson);
  if (!options) return Fail(kBadUsage, "usage: vm31ctl status [--json]");
  int failure = kOk;
  auto session = OpenSession([](const DeviceEvent&) {}, failure, HotplugFollowing::kNone);
  if (!session) return failure;
  DeviceLink& link = *session->link;
  if (!link.startUp()) {
    if (options->json) {
      SayJson({{"present", false}, {"reason", AbsenceMessage(link)}});
    } else {
      Say("mouse: absent");
      Say("reason: " + AbsenceMessage(link));
    }
    return AbsenceStatus(link);
  }
  nlohmann::ordered_json json = {{"present", true}, {"path", link.controlInfo().path}};
  if (!options->json) {
    Say("mouse: present");
    Say("path: " + link.controlInfo().path);
  }
  FeatureCommand read = MakeCommand(opcode::kReadSensorInfo, {});
  if (auto sent = link.sendCommand(read); !sent) {
    // The mouse is there and answered the handshake; only its sensor report is missing.
    if (options->json) {
      json["sensorError"] = sent.error().message;
      SayJson(json);
    } else {
      Say("sensor: not readable (" + sent.error().message + ")");
    }
    return kOk;
  }
  if (options->json) {
    json["sensorType"] = read[1];
    json["rate"] = read[2];
    json["option1"] = read[3];
    json["option2"] = read[4];
    SayJson(json);
    return kOk;
  }
  Say("sensor type: " + std::to_string(read[1]));
  Say("rate: " + Hex2(read[2]));
  Say("option 1: " + Hex2(read[3]));
  Say("option 2: " + Hex2(read[4]));
  return kOk;
}

int RunApply(const std::vector<std::string>& args) {
  const auto options = ParseOptions(args, Accepts::kFiles);
  if (!options) return Fail(kBadUsage, "usage: vm31ctl apply [--config FILE] [--prefs FILE]");
  int failure = kOk;
  auto opened = OpenSession([](const DeviceEvent&) {}, failure, HotplugFollowing::kNone);
  if (!opened) return failure;
  Session& session = *opened;
  const auto configPath = options->config.value_or(session.files.config);
  const auto prefsPath = options->prefs.value_or(session.files.prefs);

  MouseConfig config{};
  std::uint8_t firstRunFlag = 0;
  const ConfigLoadResult loaded = LoadConfig(configPath, config, firstRunFlag);
  if (loaded.outcome != ConfigLoadOutcome::kLoaded) {
    return Fail(kFileError, loaded.outcome == ConfigLoadOutcome::kMissing
                                ? PathText(configPath) + ": " + kConfigMissingMessage
                                : loaded.detail);
  }
  auto prefs = IniDocument::Load(prefsPath);
  if (!prefs) return Fail(kFileError, prefs.error().message);

  DeviceLink& link = *session.link;
  if (!link.startUp()) {
    return Fail(AbsenceStatus(link), AbsenceMessage(link) + " Nothing was applied.");
  }
  if (auto refreshed = link.sensorRefresh(); !refreshed) {
    return Fail(kTransferFailed, "the sensor could not be read: " + refreshed.error().message +
                                     " Nothing was applied.");
  }
  // As the window's Apply: the file and the captions are saved whatever the mouse did (unless
  // the apply could not run at all). A record never saved by this program shows the factory
  // captions, and Apply writes those.
  Preferences preferences = LoadPreferences(prefs.value(), LocaleLanguage());
  const ButtonLabels labels =
      firstRunFlag == 0 ? FactoryButtonLabels(preferences.language) : preferences.labels;
  SaveLabels(prefs.value(), preferences.language, labels);
  // Both saves are prepared (written and synced beside the files) while the apply waits on the
  // mouse, and put in place once it is done: the bytes and the moment they take effect are
  // those of saving after the apply, without its disk waits. With a single processor the
  // preparing would take it from the apply and from the process that receives the transfers
  // (a written report waits in the kernel until that process runs, which would shorten the gap
  // it sees): there the saves are prepared before the apply.
  std::optional<Result<PreparedFile>> configSave;
  std::optional<Result<PreparedFile>> prefsSave;
  const auto prepare = [&] {
    configSave.emplace(PrepareConfigSave(configPath, config));
    prefsSave.emplace(PreparedFile::Prepare(prefsPath, prefs.value().Serialize()));
  };
  std::thread preparing;
  if (std::thread::hardware_concurrency() >= 2) {
    preparing = std::thread(prepare);
  } else {
    prepare();
  }
  auto applied = link.apply(config);
  if (preparing.joinable()) preparing.join();
  // A failed apply saves nothing: the prepared saves go with their temporary files.
  if (!applied) return Fail(DeviceErrorStatus(applied.error()), applied.error().message);

  int status = applied.value().ok() ? kOk : kTransferFailed;
  if (!applied.value().ok()) Fail(kTransferFailed, applied.value().message());
  // Both files are renamed into place, the captions last (the same file named twice ends with
  // them), and then their folder is synced once for both (each folder once when they differ).
  std::vector<PreparedFile*> prepared;
  for (auto* save : {&*configSave, &*prefsSave}) {
    if (*save) prepared.push_back(&save->value());
  }
  const std::vector<Status> committed = CommitPreparedFiles(prepared);
  std::size_t next = 0;
  const auto outcome = [&](const Result<PreparedFile>& save) -> Status {
    if (!save) return save.error();
    return committed[next++];
  };
  const Status configSaved = outcome(*configSave);
  const Status prefsSaved = outcome(*prefsSave);
  if (!configSaved) {
    status = Fail(status == kOk ? kFileError : status,
                  PathText(configPath) + ": " + configSaved.error().message);
  }
  if (!prefsSaved) {
    status = Fail(status == kOk ? kFileError : status, prefsSaved.error().message);
  }
  if (status == kOk) {
    Say("applied to the mouse (sensor type " + std::to_string(link.state().sensorTypeCopy) +
        "); saved " + PathText(configPath) + " and " + PathText(prefsPath));
  }
  return status;
}

int RunWatch(const std::vector<std::string>& args) {
  const auto options = ParseOptions(args, Accepts::kJson);
  if (!options) return Fail(kBadUsage, "usage: vm31ctl watch [--json]");
  const bool json = options->json;
  // One line per event, each written out at once, in words or as a JSON object.
  const auto report = [json](const std::string& text, nlohmann::ordered_json object) {
    if (json) {
      object["text"] = text;
      SayJson(object);
    } else {
      Say(text);
    }
  };
  auto stop = StopRequests::create();
  if (!stop) return Fail(kTransferFailed, stop.error().message);

  DeviceLink* linkForHandler = nullptr;
  int failure = kOk;
  auto opened = OpenSession(
      [&linkForHandler, json](const DeviceEvent& event) {
        const bool denied = (event == DeviceEvent{PresenceNotice::kAccessDenied} ||
                             event == DeviceEvent{PresenceNotice::kBusy}) &&
                            linkForHandler && linkForHandler->openProblem();
        if (json) {
          nlohmann::ordered_json object = EventAsJson(event);
          if (denied) object["message"] = linkForHandler->openProblem()->message;
          SayJson(object);
          return;
        }
        std::string line = EventInWords(event);
        if (denied) line += ": " + linkForHandler->openProblem()->message;
        Say(line);
      },
      failure, HotplugFollowing::kFollow);
  if (!opened) return failure;
  Session& session = *opened;
  DeviceLink& link = *session.link;
  linkForHandler = &link;
#ifdef _WIN32
  if (!session.backend->watchesDeviceNotifications()) {
    report(session.backend->watchesEmulator()
               ? "note: no device notifications; only the emulated mouse's plugging is followed"
               : "note: no device notifications; the mouse's plugging is not followed",
           {{"event", "note"}});
  }
#else
  if (!session.backend->watchesUdev()) {
    report("note: no udev monitor; only the emulated mouse's plugging is followed",
           {{"event", "note"}});
  }
#endif
  if (link.startUp()) (void)link.sensorRefresh();
  link.reader().start();
  report("watching (Ctrl+C ends)", {{"event", "watching"}});

  for (;;) {
    auto woken = WaitForLoop(*stop.value(), session);
    if (!woken) return Fail(kTransferFailed, woken.error().message);
    if (woken.value().stop) break;
    if (woken.value().handOver) session.sink->dispatch();
    if (woken.value().hotplug) {
      for (const HotplugEvent& event : session.backend->hotplugEvents()) {
        const bool arrival = event.kind == HotplugEvent::Kind::kArrival;
        if (event.vendorId == link.definition().vendorId &&
            event.productId == link.definition().productId) {
          report(std::string(arrival ? "plugged in: " : "unplugged: ") + event.path,
                 {{"event", arrival ? "plugged" : "unplugged"}, {"path", event.path}});
        }
        link.handleHotplug(event);
      }
    }
  }
  report("stopped", {{"event", "stopped"}});
  return kOk;
}

}  // namespace vm31::cli
