#include "qt/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>
#include <string>

#include "platform/linux/runtime_folder.h"

namespace vm31::qt {
namespace {

constexpr const char* kShowRequest = "show\n";
constexpr const char* kStartRequest = "start\n";
constexpr int kShowRequestWaitMs = 2000;

std::filesystem::path LockPath(const std::filesystem::path& folder) {
  return folder / kInstanceLockName;
}

QString ShowSocketPath(const std::filesystem::path& folder) {
  return QString::fromStdString((folder / (std::string(kInstanceLockName) + ".show")).string());
}

}  // namespace

Result<std::filesystem::path> InstanceFolder() {
  // The emulated mouse's sockets live in the same per-user runtime folder.
  return linux_platform::UserRuntimeFolder();
}

SingleInstance::SingleInstance(std::filesystem::path folder, linux_platform::UniqueFd lock)
    : folder_(std::move(folder)), lock_(std::move(lock)) {}

SingleInstance::~SingleInstance() {
  if (server_ != nullptr) server_->close();  // removes the socket file
}

Result<std::unique_ptr<SingleInstance>> SingleInstance::acquire(
    const std::filesystem::path& folder) {
  const auto path = LockPath(folder);
  // Never through a symbolic link, never blocking on a pipe; and only a file that is plainly
  // this user's own lock (a regular file of ours with no second name) is truncated below.
  linux_platform::UniqueFd fd(
      ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
  if (!fd.valid()) {
    if (errno == ELOOP) {
      return MakeError(ErrorCode::kAccessDenied,
                       path.string() + ": is a symbolic link, not this program's lock file; "
                                       "remove it");
    }
    return linux_platform::ErrnoError(path.string(), errno);
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) < 0) return linux_platform::ErrnoError(path.string(), errno);
  if (!S_ISREG(info.st_mode) || info.st_uid != ::geteuid() || info.st_nlink != 1) {
    return MakeError(ErrorCode::kAccessDenied,
                     path.string() + ": is not this program's lock file (another user's file, a "
                                     "second name of a file, or no regular file); remove it");
  }
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) < 0) {
    if (errno == EWOULDBLOCK) return std::unique_ptr<SingleInstance>();
    return linux_platform::ErrnoError(path.string(), errno);
  }
  // A mode left by an instance that ended is stale until this one announces its own.
  if (::ftruncate(fd.get(), 0) < 0) return linux_platform::ErrnoError(path.string(), errno);
  return std::unique_ptr<SingleInstance>(new SingleInstance(folder, std::move(fd)));
}

Status SingleInstance::announce(InstanceMode mode) {
  const std::string text = mode == InstanceMode::kWindow ? "window\n" : "tray\n";
  // The channel is open before the mode is written: a start that reads the mode can send.
  if (server_ == nullptr) {
    const QString socketPath = ShowSocketPath(folder_);
    QLocalServer::removeServer(
        socketPath);  // a stale socket of an ended instance: we hold the lock
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(socketPath)) {
      const std::string problem = server_->errorString().toStdString();
      delete server_;
      server_ = nullptr;
      return MakeError(ErrorCode::kIo, socketPath.toStdString() + ": " + problem);
    }
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::acceptShowRequest);
  }
  const auto path = LockPath(folder_);
  if (::ftruncate(lock_.get(), 0) < 0 ||
      ::pwrite(lock_.get(), text.data(), text.size(), 0) != static_cast<ssize_t>(text.size())) {
    return linux_platform::ErrnoError(path.string(), errno);
  }
  return Ok{};
}

void SingleInstance::acceptShowRequest() {
  while (QLocalSocket* client = server_->nextPendingConnection()) {
    connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
    connect(client, &QLocalSocket::readyRead, this, [this, client] {
      while (client->canReadLine()) {
        const QByteArray line = client->readLine();
        if (line == kShowRequest) emit showRequested(true);
        if (line == kStartRequest) emit showRequested(false);
      }
    });
  }
}

InstanceMode SingleInstance::runningMode(const std::filesystem::path& folder) {
  linux_platform::UniqueFd fd(::open(LockPath(folder).c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return InstanceMode::kUnknown;
  char text[16] = {};
  const ssize_t got = ::read(fd.get(), text, sizeof text - 1);
  if (got <= 0) return InstanceMode::kUnknown;
  const std::string mode(text, static_cast<std::size_t>(got));
  if (mode == "window\n") return InstanceMode::kWindow;
  if (mode == "tray\n") return InstanceMode::kTray;
  return InstanceMode::kUnknown;
}

bool SingleInstance::requestShow(const std::filesystem::path& folder, bool show, int waitMs) {
  constexpr int kRetryMs = 50;
  QLocalSocket socket;
  for (int waited = 0;; waited += kRetryMs) {
    socket.connectToServer(ShowSocketPath(folder));
    if (socket.waitForConnected(kShowRequestWaitMs)) break;
    if (waited >= waitMs) return false;
    ::usleep(kRetryMs * 1000);
  }
  socket.write(show ? kShowRequest : kStartRequest);
  const bool sent = socket.waitForBytesWritten(kShowRequestWaitMs);
  socket.disconnectFromServer();
  return sent;
}

}  // namespace vm31::qt
