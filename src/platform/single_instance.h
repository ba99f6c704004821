#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QLockFile;

namespace tl {

// One running copy per user: a lock file is the mutex, and a local socket of
// the same name carries the second copy's request to the first to come to
// the front.
class SingleInstance : public QObject {
  Q_OBJECT
public:
  // `name` identifies the program (the program title plus the user name in
  // production; tests pass a name of their own so they can run in parallel).
  explicit SingleInstance(const QString &name, QObject *parent = nullptr);
  ~SingleInstance() override;

  // True when this copy is the only one running; it then keeps the lock and
  // listens for later copies. False when another copy holds the lock: that
  // copy has been asked to show itself and this one must end.
  bool acquire();

  bool isPrimary() const { return primary_; }
  QString name() const { return name_; }

  // The name used by the program: the title plus the user's login name.
  static QString DefaultName(const QString &programTitle);

signals:
  // A later copy asked this one to come to the front.
  void showRequested();

private:
  void acceptConnections();

  QString name_;
  std::unique_ptr<QLockFile> lock_;
  QLocalServer *server_ = nullptr;
  bool primary_ = false;
};

} // namespace tl
