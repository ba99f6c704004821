#include "logbook/workflows.h"

#include "common/error_text.h"
#include "logbook/logbook.h"
#include "logbook/reports.h"
#include "measurements/classification.h"
#include "measurements/parse.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QTime>
#include <algorithm>

namespace tl {

namespace {

QList<int> SortedRows(QList<int> rows) {
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  return rows;
}

// The archive and print folders are made at start-up; the data destruction
// window may have removed them since. Making them again keeps "Archiver" and
// "Imprimer" working until the next start.
void RecreateFolder(const QString &folder) {
  if (!folder.isEmpty() && !QFileInfo(folder).isDir()) {
    QDir().mkdir(folder);
  }
}

// Moves the context of `before`, a reading of `from` that is now `after` in
// `to`, to its new key. The old key keeps it while an identical reading is
// still in `from`: identical readings share one context.
void RekeyContext(Logbook &book, DayPeriod from, const Reading &before, DayPeriod to,
                  const Reading &after) {
  ReadingContexts &contexts = book.contexts();
  const ContextKey oldKey = ContextKey::of(from, before);
  const ReadingContext *found = contexts.find(oldKey);
  if (!found) {
    return;
  }
  const ContextKey newKey = ContextKey::of(to, after);
  if (newKey == oldKey) {
    return;
  }
  ReadingContext context = *found;
  if (FindSameReading(book.list(from), before) < 0) {
    contexts.set(oldKey, {});
  }
  // A context already held by the new key (an identical reading) is kept.
  if (!contexts.find(newKey)) {
    contexts.set(newKey, std::move(context));
  }
}

} // namespace

bool IsPlausibleReading(qint64 systolic, qint64 diastolic, qint64 pulse) {
  const auto within = [](qint64 v, const qint64(&range)[2]) {
    return v >= range[0] && v <= range[1];
  };
  return within(systolic, kSystolicRange) && within(diastolic, kDiastolicRange) &&
         within(pulse, kPulseRange) && diastolic < systolic;
}

std::optional<qint64> TypedNumber(const QString &text) {
  const QString trimmed = text.trimmed();
  if (trimmed.isEmpty() || trimmed.size() > 9) {
    return std::nullopt;
  }
  for (QChar c : trimmed) {
    if (c < u'0' || c > u'9') {
      return std::nullopt;
    }
  }
  return trimmed.toLongLong();
}

qsizetype FindSameReading(const PeriodListModel &list, const Reading &reading) {
  for (qsizetype row = 0; row < list.size(); ++row) {
    const Reading &r = list.reading(row);
    bool same = true;
    for (int cell = Reading::Date; cell <= Reading::Pulse && same; ++cell) {
      same = r[cell] == reading[cell];
    }
    if (same) {
      return row;
    }
  }
  return -1;
}

QList<int> ListRows(const PeriodListModel &list, QList<int> rows) {
  rows = SortedRows(std::move(rows));
  rows.erase(std::remove_if(rows.begin(), rows.end(),
                            [&list](int row) { return row < 0 || row >= list.size(); }),
             rows.end());
  return rows;
}

AddOutcome AddReading(Logbook &book, QDate date, int minutes, const QString &systolic,
                      const QString &diastolic, const QString &pulse, AddAnswers answers) {
  AddOutcome outcome;
  const std::array<const QString *, 3> texts = {&systolic, &diastolic, &pulse};
  for (int i = 0; i < 3; ++i) {
    if (texts[size_t(i)]->isEmpty()) {
      outcome.firstEmptyField = i;
      return outcome;
    }
  }
  std::array<qint64, 3> values{};
  for (int i = 0; i < 3; ++i) {
    const std::optional<qint64> number = TypedNumber(*texts[size_t(i)]);
    if (!number) {
      outcome.notANumberField = i;
      return outcome;
    }
    values[size_t(i)] = *number;
  }
  outcome.reading = MakeReadingFromValues(date, minutes, values[0], values[1], values[2]);
  outcome.list = PeriodOfTime(outcome.reading[Reading::Time]);
  outcome.unusual = !IsPlausibleReading(values[0], values[1], values[2]);
  outcome.duplicate = FindSameReading(book.list(outcome.list), outcome.reading) >= 0;
  if ((outcome.unusual && !answers.unusualConfirmed) ||
      (outcome.duplicate && !answers.duplicateConfirmed)) {
    return outcome;
  }
  book.list(outcome.list).append(outcome.reading);
  outcome.period = outcome.list;
  return outcome;
}

int DeleteReadings(Logbook &book, DayPeriod period, QList<int> confirmed) {
  PeriodListModel &list = book.list(period);
  int removed = 0;
  // Each removal shifts the rows after it up by one.
  for (int row : ListRows(list, std::move(confirmed))) {
    const Reading gone = list.reading(row - removed);
    list.removeReading(row - removed);
    ++removed;
    if (FindSameReading(list, gone) < 0) {
      book.contexts().set(period, gone, {});
    }
  }
  return removed;
}

namespace {

// Why a typed cell text is refused, or None when it is accepted.
CellRefusal RefusedCell(int cell, const QString &text) {
  static const QRegularExpression date(QStringLiteral("^\\d{2}/\\d{2}/\\d{4}$"));
  static const QRegularExpression time(QStringLiteral("^\\d{2}:\\d{2}$"));
  switch (cell) {
  case Reading::Date:
    return date.match(text).hasMatch() &&
                   QDate::fromString(text, QStringLiteral("dd/MM/yyyy")).isValid()
               ? CellRefusal::None
               : CellRefusal::NotADate;
  case Reading::Time:
    return time.match(text).hasMatch() && QTime::fromString(text, QStringLiteral("hh:mm")).isValid()
               ? CellRefusal::None
               : CellRefusal::NotATime;
  default: {
    const qint64 *range = cell == Reading::Systolic    ? kSystolicRange
                          : cell == Reading::Diastolic ? kDiastolicRange
                                                       : kPulseRange;
    const std::optional<qint64> number = TypedNumber(text);
    return number && *number >= range[0] && *number <= range[1] ? CellRefusal::None
                                                                : CellRefusal::NotAValue;
  }
  }
}

} // namespace

QList<CellOutcome> ModifyReadings(Logbook &book, DayPeriod period, int cell,
                                  QList<CellChange> changes) {
  QList<CellOutcome> outcomes;
  if (cell < Reading::Date || cell > Reading::Pulse) {
    return outcomes; // the diagnosis sentence is never edited by hand
  }
  std::stable_sort(changes.begin(), changes.end(),
                   [](const CellChange &a, const CellChange &b) { return a.row < b.row; });
  PeriodListModel &list = book.list(period);
  int moved = 0; // each reading moved away shifts the rows after it up by one
  for (qsizetype i = 0; i < changes.size(); ++i) {
    if (i > 0 && changes[i].row == changes[i - 1].row) {
      continue; // one change per row
    }
    CellOutcome &outcome = outcomes.emplace_back();
    outcome.row = changes[i].row;
    outcome.text = changes[i].text.trimmed();
    const int row = outcome.row - moved;
    if (outcome.row < 0 || row >= list.size() || outcome.text.isEmpty()) {
      continue;
    }
    outcome.refused = RefusedCell(cell, outcome.text);
    if (outcome.refused != CellRefusal::None) {
      continue;
    }
    const Reading before = list.reading(row);
    list.setCell(row, cell, outcome.text);
    outcome.changed = true;
    const Reading &changed = list.reading(row);
    if (cell == Reading::Systolic || cell == Reading::Diastolic) {
      // The same sentence "Ajouter" writes for these values.
      list.setCell(
          row, Reading::Diagnosis,
          DiagnosisSentence(changed.value(Reading::Systolic), changed.value(Reading::Diastolic)));
    }
    if (cell == Reading::Time) {
      const DayPeriod now = PeriodOfTime(outcome.text);
      if (now != period) {
        Reading reading = changed;
        list.removeReading(row);
        ++moved;
        book.list(now).append(reading);
        RekeyContext(book, period, before, now, reading);
        outcome.movedTo = now;
        continue;
      }
    }
    RekeyContext(book, period, before, period, list.reading(row));
  }
  return outcomes;
}

QString ReadingDetailsText(const Reading &r) {
  const QString br = QStringLiteral("\n\r");
  return QStringLiteral("Date : ") + r[Reading::Date] + QStringLiteral("  Heure : ") +
         r[Reading::Time] + br + QStringLiteral("Systolique : ") + r[Reading::Systolic] + br +
         QStringLiteral("Diastolique : ") + r[Reading::Diastolic] + br +
         QStringLiteral("Pouls : ") + r[Reading::Pulse] + br + QStringLiteral("Diagnostic : ") +
         r[Reading::Diagnosis] + br;
}

QList<PeriodFileError> LoadLogbook(Logbook &book, QStringList *notices) {
  return LoadStore(book, notices);
}

FileError UnreadableContextFile(const Logbook &book) {
  const FileSnapshot &file = book.contextBase().file;
  if (file.isRead() && !HasUsableCountLine(file.bytes)) {
    return {book.paths().contextFile,
            QStringLiteral("contenu illisible (la première ligne n'est pas un nombre de relevés)")};
  }
  return file.isUnreadable() ? file.error : FileError{};
}

SaveOutcome SaveLogbook(Logbook &book) { return SaveStore(book); }

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
  if (saved.contextsFromOutside > 0) {
    const qint64 n = saved.contextsFromOutside;
    parts << (n == 1 ? QStringLiteral("1 remarque enregistrée par un autre programme depuis la "
                                      "lecture des fichiers a été reprise.")
                     : QStringLiteral("%1 remarques enregistrées par un autre programme depuis la "
                                      "lecture des fichiers ont été reprises.")
                           .arg(n));
  }
  const auto names = [](const QStringList &paths) {
    QStringList native;
    for (const QString &path : paths) {
      native << ShownPath(path);
    }
    return native.join(u'\n');
  };
  if (saved.notesJoined > 0) {
    const qint64 n = saved.notesJoined;
    parts << (n == 1 ? QStringLiteral("1 remarque a été changée à la fois ici et par un autre "
                                      "programme : elle garde les deux textes, séparés par « / ».")
                     : QStringLiteral("%1 remarques ont été changées à la fois ici et par un autre "
                                      "programme : elles gardent les deux textes, séparés par "
                                      "« / ».")
                           .arg(n));
  }
  if (!saved.keptAside.isEmpty()) {
    parts << QStringLiteral("Ces fichiers, illisibles, sans le bon nombre de relevés en première "
                            "ligne, ou avec une remarque trop longue pour être réunie à la vôtre, "
                            "ont été mis de côté tels quels avant d'être remplacés :\n") +
                 names(saved.keptAside);
  }
  if (!saved.emptiedOutside.isEmpty()) {
    parts << QStringLiteral("Ces fichiers ont été trouvés vides alors que vos relevés y étaient "
                            "(synchronisation interrompue ?) : vos relevés ont été gardés et "
                            "enregistrés à nouveau, et chaque fichier vide a été mis de côté sous "
                            "ce nom :\n") +
                 names(saved.emptiedOutside);
  }
  if (parts.isEmpty()) {
    return QString();
  }
  return parts.join(QStringLiteral("\n\n")) + QStringLiteral("\n\nRien n'a été perdu.");
}

QString UnreadableFilesText(const QList<PeriodFileError> &unreadable, const QStringList &notices,
                            const FileError &contextFile) {
  QStringList parts;
  if (!unreadable.isEmpty()) {
    parts << QStringLiteral("Ces fichiers de mesures n'ont pas pu être lus : leurs listes restent "
                            "vides et ils ne seront pas remplacés tant qu'ils resteront "
                            "illisibles.\n\n") +
                 FailureLines(unreadable);
  }
  if (!notices.isEmpty()) {
    parts << QStringLiteral("Dans ces fichiers, la première ligne ne donne pas le nombre de "
                            "relevés qu'ils contiennent :\n\n") +
                 notices.join(u'\n');
  }
  if (contextFile) {
    parts << QStringLiteral("Le fichier des remarques n'a pas pu être lu : les relevés restent "
                            "sans remarque et il ne sera pas remplacé tant qu'il restera "
                            "illisible.\n\n") +
                 contextFile.text();
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

QString FailureLines(const QList<PeriodFileError> &failed, const FileError &contextFile) {
  QStringList lines;
  for (const PeriodFileError &f : failed) {
    lines << f.error.text();
  }
  if (contextFile) {
    lines << contextFile.text() + QStringLiteral(" (remarques et indicateurs des relevés)");
  }
  return lines.join(u'\n');
}

SwitchOutcome SwitchPatient(Logbook &book, const QString &name, bool evenIfUnsaved) {
  SwitchOutcome outcome;
  outcome.saved = SaveLogbook(book);
  outcome.unsaved = FailuresHoldingReadings(book, outcome.saved.failed);
  std::sort(outcome.unsaved.begin(), outcome.unsaved.end(),
            [](const PeriodFileError &a, const PeriodFileError &b) {
              return PeriodIndex(a.period) < PeriodIndex(b.period);
            });
  if (LeavesUnsaved(outcome)) {
    if (!evenIfUnsaved) {
      return outcome;
    }
    outcome.rescueCopies = WriteRescueCopies(book, outcome.saved, &outcome.rescueFailed);
    if (!outcome.rescueFailed.isEmpty()) {
      // The lists stay here: the copies made would only name a loss that
      // did not happen.
      for (const QString &copy : std::as_const(outcome.rescueCopies)) {
        QFile::remove(copy);
      }
      outcome.rescueCopies.clear();
      return outcome;
    }
  }
  book.setPatient(name);
  outcome.unreadable = LoadLogbook(book, &outcome.notices);
  outcome.unreadableContext = UnreadableContextFile(book);
  outcome.switched = true;
  return outcome;
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
    run.report = QStringLiteral("Le dossier des archives « %1 » n'est pas utilisable (un fichier "
                                "porte son nom, ou il n'a pas pu être créé) : rien n'a été "
                                "archivé.\r\n")
                     .arg(ShownPath(paths.dataFolder + QStringLiteral("Archives Arteline")));
    run.outcomes.fill(ArchiveOutcome::Failed);
    return run;
  }
  return ArchiveStore(book, refused);
}

QStringList PrintLogbook(const Logbook &book) {
  RecreateFolder(book.paths().printFolder);
  return PrintPeriodLists(book.lists(), book.paths().printFolder, book.patient());
}

} // namespace tl
