#pragma once
// CTarnwickApp: the program's process. It takes the single-instance lock before anything is
// shown, finds the data files (filling the per-user folder from the factory files on the first
// start), opens the Linux device backends, and runs the main window model CTarnwickDlg in the
// generic skinned window, with the tray notifier, the reader thread's events and the hotplug
// watch delivered on the user-interface thread.

namespace vm31::qt {

class CTarnwickApp {
 public:
  // The process's exit code.
  static int run(int argc, char** argv);

 private:
  class QtHotplugWatch;
};

}  // namespace vm31::qt
