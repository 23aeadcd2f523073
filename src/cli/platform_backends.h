#pragma once
// The one place where vm31ctl picks the system's backends: `platform::` names the Linux or the
// Windows backends, which offer the same functions under the same names (the emulated mouse's
// transport too: UserRuntimeFolder, ServeEmulator, EmulatorControlRequest,
// EmulatorEndpointsInWords).

#ifdef _WIN32
#include "platform/windows/emulator_tcp.h"
#include "platform/windows/executable_folder.h"
#include "platform/windows/file_system_edge.h"
#include "platform/windows/runtime_folder.h"
#include "platform/windows/win32_error.h"
#include "platform/windows/windows_device_backend.h"
#else
#include "platform/linux/emulator_socket.h"
#include "platform/linux/executable_folder.h"
#include "platform/linux/file_system_edge.h"
#include "platform/linux/linux_device_backend.h"
#include "platform/linux/runtime_folder.h"
#include "platform/linux/steady_clock.h"
#endif

namespace vm31::cli {

#ifdef _WIN32
namespace platform = vm31::windows_platform;
using DeviceBackend = platform::WindowsDeviceBackend;
using LoopWakeSignal = platform::EventWake;  // the loop waits on its event()
using SystemClock = platform::PreciseClock;
inline void InstallPlatformFileSystemEdge() {
  platform::InstallWindowsFileSystemEdge();
}
#else
namespace platform = vm31::linux_platform;
using DeviceBackend = platform::LinuxDeviceBackend;
using LoopWakeSignal = platform::EventFdWake;  // the loop watches its fd()
using SystemClock = platform::SteadyClock;
inline void InstallPlatformFileSystemEdge() {
  platform::InstallLinuxFileSystemEdge();
}
#endif

}  // namespace vm31::cli
