#pragma once

// The lock of a data folder, with Qt Core alone: one program at a time
// writes there, the window or a writing command of tensiolog-cli. It is a
// file in the folder itself, so it is private as the folder is, and it
// belongs to that folder alone, whatever the user or the temporary folder.
// It says who holds the folder (computer, process, program, account, since
// when), so that a lock is never taken for more than it is: a lock whose
// process is gone on this computer is taken over, one from another computer
// (a shared or synchronised folder) is shown with its holder and may be
// overridden by the person.

#include <QDateTime>
#include <QString>

namespace tl {

// The name the command line writes into the lock it holds.
inline constexpr char kCommandLineProgram[] = "tensiolog-cli";

// The lock file of `dataFolder` (a path ending in "/").
QString DataFolderLockPath(const QString &dataFolder);

// Who holds a lock, as its file and the system tell.
struct LockHolder {
  qint64 pid = 0;
  QString program;  // the holder's executable name ("tensiolog-cli", "tensiolog"...)
  QString computer; // the host name the holder wrote
  QString account;  // the account that holds it: the one it wrote, else the file's owner
  QDateTime since;  // when it was taken (local time); invalid when not known
  bool otherComputer = false;
  bool otherAccount = false;

  // "Tensiolog (processus 4242) sur l'ordinateur « salon », compte « bob »,
  // depuis le 09/12/2026 à 08:15": what is known of it, in French.
  QString text() const;
};

class DataFolderLock {
public:
  enum class Result {
    Taken,    // this process holds the folder now
    Held,     // a living process holds it: holder() tells who
    ReadOnly, // the folder is on a read-only medium: nothing can be written there
    Failed,   // the lock could not be made: reason() says why
  };

  explicit DataFolderLock(const QString &dataFolder);
  ~DataFolderLock();
  DataFolderLock(const DataFolderLock &) = delete;
  DataFolderLock &operator=(const DataFolderLock &) = delete;

  // Takes the lock at once or not at all; a lock left on this computer by a
  // process that is gone is taken over.
  Result take();
  // Replaces the lock of another computer (after the person was warned):
  // Taken, or Failed with reason(). The other holder, on release, leaves
  // this lock in place.
  Result takeOver();
  void release();
  bool isHeld() const { return fd_ >= 0; }

  const LockHolder &holderInfo() const { return holder_; }
  QString holder() const { return holder_.program; }
  qint64 holderPid() const { return holder_.pid; }
  QString reason() const { return reason_; }

private:
  Result create();
  Result judgeExisting();
  Result failed(const QString &reason);

  QString folder_;
  int fd_ = -1;        // the open lock file (its handle on Windows)
  QByteArray written_; // what this process wrote into it
  LockHolder holder_;
  QString reason_;
};

// The program that holds the lock of `dataFolder` now ("tensiolog-cli", the
// window's executable, or another application name), or "" when none does.
QString DataFolderLockHolder(const QString &dataFolder, qint64 *pid = nullptr);

// The local socket through which a later copy asks the window working on
// `dataFolder` to come forward: named after the folder's canonical path and
// the user, in the user's private runtime folder where the system has one.
QString HandOverSocketName(const QString &dataFolder);

} // namespace tl
