#include "measurements/context_texts.h"

#include <QStringList>

namespace tl {

namespace {

// The period, day and minute of a canonical date and time, as one number.
qint64 MomentKey(DayPeriod period, const QDate &day, int minutes) {
  return (day.toJulianDay() * 1440 + minutes) * 4 + PeriodIndex(period);
}

} // namespace

QString ContextFlagLabel(ContextFlag flag) {
  QString text = ContextFlagText(flag);
  if (!text.isEmpty()) {
    text[0] = text[0].toUpper();
  }
  return text;
}

QString ContextSummary(const ReadingContext &context) {
  QStringList parts;
  if (const QString flags = context.flagsText(); !flags.isEmpty()) {
    parts << flags;
  }
  if (!context.note.isEmpty()) {
    parts << QStringLiteral("remarque : ") + context.note;
  }
  return parts.join(QStringLiteral(" ; "));
}

QString ContextToolTip(const ReadingContext &context) {
  QStringList lines;
  if (QString flags = context.flagsText(); !flags.isEmpty()) {
    flags[0] = flags[0].toUpper();
    lines << flags;
  }
  if (!context.note.isEmpty()) {
    lines << QStringLiteral("Remarque : ") + context.note;
  }
  return lines.join(u'\n');
}

QString ContextDetailsLines(const ReadingContext &context, const QString &lineBreak) {
  QString out;
  if (const QString flags = context.flagsText(); !flags.isEmpty()) {
    out += QStringLiteral("Contexte : ") + flags + lineBreak;
  }
  if (!context.note.isEmpty()) {
    out += QStringLiteral("Remarque : ") + context.note + lineBreak;
  }
  return out;
}

ContextLookup::ContextLookup(const ReadingContexts *contexts) {
  if (!contexts || contexts->isEmpty()) {
    return;
  }
  contexts_ = contexts;
  for (const ContextRecord &record : contexts->records()) {
    // Read as a reading reads its cells: only canonical texts become
    // numbers, the very ones a reading of the same texts holds.
    Reading cells;
    for (int c = Reading::Date; c <= Reading::Pulse; ++c) {
      cells.set(c, record.key.cells[size_t(c)]);
    }
    const std::optional<QDate> day = cells.date();
    const std::optional<int> minutes = cells.minutes();
    const std::optional<qint64> s = cells.number(Reading::Systolic);
    const std::optional<qint64> d = cells.number(Reading::Diastolic);
    const std::optional<qint64> p = cells.number(Reading::Pulse);
    const ReadingContext *context = contexts->find(record.key);
    if (day && minutes && s && d && p && context) {
      byMoment_.insert(MomentKey(record.key.period, *day, *minutes), {*s, *d, *p, context});
    }
  }
}

const ReadingContext *ContextLookup::find(DayPeriod period, const Reading &reading) const {
  if (!contexts_) {
    return nullptr;
  }
  const std::optional<QDate> day = reading.date();
  const std::optional<int> minutes = reading.minutes();
  const std::optional<qint64> s = reading.number(Reading::Systolic);
  const std::optional<qint64> d = reading.number(Reading::Diastolic);
  const std::optional<qint64> p = reading.number(Reading::Pulse);
  if (!day || !minutes || !s || !d || !p) {
    return contexts_->find(period, reading);
  }
  // Canonical cells are equal texts exactly when their numbers are equal.
  for (auto it = byMoment_.constFind(MomentKey(period, *day, *minutes));
       it != byMoment_.cend() && it.key() == MomentKey(period, *day, *minutes); ++it) {
    if (it->systolic == *s && it->diastolic == *d && it->pulse == *p) {
      return it->context;
    }
  }
  return nullptr;
}

} // namespace tl
