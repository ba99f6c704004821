#pragma once

#include "common/control_ids.h"

#include <QString>
#include <array>

namespace tl {

// The four periods of the day into which readings are filed. The numeric
// values index every per-period array of the program (tab order).
enum class DayPeriod { Matin = 0, Jour = 1, Soir = 2, Nuit = 3 };

inline constexpr std::array<DayPeriod, 4> kAllPeriods = {DayPeriod::Matin, DayPeriod::Jour,
                                                         DayPeriod::Soir, DayPeriod::Nuit};
// The order in which the lists are written to their files.
inline constexpr std::array<DayPeriod, 4> kSaveOrder = {DayPeriod::Nuit, DayPeriod::Matin,
                                                        DayPeriod::Jour, DayPeriod::Soir};

struct DayPeriodInfo {
  QString name;           // "Matin"
  QString filePrefix;     // "ARTL_Matin_"
  QString statusLabel;    // "Matin : "
  int statusField;        // status bar field 1 to 4
  ControlId listControl;  // the main window list
  ControlId averageValue; // the averages page's value and count line
  ControlId averageCount;
  int tabIndex;          // tab of the main window
  QString averagesTitle; // "Moyenne le matin"
  QString tabText;       // " Matin, entre 06h00 et 12h00   "
};

const DayPeriodInfo &PeriodInfo(DayPeriod period);

inline int PeriodIndex(DayPeriod period) { return static_cast<int>(period); }

// The status bar text of a period: label + count in decimal.
QString PeriodStatusText(DayPeriod period, qint64 count);

} // namespace tl
