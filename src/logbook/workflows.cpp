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
    // The file goes only while it holds what was read: readings another
    // program added since are merged by the next save instead, and the file
    // then keeps those alone.
    const QString path = book.paths().measurementFile(period);
    bool changed = false;
    const FileSnapshot now =
        RefreshFileSnapshot(path, book.base(period).file, kMaxMeasurementFileBytes, &changed);
    if (!changed && !now.isUnreadable()) {
      RemoveMeasurementFile(path);
      book.settle(period, FileSnapshot{});
    }
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

namespace {

QString ContentUnreadable() {
  return QStringLiteral("contenu illisible (la première ligne n'est pas un nombre de relevés)");
}

// Whether a read file holds records: a count line that is a number, or
// nothing but blanks.
bool HoldsRecords(const FileSnapshot &file) {
  return file.isRead() && HasUsableCountLine(file.bytes);
}

QString Plural(qint64 n, const char *one, const char *many) {
  return QString::number(n) + u' ' + QString::fromUtf8(n == 1 ? one : many);
}

} // namespace

QList<PeriodFileError> LoadLogbook(Logbook &book, QStringList *notices) {
  QList<PeriodFileError> failed;
  for (DayPeriod period : kAllPeriods) {
    const QString path = book.paths().measurementFile(period);
    PeriodListModel &list = book.list(period);
    FileSnapshot file = ReadFileSnapshot(path, kMaxMeasurementFileBytes);
    if (file.isUnreadable()) {
      list.clear();
      failed.append({period, file.error});
    } else if (file.isRead() && !HoldsRecords(file)) {
      list.clear();
      failed.append({period, {path, ContentUnreadable()}});
    } else {
      qint64 announced = 0;
      list.setReadings(ParseMeasurementFile(file.bytes, &announced));
      if (notices && announced > list.size()) {
        notices->append(
            QStringLiteral("%1 : annonce %2, n'en contient que %3 ; seuls ceux-là ont "
                           "été lus.")
                .arg(QDir::toNativeSeparators(path), Plural(announced, "relevé", "relevés"))
                .arg(list.size()));
      }
    }
    book.settle(period, std::move(file));
  }
  return failed;
}

namespace {

// What saving one list asks for: nothing, a write, or the removal of a file
// whose readings were all deleted here.
struct PeriodSave {
  enum class Action { None, Write, Remove } action = Action::None;
  QByteArray bytes;
};

// Decides how the list of `period` meets its file, merging into the list
// what another program added there, and notes it in `outcome`.
PeriodSave PlanPeriodSave(Logbook &book, DayPeriod period, SaveOutcome &outcome) {
  PeriodListModel &list = book.list(period);
  const QString path = book.paths().measurementFile(period);
  const Logbook::FileBase &base = book.base(period);
  const bool listChanged = list.revision() != base.revision;
  bool fileChanged = false;
  FileSnapshot now = RefreshFileSnapshot(path, base.file, kMaxMeasurementFileBytes, &fileChanged);

  if (now.isUnreadable()) {
    // What it holds is unknown: it is never written over.
    outcome.failed.append({period, now.error});
    return {};
  }
  if (now.isRead() && !HoldsRecords(now)) {
    // Not a measurement file (any more). With readings to write, it is
    // kept aside under a dated name and replaced; otherwise left alone.
    const QString aside = list.size() > 0 ? KeepFileAside(path) : QString();
    if (aside.isEmpty()) {
      outcome.failed.append({period, {path, ContentUnreadable()}});
      return {};
    }
    outcome.keptAside.append(aside);
    return {PeriodSave::Action::Write, SerializeMeasurementFile(list.readings())};
  }
  if (!listChanged && !fileChanged) {
    outcome.written += list.size() > 0 ? 1 : 0;
    return {};
  }
  if (fileChanged && now.isRead()) {
    const std::vector<Reading> theirs = ParseMeasurementFile(now.bytes);
    if (!listChanged) {
      // Nobody changed the list here: it takes up the file as it is now.
      const std::vector<Reading> added =
          ReadingsAddedOutside(theirs, list.readings(), list.readings());
      outcome.fromOutside += qint64(added.size());
      list.setReadings(theirs);
      outcome.written += list.size() > 0 ? 1 : 0;
      book.settle(period, std::move(now));
      return {};
    }
    const std::vector<Reading> read =
        base.file.isRead() ? ParseMeasurementFile(base.file.bytes) : std::vector<Reading>();
    std::vector<Reading> added = ReadingsAddedOutside(theirs, read, list.readings());
    outcome.fromOutside += qint64(added.size());
    list.appendReadings(std::move(added));
  }
  if (list.size() == 0) {
    // Every reading the file held was deleted here.
    return {now.isRead() ? PeriodSave::Action::Remove : PeriodSave::Action::None, {}};
  }
  return {PeriodSave::Action::Write, SerializeMeasurementFile(list.readings())};
}

} // namespace

SaveOutcome SaveLogbook(Logbook &book) {
  SaveOutcome outcome;
  QList<PendingWrite> writes;
  QList<DayPeriod> written;
  for (DayPeriod period : kSaveOrder) {
    PeriodSave plan = PlanPeriodSave(book, period, outcome);
    const QString path = book.paths().measurementFile(period);
    if (plan.action == PeriodSave::Action::Remove) {
      RemoveMeasurementFile(path);
      book.settle(period, FileSnapshot{});
    } else if (plan.action == PeriodSave::Action::Write) {
      writes.append({path, std::move(plan.bytes)});
      written.append(period);
    }
  }
  if (writes.isEmpty()) {
    return outcome;
  }
  if (const FileError error = WriteFilesAtomically(writes)) {
    for (DayPeriod period : written) {
      outcome.failed.append({period, error});
    }
    return outcome;
  }
  for (qsizetype i = 0; i < written.size(); ++i) {
    book.settle(written[i], WrittenSnapshot(writes[i].path, writes[i].bytes));
    ++outcome.written;
  }
  return outcome;
}

QString OutsideChangesText(const SaveOutcome &saved) {
  QStringList parts;
  if (saved.fromOutside > 0) {
    const qint64 n = saved.fromOutside;
    parts << (n == 1 ? QStringLiteral("1 relevé enregistré par un autre programme depuis la "
                                      "lecture des fichiers (synchronisation, autre ordinateur, "
                                      "tensiolog-cli) a été ajouté à vos listes.")
                     : QStringLiteral("%1 relevés enregistrés par un autre programme depuis la "
                                      "lecture des fichiers (synchronisation, autre ordinateur, "
                                      "tensiolog-cli) ont été ajoutés à vos listes.")
                           .arg(n));
  }
  if (!saved.keptAside.isEmpty()) {
    QStringList names;
    for (const QString &path : saved.keptAside) {
      names << QDir::toNativeSeparators(path);
    }
    parts << QStringLiteral("Ces fichiers illisibles ont été mis de côté avant d'être "
                            "remplacés :\n") +
                 names.join(u'\n');
  }
  if (parts.isEmpty()) {
    return QString();
  }
  return parts.join(QStringLiteral("\n\n")) + QStringLiteral("\n\nRien n'a été perdu.");
}

QString UnreadableFilesText(const QList<PeriodFileError> &unreadable, const QStringList &notices) {
  QStringList parts;
  if (!unreadable.isEmpty()) {
    parts << QStringLiteral("Ces fichiers de mesures n'ont pas pu être lus : leurs listes restent "
                            "vides et ils ne seront pas remplacés tant qu'ils resteront "
                            "illisibles.\n\n") +
                 FailureLines(unreadable);
  }
  if (!notices.isEmpty()) {
    parts << QStringLiteral("Ces fichiers de mesures sont incomplets :\n\n") + notices.join(u'\n');
  }
  return parts.join(QStringLiteral("\n\n"));
}

QList<PeriodFileError> FailuresHoldingReadings(const Logbook &book,
                                               const QList<PeriodFileError> &failed) {
  QList<PeriodFileError> holding;
  for (const PeriodFileError &f : failed) {
    if (book.list(f.period).size() > 0) {
      holding.append(f);
    }
  }
  return holding;
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
  const SaveOutcome saved = SaveLogbook(book);
  if (const QString outside = OutsideChangesText(saved); !outside.isEmpty()) {
    dialogs.information(parent, QStringLiteral("Sauvegarde"), outside);
  }
  QList<PeriodFileError> lost = FailuresHoldingReadings(book, saved.failed);
  if (!lost.isEmpty()) {
    std::sort(lost.begin(), lost.end(), [](const PeriodFileError &a, const PeriodFileError &b) {
      return PeriodIndex(a.period) < PeriodIndex(b.period);
    });
    const QString text =
        QStringLiteral("Les mesures de « ") + book.patient() +
        QStringLiteral(" » n'ont pas pu être enregistrées (") + FailedPeriodNames(lost) +
        QStringLiteral(").\n\n") + FailureLines(lost) +
        QStringLiteral("\n\nSi vous changez de patient maintenant, ces mesures seront perdues.\n"
                       "Voulez-vous tout de même changer de patient ?");
    if (!dialogs.askYesNo(parent, Dialogs::Icon::Warning, QStringLiteral("Sauvegarde"), text,
                          Dialogs::Default::No)) {
      return false;
    }
  }
  book.setPatient(name);
  QStringList notices;
  const QList<PeriodFileError> unreadable = LoadLogbook(book, &notices);
  if (const QString text = UnreadableFilesText(unreadable, notices); !text.isEmpty()) {
    dialogs.warning(parent, QStringLiteral("Chargement"), text);
  }
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
  if (paths.archiveFolder.isEmpty() || !QFileInfo(paths.archiveFolder).isDir()) {
    // Never the working folder in its place: the files would leave the logbook.
    ArchiveRun run;
    run.report =
        QStringLiteral("Le dossier des archives « %1 » n'est pas utilisable (un fichier "
                       "porte son nom, ou il n'a pas pu être créé) : rien n'a été "
                       "archivé.\r\n")
            .arg(QDir::toNativeSeparators(paths.dataFolder + QStringLiteral("Archives Arteline")));
    run.outcomes.fill(ArchiveOutcome::Failed);
    return run;
  }
  const ArchiveRun run =
      ArchiveMeasurementFiles(paths.dataFolder, paths.archiveFolder, book.patient(), refused);
  for (DayPeriod period : kAllPeriods) {
    if (run.outcome(period) == ArchiveOutcome::Archived) {
      book.list(period).clear();
      book.settle(period, FileSnapshot{});
    }
  }
  return run;
}

QStringList PrintLogbook(const Logbook &book) {
  RecreateFolder(book.paths().printFolder);
  return PrintPeriodLists(book.lists(), book.paths().printFolder, book.patient());
}

} // namespace tl
