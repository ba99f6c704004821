#pragma once

// The fake BluetoothApis.dll beside the test program (the one the link
// loads): which meter it plays, and the paired devices it lists, put in
// place of SetupAPI's.

#include "win_gatt/gatt_devices.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <windows.h>

namespace tl::test {

class FakeGatt : public GattDevices {
public:
  // False when the DLL found is not the fake.
  bool load() {
    HMODULE dll = LoadLibraryW(L"BluetoothApis.dll");
    if (!dll)
      return false;
    play_ = reinterpret_cast<decltype(play_)>(
        reinterpret_cast<void *>(GetProcAddress(dll, "FakeGattPlay")));
    radio_ = reinterpret_cast<decltype(radio_)>(
        reinterpret_cast<void *>(GetProcAddress(dll, "FakeGattRadio")));
    devices_ = reinterpret_cast<decltype(devices_)>(
        reinterpret_cast<void *>(GetProcAddress(dll, "FakeGattDevices")));
    open_ = reinterpret_cast<decltype(open_)>(
        reinterpret_cast<void *>(GetProcAddress(dll, "FakeGattOpen")));
    writes_ = reinterpret_cast<decltype(writes_)>(
        reinterpret_cast<void *>(GetProcAddress(dll, "FakeGattWrites")));
    return play_ && radio_ && devices_ && open_ && writes_;
  }

  // The meter of meters.json named by "meter", amended by the other keys.
  bool play(const QJsonObject &scenario) {
    const QString file =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("meters.json"));
    return play_(QDir::toNativeSeparators(file).toUtf8().constData(),
                 QJsonDocument(scenario).toJson(QJsonDocument::Compact).constData()) == 0;
  }

  // The clock values written, "uuid:length".
  QStringList writes() {
    const QByteArray text = Text(writes_);
    return text.isEmpty() ? QStringList{} : QString::fromUtf8(text).split(',');
  }

  Radio radio() override {
    switch (radio_()) {
    case 0:
      return Radio::Usable;
    case 1:
      return Radio::Off;
    default:
      return Radio::Missing;
    }
  }

  QList<PairedGattDevice> devices() override {
    QList<PairedGattDevice> list;
    for (const QString &line : QString::fromUtf8(Text(devices_)).split('\n', Qt::SkipEmptyParts)) {
      const QStringList f = line.split('\t');
      // As the system's listing: the address is the one the path names.
      list.append({f.value(0),
                   f.value(2).isEmpty() ? f.value(1) : AddressInInterfacePath(f.value(2)),
                   f.value(2), f.value(3)});
    }
    return list;
  }

  void *open(const QString &path) override {
    return open_(reinterpret_cast<const wchar_t *>(path.utf16()));
  }
  void close(void *) override {}

private:
  static QByteArray Text(int (*get)(char *, int)) {
    QByteArray buffer(get(nullptr, 0), '\0');
    get(buffer.data(), int(buffer.size()));
    return QByteArray(buffer.constData());
  }

  int (*play_)(const char *, const char *) = nullptr;
  int (*radio_)() = nullptr;
  int (*devices_)(char *, int) = nullptr;
  HANDLE (*open_)(const wchar_t *) = nullptr;
  int (*writes_)(char *, int) = nullptr;
};

} // namespace tl::test
