#include "series/guided_session.h"

#include <algorithm>

namespace tl {

GuidedSession::GuidedSession(int readings, const Clock &clock)
    : clock_(clock), readings_(std::max(readings, 1)) {}

int GuidedSession::secondsLeft() const {
  if (step_ != Step::Rest && step_ != Step::Pause) {
    return 0;
  }
  return int(std::max<qint64>(0, clock_.now().secsTo(waitEnds_)));
}

void GuidedSession::startRest() {
  if (step_ != Step::Conditions) {
    return;
  }
  step_ = Step::Rest;
  restStarted_ = clock_.now();
  waitEnds_ = restStarted_.addSecs(kRestSeconds);
}

void GuidedSession::beginReading() {
  if (step_ == Step::Rest) {
    restTaken_ = int(std::clamp<qint64>(restStarted_.secsTo(clock_.now()), 0, kRestSeconds));
  }
  step_ = Step::Reading;
}

void GuidedSession::skipWait() {
  if (step_ == Step::Rest || step_ == Step::Pause) {
    beginReading();
  }
}

bool GuidedSession::tick() {
  if ((step_ == Step::Rest || step_ == Step::Pause) && clock_.now() >= waitEnds_) {
    beginReading();
    return true;
  }
  return false;
}

void GuidedSession::readingFiled() {
  if (step_ != Step::Reading) {
    return;
  }
  if (reading_ >= readings_) {
    step_ = Step::Done;
    return;
  }
  ++reading_;
  step_ = Step::Pause;
  waitEnds_ = clock_.now().addSecs(kPauseSeconds);
}

QString GuidedSession::restNote() const {
  if (!restShortened()) {
    return QString();
  }
  const int minutes = restTaken_ / 60, seconds = restTaken_ % 60;
  QString taken = minutes > 0 ? QStringLiteral("%1 min").arg(minutes) : QString();
  if (seconds > 0 || minutes == 0) {
    taken +=
        (taken.isEmpty() ? QString() : QStringLiteral(" ")) + QStringLiteral("%1 s").arg(seconds);
  }
  return QStringLiteral("repos écourté : %1 sur %2 min").arg(taken).arg(kRestSeconds / 60);
}

QString GuidedSession::heading() const {
  switch (step_) {
  case Step::Conditions:
    return QStringLiteral("Avant de mesurer");
  case Step::Rest:
    return QStringLiteral("Repos assis");
  case Step::Reading:
    return QStringLiteral("Mesure %1 sur %2").arg(reading_).arg(readings_);
  case Step::Pause:
    return QStringLiteral("Une minute avant la mesure %1 sur %2").arg(reading_).arg(readings_);
  case Step::Done:
    break;
  }
  return QStringLiteral("Séance terminée");
}

QString GuidedSession::countdownText() const {
  if (step_ != Step::Rest && step_ != Step::Pause) {
    return QString();
  }
  const int left = secondsLeft();
  return QStringLiteral("%1:%2").arg(left / 60).arg(left % 60, 2, 10, QChar(u'0'));
}

QString SpokenDuration(int seconds) {
  const int m = seconds / 60, s = seconds % 60;
  QStringList parts;
  if (m > 0) {
    parts << QStringLiteral("%1 minute%2").arg(m).arg(m > 1 ? QStringLiteral("s") : QString());
  }
  if (s > 0 || m == 0) {
    parts << QStringLiteral("%1 seconde%2").arg(s).arg(s > 1 ? QStringLiteral("s") : QString());
  }
  return parts.join(u' ');
}

QString GuidedSession::spokenState() const {
  switch (step_) {
  case Step::Rest:
  case Step::Pause:
    return QStringLiteral("%1 : encore %2 avant la mesure %3 sur %4")
        .arg(step_ == Step::Rest ? QStringLiteral("Repos assis") : QStringLiteral("Attente"),
             SpokenDuration(secondsLeft()))
        .arg(reading_)
        .arg(readings_);
  case Step::Reading:
    return heading() + QStringLiteral(" : prenez la mesure, puis tapez ses valeurs");
  default:
    return heading();
  }
}

} // namespace tl
