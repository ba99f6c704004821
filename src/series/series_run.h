#pragma once

// A series under way: the protocol a patient follows from a start day, the
// usual times of their morning and evening sessions (for the reminders), and
// whether it still runs. From it and the readings filed so far: where the
// series stands today, what is left to measure, and when to remind.

#include "series/series.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace tl {

enum class RunState { Running, Finished, Stopped };

inline constexpr int kDefaultMorningTime = 7 * 60 + 30;
inline constexpr int kDefaultEveningTime = 21 * 60;

struct SeriesRun {
  Protocol protocol = kDefaultProtocol;
  QDate start;
  int morningTime = kDefaultMorningTime; // minutes since midnight
  int eveningTime = kDefaultEveningTime;
  RunState state = RunState::Running;
  bool operator==(const SeriesRun &) const = default;
};

// Kept per patient in the preferences as "regle223,2026-12-07,0730,2100,en_cours"
// (then "terminee" or "arretee").
QString SeriesRunText(const SeriesRun &run);
// Nothing when the text cannot be read.
std::optional<SeriesRun> SeriesRunFromText(QStringView text);

// "2-2-3", "règle des 3", "7 jours".
QString ProtocolShortName(Protocol protocol);

// One morning or evening session of a day of the series.
struct SessionDue {
  QDate day;
  DayPeriod moment = DayPeriod::Matin; // Matin or Soir
  int done = 0;                        // readings the series keeps for it
  int wanted = 0;                      // the protocol's readings per session
  QDateTime opens, closes;             // its window, both ends included
  int left() const { return wanted > done ? wanted - done : 0; }
  bool operator==(const SessionDue &) const = default;
};

struct SeriesProgress {
  SeriesResult series;
  // The session day of "now" (a reading after midnight may still belong to
  // the evening before), and its number in the series, 1 for the first day;
  // 0 before the series starts.
  QDate today;
  int dayNumber = 0;
  // The days the series asks for so far: the protocol's length, or for the
  // 2-2-3 rule 3 days, more when days were measured beyond them, 7 when the
  // mean asks to go on.
  int plannedDays = 0;
  // Nothing is left to measure: every planned session is done or over.
  bool complete = false;
  // Every session of the planned days, in time order.
  std::vector<SessionDue> sessions;
  // Today's sessions, when today is a day of the series.
  std::optional<SessionDue> morning, evening;
  // The session open now (its window holds the present time) with readings
  // left, else none: what "Mesurer maintenant" completes.
  std::optional<SessionDue> dueNow;
  // The next session with readings left whose window has not ended.
  std::optional<SessionDue> next;
};

// Where `run` stands at `now` over the four lists, the sessions told apart
// by `windows`.
SeriesProgress ProgressOf(const SeriesRun &run, const SeriesLists &lists,
                          const SessionWindows &windows, const QDateTime &now,
                          const ReadingContexts *contexts = nullptr);

// The main window's line: « Série 2-2-3 commencée le 07/12 — jour 3 sur 3
// (7 au plus) — matin : 2/2 ✓ — ce soir : 2 mesures à faire »; once the
// series is complete, its mean, its verdict against 135/85 and its ESC
// category, then, on a second line, the not-a-medical-device sentence.
QStringList ProgressLines(const SeriesRun &run, const SeriesProgress &progress,
                          const QDateTime &now);

// "2 mesures à faire", "1 mesure à faire".
QString ReadingsLeftText(int left);

// A reminder of a session: its time and its text (« Mesure du soir : 2
// mesures à faire »).
struct Reminder {
  QDateTime at;
  SessionDue session;
  QString text() const;
};

// The session time of `due` from the run's usual times.
QDateTime ReminderTime(const SeriesRun &run, const SessionDue &due);
// The reminder whose time falls in (from, to] and whose session still has
// readings left and an open window at `to`; the latest one when several.
std::optional<Reminder> ReminderBetween(const SeriesRun &run, const SeriesProgress &progress,
                                        const QDateTime &from, const QDateTime &to);
// The next reminder after `now`, or none.
std::optional<Reminder> NextReminder(const SeriesRun &run, const SeriesProgress &progress,
                                     const QDateTime &now);

} // namespace tl
