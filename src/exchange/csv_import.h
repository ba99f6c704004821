#pragma once

// Readings in from CSV: the role of each column (guessed from a header or
// from the first row), the reading of dates, times and values, the rows
// refused with their reason, and the duplicates skipped.

#include "common/day_period.h"
#include "exchange/import_dates.h"
#include "measurements/reading.h"
#include "measurements/reading_context.h"

#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <span>
#include <vector>

namespace tl {

class PeriodLists;

enum class ColumnRole {
  Ignore,
  Date,
  Time,
  DateTime,
  Systolic,
  Diastolic,
  Pulse,
  Period,    // the list a reading was in ("Période" of the program's own export)
  TimeZone,  // the UTC offset or time zone of the date and time
  Note,      // a note on the reading ("Remarque")
  Irregular, // the irregular-heartbeat flag ("Pouls irrégulier": "oui" or empty)
};

// A column's name as the roles and the known exports compare it: lower
// case, no accents, no surrounding blanks.
QString Folded(const QString &name);

// The role as the preview's selector shows it ("Date", ..., "Ignorer").
QString ColumnRoleText(ColumnRole role);

// A column ignored because an earlier column has the role it resembles:
// "La colonne « Pouls 2 » ressemble aussi au pouls : elle est ignorée."
struct ColumnWarning {
  qsizetype column = 0;
  QString text;
};

struct ColumnMapping {
  QList<ColumnRole> roles;
  bool header = false; // the first record names the columns and is no reading
  DateOrder dateOrder = DateOrder::DayMonth;
  // Whether dateOrder was chosen (in the preview, on the command line);
  // otherwise the import decides it from the dates of the whole file.
  bool dateOrderGiven = false;
  // The date column's header names a date: numbers in it are Excel serial
  // days (elsewhere a number is Unix time).
  bool serialDates = false;
  // Each column a role was guessed for that an earlier column has.
  QList<ColumnWarning> warnings;
  // Dates and times without an offset are UTC, not local (an export that
  // writes them so).
  bool utcTimes = false;
  // The export the header was recognised as ("OMRON connect"), or empty.
  QString format;
  // Records before the header (an export's metadata line, a spreadsheet's
  // title): no readings.
  int skipRecords = 0;
  // The columns whose pressures are in kPa, converted to mmHg.
  QList<qsizetype> kPaColumns;
  // Whether a date (with a time, or a date and time) and the three values
  // all have a column; a recognised export without a pulse column is
  // complete too (its readings are then refused, "pouls absent").
  bool complete() const;
};

// Whether a flag cell says yes: "oui", "yes", "1", "true" or "x", case
// and blanks aside.
bool IsYesCell(QStringView text);

// The role a column's header names: by whole words (split at blanks,
// punctuation, underscores and camelCase; case and accents aside) from a
// list per role in French and English. A header with a word of another
// measure or of the record's bookkeeping ("pulse pressure", "HRV",
// "modification", "created", ...) names none.
ColumnRole RoleOfHeader(const QString &name);

// Keeps each role for the first column that has it (a date and time column
// counts as the date and as the time); the later ones are ignored. With
// `names`, each column ignored goes to `warnings`.
void KeepFirstRoles(QList<ColumnRole> &roles, const QStringList *names = nullptr,
                    QList<ColumnWarning> *warnings = nullptr);

// The mapping the first record suggests: its names when it is a header
// (Tensiolog's own export and the common meter exports included), else the
// look of its values. `next`, the record after a header, tells whether a
// date column holds times too.
ColumnMapping GuessMapping(const QStringList &firstRecord, const QStringList &next = {});

// One pass over the records of a file into a logbook's four lists.
class CsvImport {
public:
  // `existing`: the lists the readings go to (for the duplicates).
  CsvImport(const PeriodLists &existing, ColumnMapping mapping);

  // One record; `line` is where it starts in the file.
  void add(const QStringList &fields, qint64 line);
  // The same for a record given as the bytes of its fields (CsvReader's
  // plain records): the same readings, refusals and reasons as their texts
  // (DecodeCsvField) would give.
  void addPlain(std::span<const QByteArrayView> fields, qint64 line);

  // A reading from another source (a FHIR file, Apple Health's export)
  // through the same checks of its values, the same duplicates and the same
  // summary; `place` names where it is in its file ("ligne 12"). Its
  // `context` (a note, the meter's flags) is kept among contexts().
  void addReading(const QDate &date, int minutes, qint64 systolic, qint64 diastolic, qint64 pulse,
                  const QString &place, const ReadingContext &context = {});
  // A record refused: counted, and "place : reason" kept among the first 20.
  void reject(const QString &place, const QString &reason);
  // Lines `first` to `last` refused each for `reason` (a record broken over
  // them, such as an unclosed quote).
  void rejectLines(qint64 first, qint64 last, const QString &reason);
  // A sentence the summary gives after its counts.
  void addNote(const QString &note) { notes_ << note; }
  void addOtherOffsets(qint64 n) { otherOffsets_ += n; }

  // The readings accepted, per period, in file order.
  const std::vector<Reading> &accepted(DayPeriod period) const {
    return accepted_[size_t(PeriodIndex(period))];
  }
  // Hands the readings accepted for `period` over; the import keeps none.
  std::vector<Reading> takeAccepted(DayPeriod period) {
    return std::move(accepted_[size_t(PeriodIndex(period))]);
  }
  // The contexts given with readings accepted or found already there (a
  // duplicate), keyed by the reading as it was made and the period of its
  // time or of its list in the file.
  const std::vector<ContextRecord> &contexts() const { return contexts_; }
  qint64 imported() const { return imported_; }
  qint64 duplicates() const { return duplicates_; }
  qint64 rejected() const { return rejected_; }
  // Why the last record refused was refused ("" before any).
  const QString &lastRejection() const { return lastRejection_; }

  // "N relevés importés, D doublons ignorés, R lignes rejetées.", the notes,
  // and up to 20 lines "ligne 12 : diastolique illisible".
  QString summary() const;

private:
  template <typename Field> void addFields(std::span<const Field> fields, qint64 line);
  // The zone of a time zone cell (the last one read is kept: a file gives
  // one zone, or few).
  template <typename Field> const ImportZone *zoneOf(const Field &field);
  // Files the reading, or counts it as a duplicate; the reason it is
  // refused otherwise.
  // `period`: the list the file names for the reading; by its time without.
  const char *accept(const QDate &date, int minutes, qint64 s, qint64 d, qint64 p,
                     std::optional<DayPeriod> period = std::nullopt,
                     const ReadingContext &context = {});

  ColumnMapping mapping_;
  qint64 skipPending_; // the records before the readings still to come
  std::array<std::vector<Reading>, 4> accepted_;
  std::vector<ContextRecord> contexts_;
  // Date, time and values of every reading there or accepted, packed in one
  // number (see ReadingKey).
  QSet<quint64> seen_;
  qint64 imported_ = 0, duplicates_ = 0, rejected_ = 0;
  qint64 otherOffsets_ = 0;
  QString lastRejection_;
  QStringList reasons_; // the first 20
  QStringList notes_;
  LocalTimeConverter clock_;
  QString zoneText_;     // the text zone_ was read from, or empty
  QByteArray zoneBytes_; // the bytes zone_ was read from, or empty
  std::optional<ImportZone> zone_;
};

} // namespace tl
