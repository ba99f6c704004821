#pragma once

// The table both meter links are held to (Qt Bluetooth against
// fake_bluez.py, Windows' API against the fake BluetoothApis.dll): its
// columns, one read as the command line does it, and the checks of what came.

#include "meter_link/meter_link.h"

#include <QDateTime>
#include <QSignalSpy>
#include <QTest>
#include <functional>

#include "meters.h"

namespace tl::test {

inline const QString kFakeMeter = QStringLiteral("A4:C1:38:00:00:01");

// The failures both links give alike.
inline const QString kPoweredOff =
    QStringLiteral("le Bluetooth est désactivé : activez-le puis recommencez");
inline const QString kNoAdapter =
    QStringLiteral("aucun adaptateur Bluetooth n'a été trouvé sur cet ordinateur");
inline const QString kSilent = QStringLiteral("aucune mesure n'a été reçue du tensiomètre");
inline const QString kNoService =
    QStringLiteral("cet appareil n'offre pas le service de tension artérielle Bluetooth");

// A row of the table, in one column named "row".
struct LinkRow {
  QString meter;   // in meters.json
  QString address; // "" searches and reads the first meter found
  QStringList found;
  QString feature;
  int received = 0;   // how many of its records arrive (-1: all)
  QString clockWrite; // uuid and length of the clock value written
  bool ok = false;
  QString error;
};

} // namespace tl::test

Q_DECLARE_METATYPE(tl::test::LinkRow)

namespace tl::test {

// What the link did in one read.
struct LinkRun {
  QStringList seen, values, features;
  QList<QDateTime> times;
  int finishes = 0;
  bool ok = false;
  FileError error;
};

// Reads `row.address`, or searches and reads the first meter found, with
// short limits, and waits for the end. `onRecord` runs as each record comes.
inline LinkRun RunLink(MeterLink &link, const LinkRow &row,
                       const std::function<void(const LinkRun &)> &onRecord = {}) {
  LinkRun run;
  link.setTimings({.searchMs = 1500, .idleMs = 1000, .totalMs = 8000});
  QObject scope;
  QObject::connect(&link, &MeterLink::meterFound, &scope,
                   [&](const QString &name, const QString &address) {
                     run.seen << name + ' ' + address;
                     if (run.seen.size() == 1)
                       link.read(address);
                   });
  QObject::connect(&link, &MeterLink::featureRead, &scope, [&](const QByteArray &value) {
    run.features << QString::fromLatin1(value.toHex());
  });
  QObject::connect(&link, &MeterLink::measurementReceived, &scope,
                   [&](const QByteArray &value, const QDateTime &at) {
                     run.values << QString::fromLatin1(value.toHex());
                     run.times << at;
                     if (onRecord)
                       onRecord(run);
                   });
  QObject::connect(&link, &MeterLink::finished, &scope, [&](bool ok, const FileError &error) {
    if (++run.finishes == 1) {
      run.ok = ok;
      run.error = error;
    }
  });
  if (row.address.isEmpty())
    link.search();
  else
    link.read(row.address);
  (void)QTest::qWaitFor([&] { return run.finishes > 0; }, 10000);
  return run;
}

// The end, the devices listed, the feature and the records against the row.
inline void VerifyLinkRun(const LinkRun &run, const LinkRow &row) {
  QCOMPARE(run.finishes, 1);
  QCOMPARE(run.error.reason, row.error);
  QCOMPARE(run.ok, row.ok);
  QCOMPARE(run.seen, row.found);
  QCOMPARE(run.features, row.feature.isEmpty() ? QStringList{} : QStringList{row.feature});
  QCOMPARE(run.values, MeterRecords(row.meter, row.received));
  for (const QDateTime &t : run.times)
    QVERIFY(t.isValid());
}

} // namespace tl::test
