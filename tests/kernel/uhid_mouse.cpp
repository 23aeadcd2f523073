// The emulated mouse as a kernel HID device: its two collections become two uhid devices (one per
// USB interface of the real mouse, phys "<name>/input0" and "<name>/input1") with the report
// descriptors and ids of the device definition, and the emulated firmware answers the kernel's
// GET_REPORT, SET_REPORT and OUTPUT requests. Programs then reach it through /dev/hidraw* exactly
// as they reach the real mouse.
//
//   uhid_mouse --name NAME --definition vm31-device.ini [--sensor-type N] [--trace FILE]
//
// Commands on standard input, one per line; each is answered on standard output with
// "ok <n>" (the command's number, from 1) or "error <n> <reason>":
//   plug [control|events]    create both collections (or only the one named)
//   unplug                   remove both
//   press dpi 2 | rate 125 | group 2 | macro 12
//   transfers                prints "transfers N": configuration transfers since the last ask
//   trace stop               ends the wire trace (the file is complete afterwards)
// End of input ends the program. Exit status 0: the firmware found nothing wrong in what it
// received; 1: it did (each problem on standard error as "emulated mouse: ..."); 2: bad usage or
// a system error.

#include <fcntl.h>
#include <linux/uhid.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/device/device_definition.h"
#include "emulator/emulated_mouse.h"
#include "emulator/wire_trace.h"
#include "platform/linux/fd.h"
#include "platform/linux/steady_clock.h"

namespace vm31 {
namespace {

using linux_platform::UniqueFd;

constexpr int kBadUsage = 2;

int Fail(const std::string& message) {
  std::fprintf(stderr, "uhid_mouse: %s\n", message.c_str());
  return kBadUsage;
}

// One collection as one uhid device. The kernel removes the device when the descriptor closes.
struct Collection {
  bool control = false;
  std::string phys;
  UniqueFd fd;
};

bool WriteEvent(int fd, const uhid_event& event) {
  for (;;) {
    const ssize_t written = ::write(fd, &event, sizeof event);
    if (written == static_cast<ssize_t>(sizeof event)) return true;
    if (written < 0 && errno == EINTR) continue;
    return false;
  }
}

class UhidMouse {
 public:
  UhidMouse(std::string name, const DeviceDefinition& definition, Clock& clock)
      : name_(std::move(name)), definition_(definition), mouse_(definition, clock) {
    control_.control = true;
    control_.phys = name_ + "/input0";
    events_.phys = name_ + "/input1";
  }

  EmulatedMouse& mouse() { return mouse_; }

  std::optional<std::string> plug(bool control, bool events) {
    mouse_.plug();
    if (control && !control_.fd.valid()) {
      if (auto error = create(control_, EmulatedMouse::ControlReportDescriptor())) return error;
    }
    if (events && !events_.fd.valid()) {
      if (auto error = create(events_, EmulatedMouse::EventReportDescriptor())) return error;
    }
    return std::nullopt;
  }

  void unplug() {
    control_.fd.reset();
    events_.fd.reset();
    mouse_.unplug();
  }

  std::optional<std::string> press(PressKind kind, int value) {
    if (Status pressed = mouse_.press(kind, value); !pressed) return pressed.error().message;
    while (auto report = mouse_.takeEventReport(mouse_.generation())) {
      if (events_.fd.valid()) sendInput(events_, *report);
    }
    return std::nullopt;
  }

  int takeTransferCount() { return std::exchange(transfers_, 0); }

  // The descriptors to wait on, with the collection each belongs to.
  std::vector<Collection*> open() {
    std::vector<Collection*> list;
    for (Collection* c : {&control_, &events_}) {
      if (c->fd.valid()) list.push_back(c);
    }
    return list;
  }

  // One request of the kernel on `c`; false when the device is broken.
  bool serve(Collection& c) {
    uhid_event event{};
    const ssize_t got = ::read(c.fd.get(), &event, sizeof event);
    if (got < 0) return errno == EINTR || errno == EAGAIN;
    if (got < static_cast<ssize_t>(sizeof event.type)) return false;
    switch (event.type) {
      case UHID_GET_REPORT:
        return answerGetReport(c, event.u.get_report);
      case UHID_SET_REPORT:
        return answerSetReport(c, event.u.set_report);
      case UHID_OUTPUT:
        if (c.control && event.u.output.rtype == UHID_OUTPUT_REPORT) {
          ++transfers_;
          (void)mouse_.writeOutput(mouse_.generation(),
                                   std::span(event.u.output.data, event.u.output.size));
        }
        return true;
      default:  // start, stop, open, close: nothing to do
        return true;
    }
  }

 private:
  std::optional<std::string> create(Collection& c, const Bytes& descriptor) {
    c.fd.reset(::open("/dev/uhid", O_RDWR | O_CLOEXEC));
    if (!c.fd.valid()) return std::string("/dev/uhid: ") + std::strerror(errno);
    uhid_event event{};
    event.type = UHID_CREATE2;
    auto& create = event.u.create2;
    std::snprintf(reinterpret_cast<char*>(create.name), sizeof create.name,
                  "KOR VM31 Gaming Mouse (%s)", name_.c_str());
    std::snprintf(reinterpret_cast<char*>(create.phys), sizeof create.phys, "%s", c.phys.c_str());
    std::snprintf(reinterpret_cast<char*>(create.uniq), sizeof create.uniq, "%s", name_.c_str());
    create.rd_size = static_cast<std::uint16_t>(descriptor.size());
    std::memcpy(create.rd_data, descriptor.data(), descriptor.size());
    create.bus = 0x03;  // USB
    create.vendor = definition_.vendorId;
    create.product = definition_.productId;
    create.version = 0x0100;
    if (!WriteEvent(c.fd.get(), event)) {
      const std::string reason = std::strerror(errno);
      c.fd.reset();
      return "/dev/uhid: create: " + reason;
    }
    return std::nullopt;
  }

  void sendInput(Collection& c, std::span<const std::uint8_t> report) {
    // The control collection has no report ids: the kernel takes its reports without the
    // leading 0 that the firmware model puts first.
    if (c.control && !report.empty()) report = report.subspan(1);
    uhid_event event{};
    event.type = UHID_INPUT2;
    event.u.input2.size =
        static_cast<std::uint16_t>(std::min(report.size(), sizeof event.u.input2.data));
    std::memcpy(event.u.input2.data, report.data(), event.u.input2.size);
    (void)WriteEvent(c.fd.get(), event);
  }

  bool answerGetReport(Collection& c, const uhid_get_report_req& request) {
    uhid_event reply{};
    reply.type = UHID_GET_REPORT_REPLY;
    reply.u.get_report_reply.id = request.id;
    reply.u.get_report_reply.err = EIO;
    if (c.control && request.rtype == UHID_FEATURE_REPORT) {
      ++transfers_;
      Bytes report(kEmulatedFeatureLength, 0);
      report[0] = request.rnum;
      if (auto got = mouse_.getFeature(mouse_.generation(), report)) {
        reply.u.get_report_reply.err = 0;
        reply.u.get_report_reply.size = static_cast<std::uint16_t>(got.value());
        std::memcpy(reply.u.get_report_reply.data, report.data(), got.value());
      }
    }
    if (!WriteEvent(c.fd.get(), reply)) return false;
    // Data chunks a block read announced go out as input reports once the reply was fetched,
    // the order in which the host reads them.
    while (auto chunk = mouse_.takeControlReport(mouse_.generation())) sendInput(c, *chunk);
    return true;
  }

  bool answerSetReport(Collection& c, const uhid_set_report_req& request) {
    uhid_event reply{};
    reply.type = UHID_SET_REPORT_REPLY;
    reply.u.set_report_reply.id = request.id;
    reply.u.set_report_reply.err = EIO;
    if (c.control && request.rtype == UHID_FEATURE_REPORT) {
      ++transfers_;
      const auto sent = mouse_.setFeature(
          mouse_.generation(),
          std::span(request.data, std::min<std::size_t>(request.size, sizeof request.data)));
      if (sent) reply.u.set_report_reply.err = 0;
    }
    return WriteEvent(c.fd.get(), reply);
  }

  const std::string name_;
  const DeviceDefinition definition_;
  EmulatedMouse mouse_;
  Collection control_;
  Collection events_;
  int transfers_ = 0;
};

std::optional<PressKind> PressKindNamed(const std::string& word) {
  if (word == "dpi") return PressKind::kDpi;
  if (word == "rate") return PressKind::kRate;
  if (word == "group") return PressKind::kGroup;
  if (word == "macro") return PressKind::kMacro;
  return std::nullopt;
}

int Run(int argc, char** argv) {
  std::string name;
  std::string definitionPath;
  std::optional<std::string> tracePath;
  std::optional<int> sensorType;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--name") {
      name = argv[i + 1];
    } else if (option == "--definition") {
      definitionPath = argv[i + 1];
    } else if (option == "--trace") {
      tracePath = argv[i + 1];
    } else if (option == "--sensor-type") {
      sensorType = std::atoi(argv[i + 1]);
    } else {
      return Fail("unknown option " + option);
    }
  }
  if (name.empty() || definitionPath.empty() || argc % 2 == 0) {
    return Fail("usage: uhid_mouse --name NAME --definition FILE [--sensor-type N] [--trace FILE]");
  }
  std::ifstream file(definitionPath, std::ios::binary);
  if (!file) return Fail(definitionPath + ": cannot be read");
  const Bytes bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  auto definition = ParseDeviceDefinition(bytes, definitionPath);
  if (!definition) return Fail(definition.error().message);

  linux_platform::SteadyClock clock;
  UhidMouse device(name, definition.value(), clock);
  if (sensorType) device.mouse().setSensorType(static_cast<std::uint8_t>(*sensorType));
  std::ofstream traceFile;
  std::unique_ptr<WireTrace> trace;
  if (tracePath) {
    traceFile.open(*tracePath);
    if (!traceFile) return Fail(*tracePath + ": cannot be written");
    trace = std::make_unique<WireTrace>(traceFile, clock, definition.value());
    device.mouse().setTrace(trace.get());
  }

  std::string pendingInput;
  int commandNumber = 0;
  for (bool running = true; running;) {
    std::vector<Collection*> collections = device.open();
    std::vector<pollfd> fds{{STDIN_FILENO, POLLIN, 0}};
    for (Collection* c : collections) fds.push_back({c->fd.get(), POLLIN, 0});
    if (::poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      return Fail(std::string("poll: ") + std::strerror(errno));
    }
    for (std::size_t i = 0; i < collections.size(); ++i) {
      if ((fds[i + 1].revents & (POLLIN | POLLERR | POLLHUP)) && !device.serve(*collections[i])) {
        return Fail("/dev/uhid: the device broke");
      }
    }
    if (!(fds[0].revents & (POLLIN | POLLHUP))) continue;
    char buffer[256];
    const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (got <= 0) {
      if (got < 0 && errno == EINTR) continue;
      break;  // end of input
    }
    pendingInput.append(buffer, static_cast<std::size_t>(got));
    for (std::size_t end; (end = pendingInput.find('\n')) != std::string::npos;) {
      std::istringstream line(pendingInput.substr(0, end));
      pendingInput.erase(0, end + 1);
      std::string command, argument;
      int value = 0;
      line >> command >> argument;
      ++commandNumber;
      std::optional<std::string> error;
      if (command == "plug") {
        if (argument.empty() || argument == "control" || argument == "events") {
          error = device.plug(argument != "events", argument != "control");
        } else {
          error = "plug takes control or events";
        }
      } else if (command == "unplug") {
        device.unplug();
      } else if (command == "press") {
        const auto kind = PressKindNamed(argument);
        if (!kind || !(line >> value)) {
          error = "press takes dpi|rate|group|macro and a number";
        } else {
          error = device.press(*kind, value);
        }
      } else if (command == "transfers") {
        std::printf("transfers %d\n", device.takeTransferCount());
      } else if (command == "trace" && argument == "stop") {
        device.mouse().setTrace(nullptr);
        trace.reset();
        traceFile.close();
      } else if (command.empty()) {
        --commandNumber;
        continue;
      } else {
        error = "unknown command " + command;
      }
      if (error) {
        std::printf("error %d %s\n", commandNumber, error->c_str());
      } else {
        std::printf("ok %d\n", commandNumber);
      }
      std::fflush(stdout);
    }
  }
  device.unplug();
  device.mouse().setTrace(nullptr);
  const std::vector<std::string> problems = device.mouse().problems();
  for (const std::string& problem : problems) {
    std::fprintf(stderr, "emulated mouse: %s\n", problem.c_str());
  }
  return problems.empty() ? 0 : 1;
}

}  // namespace
}  // namespace vm31

int main(int argc, char** argv) {
  return vm31::Run(argc, argv);
}
