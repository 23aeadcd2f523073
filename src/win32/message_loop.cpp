#include "win32/message_loop.h"

#include "win32/skinned_window.h"

namespace vm31::win32 {

MessageLoop& ProcessLoop() {
  static MessageLoop loop;
  return loop;
}

void MessageLoop::addWait(HANDLE handle, std::function<void()> signalled) {
  waits_.push_back(Wait{handle, std::move(signalled)});
}

void MessageLoop::waitWhileIdle() {
  std::vector<HANDLE> handles;
  handles.reserve(waits_.size());
  for (const Wait& wait : waits_) handles.push_back(wait.handle);
  const DWORD count = static_cast<DWORD>(handles.size());
  const DWORD outcome = ::MsgWaitForMultipleObjectsEx(count, handles.data(), INFINITE, QS_ALLINPUT,
                                                      MWMO_INPUTAVAILABLE);
  if (outcome < WAIT_OBJECT_0 + count) {
    const std::function<void()> signalled = waits_[outcome - WAIT_OBJECT_0].signalled;
    signalled();
  }
}

bool MessageLoop::run(const std::function<bool()>& ended) {
  for (;;) {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        ::PostQuitMessage(static_cast<int>(message.wParam));
        return false;
      }
      if (!PreTranslateWindowMessage(message)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
      }
      if (ended()) return true;
    }
    if (ended()) return true;
    std::vector<HANDLE> handles;
    handles.reserve(waits_.size());
    for (const Wait& wait : waits_) handles.push_back(wait.handle);
    const DWORD count = static_cast<DWORD>(handles.size());
    const DWORD outcome = ::MsgWaitForMultipleObjectsEx(count, handles.data(), INFINITE,
                                                        QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (outcome < WAIT_OBJECT_0 + count) {
      // A copy: the handler may add waits.
      const std::function<void()> signalled = waits_[outcome - WAIT_OBJECT_0].signalled;
      signalled();
      if (ended()) return true;
    } else if (outcome == WAIT_FAILED) {
      ::WaitMessage();  // a handle gone bad: the windows keep working
    }
  }
}

}  // namespace vm31::win32
