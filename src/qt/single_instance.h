#pragma once
// One running instance per user session: a lock file named "VEL_KORVM31Mutex" in the user's
// runtime folder ($XDG_RUNTIME_DIR, else /tmp/kor-vm31-<uid>, made 0700 and refused when
// another user owns it), held with flock() for the life of the process. The kernel drops the
// lock when the process ends, however it ends, so a crash never blocks the next start.
//
// The lock file also says how the running instance is reached: "tray" (it lives in the tray, a
// plain second start ends silently) or "window" (no tray on this desktop: a second start asks it
// to bring its window forward). Requests travel over the local socket "VEL_KORVM31Mutex.show"
// beside the lock, one line each: "start" (a plain second start) or "show" (`--show`, which
// shows the window in either mode).

#include <QObject>
#include <filesystem>
#include <memory>

#include "core/util/result.h"
#include "platform/linux/fd.h"

class QLocalServer;

namespace vm31::qt {

inline constexpr const char* kInstanceLockName = "VEL_KORVM31Mutex";

enum class InstanceMode { kUnknown, kTray, kWindow };

// The user's runtime folder, where the lock lives.
Result<std::filesystem::path> InstanceFolder();

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  // Takes the lock in `folder`. A null pointer means another process holds it.
  static Result<std::unique_ptr<SingleInstance>> acquire(const std::filesystem::path& folder);
  ~SingleInstance() override;

  // Opens the request channel, then records how this instance is reached.
  Status announce(InstanceMode mode);

  // A second start: how the running instance said it is reached (kUnknown before it said).
  static InstanceMode runningMode(const std::filesystem::path& folder);
  // A second start sends its request (`show`: the window was asked for); true when it went out.
  // While the running instance has not opened its channel yet (it is still starting, as when
  // the user opens the window at login while the autostart runs) it tries again for `waitMs`.
  static bool requestShow(const std::filesystem::path& folder, bool show, int waitMs = 0);

 signals:
  // `show`: the window was asked for; false: a plain second start.
  void showRequested(bool show);

 private:
  SingleInstance(std::filesystem::path folder, linux_platform::UniqueFd lock);
  void acceptShowRequest();

  std::filesystem::path folder_;
  linux_platform::UniqueFd lock_;
  QLocalServer* server_ = nullptr;
};

}  // namespace vm31::qt
