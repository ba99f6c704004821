#pragma once

// Where the readings of an import are filed, whatever the file: the checks
// of their values, the duplicates of the lists and of the file, the list of
// each reading, their contexts, the counts, and the summary told at the end
// with the reason of each line refused.

#include "common/day_period.h"
#include "measurements/reading.h"
#include "measurements/reading_context.h"

#include <QDate>
#include <QSet>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <vector>

namespace tl {

class PeriodLists;

class ImportSink {
public:
  // `existing`: the lists the readings go to (for the duplicates).
  explicit ImportSink(const PeriodLists &existing);

  // A reading through the checks of its values and the duplicates; `place`
  // names where it is in its file ("ligne 12", "relevé 3"). Its `context`
  // (a note, the meter's flags) is kept among contexts(). It goes to the
  // list of its time.
  void addReading(const QDate &date, int minutes, qint64 systolic, qint64 diastolic, qint64 pulse,
                  const QString &place, const ReadingContext &context = {});
  // The same for the record on `line` of a file, in the list the file names
  // for it (by its time without); false when it is refused.
  bool addReading(const QDate &date, int minutes, qint64 systolic, qint64 diastolic, qint64 pulse,
                  qint64 line, std::optional<DayPeriod> period, const ReadingContext &context);
  // A record refused: counted, and "place : reason" kept among the first 20.
  void reject(const QString &place, const QString &reason);
  // Lines `first` to `last` refused each for `reason` (a record broken over
  // them, such as an unclosed quote).
  void rejectLines(qint64 first, qint64 last, const QString &reason);
  // Lines left aside without being refused (a part of the file that holds
  // no readings): one summary line per run of them with the same reason,
  // "lignes 14 à 22 : reason". Lines come in file order.
  void skipLines(qint64 first, qint64 last, const QString &reason);
  // A sentence the summary gives after its counts.
  void addNote(const QString &note) { notes_ << note; }
  // `n` more readings filed at the clock time of where they were taken, at
  // another UTC offset than the computer's at that instant.
  void addOtherOffsets(qint64 n) { otherOffsets_ += n; }

  // The readings accepted, per period, in file order.
  const std::vector<Reading> &accepted(DayPeriod period) const {
    return accepted_[size_t(PeriodIndex(period))];
  }
  // Hands the readings accepted for `period` over; the sink keeps none.
  std::vector<Reading> takeAccepted(DayPeriod period) {
    return std::move(accepted_[size_t(PeriodIndex(period))]);
  }
  // The contexts given with readings accepted or found already there (a
  // duplicate), keyed by the reading as it was made and the period of its
  // time or of its list in the file.
  const std::vector<ContextRecord> &contexts() const { return contexts_; }
  qint64 imported() const { return imported_; }
  qint64 duplicates() const { return duplicates_; }
  qint64 rejected() const { return rejected_; }
  qint64 otherOffsets() const { return otherOffsets_; }
  // Why the last record refused was refused ("" before any).
  const QString &lastRejection() const { return lastRejection_; }

  // "N relevés importés, D doublons ignorés, R lignes rejetées." (each in
  // the singular for 0 or 1), the readings at another offset, the notes,
  // the lines left aside, and up to 20 lines "ligne 12 : diastolique
  // illisible".
  QString summary() const;

private:
  // Files the reading, or counts it as a duplicate; the reason it is
  // refused otherwise.
  const char *accept(const QDate &date, int minutes, qint64 s, qint64 d, qint64 p,
                     std::optional<DayPeriod> period, const ReadingContext &context);

  std::array<std::vector<Reading>, 4> accepted_;
  std::vector<ContextRecord> contexts_;
  // Date, time and values of every reading there or accepted, packed in one
  // number (see ReadingKey).
  QSet<quint64> seen_;
  qint64 imported_ = 0, duplicates_ = 0, rejected_ = 0, otherOffsets_ = 0;
  QString lastRejection_;
  QStringList reasons_; // the first 20
  QStringList notes_;
  struct Skipped {
    qint64 first, last;
    QString reason;
  };
  std::vector<Skipped> skipped_;
};

} // namespace tl
