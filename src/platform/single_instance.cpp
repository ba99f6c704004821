#include "platform/single_instance.h"

#include "platform/instance_lock.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

namespace tl {

namespace {

constexpr QByteArrayView kShowRequest = "show\n";

} // namespace

SingleInstance::SingleInstance(const QString &name, QObject *parent)
    : QObject(parent), name_(SafeInstanceName(name)) {}

SingleInstance::~SingleInstance() {
  if (server_) {
    server_->close();
  }
  if (lock_) {
    lock_->unlock();
  }
}

QString SingleInstance::DefaultName(const QString &programTitle) {
  return DefaultInstanceName(programTitle);
}

bool SingleInstance::acquire() {
  if (primary_) {
    return true;
  }
  lock_ = std::make_unique<QLockFile>(QDir::tempPath() + u'/' + name_ + QStringLiteral(".lock"));
  // A lock left by a copy that died is taken over (its process no longer exists).
  lock_->setStaleLockTime(0);
  if (!lock_->tryLock(0)) {
    lock_.reset();
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (socket.waitForConnected(2000)) {
      socket.write(kShowRequest.data(), kShowRequest.size());
      socket.waitForBytesWritten(2000);
      socket.disconnectFromServer();
    }
    return false;
  }
  primary_ = true;
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  // A socket file left by a copy that died would refuse the name.
  QLocalServer::removeServer(name_);
  if (server_->listen(name_)) {
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
  }
  return true;
}

// Each connection is one request to come forward. Its text is not waited
// for: the later copy may be gone before this one reads, and a Windows pipe
// whose writer has closed may then have nothing left to read (seen under
// Wine, where the request was lost).
void SingleInstance::acceptConnections() {
  while (QLocalSocket *socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    socket->disconnectFromServer();
    emit showRequested();
  }
}

} // namespace tl
