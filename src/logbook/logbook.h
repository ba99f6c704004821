#pragma once

#include "common/file_io.h"
#include "common/paths.h"
#include "measurements/period_list_model.h"
#include "measurements/reading_context.h"

#include <QString>
#include <array>

namespace tl {

// One patient's logbook: the four period lists (the only copy of the
// readings in memory), the patient's name and the storage paths that the
// workflows read and write. The name and the paths are held by reference:
// the window keeps them in the program-wide state, the command line keeps
// its own.
class Logbook {
public:
  Logbook(QString &patient, StoragePaths &paths) : patient_(&patient), paths_(&paths) {}
  Logbook(const Logbook &) = delete;
  Logbook &operator=(const Logbook &) = delete;

  PeriodLists &lists() { return lists_; }
  const PeriodLists &lists() const { return lists_; }
  PeriodListModel &list(DayPeriod p) { return lists_.list(p); }
  const PeriodListModel &list(DayPeriod p) const { return lists_.list(p); }

  // The notes and flags of the readings of the four lists.
  ReadingContexts &contexts() { return contexts_; }
  const ReadingContexts &contexts() const { return contexts_; }

  const QString &patient() const { return *patient_; }
  StoragePaths &paths() { return *paths_; }
  const StoragePaths &paths() const { return *paths_; }

  // Makes `name` the logbook's patient and rebuilds the measurement paths;
  // the lists are left as they are, and stand on no file until loaded.
  void setPatient(const QString &name) {
    *patient_ = name;
    RebuildMeasurementPaths(*paths_, name);
    files_ = {};
    contextFile_ = {};
  }

  // What a list stands on: the version of its file that was last read or
  // written, and the list's revision then. A list whose revision is still
  // that one holds what that version held.
  struct FileBase {
    FileSnapshot file;
    quint64 revision = 0;
    // The file's count line disagreed with its records when read: it is
    // kept aside whole before it is written over.
    bool keepAside = false;
  };
  FileBase &base(DayPeriod p) { return files_[size_t(PeriodIndex(p))]; }
  const FileBase &base(DayPeriod p) const { return files_[size_t(PeriodIndex(p))]; }
  // The list of `p` now stands on `file`, as it is.
  void settle(DayPeriod p, FileSnapshot file) { base(p) = {std::move(file), list(p).revision()}; }
  // The same for the context file and the contexts.
  FileBase &contextBase() { return contextFile_; }
  const FileBase &contextBase() const { return contextFile_; }
  void settleContexts(FileSnapshot file) { contextFile_ = {std::move(file), contexts_.revision()}; }

private:
  QString *patient_;
  StoragePaths *paths_;
  PeriodLists lists_;
  ReadingContexts contexts_;
  std::array<FileBase, 4> files_{};
  FileBase contextFile_;
};

} // namespace tl
