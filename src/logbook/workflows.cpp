#include "logbook/workflows.h"

#include "logbook/logbook.h"
#include "logbook/reports.h"
#include "measurements/classification.h"
#include "measurements/parse.h"
#include "platform/dialogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>

namespace tl {

namespace {

QList<int> SortedRows(QList<int> rows) {
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  return rows;
}

// Removes a period's measurement file, also when it is marked read-only.
void RemoveMeasurementFile(const QString &path) {
  if (path.isEmpty() || !QFile::exists(path)) {
    return;
  }
  QFile file(path);
  if (!file.remove()) {
    file.setPermissions(file.permissions() | QFileDevice::WriteOwner | QFileDevice::WriteUser);
    file.remove();
  }
}

// The archive and print folders are made at start-up; the data destruction
// window may have removed them since. Making them again keeps "Archiver" and
// "Imprimer" working until the next start.
void RecreateFolder(const QString &folder) {
  if (!folder.isEmpty() && !QFileInfo(folder).isDir()) {
    QDir().mkdir(folder);
  }
}

} // namespace

AddOutcome AddReading(Logbook &book, QDate date, int minutes, const QString &systolic,
                      const QString &diastolic, const QString &pulse) {
  const std::array<const QString *, 3> values = {&systolic, &diastolic, &pulse};
  for (int i = 0; i < 3; ++i) {
    if (values[size_t(i)]->isEmpty()) {
      return {std::nullopt, i};
    }
  }
  Reading reading =
      MakeReadingFromValues(date, minutes, ParseLeadingInteger(systolic),
                            ParseLeadingInteger(diastolic), ParseLeadingInteger(pulse));
  const DayPeriod period = PeriodOfTime(reading[Reading::Time]);
  book.list(period).append(std::move(reading));
  return {period, -1};
}

int DeleteReadings(Logbook &book, DayPeriod period, QList<int> marked, Dialogs &dialogs,
                   QWidget *parent) {
  PeriodListModel &list = book.list(period);
  int removed = 0;
  // Each removal shifts the rows after it up by one.
  for (int row : SortedRows(std::move(marked))) {
    if (row < 0 || row - removed >= list.size()) {
      continue;
    }
    const bool yes = dialogs.askYesNo(
        parent, Dialogs::Icon::Warning, QStringLiteral("Suppression"),
        QStringLiteral("Êtes-vous sûr(e) de vouloir supprimer définitivement ces données ?"));
    if (!yes) {
      continue;
    }
    list.removeReading(row - removed);
    ++removed;
  }
  if (removed > 0 && list.size() == 0) {
    RemoveMeasurementFile(book.paths().measurementFile(period));
  }
  return removed;
}

int ModifyReadings(Logbook &book, DayPeriod period, QList<int> selected, int cell, Dialogs &dialogs,
                   QWidget *parent) {
  if (cell < Reading::Date || cell > Reading::Pulse) {
    return 0; // the diagnosis sentence is never edited by hand
  }
  PeriodListModel &list = book.list(period);
  const QString title = QStringLiteral("Modifier ") + ReadingColumnTitles()[size_t(cell)];
  int changed = 0;
  for (int row : SortedRows(std::move(selected))) {
    if (row < 0 || row >= list.size()) {
      continue;
    }
    const QString answer = dialogs.inputText(parent, title, QStringLiteral("Nouvelles données :"),
                                             list.reading(row)[cell]);
    if (!answer.isEmpty()) {
      list.setCell(row, cell, answer);
      ++changed;
    }
  }
  return changed;
}

QString ReadingDetailsText(const Reading &r) {
  const QString br = QStringLiteral("\n\r");
  return QStringLiteral("Date : ") + r[Reading::Date] + QStringLiteral("  Heure : ") +
         r[Reading::Time] + br + QStringLiteral("Systolique : ") + r[Reading::Systolic] + br +
         QStringLiteral("Diastolique : ") + r[Reading::Diastolic] + br +
         QStringLiteral("Pouls : ") + r[Reading::Pulse] + br + QStringLiteral("Diagnostic : ") +
         r[Reading::Diagnosis] + br;
}

QList<PeriodFileError> LoadLogbook(Logbook &book) {
  QList<PeriodFileError> failed;
  for (DayPeriod period : kAllPeriods) {
    const QString path = book.paths().measurementFile(period);
    FileError error;
    LoadPeriodList(book.list(period), path, &error);
    if (error && QFileInfo::exists(path)) {
      failed.append({period, error});
    }
  }
  return failed;
}

SaveOutcome SaveLogbook(const Logbook &book) {
  SaveOutcome outcome;
  outcome.written = SaveAllPeriodLists(book.lists(), book.paths(), &outcome.failed);
  return outcome;
}

QString FailedPeriodNames(const QList<PeriodFileError> &failed) {
  QStringList names;
  for (const PeriodFileError &f : failed) {
    names << PeriodInfo(f.period).name;
  }
  return names.join(QStringLiteral(", "));
}

QString FailureLines(const QList<PeriodFileError> &failed) {
  QStringList lines;
  for (const PeriodFileError &f : failed) {
    lines << f.error.text();
  }
  return lines.join(u'\n');
}

bool SwitchPatient(Logbook &book, const QString &name, Dialogs &dialogs, QWidget *parent) {
  SaveOutcome saved = SaveLogbook(book);
  if (!saved.failed.isEmpty()) {
    // Only lists holding readings are written, so every failure here means
    // readings that exist nowhere but in memory.
    std::sort(saved.failed.begin(), saved.failed.end(),
              [](const PeriodFileError &a, const PeriodFileError &b) {
                return PeriodIndex(a.period) < PeriodIndex(b.period);
              });
    const QString text =
        QStringLiteral("Les mesures de « ") + book.patient() +
        QStringLiteral(" » n'ont pas pu être enregistrées (") + FailedPeriodNames(saved.failed) +
        QStringLiteral(").\n\n") + FailureLines(saved.failed) +
        QStringLiteral("\n\nSi vous changez de patient maintenant, ces mesures seront perdues.\n"
                       "Voulez-vous tout de même changer de patient ?");
    if (!dialogs.askYesNo(parent, Dialogs::Icon::Warning, QStringLiteral("Sauvegarde"), text,
                          Dialogs::Default::No)) {
      return false;
    }
  }
  book.setPatient(name);
  LoadLogbook(book);
  return true;
}

ArchiveRun ArchiveLogbook(Logbook &book) {
  const SaveOutcome saved = SaveLogbook(book);
  // A list that could not be saved is not archived: its file (if any) does
  // not hold what the list shows, and emptying the list would lose readings.
  std::array<bool, 4> refused{};
  for (const PeriodFileError &f : saved.failed) {
    refused[size_t(PeriodIndex(f.period))] = true;
  }
  const StoragePaths &paths = book.paths();
  RecreateFolder(paths.archiveFolder);
  const ArchiveRun run =
      ArchiveMeasurementFiles(paths.dataFolder, paths.archiveFolder, book.patient(), refused);
  for (DayPeriod period : kAllPeriods) {
    if (run.outcome(period) == ArchiveOutcome::Archived) {
      book.list(period).clear();
    }
  }
  return run;
}

QStringList PrintLogbook(const Logbook &book) {
  RecreateFolder(book.paths().printFolder);
  return PrintPeriodLists(book.lists(), book.paths().printFolder, book.patient());
}

} // namespace tl
