#include "series/series.h"

#include "measurements/context_texts.h"

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

bool PlausiblePressures(const SeriesReading &r) {
  return r.systolic >= 50 && r.systolic <= 300 && r.diastolic >= 30 && r.diastolic <= 200 &&
         r.diastolic < r.systolic;
}

bool PlausiblePulse(const SeriesReading &r) { return r.pulse >= 25 && r.pulse <= 250; }

// "1er jour", "2e jour".
QString DayOrdinal(int index) {
  return index == 0 ? QStringLiteral("1er jour") : QStringLiteral("%1e jour").arg(index + 1);
}

QString MomentWord(DayPeriod moment) {
  return moment == DayPeriod::Matin ? QStringLiteral("matin") : QStringLiteral("soir");
}

// The readings of a list countable at their own time of day.
template <typename Visit>
void ForEachMomentReading(const std::vector<Reading> &list, DayPeriod period, Visit &&visit) {
  for (const Reading &reading : list) {
    SeriesReading r;
    if (ReadingProblem(reading, period, &r).isEmpty() && MomentOfTime(r.minutes) == period) {
      visit(r);
    }
  }
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

std::optional<DayPeriod> MomentOfTime(int minutes) {
  if (minutes >= 6 * 60 + 1 && minutes <= 12 * 60) {
    return DayPeriod::Matin;
  }
  if (minutes >= 18 * 60 + 1 && minutes <= 23 * 60 + 59) {
    return DayPeriod::Soir;
  }
  return std::nullopt;
}

QString ExcludedReading::valuesText() const {
  if (systolic.isEmpty() && diastolic.isEmpty() && pulse.isEmpty()) {
    return QString();
  }
  return QStringLiteral("%1/%2, pouls %3").arg(systolic, diastolic, pulse);
}

ExcludedReading MakeExcluded(const Reading &reading, DayPeriod list, const QString &reason) {
  ExcludedReading e;
  e.date = reading[Reading::Date];
  e.time = reading[Reading::Time];
  e.systolic = reading[Reading::Systolic];
  e.diastolic = reading[Reading::Diastolic];
  e.pulse = reading[Reading::Pulse];
  e.period = list;
  e.reason = reason;
  e.day = reading.date().value_or(QDate());
  e.minutes = reading.minutes().value_or(-1);
  return e;
}

void SortExcluded(std::vector<ExcludedReading> &excluded) {
  std::stable_sort(excluded.begin(), excluded.end(), [](const auto &a, const auto &b) {
    if (a.day.isValid() != b.day.isValid()) {
      return a.day.isValid();
    }
    return a.day != b.day ? a.day < b.day : a.minutes < b.minutes;
  });
}

int SeriesResult::firstCountedDay() const {
  for (size_t d = 0; d < days.size(); ++d) {
    if (days[d].counts) {
      return int(d);
    }
  }
  return int(days.size());
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
  if (!PlausiblePressures(r)) {
    return QStringLiteral("valeurs invraisemblables (%1/%2)").arg(r.systolic).arg(r.diastolic);
  }
  if (!PlausiblePulse(r)) {
    return QStringLiteral("valeurs invraisemblables (pouls %1)").arg(r.pulse);
  }
  if (out) {
    *out = r;
  }
  return QString();
}

std::optional<QDate> DefaultSeriesStart(const std::vector<Reading> &matin,
                                        const std::vector<Reading> &soir, Protocol protocol) {
  std::optional<QDate> latest;
  const auto lists = {std::pair{&matin, DayPeriod::Matin}, std::pair{&soir, DayPeriod::Soir}};
  for (const auto &[list, period] : lists) {
    ForEachMomentReading(*list, period, [&](const SeriesReading &r) {
      if (!latest || r.date > *latest) {
        latest = r.date;
      }
    });
  }
  if (!latest) {
    return std::nullopt;
  }
  const QDate start = latest->addDays(-(ProtocolOf(protocol).days - 1));
  if (ProtocolOf(protocol).firstCounted == 0) {
    return start;
  }
  // The European series begins on the first day measured: its window holds
  // the latest day all the same.
  QDate first = *latest;
  for (const auto &[list, period] : lists) {
    ForEachMomentReading(*list, period, [&](const SeriesReading &r) {
      if (r.date >= start && r.date < first) {
        first = r.date;
      }
    });
  }
  return first;
}

SeriesResult ComputeSeries(const std::vector<Reading> &matin, const std::vector<Reading> &soir,
                           Protocol protocol, QDate start, const ReadingContexts *contexts) {
  const ProtocolInfo &info = ProtocolOf(protocol);
  const ContextLookup lookup(contexts);
  SeriesResult series;
  series.protocol = protocol;
  series.windowStart = start;
  series.start = start;
  if (info.firstCounted > 0) {
    // The European protocol's day 1 is the patient's first day measured in
    // the window; its days follow from there.
    const QDate windowEnd = start.addDays(info.days - 1);
    std::optional<QDate> first;
    for (const auto &[list, period] :
         {std::pair{&matin, DayPeriod::Matin}, std::pair{&soir, DayPeriod::Soir}}) {
      ForEachMomentReading(*list, period, [&](const SeriesReading &r) {
        if (r.date >= start && r.date <= windowEnd && (!first || r.date < *first)) {
          first = r.date;
        }
      });
    }
    series.start = first.value_or(start);
  }
  series.end = series.start.addDays(info.days - 1);

  struct Candidate {
    SeriesReading r;
    const Reading *reading;
  };
  struct Moment {
    const std::vector<Reading> *list;
    DayPeriod period;
    std::vector<SeriesReading> SeriesDay::*kept;
    SeriesSums SeriesResult::*sums;
    std::vector<Candidate> candidates;
  };
  Moment moments[] = {
      {&matin, DayPeriod::Matin, &SeriesDay::morning, &SeriesResult::morning, {}},
      {&soir, DayPeriod::Soir, &SeriesDay::evening, &SeriesResult::evening, {}},
  };
  for (Moment &moment : moments) {
    for (const Reading &reading : *moment.list) {
      SeriesReading r;
      const QString problem = ReadingProblem(reading, moment.period, &r);
      const auto exclude = [&](const QString &reason) {
        series.excluded.push_back(MakeExcluded(reading, moment.period, reason));
        series.excluded.back().context = lookup.find(moment.period, reading);
      };
      if (problem == QStringLiteral("date illisible")) {
        exclude(problem); // it may belong to the series: it is listed
        continue;
      }
      // Readings of the window before the first day measured are listed too.
      const QDate date = reading.date().value_or(QDate());
      if (date < series.windowStart || date > series.end) {
        continue;
      }
      if (!problem.isEmpty()) {
        exclude(problem);
        continue;
      }
      // The time decides the moment; a list that says otherwise is not
      // taken on trust.
      const std::optional<DayPeriod> byTime = MomentOfTime(r.minutes);
      if (!byTime) {
        exclude(QStringLiteral("hors des plages matin/soir"));
        continue;
      }
      if (*byTime != moment.period) {
        exclude(QStringLiteral("heure hors période (liste %1, %2)")
                    .arg(PeriodInfo(moment.period).name, TimeText(r.minutes)));
        continue;
      }
      r.context = lookup.find(moment.period, reading);
      moment.candidates.push_back({r, &reading});
    }
  }

  const int dayCount = info.days;
  for (int d = 0; d < dayCount; ++d) {
    SeriesDay day;
    day.date = series.start.addDays(d);
    day.counts = d >= info.firstCounted;
    series.days.push_back(std::move(day));
  }

  for (Moment &moment : moments) {
    std::vector<std::vector<Candidate>> byDay(static_cast<size_t>(dayCount));
    for (const Candidate &c : moment.candidates) {
      byDay[size_t(series.start.daysTo(c.r.date))].push_back(c);
    }
    // Each session keeps its first readings in time order; the others are
    // shown as not counted.
    for (size_t d = 0; d < byDay.size(); ++d) {
      auto &list = byDay[d];
      std::stable_sort(list.begin(), list.end(),
                       [](const auto &a, const auto &b) { return a.r.minutes < b.r.minutes; });
      SeriesDay &day = series.days[d];
      for (size_t i = 0; i < list.size(); ++i) {
        const SeriesReading &r = list[i].r;
        if (int(i) >= info.perSession) {
          series.excluded.push_back(
              MakeExcluded(*list[i].reading, moment.period, QStringLiteral("surnuméraire")));
          series.excluded.back().context = r.context;
          continue;
        }
        (day.*moment.kept).push_back(r);
        day.sums.add(r);
        if (day.counts) {
          series.all.add(r);
          (series.*moment.sums).add(r);
        }
      }
    }
  }
  SortExcluded(series.excluded);
  if (!lookup.isEmpty()) {
    for (const SeriesDay &day : series.days) {
      for (const auto *kept : {&day.morning, &day.evening}) {
        series.irregular += std::count_if(kept->begin(), kept->end(),
                                          [](const SeriesReading &r) { return r.irregular(); });
      }
    }
    series.irregular += std::count_if(series.excluded.begin(), series.excluded.end(),
                                      [](const ExcludedReading &e) { return e.irregular(); });
  }

  for (size_t d = 0; d < series.days.size(); ++d) {
    const SeriesDay &day = series.days[d];
    if (!day.counts) {
      continue;
    }
    for (const auto &[kept, moment] :
         {std::pair{&day.morning, DayPeriod::Matin}, std::pair{&day.evening, DayPeriod::Soir}}) {
      if (int(kept->size()) < info.perSession) {
        series.missing.push_back({int(d), moment, info.perSession - int(kept->size())});
      }
    }
  }

  // Enough readings, mornings and evenings, for a verdict.
  if (series.all.count < info.minimum || series.morning.count == 0 || series.evening.count == 0) {
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

QString MissingText(const SeriesResult &series) {
  QStringList items;
  for (const MissingMoment &m : series.missing) {
    items << QStringLiteral("%1 du %2 (%3)")
                 .arg(MomentWord(m.moment), DayOrdinal(m.day))
                 .arg(m.count);
  }
  return items.join(QStringLiteral(", "));
}

QString ComplianceLine(const SeriesResult &series) {
  const QString counted =
      QStringLiteral("%1 mesures sur %2 attendues").arg(series.all.count).arg(series.expected());
  const QString missing = MissingText(series);
  return missing.isEmpty() ? counted + u'.'
                           : counted + QStringLiteral("; manquent : ") + missing + u'.';
}

QStringList VerdictLines(const SeriesResult &series) {
  QStringList lines;
  switch (series.verdict) {
  case Verdict::Incomplete: {
    if (series.all.count < series.minimum()) {
      lines << QStringLiteral("Relevé incomplet : %1 mesures retenues sur %2 attendues, il en faut "
                              "au moins %3 pour conclure.")
                   .arg(series.all.count)
                   .arg(series.expected())
                   .arg(series.minimum());
    } else {
      lines << QStringLiteral("Relevé incomplet : %1 mesures retenues, mais aucune %2 ; il faut "
                              "des mesures du matin et du soir pour conclure.")
                   .arg(series.all.count)
                   .arg(series.morning.count == 0 ? QStringLiteral("le matin")
                                                  : QStringLiteral("le soir"));
    }
    const QString missing = MissingText(series);
    if (!missing.isEmpty()) {
      lines << QStringLiteral("Manquent : ") + missing + u'.';
    }
    break;
  }
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
