#pragma once

// One patient's record files, as one store: every kind of file (the four
// lists, the notes file, and whatever kind comes next) is registered once
// with its name, its reader and writer, its merge rule and its archive rule.
// Loading, the merge of outside changes, saving, archiving, the patient
// switch, the data destruction and the start-up clean-up go through this one
// registry; every save is one batch (CommitBatch), all or nothing.

#include "common/file_batch.h"
#include "logbook/archiving.h"
#include "logbook/logbook.h"
#include "measurements/measurement_file.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace tl {

struct SaveOutcome {
  // Lists holding readings whose file holds them now: written, or already
  // up to date (a list nobody changed is not rewritten).
  int written = 0;
  // Lists whose file could not be written, or could not be read and so is
  // not written over, each with its reason (a list may be empty).
  QList<PeriodFileError> failed;
  // Readings another program put in the files since they were read, now in
  // the lists too.
  qint64 fromOutside = 0;
  // Files renamed aside before being replaced (their names now): they held
  // no readable records, or their count line disagreed with them.
  QStringList keptAside;
  // Files found empty while the readings read from them were still here
  // (no deletion: the readings were written again), their names aside now.
  QStringList emptiedOutside;
  // The context file could not be written, or could not be read and so was
  // not written over: the notes and flags changed since exist only in memory.
  FileError contextError;
  // Contexts another program wrote in the context file since it was read,
  // now in the logbook too.
  qint64 contextsFromOutside = 0;
  // Notes changed both here and by another program since the file was
  // read: both texts kept, "ours / theirs".
  qint64 notesJoined = 0;
};

// Where a kind of file goes when the patient's files are archived.
enum class ArchiveRule {
  MovedWithStamp,      // into the archive folder, "<stamp><its name>"
  SplitBesideArchives, // its records, by period, beside the archives of their lists
};

// One kind of a patient's record files.
class StoreKind {
public:
  virtual ~StoreKind() = default;
  // "ARTL_Matin_", "ARTL_Notes_": the file is prefix + patient + ".txt".
  virtual QString filePrefix() const = 0;
  QString fileName(const QString &patient) const {
    return filePrefix() + patient + QStringLiteral(".txt");
  }
  // The file of `patient` in the data folder of `paths`.
  virtual QString path(const StoragePaths &paths, const QString &patient) const {
    return paths.dataFolder + fileName(patient);
  }
  // The period of a list's file; none for the other kinds.
  virtual std::optional<DayPeriod> period() const { return std::nullopt; }
  virtual ArchiveRule archiveRule() const = 0;
};

// A kind whose records the logbook holds: loaded, merged and saved with it.
// The other kinds (the meter's records kept by a trial read) are read and
// written by their own workflow; the store archives them, destroys them and
// spares them at start-up like the others.
class HeldKind : public StoreKind {
public:
  // The part of the logbook that this kind of file holds.
  virtual quint64 revision(const Logbook &book) const = 0;
  virtual bool holdsNothing(const Logbook &book) const = 0;
  virtual Logbook::FileBase &base(Logbook &book) const = 0;
  // Reader: the part from a file's bytes (every whole record), `shape`
  // telling what its count line announced; no bytes empty it.
  virtual void load(Logbook &book, QByteArrayView bytes, RecordShape *shape) const = 0;
  // Writer: the file's bytes for the part as it stands.
  virtual QByteArray serialize(const Logbook &book) const = 0;
  // What a merge did.
  struct Merged {
    qint64 taken = 0;       // records that came from outside
    qint64 joined = 0;      // notes changed on both sides, now holding both texts
    bool keepAside = false; // `theirs` holds what the part cannot: keep the file aside whole
  };
  // Merge rule: takes into the part what another program wrote in the file
  // (`theirs`) since `read` was read; what was changed here stays so.
  // `shape` tells what `theirs` announced.
  virtual Merged merge(Logbook &book, QByteArrayView read, QByteArrayView theirs, bool changedHere,
                       RecordShape *shape) const = 0;
};

// The registry, in the order the files are written.
const QList<const StoreKind *> &StoreKinds();
// Those of them that the logbook holds, in the same order.
const QList<const HeldKind *> &HeldKinds();
// The records a meter sent during a trial read, "ARTL_Tensiometre_<name>.txt",
// until a real reading files them.
const StoreKind &MeterRecordsKind();

// Whether `name` (no folder) is a record file of some patient, of any kind
// registered.
bool IsStoreFileName(QStringView name);

// Fills the logbook from the patient's files (see LoadLogbook).
QList<PeriodFileError> LoadStore(Logbook &book, QStringList *notices);
// Saves the logbook in one batch (see SaveLogbook).
SaveOutcome SaveStore(Logbook &book);
// Moves the files of the kinds archived whole into the archive folder and
// the records of the others beside them, in one batch; the periods marked in
// `refused` stay. The lists whose file went are emptied.
ArchiveRun ArchiveStore(Logbook &book, const std::array<bool, 4> &refused);

// --- Session end and start-up ----------------------------------------------

// Writes, beside the data files, a rescue copy of every part that `saved`
// could not write and that holds anything: "<file name>.secours-yyyyMMdd-hhmmss".
// The start-up clean-up never removes them. Returns the paths written; the
// copies that could not be written go to `*failed`.
QStringList WriteRescueCopies(const Logbook &book, const SaveOutcome &saved,
                              QList<FileError> *failed = nullptr);
// The names of the files WriteRescueCopies would copy ("ARTL_Matin_Bob.txt").
QStringList RescuedFileNames(const Logbook &book, const SaveOutcome &saved);
// The rescue copies found in the data folder.
QStringList RescueCopies(const QString &dataFolder);

struct StoreStartup {
  BatchRecovery recovery = BatchRecovery::None;
  int temporariesRemoved = 0;
  QStringList rescueCopies;
};
// Before anything is loaded, with the data folder's lock held: finishes or
// undoes a batch cut short, removes the program's own temporaries from the
// data and print folders, lists the rescue copies.
StoreStartup OpenStore(const StoragePaths &paths);
// What the person is told of it, or "".
QString StoreStartupText(const StoreStartup &startup);

} // namespace tl
