#pragma once

// Dates, times and time zones as other programs write them, read for the
// import: day and month in the file's order, month names in French and
// English, 12-hour clocks, Excel serial days, ISO dates with an offset, Unix
// times, and a separate column of offsets or zone names.

#include <QByteArrayView>
#include <QDate>
#include <QDateTime>
#include <QStringView>
#include <QTime>
#include <QTimeZone>
#include <limits>
#include <optional>

namespace tl {

// How slash, dot and dash dates with the year last are read: day first (the
// French order) or month first.
enum class DateOrder { DayMonth, MonthDay };

// "jour/mois" or "mois/jour".
QString DateOrderText(DateOrder order);

// What one date tells of the order: nothing (no date with the year last),
// nothing either way (both fields 12 or less), or the one order that reads
// it (a first field above 12 is a day, a second one above 12 is a day).
enum class DateOrderHint { None, Ambiguous, DayMonth, MonthDay };
// The hint of a date, or of the date that starts a date and time.
DateOrderHint DateOrderHintOf(QStringView text);
// The same for a field's bytes (DecodeCsvField's text).
DateOrderHint DateOrderHintOf(QByteArrayView bytes);

// The order of a whole file: the first date only one order reads decides;
// when every date is ambiguous the French order is taken, and said so. A
// column whose first dates all are of other forms (ISO, month names, Unix
// times) is looked at no further.
struct DateOrderDecision {
  enum class Basis { NoDates, AllAmbiguous, Date };
  static constexpr int kOtherFormsLooked = 16;
  DateOrder order = DateOrder::DayMonth;
  Basis basis = Basis::NoDates;
  qint64 line = 0; // Basis::Date: the line of the date that decided
  int others = 0;  // dates of other forms while no date had the year last

  // Adds the hint of the date on `line`; true once nothing more is to be
  // learnt (the order decided, or the column of other forms).
  bool add(DateOrderHint hint, qint64 line);
  bool decided() const { return basis == Basis::Date; }
};

// A date and time as a cell gives it: local (as written), at a UTC offset,
// or an instant (Unix time).
struct ImportWhen {
  enum class Kind { Local, Offset, Instant };
  QDate date;
  int minutes = 0; // since midnight
  Kind kind = Kind::Local;
  int offsetSeconds = 0;   // Kind::Offset: east of UTC
  qint64 epochSeconds = 0; // Kind::Instant
};

// Dates: day and month by `order` ("8/12/2026", "08.12.2026", "08-12-2026",
// a two-digit year of 2000 to 2099: "08/12/26"),
// year first ("2026-12-08", "2026/12/08"), month names ("Dec 08 2026",
// "8 déc. 2026", "December 8, 2026", "1er décembre 2026"), and with
// `serial` Excel serial days (days since 1899-12-30; a fraction is left).
std::optional<QDate> ParseImportDate(QStringView text, DateOrder order = DateOrder::DayMonth,
                                     bool serial = false);
// Times: "hh:mm", "h:mm", seconds optional, and 12-hour clocks ("08:05 AM",
// "8:05 pm", 12 AM is midnight, 12 PM noon).
std::optional<QTime> ParseImportTime(QStringView text);
// Date and time together: ISO (T or blank, seconds and offset optional), a
// date then a time as above, Excel serial days with the time as fraction
// (with `serial`), or Unix seconds or milliseconds (told apart by their size).
std::optional<ImportWhen> ParseImportWhen(QStringView text, DateOrder order = DateOrder::DayMonth,
                                          bool serial = false);
// ParseImportWhen in local time.
std::optional<QDateTime>
ParseImportDateTime(QStringView text, DateOrder order = DateOrder::DayMonth, bool serial = false);

// The same from the bytes of an ASCII field; nothing when they are not
// ASCII or not of these forms (the text then tells, through the functions
// above).
std::optional<QDate> ParseImportDateAscii(QByteArrayView ascii, DateOrder order, bool serial);
int ParseImportMinutesAscii(QByteArrayView ascii); // -1 when not read
std::optional<ImportWhen> ParseImportWhenAscii(QByteArrayView ascii, DateOrder order, bool serial);

// A time zone cell: a UTC offset ("+02:00", "+0200", "-5", "UTC+1",
// "GMT-05:00", "Z", "UTC"), a whole number of hours up to 14, of minutes
// ("-240") or of seconds ("-18000"), or a zone name QTimeZone knows
// ("Europe/Paris").
struct ImportZone {
  bool fixed = true;
  int offsetSeconds = 0; // fixed
  QTimeZone zone;        // !fixed
};
std::optional<ImportZone> ParseImportZone(QStringView text);
std::optional<ImportZone> ParseImportZoneAscii(QByteArrayView ascii); // offsets only

// Converts dates and times to local time, keeping the UTC offset of the
// system zone (and of one named zone) between the transitions around the
// instant last asked: rows of a file come in date order.
class LocalTimeConverter {
public:
  // The local date and minutes of `when`, taken in `zone` when it is local
  // and a zone is given.
  void toLocal(ImportWhen &when, const ImportZone *zone = nullptr);

  // Files `when` at the clock time of the place where it was taken, when
  // the place's offset is known: the zone column's (a local time then stays
  // as written, an instant goes to that offset), or the cell's own offset
  // when it is not UTC's. A time known only as an instant (a Unix time, an
  // offset of zero in the cell or in the zone column, or a local time with
  // `utcTimes`) goes to the computer's
  // local time; a time without offset stays as written. True when the
  // place's offset differs from the computer's at that instant.
  bool toWallClock(ImportWhen &when, const ImportZone *zone, bool utcTimes);

private:
  struct Offsets {
    QTimeZone zone;          // invalid: ComputerTimeZone(), taken when first asked
    qint64 from = 0, to = 0; // UTC seconds where `offset` holds
    int offset = 0;
    // Seconds east of UTC at the UTC instant `seconds`.
    int at(qint64 seconds);
  };
  Offsets local_;
  Offsets named_;
};

} // namespace tl
