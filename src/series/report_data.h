#pragma once

// What the doctor's report shows over a date range: the statistics of each
// period (a reading counts in the period of its time, whatever its list) and
// of all of them, every countable reading in date and time order, and the
// rows it could not use. Pure, no widgets: the window, the PDF and the command line share it.

#include "series/statistics.h"

#include <QDate>
#include <array>
#include <optional>
#include <vector>

namespace tl {

class PeriodLists;

struct DoctorReportData {
  QDate from, to;
  std::array<ReadingStatistics, 4> periods; // by PeriodIndex
  ReadingStatistics overall;
  std::vector<SeriesReading> readings; // all periods, in date and time order
  qint64 moved = 0;                    // readings counted in another period than their list's
  // Rows of the range (or of no readable date) that could not be used, with
  // their reasons, in date and time order.
  std::vector<ExcludedReading> unusable;
  // Readings of `readings` flagged "pouls irrégulier"; 0 when no contexts
  // were given.
  qint64 irregular = 0;
};

// The four lists of `lists`, for the series.
SeriesLists ListsOf(const PeriodLists &lists);

// The 30 days ending on the latest date holding a countable reading of any
// period; none without such a reading.
std::optional<std::pair<QDate, QDate>> DefaultReportRange(const PeriodLists &lists);

// "1 mesure comptée dans la période de son heure et non dans celle de sa
// liste."; "" for none.
QString MovedNote(qint64 moved);

// With `contexts`, each reading and row not used carries its note and flags.
DoctorReportData MakeDoctorReport(const PeriodLists &lists, QDate from, QDate to,
                                  const ReadingContexts *contexts = nullptr);

} // namespace tl
