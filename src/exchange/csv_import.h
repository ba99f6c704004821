#pragma once

// Readings in from CSV: the role of each column (guessed from a header or
// from the first row), the reading of dates, times and values, the rows
// refused with their reason, and the duplicates skipped.

#include "common/day_period.h"
#include "measurements/reading.h"

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
  Period,   // the list a reading was in ("Période" of the program's own export)
  TimeZone, // the UTC offset or time zone of the date and time
};

// How slash and dot dates are read: day first (the French order) or month
// first.
enum class DateOrder { DayMonth, MonthDay };

// The role as the preview's selector shows it ("Date", ..., "Ignorer").
QString ColumnRoleText(ColumnRole role);

struct ColumnMapping {
  QList<ColumnRole> roles;
  bool header = false; // the first record names the columns and is no reading
  DateOrder dateOrder = DateOrder::DayMonth;
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

// The mapping the first record suggests: its names when it is a header
// (French or English, case, accents and blanks aside; Tensiolog's own
// export and the common meter exports included), else the look of its
// values.
ColumnMapping GuessMapping(const QStringList &firstRecord);

// Dates: dd/MM/yyyy, yyyy-MM-dd, dd.MM.yyyy.
std::optional<QDate> ParseImportDate(QStringView text);
// Times: hh:mm or hh:mm:ss (one-digit hours too).
std::optional<QTime> ParseImportTime(QStringView text);
// Date and time together: ISO (T or blank, seconds and offset optional, an
// offset converted to local time), a date then a time as above, or Unix
// seconds or milliseconds (told apart by their size).
std::optional<QDateTime> ParseImportDateTime(QStringView text);

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
  // summary; `place` names where it is in its file ("ligne 12").
  void addReading(const QDate &date, int minutes, qint64 systolic, qint64 diastolic, qint64 pulse,
                  const QString &place);
  // A record refused: counted, and "place : reason" kept among the first 20.
  void reject(const QString &place, const QString &reason);
  // Lines `first` to `last` refused each for `reason` (a record broken over
  // them, such as an unclosed quote).
  void rejectLines(qint64 first, qint64 last, const QString &reason);

  // The readings accepted, per period, in file order.
  const std::vector<Reading> &accepted(DayPeriod period) const {
    return accepted_[size_t(PeriodIndex(period))];
  }
  // Hands the readings accepted for `period` over; the import keeps none.
  std::vector<Reading> takeAccepted(DayPeriod period) {
    return std::move(accepted_[size_t(PeriodIndex(period))]);
  }
  qint64 imported() const { return imported_; }
  qint64 duplicates() const { return duplicates_; }
  qint64 rejected() const { return rejected_; }

  // "N relevés importés, D doublons ignorés, R lignes rejetées." and up to
  // 20 lines "ligne 12 : diastolique illisible".
  QString summary() const;

private:
  template <typename Field> void addFields(std::span<const Field> fields, qint64 line);
  // Files the reading, or counts it as a duplicate; the reason it is
  // refused otherwise.
  // `period`: the list the file names for the reading; by its time without.
  const char *accept(const QDate &date, int minutes, qint64 s, qint64 d, qint64 p,
                     std::optional<DayPeriod> period = std::nullopt);

  ColumnMapping mapping_;
  qint64 skipPending_; // the records before the readings still to come
  std::array<std::vector<Reading>, 4> accepted_;
  // Date, time and values of every reading there or accepted, packed in one
  // number (see ReadingKey).
  QSet<quint64> seen_;
  qint64 imported_ = 0, duplicates_ = 0, rejected_ = 0;
  QStringList reasons_; // the first 20
};

} // namespace tl
