#pragma once

// The home-measurement series: the protocols, the choice of the readings a
// series counts, its means, its verdict against the home threshold of
// 135/85 mmHg and its home category. Pure rules over the four lists: a
// reading belongs to the morning or evening session by its own time, never
// by the list that holds it.

#include "common/day_period.h"
#include "measurements/classification.h"
#include "measurements/reading.h"
#include "measurements/reading_context.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <vector>

namespace tl {

enum class Protocol { Rule3, European7, Rule223 };

struct ProtocolInfo {
  Protocol protocol;
  QString key;      // "regle3", "esh7", "regle223"
  QString text;     // as the selector shows it
  int days;         // the longest series
  int minDays;      // the shortest series (the 2-2-3 rule runs 3 to 7 days)
  int perSession;   // readings kept per morning and per evening
  int firstCounted; // index of the first day whose readings count (day 1 is index 0)
  int expected;     // readings a complete series of `days` days counts
  int minimum;      // readings below which there is no verdict
};

const ProtocolInfo &ProtocolOf(Protocol protocol);
std::optional<Protocol> ProtocolFromKey(QStringView key);
// In the order the selector offers them, the default first.
inline constexpr Protocol kProtocols[] = {Protocol::Rule223, Protocol::Rule3, Protocol::European7};
inline constexpr Protocol kDefaultProtocol = Protocol::Rule223;
// The index of `protocol` in kProtocols.
int ProtocolIndex(Protocol protocol);

// The morning and evening sessions, in minutes since midnight, both ends
// included. The morning may start as early as 04:00; the evening may run
// past midnight until 01:59 (an end of 24 * 60 + 119): a reading after
// midnight up to that end belongs to the evening of the day before.
struct SessionWindows {
  int morningStart = 6 * 60 + 1, morningEnd = 12 * 60;
  int eveningStart = 18 * 60 + 1, eveningEnd = 23 * 60 + 59;
  bool operator==(const SessionWindows &) const = default;
};
inline constexpr int kEarliestMorningStart = 4 * 60;
inline constexpr int kLatestEveningEnd = 24 * 60 + 119;
// The windows with the adjustable ends brought within their limits.
SessionWindows ClampedWindows(SessionWindows windows);
// "06:01-12:00"; an evening past midnight reads "18:01-01:30".
QString MorningWindowText(const SessionWindows &windows);
QString EveningWindowText(const SessionWindows &windows);

// A patient's series settings: the protocol and the session windows, kept in
// the preferences file as "regle223,0601,2359" ("HHMM" for the morning start,
// then the evening end, "0130" for 01:30 the next day).
struct SeriesSettings {
  Protocol protocol = kDefaultProtocol;
  SessionWindows windows;
  bool operator==(const SeriesSettings &) const = default;
};
QString SeriesSettingsText(const SeriesSettings &settings);
// Nothing when the text cannot be read; a known protocol with unreadable
// times keeps the default windows.
std::optional<SeriesSettings> SeriesSettingsFromText(QStringView text);
// A patient's settings from their entry in the preferences ("" when none),
// else with the protocol last chosen before settings were kept per patient
// (`SeriesProtocol`, "" when none), else the defaults.
SeriesSettings PatientSeriesSettings(QStringView entry, QStringView lastProtocol);

// The ESC 2024 home categories of a mean, judged on the rounded mean shown.
enum class HomeCategory { NonElevated, Elevated, Hypertension };
HomeCategory HomeCategoryOf(qint64 systolicTenths, qint64 diastolicTenths);
// Of one reading's whole values.
HomeCategory HomeCategoryOfReading(int systolic, int diastolic);
// "non_elevated", "elevated", "hypertension" (the JSON's words).
QString HomeCategoryKey(HomeCategory category);
// "tension non élevée", "tension élevée", "hypertension".
QString HomeCategoryName(HomeCategory category);
// "moyenne dans la zone « tension élevée » (120–134 / 70–84 mmHg) des
// recommandations ESC 2024"
QString HomeCategorySentence(HomeCategory category);
// Lines of 120/70 mmHg: where the categories begin.
inline constexpr qint64 kElevatedSystolicTenths = 1200;
inline constexpr qint64 kElevatedDiastolicTenths = 700;

// Home threshold, in tenths of mmHg (means are compared as shown, rounded).
inline constexpr qint64 kSystolicThresholdTenths = 1350;
inline constexpr qint64 kDiastolicThresholdTenths = 850;

// A reading the series can use: its date, time and values read from its cells.
struct SeriesReading {
  QDate date;
  int minutes = 0; // since midnight
  int systolic = 0, diastolic = 0, pulse = 0;
  // Matin or Soir: its session in a series; its period by time in the report.
  DayPeriod period = DayPeriod::Matin;
  // Its note and flags in the contexts given, or null: valid while they are
  // unchanged (a pointer keeps the reading small and quick to sort).
  const ReadingContext *context = nullptr;
  bool irregular() const { return context && context->irregular(); }
};

// Morning or evening by the reading's own time within `windows`; none for
// any other time. With `dayOffset`, -1 for a reading after midnight that
// belongs to the evening of the day before, else 0.
std::optional<DayPeriod> MomentOfTime(int minutes, const SessionWindows &windows = {},
                                      int *dayOffset = nullptr);

// A reading of the series' days (or of no readable day) that is not counted.
struct ExcludedReading {
  QString date, time, systolic, diastolic, pulse; // the cells as they stand
  DayPeriod period;                               // the list holding it
  QString reason; // "date illisible", ..., "surnuméraire", "en double"
  QDate day;      // for the order of the list; invalid when unreadable
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
  Protocol protocol = kDefaultProtocol;
  SessionWindows windows;
  QDate windowStart; // the first day asked for
  // The days of the series: the European protocol's begin on the first day
  // measured from windowStart on, within the protocol's length; the 2-2-3
  // rule's end on the last day measured, 3 to 7 days from the start.
  QDate start, end;
  std::vector<SeriesDay> days;
  SeriesSums all, morning, evening; // counted readings
  Verdict verdict = Verdict::Incomplete;
  // The ESC 2024 home category of the mean; none while incomplete.
  std::optional<HomeCategory> category;
  // The 2-2-3 rule: fewer than 7 days measured and the mean close to the
  // threshold (systolic 130,0 to 139,9 or diastolic 80,0 to 89,9): the
  // guideline asks to go on until the 7th day.
  bool extend = false;
  std::vector<ExcludedReading> excluded; // in date and time order
  std::vector<MissingMoment> missing;    // in day order, morning first
  // Readings the form shows (in its grid or among those not counted)
  // flagged "pouls irrégulier"; 0 when no contexts were given.
  qint64 irregular = 0;
  // The readings the form shows: kept in its grid (day 1 of the European
  // protocol included) or listed as not counted; what `irregular` is out of.
  qint64 shown() const;
  // Readings the series' counted days ask for.
  int expected() const;
  int minimum() const { return ProtocolOf(protocol).minimum; }
  // Index of the first counted day, or days.size() if none counts.
  int firstCountedDay() const;
};

// Why a reading cannot be counted ("" when it can), and its values.
QString ReadingProblem(const Reading &reading, DayPeriod period, SeriesReading *out);

// A patient's four lists, by PeriodIndex; a null list is empty.
using SeriesLists = std::array<const std::vector<Reading> *, 4>;

// The day the series starts by default, from the latest day holding a
// countable morning or evening reading: for the rule of 3, two days before
// it; for the others, the first day measured among the seven that end on
// it. None when there is no such reading.
std::optional<QDate> DefaultSeriesStart(const SeriesLists &lists, Protocol protocol,
                                        const SessionWindows &windows = {});

// The series of `protocol` from `start`, over the four lists. A reading
// belongs to the morning or evening session of its own time within
// `windows`, whatever its list; the first readings of a session in time
// order count, a reading stored twice counts once, and every other reading
// of the series' days is listed with its reason. The European protocol's
// day 1, shown and not counted, is the first day of the protocol's length
// from `start` that holds such a reading; its seven days run from there.
// With `contexts`, each reading kept or not counted carries its note and
// flags.
SeriesResult ComputeSeries(const SeriesLists &lists, Protocol protocol, QDate start,
                           const SessionWindows &windows = {},
                           const ReadingContexts *contexts = nullptr);

// "matin du 2e jour (2), soir du 3e jour (1)"; "" when nothing is missing.
QString MissingText(const SeriesResult &series);
// "16 mesures sur 18 attendues; manquent : matin du 2e jour (2)."
QString ComplianceLine(const SeriesResult &series);

// The verdict lines as shown: the verdict against 135/85, the home
// category, the advice to go on to the 7th day, the not-a-medical-device
// sentence last.
QStringList VerdictLines(const SeriesResult &series);
// "Poursuivez les mesures jusqu'au 7e jour : ..."; "" when not asked.
QString ExtendSentence(const SeriesResult &series);
// "Plages des séances : matin 06:01-12:00, soir 18:01-23:59."
QString WindowsSentence(const SessionWindows &windows);

} // namespace tl
