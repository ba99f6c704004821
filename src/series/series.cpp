#include "series/series.h"

#include "measurements/context_texts.h"

#include <algorithm>
#include <array>
#include <set>

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

} // namespace

const ProtocolInfo &ProtocolOf(Protocol protocol) {
  static const std::array<ProtocolInfo, 3> table = {{
      {Protocol::Rule3, QStringLiteral("regle3"),
       QStringLiteral("Règle des 3 : 3 jours, 3 mesures le matin et 3 le soir"), 3, 3, 3, 0, 18,
       12},
      {Protocol::European7, QStringLiteral("esh7"),
       QStringLiteral("Protocole européen : 7 jours, 2 mesures le matin et 2 le soir"), 7, 7, 2, 1,
       24, 12},
      {Protocol::Rule223, QStringLiteral("regle223"),
       QStringLiteral("Règle des 2-2-3 (ESC 2024) : 2 mesures le matin et 2 le soir, 3 à 7 jours"),
       7, 3, 2, 0, 28, 12},
  }};
  return table[size_t(protocol)];
}

std::optional<Protocol> ProtocolFromKey(QStringView key) {
  for (Protocol p : kProtocols) {
    if (ProtocolOf(p).key == key) {
      return p;
    }
  }
  return std::nullopt;
}

int ProtocolIndex(Protocol protocol) {
  for (size_t i = 0; i < std::size(kProtocols); ++i) {
    if (kProtocols[i] == protocol) {
      return int(i);
    }
  }
  return 0;
}

SessionWindows ClampedWindows(SessionWindows windows) {
  const SessionWindows defaults;
  windows.morningStart =
      std::clamp(windows.morningStart, kEarliestMorningStart, defaults.morningStart);
  windows.eveningEnd = std::clamp(windows.eveningEnd, defaults.eveningEnd, kLatestEveningEnd);
  windows.morningEnd = defaults.morningEnd;
  windows.eveningStart = defaults.eveningStart;
  return windows;
}

QString MorningWindowText(const SessionWindows &windows) {
  return TimeText(windows.morningStart) + u'-' + TimeText(windows.morningEnd);
}

QString EveningWindowText(const SessionWindows &windows) {
  return TimeText(windows.eveningStart) + u'-' + TimeText(windows.eveningEnd % (24 * 60));
}

QString WindowsSentence(const SessionWindows &windows) {
  return QStringLiteral("Plages des séances : matin %1, soir %2%3.")
      .arg(MorningWindowText(windows), EveningWindowText(windows),
           windows.eveningEnd >= 24 * 60 ? QStringLiteral(" le lendemain") : QString());
}

namespace {

QString Hhmm(int minutes) {
  minutes %= 24 * 60;
  return QStringLiteral("%1%2")
      .arg(minutes / 60, 2, 10, QLatin1Char('0'))
      .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

std::optional<int> FromHhmm(QStringView text) {
  if (text.size() != 4) {
    return std::nullopt;
  }
  for (QChar c : text) {
    if (!(c.isDigit() && c.unicode() < 128)) {
      return std::nullopt;
    }
  }
  const int hours = text.first(2).toInt();
  const int minutes = text.sliced(2).toInt();
  if (hours > 23 || minutes > 59) {
    return std::nullopt;
  }
  return hours * 60 + minutes;
}

} // namespace

QString SeriesSettingsText(const SeriesSettings &settings) {
  const SessionWindows w = ClampedWindows(settings.windows);
  return ProtocolOf(settings.protocol).key + u',' + Hhmm(w.morningStart) + u',' +
         Hhmm(w.eveningEnd);
}

std::optional<SeriesSettings> SeriesSettingsFromText(QStringView text) {
  const QList<QStringView> parts = text.trimmed().split(u',');
  const std::optional<Protocol> protocol = ProtocolFromKey(parts.value(0).trimmed());
  if (!protocol) {
    return std::nullopt;
  }
  SeriesSettings settings;
  settings.protocol = *protocol;
  if (parts.size() == 3) {
    const std::optional<int> morning = FromHhmm(parts[1].trimmed());
    std::optional<int> evening = FromHhmm(parts[2].trimmed());
    // An end in the small hours is the next day's.
    if (evening && *evening < 2 * 60) {
      *evening += 24 * 60;
    }
    const SessionWindows defaults;
    if (morning && evening && *morning >= kEarliestMorningStart &&
        *morning <= defaults.morningStart && *evening >= defaults.eveningEnd &&
        *evening <= kLatestEveningEnd) {
      settings.windows.morningStart = *morning;
      settings.windows.eveningEnd = *evening;
    }
  }
  return settings;
}

SeriesSettings PatientSeriesSettings(QStringView entry, QStringView lastProtocol) {
  if (const std::optional<SeriesSettings> settings = SeriesSettingsFromText(entry)) {
    return *settings;
  }
  SeriesSettings settings;
  settings.protocol = ProtocolFromKey(lastProtocol.trimmed()).value_or(kDefaultProtocol);
  return settings;
}

HomeCategory HomeCategoryOf(qint64 systolicTenths, qint64 diastolicTenths) {
  if (systolicTenths >= kSystolicThresholdTenths || diastolicTenths >= kDiastolicThresholdTenths) {
    return HomeCategory::Hypertension;
  }
  if (systolicTenths >= kElevatedSystolicTenths || diastolicTenths >= kElevatedDiastolicTenths) {
    return HomeCategory::Elevated;
  }
  return HomeCategory::NonElevated;
}

HomeCategory HomeCategoryOfReading(int systolic, int diastolic) {
  return HomeCategoryOf(qint64(systolic) * 10, qint64(diastolic) * 10);
}

namespace {

// The texts of each home category, in the order of HomeCategory.
struct HomeCategoryTexts {
  const char *key;   // the JSON's word
  const char *name;  // the name shown
  const char *range; // the values it covers
};

constexpr HomeCategoryTexts kHomeCategoryTexts[] = {
    {"non_elevated", "tension non élevée", "moins de 120/70 mmHg"},
    {"elevated", "tension élevée", "120–134 / 70–84 mmHg"},
    {"hypertension", "hypertension", "135/85 mmHg ou plus"},
};
static_assert(std::size(kHomeCategoryTexts) == size_t(HomeCategory::Hypertension) + 1);

const HomeCategoryTexts &TextsOf(HomeCategory category) {
  return kHomeCategoryTexts[size_t(category)];
}

} // namespace

QString HomeCategoryKey(HomeCategory category) { return QString::fromUtf8(TextsOf(category).key); }

QString HomeCategoryName(HomeCategory category) {
  return QString::fromUtf8(TextsOf(category).name);
}

QString HomeCategorySentence(HomeCategory category) {
  return QStringLiteral("moyenne dans la zone « %1 » (%2) des recommandations ESC 2024")
      .arg(HomeCategoryName(category), QString::fromUtf8(TextsOf(category).range));
}

std::optional<DayPeriod> MomentOfTime(int minutes, const SessionWindows &windows, int *dayOffset) {
  if (dayOffset) {
    *dayOffset = 0;
  }
  if (minutes >= windows.morningStart && minutes <= windows.morningEnd) {
    return DayPeriod::Matin;
  }
  if (minutes >= windows.eveningStart && minutes <= std::min(windows.eveningEnd, 24 * 60 - 1)) {
    return DayPeriod::Soir;
  }
  if (minutes >= 0 && minutes <= windows.eveningEnd - 24 * 60) {
    if (dayOffset) {
      *dayOffset = -1;
    }
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

namespace {

// A reading of the lists with what the series needs to know of it.
struct Entry {
  SeriesReading r;
  const Reading *reading = nullptr;
  DayPeriod list = DayPeriod::Matin;
  QString problem;                 // "" when countable
  std::optional<DayPeriod> moment; // by its time, when countable
  QDate sessionDay;                // the day whose session it belongs to
  int order = 0;                   // minutes within the session day (after midnight: + 24 h)
};

// Reads `reading` of `list`; false when its date cannot be read.
bool ReadEntry(const Reading &reading, DayPeriod list, const SessionWindows &windows,
               Entry &entry) {
  entry.reading = &reading;
  entry.list = list;
  entry.problem = ReadingProblem(reading, list, &entry.r);
  if (!entry.r.date.isValid()) {
    entry.r.date = reading.date().value_or(QDate());
  }
  if (!entry.r.date.isValid()) {
    return false;
  }
  entry.sessionDay = entry.r.date;
  if (entry.problem.isEmpty()) {
    int offset = 0;
    entry.moment = MomentOfTime(entry.r.minutes, windows, &offset);
    if (entry.moment) {
      entry.r.period = *entry.moment;
      entry.sessionDay = entry.r.date.addDays(offset);
      entry.order = entry.r.minutes - offset * 24 * 60;
    }
  }
  return true;
}

const std::vector<Reading> &ListOf(const SeriesLists &lists, DayPeriod period) {
  static const std::vector<Reading> none;
  const std::vector<Reading> *list = lists[size_t(PeriodIndex(period))];
  return list ? *list : none;
}

// The first and last session days holding a countable morning or evening
// reading from `from` to `to`.
std::optional<std::pair<QDate, QDate>> MeasuredSpan(const std::vector<Entry> &entries, QDate from,
                                                    QDate to) {
  std::optional<std::pair<QDate, QDate>> span;
  for (const Entry &e : entries) {
    if (e.moment && e.sessionDay >= from && e.sessionDay <= to) {
      if (!span) {
        span = std::pair{e.sessionDay, e.sessionDay};
      }
      span->first = std::min(span->first, e.sessionDay);
      span->second = std::max(span->second, e.sessionDay);
    }
  }
  return span;
}

} // namespace

qint64 SeriesResult::shown() const {
  qint64 count = qint64(excluded.size());
  for (const SeriesDay &day : days) {
    count += qint64(day.morning.size() + day.evening.size());
  }
  return count;
}

int SeriesResult::expected() const {
  const ProtocolInfo &info = ProtocolOf(protocol);
  const int counted = std::max(0, int(days.size()) - info.firstCounted);
  return 2 * info.perSession * (days.empty() ? info.days - info.firstCounted : counted);
}

std::optional<QDate> DefaultSeriesStart(const SeriesLists &lists, Protocol protocol,
                                        const SessionWindows &given) {
  const SessionWindows windows = ClampedWindows(given);
  std::optional<QDate> latest;
  for (DayPeriod period : kAllPeriods) {
    for (const Reading &reading : ListOf(lists, period)) {
      // Cheap tests first: most readings are older than the latest found.
      const std::optional<QDate> date = reading.date();
      const std::optional<int> minutes = reading.minutes();
      if (!date || !minutes) {
        continue;
      }
      int offset = 0;
      if (!MomentOfTime(*minutes, windows, &offset)) {
        continue;
      }
      const QDate day = date->addDays(offset);
      if ((!latest || day > *latest) && ReadingProblem(reading, period, nullptr).isEmpty()) {
        latest = day;
      }
    }
  }
  if (!latest) {
    return std::nullopt;
  }
  const ProtocolInfo &info = ProtocolOf(protocol);
  if (protocol == Protocol::Rule3) {
    return latest->addDays(-(info.days - 1));
  }
  // The other series begin on the first day measured among the seven that
  // end on the latest one.
  const QDate from = latest->addDays(-(info.days - 1));
  std::vector<Entry> entries;
  for (DayPeriod period : kAllPeriods) {
    for (const Reading &reading : ListOf(lists, period)) {
      const std::optional<QDate> date = reading.date();
      if (!date || *date < from.addDays(-1) || *date > latest->addDays(1)) {
        continue;
      }
      Entry e;
      if (ReadEntry(reading, period, windows, e)) {
        entries.push_back(std::move(e));
      }
    }
  }
  const auto span = MeasuredSpan(entries, from, *latest);
  return span ? span->first : *latest;
}

SeriesResult ComputeSeries(const SeriesLists &lists, Protocol protocol, QDate start,
                           const SessionWindows &given, const ReadingContexts *contexts) {
  const ProtocolInfo &info = ProtocolOf(protocol);
  const ContextLookup lookup(contexts);
  SeriesResult series;
  series.protocol = protocol;
  series.windows = ClampedWindows(given);
  series.windowStart = start;

  // Only the readings near the window are read whole: the European series
  // may begin up to six days after `start`, and an evening may end after
  // midnight.
  const QDate last = start.addDays(info.days - 1 + (info.firstCounted > 0 ? info.days - 1 : 0));
  std::vector<Entry> entries;
  for (DayPeriod period : kAllPeriods) {
    for (const Reading &reading : ListOf(lists, period)) {
      const std::optional<QDate> date = reading.date();
      if (date && (*date < start || *date > last.addDays(1))) {
        continue;
      }
      Entry e;
      if (!ReadEntry(reading, period, series.windows, e)) {
        // It may belong to the series: it is listed.
        series.excluded.push_back(MakeExcluded(reading, period, QStringLiteral("date illisible")));
        series.excluded.back().context = lookup.find(period, reading);
        continue;
      }
      e.r.context = lookup.find(period, reading);
      entries.push_back(std::move(e));
    }
  }

  // The days of the series.
  const QDate windowEnd = start.addDays(info.days - 1);
  series.start = start;
  if (info.firstCounted > 0) {
    // The European protocol's day 1 is the patient's first day measured in
    // the window; its days follow from there.
    if (const auto span = MeasuredSpan(entries, start, windowEnd)) {
      series.start = span->first;
    }
  }
  series.end = series.start.addDays(info.days - 1);
  if (info.minDays < info.days) {
    // The 2-2-3 rule ends on the last day measured, after 3 days at least.
    const auto span = MeasuredSpan(entries, start, windowEnd);
    const QDate shortest = start.addDays(info.minDays - 1);
    series.end = span ? std::max(span->second, shortest) : shortest;
  }
  const int dayCount = int(series.start.daysTo(series.end)) + 1;
  for (int d = 0; d < dayCount; ++d) {
    SeriesDay day;
    day.date = series.start.addDays(d);
    day.counts = d >= info.firstCounted;
    series.days.push_back(std::move(day));
  }

  // Sort each reading into its session, or list it with its reason.
  std::vector<std::vector<const Entry *>> sessions(size_t(dayCount) * 2);
  std::set<std::array<qint64, 3>> seen;
  const auto exclude = [&](const Entry &e, const QString &reason) {
    series.excluded.push_back(MakeExcluded(*e.reading, e.list, reason));
    series.excluded.back().context = e.r.context;
  };
  for (const Entry &e : entries) {
    // A reading is of the series' days by its session, or by its date when
    // it belongs to none; readings of the window before the first day
    // measured are listed too.
    const bool inSeries = e.moment && e.sessionDay >= series.start && e.sessionDay <= series.end;
    if (!inSeries) {
      if (!e.moment && e.r.date >= series.windowStart && e.r.date <= series.end) {
        exclude(e, e.problem.isEmpty() ? QStringLiteral("hors des plages matin/soir") : e.problem);
      }
      continue;
    }
    // The same date, time and values twice: the copy is not counted.
    const std::array<qint64, 3> key = {e.r.date.toJulianDay(), e.r.minutes,
                                       (qint64(e.r.systolic) << 40) ^
                                           (qint64(e.r.diastolic) << 20) ^ qint64(e.r.pulse)};
    if (!seen.insert(key).second) {
      exclude(e, QStringLiteral("en double"));
      continue;
    }
    const size_t d = size_t(series.start.daysTo(e.sessionDay));
    sessions[d * 2 + (*e.moment == DayPeriod::Matin ? 0 : 1)].push_back(&e);
  }

  // Each session keeps its first readings in time order; the others are
  // shown as not counted.
  for (size_t i = 0; i < sessions.size(); ++i) {
    auto &session = sessions[i];
    std::stable_sort(session.begin(), session.end(),
                     [](const Entry *a, const Entry *b) { return a->order < b->order; });
    SeriesDay &day = series.days[i / 2];
    const bool morning = i % 2 == 0;
    for (size_t k = 0; k < session.size(); ++k) {
      const Entry &e = *session[k];
      if (int(k) >= info.perSession) {
        exclude(e, QStringLiteral("surnuméraire"));
        continue;
      }
      (morning ? day.morning : day.evening).push_back(e.r);
      day.sums.add(e.r);
      if (day.counts) {
        series.all.add(e.r);
        (morning ? series.morning : series.evening).add(e.r);
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

  int measuredDays = 0;
  for (size_t d = 0; d < series.days.size(); ++d) {
    const SeriesDay &day = series.days[d];
    measuredDays += day.counts && (!day.morning.empty() || !day.evening.empty());
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
    return series;
  }
  // The shown (rounded) means decide, so that the verdict and what the
  // doctor reads never disagree.
  const qint64 s = *MeanTenths(series.all.systolic, series.all.count);
  const qint64 d = *MeanTenths(series.all.diastolic, series.all.count);
  series.verdict = s >= kSystolicThresholdTenths || d >= kDiastolicThresholdTenths ? Verdict::Above
                                                                                   : Verdict::Below;
  series.category = HomeCategoryOf(s, d);
  // Close to the threshold after fewer than 7 days: the guideline asks for
  // the full week. How close is this program's rule: the guideline gives
  // no number.
  series.extend = protocol == Protocol::Rule223 && measuredDays < info.days &&
                  ((s >= 1300 && s < 1400) || (d >= 800 && d < 900));
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
  if (series.category) {
    QString category = HomeCategorySentence(*series.category);
    category[0] = category[0].toUpper();
    lines << category + QStringLiteral(" ; ce classement n'est pas un diagnostic.");
  }
  if (const QString extend = ExtendSentence(series); !extend.isEmpty()) {
    lines << extend;
  }
  lines << QStringLiteral("Tensiolog n'est pas un dispositif médical : seul votre médecin peut "
                          "interpréter ces mesures.");
  return lines;
}

QString ExtendSentence(const SeriesResult &series) {
  if (!series.extend) {
    return QString();
  }
  const auto measured = std::count_if(series.days.begin(), series.days.end(), [](const auto &day) {
    return !day.morning.empty() || !day.evening.empty();
  });
  return QStringLiteral("Moyenne proche du seuil après %1 jours de mesures : les recommandations "
                        "ESC 2024 demandent de poursuivre les mesures jusqu'au 7e jour.")
      .arg(measured);
}

} // namespace tl
