#include "logbook/context_edit.h"

#include "logbook/logbook.h"

#include <QSet>

namespace tl {

ReadingContext ContextChange::appliedTo(ReadingContext context) const {
  if (note) {
    context.note = CleanNote(*note);
  }
  context.flags = quint8((context.flags & ~given) | (flags & given));
  return context;
}

bool ChangeReadingContext(Logbook &book, DayPeriod period, const Reading &reading,
                          const ContextChange &change) {
  ReadingContexts &contexts = book.contexts();
  const ReadingContext *held = contexts.find(period, reading);
  const ReadingContext before = held ? *held : ReadingContext();
  ReadingContext after = change.appliedTo(before);
  if (after == before) {
    return false;
  }
  contexts.set(period, reading, std::move(after));
  book.list(period).contextsChanged();
  return true;
}

QList<ChangedContext> ChangeContextsAt(Logbook &book, const QString &date, const QString &time,
                                       const ContextChange &change) {
  QList<ChangedContext> changed;
  for (DayPeriod period : kAllPeriods) {
    QSet<ContextKey> done;
    for (const Reading &reading : book.list(period).readings()) {
      if (reading[Reading::Date] != date || reading[Reading::Time] != time) {
        continue;
      }
      const ContextKey key = ContextKey::of(period, reading);
      if (done.contains(key)) {
        continue;
      }
      done.insert(key);
      ChangeReadingContext(book, period, reading, change);
      const ReadingContext *now = book.contexts().find(key);
      changed.append({period, reading, now ? *now : ReadingContext()});
    }
  }
  return changed;
}

} // namespace tl
