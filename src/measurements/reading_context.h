#pragma once

// What a patient or a meter tells about one reading besides its values: a
// note and a few flags. The measurement files keep their exact format; the
// context of a patient's readings lives in a record file of its own,
// "ARTL_Notes_<name>.txt", each record keyed by the period, date, time and
// values of its reading.

#include "common/day_period.h"
#include "measurements/reading.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringList>
#include <array>
#include <utility>
#include <vector>

namespace tl {

enum class ContextFlag : quint8 {
  Irregular = 1,     // "pouls irrégulier": the meter flagged an irregular heartbeat
  Medication = 2,    // "traitement pris": the treatment was taken before the reading
  Movement = 4,      // "mouvement": the body moved during the measurement
  CuffMisplaced = 8, // "brassard mal placé"
};
inline constexpr std::array<ContextFlag, 4> kAllContextFlags = {
    ContextFlag::Irregular, ContextFlag::Medication, ContextFlag::Movement,
    ContextFlag::CuffMisplaced};

// "pouls irrégulier", "traitement pris", "mouvement", "brassard mal placé".
QString ContextFlagText(ContextFlag flag);

// A note holds at most this many characters.
inline constexpr qsizetype kMaxNoteLength = 200;

// A note as it is kept: one line of plain text (line breaks and other
// control characters become blanks), trimmed, cut to kMaxNoteLength.
QString CleanNote(const QString &text);

struct ReadingContext {
  QString note;       // CleanNote form
  quint8 flags = 0;   // ContextFlag bits
  QString otherFlags; // flags of the file this program does not know, as written ("a, b")

  ReadingContext() = default;
  ReadingContext(QString note, quint8 flags, QString otherFlags = {})
      : note(std::move(note)), flags(flags), otherFlags(std::move(otherFlags)) {}

  bool has(ContextFlag f) const { return (flags & quint8(f)) != 0; }
  void set(ContextFlag f, bool on) {
    flags = on ? quint8(flags | quint8(f)) : quint8(flags & ~quint8(f));
  }
  bool irregular() const { return has(ContextFlag::Irregular); }
  bool isEmpty() const { return note.isEmpty() && flags == 0 && otherFlags.isEmpty(); }
  bool operator==(const ReadingContext &) const = default;

  // The flags set, as their texts joined by ", " ("pouls irrégulier, mouvement"),
  // then the unknown ones.
  QString flagsText() const;
};

// What ties a context to its reading: the period and the five cells date,
// time, systolic, diastolic and pulse, as their texts stand. They are held
// as a reading whose diagnosis is empty: compared and hashed from its
// numbers, without making a text.
struct ContextKey {
  DayPeriod period = DayPeriod::Matin;
  Reading cells; // date to pulse; the diagnosis left empty
  // The period line of a record that names none of the four periods (a
  // later version's, a hand edit), kept as written: such a key matches no
  // reading, and its record is written back as it was read.
  QByteArray otherPeriod;

  static ContextKey of(DayPeriod period, const Reading &reading);
  bool operator==(const ContextKey &other) const {
    return period == other.period && cells.sameKeyCells(other.cells) &&
           otherPeriod == other.otherPeriod;
  }
};
size_t qHash(const ContextKey &key, size_t seed = 0);

// One record of the context file.
struct ContextRecord {
  ContextKey key;
  ReadingContext context;
  bool operator==(const ContextRecord &) const = default;
};

// The record file: a count line, then eight lines per record: the period
// ("Matin"), date, time, systolic, diastolic, pulse, the flags (their texts
// joined by ", ", or empty) and the note. UTF-8, CR LF, as the measurement
// files. A record without context is skipped; one whose period or flags
// this program does not know is kept, with them as written.
inline constexpr int kContextLinesPerRecord = 8;
std::vector<ContextRecord> ParseContextFile(QByteArrayView bytes, qint64 *announced = nullptr);
// Every whole record the bytes hold, whatever their count line says, as
// ReadMeasurementFile reads a list.
struct RecordShape;
std::vector<ContextRecord> ReadContextFile(QByteArrayView bytes, RecordShape *shape = nullptr);
QByteArray SerializeContextFile(const std::vector<ContextRecord> &records);

// The contexts of one patient's readings, in memory. Identical readings of
// one list share one context. Records keep the order they were set in, so
// that saving what was loaded gives the same bytes.
class ReadingContexts {
public:
  // The context of the reading, or null when it has none.
  const ReadingContext *find(DayPeriod period, const Reading &reading) const {
    return index_.isEmpty() ? nullptr : find(ContextKey::of(period, reading));
  }
  const ReadingContext *find(const ContextKey &key) const;
  // Sets the reading's context; an empty one removes it.
  void set(const ContextKey &key, ReadingContext context);
  void set(DayPeriod period, const Reading &reading, ReadingContext context) {
    set(ContextKey::of(period, reading), std::move(context));
  }
  // Removes the reading's context and gives it back (empty when none).
  ReadingContext take(const ContextKey &key);

  bool isEmpty() const { return index_.isEmpty(); }
  qsizetype size() const { return index_.size(); }
  void clear();
  // Counts the changes, as the lists' revisions do.
  quint64 revision() const { return revision_; }

  // Every record, in the order they were set.
  std::vector<ContextRecord> records() const;
  // Replaces every record (loading a file).
  void setRecords(std::vector<ContextRecord> records);

private:
  std::vector<ContextRecord> records_; // a removed record keeps an empty context
  QHash<ContextKey, size_t> index_;    // into records_
  qsizetype removed_ = 0;
  quint64 revision_ = 0;
};

} // namespace tl
