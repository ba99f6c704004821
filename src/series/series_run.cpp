#include "series/series_run.h"

#include <QStringList>
#include <algorithm>

namespace tl {

namespace {

const QString kStateWords[] = {QStringLiteral("en_cours"), QStringLiteral("terminee"),
                               QStringLiteral("arretee")};

QString Hhmm(int minutes) {
  return QStringLiteral("%1%2")
      .arg(minutes / 60, 2, 10, QChar(u'0'))
      .arg(minutes % 60, 2, 10, QChar(u'0'));
}

std::optional<int> FromHhmm(QStringView text) {
  if (text.size() != 4) {
    return std::nullopt;
  }
  bool ok = false;
  const int value = text.toInt(&ok);
  if (!ok || value < 0 || value / 100 > 23 || value % 100 > 59) {
    return std::nullopt;
  }
  return value / 100 * 60 + value % 100;
}

QString DayMonth(QDate day) { return day.toString(QStringLiteral("dd/MM")); }

QDateTime At(QDate day, int minutes) {
  return QDateTime(day.addDays(minutes / (24 * 60)),
                   QTime(0, 0).addSecs((minutes % (24 * 60)) * 60));
}

QString MomentWord(DayPeriod moment) {
  return moment == DayPeriod::Matin ? QStringLiteral("matin") : QStringLiteral("soir");
}

// "matin : 2/2 ✓", "ce soir : 2 mesures à faire", "soir : 1/2".
QString SessionText(const SessionDue &due, const QDateTime &now) {
  const QString word = MomentWord(due.moment);
  if (due.left() == 0) {
    return QStringLiteral("%1 : %2/%3 ✓").arg(word).arg(due.done).arg(due.wanted);
  }
  if (now > due.closes) {
    return QStringLiteral("%1 : %2/%3").arg(word).arg(due.done).arg(due.wanted);
  }
  return QStringLiteral("ce %1 : %2").arg(word, ReadingsLeftText(due.left()));
}

// "demain matin : 2 mesures à faire", "matin du 09/12 : 2 mesures à faire".
QString NextText(const SessionDue &next, QDate today) {
  QString when;
  if (next.day == today.addDays(1)) {
    when = QStringLiteral("demain ") + MomentWord(next.moment);
  } else if (next.day == today) {
    when = QStringLiteral("ce ") + MomentWord(next.moment);
  } else {
    when = MomentWord(next.moment) + QStringLiteral(" du ") + DayMonth(next.day);
  }
  return when + QStringLiteral(" : ") + ReadingsLeftText(next.left());
}

// "moyenne 128,4/79,0 mmHg sur 12 mesures — inférieure au seuil de 135/85
// mmHg — catégorie ESC 2024 : tension élevée", or what is missing.
QString ResultText(const SeriesResult &series) {
  if (series.verdict == Verdict::Incomplete) {
    return QStringLiteral("relevé incomplet : %1 mesures retenues sur %2 attendues")
        .arg(series.all.count)
        .arg(series.expected());
  }
  QString text = QStringLiteral("moyenne %1/%2 mmHg sur %3 mesures, ")
                     .arg(FrenchTenths(MeanTenths(series.all.systolic, series.all.count)),
                          FrenchTenths(MeanTenths(series.all.diastolic, series.all.count)))
                     .arg(series.all.count);
  text += series.verdict == Verdict::Above
              ? QStringLiteral("égale ou supérieure au seuil de 135/85 mmHg : montrez ce relevé "
                               "à votre médecin")
              : QStringLiteral("inférieure au seuil de 135/85 mmHg");
  if (series.category) {
    text += QStringLiteral(" — ESC 2024 : ") + HomeCategoryName(*series.category);
  }
  return text;
}

} // namespace

QString SeriesRunText(const SeriesRun &run) {
  return QStringLiteral("%1,%2,%3,%4,%5")
      .arg(ProtocolOf(run.protocol).key, run.start.toString(Qt::ISODate), Hhmm(run.morningTime),
           Hhmm(run.eveningTime), kStateWords[int(run.state)]);
}

std::optional<SeriesRun> SeriesRunFromText(QStringView text) {
  const QList<QStringView> parts = text.split(u',');
  if (parts.size() != 5) {
    return std::nullopt;
  }
  SeriesRun run;
  const std::optional<Protocol> protocol = ProtocolFromKey(parts[0].trimmed());
  run.start = QDate::fromString(parts[1].trimmed().toString(), Qt::ISODate);
  const std::optional<int> morning = FromHhmm(parts[2].trimmed());
  const std::optional<int> evening = FromHhmm(parts[3].trimmed());
  const auto state = std::find(std::begin(kStateWords), std::end(kStateWords), parts[4].trimmed());
  if (!protocol || !run.start.isValid() || !morning || !evening || state == std::end(kStateWords)) {
    return std::nullopt;
  }
  run.protocol = *protocol;
  run.morningTime = *morning;
  run.eveningTime = *evening;
  run.state = RunState(state - std::begin(kStateWords));
  return run;
}

QString ProtocolShortName(Protocol protocol) {
  switch (protocol) {
  case Protocol::Rule3:
    return QStringLiteral("règle des 3");
  case Protocol::European7:
    return QStringLiteral("7 jours");
  case Protocol::Rule223:
    break;
  }
  return QStringLiteral("2-2-3");
}

QString ReadingsLeftText(int left) {
  return left == 1 ? QStringLiteral("1 mesure à faire")
                   : QStringLiteral("%1 mesures à faire").arg(left);
}

SeriesProgress ProgressOf(const SeriesRun &run, const SeriesLists &lists,
                          const SessionWindows &given, const QDateTime &now,
                          const ReadingContexts *contexts) {
  const ProtocolInfo &info = ProtocolOf(run.protocol);
  const SessionWindows windows = ClampedWindows(given);
  SeriesProgress p;
  p.series = ComputeSeries(lists, run.protocol, run.start, windows, contexts);
  const SeriesResult &series = p.series;

  const int nowMinutes = now.time().hour() * 60 + now.time().minute();
  int offset = 0;
  MomentOfTime(nowMinutes, windows, &offset);
  p.today = now.date().addDays(offset);

  const QDate first = series.start.isValid() ? series.start : run.start;
  p.dayNumber = first <= p.today ? int(first.daysTo(p.today)) + 1 : 0;
  p.plannedDays = info.days;
  if (info.minDays < info.days && !series.extend) {
    p.plannedDays = std::max(info.minDays, int(series.days.size()));
  }

  bool open = false;
  for (int d = 0; d < p.plannedDays; ++d) {
    const QDate day = first.addDays(d);
    for (DayPeriod moment : {DayPeriod::Matin, DayPeriod::Soir}) {
      SessionDue due;
      due.day = day;
      due.moment = moment;
      due.wanted = info.perSession;
      if (size_t(d) < series.days.size()) {
        const SeriesDay &kept = series.days[size_t(d)];
        due.done = int((moment == DayPeriod::Matin ? kept.morning : kept.evening).size());
      }
      const bool morning = moment == DayPeriod::Matin;
      due.opens = At(day, morning ? windows.morningStart : windows.eveningStart);
      // The end minute is included: the window closes at its last second.
      due.closes = At(day, morning ? windows.morningEnd : windows.eveningEnd).addSecs(59);
      if (due.left() > 0 && now <= due.closes) {
        open = true;
        if (!p.next) {
          p.next = due;
        }
        if (now >= due.opens && !p.dueNow) {
          p.dueNow = due;
        }
      }
      if (day == p.today) {
        (morning ? p.morning : p.evening) = due;
      }
      p.sessions.push_back(std::move(due));
    }
  }
  p.complete = !open;
  return p;
}

QStringList ProgressLines(const SeriesRun &run, const SeriesProgress &p, const QDateTime &now) {
  const SeriesResult &series = p.series;
  const QString name = QStringLiteral("Série ") + ProtocolShortName(run.protocol);
  const QDate first = series.start.isValid() ? series.start : run.start;
  QStringList parts;
  const bool over = run.state != RunState::Running || p.complete;
  if (over) {
    const QDate last = p.sessions.empty() ? first : p.sessions.back().day;
    if (run.state == RunState::Stopped) {
      parts << name + QStringLiteral(" commencée le %1, arrêtée").arg(DayMonth(run.start));
    } else {
      parts << name + QStringLiteral(" du %1 au %2 terminée").arg(DayMonth(first), DayMonth(last));
    }
    parts << ResultText(series);
    QStringList lines{parts.join(QStringLiteral(" — "))};
    if (series.verdict != Verdict::Incomplete) {
      lines << QStringLiteral("Ce classement n'est pas un diagnostic ; Tensiolog n'est pas un "
                              "dispositif médical.");
    }
    return lines;
  }

  if (p.dayNumber == 0) {
    parts << name + QStringLiteral(" prévue à partir du %1").arg(DayMonth(run.start));
  } else {
    parts << name + QStringLiteral(" commencée le %1").arg(DayMonth(run.start));
    QString day = QStringLiteral("jour %1 sur %2").arg(p.dayNumber).arg(p.plannedDays);
    const ProtocolInfo &info = ProtocolOf(run.protocol);
    if (p.plannedDays < info.days) {
      day += QStringLiteral(" (%1 au plus)").arg(info.days);
    }
    if (p.dayNumber <= info.firstCounted) {
      day += QStringLiteral(" (non compté)");
    }
    parts << day;
  }
  bool todayOpen = false;
  for (const std::optional<SessionDue> &due : {p.morning, p.evening}) {
    if (due) {
      parts << SessionText(*due, now);
      todayOpen = todayOpen || (due->left() > 0 && now <= due->closes);
    }
  }
  if (!todayOpen && p.next) {
    parts << NextText(*p.next, p.today);
  }
  return {parts.join(QStringLiteral(" — "))};
}

QString Reminder::text() const {
  return QStringLiteral("Mesure du %1 : %2")
      .arg(MomentWord(session.moment), ReadingsLeftText(session.left()));
}

QDateTime ReminderTime(const SeriesRun &run, const SessionDue &due) {
  if (due.moment == DayPeriod::Matin) {
    return At(due.day, run.morningTime);
  }
  // An evening time after midnight is the next day's.
  return At(due.day, run.eveningTime < 12 * 60 ? run.eveningTime + 24 * 60 : run.eveningTime);
}

std::optional<Reminder> ReminderBetween(const SeriesRun &run, const SeriesProgress &progress,
                                        const QDateTime &from, const QDateTime &to) {
  if (run.state != RunState::Running) {
    return std::nullopt;
  }
  std::optional<Reminder> found;
  for (const SessionDue &due : progress.sessions) {
    const QDateTime at = ReminderTime(run, due);
    if (due.left() > 0 && at > from && at <= to && to <= due.closes) {
      found = Reminder{at, due};
    }
  }
  return found;
}

std::optional<Reminder> NextReminder(const SeriesRun &run, const SeriesProgress &progress,
                                     const QDateTime &now) {
  if (run.state != RunState::Running) {
    return std::nullopt;
  }
  for (const SessionDue &due : progress.sessions) {
    const QDateTime at = ReminderTime(run, due);
    if (due.left() > 0 && at > now && at <= due.closes) {
      return Reminder{at, due};
    }
  }
  return std::nullopt;
}

} // namespace tl
