#pragma once

// Readings in from CSV: the role of each column (guessed from a header or
// from the first row), the sections of a file, the reading of dates, times,
// values and flags, and the rows refused with their reason; the readings
// are filed through an ImportSink.

#include "common/day_period.h"
#include "exchange/import_dates.h"
#include "exchange/import_sink.h"
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
  // The other flags of a reading, "oui" or empty each: "Traitement pris",
  // "Mouvement", "Brassard mal placé".
  Medication,
  Movement,
  CuffMisplaced,
  OtherFlags, // the flags of a later version, as written ("Autres indications")
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
  // writes them so, or a date column whose name says UTC or GMT).
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

// One pass over the records of a file, each read by the roles of its
// columns and filed into the sink it is: the CSV reading here, the filing
// (checks, duplicates, counts, summary) in ImportSink, which the other
// formats feed too.
class CsvImport : public ImportSink {
public:
  // `existing`: the lists the readings go to (for the duplicates).
  CsvImport(const PeriodLists &existing, ColumnMapping mapping);

  // The sink the records are filed into.
  ImportSink &sink() { return *this; }
  const ImportSink &sink() const { return *this; }

  // One record; `line` is where it starts in the file.
  void add(const QStringList &fields, qint64 line);
  // The same for a record given as the bytes of its fields (CsvReader's
  // plain records): the same readings, refusals and reasons as their texts
  // (DecodeCsvField) would give.
  void addPlain(std::span<const QByteArrayView> fields, qint64 line);

private:
  template <typename Field> void addFields(std::span<const Field> fields, qint64 line);
  // A file may hold several sections, each under its own header (a meter's
  // export: the blood pressures, then the weights). A header whose columns
  // name blood pressures starts a section read by them; any other header
  // starts a section whose lines are left aside, with its name and lines in
  // the summary.
  void beginSection(const QStringList &header, qint64 line);
  // A record read while a section has just begun or is left aside, or under
  // a title: true when it is to be read as a reading.
  bool sectionRecord(const QStringList &cells, qint64 line);

  enum class Section { Readings, Skipped };
  // The zone of a time zone cell (the last one read is kept: a file gives
  // one zone, or few).
  template <typename Field> const ImportZone *zoneOf(const Field &field);

  ColumnMapping mapping_;
  qint64 skipPending_; // the records before the readings still to come
  LocalTimeConverter clock_;
  QString zoneText_;     // the text zone_ was read from, or empty
  QByteArray zoneBytes_; // the bytes zone_ was read from, or empty
  std::optional<ImportZone> zone_;
  Section section_ = Section::Readings;
  QString skipReason_; // Section::Skipped: why its lines are left aside
  // The header of a section of readings whose first record is still to
  // come: that record tells whether its date column holds times too.
  QStringList header_;
  // A lone text held until the next record tells whether it names the
  // section under it (the line, the text, and why it is refused otherwise).
  qint64 titleLine_ = 0;
  QString title_;
  QString titleProblem_;
};

} // namespace tl
