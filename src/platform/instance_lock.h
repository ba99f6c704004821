#pragma once

// The lock of a data folder, with Qt Core alone: one program at a time
// writes there, the window or a writing command of tensiolog-cli. It is a
// file in the folder itself, so it is private as the folder is, and it
// belongs to that folder alone, whatever the user or the temporary folder.

#include <QString>
#include <memory>

class QLockFile;

namespace tl {

// The name the command line writes into the lock it holds.
inline constexpr char kCommandLineProgram[] = "tensiolog-cli";

// The lock file of `dataFolder` (a path ending in "/").
QString DataFolderLockPath(const QString &dataFolder);

class DataFolderLock {
public:
  enum class Result {
    Taken,  // this process holds the folder now
    Held,   // a living process holds it: holder() and holderPid() tell which
    Failed, // the lock could not be made: reason() says why
  };

  explicit DataFolderLock(const QString &dataFolder);
  ~DataFolderLock();
  DataFolderLock(const DataFolderLock &) = delete;
  DataFolderLock &operator=(const DataFolderLock &) = delete;

  // Takes the lock at once or not at all; a lock left by a process that
  // died is taken over.
  Result take();
  void release();
  bool isHeld() const;

  QString holder() const { return holder_; }
  qint64 holderPid() const { return holderPid_; }
  QString reason() const { return reason_; }

private:
  QString folder_;
  std::unique_ptr<QLockFile> lock_;
  QString holder_;
  qint64 holderPid_ = 0;
  QString reason_;
};

// The program that holds the lock of `dataFolder` now ("tensiolog-cli", the
// window's title, or another application name), or "" when none does.
QString DataFolderLockHolder(const QString &dataFolder, qint64 *pid = nullptr);

// The local socket through which a later copy asks the window working on
// `dataFolder` to come forward: named after the folder's canonical path and
// the user, in the user's private runtime folder where the system has one.
QString HandOverSocketName(const QString &dataFolder);

} // namespace tl
