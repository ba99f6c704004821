#pragma once

// Readings between a logbook and a file, without widgets, for the window and
// the command line alike: an export written whole or not at all, and an
// import read in one pass with bounded memory, appended to the lists and
// saved as "Sauvegarder" saves them.

#include "common/file_io.h"
#include "exchange/csv_import.h"
#include "logbook/workflows.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace tl {

class Logbook;

// --- Export ----------------------------------------------------------------

// FHIR: a collection Bundle; FhirTransaction: a transaction Bundle of
// conditional creates, for a server.
enum class ExportFormat { Csv, Fhir, FhirTransaction };

struct ExportOutcome {
  qsizetype exported = 0; // readings written
  qsizetype leftOut = 0;  // FHIR: readings whose cells could not be read
  FileError error;        // the file could not be written: nothing of it is left
};

// The name a chooser proposes: the patient's name, ".csv" or ".json".
QString ExportFileName(const QString &patient, ExportFormat format);

// Writes the readings of the four lists (dated `from` to `to` when given),
// with their contexts, to `path` in `format`, as WriteOutputFile writes.
ExportOutcome ExportLogbook(const Logbook &book, ExportFormat format, const QString &path,
                            std::optional<QDate> from = std::nullopt,
                            std::optional<QDate> to = std::nullopt);

// "N relevés exportés dans FILE." or, with readings left out, "N relevés
// exportés dans FILE, K laissés de côté (valeurs illisibles)."
QString ExportSummary(const ExportOutcome &outcome, const QString &file);

// --- Import ----------------------------------------------------------------

// The records a preview shows.
inline constexpr int kPreviewRecords = 20;

// The start of a CSV file: its separator, its first records as they stand
// and the column roles they suggest.
struct CsvFileStart {
  FileError error; // the file could not be opened or read
  char separator = ';';
  QList<QStringList> records;
  ColumnMapping guess; // its date order that of `dateOrder`
  // The date order the dates of these first bytes give.
  DateOrderDecision dateOrder;
  // The widest record's field count (the columns a preview shows).
  qsizetype columns() const;
  // The lines of a record whose quote is never closed, each refused as the
  // import refuses it: no record, but a line of its own where it stood,
  // before records[before].
  struct RejectedLine {
    qsizetype before = 0;
    qint64 line = 0;
  };
  QList<RejectedLine> rejected;
  // What a preview shows, at most the records asked for: the records and,
  // in their place, the lines refused, each as one field "ligne 3 :
  // guillemet non fermé".
  QList<QStringList> shownRows() const;
};

// Why the import refuses the lines of an unclosed quote.
inline constexpr char kUnclosedQuoteReason[] = "guillemet non fermé";

// Reads no more than the first records of the file at `path` (at most
// `maxRecords` records and lines refused, from its first 1 MiB), and the
// date order of the records in that first 1 MiB.
CsvFileStart ReadCsvStart(const QString &path, int maxRecords = kPreviewRecords);

// Called between chunks with the bytes read so far and the file's size;
// returning false cancels the import.
using ImportProgress = std::function<bool(qint64 done, qint64 total)>;

struct ImportOutcome {
  FileError error;        // the file could not be read: nothing imported
  bool cancelled = false; // nothing imported
  qint64 imported = 0, duplicates = 0, rejected = 0;
  QString summary;       // ImportSink::summary()
  bool appended = false; // readings went to the lists (and the lists were saved)
  SaveOutcome saved;
};

// Reads the CSV file at `path` in chunks, each record through a CsvImport
// against the lists of `book`. Unless the mapping gives the date order, a
// first pass reads the dates until one decides it (DateOrderDecision), and
// the summary says when none did. Then, unless it was cancelled, could not be
// read, or `dryRun` is set, files the readings accepted in the lists (as
// FinishImport does) and saves the lists.
ImportOutcome ImportCsvFile(Logbook &book, const QString &path, const ColumnMapping &mapping,
                            char separator, const ImportProgress &progress = {},
                            bool dryRun = false);

// The order of the dates in column `column` of the CSV bytes (after the
// first `recordsBefore` records: a title, a header), from their first date
// only one order reads.
DateOrderDecision DecideDateOrder(QByteArrayView bytes, char separator, qsizetype column,
                                  qint64 recordsBefore);

// ImportCsvFile without its save: the readings accepted are appended to the
// lists (`appended` tells) and left for the caller to save.
ImportOutcome AppendCsvFile(Logbook &book, const QString &path, const ColumnMapping &mapping,
                            char separator, const ImportProgress &progress = {},
                            bool dryRun = false);

// The formats an import reads (see import_format.h).
enum class ImportFormat { Csv, Fhir, AppleHealth };

// A FHIR R4 JSON file (a Bundle or one Observation), as AppendCsvFile reads
// a CSV file: the same duplicates, summary and outcome.
ImportOutcome AppendFhirFile(Logbook &book, const QString &path,
                             const ImportProgress &progress = {}, bool dryRun = false);
// Apple Health's export.xml, bare or in the zip Apple exports, likewise.
ImportOutcome AppendAppleHealthFile(Logbook &book, const QString &path,
                                    const ImportProgress &progress = {}, bool dryRun = false);

// The end of every import: the counts and summary of `import` in `outcome`
// and, unless `dryRun` is set, its readings appended to the lists of `book`
// (in date and time order among the readings there: mergeReadings) and its
// notes and flags set in
// the logbook's contexts, for the readings taken and those already there (a
// flag already set stays, a note already written is kept). `appended` tells
// whether anything changed.
void FinishImport(Logbook &book, ImportSink &import, bool dryRun, ImportOutcome &outcome);

// The lists saved after an append, when it appended anything.
void SaveImport(Logbook &book, ImportOutcome &outcome);

} // namespace tl
