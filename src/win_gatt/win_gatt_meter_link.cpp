#include "win_gatt/win_gatt_meter_link.h"

#include "win_gatt/gatt_api.h"
#include "win_gatt/gatt_devices.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>

#include <QThread>
#include <vector>

namespace tl {

using namespace gatt;
using namespace meter_failure;

namespace meter_failure {

FileError PairOnWindows() {
  return {QString(),
          QStringLiteral("appairez le tensiomètre dans les paramètres Bluetooth de Windows")};
}

FileError NoGattApi() {
  return {QString(), QStringLiteral("ce Windows n'offre pas les fonctions Bluetooth Low Energy "
                                    "dont Tensiolog a besoin")};
}

} // namespace meter_failure

namespace {

constexpr USHORT kMeasurement = 0x2A35;
constexpr USHORT kFeature = 0x2A49;
constexpr USHORT kDateTime = 0x2A08;
constexpr USHORT kCurrentTime = 0x2A2B;
constexpr USHORT kCccd = 0x2902;

bool Refused(HRESULT hr) {
  return hr == E_BLUETOOTH_ATT_INSUFFICIENT_AUTHENTICATION ||
         hr == E_BLUETOOTH_ATT_INSUFFICIENT_AUTHORIZATION ||
         hr == E_BLUETOOTH_ATT_INSUFFICIENT_ENCRYPTION || hr == E_ACCESSDENIED;
}

// A refusal for want of a bond asks to pair again; anything else is `other`.
FileError Failure(HRESULT hr, FileError other) { return Refused(hr) ? PairOnWindows() : other; }

// Fills `list` as the API wants it asked: `get(capacity, buffer, &count)`
// first with no room, for the number, then with room for them all.
template <typename Item, typename Get> HRESULT ListOf(std::vector<Item> *list, Get get) {
  USHORT count = 0;
  HRESULT hr = get(0, nullptr, &count);
  if (hr != HRESULT_FROM_WIN32(ERROR_MORE_DATA))
    return FAILED(hr) ? hr : S_OK;
  list->resize(count);
  hr = get(count, list->data(), &count);
  list->resize(SUCCEEDED(hr) ? count : 0);
  return hr;
}

// The characteristics of the service `h` was opened on.
HRESULT Characteristics(const GattApi &api, HANDLE h,
                        std::vector<BTH_LE_GATT_CHARACTERISTIC> *list) {
  return ListOf(list, [&](USHORT room, BTH_LE_GATT_CHARACTERISTIC *items, USHORT *count) {
    return api.getCharacteristics(h, nullptr, room, items, count, BLUETOOTH_GATT_FLAG_NONE);
  });
}

HRESULT Descriptors(const GattApi &api, HANDLE h, BTH_LE_GATT_CHARACTERISTIC *c,
                    std::vector<BTH_LE_GATT_DESCRIPTOR> *list) {
  return ListOf(list, [&](USHORT room, BTH_LE_GATT_DESCRIPTOR *items, USHORT *count) {
    return api.getDescriptors(h, c, room, items, count, BLUETOOTH_GATT_FLAG_NONE);
  });
}

const BTH_LE_GATT_CHARACTERISTIC *Find(const std::vector<BTH_LE_GATT_CHARACTERISTIC> &list,
                                       USHORT uuid) {
  for (const BTH_LE_GATT_CHARACTERISTIC &c : list) {
    if (c.CharacteristicUuid.IsShortUuid && c.CharacteristicUuid.Value.ShortUuid == uuid)
      return &c;
  }
  return nullptr;
}

// The value of a characteristic, read from the device itself.
HRESULT ReadValue(const GattApi &api, HANDLE h, BTH_LE_GATT_CHARACTERISTIC c, QByteArray *value) {
  USHORT size = 0;
  HRESULT hr = api.getCharacteristicValue(h, &c, 0, nullptr, &size,
                                          BLUETOOTH_GATT_FLAG_FORCE_READ_FROM_DEVICE);
  if (hr != HRESULT_FROM_WIN32(ERROR_MORE_DATA))
    return FAILED(hr) ? hr : E_UNEXPECTED;
  std::vector<char> buffer(std::max<size_t>(size, sizeof(BTH_LE_GATT_CHARACTERISTIC_VALUE)));
  auto *v = reinterpret_cast<BTH_LE_GATT_CHARACTERISTIC_VALUE *>(buffer.data());
  hr = api.getCharacteristicValue(h, &c, ULONG(buffer.size()), v, nullptr,
                                  BLUETOOTH_GATT_FLAG_FORCE_READ_FROM_DEVICE);
  if (SUCCEEDED(hr))
    *value = QByteArray(reinterpret_cast<const char *>(v->Data), int(v->DataSize));
  return hr;
}

HRESULT WriteValue(const GattApi &api, HANDLE h, BTH_LE_GATT_CHARACTERISTIC c,
                   const QByteArray &value) {
  std::vector<char> buffer(sizeof(BTH_LE_GATT_CHARACTERISTIC_VALUE) + size_t(value.size()));
  auto *v = reinterpret_cast<BTH_LE_GATT_CHARACTERISTIC_VALUE *>(buffer.data());
  v->DataSize = ULONG(value.size());
  memcpy(v->Data, value.constData(), size_t(value.size()));
  const ULONG flags =
      c.IsWritable ? BLUETOOTH_GATT_FLAG_NONE : BLUETOOTH_GATT_FLAG_WRITE_WITHOUT_RESPONSE;
  return api.setCharacteristicValue(h, &c, v, 0, flags);
}

} // namespace

// The share of one search or reading. The link lets go of it (link = null)
// when it ends or is cancelled; the thread then stops, unregisters and
// closes what it opened, and the last owner frees it.
struct WinGattMeterLink::Run {
  const int id;
  std::mutex mutex;
  std::condition_variable woken;
  WinGattMeterLink *link;
  bool stop = false;
  USHORT measurementHandle = 0;

  Run(int id, WinGattMeterLink *link) : id(id), link(link) {}

  // Calls fn on the link's thread, unless the link let go of this run, by then
  // or before the call comes (the link's event queue dies with it).
  void post(std::function<void(WinGattMeterLink &)> fn) {
    std::lock_guard lock(mutex);
    if (!link)
      return;
    QMetaObject::invokeMethod(
        link,
        [l = link, id = id, fn = std::move(fn)] {
          if (l->runId_ == id)
            fn(*l);
        },
        Qt::QueuedConnection);
  }
  void fail(const FileError &error) {
    post([error](WinGattMeterLink &l) { l.finish(false, error); });
  }
  void progress(const QString &text) {
    post([text](WinGattMeterLink &l) { emit l.progress(text); });
  }
  bool stopping() {
    std::lock_guard lock(mutex);
    return stop;
  }
  void letGo() {
    std::lock_guard lock(mutex);
    link = nullptr;
    stop = true;
    woken.notify_all();
  }

  // A value change of 0x2A35, on a thread of the system: its bytes and the
  // time they came go to the link's thread.
  static void CALLBACK OnValueChanged(BTH_LE_GATT_EVENT_TYPE type, PVOID out, PVOID context) {
    auto *run = static_cast<Run *>(context);
    const auto *event = static_cast<const BLUETOOTH_GATT_VALUE_CHANGED_EVENT *>(out);
    if (type != CharacteristicValueChangedEvent || !event || !event->CharacteristicValue ||
        event->ChangedAttributeHandle != run->measurementHandle)
      return;
    const QByteArray value(reinterpret_cast<const char *>(event->CharacteristicValue->Data),
                           int(event->CharacteristicValue->DataSize));
    const QDateTime received = QDateTime::currentDateTime();
    run->post([value, received](WinGattMeterLink &l) { l.onRecord(value, received); });
  }

  void work(Step step, const QString &address, const std::shared_ptr<GattDevices> &devices);
  void collect(const GattApi &api, GattDevices &devices, const PairedGattDevice &meter,
               std::vector<HANDLE> &opened, BLUETOOTH_GATT_EVENT_HANDLE &event);
};

void WinGattMeterLink::Run::work(Step step, const QString &address,
                                 const std::shared_ptr<GattDevices> &devices) {
  const GattApi *api = LoadGattApi();
  if (!api)
    return fail(NoGattApi());
  switch (devices->radio()) {
  case GattDevices::Radio::Missing:
    return fail(NoAdapter());
  case GattDevices::Radio::Off:
    return fail(PoweredOff());
  case GattDevices::Radio::Usable:
    break;
  }
  const QList<PairedGattDevice> paired = devices->devices();
  if (step == Step::Searching) {
    int meters = 0;
    for (const PairedGattDevice &device : paired) {
      if (device.pressurePath.isEmpty())
        continue;
      ++meters;
      post([device](WinGattMeterLink &l) { emit l.meterFound(device.name, device.address); });
    }
    post([meters](WinGattMeterLink &l) { l.onSearched(meters); });
    return;
  }
  const auto meter = std::find_if(paired.begin(), paired.end(), [&](const PairedGattDevice &d) {
    return d.address.compare(address, Qt::CaseInsensitive) == 0;
  });
  if (meter == paired.end())
    return fail(PairOnWindows());
  if (meter->pressurePath.isEmpty())
    return fail(NotAMeter());

  std::vector<HANDLE> opened;
  BLUETOOTH_GATT_EVENT_HANDLE event = nullptr;
  collect(*api, *devices, *meter, opened, event);
  {
    std::unique_lock lock(mutex);
    woken.wait(lock, [this] { return stop; });
  }
  if (event) {
    api->unregisterEvent(event, BLUETOOTH_GATT_FLAG_NONE);
    // A callback the system started just before stays on its thread: it
    // only touches this run, kept a little longer.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  for (HANDLE h : opened)
    devices->close(h);
}

// Up to the indications: each step stops the reading with its reason.
void WinGattMeterLink::Run::collect(const GattApi &api, GattDevices &devices,
                                    const PairedGattDevice &meter, std::vector<HANDLE> &opened,
                                    BLUETOOTH_GATT_EVENT_HANDLE &event) {
  progress(QStringLiteral("Connexion au tensiomètre…"));
  HANDLE h = devices.open(meter.pressurePath);
  if (!h)
    return fail(ConnectFailed());
  opened.push_back(h);
  std::vector<BTH_LE_GATT_CHARACTERISTIC> chars;
  if (const HRESULT hr = Characteristics(api, h, &chars); FAILED(hr))
    return fail(Failure(hr, ConnectFailed()));
  progress(QStringLiteral("Connecté, lecture des services du tensiomètre…"));
  const BTH_LE_GATT_CHARACTERISTIC *measurement = Find(chars, kMeasurement);
  if (!measurement || !measurement->IsIndicatable)
    return fail(NotAMeter());
  measurementHandle = measurement->CharacteristicValueHandle;

  if (const BTH_LE_GATT_CHARACTERISTIC *feature = Find(chars, kFeature)) {
    QByteArray value;
    if (const HRESULT hr = ReadValue(api, h, *feature, &value); FAILED(hr))
      return fail(Failure(hr, Lost()));
    post([value](WinGattMeterLink &l) { emit l.featureRead(value); });
  }
  if (stopping())
    return;

  // The clock: Current Time when the meter has it writable, else Date Time.
  HANDLE clockService = nullptr;
  BTH_LE_GATT_CHARACTERISTIC clock = {};
  QByteArray value;
  const QDateTime now = QDateTime::currentDateTime();
  if (!meter.timePath.isEmpty()) {
    if (HANDLE t = devices.open(meter.timePath)) {
      opened.push_back(t);
      std::vector<BTH_LE_GATT_CHARACTERISTIC> timeChars;
      const BTH_LE_GATT_CHARACTERISTIC *current = nullptr;
      if (SUCCEEDED(Characteristics(api, t, &timeChars)))
        current = Find(timeChars, kCurrentTime);
      if (current && (current->IsWritable || current->IsWritableWithoutResponse)) {
        clockService = t;
        clock = *current;
        value = MeterCurrentTimeValue(now);
      }
    }
  }
  const BTH_LE_GATT_CHARACTERISTIC *dateTime = Find(chars, kDateTime);
  if (!clockService && dateTime && (dateTime->IsWritable || dateTime->IsWritableWithoutResponse)) {
    clockService = h;
    clock = *dateTime;
    value = MeterDateTimeValue(now);
  }
  if (clockService) {
    progress(QStringLiteral("Mise à l'heure du tensiomètre…"));
    // A clock that cannot be set leaves the records as they are.
    if (FAILED(WriteValue(api, clockService, clock, value)))
      progress(QStringLiteral("L'horloge du tensiomètre n'a pas pu être mise à l'heure"));
  }
  if (stopping())
    return;

  // Registered before the indications are on, so that none is missed.
  BTH_LE_GATT_CHARACTERISTIC m = *measurement;
  std::vector<BTH_LE_GATT_DESCRIPTOR> descriptors;
  if (const HRESULT hr = Descriptors(api, h, &m, &descriptors); FAILED(hr))
    return fail(Failure(hr, Lost()));
  const auto cccd = std::find_if(descriptors.begin(), descriptors.end(), [](const auto &d) {
    return d.DescriptorType == ClientCharacteristicConfiguration;
  });
  if (cccd == descriptors.end())
    return fail(NotAMeter());
  BLUETOOTH_GATT_VALUE_CHANGED_EVENT_REGISTRATION registration = {};
  registration.NumCharacteristics = 1;
  registration.Characteristics[0] = m;
  HRESULT hr = api.registerEvent(h, CharacteristicValueChangedEvent, &registration,
                                 &Run::OnValueChanged, this, &event, BLUETOOTH_GATT_FLAG_NONE);
  if (FAILED(hr)) {
    event = nullptr;
    return fail(Failure(hr, Lost()));
  }
  progress(QStringLiteral("En attente des mesures du tensiomètre…"));
  BTH_LE_GATT_DESCRIPTOR_VALUE on = {};
  on.DescriptorType = ClientCharacteristicConfiguration;
  on.DescriptorUuid.IsShortUuid = TRUE;
  on.DescriptorUuid.Value.ShortUuid = kCccd;
  on.ClientCharacteristicConfiguration.IsSubscribeToIndication = TRUE;
  BTH_LE_GATT_DESCRIPTOR descriptor = *cccd;
  if (hr = api.setDescriptorValue(h, &descriptor, &on, BLUETOOTH_GATT_FLAG_NONE); FAILED(hr))
    return fail(Failure(hr, Lost()));
  post([](WinGattMeterLink &l) { l.onCollecting(); });
}

WinGattMeterLink::WinGattMeterLink(QObject *parent) : MeterLink(parent) {}

WinGattMeterLink::~WinGattMeterLink() { release(); }

void WinGattMeterLink::search() {
  start(Step::Searching, QString());
  emit progress(QStringLiteral("Recherche des tensiomètres…"));
}

void WinGattMeterLink::read(const QString &address) {
  start(Step::Reading, address);
  total_.start(timings().totalMs);
}

void WinGattMeterLink::cancel() { release(); }

void WinGattMeterLink::start(Step step, const QString &address) {
  release();
  step_ = step;
  records_ = 0;
  run_ = std::make_shared<Run>(++runId_, this);
  // A thread of Qt's own, not one Qt adopts: it tidies up after itself. It
  // outlives the link if need be, and goes once its work is done.
  QThread *thread = QThread::create([run = run_, step, address, devices = CurrentGattDevices()] {
    run->work(step, address, devices);
  });
  connect(thread, &QThread::finished, thread, &QObject::deleteLater);
  thread->start();
}

void WinGattMeterLink::onSearched(int meters) {
  if (step_ != Step::Searching)
    return;
  if (meters == 0)
    finish(false, PairOnWindows());
  else
    emit progress(QStringLiteral("Recherche terminée : choisissez le tensiomètre"));
}

void WinGattMeterLink::onCollecting() {
  if (step_ != Step::Reading)
    return;
  step_ = Step::Collecting;
  beginCollecting();
}

void WinGattMeterLink::onRecord(const QByteArray &value, const QDateTime &received) {
  if (step_ != Step::Reading && step_ != Step::Collecting)
    return;
  recordReceived(value, received);
}

void WinGattMeterLink::release() {
  step_ = Step::Idle;
  ++runId_; // what the old run posted and is still queued goes unheard
  idle_.stop();
  total_.stop();
  if (run_) {
    run_->letGo();
    run_.reset();
  }
}

} // namespace tl
