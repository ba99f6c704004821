#pragma once

#include "common/paths.h"
#include "measurements/period_list_model.h"

#include <QString>

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

  const QString &patient() const { return *patient_; }
  StoragePaths &paths() { return *paths_; }
  const StoragePaths &paths() const { return *paths_; }

  // Makes `name` the logbook's patient and rebuilds the measurement paths;
  // the lists are left as they are.
  void setPatient(const QString &name) {
    *patient_ = name;
    RebuildMeasurementPaths(*paths_, name);
  }

private:
  QString *patient_;
  StoragePaths *paths_;
  PeriodLists lists_;
};

} // namespace tl
