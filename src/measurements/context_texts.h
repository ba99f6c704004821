#pragma once

// How the context of a reading (its note and flags) is shown: in the list's
// tooltips and accessible texts, in "Détails tension" and in the documents;
// and a quick look-up of the contexts of many readings for the documents.

#include "measurements/reading_context.h"

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

// The contexts of one patient for a pass over many readings (the
// documents): none given, or none at all, costs nothing per reading. The
// contexts found are the store's own.
class ContextLookup {
public:
  explicit ContextLookup(const ReadingContexts *contexts)
      : contexts_(contexts && !contexts->isEmpty() ? contexts : nullptr) {}

  // The context of the reading of the list `period`, or null.
  const ReadingContext *find(DayPeriod period, const Reading &reading) const {
    return contexts_ ? contexts_->find(period, reading) : nullptr;
  }
  bool isEmpty() const { return contexts_ == nullptr; }

private:
  const ReadingContexts *contexts_ = nullptr; // null when there is none
};

} // namespace tl
