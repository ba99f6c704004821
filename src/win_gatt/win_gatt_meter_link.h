#pragma once

#include "meter_link/meter_link.h"

#include <QTimer>
#include <memory>

namespace tl {

// Why Windows cannot read the meter, besides the reasons every link shares.
namespace meter_failure {
FileError PairOnWindows();
FileError NoGattApi();
} // namespace meter_failure

// The meter link on Windows' own Bluetooth LE GATT API (BluetoothApis.dll,
// looked up at run time), for meters paired in Windows' settings:
//   search: lists the paired devices that offer the Blood Pressure Service;
//   read: opens that service, reads the feature 0x2A49, sets the meter's
//   clock through Current Time 0x2A2B (service 0x1805) or Date Time 0x2A08
//   when writable, registers for changes of 0x2A35 and enables its
//   indications through the CCCD, then collects until no record came for
//   timings().idleMs, or timings().totalMs went by since read().
// The API's calls block, so they run on a thread of their own; the records
// come on a system thread. Both hand their results to this object's thread
// through queued calls, which a cancelled or destroyed link never receives.
class WinGattMeterLink : public MeterLink {
  Q_OBJECT
public:
  explicit WinGattMeterLink(QObject *parent = nullptr);
  ~WinGattMeterLink() override;

  void search() override;
  void read(const QString &address) override;
  void cancel() override;

  struct Run; // what the thread, the system's callbacks and this link share

private:
  enum class Step { Idle, Searching, Reading, Collecting };

  void start(Step step, const QString &address);
  void onSearched(int meters);
  void onCollecting();
  void onRecord(const QByteArray &value, const QDateTime &received);
  bool active() const override { return step_ != Step::Idle; }
  bool collecting() const override { return step_ == Step::Collecting; }
  void release() override;

  Step step_ = Step::Idle;
  int runId_ = 0; // the run whose results are still wanted
  std::shared_ptr<Run> run_;
};

} // namespace tl
