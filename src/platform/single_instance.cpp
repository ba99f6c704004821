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
  const QString folder = QDir::toNativeSeparators(folder_);
  switch (lock_.take()) {
  case DataFolderLock::Result::Taken:
    return becomePrimary();
  case DataFolderLock::Result::ReadOnly:
    reason_ = QStringLiteral("Le dossier de données %1 ne peut pas être modifié (%2) : Tensiolog "
                             "s'ouvre en lecture seule. Vous pouvez consulter vos relevés, mais "
                             "aucune modification ne sera acceptée ni enregistrée.")
                  .arg(folder, lock_.reason());
    return Outcome::ReadOnly;
  case DataFolderLock::Result::Failed:
    reason_ = QStringLiteral("Tensiolog ne peut pas s'ouvrir : %1.").arg(lock_.reason());
    return Outcome::Failed;
  case DataFolderLock::Result::Held:
    break;
  }
  const LockHolder &holder = lock_.holderInfo();
  if (holder.otherComputer) {
    reason_ = QStringLiteral("Le dossier de données %1 est ouvert sur un autre ordinateur : %2.\n\n"
                             "Si Tensiolog y est vraiment ouvert, le fermer là-bas d'abord est "
                             "plus sûr. S'il s'y est arrêté sans se fermer (une panne, une "
                             "coupure), vous pouvez l'ouvrir ici quand même : les modifications "
                             "faites des deux côtés sont fusionnées à l'enregistrement.\n\n"
                             "Ouvrir quand même ?")
                  .arg(folder, holder.text());
    return Outcome::HeldElsewhere;
  }
  if (holder.program == QLatin1StringView(kCommandLineProgram)) {
    reason_ = QStringLiteral("Une commande tensiolog-cli (processus %1) écrit en ce moment dans "
                             "le dossier de données %2. Tensiolog s'ouvrira quand elle aura "
                             "fini : réessayez dans un instant.")
                  .arg(holder.pid)
                  .arg(folder);
    return Outcome::HeldByCommand;
  }
  if (holder.otherAccount) {
    reason_ = QStringLiteral("Le dossier de données %1 est tenu par un autre compte de cet "
                             "ordinateur : %2. Tensiolog ne peut pas s'ouvrir sur ce dossier "
                             "tant que ce compte le garde ouvert.")
                  .arg(folder, holder.text());
    return Outcome::Failed;
  }
  QLocalSocket socket;
  socket.connectToServer(HandOverSocketName(folder_));
  if (socket.waitForConnected(2000)) {
    socket.write(kShowRequest.data(), kShowRequest.size());
    socket.waitForBytesWritten(2000);
    socket.disconnectFromServer();
    return Outcome::HandedOver;
  }
  reason_ = QStringLiteral("Tensiolog est déjà ouvert sur le dossier de données %1 (%2), mais ne "
                           "répond pas.")
                .arg(folder, holder.text());
  return Outcome::Failed;
}

SingleInstance::Outcome SingleInstance::openAnyway() {
  if (primary_) {
    return Outcome::Primary;
  }
  if (lock_.takeOver() != DataFolderLock::Result::Taken) {
    reason_ = QStringLiteral("Tensiolog ne peut pas s'ouvrir : %1.").arg(lock_.reason());
    return Outcome::Failed;
  }
  return becomePrimary();
}

SingleInstance::Outcome SingleInstance::becomePrimary() {
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
