#pragma once

#include <QList>
#include <QString>
#include <memory>

namespace tl {

// A Bluetooth LE device paired in Windows' settings, as the meter link sees
// it: the interface paths of the two services it may use (empty when the
// device lacks the service).
struct PairedGattDevice {
  QString name;
  QString address;      // "AA:BB:CC:DD:EE:FF"
  QString pressurePath; // Blood Pressure Service 0x1810
  QString timePath;     // Current Time Service 0x1805
};

// Where the paired devices and the radio's state come from. The system's
// (SetupAPI, CreateFile) unless a test puts its own in place.
class GattDevices {
public:
  enum class Radio { Usable, Off, Missing };

  virtual ~GattDevices() = default;
  virtual Radio radio() = 0;
  virtual QList<PairedGattDevice> devices() = 0;
  // A handle for BluetoothApis.dll's functions on that service, or null.
  virtual void *open(const QString &path) = 0;
  virtual void close(void *handle) = 0;
};

// The one every new link uses; null puts the system's back.
void SetGattDevices(std::shared_ptr<GattDevices> devices);
std::shared_ptr<GattDevices> CurrentGattDevices();

// The Bluetooth address in a GATT service's interface path
// ("...BTHLEDevice#{...}_Dev_VID&...&REV&0000_a4c138000001#..."), as
// "A4:C1:38:00:00:01"; empty when the path names none.
QString AddressInInterfacePath(const QString &path);

} // namespace tl
