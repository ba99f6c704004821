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
    if (record.context.isEmpty()) {
      continue;
    }
    // Read as a reading reads its cells: only a canonical date and time
    // become numbers, the very ones a reading of the same texts holds.
    Reading cells;
    cells.set(Reading::Date, record.key.cells[Reading::Date]);
    cells.set(Reading::Time, record.key.cells[Reading::Time]);
    const std::optional<QDate> day = cells.date();
    const std::optional<int> minutes = cells.minutes();
    if (day && minutes) {
      moments_.insert(MomentKey(record.key.period, *day, *minutes));
    }
  }
}

const ReadingContext *ContextLookup::find(DayPeriod period, const Reading &reading) const {
  if (!contexts_) {
    return nullptr;
  }
  const std::optional<QDate> day = reading.date();
  const std::optional<int> minutes = reading.minutes();
  // A reading of a canonical date and time has a context only if one of
  // that period, day and minute exists; any other is looked up by its texts.
  if (day && minutes && !moments_.contains(MomentKey(period, *day, *minutes))) {
    return nullptr;
  }
  return contexts_->find(period, reading);
}

} // namespace tl
