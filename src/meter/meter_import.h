#pragma once

// Readings from a blood-pressure meter: each 0x2A35 value, with the time the
// computer received it, read as one reading (or refused with its reason),
// then filed through the rules of the CSV import, so that the duplicates and
// the summary are those of "Importation".

#include "exchange/import_sink.h"
#include "exchange/logbook_exchange.h"
#include "measurements/reading_context.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <optional>
#include <span>

namespace tl {

class Logbook;
class PeriodLists;

// One indication of 0x2A35 as the transport hands it over: the value's bytes
// and when the computer received them.
struct MeterIndication {
  QByteArray value;
  QDateTime received;
};

// How far ahead of its reception a meter's time may be and still be taken.
inline constexpr int kMeterClockLeadSeconds = 10 * 60;

// The note of a reading dated at its reception.
QString MeterClockNotUsedNote();

// One record read as a reading.
struct MeterReading {
  QString reason; // why the record gives no reading (French); empty when it does
  QDate date;
  int minutes = 0;                               // since midnight
  qint64 systolic = 0, diastolic = 0, pulse = 0; // mmHg, beats per minute
  // The date and time are the meter's own; otherwise the reception's, and
  // the context's note says so.
  bool meterClock = false;
  // The record's user ID, when it gives one (kUnknownMeterUser included).
  std::optional<quint8> user;
  // The status bits as flags (irregular pulse, movement, cuff), the other
  // status reports and the clock remark as the note.
  ReadingContext context;
  // Set by MeterImport: the record is another user's (left out), or its
  // reading is already in the lists or earlier in the transfer.
  bool otherUser = false;
  bool duplicate = false;

  bool ok() const { return reason.isEmpty(); }
};

// Reads one 0x2A35 value received at `received`. The meter's date and time
// are taken when they are a valid date and time of year 2000 or later, no
// more than kMeterClockLeadSeconds after the reception (both read as local
// times); otherwise the reading gets the reception's date and time, and
// MeterClockNotUsedNote(). A special value (NaN, NRes, an infinity, the
// reserved one) in the systolic, the diastolic or the pulse, or no pulse,
// refuses the record; the mean arterial pressure is not read.
MeterReading ReadMeterRecord(QByteArrayView value, const QDateTime &received);

// Whether a record belongs to another user of the meter than `user`: one
// giving another user ID (the unknown user 255 too). Without a `user`, or
// without a user ID in the record (the meter does not tell its users
// apart), no record does.
inline bool OfOtherMeterUser(const MeterReading &reading, std::optional<quint8> user) {
  return user && reading.user && *reading.user != *user;
}

// The records of one transfer into a logbook's four lists: each read by
// ReadMeterRecord and filed by ImportSink::addReading ("relevé 3" names the
// third record received), with its context.
class MeterImport {
public:
  // `existing`: the lists the readings go to (for the duplicates). With a
  // `user`, the records of other users (OfOtherMeterUser) are left out,
  // neither filed nor refused.
  explicit MeterImport(const PeriodLists &existing, std::optional<quint8> user = std::nullopt);

  // The next record; what it was read as and what became of it: `reason`
  // also tells why the import refused it (values out of range), and
  // `otherUser` and `duplicate` are set.
  MeterReading add(QByteArrayView value, const QDateTime &received);
  MeterReading add(const MeterIndication &indication) {
    return add(indication.value, indication.received);
  }

  // The import with the transfer's notes added to its summary (the records
  // of other users left out, the records dated at their reception). Called
  // once all records are in; later calls give the same.
  ImportSink &finish();

  qint64 otherUsers() const { return otherUsers_; }
  qint64 receptionDated() const { return receptionDated_; }

private:
  ImportSink import_;
  std::optional<quint8> user_;
  qint64 records_ = 0, otherUsers_ = 0, receptionDated_ = 0;
  bool finished_ = false;
};

// The records of a transfer into the lists of `book`, as AppendCsvFile does
// for a file: the outcome's counts and summary, the readings accepted
// appended (unless `dryRun`), and the meter's flags and notes set in the
// logbook's contexts, for the readings filed and for those found already
// there (a flag already set stays, a note already written is kept). The
// caller saves (SaveImport).
ImportOutcome AppendMeterRecords(Logbook &book, std::span<const MeterIndication> records,
                                 std::optional<quint8> user = std::nullopt, bool dryRun = false);

} // namespace tl
