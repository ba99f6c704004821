#pragma once

#include "common/file_io.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>

namespace tl {

// Why a build without a Bluetooth backend cannot read a meter.
FileError NoBluetoothFailure();

// Why a reading failed, in the same words whichever link reads the meter (no
// file is concerned: the reason alone).
namespace meter_failure {
FileError PoweredOff();
FileError NoAdapter();
FileError Pair();
FileError NoReading();
FileError Lost();
FileError NoMeter();
FileError NotAMeter();
FileError ConnectFailed();
FileError SearchFailed();
} // namespace meter_failure

// The 7-byte Date Time value (0x2A08: year little-endian, month, day, hours,
// minutes, seconds) of a local time.
QByteArray MeterDateTimeValue(const QDateTime &t);
// Current Time (0x2A2B): Date Time, day of week (1 Monday .. 7 Sunday),
// fractions of 1/256 s, adjust reason (bit 0: manual time update).
QByteArray MeterCurrentTimeValue(const QDateTime &t);

// How long a meter link waits. The defaults are the ones people get; tests
// shorten them.
struct MeterLinkTimings {
  int searchMs = 20000; // looking for meters
  int idleMs = 5000;    // no record for this long ends the transfer
  int totalMs = 60000;  // from the connection to the end, whatever happens
};

// The link to a blood-pressure meter (Bluetooth SIG Blood Pressure Service):
// finds meters, connects to one and hands over what it sends, undecoded.
// One reading at a time: search() and/or read(address), then
// finished() exactly once; the link can then be used again.
//
// Signals, in order: meterFound() for each meter the search finds (while
// searching); progress() whenever the link moves on; featureRead() once with
// the 0x2A49 value; measurementReceived() for each 0x2A35 indication, with
// the computer's time of reception; finished() last, ok == true when the
// meter sent at least one record and the transfer ended normally, otherwise
// ok == false with the reason for the person (no path).
class MeterLink : public QObject {
  Q_OBJECT
public:
  explicit MeterLink(QObject *parent = nullptr);
  ~MeterLink() override = default;

  void setTimings(const MeterLinkTimings &timings) { timings_ = timings; }
  const MeterLinkTimings &timings() const { return timings_; }

  // Looks for meters advertising the Blood Pressure Service. Returns at once:
  // the outcome comes by signal. A search that finds nothing ends in
  // finished(false, ...); one that finds meters waits for read().
  virtual void search() = 0;
  // Connects to the meter at this address ("AA:BB:CC:DD:EE:FF", found by
  // search() or remembered from an earlier time) and collects its records.
  virtual void read(const QString &address) = 0;
  // Stops whatever is going on; finished() is not sent.
  virtual void cancel() = 0;

signals:
  void meterFound(const QString &name, const QString &address);
  void progress(const QString &text);
  void featureRead(const QByteArray &value);
  void measurementReceived(const QByteArray &value, const QDateTime &received);
  void finished(bool ok, const tl::FileError &error);

protected:
  // What every link does alike. A link counts each record in `records_`,
  // starts `total_` when it connects and `idle_` at each record (and when
  // the records start to come); when one of them runs out, the transfer
  // ends, or fails to connect when no record could come yet.
  virtual bool active() const = 0;     // a search or a read is going on
  virtual bool collecting() const = 0; // the meter's records may come now
  // Stops whatever is going on, the timers too; finished() is not sent.
  virtual void release() = 0;
  // The meter has been told to send: says so and starts the idle limit,
  // unless a record already started it.
  void beginCollecting();
  // A record came, stamped when it arrived: counted and handed on, and the
  // idle limit starts again.
  void recordReceived(const QByteArray &value, const QDateTime &received);
  // The transfer is over: ok when at least one record came.
  void endTransfer();
  // Ends what is going on with this outcome (nothing when nothing is).
  void finish(bool ok, const FileError &error);

  int records_ = 0;
  QTimer idle_;
  QTimer total_;

private:
  MeterLinkTimings timings_;
};

} // namespace tl
