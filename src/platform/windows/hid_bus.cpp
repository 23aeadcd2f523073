#include "platform/windows/hid_bus.h"

#include <windows.h>

// mingw-w64's HID headers lack the C linkage block of the Windows SDK's; hidsdi.h first, it
// brings the usage types hidpi.h needs.
// clang-format off
extern "C" {
#include <hidsdi.h>
#include <hidpi.h>
}
// clang-format on
#include <setupapi.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "platform/windows/win32_error.h"
#include "platform/windows/win32_handle.h"

namespace vm31::windows_platform {
namespace {

constexpr std::size_t kMaxReport = 4096;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::optional<std::uint16_t> HexAfter(const std::string& lower, const std::string& key) {
  const std::size_t at = lower.find(key);
  if (at == std::string::npos || at + key.size() + 4 > lower.size()) return std::nullopt;
  std::uint16_t value = 0;
  for (std::size_t i = at + key.size(); i < at + key.size() + 4; ++i) {
    const char c = lower[i];
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    value = static_cast<std::uint16_t>(value * 16 + (c <= '9' ? c - '0' : c - 'a' + 10));
  }
  return value;
}

// Opens an interface: for transfers with read and write access, for its attributes with none
// (which Windows grants even for a collection another program holds).
UniqueHandle OpenInterface(const std::wstring& path, DWORD access, DWORD flags) {
  return UniqueHandle(::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, flags, nullptr));
}

// Fills the ids and capabilities of an open interface; false when Windows gives neither.
bool ReadCapabilities(HANDLE device, HidInterfaceInfo& info) {
  HIDD_ATTRIBUTES attributes{};
  attributes.Size = sizeof attributes;
  if (!::HidD_GetAttributes(device, &attributes)) return false;
  info.vendorId = attributes.VendorID;
  info.productId = attributes.ProductID;
  PHIDP_PREPARSED_DATA preparsed = nullptr;
  if (!::HidD_GetPreparsedData(device, &preparsed)) return true;
  HIDP_CAPS caps{};
  if (::HidP_GetCaps(preparsed, &caps) == HIDP_STATUS_SUCCESS) {
    info.usagePage = caps.UsagePage;
    info.usage = caps.Usage;
    info.featureReportLength = caps.FeatureReportByteLength;
    info.inputReportLength = caps.InputReportByteLength;
    info.outputReportLength = caps.OutputReportByteLength;
  }
  ::HidD_FreePreparsedData(preparsed);
  return true;
}

class WindowsHidHandle final : public HidHandle {
 public:
  WindowsHidHandle(UniqueHandle device, UniqueHandle readDone, UniqueHandle wake, std::string path,
                   std::size_t inputLength)
      : device_(std::move(device)),
        readDone_(std::move(readDone)),
        wake_(std::move(wake)),
        path_(std::move(path)),
        scratch_(std::max<std::size_t>(inputLength, 1)) {}

  ~WindowsHidHandle() override {
    if (pending_) {
      ::CancelIoEx(device_.get(), &overlapped_);
      DWORD ignored = 0;
      ::GetOverlappedResult(device_.get(), &overlapped_, &ignored, TRUE);
    }
  }

  Result<std::size_t> setFeature(std::span<const std::uint8_t> report) override {
    std::vector<std::uint8_t> copy(report.begin(), report.end());  // the call takes PVOID
    if (!::HidD_SetFeature(device_.get(), copy.data(), static_cast<ULONG>(copy.size()))) {
      return Win32Error(path_ + ": set feature report", ::GetLastError());
    }
    return report.size();
  }

  Result<std::size_t> getFeature(std::span<std::uint8_t> report) override {
    if (!::HidD_GetFeature(device_.get(), report.data(), static_cast<ULONG>(report.size()))) {
      return Win32Error(path_ + ": get feature report", ::GetLastError());
    }
    return report.size();
  }

  Result<std::size_t> write(std::span<const std::uint8_t> report) override {
    // The handle is overlapped: the write is started and waited for at once.
    OVERLAPPED overlapped{};
    UniqueHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    overlapped.hEvent = done.get();
    DWORD written = 0;
    if (!::WriteFile(device_.get(), report.data(), static_cast<DWORD>(report.size()), nullptr,
                     &overlapped) &&
        ::GetLastError() != ERROR_IO_PENDING) {
      return Win32Error(path_ + ": write output report", ::GetLastError());
    }
    if (!::GetOverlappedResult(device_.get(), &overlapped, &written, TRUE)) {
      return Win32Error(path_ + ": write output report", ::GetLastError());
    }
    return static_cast<std::size_t>(written);
  }

  Result<HidReadResult> read(std::span<std::uint8_t> buffer,
                             std::optional<std::chrono::milliseconds> timeout) override {
    if (!pending_) {
      std::memset(&overlapped_, 0, sizeof overlapped_);
      overlapped_.hEvent = readDone_.get();
      ::ResetEvent(readDone_.get());
      if (!::ReadFile(device_.get(), scratch_.data(), static_cast<DWORD>(scratch_.size()), nullptr,
                      &overlapped_) &&
          ::GetLastError() != ERROR_IO_PENDING) {
        return Win32Error(path_ + ": read input report", ::GetLastError());
      }
      pending_ = true;
    }
    // The wake event is listed first: a raised wake wins over a report that is ready, so a
    // wake request is never lost. A read still pending is kept for the next call.
    const HANDLE waits[2] = {wake_.get(), readDone_.get()};
    const DWORD milliseconds = timeout ? static_cast<DWORD>(timeout->count()) : INFINITE;
    const DWORD outcome = ::WaitForMultipleObjects(2, waits, FALSE, milliseconds);
    if (outcome == WAIT_OBJECT_0) {
      ::ResetEvent(wake_.get());
      return HidReadResult{HidReadStatus::kWoken, 0};
    }
    if (outcome == WAIT_TIMEOUT) return HidReadResult{HidReadStatus::kTimedOut, 0};
    if (outcome != WAIT_OBJECT_0 + 1) return Win32Error(path_ + ": wait", ::GetLastError());
    pending_ = false;
    DWORD got = 0;
    if (!::GetOverlappedResult(device_.get(), &overlapped_, &got, FALSE)) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_DEVICE_NOT_CONNECTED || error == ERROR_GEN_FAILURE ||
          error == ERROR_OPERATION_ABORTED) {
        return MakeError(ErrorCode::kNotFound, path_ + ": the device is gone");
      }
      return Win32Error(path_ + ": read input report", error);
    }
    // Windows always hands out the report-id byte first (0 without report ids).
    const std::size_t length = std::min(buffer.size(), static_cast<std::size_t>(got));
    std::copy_n(scratch_.begin(), length, buffer.begin());
    return HidReadResult{HidReadStatus::kReport, length};
  }

  void wake() override { ::SetEvent(wake_.get()); }

 private:
  UniqueHandle device_;
  UniqueHandle readDone_;
  UniqueHandle wake_;
  std::string path_;
  std::vector<std::uint8_t> scratch_;
  OVERLAPPED overlapped_{};
  bool pending_ = false;
};

}  // namespace

std::string InterfacePathKey(const std::string& path) {
  return Lower(path);
}

InterfacePathIds IdsOfInterfacePath(const std::string& path) {
  const std::string lower = Lower(path);
  return {HexAfter(lower, "vid_").value_or(0), HexAfter(lower, "pid_").value_or(0)};
}

std::string ParentOfInterfacePath(const std::string& path) {
  const std::string lower = Lower(path);
  std::size_t cut = std::string::npos;
  for (const char* part : {"&col", "&mi_"}) cut = std::min(cut, lower.find(part));
  // Past the ids, the instance and the class: "\\?\hid#vid_1234&pid_abcd&mi_01#7&...#{guid}".
  return cut == std::string::npos ? lower.substr(0, lower.rfind('#')) : lower.substr(0, cut);
}

Result<std::vector<HidInterfaceInfo>> WindowsHidBus::enumerate() {
  GUID hidClass{};
  ::HidD_GetHidGuid(&hidClass);
  HDEVINFO set =
      ::SetupDiGetClassDevsW(&hidClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) {
    return Win32Error("SetupAPI: cannot list the HID devices", ::GetLastError());
  }
  std::vector<HidInterfaceInfo> result;
  SP_DEVICE_INTERFACE_DATA interfaceData{};
  interfaceData.cbSize = sizeof interfaceData;
  for (DWORD index = 0;
       ::SetupDiEnumDeviceInterfaces(set, nullptr, &hidClass, index, &interfaceData); ++index) {
    DWORD size = 0;
    ::SetupDiGetDeviceInterfaceDetailW(set, &interfaceData, nullptr, 0, &size, nullptr);
    if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) continue;
    std::vector<std::uint8_t> storage(size);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    if (!::SetupDiGetDeviceInterfaceDetailW(set, &interfaceData, detail, size, nullptr, nullptr)) {
      continue;
    }
    const std::wstring widePath = detail->DevicePath;
    HidInterfaceInfo info;
    info.path = Lower(Utf8FromWide(widePath));  // as the device notifications name it
    info.parent = ParentOfInterfacePath(info.path);
    UniqueHandle device = OpenInterface(widePath, 0, 0);
    if (!device.valid() || !ReadCapabilities(device.get(), info)) {
      const InterfacePathIds ids = IdsOfInterfacePath(info.path);
      info.vendorId = ids.vendorId;
      info.productId = ids.productId;
    }
    result.push_back(std::move(info));
  }
  ::SetupDiDestroyDeviceInfoList(set);
  return result;
}

Result<std::unique_ptr<HidHandle>> WindowsHidBus::open(const HidInterfaceInfo& info,
                                                       HidOpenMode /*mode*/) {
  UniqueHandle device =
      OpenInterface(WideFromUtf8(info.path), GENERIC_READ | GENERIC_WRITE, FILE_FLAG_OVERLAPPED);
  if (!device.valid()) return Win32Error(info.path, ::GetLastError());
  UniqueHandle readDone(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  UniqueHandle wake(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!readDone.valid() || !wake.valid()) {
    return Win32Error(info.path + ": cannot create an event", ::GetLastError());
  }
  HidInterfaceInfo caps;
  const std::size_t inputLength = ReadCapabilities(device.get(), caps) && caps.inputReportLength
                                      ? caps.inputReportLength
                                      : kMaxReport;
  return std::unique_ptr<HidHandle>(new WindowsHidHandle(std::move(device), std::move(readDone),
                                                         std::move(wake), info.path, inputLength));
}

}  // namespace vm31::windows_platform
