// A stand-in for Windows' BluetoothApis.dll, built as BluetoothApis.dll beside
// the test programs so that the meter link loads it: the GATT functions the
// link uses, playing one meter of meters.json (the scenarios fake_bluez.py
// plays on Linux). Value changes come on a thread of the fake, as Windows
// sends them on one of its own.
//
// Besides them, for the tests: FakeGattPlay (which meter), FakeGattRadio,
// FakeGattDevices and FakeGattOpen (what the paired-device listing gives in
// place of SetupAPI's), FakeGattWrites (the clock values written).
#include "win_gatt/gatt_api.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

using namespace tl::gatt;

#define FAKE_EXPORT extern "C" __declspec(dllexport)

namespace {

// The meter's GATT database: 0x1810 (0x2A35 indicate + CCCD, 0x2A49 read,
// 0x2A08 when its clock refuses) and 0x1805 (0x2A2B).
constexpr USHORT kPressureService = 0x1810, kTimeService = 0x1805;
constexpr USHORT kMeasurementValue = 0x12;

struct State {
  std::mutex mutex;
  QJsonObject sc;
  QStringList writes;
  PFNBLUETOOTH_GATT_EVENT_CALLBACK callback = nullptr;
  void *context = nullptr;
  uintptr_t registration = 0; // the handle of the registration in force
  std::mutex senderMutex;     // the sender is started and stopped by one thread at a time
  std::thread sender;
  std::atomic<bool> stop{false};
};

State &S() {
  static State state;
  return state;
}

HANDLE ServiceHandle(USHORT service) {
  return reinterpret_cast<HANDLE>(uintptr_t(0x10000 + service));
}
USHORT ServiceOf(HANDLE h) { return USHORT(reinterpret_cast<uintptr_t>(h) - 0x10000); }

BTH_LE_UUID Short(USHORT uuid) {
  BTH_LE_UUID u = {};
  u.IsShortUuid = TRUE;
  u.Value.ShortUuid = uuid;
  return u;
}

BTH_LE_GATT_CHARACTERISTIC Characteristic(USHORT service, USHORT uuid, USHORT handle) {
  BTH_LE_GATT_CHARACTERISTIC c = {};
  c.ServiceHandle = service == kPressureService ? 0x10 : 0x20;
  c.CharacteristicUuid = Short(uuid);
  c.AttributeHandle = handle;
  c.CharacteristicValueHandle = USHORT(handle + 1);
  return c;
}

QString Clock(const QJsonObject &sc) {
  return sc.value("clock").toString(QStringLiteral("writable"));
}

std::vector<BTH_LE_GATT_CHARACTERISTIC> CharacteristicsOf(USHORT service) {
  const QJsonObject sc = S().sc;
  std::vector<BTH_LE_GATT_CHARACTERISTIC> list;
  if (service == kPressureService) {
    BTH_LE_GATT_CHARACTERISTIC m = Characteristic(service, 0x2A35, 0x11);
    m.IsIndicatable = TRUE;
    list.push_back(m);
    BTH_LE_GATT_CHARACTERISTIC f = Characteristic(service, 0x2A49, 0x14);
    f.IsReadable = TRUE;
    list.push_back(f);
    if (Clock(sc) == "refused") {
      BTH_LE_GATT_CHARACTERISTIC d = Characteristic(service, 0x2A08, 0x16);
      d.IsReadable = d.IsWritable = TRUE;
      list.push_back(d);
    }
  } else if (service == kTimeService) {
    BTH_LE_GATT_CHARACTERISTIC c = Characteristic(service, 0x2A2B, 0x21);
    c.IsReadable = c.IsNotifiable = TRUE;
    c.IsWritable = Clock(sc) != "refused";
    list.push_back(c);
  }
  return list;
}

// The two-call pattern of the API: the number first, then the items.
template <typename T>
HRESULT Give(const std::vector<T> &items, USHORT count, T *buffer, USHORT *actual) {
  if (actual)
    *actual = USHORT(items.size());
  if (count < items.size() || !buffer)
    return items.empty() ? S_OK : HRESULT_FROM_WIN32(ERROR_MORE_DATA);
  std::copy(items.begin(), items.end(), buffer);
  return S_OK;
}

QByteArray Hex(const QJsonValue &v) { return QByteArray::fromHex(v.toString().toLatin1()); }

// The records, one every interval_ms, to whoever is registered then.
void Send() {
  State &s = S();
  QJsonObject sc;
  {
    std::lock_guard lock(s.mutex);
    sc = s.sc;
  }
  const QJsonArray records = sc.value("records").toArray();
  const int last = sc.value("end").toString() == "drop"
                       ? sc.value("drop_after").toInt(records.size())
                       : records.size();
  const int interval = sc.value("interval_ms").toInt(5);
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  for (int i = 0; i < last && !s.stop; ++i) {
    if (i > 0 && interval > 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(interval));
    const QByteArray value = Hex(records.at(i));
    std::vector<char> buffer(sizeof(BTH_LE_GATT_CHARACTERISTIC_VALUE) + size_t(value.size()));
    auto *v = reinterpret_cast<BTH_LE_GATT_CHARACTERISTIC_VALUE *>(buffer.data());
    v->DataSize = ULONG(value.size());
    memcpy(v->Data, value.constData(), size_t(value.size()));
    BLUETOOTH_GATT_VALUE_CHANGED_EVENT event = {kMeasurementValue, v->DataSize, v};
    PFNBLUETOOTH_GATT_EVENT_CALLBACK callback;
    void *context;
    {
      std::lock_guard lock(s.mutex);
      callback = s.callback;
      context = s.context;
    }
    if (callback) // one sent before anyone registered is lost, as with Windows
      callback(CharacteristicValueChangedEvent, &event, context);
  }
}

// Called with senderMutex held.
void StopSending() {
  State &s = S();
  s.stop = true;
  if (s.sender.joinable())
    s.sender.join();
  s.stop = false;
}

int Copy(const QByteArray &text, char *buffer, int size) {
  if (buffer && size > text.size())
    memcpy(buffer, text.constData(), size_t(text.size()) + 1);
  return int(text.size()) + 1;
}

QString Path(USHORT service, const QString &address) {
  // As Windows names a GATT service's interface: the address ends its instance.
  const QString guid =
      QStringLiteral("{0000%1-0000-1000-8000-00805f9b34fb}").arg(service, 4, 16, QLatin1Char('0'));
  return QStringLiteral("\\\\?\\BTHLEDevice#%1_Dev_VID&000000_PID&0000_REV&0000_%2#fake#%1")
      .arg(guid, QString(address).remove(':').toLower());
}

} // namespace

// Plays the meter named by "meter" in the meters file, amended by the other
// keys of `overrides` (a JSON object). Returns 0, or -1 for an unknown meter.
FAKE_EXPORT int FakeGattPlay(const char *metersFile, const char *overrides) {
  {
    std::lock_guard lock(S().senderMutex);
    StopSending();
  }
  QFile file(QString::fromUtf8(metersFile));
  if (!file.open(QIODevice::ReadOnly))
    return -1;
  QJsonObject given = QJsonDocument::fromJson(overrides).object();
  const QJsonObject meters = QJsonDocument::fromJson(file.readAll()).object();
  const QString name = given.take("meter").toString();
  if (!meters.contains(name))
    return -1;
  QJsonObject sc = meters.value(name).toObject();
  for (auto it = given.begin(); it != given.end(); ++it)
    sc.insert(it.key(), it.value());
  std::lock_guard lock(S().mutex);
  S().sc = sc;
  S().writes.clear();
  S().callback = nullptr;
  return 0;
}

// 0 a usable radio, 1 one switched off, 2 none.
FAKE_EXPORT int FakeGattRadio() {
  std::lock_guard lock(S().mutex);
  if (!S().sc.value("adapter").toBool(true))
    return 2;
  return S().sc.value("powered").toBool(true) ? 0 : 1;
}

// The paired devices, one a line: name, address, 0x1810 path, 0x1805 path,
// separated by tabs (UTF-8). Returns the size the text needs.
FAKE_EXPORT int FakeGattDevices(char *buffer, int size) {
  QJsonObject sc;
  {
    std::lock_guard lock(S().mutex);
    sc = S().sc;
  }
  QStringList lines;
  if (sc.value("paired").toBool(true)) {
    const QString address = sc.value("address").toString(QStringLiteral("A4:C1:38:00:00:01"));
    lines << QStringList{sc.value("name").toString(QStringLiteral("BPM Fake")), address,
                         sc.value("bps").toBool(true) ? Path(kPressureService, address) : "",
                         Clock(sc) != "none" ? Path(kTimeService, address) : ""}
                 .join('\t');
  }
  // Other devices paired on this computer (headsets...), without 0x1810.
  for (const QJsonValue &other : sc.value("others").toArray())
    lines << QStringList{other["name"].toString(), other["address"].toString(), "", ""}.join('\t');
  return Copy(lines.join('\n').toUtf8(), buffer, size);
}

FAKE_EXPORT HANDLE FakeGattOpen(const wchar_t *path) {
  const QString p = QString::fromWCharArray(path);
  if (p.contains(QStringLiteral("{00001810-")))
    return ServiceHandle(kPressureService);
  if (p.contains(QStringLiteral("{00001805-")))
    return ServiceHandle(kTimeService);
  return nullptr;
}

// The values written to characteristics, as "uuid:length" separated by commas.
FAKE_EXPORT int FakeGattWrites(char *buffer, int size) {
  std::lock_guard lock(S().mutex);
  return Copy(S().writes.join(',').toUtf8(), buffer, size);
}

FAKE_EXPORT HRESULT WINAPI BluetoothGATTGetServices(HANDLE h, USHORT count,
                                                    BTH_LE_GATT_SERVICE *buffer, USHORT *actual,
                                                    ULONG) {
  const USHORT service = ServiceOf(h);
  return Give(std::vector<BTH_LE_GATT_SERVICE>{{Short(service),
                                                USHORT(service == kPressureService ? 0x10 : 0x20)}},
              count, buffer, actual);
}

FAKE_EXPORT HRESULT WINAPI BluetoothGATTGetCharacteristics(HANDLE h, BTH_LE_GATT_SERVICE *,
                                                           USHORT count,
                                                           BTH_LE_GATT_CHARACTERISTIC *buffer,
                                                           USHORT *actual, ULONG) {
  std::lock_guard lock(S().mutex);
  return Give(CharacteristicsOf(ServiceOf(h)), count, buffer, actual);
}

FAKE_EXPORT HRESULT WINAPI BluetoothGATTGetDescriptors(HANDLE, BTH_LE_GATT_CHARACTERISTIC *c,
                                                       USHORT count, BTH_LE_GATT_DESCRIPTOR *buffer,
                                                       USHORT *actual, ULONG) {
  std::vector<BTH_LE_GATT_DESCRIPTOR> list;
  if (c->AttributeHandle == 0x11)
    list.push_back({0x10, 0x11, ClientCharacteristicConfiguration, Short(0x2902), 0x13});
  return Give(list, count, buffer, actual);
}

FAKE_EXPORT HRESULT WINAPI BluetoothGATTGetCharacteristicValue(
    HANDLE, BTH_LE_GATT_CHARACTERISTIC *c, ULONG size, BTH_LE_GATT_CHARACTERISTIC_VALUE *value,
    USHORT *required, ULONG) {
  std::lock_guard lock(S().mutex);
  if (c->CharacteristicUuid.Value.ShortUuid != 0x2A49)
    return E_INVALIDARG;
  if (S().sc.value("encrypted").toBool())
    return E_BLUETOOTH_ATT_INSUFFICIENT_AUTHENTICATION;
  const QByteArray feature = Hex(S().sc.value("feature").toString(QStringLiteral("0000")));
  const ULONG needed = ULONG(sizeof(BTH_LE_GATT_CHARACTERISTIC_VALUE) + feature.size());
  if (required)
    *required = USHORT(needed);
  if (size < needed || !value)
    return HRESULT_FROM_WIN32(ERROR_MORE_DATA);
  value->DataSize = ULONG(feature.size());
  memcpy(value->Data, feature.constData(), size_t(feature.size()));
  return S_OK;
}

FAKE_EXPORT HRESULT WINAPI BluetoothGATTSetCharacteristicValue(
    HANDLE, BTH_LE_GATT_CHARACTERISTIC *c, BTH_LE_GATT_CHARACTERISTIC_VALUE *value,
    BTH_LE_GATT_RELIABLE_WRITE_CONTEXT, ULONG) {
  std::lock_guard lock(S().mutex);
  if (!c->IsWritable || Clock(S().sc) == "refused")
    return HRESULT(0x80650003L); // E_BLUETOOTH_ATT_WRITE_NOT_PERMITTED
  S().writes << QStringLiteral("%1:%2")
                    .arg(c->CharacteristicUuid.Value.ShortUuid, 4, 16, QLatin1Char('0'))
                    .arg(value->DataSize);
  return S_OK;
}

FAKE_EXPORT HRESULT WINAPI BluetoothGATTSetDescriptorValue(HANDLE, BTH_LE_GATT_DESCRIPTOR *d,
                                                           BTH_LE_GATT_DESCRIPTOR_VALUE *value,
                                                           ULONG) {
  if (d->AttributeHandle != 0x13)
    return E_INVALIDARG;
  if (value->ClientCharacteristicConfiguration.IsSubscribeToIndication) {
    std::lock_guard lock(S().senderMutex);
    StopSending();
    S().sender = std::thread(Send);
  }
  return S_OK;
}

FAKE_EXPORT HRESULT WINAPI BluetoothGATTRegisterEvent(HANDLE, BTH_LE_GATT_EVENT_TYPE, PVOID,
                                                      PFNBLUETOOTH_GATT_EVENT_CALLBACK callback,
                                                      PVOID context,
                                                      BLUETOOTH_GATT_EVENT_HANDLE *event, ULONG) {
  std::lock_guard lock(S().mutex);
  S().callback = callback;
  S().context = context;
  *event = reinterpret_cast<HANDLE>(++S().registration);
  return S_OK;
}

// Returns once no callback runs any more, as the link expects of Windows.
FAKE_EXPORT HRESULT WINAPI BluetoothGATTUnregisterEvent(BLUETOOTH_GATT_EVENT_HANDLE event, ULONG) {
  {
    std::lock_guard lock(S().mutex);
    if (reinterpret_cast<uintptr_t>(event) != S().registration)
      return S_OK; // one an earlier reading left
  }
  {
    std::lock_guard lock(S().senderMutex);
    StopSending();
  }
  std::lock_guard lock(S().mutex);
  S().callback = nullptr;
  return S_OK;
}

FAKE_EXPORT HANDLE WINAPI BluetoothFindFirstRadio(const BLUETOOTH_FIND_RADIO_PARAMS *,
                                                  HANDLE *radio) {
  if (FakeGattRadio() != 0)
    return nullptr;
  *radio = CreateEventW(nullptr, FALSE, FALSE, nullptr); // closed by the caller
  return reinterpret_cast<HANDLE>(uintptr_t(0xF1));
}

FAKE_EXPORT BOOL WINAPI BluetoothFindRadioClose(HANDLE) { return TRUE; }
