#include "series/series.h"

#include <algorithm>
#include <array>

namespace tl {

namespace {

// A cell holding a whole number and nothing else.
std::optional<int> CellNumber(const QString &text) {
  if (text.isEmpty() || text.size() > 9) {
    return std::nullopt;
  }
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (!(text[i].isDigit() && text[i].unicode() < 128) && !(i == 0 && text[i] == u'-')) {
      return std::nullopt;
    }
  }
  bool ok = false;
  const int value = text.toInt(&ok);
  return ok ? std::optional(value) : std::nullopt;
}

bool Plausible(const SeriesReading &r) {
  return r.systolic >= 50 && r.systolic <= 300 && r.diastolic >= 30 && r.diastolic <= 200 &&
         r.pulse >= 25 && r.pulse <= 250 && r.diastolic < r.systolic;
}

} // namespace

const ProtocolInfo &ProtocolOf(Protocol protocol) {
  static const std::array<ProtocolInfo, 2> table = {{
      {Protocol::Rule3, QStringLiteral("regle3"),
       QStringLiteral("Règle des 3 : 3 jours, 3 mesures le matin et 3 le soir"), 3, 3, 0, 18, 12},
      {Protocol::European7, QStringLiteral("esh7"),
       QStringLiteral("Protocole européen : 7 jours, 2 mesures le matin et 2 le soir"), 7, 2, 1, 24,
       12},
  }};
  return table[protocol == Protocol::Rule3 ? 0 : 1];
}

std::optional<Protocol> ProtocolFromKey(QStringView key) {
  for (Protocol p : kProtocols) {
    if (ProtocolOf(p).key == key) {
      return p;
    }
  }
  return std::nullopt;
}

void SeriesSums::add(const SeriesReading &r) {
  ++count;
  systolic += r.systolic;
  diastolic += r.diastolic;
  pulse += r.pulse;
}

QString TimeText(int minutes) {
  return QStringLiteral("%1:%2")
      .arg(minutes / 60, 2, 10, QLatin1Char('0'))
      .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

std::optional<qint64> MeanTenths(qint64 sum, qint64 count) {
  if (count <= 0) {
    return std::nullopt;
  }
  // sum / count in tenths, rounded half away from zero, in whole numbers so
  // that 134,95 is never taken for 134,9499...
  const qint64 scaled = sum * 10;
  const qint64 magnitude = (2 * (scaled < 0 ? -scaled : scaled) + count) / (2 * count);
  return scaled < 0 ? -magnitude : magnitude;
}

QString FrenchTenths(std::optional<qint64> tenths) {
  if (!tenths) {
    return QString();
  }
  const qint64 v = *tenths;
  const qint64 magnitude = v < 0 ? -v : v;
  return (v < 0 ? QStringLiteral("-") : QString()) + QString::number(magnitude / 10) + u',' +
         QString::number(magnitude % 10);
}

QString ReadingProblem(const Reading &reading, DayPeriod period, SeriesReading *out) {
  SeriesReading r;
  r.period = period;
  // The reading holds canonical dates and times as numbers already.
  const std::optional<QDate> date = reading.date();
  if (!date) {
    return QStringLiteral("date illisible");
  }
  r.date = *date;
  const std::optional<int> minutes = reading.minutes();
  if (!minutes) {
    return QStringLiteral("heure illisible");
  }
  r.minutes = *minutes;
  const struct {
    int cell;
    int *value;
    const char *reason;
  } values[] = {{Reading::Systolic, &r.systolic, "systolique illisible"},
                {Reading::Diastolic, &r.diastolic, "diastolique illisible"},
                {Reading::Pulse, &r.pulse, "pouls illisible"}};
  for (const auto &v : values) {
    // A canonical number is held as one; "0120" and the like are read here.
    const std::optional<qint64> held = reading.number(v.cell);
    const std::optional<int> number = held && *held >= -999999999 && *held <= 999999999
                                          ? std::optional(int(*held))
                                          : CellNumber(reading[v.cell]);
    if (!number) {
      return QString::fromUtf8(v.reason);
    }
    *v.value = *number;
  }
  if (!Plausible(r)) {
    return QStringLiteral("valeurs invraisemblables");
  }
  if (out) {
    *out = r;
  }
  return QString();
}

std::optional<QDate> DefaultSeriesStart(const std::vector<Reading> &matin,
                                        const std::vector<Reading> &soir, Protocol protocol) {
  std::optional<QDate> latest;
  for (const std::vector<Reading> *list : {&matin, &soir}) {
    for (const Reading &reading : *list) {
      SeriesReading r;
      if (ReadingProblem(reading, DayPeriod::Matin, &r).isEmpty() &&
          (!latest || r.date > *latest)) {
        latest = r.date;
      }
    }
  }
  if (!latest) {
    return std::nullopt;
  }
  return latest->addDays(-(ProtocolOf(protocol).days - 1));
}

SeriesResult ComputeSeries(const std::vector<Reading> &matin, const std::vector<Reading> &soir,
                           Protocol protocol, QDate start) {
  const ProtocolInfo &info = ProtocolOf(protocol);
  SeriesResult series;
  series.protocol = protocol;
  series.start = start;
  series.end = start.addDays(info.days - 1);
  for (int d = 0; d < info.days; ++d) {
    SeriesDay day;
    day.date = start.addDays(d);
    day.counts = d >= info.firstCounted;
    series.days.push_back(std::move(day));
  }

  struct Session {
    const std::vector<Reading> *list;
    DayPeriod period;
    std::vector<SeriesReading> SeriesDay::*kept;
    SeriesSums SeriesResult::*sums;
  };
  const Session sessions[] = {
      {&matin, DayPeriod::Matin, &SeriesDay::morning, &SeriesResult::morning},
      {&soir, DayPeriod::Soir, &SeriesDay::evening, &SeriesResult::evening},
  };
  for (const Session &session : sessions) {
    std::vector<std::vector<std::pair<SeriesReading, const Reading *>>> candidates(
        size_t(info.days));
    for (const Reading &reading : *session.list) {
      SeriesReading r;
      const QString problem = ReadingProblem(reading, session.period, &r);
      const auto exclude = [&](const QString &reason) {
        series.excluded.push_back(
            {reading[Reading::Date], reading[Reading::Time], session.period, reason});
      };
      if (problem == QStringLiteral("date illisible")) {
        exclude(problem); // it may belong to the series: it is listed
        continue;
      }
      const QDate date = reading.date().value_or(QDate());
      if (date < series.start || date > series.end) {
        continue;
      }
      if (!problem.isEmpty()) {
        exclude(problem);
        continue;
      }
      candidates[size_t(series.start.daysTo(date))].push_back({r, &reading});
    }
    // Each session keeps its first readings in time order; the others are
    // shown as not counted.
    for (size_t d = 0; d < candidates.size(); ++d) {
      auto &list = candidates[d];
      std::stable_sort(list.begin(), list.end(), [](const auto &a, const auto &b) {
        return a.first.minutes < b.first.minutes;
      });
      SeriesDay &day = series.days[d];
      for (size_t i = 0; i < list.size(); ++i) {
        const SeriesReading &r = list[i].first;
        if (int(i) >= info.perSession) {
          series.excluded.push_back({(*list[i].second)[Reading::Date],
                                     (*list[i].second)[Reading::Time], session.period,
                                     QStringLiteral("non retenue")});
          continue;
        }
        (day.*session.kept).push_back(r);
        day.sums.add(r);
        if (day.counts) {
          series.all.add(r);
          (series.*session.sums).add(r);
        }
      }
    }
  }

  // Enough readings, spread as the protocol asks, for a verdict.
  bool spread = true;
  if (protocol == Protocol::Rule3) {
    for (const SeriesDay &day : series.days) {
      spread = spread && !day.morning.empty() && !day.evening.empty();
    }
  } else {
    const auto measured = std::count_if(series.days.begin(), series.days.end(),
                                        [](const auto &d) { return d.counts && d.sums.count > 0; });
    spread = measured >= 3;
  }
  if (series.all.count < info.minimum || !spread) {
    series.verdict = Verdict::Incomplete;
  } else {
    // The shown (rounded) means decide, so that the verdict and what the
    // doctor reads never disagree.
    const qint64 s = *MeanTenths(series.all.systolic, series.all.count);
    const qint64 d = *MeanTenths(series.all.diastolic, series.all.count);
    series.verdict = s >= kSystolicThresholdTenths || d >= kDiastolicThresholdTenths
                         ? Verdict::Above
                         : Verdict::Below;
  }
  return series;
}

QStringList VerdictLines(const SeriesResult &series) {
  QStringList lines;
  switch (series.verdict) {
  case Verdict::Incomplete:
    lines << QStringLiteral("Relevé incomplet : %1 mesures retenues sur %2 attendues.")
                 .arg(series.all.count)
                 .arg(series.expected());
    break;
  case Verdict::Above:
    lines << QStringLiteral("Moyenne égale ou supérieure au seuil de l'automesure (135/85 mmHg) : "
                            "montrez ce relevé à votre médecin.");
    break;
  case Verdict::Below:
    lines << QStringLiteral("Moyenne inférieure au seuil de l'automesure (135/85 mmHg).");
    break;
  }
  lines << QStringLiteral("Tensiolog n'est pas un dispositif médical : seul votre médecin peut "
                          "interpréter ces mesures.");
  return lines;
}

} // namespace tl
