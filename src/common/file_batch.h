#pragma once

// Saves made all or nothing across several files, and durable: every
// temporary is written and flushed to the disk, a journal naming the batch
// is written and flushed, the temporaries are renamed over their targets,
// the folders are flushed, then the journal goes. A batch cut short by a
// kill or a power cut is finished (or undone) at the next start from its
// journal, before anything is read.

#include "common/file_io.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace tl {

// What the program puts in the names of its own temporary files, followed by
// six letters or digits: "ARTL_Matin_Bob.txt.tltmp-k3x9qa". The start-up
// clean-up removes only the names that carry it.
inline constexpr QLatin1StringView kTemporaryMarker(".tltmp-");
// The journal of the batch being committed, in the data folder.
inline constexpr QLatin1StringView kJournalName("ARTL_Journal.tlj");

// Whether `name` (a file name, no folder) is one of the program's own
// temporary files.
bool IsProgramTemporary(QStringView name);

struct FileBatch {
  struct Rename {
    QString from;
    QString to; // never replaced: the rename fails when it exists
  };
  QList<PendingWrite> writes; // each written beside its target, renamed over it
  QList<Rename> asides;       // files kept aside, before the writes replace them
  QList<Rename> moves;        // after the writes (archiving)
  QStringList removals;       // last: files whose content is all gone

  bool isEmpty() const {
    return writes.isEmpty() && asides.isEmpty() && moves.isEmpty() && removals.isEmpty();
  }
};

// Commits `batch`, its journal in `journalFolder` (the data folder). When
// anything fails before the first rename, no file changed and the
// temporaries are gone. A rename that fails once others were made leaves the
// journal, so that the next batch or the next start finishes it. A journal
// left by an earlier batch is finished first.
FileError CommitBatch(const QString &journalFolder, const FileBatch &batch);

// What the start-up found of a batch cut short.
enum class BatchRecovery {
  None,          // no journal
  RolledForward, // the journal was whole, every temporary complete: finished
  RolledBack,    // cut before its first rename: its temporaries removed
  Incomplete,    // some renames failed again: the journal stays for the next time
};
// Finishes or undoes the batch whose journal is in `folder`. Call it only
// while this copy of the program holds the data folder's lock, before
// anything is loaded.
BatchRecovery RecoverInterruptedBatch(const QString &folder);

// The steps of a commit, as a probe sees them once each is done.
enum class BatchStep {
  TemporarySynced, // a temporary written and flushed (path: the temporary)
  JournalSynced,   // the journal written and flushed, its folder too
  Renamed,         // one rename or removal made (path: its target)
  FolderSynced,    // a folder flushed after the renames (path: the folder)
  JournalRemoved,  // the journal removed and its folder flushed
};

// Sees every step of every commit; returning false stops the commit right
// there, leaving the files as a kill would. For tests: counting the flushes
// and their order, and cutting a batch at every step.
class BatchProbe {
public:
  virtual ~BatchProbe() = default;
  virtual bool step(BatchStep step, const QString &path) = 0;
};
// Installs `probe` (null: none). Not thread-safe: tests only.
void SetBatchProbe(BatchProbe *probe);

} // namespace tl
