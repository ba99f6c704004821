#include "win_gatt/gatt_devices.h"

#include "win_gatt/gatt_api.h"

#include <QMutex>
#include <algorithm>
#include <vector>

#include <setupapi.h>

namespace tl {

namespace {

// GUID_BLUETOOTHLE_DEVICE_INTERFACE: every paired LE device.
const GUID kLeDevice = {
    0x781aee18, 0x7733, 0x4ce4, {0xad, 0xd0, 0x91, 0xf4, 0x1c, 0x67, 0xb5, 0x92}};
// A GATT service's interface GUID is its UUID: 0000xxxx-0000-1000-8000-00805f9b34fb.
const GUID kPressureService = {
    0x00001810, 0x0000, 0x1000, {0x80, 0x00, 0x00, 0x80, 0x5f, 0x9b, 0x34, 0xfb}};
const GUID kTimeService = {
    0x00001805, 0x0000, 0x1000, {0x80, 0x00, 0x00, 0x80, 0x5f, 0x9b, 0x34, 0xfb}};
// GUID_DEVCLASS_BLUETOOTH: the setup class of radios and Bluetooth devices.
const GUID kBluetoothClass = {
    0xe0cbf06c, 0xcd8b, 0x4647, {0xbb, 0x8a, 0x26, 0x3b, 0x43, 0xf0, 0xf9, 0x74}};

struct Interface {
  QString path;
  QString name;
};

QString RegistryText(HDEVINFO set, SP_DEVINFO_DATA *device, DWORD property) {
  wchar_t buffer[256] = {};
  DWORD type = 0;
  if (!SetupDiGetDeviceRegistryPropertyW(set, device, property, &type,
                                         reinterpret_cast<BYTE *>(buffer), sizeof buffer - 2,
                                         nullptr) ||
      type != REG_SZ)
    return {};
  return QString::fromWCharArray(buffer);
}

// The present interfaces of one class, with the friendly name of their device.
std::vector<Interface> Interfaces(const GUID &guid) {
  std::vector<Interface> found;
  HDEVINFO set =
      SetupDiGetClassDevsW(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE)
    return found;
  SP_DEVICE_INTERFACE_DATA data = {};
  data.cbSize = sizeof data;
  for (DWORD i = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &guid, i, &data); ++i) {
    DWORD size = 0;
    SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &size, nullptr);
    if (size == 0)
      continue;
    std::vector<char> buffer(size);
    auto *detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W *>(buffer.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof device;
    if (!SetupDiGetDeviceInterfaceDetailW(set, &data, detail, size, nullptr, &device))
      continue;
    QString name = RegistryText(set, &device, SPDRP_FRIENDLYNAME);
    if (name.isEmpty())
      name = RegistryText(set, &device, SPDRP_DEVICEDESC);
    found.push_back({QString::fromWCharArray(detail->DevicePath), name});
  }
  SetupDiDestroyDeviceInfoList(set);
  return found;
}

bool AnyPresent(const GUID &setupClass) {
  HDEVINFO set = SetupDiGetClassDevsW(&setupClass, nullptr, nullptr, DIGCF_PRESENT);
  if (set == INVALID_HANDLE_VALUE)
    return false;
  SP_DEVINFO_DATA device = {};
  device.cbSize = sizeof device;
  const bool any = SetupDiEnumDeviceInfo(set, 0, &device);
  SetupDiDestroyDeviceInfoList(set);
  return any;
}

// Windows' own: SetupAPI lists what was paired in the settings, CreateFile
// opens a service.
class SystemGattDevices : public GattDevices {
public:
  Radio radio() override {
    const gatt::GattApi *api = gatt::LoadGattApi();
    if (api && api->findFirstRadio) {
      gatt::BLUETOOTH_FIND_RADIO_PARAMS params = {sizeof params};
      HANDLE radio = nullptr;
      if (HANDLE find = api->findFirstRadio(&params, &radio)) {
        CloseHandle(radio);
        api->findRadioClose(find);
        return Radio::Usable;
      }
    }
    // A radio switched off in the settings is no longer found, but its
    // device stays present.
    return AnyPresent(kBluetoothClass) ? Radio::Off : Radio::Missing;
  }

  QList<PairedGattDevice> devices() override {
    QList<PairedGattDevice> list;
    for (const Interface &device : Interfaces(kLeDevice)) {
      const QString address = AddressInInterfacePath(device.path);
      if (!address.isEmpty())
        list.append({device.name, address, {}, {}});
    }
    const auto attach = [&list](const GUID &service, QString PairedGattDevice::*path) {
      for (const Interface &found : Interfaces(service)) {
        const QString address = AddressInInterfacePath(found.path);
        for (PairedGattDevice &device : list) {
          if (device.address == address && (device.*path).isEmpty())
            device.*path = found.path;
        }
      }
    };
    attach(kPressureService, &PairedGattDevice::pressurePath);
    attach(kTimeService, &PairedGattDevice::timePath);
    return list;
  }

  void *open(const QString &path) override {
    HANDLE h =
        CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    return h == INVALID_HANDLE_VALUE ? nullptr : h;
  }

  void close(void *handle) override { CloseHandle(handle); }
};

QMutex &DevicesMutex() {
  static QMutex mutex;
  return mutex;
}

std::shared_ptr<GattDevices> &Installed() {
  static std::shared_ptr<GattDevices> devices;
  return devices;
}

} // namespace

void SetGattDevices(std::shared_ptr<GattDevices> devices) {
  QMutexLocker lock(&DevicesMutex());
  Installed() = std::move(devices);
}

std::shared_ptr<GattDevices> CurrentGattDevices() {
  QMutexLocker lock(&DevicesMutex());
  if (!Installed())
    return std::make_shared<SystemGattDevices>();
  return Installed();
}

QString AddressInInterfacePath(const QString &path) {
  // A device's path has "Dev_a4c138000001#", a service's "..._a4c138000001#":
  // the last 12 hex digits between '_' and '#'. (No regular expression: this
  // runs on a thread of the link's own.)
  for (qsizetype end = path.lastIndexOf(u'#'); end >= 13; end = path.lastIndexOf(u'#', end - 1)) {
    const QString hex = path.mid(end - 12, 12);
    const auto isHex = [](QChar c) {
      const char16_t l = c.toLower().unicode();
      return (l >= u'0' && l <= u'9') || (l >= u'a' && l <= u'f');
    };
    if (path.at(end - 13) != u'_' || !std::all_of(hex.begin(), hex.end(), isHex))
      continue;
    QString text;
    for (int i = 0; i < 12; i += 2)
      text += (i ? QStringLiteral(":") : QString()) + hex.mid(i, 2).toUpper();
    return text;
  }
  return {};
}

} // namespace tl
