// The Bluetooth meter link end to end through Qt Bluetooth's real BlueZ
// backend, without a radio: a private dbus-daemon stands for the system bus
// and fake_bluez.py owns org.bluez on it, playing one meter per row.
#include "bluetooth/bluetooth_meter_link.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "meters.h"
#include "private_bus.h"

using namespace tl;

namespace {

const QString kMeter = QStringLiteral("A4:C1:38:00:00:01");

} // namespace

class TestBluetooth : public QObject {
  Q_OBJECT

private slots:
  void initTestCase();
  void read_data();
  void read();

private:
  test::TestBus bus_;
};

void TestBluetooth::initTestCase() {
  if (const QString missing = bus_.start(); !missing.isEmpty()) {
    QSKIP(qPrintable(missing));
  }
  QVERIFY2(!bus_.address().isEmpty(), bus_.errors().constData());
}

void TestBluetooth::read_data() {
  QTest::addColumn<QString>("meter");   // in meters.json
  QTest::addColumn<QString>("address"); // "" searches and reads the first meter found
  QTest::addColumn<QStringList>("found");
  QTest::addColumn<QString>("feature");
  QTest::addColumn<int>("received");       // how many of its records arrive (-1: all)
  QTest::addColumn<QString>("clockWrite"); // uuid and length of the clock value written
  QTest::addColumn<bool>("ok");
  QTest::addColumn<QString>("error");

  const QStringList found = {QStringLiteral("BPM Fake ") + kMeter};
  const QString pair =
      QStringLiteral("appairez le tensiomètre dans les paramètres Bluetooth du système");

  // mmHg with irregular pulse, a NaN mean pressure, then kPa; another device.
  QTest::newRow("three records, another device ignored")
      << "three"
      << "" << found << "0700" << -1 << "2a2b:10" << true << "";
  QTest::newRow("burst of 60 from a remembered meter")
      << "burst" << kMeter << QStringList{} << "0000" << -1 << "2a2b:10" << true << "";
  QTest::newRow("meter clock reset to 2000")
      << "clock_reset"
      << "" << found << "0000" << -1 << "2a2b:10" << true << "";
  QTest::newRow("adapter off") << "off"
                               << "" << QStringList{} << "" << 0 << "" << false
                               << "le Bluetooth est désactivé : activez-le puis recommencez";
  QTest::newRow("no adapter") << "no_adapter" << kMeter << QStringList{} << "" << 0 << "" << false
                              << "aucun adaptateur Bluetooth n'a été trouvé sur cet ordinateur";
  QTest::newRow("authentication failure") << "auth_failed"
                                          << "" << found << "" << 0 << "" << false << pair;
  QTest::newRow("bond forgotten by the meter") << "bond_forgotten"
                                               << "" << found << "" << 0 << "" << false << pair;
  QTest::newRow("silent meter") << "silent"
                                << "" << found << "0000" << 0 << "2a2b:10" << false
                                << "aucune mesure n'a été reçue du tensiomètre";
  QTest::newRow("link dropped after two of five")
      << "drop"
      << "" << found << "0000" << 2 << "2a2b:10" << false
      << "la connexion avec le tensiomètre a été perdue";
  QTest::newRow("no 0x1810 advertised")
      << "not_a_meter"
      << "" << QStringList{} << "" << 0 << "" << false
      << "aucun tensiomètre n'a été trouvé : mettez-le en mode transfert puis recommencez";
  QTest::newRow("no 0x1810 in a remembered device")
      << "remembered_not_a_meter" << kMeter << QStringList{} << "" << 0 << "" << false
      << "cet appareil n'offre pas le service de tension artérielle Bluetooth";
  QTest::newRow("clock that cannot be written") << "clock_refused"
                                                << "" << found << "0000" << -1 << "" << true << "";
}

void TestBluetooth::read() {
  QFETCH(QString, meter);
  QFETCH(QString, address);
  QFETCH(QStringList, found);
  QFETCH(QString, feature);
  QFETCH(int, received);
  QFETCH(QString, clockWrite);
  QFETCH(bool, ok);
  QFETCH(QString, error);

  const QString log = bus_.file(QString::fromLatin1(QTest::currentDataTag()) + ".log");
  QProcess fake;
  const auto endFake = qScopeGuard([&fake] { test::End(fake); });
  QVERIFY(bus_.startFake(fake, QStringLiteral(TENSIOLOG_FAKE_BLUEZ), {{"meter", meter}}, log));

  BluetoothMeterLink link;
  link.setTimings({.searchMs = 1500, .idleMs = 1000, .totalMs = 8000});
  QStringList seen, values, features;
  QList<QDateTime> times;
  QSignalSpy finished(&link, &MeterLink::finished);
  connect(&link, &MeterLink::meterFound, this, [&](const QString &name, const QString &meter) {
    seen << name + ' ' + meter;
    if (seen.size() == 1)
      link.read(meter); // as the command line does: the first meter found
  });
  connect(&link, &MeterLink::featureRead, this,
          [&](const QByteArray &value) { features << QString::fromLatin1(value.toHex()); });
  connect(&link, &MeterLink::measurementReceived, this,
          [&](const QByteArray &value, const QDateTime &received) {
            values << QString::fromLatin1(value.toHex());
            times << received;
          });
  if (address.isEmpty())
    link.search();
  else
    link.read(address);

  QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 10000);
  QCOMPARE(finished.at(0).at(1).value<FileError>().reason, error);
  QCOMPARE(finished.at(0).at(0).toBool(), ok);
  QCOMPARE(seen, found);
  QCOMPARE(features, feature.isEmpty() ? QStringList{} : QStringList{feature});
  QCOMPARE(values, test::MeterRecords(meter, received));
  for (const QDateTime &t : times)
    QVERIFY(t.isValid());

  QFile file(log);
  QStringList writes;
  if (file.open(QIODevice::ReadOnly)) {
    for (const QByteArray &line : file.readAll().split('\n')) {
      const QJsonObject event = QJsonDocument::fromJson(line).object();
      if (event.value("event").toString() == "write")
        writes << event.value("uuid").toString() + ':' +
                      QString::number(event.value("value").toString().size() / 2);
    }
  }
  QCOMPARE(writes, clockWrite.isEmpty() ? QStringList{} : QStringList{clockWrite});
}

QTEST_GUILESS_MAIN(TestBluetooth)
#include "tst_bluetooth.moc"
