#pragma once
// The user-interface thread's loop: window messages, and the handles the device backend signals
// (the reader thread's hand-over, the hotplug sources) waited on beside them with
// MsgWaitForMultipleObjectsEx, so nothing polls. The program's loop and each popup's modal run
// are this loop. The system's own dialog loops (a message box, the colour dialog) run window
// messages only, but tell their owner each time their queue runs empty (WM_ENTERIDLE): the owner
// then waits here for the next message or handle (waitWhileIdle), so a device event is handled
// while they run, an unplug ending them. The loops of a menu and of the window drag send no such
// notice: a device event waits until they end (the reader thread holds it).

#include <windows.h>

#include <functional>
#include <vector>

namespace vm31::win32 {

class MessageLoop {
 public:
  // `signalled` runs on the loop's thread whenever `handle` is signalled; it must reset the
  // handle (or consume what set it) before it returns, else it runs again at once.
  void addWait(HANDLE handle, std::function<void()> signalled);

  // Runs until `ended` says so after a message or a handle was handled, or until WM_QUIT
  // (posted again, so an outer loop ends too); returns false on WM_QUIT.
  bool run(const std::function<bool()>& ended);

  // Waits until a message is queued or a handle is signalled, and handles the one signalled: for
  // a system dialog loop whose queue ran empty (WM_ENTERIDLE), which then reads the queue again.
  void waitWhileIdle();

 private:
  struct Wait {
    HANDLE handle;
    std::function<void()> signalled;
  };
  std::vector<Wait> waits_;
};

// The one loop of the process, for the windows' modal runs; set by the program at start.
MessageLoop& ProcessLoop();

}  // namespace vm31::win32
