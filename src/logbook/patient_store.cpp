#include "logbook/patient_store.h"

#include "common/error_text.h"
#include "platform/clock.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>

namespace tl {

namespace {

// --- The kinds ---------------------------------------------------------------

// One period's list: "ARTL_<period>_<name>.txt".
class ListKind final : public HeldKind {
public:
  explicit ListKind(DayPeriod period) : period_(period) {}
  QString filePrefix() const override { return PeriodInfo(period_).filePrefix; }
  QString path(const StoragePaths &paths, const QString &) const override {
    return paths.measurementFile(period_);
  }
  std::optional<DayPeriod> period() const override { return period_; }
  ArchiveRule archiveRule() const override { return ArchiveRule::MovedWithStamp; }
  quint64 revision(const Logbook &book) const override { return book.list(period_).revision(); }
  bool holdsNothing(const Logbook &book) const override { return book.list(period_).size() == 0; }
  Logbook::FileBase &base(Logbook &book) const override { return book.base(period_); }
  void load(Logbook &book, QByteArrayView bytes, RecordShape *shape) const override {
    if (bytes.isNull()) {
      book.list(period_).clear();
    } else {
      book.list(period_).setReadings(ReadMeasurementFile(bytes, shape));
    }
  }
  QByteArray serialize(const Logbook &book) const override {
    return SerializeMeasurementFile(book.list(period_).readings());
  }
  Merged merge(Logbook &book, QByteArrayView read, QByteArrayView theirs, bool changedHere,
               RecordShape *shape) const override {
    PeriodListModel &list = book.list(period_);
    std::vector<Reading> outside = ReadMeasurementFile(theirs, shape);
    if (!changedHere) {
      // Nobody changed the list here: it takes up the file as it is now.
      const qint64 added =
          qint64(ReadingsAddedOutside(outside, list.readings(), list.readings()).size());
      list.setReadings(std::move(outside));
      return {added};
    }
    // The readings added there join the list; those deleted here stay deleted.
    std::vector<Reading> added =
        ReadingsAddedOutside(outside, ReadMeasurementFile(read), list.readings());
    const qint64 n = qint64(added.size());
    list.appendReadings(std::move(added));
    return {n};
  }

private:
  DayPeriod period_;
};

// One context changed both here (`ours`) and there (`theirs`) since it was
// `read`, field by field: each flag and the other flags as the side that
// changed them left them; a note changed on both sides to two texts holds
// both, "ours / theirs", when they fit in one note (`*tooLong` otherwise,
// and ours stays).
ReadingContext JoinContexts(const ReadingContext &read, const ReadingContext &ours,
                            const ReadingContext &theirs, bool *joined, bool *tooLong) {
  ReadingContext out = ours;
  const quint8 changedHere = ours.flags ^ read.flags;
  out.flags = quint8((ours.flags & changedHere) | (theirs.flags & ~changedHere));
  if (ours.otherFlags == read.otherFlags) {
    out.otherFlags = theirs.otherFlags;
  }
  if (ours.note == read.note) {
    out.note = theirs.note;
  } else if (theirs.note != read.note && theirs.note != ours.note && !theirs.note.isEmpty()) {
    if (ours.note.isEmpty()) {
      out.note = theirs.note; // removed here, rewritten there: the text is kept
    } else if (const QString both = ours.note + QStringLiteral(" / ") + theirs.note;
               both.size() <= kMaxNoteLength) {
      out.note = both;
      *joined = true;
    } else {
      *tooLong = true;
    }
  }
  return out;
}

// Takes into the contexts what another program changed in the context file
// since `read` (the records it held then): what this side left as read
// takes the other program's change, what was removed here stays removed,
// and a context changed on both sides joins both (JoinContexts).
HeldKind::Merged MergeOutsideContexts(ReadingContexts &ours, const std::vector<ContextRecord> &read,
                                      const std::vector<ContextRecord> &theirs) {
  QHash<ContextKey, ReadingContext> before;
  for (const ContextRecord &r : read) {
    before.insert(r.key, r.context);
  }
  const auto current = [&](const ContextKey &key) {
    const ReadingContext *now = ours.find(key);
    return now ? *now : ReadingContext{};
  };
  HeldKind::Merged merged;
  QSet<ContextKey> kept;
  for (const ContextRecord &r : theirs) {
    kept.insert(r.key);
    const ReadingContext was = before.value(r.key);
    if (was == r.context) {
      continue;
    }
    const ReadingContext here = current(r.key);
    if (here == was) {
      ours.set(r.key, r.context);
      ++merged.taken;
    } else if (!here.isEmpty() && here != r.context) {
      bool joined = false, tooLong = false;
      ours.set(r.key, JoinContexts(was, here, r.context, &joined, &tooLong));
      merged.joined += joined ? 1 : 0;
      merged.keepAside = merged.keepAside || tooLong;
    }
  }
  for (const ContextRecord &r : read) {
    if (!kept.contains(r.key) && current(r.key) == r.context) {
      ours.set(r.key, {}); // removed there
    }
  }
  return merged;
}

// The notes and flags of the readings: "ARTL_Notes_<name>.txt".
class NotesKind final : public HeldKind {
public:
  QString filePrefix() const override { return QStringLiteral("ARTL_Notes_"); }
  QString path(const StoragePaths &paths, const QString &) const override {
    return paths.contextFile;
  }
  ArchiveRule archiveRule() const override { return ArchiveRule::SplitBesideArchives; }
  quint64 revision(const Logbook &book) const override { return book.contexts().revision(); }
  bool holdsNothing(const Logbook &book) const override { return book.contexts().isEmpty(); }
  Logbook::FileBase &base(Logbook &book) const override { return book.contextBase(); }
  void load(Logbook &book, QByteArrayView bytes, RecordShape *shape) const override {
    book.contexts().setRecords(bytes.isNull() ? std::vector<ContextRecord>()
                                              : ReadContextFile(bytes, shape));
  }
  QByteArray serialize(const Logbook &book) const override {
    return SerializeContextFile(book.contexts().records());
  }
  Merged merge(Logbook &book, QByteArrayView read, QByteArrayView theirs, bool,
               RecordShape *shape) const override {
    return MergeOutsideContexts(book.contexts(), ReadContextFile(read),
                                ReadContextFile(theirs, shape));
  }
};

QString ContentUnreadable() {
  return QStringLiteral("contenu illisible (la première ligne n'est pas un nombre de relevés)");
}

// Whether read bytes hold records: a count line that is a number, or
// nothing but blanks.
bool HoldsRecords(const FileSnapshot &file) {
  return file.isRead() && HasUsableCountLine(file.bytes);
}

// Whether a file as it was read held records: a line after its count line
// that is not blank.
bool HadRecords(const FileSnapshot &file) {
  if (!file.isRead()) {
    return false;
  }
  int lines = 0;
  ForEachLine(file.bytes, [&](QByteArrayView line) {
    lines += line.trimmed().isEmpty() ? 0 : 1;
    return lines < 2;
  });
  return lines >= 2;
}

QString Plural(qint64 n, const char *one, const char *many) {
  return QString::number(n) + u' ' + QString::fromUtf8(n == 1 ? one : many);
}

// The line telling that a file's count line disagrees with what it holds.
QString DisagreementNotice(const QString &path, const RecordShape &shape) {
  QString text = ShownPath(path) + QStringLiteral(" : ");
  if (shape.announced > shape.whole) {
    text += QStringLiteral("annonce %1, n'en contient que %2 ; ceux-là ont été lus.")
                .arg(Plural(shape.announced, "relevé", "relevés"))
                .arg(shape.whole);
  } else if (shape.announced != shape.whole) {
    text += QStringLiteral("annonce %1 mais en contient %2 ; tous ont été lus.")
                .arg(Plural(shape.announced, "relevé", "relevés"))
                .arg(shape.whole);
  } else {
    text += QStringLiteral("%1 lus.").arg(Plural(shape.whole, "relevé", "relevés"));
  }
  if (shape.cut) {
    text += QStringLiteral(" Le dernier, coupé, n'a pas été repris.");
  }
  return text + QStringLiteral(" Le fichier sera conservé tel quel sous un autre nom "
                               "(« .illisible-… ») avant d'être réécrit.");
}

void Fail(const StoreKind &kind, SaveOutcome &outcome, const FileError &error) {
  if (const std::optional<DayPeriod> period = kind.period()) {
    outcome.failed.append({*period, error});
  } else {
    outcome.contextError = error;
  }
}

// What one kind of file asks of a save.
struct KindPlan {
  enum class Action { None, Write, Remove, Settle } action = Action::None;
  QByteArray bytes;
  QString aside;        // kept aside first, under this name
  bool emptied = false; // the file was found empty while its records are here
  FileSnapshot taken;   // Settle: the file as it is now, taken up
};

// Decides how a kind's part meets its file, merging into it what another
// program wrote there, and notes it in `outcome`.
KindPlan PlanKind(Logbook &book, const HeldKind &kind, SaveOutcome &outcome) {
  const QString path = kind.path(book.paths(), book.patient());
  const Logbook::FileBase &base = kind.base(book);
  const bool changedHere = kind.revision(book) != base.revision;
  const bool isList = kind.period().has_value();
  bool fileChanged = false;
  FileSnapshot now = RefreshFileSnapshot(path, base.file, kMaxMeasurementFileBytes, &fileChanged);

  if (now.isUnreadable()) {
    // What it holds is unknown: it is never written over.
    if (isList || changedHere || !kind.holdsNothing(book)) {
      Fail(kind, outcome, now.error);
    }
    return {};
  }
  bool aside = false;
  bool emptied = false;
  if (now.isRead() && !HoldsRecords(now)) {
    // Not a record file (any more). With something to write, it is kept
    // aside under a dated name and replaced; otherwise left alone.
    if (kind.holdsNothing(book)) {
      if (isList) {
        Fail(kind, outcome, {path, ContentUnreadable()});
      }
      return {};
    }
    aside = true;
  } else if (fileChanged && now.isRead()) {
    if (now.bytes.trimmed().isEmpty() && HadRecords(base.file)) {
      // Emptied outside (a sync cut short) while its records are here: no
      // deletion. The empty file is kept aside and the records written.
      aside = true;
      emptied = true;
    } else {
      RecordShape shape;
      const HeldKind::Merged merged =
          kind.merge(book, base.file.bytes, now.bytes, changedHere, &shape);
      (isList ? outcome.fromOutside : outcome.contextsFromOutside) += merged.taken;
      outcome.notesJoined += merged.joined;
      aside = (!shape.agrees() || merged.keepAside) && !now.bytes.trimmed().isEmpty();
      if (!changedHere && !aside) {
        outcome.written += isList && !kind.holdsNothing(book) ? 1 : 0;
        KindPlan plan;
        plan.action = KindPlan::Action::Settle;
        plan.taken = std::move(now);
        return plan;
      }
    }
  } else {
    aside = !fileChanged && base.keepAside && now.isRead();
    if (!changedHere && !fileChanged && !aside) {
      outcome.written += isList && !kind.holdsNothing(book) ? 1 : 0;
      return {};
    }
  }
  KindPlan plan;
  plan.emptied = emptied;
  if (aside) {
    plan.aside = AsideName(path);
    if (plan.aside.isEmpty()) {
      Fail(kind, outcome, {path, QStringLiteral("aucun nom libre pour le conserver à part")});
      return {};
    }
  }
  if (!kind.holdsNothing(book)) {
    plan.action = KindPlan::Action::Write;
    plan.bytes = kind.serialize(book);
  } else if (now.isRead() && !aside) {
    // Every record the file held was deleted here.
    plan.action = KindPlan::Action::Remove;
  } else if (aside) {
    plan.action = KindPlan::Action::Remove; // nothing to write once it is aside
  }
  return plan;
}

QString StampNow() { return clock().now().toString(QStringLiteral("yyyyMMdd-hhmmss")); }

constexpr QLatin1StringView kRescueMarker(".secours-");

// The records a meter sent during a trial read: "ARTL_Tensiometre_<name>.txt".
class MeterRecordsFileKind final : public StoreKind {
public:
  QString filePrefix() const override { return QStringLiteral("ARTL_Tensiometre_"); }
  ArchiveRule archiveRule() const override { return ArchiveRule::MovedWithStamp; }
};

} // namespace

const QList<const HeldKind *> &HeldKinds() {
  static const ListKind nuit(DayPeriod::Nuit), matin(DayPeriod::Matin), jour(DayPeriod::Jour),
      soir(DayPeriod::Soir);
  static const NotesKind notes;
  // The lists in the order the program always wrote them, the notes last.
  static const QList<const HeldKind *> kinds = {&nuit, &matin, &jour, &soir, &notes};
  return kinds;
}

const StoreKind &MeterRecordsKind() {
  static const MeterRecordsFileKind kind;
  return kind;
}

const QList<const StoreKind *> &StoreKinds() {
  static const QList<const StoreKind *> kinds = [] {
    QList<const StoreKind *> all(HeldKinds().begin(), HeldKinds().end());
    all.append(&MeterRecordsKind());
    return all;
  }();
  return kinds;
}

bool IsStoreFileName(QStringView name) {
  static const QRegularExpression pattern = [] {
    QStringList prefixes;
    for (const StoreKind *kind : StoreKinds()) {
      prefixes << QRegularExpression::escape(kind->filePrefix());
    }
    return QRegularExpression(QStringLiteral("^(") + prefixes.join(u'|') +
                              QStringLiteral(").+\\.txt$"));
  }();
  return pattern.match(name.toString()).hasMatch();
}

QList<PeriodFileError> LoadStore(Logbook &book, QStringList *notices) {
  QList<PeriodFileError> failed;
  for (const HeldKind *kind : HeldKinds()) {
    const QString path = kind->path(book.paths(), book.patient());
    FileSnapshot file = ReadFileSnapshot(path, kMaxMeasurementFileBytes);
    RecordShape shape;
    const bool readable = HoldsRecords(file);
    kind->load(book, readable ? QByteArrayView(file.bytes) : QByteArrayView(), &shape);
    if (const std::optional<DayPeriod> period = kind->period(); period && !readable) {
      if (file.isUnreadable()) {
        failed.append({*period, file.error});
      } else if (file.isRead()) {
        failed.append({*period, {path, ContentUnreadable()}});
      }
    }
    const bool disagrees = readable && !file.bytes.trimmed().isEmpty() && !shape.agrees();
    Logbook::FileBase &base = kind->base(book);
    base = {std::move(file), kind->revision(book)};
    if (disagrees) {
      // Kept aside whole, then rewritten, at the next save: until then the
      // file stays as it is.
      base.keepAside = true;
      base.revision = ~base.revision;
      if (notices) {
        notices->append(DisagreementNotice(path, shape));
      }
    }
  }
  return failed;
}

SaveOutcome SaveStore(Logbook &book) {
  SaveOutcome outcome;
  FileBatch batch;
  QList<std::pair<const HeldKind *, KindPlan>> plans;
  for (const HeldKind *kind : HeldKinds()) {
    KindPlan plan = PlanKind(book, *kind, outcome);
    const QString path = kind->path(book.paths(), book.patient());
    if (!plan.aside.isEmpty()) {
      batch.asides.append({path, plan.aside});
    }
    switch (plan.action) {
    case KindPlan::Action::None:
      continue;
    case KindPlan::Action::Settle:
      kind->base(book) = {std::move(plan.taken), kind->revision(book)};
      continue;
    case KindPlan::Action::Write:
      batch.writes.append({path, plan.bytes});
      break;
    case KindPlan::Action::Remove:
      if (plan.aside.isEmpty()) {
        batch.removals.append(path);
      }
      break;
    }
    plans.append({kind, std::move(plan)});
  }
  if (batch.isEmpty()) {
    return outcome;
  }
  if (const FileError error = CommitBatch(book.paths().dataFolder, batch)) {
    for (const auto &[kind, plan] : plans) {
      Fail(*kind, outcome, error);
    }
    return outcome;
  }
  for (const auto &[kind, plan] : plans) {
    const QString path = kind->path(book.paths(), book.patient());
    if (!plan.aside.isEmpty()) {
      (plan.emptied ? outcome.emptiedOutside : outcome.keptAside).append(plan.aside);
    }
    if (plan.action == KindPlan::Action::Write) {
      kind->base(book) = {WrittenSnapshot(path, plan.bytes), kind->revision(book)};
      outcome.written += kind->period() ? 1 : 0;
    } else {
      kind->base(book) = {FileSnapshot{}, kind->revision(book)};
    }
  }
  return outcome;
}

ArchiveRun ArchiveStore(Logbook &book, const std::array<bool, 4> &refused) {
  const StoragePaths &paths = book.paths();
  ArchiveRun run;
  FileBatch batch;
  // The files of no list (the meter's kept records) go with the lists:
  // their names, and whether their archive name was free.
  QList<std::pair<QString, bool>> others;
  for (const StoreKind *kind : StoreKinds()) {
    if (kind->archiveRule() != ArchiveRule::MovedWithStamp) {
      continue;
    }
    const QString source = kind->path(paths, book.patient());
    const QFileInfo info(source);
    const bool present = info.exists() && !info.isDir();
    const QString destination =
        paths.archiveFolder + ArchiveStamp(clock().now()) + kind->fileName(book.patient());
    const std::optional<DayPeriod> period = kind->period();
    if (!period) {
      if (present) {
        const bool free = !QFileInfo::exists(destination);
        if (free) {
          batch.moves.append({source, destination});
        }
        others.append({kind->fileName(book.patient()), free});
      }
      continue;
    }
    const size_t i = size_t(PeriodIndex(*period));
    if (refused[i]) {
      run.outcomes[i] = ArchiveOutcome::Failed;
    } else if (!present) {
      run.outcomes[i] = ArchiveOutcome::Missing;
    } else if (QFileInfo::exists(destination)) {
      run.outcomes[i] = ArchiveOutcome::Failed;
    } else {
      batch.moves.append({source, destination});
      run.archivedAs[i] = destination;
      run.outcomes[i] = ArchiveOutcome::Archived;
    }
  }
  // The records of the other kinds follow their readings: beside each
  // archive, and out of the patient's file.
  ReadingContexts &contexts = book.contexts();
  ReadingContexts kept;
  kept.setRecords(contexts.records());
  for (DayPeriod period : kAllPeriods) {
    if (run.outcome(period) != ArchiveOutcome::Archived) {
      continue;
    }
    std::vector<ContextRecord> records;
    for (const ContextRecord &record : contexts.records()) {
      if (record.key.period == period) {
        records.push_back(record);
      }
    }
    const QString beside = ArchiveContextPath(run.archivedAs[size_t(PeriodIndex(period))]);
    if (records.empty()) {
      continue;
    }
    if (beside.isEmpty() || QFileInfo::exists(beside)) {
      run.report += QStringLiteral("Les remarques des relevés %1 n'ont pas pu être archivées : "
                                   "elles restent dans %2.\r\n")
                        .arg(PeriodInfo(period).name, ShownPath(paths.contextFile));
      continue;
    }
    batch.writes.append({beside, SerializeContextFile(records)});
    for (const ContextRecord &record : records) {
      kept.set(record.key, {});
    }
  }
  const bool contextsChange = kept.size() != contexts.size();
  if (contextsChange) {
    if (kept.isEmpty()) {
      batch.removals.append(paths.contextFile);
    } else {
      batch.writes.append({paths.contextFile, SerializeContextFile(kept.records())});
    }
  }
  const FileError error = CommitBatch(paths.dataFolder, batch);
  QString lines;
  for (DayPeriod period : kAllPeriods) {
    ArchiveOutcome &outcome = run.outcomes[size_t(PeriodIndex(period))];
    if (error && outcome == ArchiveOutcome::Archived) {
      outcome = ArchiveOutcome::Failed;
      run.archivedAs[size_t(PeriodIndex(period))].clear();
    }
    if (outcome == ArchiveOutcome::Archived) {
      lines += ArchivedLine(period, book.patient());
      book.list(period).clear();
      book.settle(period, FileSnapshot{});
    } else if (outcome == ArchiveOutcome::Failed) {
      lines += ArchiveErrorLine(period, book.patient());
    }
  }
  for (const auto &[name, free] : others) {
    lines += free && !error ? name + QStringLiteral(" a été archivé.\r\n")
                            : QStringLiteral("Une erreur est survenue lors de l'archivage de ") +
                                  name + QStringLiteral("\r\n");
  }
  run.report = lines + (error ? QString() : run.report);
  if (!error && contextsChange) {
    contexts.setRecords(kept.records());
    const QString path = paths.contextFile;
    book.settleContexts(kept.isEmpty()
                            ? FileSnapshot{}
                            : WrittenSnapshot(path, SerializeContextFile(kept.records())));
  }
  return run;
}

namespace {

// The kinds whose part `saved` could not write and that hold anything.
QList<const HeldKind *> KindsToRescue(const Logbook &book, const SaveOutcome &saved) {
  QList<const HeldKind *> kinds;
  for (const HeldKind *kind : HeldKinds()) {
    const std::optional<DayPeriod> period = kind->period();
    const bool failed =
        period ? std::any_of(saved.failed.begin(), saved.failed.end(),
                             [&](const PeriodFileError &f) { return f.period == *period; })
               : bool(saved.contextError);
    if (failed && !kind->holdsNothing(book)) {
      kinds.append(kind);
    }
  }
  return kinds;
}

} // namespace

QStringList WriteRescueCopies(const Logbook &book, const SaveOutcome &saved,
                              QList<FileError> *failed) {
  QStringList written;
  const QString stamp = StampNow();
  for (const HeldKind *kind : KindsToRescue(book, saved)) {
    const QString path =
        book.paths().dataFolder + kind->fileName(book.patient()) + kRescueMarker + stamp;
    if (const FileError error = WriteWholeFile(path, kind->serialize(book))) {
      if (failed) {
        failed->append(error);
      }
    } else {
      written << path;
    }
  }
  return written;
}

QStringList RescuedFileNames(const Logbook &book, const SaveOutcome &saved) {
  QStringList names;
  for (const HeldKind *kind : KindsToRescue(book, saved)) {
    names << kind->fileName(book.patient());
  }
  return names;
}

QStringList RescueCopies(const QString &dataFolder) {
  QStringList found;
  if (dataFolder.isEmpty()) {
    return found;
  }
  const QStringList names = QDir(dataFolder).entryList(QDir::Files | QDir::Hidden);
  for (const QString &name : names) {
    const qsizetype at = name.lastIndexOf(kRescueMarker);
    if (at > 0 && IsStoreFileName(QStringView(name).left(at))) {
      found << dataFolder + name;
    }
  }
  return found;
}

StoreStartup OpenStore(const StoragePaths &paths) {
  StoreStartup startup;
  startup.recovery = RecoverInterruptedBatch(paths.dataFolder);
  startup.temporariesRemoved =
      RemoveInterruptedSaves(paths.dataFolder) + RemoveInterruptedSaves(paths.printFolder);
  startup.rescueCopies = RescueCopies(paths.dataFolder);
  return startup;
}

QString StoreStartupText(const StoreStartup &startup) {
  QStringList parts;
  if (startup.recovery == BatchRecovery::Incomplete) {
    parts << QStringLiteral("Un enregistrement interrompu (arrêt brutal, coupure de courant) n'a "
                            "pas pu être terminé : son journal %1 est conservé et il sera repris "
                            "au prochain enregistrement.")
                 .arg(QString(kJournalName));
  }
  if (!startup.rescueCopies.isEmpty()) {
    QStringList names;
    for (const QString &path : startup.rescueCopies) {
      names << ShownPath(path);
    }
    parts << QStringLiteral("Des relevés qui n'avaient pas pu être enregistrés à la fermeture de "
                            "session ou à un changement de patient ont été copiés ici :\n") +
                 names.join(u'\n') +
                 QStringLiteral("\n\nChaque copie a le format du fichier de sa liste : pour la "
                                "reprendre, Tensiolog fermé, remettez-la sous le nom du fichier "
                                "(sans « .secours-… »), ou copiez-en les relevés.");
  }
  return parts.join(QStringLiteral("\n\n"));
}

} // namespace tl
