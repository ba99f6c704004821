#pragma once

// What the benchmarks over a logbook share.

#include "logbook/logbook.h"

#include <QString>

namespace tl::bench {

// A logbook of its own in a temporary data folder.
struct Book {
  QString patient;
  StoragePaths paths;
  Logbook book{patient, paths};
  Book(const QString &folder, const QString &name) {
    paths.dataFolder = folder;
    book.setPatient(name);
  }
};

} // namespace tl::bench
