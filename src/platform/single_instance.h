#pragma once

#include "platform/instance_lock.h"

#include <QObject>
#include <QString>

class QLocalServer;

namespace tl {

// One window per data folder: the folder's lock is the mutex, and a local
// socket named after the folder carries a later copy's request to the
// first to come to the front.
class SingleInstance : public QObject {
  Q_OBJECT
public:
  explicit SingleInstance(const QString &dataFolder, QObject *parent = nullptr);
  ~SingleInstance() override;

  enum class Outcome {
    Primary,       // this copy holds the folder and listens for later copies
    HandedOver,    // another window holds it and was asked to come forward
    HeldByCommand, // a command of tensiolog-cli is writing there
    HeldElsewhere, // another computer holds it: reason() says who and since
                   // when; openAnyway() takes it over
    ReadOnly,      // the folder cannot be written: reason() says why; the
                   // window may open to show the readings, changing nothing
    Failed,        // the lock could not be taken: reason() says why
  };
  Outcome acquire();
  // After HeldElsewhere and the person's consent: takes the folder over
  // (Primary), or Failed with reason().
  Outcome openAnyway();

  bool isPrimary() const { return primary_; }
  // The French reason of HeldByCommand and Failed.
  QString reason() const { return reason_; }

signals:
  // A later copy asked this one to come to the front.
  void showRequested();

private:
  Outcome becomePrimary();
  void acceptConnections();

  QString folder_;
  DataFolderLock lock_;
  QLocalServer *server_ = nullptr;
  bool primary_ = false;
  QString reason_;
};

} // namespace tl
