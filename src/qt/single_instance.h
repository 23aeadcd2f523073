#pragma once
// The request channel of the single running instance: a local socket beside the instance's lock
// file (the lock itself is the platform's), one line per request: "start" (a plain second start)
// or "show" (`--show`, which shows the window in either mode).

#include <QObject>
#include <filesystem>
#include <memory>

#include "core/util/result.h"

class QLocalServer;

namespace vm31::qt {

class InstanceChannel : public QObject {
  Q_OBJECT
 public:
  // Serves requests on the socket at `path` (replacing a stale one: the caller holds the lock).
  static Result<std::unique_ptr<InstanceChannel>> listen(const std::filesystem::path& path);
  ~InstanceChannel() override;

  // A second start sends its request (`show`: the window was asked for); true when it went out.
  // While the running instance has not opened its channel yet (it is still starting, as when
  // the user opens the window at login while the autostart runs) it tries again for `waitMs`.
  static bool requestShow(const std::filesystem::path& path, bool show, int waitMs = 0);

 signals:
  // `show`: the window was asked for; false: a plain second start.
  void showRequested(bool show);

 private:
  InstanceChannel() = default;
  void acceptShowRequest();

  QLocalServer* server_ = nullptr;
};

}  // namespace vm31::qt
