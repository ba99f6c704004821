#pragma once

// The meters both fakes play (fake_bluez.py on Linux, the fake
// BluetoothApis.dll on Windows): meters.json, one scenario a name.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace tl::test {

// TENSIOLOG_METERS_JSON: the file, or its name beside the test program.
inline QJsonObject MeterScenario(const QString &name) {
  QFile file(QDir(QCoreApplication::applicationDirPath())
                 .absoluteFilePath(QStringLiteral(TENSIOLOG_METERS_JSON)));
  if (!file.open(QIODevice::ReadOnly))
    return {};
  return QJsonDocument::fromJson(file.readAll()).object().value(name).toObject();
}

// The first `count` records the meter sends (all when negative), in hex.
inline QStringList MeterRecords(const QString &name, int count = -1) {
  QStringList records;
  for (const QJsonValue &v : MeterScenario(name).value(QStringLiteral("records")).toArray())
    records << v.toString();
  return count < 0 ? records : records.mid(0, count);
}

} // namespace tl::test
