#include "platform/linux/hidraw_bus.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <iterator>

#include "core/device/report_descriptor.h"
#include "platform/linux/fd.h"
#include "platform/linux/udev_util.h"
#include "platform/linux/wait.h"

namespace vm31::linux_platform {
namespace {

// The largest report hidraw hands out (the kernel's HID_MAX_BUFFER_SIZE).
constexpr std::size_t kMaxReport = 16384;

Result<std::vector<std::uint8_t>> DescriptorOfFd(int fd, const std::string& node) {
  int size = 0;
  if (::ioctl(fd, HIDIOCGRDESCSIZE, &size) < 0)
    return ErrnoError(node + ": descriptor size", errno);
  auto buffer = std::make_unique<hidraw_report_descriptor>();
  buffer->size = static_cast<std::uint32_t>(std::clamp(size, 0, HID_MAX_DESCRIPTOR_SIZE));
  if (::ioctl(fd, HIDIOCGRDESC, buffer.get()) < 0) return ErrnoError(node + ": descriptor", errno);
  return std::vector<std::uint8_t>(buffer->value, buffer->value + buffer->size);
}

// The kernel also publishes each HID device's report descriptor in sysfs, readable by anyone:
// it serves when the node itself may not be opened yet.
std::optional<std::vector<std::uint8_t>> DescriptorFromSysfs(udev_device* hidraw) {
  udev_device* hid = udev_device_get_parent_with_subsystem_devtype(hidraw, "hid", nullptr);
  const char* syspath = hid ? udev_device_get_syspath(hid) : nullptr;
  if (!syspath) return std::nullopt;
  std::ifstream file(std::string(syspath) + "/report_descriptor", std::ios::binary);
  if (!file) return std::nullopt;
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                  std::istreambuf_iterator<char>());
  if (bytes.empty() || bytes.size() > HID_MAX_DESCRIPTOR_SIZE) return std::nullopt;
  return bytes;
}

// A feature request the device stalls fails with EPIPE: the device is still there and takes the
// next request, unlike a removed one (ENODEV, ESHUTDOWN).
Error FeatureError(const std::string& what, int error) {
  Error failed = ErrnoError(what, error);
  if (error == EPIPE) failed.code = ErrorCode::kIo;
  return failed;
}

// The physical device a hidraw node belongs to. A USB mouse presents its collections on several
// interfaces, one hidraw node each: they share the USB device. Without a USB parent (uhid,
// Bluetooth) the HID device's phys names it, "<device>/input<n>" per interface; else the HID
// device stands alone.
std::string ParentDeviceOf(udev_device* hidraw) {
  udev_device* usb = udev_device_get_parent_with_subsystem_devtype(hidraw, "usb", "usb_device");
  if (const char* syspath = usb ? udev_device_get_syspath(usb) : nullptr) return syspath;
  udev_device* hid = udev_device_get_parent_with_subsystem_devtype(hidraw, "hid", nullptr);
  if (!hid) return {};
  const char* phys = udev_device_get_property_value(hid, "HID_PHYS");
  if (phys && phys[0] != '\0') {
    const std::string text = phys;
    return "phys:" + text.substr(0, text.find("/input"));
  }
  const char* syspath = udev_device_get_syspath(hid);
  return syspath ? syspath : "";
}

class HidrawHandle : public HidHandle {
 public:
  HidrawHandle(UniqueFd fd, WakeFlag wake, std::string node, bool reportIds)
      : fd_(std::move(fd)), wake_(std::move(wake)), node_(std::move(node)), reportIds_(reportIds) {}

  Result<std::size_t> setFeature(std::span<const std::uint8_t> report) override {
    if (report.empty()) return MakeError(ErrorCode::kUsage, node_ + ": empty feature report");
    std::vector<std::uint8_t> buffer(report.begin(), report.end());  // the ioctl takes it mutable
    const int sent = ::ioctl(fd_.get(), HIDIOCSFEATURE(buffer.size()), buffer.data());
    if (sent < 0) return FeatureError(node_ + ": set feature report", errno);
    return static_cast<std::size_t>(sent);
  }

  Result<std::size_t> getFeature(std::span<std::uint8_t> report) override {
    if (report.empty()) return MakeError(ErrorCode::kUsage, node_ + ": empty feature report");
    // The kernel keeps report[0] (the id) in place and returns the count including it; the
    // device's own answer is bounded by the USB control-transfer time-out.
    const int got = ::ioctl(fd_.get(), HIDIOCGFEATURE(report.size()), report.data());
    if (got < 0) return FeatureError(node_ + ": get feature report", errno);
    return static_cast<std::size_t>(got);
  }

  Result<std::size_t> write(std::span<const std::uint8_t> report) override {
    if (report.empty()) return MakeError(ErrorCode::kUsage, node_ + ": empty output report");
    for (;;) {
      const ssize_t written = ::write(fd_.get(), report.data(), report.size());
      if (written >= 0) return static_cast<std::size_t>(written);
      if (errno != EINTR) return ErrnoError(node_ + ": write output report", errno);
    }
  }

  Result<HidReadResult> read(std::span<std::uint8_t> buffer,
                             std::optional<std::chrono::milliseconds> timeout) override {
    for (;;) {
      auto waited = WaitReadable(fd_.get(), &wake_, timeout);
      if (!waited) return waited.error();
      switch (waited.value()) {
        case WaitOutcome::kWoken:
          return HidReadResult{HidReadStatus::kWoken, 0};
        case WaitOutcome::kTimedOut:
          return HidReadResult{HidReadStatus::kTimedOut, 0};
        case WaitOutcome::kHangup:
          return MakeError(ErrorCode::kNotFound, node_ + ": the device is gone");
        case WaitOutcome::kReadable:
          break;
      }
      // Without report ids the kernel hands out the report without its id byte: put the 0
      // back in front so callers always see the id first.
      const std::size_t offset = reportIds_ ? 0 : 1;
      const ssize_t got = ::read(fd_.get(), scratch_.data() + offset, scratch_.size() - offset);
      if (got < 0) {
        if (errno == EAGAIN || errno == EINTR) continue;  // another reader took it
        return ErrnoError(node_ + ": read input report", errno);
      }
      scratch_[0] = reportIds_ ? scratch_[0] : 0;
      const std::size_t length = std::min(buffer.size(), static_cast<std::size_t>(got) + offset);
      std::copy_n(scratch_.begin(), length, buffer.begin());
      return HidReadResult{HidReadStatus::kReport, length};
    }
  }

  void wake() override { wake_.raise(); }

 private:
  UniqueFd fd_;
  WakeFlag wake_;
  std::string node_;
  bool reportIds_;
  std::array<std::uint8_t, kMaxReport + 1> scratch_{};
};

}  // namespace

struct HidrawBus::State {
  UdevPtr<udev> context;
  std::optional<UsbIds> examined;
};

HidrawBus::HidrawBus(std::unique_ptr<State> state) : state_(std::move(state)) {}
HidrawBus::~HidrawBus() = default;

Result<std::unique_ptr<HidrawBus>> HidrawBus::create() {
  auto state = std::make_unique<State>();
  state->context.reset(udev_new());
  if (!state->context) return MakeError(ErrorCode::kIo, "libudev: cannot create a context");
  return std::unique_ptr<HidrawBus>(new HidrawBus(std::move(state)));
}

void HidrawBus::setExaminedIds(std::uint16_t vendorId, std::uint16_t productId) {
  state_->examined = UsbIds{vendorId, productId};
}

std::string HidrawNodeOfPath(const std::string& path) {
  return path.substr(0, path.find('#'));
}

bool DescriptorUsesReportIds(std::span<const std::uint8_t> descriptor) {
  constexpr std::uint8_t kReportIdPrefixMask = 0xFC, kReportIdPrefix = 0x84;  // global tag 8
  std::size_t pos = 0;
  while (pos < descriptor.size()) {
    const std::uint8_t prefix = descriptor[pos];
    if (prefix == 0xFE) {  // long item: 0xFE, data size, tag, data
      if (pos + 1 >= descriptor.size()) return false;
      pos += 3 + descriptor[pos + 1];
      continue;
    }
    if ((prefix & kReportIdPrefixMask) == kReportIdPrefix) return true;
    static constexpr std::array<std::size_t, 4> kSizes = {0, 1, 2, 4};
    pos += 1 + kSizes[prefix & 0x3];
  }
  return false;
}

Result<std::vector<HidInterfaceInfo>> HidrawBus::enumerate() {
  UdevPtr<udev_enumerate> scan(udev_enumerate_new(state_->context.get()));
  if (!scan || udev_enumerate_add_match_subsystem(scan.get(), "hidraw") < 0 ||
      udev_enumerate_scan_devices(scan.get()) < 0) {
    return MakeError(ErrorCode::kIo, "libudev: cannot list the hidraw devices");
  }
  std::vector<HidInterfaceInfo> result;
  udev_list_entry* entry = nullptr;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(scan.get())) {
    UdevPtr<udev_device> device(
        udev_device_new_from_syspath(state_->context.get(), udev_list_entry_get_name(entry)));
    if (!device) continue;
    const char* devnode = udev_device_get_devnode(device.get());
    const auto ids = HidrawDeviceIds(device.get());
    if (!devnode || !ids) continue;
    HidInterfaceInfo base;
    base.path = devnode;
    base.vendorId = ids->vendorId;
    base.productId = ids->productId;
    base.parent = ParentDeviceOf(device.get());
    const bool examine = !state_->examined || (state_->examined->vendorId == ids->vendorId &&
                                               state_->examined->productId == ids->productId);
    std::optional<std::vector<std::uint8_t>> descriptor;
    if (examine) {
      UniqueFd fd(::open(devnode, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
      if (fd.valid()) {
        if (auto bytes = DescriptorOfFd(fd.get(), devnode)) descriptor = std::move(bytes).value();
      }
      if (!descriptor) descriptor = DescriptorFromSysfs(device.get());
    }
    auto collections =
        descriptor ? ParseReportDescriptor(*descriptor)
                   : Result<std::vector<HidCollectionCaps>>(std::vector<HidCollectionCaps>{});
    if (!collections || collections.value().empty()) {
      result.push_back(base);  // present, but nothing known beyond the ids
      continue;
    }
    const auto& list = collections.value();
    for (std::size_t i = 0; i < list.size(); ++i) {
      HidInterfaceInfo info = base;
      if (list.size() > 1) info.path += "#" + std::to_string(i);
      info.usagePage = list[i].usagePage;
      info.usage = list[i].usage;
      info.featureReportLength = list[i].featureReportLength;
      info.inputReportLength = list[i].inputReportLength;
      info.outputReportLength = list[i].outputReportLength;
      result.push_back(info);
    }
  }
  return result;
}

Result<std::unique_ptr<HidHandle>> HidrawBus::open(const HidInterfaceInfo& info,
                                                   HidOpenMode /*mode*/) {
  // Both modes read and write: the event collection is only read, but the node is shared.
  const std::string node = HidrawNodeOfPath(info.path);
  UniqueFd fd(::open(node.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK));
  if (!fd.valid()) return ErrnoError(node, errno);
  auto descriptor = DescriptorOfFd(fd.get(), node);
  if (!descriptor) return descriptor.error();
  auto wake = WakeFlag::create();
  if (!wake) return wake.error();
  return std::unique_ptr<HidHandle>(new HidrawHandle(std::move(fd), std::move(wake).value(), node,
                                                     DescriptorUsesReportIds(descriptor.value())));
}

}  // namespace vm31::linux_platform
