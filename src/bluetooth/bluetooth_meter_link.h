#pragma once

#include "meter_link/meter_link.h"

#include <QPointer>
#include <QSet>
#include <QTimer>

QT_BEGIN_NAMESPACE
class QBluetoothDeviceDiscoveryAgent;
class QBluetoothDeviceInfo;
class QLowEnergyController;
class QLowEnergyService;
QT_END_NAMESPACE

namespace tl {

// The meter link over Qt Bluetooth Low Energy, as a GATT client of the
// Blood Pressure Service (0x1810):
//   search: LE discovery, reporting the devices that advertise 0x1810;
//   read: connect, read the feature 0x2A49, set the meter's clock through
//   Current Time 0x2A2B (service 0x1805) or Date Time 0x2A08 when writable,
//   enable indications of 0x2A35 through its CCCD 0x2902, then collect until
//   the meter disconnects, or no record came for timings().idleMs, or
//   timings().totalMs went by since the connection began.
// It decodes nothing: the values go out as the meter sent them.
class BluetoothMeterLink : public MeterLink {
  Q_OBJECT
public:
  explicit BluetoothMeterLink(QObject *parent = nullptr);
  ~BluetoothMeterLink() override;

  void search() override;
  void read(const QString &address) override;
  void cancel() override;

private:
  enum class Step {
    Idle,
    Searching,
    Connecting,
    Services,
    Feature,
    Clock,
    Indications,
    Collecting
  };

  void startSearch();
  void startRead(const QString &address);
  bool adapterUsable();
  void onDeviceSeen(const QBluetoothDeviceInfo &info);
  void onSearchEnded();
  void onServicesDiscovered();
  void onServiceReady(QLowEnergyService *service);
  void readFeature();
  void setClock();
  void enableIndications();
  void onControllerError(int error);
  void onServiceError(int error);
  void onDisconnected();
  bool active() const override { return step_ != Step::Idle; }
  bool collecting() const override { return step_ == Step::Collecting; }
  void release() override;

  Step step_ = Step::Idle;
  int generation_ = 0; // a pending start belongs to the run it was queued for
  QString address_;
  QSet<QString> found_;
  QPointer<QBluetoothDeviceDiscoveryAgent> agent_;
  QPointer<QLowEnergyController> controller_;
  QPointer<QLowEnergyService> pressure_; // 0x1810
  QPointer<QLowEnergyService> time_;     // 0x1805, when the meter has it
};

} // namespace tl
