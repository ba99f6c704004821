#pragma once

// Setting the note and flags of readings: the window's "Remarque..." form and
// the command line's "remarque" share these rules.

#include "common/day_period.h"
#include "measurements/reading.h"
#include "measurements/reading_context.h"

#include <QList>
#include <QString>
#include <optional>

namespace tl {

class Logbook;

// A change to readings' contexts: the note and the flags it gives; what it
// leaves out stays as it is.
struct ContextChange {
  std::optional<QString> note; // kept in CleanNote form; an empty one removes the note
  quint8 given = 0;            // the ContextFlag bits it sets or clears
  quint8 flags = 0;            // their values

  void set(ContextFlag flag, bool on) {
    given = quint8(given | quint8(flag));
    flags = on ? quint8(flags | quint8(flag)) : quint8(flags & ~quint8(flag));
  }
  // `context` with the change made.
  ReadingContext appliedTo(ReadingContext context) const;
};

// Applies `change` to the context of `reading` in the list of `period` (an
// empty context removes its record) and tells the list's views. Returns
// whether the context changed.
bool ChangeReadingContext(Logbook &book, DayPeriod period, const Reading &reading,
                          const ContextChange &change);

// A reading whose context was set, with that context.
struct ChangedContext {
  DayPeriod period = DayPeriod::Matin;
  Reading reading;
  ReadingContext context;
};
// Applies `change` to every reading of `date` and `time` (their cells as
// shown: "dd/MM/yyyy", "hh:mm") in the four lists; identical readings share
// one context, set once. Returns them in the order of the lists, none when
// no reading has that date and time.
QList<ChangedContext> ChangeContextsAt(Logbook &book, const QString &date, const QString &time,
                                       const ContextChange &change);

} // namespace tl
