#include "qt/single_instance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

namespace vm31::qt {
namespace {

constexpr const char* kShowRequest = "show\n";
constexpr const char* kStartRequest = "start\n";
constexpr int kShowRequestWaitMs = 2000;

}  // namespace

InstanceChannel::~InstanceChannel() {
  if (server_ != nullptr) server_->close();  // removes the socket file
}

Result<std::unique_ptr<InstanceChannel>> InstanceChannel::listen(
    const std::filesystem::path& path) {
  const QString socketPath = QString::fromStdString(path.string());
  QLocalServer::removeServer(socketPath);  // a stale socket of an ended instance
  std::unique_ptr<InstanceChannel> channel(new InstanceChannel());
  channel->server_ = new QLocalServer(channel.get());
  channel->server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!channel->server_->listen(socketPath)) {
    return MakeError(ErrorCode::kIo,
                     path.string() + ": " + channel->server_->errorString().toStdString());
  }
  connect(channel->server_, &QLocalServer::newConnection, channel.get(),
          &InstanceChannel::acceptShowRequest);
  return channel;
}

void InstanceChannel::acceptShowRequest() {
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

bool InstanceChannel::requestShow(const std::filesystem::path& path, bool show, int waitMs) {
  constexpr int kRetryMs = 50;
  QLocalSocket socket;
  for (int waited = 0;; waited += kRetryMs) {
    socket.connectToServer(QString::fromStdString(path.string()));
    if (socket.waitForConnected(kShowRequestWaitMs)) break;
    if (waited >= waitMs) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(kRetryMs));
  }
  socket.write(show ? kShowRequest : kStartRequest);
  const bool sent = socket.waitForBytesWritten(kShowRequestWaitMs);
  socket.disconnectFromServer();
  return sent;
}

}  // namespace vm31::qt
