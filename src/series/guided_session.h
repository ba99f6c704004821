#pragma once

// The steps of a guided measurement session: the conditions, five minutes
// seated at rest, then each reading, one minute apart. The session reads the
// time from the clock it is given and moves on when asked (tick); it never
// waits itself, so a timer or a test drives it.

#include "platform/clock.h"

#include <QDateTime>
#include <QString>

namespace tl {

class GuidedSession {
public:
  enum class Step { Conditions, Rest, Reading, Pause, Done };
  static constexpr int kRestSeconds = 5 * 60;
  static constexpr int kPauseSeconds = 60;

  // A session of `readings` readings (at least 1).
  explicit GuidedSession(int readings, const Clock &clock = tl::clock());

  Step step() const { return step_; }
  int readings() const { return readings_; }
  // The reading asked for or awaited next, 1 to readings().
  int reading() const { return reading_; }
  // Seconds left of the rest or the pause; 0 otherwise.
  int secondsLeft() const;
  QDateTime clockNow() const { return clock_.now(); }

  // Conditions checked: the rest begins.
  void startRest();
  // The rest or the pause cut short: the next reading is asked at once.
  void skipWait();
  // Moves on when the rest or the pause is over; true when the step changed.
  bool tick();
  // The reading asked for was filed: the pause before the next, or the end.
  void readingFiled();

  // Whether the rest was cut short, and how long it lasted (seconds).
  bool restShortened() const { return restTaken_ >= 0 && restTaken_ < kRestSeconds; }
  int restTaken() const { return restTaken_; }
  // « repos écourté : 2 min 10 s sur 5 min », for the readings' note; ""
  // when the rest was whole.
  QString restNote() const;

  // The step as a heading: « Repos assis », « Mesure 1 sur 2 », ...
  QString heading() const;
  // The countdown as shown, "4:05"; "" outside the rest and the pause.
  QString countdownText() const;
  // The state in words for a screen reader: « Repos assis : encore 4
  // minutes 5 secondes avant la mesure 1 sur 2 ».
  QString spokenState() const;

private:
  void beginReading();

  const Clock &clock_;
  int readings_;
  int reading_ = 1;
  Step step_ = Step::Conditions;
  QDateTime waitEnds_;
  QDateTime restStarted_;
  int restTaken_ = -1;
};

// "4 minutes 5 secondes", "1 minute", "30 secondes".
QString SpokenDuration(int seconds);

} // namespace tl
