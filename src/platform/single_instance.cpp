#include "platform/single_instance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

namespace tl {

namespace {

constexpr QByteArrayView kShowRequest = "show\n";

} // namespace

SingleInstance::SingleInstance(const QString &dataFolder, QObject *parent)
    : QObject(parent), folder_(dataFolder), lock_(dataFolder) {}

SingleInstance::~SingleInstance() {
  if (server_) {
    server_->close();
  }
}

SingleInstance::Outcome SingleInstance::acquire() {
  if (primary_) {
    return Outcome::Primary;
  }
  switch (lock_.take()) {
  case DataFolderLock::Result::Taken:
    break;
  case DataFolderLock::Result::Failed:
    reason_ = QStringLiteral("Tensiolog ne peut pas s'ouvrir : %1.").arg(lock_.reason());
    return Outcome::Failed;
  case DataFolderLock::Result::Held: {
    if (lock_.holder() == QLatin1StringView(kCommandLineProgram)) {
      reason_ = QStringLiteral("Une commande tensiolog-cli (processus %1) écrit en ce moment dans "
                               "le dossier de données %2. Tensiolog s'ouvrira quand elle aura "
                               "fini : réessayez dans un instant.")
                    .arg(lock_.holderPid())
                    .arg(QDir::toNativeSeparators(folder_));
      return Outcome::HeldByCommand;
    }
    QLocalSocket socket;
    socket.connectToServer(HandOverSocketName(folder_));
    if (socket.waitForConnected(2000)) {
      socket.write(kShowRequest.data(), kShowRequest.size());
      socket.waitForBytesWritten(2000);
      socket.disconnectFromServer();
      return Outcome::HandedOver;
    }
    reason_ = QStringLiteral("Tensiolog est déjà ouvert sur le dossier de données %1 (processus "
                             "%2, %3), mais ne répond pas.")
                  .arg(QDir::toNativeSeparators(folder_))
                  .arg(lock_.holderPid())
                  .arg(lock_.holder());
    return Outcome::Failed;
  }
  }
  primary_ = true;
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  const QString name = HandOverSocketName(folder_);
  // A socket left by a copy that died would refuse the name; only the
  // holder of the folder's lock may remove it.
  QLocalServer::removeServer(name);
  if (server_->listen(name)) {
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
  }
  return Outcome::Primary;
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
