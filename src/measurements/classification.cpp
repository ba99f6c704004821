#include "measurements/classification.h"

#include <array>

namespace tl {

int TimeOfDaySeconds(QStringView time) {
  auto digit = [&](int i) { return time[i] >= u'0' && time[i] <= u'9'; };
  if (time.size() != 5 || !digit(0) || !digit(1) || time[2] != u':' || !digit(3) || !digit(4)) {
    return -1;
  }
  const int hours = (time[0].unicode() - u'0') * 10 + (time[1].unicode() - u'0');
  const int minutes = (time[3].unicode() - u'0') * 10 + (time[4].unicode() - u'0');
  if (hours > 23 || minutes > 59) {
    return -1;
  }
  return hours * 3600 + minutes * 60;
}

DayPeriod PeriodOfMinutes(int minutes) {
  if (minutes <= 6 * 60) {
    return DayPeriod::Nuit;
  }
  if (minutes <= 12 * 60) {
    return DayPeriod::Matin;
  }
  return minutes <= 18 * 60 ? DayPeriod::Jour : DayPeriod::Soir;
}

DayPeriod PeriodOfTime(QStringView time) {
  const int t = TimeOfDaySeconds(time);
  if (t < 0 || t <= 21600) {
    return DayPeriod::Nuit;
  }
  if (t <= 43200) {
    return DayPeriod::Matin;
  }
  if (t <= 64800) {
    return DayPeriod::Jour;
  }
  return DayPeriod::Soir;
}

namespace {

// The classes in rising order of severity (both hypotension classes rank
// lowest); None is what the diastolic value alone gives below 81.
BpClass SystolicClass(qint64 s, qint64 d) {
  if (s < 50 && d < 35) {
    return BpClass::HypotensionSevere;
  }
  if (s >= 50 && s <= 90) {
    return BpClass::Hypotension;
  }
  if (s >= 90 && s <= 120) {
    return BpClass::Optimal;
  }
  if (s >= 120 && s <= 129) {
    return BpClass::Normal;
  }
  if (s >= 130 && s <= 139) {
    return BpClass::NormalHigh;
  }
  if (s >= 140 && s <= 159) {
    return BpClass::Mild;
  }
  if (s >= 160 && s <= 179) {
    return BpClass::Moderate;
  }
  if (s >= 180) {
    return BpClass::Severe; // with D >= 110 as tabled, and below it too
  }
  return BpClass::HypotensionSevere; // S < 50 with D >= 35
}

// The diastolic value alone; a higher class than the systolic one wins.
BpClass DiastolicClass(qint64 d) {
  if (d >= 110) {
    return BpClass::Severe;
  }
  if (d >= 100) {
    return BpClass::Moderate;
  }
  if (d >= 90) {
    return BpClass::Mild;
  }
  if (d >= 85) {
    return BpClass::NormalHigh;
  }
  if (d >= 81) {
    return BpClass::Normal;
  }
  return BpClass::None;
}

} // namespace

BpClass ClassOf(qint64 systolic, qint64 diastolic) {
  if (systolic <= 0 && diastolic <= 0) {
    return BpClass::Dead;
  }
  const BpClass bySystolic = SystolicClass(systolic, diastolic);
  const BpClass byDiastolic = DiastolicClass(diastolic);
  return byDiastolic > bySystolic ? byDiastolic : bySystolic;
}

QString ClassLabel(BpClass c) {
  switch (c) {
  case BpClass::HypotensionSevere:
    return QStringLiteral("Hypotension sévère");
  case BpClass::Hypotension:
    return QStringLiteral("Hypotension");
  case BpClass::Optimal:
    return QStringLiteral("Pression artérielle optimale");
  case BpClass::Normal:
    return QStringLiteral("Pression artérielle normale");
  case BpClass::NormalHigh:
    return QStringLiteral("Pression artérielle normale haute");
  case BpClass::Mild:
    return QStringLiteral("Hypertension légère");
  case BpClass::Moderate:
    return QStringLiteral("Hypertension modérée");
  case BpClass::Severe:
    return QStringLiteral("Hypertension sévère");
  case BpClass::Dead:
    return QStringLiteral("Tension de cadavre - vous êtes mort!");
  case BpClass::None:
    break;
  }
  return QString();
}

QByteArrayView ClassLabelUtf8(BpClass c) {
  // Encoded once from the labels themselves, so both forms always agree.
  static const std::array<QByteArray, kBpClassCount> labels = [] {
    std::array<QByteArray, kBpClassCount> out;
    for (int i = 0; i < kBpClassCount; ++i) {
      out[size_t(i)] = ClassLabel(BpClass(i)).toUtf8();
    }
    return out;
  }();
  const int i = int(c);
  return i >= 0 && i < kBpClassCount ? QByteArrayView(labels[size_t(i)]) : QByteArrayView();
}

QString ClassifyReading(qint64 systolic, qint64 diastolic) {
  return ClassLabel(ClassOf(systolic, diastolic));
}

QString DiagnosisSentence(qint64 systolic, qint64 diastolic) {
  return QString::fromLatin1(kSentenceStart) + QString::number(systolic) +
         QString::fromLatin1(kSentenceMiddle) + QString::number(diastolic) +
         QString::fromLatin1(kSentenceBeforeLabel) + ClassifyReading(systolic, diastolic);
}

QString OutOfBoundsLabel() {
  return QStringLiteral("Hypertension hors limite - vous allez mourir!");
}

} // namespace tl
