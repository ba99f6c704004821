#include "common/day_period.h"

namespace tl {

const DayPeriodInfo &PeriodInfo(DayPeriod period) {
  static const std::array<DayPeriodInfo, 4> table = {{
      {QStringLiteral("Matin"), QStringLiteral("ARTL_Matin_"), QStringLiteral("Matin : "), 1,
       ControlId::ListMatin, ControlId::AverageValueMatin, ControlId::AverageCountMatin, 0,
       QStringLiteral("Moyenne le matin"), QStringLiteral(" Matin, entre 06h00 et 12h00   ")},
      {QStringLiteral("Jour"), QStringLiteral("ARTL_Jour_"), QStringLiteral("Jour : "), 2,
       ControlId::ListJour, ControlId::AverageValueJour, ControlId::AverageCountJour, 1,
       QStringLiteral("Moyenne l'après-midi"), QStringLiteral(" Jour, entre 12h00 et 18h00   ")},
      {QStringLiteral("Soir"), QStringLiteral("ARTL_Soir_"), QStringLiteral("Soir : "), 3,
       ControlId::ListSoir, ControlId::AverageValueSoir, ControlId::AverageCountSoir, 2,
       QStringLiteral("Moyenne en soirée"), QStringLiteral(" Soir, entre 18h00 et 24h00   ")},
      {QStringLiteral("Nuit"), QStringLiteral("ARTL_Nuit_"), QStringLiteral("Nuit : "), 4,
       ControlId::ListNuit, ControlId::AverageValueNuit, ControlId::AverageCountNuit, 3,
       QStringLiteral("Moyenne la nuit"), QStringLiteral(" Nuit, entre 00h00 et 06h00   ")},
  }};
  return table[static_cast<int>(period)];
}

QString PeriodStatusText(DayPeriod period, qint64 count) {
  return PeriodInfo(period).statusLabel + QString::number(count);
}

} // namespace tl
