#include "logbook/workflows.h"

#include "logbook/logbook.h"
#include "logbook/reports.h"
#include "measurements/classification.h"
#include "measurements/parse.h"
#include "platform/dialogs.h"

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

QString UnusualValuesQuestion(qint64 systolic, qint64 diastolic) {
  return QStringLiteral("Valeurs inhabituelles : %1/%2. Enregistrer quand même ?")
      .arg(systolic)
      .arg(diastolic);
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

AddOutcome AddReading(Logbook &book, QDate date, int minutes, const QString &systolic,
                      const QString &diastolic, const QString &pulse, Dialogs *questions,
                      QWidget *parent) {
  const std::array<const QString *, 3> texts = {&systolic, &diastolic, &pulse};
  for (int i = 0; i < 3; ++i) {
    if (texts[size_t(i)]->isEmpty()) {
      return {std::nullopt, i};
    }
  }
  std::array<qint64, 3> values{};
  for (int i = 0; i < 3; ++i) {
    const std::optional<qint64> number = TypedNumber(*texts[size_t(i)]);
    if (!number) {
      AddOutcome refused;
      refused.notANumberField = i;
      return refused;
    }
    values[size_t(i)] = *number;
  }
  Reading reading = MakeReadingFromValues(date, minutes, values[0], values[1], values[2]);
  const DayPeriod period = PeriodOfTime(reading[Reading::Time]);
  if (questions) {
    const QString title = QStringLiteral("Ajouter");
    if (!IsPlausibleReading(values[0], values[1], values[2]) &&
        !questions->askYesNo(parent, Dialogs::Icon::Warning, title,
                             UnusualValuesQuestion(values[0], values[1]), Dialogs::Default::No)) {
      AddOutcome declined;
      declined.declined = true;
      return declined;
    }
    if (FindSameReading(book.list(period), reading) >= 0 &&
        !questions->askYesNo(
            parent, Dialogs::Icon::Question, title,
            QStringLiteral("Le relevé du %1 à %2 (%3/%4, pouls %5) est déjà dans la liste %6. "
                           "L'ajouter une seconde fois ?")
                .arg(reading[Reading::Date], reading[Reading::Time], reading[Reading::Systolic],
                     reading[Reading::Diastolic], reading[Reading::Pulse], PeriodInfo(period).name),
            Dialogs::Default::No)) {
      AddOutcome declined;
      declined.declined = true;
      return declined;
    }
  }
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
    const Reading gone = list.reading(row - removed);
    list.removeReading(row - removed);
    ++removed;
    if (FindSameReading(list, gone) < 0) {
      book.contexts().set(period, gone, {});
    }
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

namespace {

// Why a typed cell text is refused, or "" when it is accepted.
QString RefusedCellReason(int cell, const QString &text) {
  static const QRegularExpression date(QStringLiteral("^\\d{2}/\\d{2}/\\d{4}$"));
  static const QRegularExpression time(QStringLiteral("^\\d{2}:\\d{2}$"));
  switch (cell) {
  case Reading::Date:
    if (!date.match(text).hasMatch() ||
        !QDate::fromString(text, QStringLiteral("dd/MM/yyyy")).isValid()) {
      return QStringLiteral("« %1 » n'est pas une date : écrivez le jour, le mois et l'année "
                            "sous la forme jj/mm/aaaa, par exemple 08/12/2026.")
          .arg(text);
    }
    return QString();
  case Reading::Time:
    if (!time.match(text).hasMatch() ||
        !QTime::fromString(text, QStringLiteral("hh:mm")).isValid()) {
      return QStringLiteral("« %1 » n'est pas une heure : écrivez les heures et les minutes "
                            "sous la forme hh:mm, par exemple 08:30.")
          .arg(text);
    }
    return QString();
  default: {
    const qint64 *range = cell == Reading::Systolic    ? kSystolicRange
                          : cell == Reading::Diastolic ? kDiastolicRange
                                                       : kPulseRange;
    const std::optional<qint64> number = TypedNumber(text);
    if (!number || *number < range[0] || *number > range[1]) {
      return QStringLiteral("« %1 » n'est pas une valeur possible : écrivez un nombre entier "
                            "de %2 à %3.")
          .arg(text)
          .arg(range[0])
          .arg(range[1]);
    }
    return QString();
  }
  }
}

} // namespace

ModifyOutcome ModifyReadings(Logbook &book, DayPeriod period, QList<int> selected, int cell,
                             Dialogs &dialogs, QWidget *parent) {
  ModifyOutcome outcome;
  if (cell < Reading::Date || cell > Reading::Pulse) {
    return outcome; // the diagnosis sentence is never edited by hand
  }
  PeriodListModel &list = book.list(period);
  const QString title = QStringLiteral("Modifier ") + ReadingColumnTitles()[size_t(cell)];
  int moved = 0; // each reading moved away shifts the rows after it up by one
  for (int selectedRow : SortedRows(std::move(selected))) {
    const int row = selectedRow - moved;
    if (selectedRow < 0 || row >= list.size()) {
      continue;
    }
    const QString answer = dialogs
                               .inputText(parent, title, QStringLiteral("Nouvelles données :"),
                                          list.reading(row)[cell])
                               .trimmed();
    if (answer.isEmpty()) {
      continue;
    }
    if (const QString reason = RefusedCellReason(cell, answer); !reason.isEmpty()) {
      dialogs.information(parent, title, reason + QStringLiteral("\n\nLe relevé n'a pas changé."));
      continue;
    }
    const Reading before = list.reading(row);
    list.setCell(row, cell, answer);
    ++outcome.changed;
    const Reading &changed = list.reading(row);
    if (cell == Reading::Systolic || cell == Reading::Diastolic) {
      // The same sentence "Ajouter" writes for these values.
      list.setCell(
          row, Reading::Diagnosis,
          DiagnosisSentence(changed.value(Reading::Systolic), changed.value(Reading::Diastolic)));
    }
    if (cell == Reading::Time) {
      const DayPeriod now = PeriodOfTime(answer);
      if (now != period) {
        Reading reading = changed;
        list.removeReading(row);
        ++moved;
        book.list(now).append(reading);
        RekeyContext(book, period, before, now, reading);
        outcome.movedTo.append(now);
        dialogs.information(parent, title,
                            QStringLiteral("Le relevé de %1 a été déplacé dans la liste « %2 ».")
                                .arg(answer, PeriodInfo(now).tabText.simplified()));
        continue;
      }
    }
    RekeyContext(book, period, before, period, list.reading(row));
  }
  return outcome;
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
  // The context file: one that cannot be read leaves no context, and is never
  // written over while it stays so (UnreadableContextFile tells).
  const QString contextPath = book.paths().contextFile;
  FileSnapshot contextFile = ReadFileSnapshot(contextPath, kMaxMeasurementFileBytes);
  book.contexts().setRecords(HoldsRecords(contextFile) ? ParseContextFile(contextFile.bytes)
                                                       : std::vector<ContextRecord>());
  book.settleContexts(std::move(contextFile));
  return failed;
}

FileError UnreadableContextFile(const Logbook &book) {
  const FileSnapshot &file = book.contextBase().file;
  if (file.isRead() && !HoldsRecords(file)) {
    return {book.paths().contextFile, ContentUnreadable()};
  }
  return file.isUnreadable() ? file.error : FileError{};
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

// Takes into the contexts what another program changed in the context file
// since `read` (the records it held then) while this side left them as
// read; what was changed or removed here stays so. Returns how many records
// were taken up.
qint64 MergeOutsideContexts(ReadingContexts &ours, const std::vector<ContextRecord> &read,
                            const std::vector<ContextRecord> &theirs) {
  QHash<ContextKey, ReadingContext> before;
  for (const ContextRecord &r : read) {
    before.insert(r.key, r.context);
  }
  const auto asRead = [&](const ContextKey &key) {
    const ReadingContext *now = ours.find(key);
    return (now ? *now : ReadingContext{}) == before.value(key);
  };
  qint64 taken = 0;
  QSet<ContextKey> kept;
  for (const ContextRecord &r : theirs) {
    kept.insert(r.key);
    if (before.value(r.key) != r.context && asRead(r.key)) {
      ours.set(r.key, r.context);
      ++taken;
    }
  }
  for (const ContextRecord &r : read) {
    if (!kept.contains(r.key) && asRead(r.key)) {
      ours.set(r.key, {}); // removed there
    }
  }
  return taken;
}

// How the contexts meet the context file: as PlanPeriodSave does for a list.
PeriodSave PlanContextSave(Logbook &book, SaveOutcome &outcome) {
  ReadingContexts &contexts = book.contexts();
  const QString path = book.paths().contextFile;
  const Logbook::FileBase &base = book.contextBase();
  const bool changedHere = contexts.revision() != base.revision;
  bool fileChanged = false;
  FileSnapshot now = RefreshFileSnapshot(path, base.file, kMaxMeasurementFileBytes, &fileChanged);
  if (now.isUnreadable() || (now.isRead() && !HoldsRecords(now))) {
    if (!changedHere && contexts.isEmpty()) {
      return {}; // nothing of ours to write: the file is left as it is
    }
    const QString aside = now.isRead() ? KeepFileAside(path) : QString();
    if (aside.isEmpty()) {
      outcome.contextError = now.isRead() ? FileError{path, ContentUnreadable()} : now.error;
      return {};
    }
    outcome.keptAside.append(aside);
    return {PeriodSave::Action::Write, SerializeContextFile(contexts.records())};
  }
  if (!changedHere && !fileChanged) {
    return {};
  }
  if (fileChanged && now.isRead()) {
    const std::vector<ContextRecord> theirs = ParseContextFile(now.bytes);
    const std::vector<ContextRecord> read =
        base.file.isRead() ? ParseContextFile(base.file.bytes) : std::vector<ContextRecord>();
    outcome.contextsFromOutside += MergeOutsideContexts(contexts, read, theirs);
    if (!changedHere) {
      book.settleContexts(std::move(now));
      return {};
    }
  }
  if (contexts.isEmpty()) {
    return {now.isRead() ? PeriodSave::Action::Remove : PeriodSave::Action::None, {}};
  }
  return {PeriodSave::Action::Write, SerializeContextFile(contexts.records())};
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
  // The context file goes with the lists, all or none.
  PeriodSave contextPlan = PlanContextSave(book, outcome);
  const QString contextPath = book.paths().contextFile;
  if (contextPlan.action == PeriodSave::Action::Remove) {
    RemoveMeasurementFile(contextPath);
    book.settleContexts(FileSnapshot{});
  } else if (contextPlan.action == PeriodSave::Action::Write) {
    writes.append({contextPath, std::move(contextPlan.bytes)});
  }
  if (writes.isEmpty()) {
    return outcome;
  }
  if (const FileError error = WriteFilesAtomically(writes)) {
    for (DayPeriod period : written) {
      outcome.failed.append({period, error});
    }
    if (contextPlan.action == PeriodSave::Action::Write) {
      outcome.contextError = error;
    }
    return outcome;
  }
  for (qsizetype i = 0; i < written.size(); ++i) {
    book.settle(written[i], WrittenSnapshot(writes[i].path, writes[i].bytes));
    ++outcome.written;
  }
  if (contextPlan.action == PeriodSave::Action::Write) {
    book.settleContexts(WrittenSnapshot(writes.back().path, writes.back().bytes));
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
  if (saved.contextsFromOutside > 0) {
    const qint64 n = saved.contextsFromOutside;
    parts << (n == 1 ? QStringLiteral("1 remarque enregistrée par un autre programme depuis la "
                                      "lecture des fichiers a été reprise.")
                     : QStringLiteral("%1 remarques enregistrées par un autre programme depuis la "
                                      "lecture des fichiers ont été reprises.")
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
    parts << QStringLiteral("Ces fichiers de mesures sont incomplets :\n\n") + notices.join(u'\n');
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
  if (const QString text = UnreadableFilesText(unreadable, notices, UnreadableContextFile(book));
      !text.isEmpty()) {
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
  ArchiveRun run =
      ArchiveMeasurementFiles(paths.dataFolder, paths.archiveFolder, book.patient(), refused);
  ReadingContexts &contexts = book.contexts();
  const quint64 contextsBefore = contexts.revision();
  for (DayPeriod period : kAllPeriods) {
    if (run.outcome(period) != ArchiveOutcome::Archived) {
      continue;
    }
    // The notes of the readings archived go beside their archive.
    std::vector<ContextRecord> moved;
    for (ContextRecord &record : contexts.records()) {
      if (record.key.period == period) {
        moved.push_back(std::move(record));
      }
    }
    const QString beside = ArchiveContextPath(run.archivedAs[size_t(PeriodIndex(period))]);
    if (!moved.empty()) {
      if (!beside.isEmpty() && !QFileInfo::exists(beside) &&
          !WriteFilesAtomically({{beside, SerializeContextFile(moved)}})) {
        for (const ContextRecord &record : moved) {
          contexts.set(record.key, {});
        }
      } else {
        run.report +=
            QStringLiteral("Les remarques des relevés %1 n'ont pas pu être archivées : "
                           "elles restent dans %2.\r\n")
                .arg(PeriodInfo(period).name, QDir::toNativeSeparators(paths.contextFile));
      }
    }
    book.list(period).clear();
    book.settle(period, FileSnapshot{});
  }
  if (contexts.revision() != contextsBefore) {
    if (const SaveOutcome saved = SaveLogbook(book); saved.contextError) {
      run.report += QStringLiteral("Le fichier des remarques n'a pas pu être mis à jour : %1\r\n")
                        .arg(saved.contextError.text());
    }
  }
  return run;
}

QStringList PrintLogbook(const Logbook &book) {
  RecreateFolder(book.paths().printFolder);
  return PrintPeriodLists(book.lists(), book.paths().printFolder, book.patient());
}

} // namespace tl
