#pragma once

// How the context of a reading (its note and flags) is shown: in the list's
// tooltips and accessible texts, in "Détails tension" and in the documents;
// and a quick look-up of the contexts of many readings for the documents.

#include "measurements/reading_context.h"

#include <QMultiHash>
#include <QString>

namespace tl {

// "Pouls irrégulier", "Traitement pris", "Mouvement", "Brassard mal placé":
// the flag's text as a label.
QString ContextFlagLabel(ContextFlag flag);

// "pouls irrégulier, mouvement ; remarque : après le café"; "" without context.
QString ContextSummary(const ReadingContext &context);

// The lines of a list row's tooltip: "Pouls irrégulier, mouvement" and
// "Remarque : après le café", each when there is one.
QString ContextToolTip(const ReadingContext &context);

// The lines added under "Détails tension": "Contexte : pouls irrégulier"
// and "Remarque : après le café", each ended by `lineBreak`.
QString ContextDetailsLines(const ReadingContext &context, const QString &lineBreak);

// The contexts of one patient for a pass over many readings: a reading
// whose cells are all canonical numbers is answered from those numbers,
// without building its key; any other from the store. The contexts found
// are the store's own.
class ContextLookup {
public:
  explicit ContextLookup(const ReadingContexts *contexts);

  // The context of the reading of the list `period`, or null.
  const ReadingContext *find(DayPeriod period, const Reading &reading) const;
  bool isEmpty() const { return contexts_ == nullptr; }

private:
  struct Entry {
    qint64 systolic, diastolic, pulse;
    const ReadingContext *context;
  };
  const ReadingContexts *contexts_ = nullptr; // null when there is none
  // The contexts whose cells are canonical numbers, by period, day and minute.
  QMultiHash<qint64, Entry> byMoment_;
};

} // namespace tl
