#pragma once
// KOR_VM31.exe's start-up: the Win32 shell's composition root (with main.cpp), the only place
// in src/win32 that reaches src/platform/windows. It takes the single instance, builds the
// Windows device backend, the device link, the tray and the main window model, and runs the
// message loop that also waits on the backend's hand-over and hotplug handles.

namespace vm31::win32 {

// The whole program; returns the process's exit code.
int RunTarnwickApp();

}  // namespace vm31::win32
