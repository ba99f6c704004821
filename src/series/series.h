#pragma once

// The home-measurement series: the protocols, the choice of the readings a
// series counts, its means and its verdict against the home threshold of
// 135/85 mmHg. Pure rules over the Matin and Soir lists.

#include "common/day_period.h"
#include "measurements/classification.h"
#include "measurements/reading.h"
#include "measurements/reading_context.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace tl {

enum class Protocol { Rule3, European7 };

struct ProtocolInfo {
  Protocol protocol;
  QString key;  // "regle3", "esh7"
  QString text; // as the selector shows it
  int days;
  int perSession;   // readings kept per morning and per evening
  int firstCounted; // index of the first day whose readings count (day 1 is index 0)
  int expected;     // readings a complete series counts
  int minimum;      // readings below which there is no verdict
};

const ProtocolInfo &ProtocolOf(Protocol protocol);
std::optional<Protocol> ProtocolFromKey(QStringView key);
inline constexpr Protocol kProtocols[] = {Protocol::Rule3, Protocol::European7};

// Home threshold, in tenths of mmHg (means are compared as shown, rounded).
inline constexpr qint64 kSystolicThresholdTenths = 1350;
inline constexpr qint64 kDiastolicThresholdTenths = 850;

// A reading the series can use: its date, time and values read from its cells.
struct SeriesReading {
  QDate date;
  int minutes = 0; // since midnight
  int systolic = 0, diastolic = 0, pulse = 0;
  DayPeriod period = DayPeriod::Matin; // by its time in the report, else its list
  // Its note and flags in the contexts given, or null: valid while they are
  // unchanged (a pointer keeps the reading small and quick to sort).
  const ReadingContext *context = nullptr;
  bool irregular() const { return context && context->irregular(); }
};

// Morning or evening by the reading's own time: morning 06:01 to 12:00, evening
// 18:01 to 23:59; none for any other time.
std::optional<DayPeriod> MomentOfTime(int minutes);

// A reading of the series' days (or of no readable day) that is not counted.
struct ExcludedReading {
  QString date, time, systolic, diastolic, pulse; // the cells as they stand
  DayPeriod period;                               // the list holding it
  QString reason;                                 // "date illisible", ..., "surnuméraire"
  QDate day; // for the order of the list; invalid when unreadable
  int minutes = -1;
  const ReadingContext *context = nullptr; // as SeriesReading's
  bool irregular() const { return context && context->irregular(); }
  // "130/80, pouls 70" from the cells as they stand.
  QString valuesText() const;
};
// Makes the entry of `reading` of `list`.
ExcludedReading MakeExcluded(const Reading &reading, DayPeriod list, const QString &reason);
// In date and time order, unreadable dates last, ties in the order given.
void SortExcluded(std::vector<ExcludedReading> &excluded);

// Sums of the counted readings; the means are shown with one decimal.
struct SeriesSums {
  qint64 count = 0, systolic = 0, diastolic = 0, pulse = 0;
  void add(const SeriesReading &r);
};

// "07:05" for 425 minutes.
QString TimeText(int minutes);

// A mean in tenths, rounded half away from zero; none without readings.
std::optional<qint64> MeanTenths(qint64 sum, qint64 count);
// "134,6"; "" for none.
QString FrenchTenths(std::optional<qint64> tenths);

struct SeriesDay {
  QDate date;
  bool counts = true; // day 1 of the European protocol is shown, not counted
  std::vector<SeriesReading> morning, evening; // kept readings, in time order
  SeriesSums sums;                             // of the kept readings
};

enum class Verdict { Incomplete, Below, Above };

// Readings a counted morning or evening lacks: `day` indexes the series' days.
struct MissingMoment {
  int day = 0;
  DayPeriod moment = DayPeriod::Matin; // Matin or Soir
  int count = 0;
};

struct SeriesResult {
  Protocol protocol = Protocol::Rule3;
  QDate windowStart; // the first day asked for
  // The days of the series: the European protocol's begin on the first day
  // measured from windowStart on, within the protocol's length.
  QDate start, end;
  std::vector<SeriesDay> days;
  SeriesSums all, morning, evening; // counted readings
  Verdict verdict = Verdict::Incomplete;
  std::vector<ExcludedReading> excluded; // in date and time order
  std::vector<MissingMoment> missing;    // in day order, morning first
  // Readings the form shows (in its grid or among those not counted)
  // flagged "pouls irrégulier"; 0 when no contexts were given.
  qint64 irregular = 0;
  int expected() const { return ProtocolOf(protocol).expected; }
  int minimum() const { return ProtocolOf(protocol).minimum; }
  // Index of the first counted day, or days.size() if none counts.
  int firstCountedDay() const;
};

// Why a reading cannot be counted ("" when it can), and its values.
QString ReadingProblem(const Reading &reading, DayPeriod period, SeriesReading *out);

// The day the series starts by default: the protocol's length minus one day
// before the latest date holding a countable morning or evening reading
// (for the European protocol, the first day of those that holds one); none
// when there is no such reading.
std::optional<QDate> DefaultSeriesStart(const std::vector<Reading> &matin,
                                        const std::vector<Reading> &soir, Protocol protocol);

// The series of `protocol` from `start`, over the Matin and Soir lists. A
// reading counts in the morning or evening of its own time only when its
// list is that one. The European protocol's day 1, shown and not counted, is the
// first day of the protocol's length from `start` that holds such a
// reading; its seven days run from there. With `contexts`, each reading
// kept or not counted carries its note and flags.
SeriesResult ComputeSeries(const std::vector<Reading> &matin, const std::vector<Reading> &soir,
                           Protocol protocol, QDate start,
                           const ReadingContexts *contexts = nullptr);

// "matin du 2e jour (2), soir du 3e jour (1)"; "" when nothing is missing.
QString MissingText(const SeriesResult &series);
// "16 mesures sur 18 attendues; manquent : matin du 2e jour (2)."
QString ComplianceLine(const SeriesResult &series);

// The verdict lines as shown, the not-a-medical-device sentence last.
QStringList VerdictLines(const SeriesResult &series);

} // namespace tl
