// The Bluetooth meter link end to end through Qt Bluetooth's real BlueZ
// backend, without a radio: a private dbus-daemon stands for the system bus
// and fake_bluez.py owns org.bluez on it, playing one meter per row.
#include "bluetooth/bluetooth_meter_link.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "private_bus.h"

using namespace tl;

namespace {

const QString kMeter = QStringLiteral("A4:C1:38:00:00:01");

// One 0x2A35 value: pressures and pulse in whole mmHg (exponent 0), a time
// stamp, flags 0x06 (time stamp, pulse).
QString Record(int sys, int dia, int map, int year, int month, int day, int hour, int minute,
               int pulse) {
  QByteArray v;
  auto u16 = [&v](int x) { v.append(char(x & 0xFF)).append(char((x >> 8) & 0xFF)); };
  v.append(char(0x06));
  u16(sys);
  u16(dia);
  u16(map);
  u16(year);
  v.append(char(month)).append(char(day)).append(char(hour)).append(char(minute)).append(char(0));
  u16(pulse);
  return QString::fromLatin1(v.toHex());
}

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
  QTest::addColumn<QJsonObject>("scenario");
  QTest::addColumn<QString>("address"); // "" searches and reads the first meter found
  QTest::addColumn<QStringList>("found");
  QTest::addColumn<QString>("feature");
  QTest::addColumn<QStringList>("records");
  QTest::addColumn<QString>("clockWrite"); // uuid and length of the clock value written
  QTest::addColumn<bool>("ok");
  QTest::addColumn<QString>("error");

  const QString meterFound = QStringLiteral("BPM Fake ") + kMeter;
  const QString pair =
      QStringLiteral("appairez le tensiomètre dans les paramètres Bluetooth du système");
  const auto records = [](const QStringList &list) { return QJsonArray::fromStringList(list); };

  // mmHg with irregular pulse (flags: time stamp, pulse, status), a NaN mean
  // pressure, then kPa with exponent -1 (17.1 / 10.9 / 13.0 kPa).
  const QStringList three = {QStringLiteral("16800052006100ea070c09071e0047000400"),
                             QStringLiteral("0687005500ff07ea070c090800004800"),
                             QStringLiteral("05abf06df082f04200")};
  QTest::newRow("three records, another device ignored")
      << QJsonObject{{"feature", "0700"},
                     {"records", records(three)},
                     {"others", QJsonArray{QJsonObject{{"address", "11:22:33:44:55:66"},
                                                       {"name", "Casque"},
                                                       {"advertised", QJsonArray{"110b"}}}}}}
      << "" << QStringList{meterFound} << "0700" << three << "2a2b:10" << true << "";

  QStringList sixty;
  for (int i = 0; i < 60; ++i)
    sixty << Record(110 + i, 70 + i % 20, 85 + i % 20, 2026, 11, 1 + i / 4, 7 + i % 4, i, 60 + i);
  QTest::newRow("burst of 60 from a remembered meter")
      << QJsonObject{{"known", true},
                     {"feature", "0000"},
                     {"records", records(sixty)},
                     {"interval_ms", 0}}
      << kMeter << QStringList{} << "0000" << sixty << "2a2b:10" << true << "";

  const QStringList reset = {Record(131, 84, 100, 2000, 1, 1, 0, 3, 66)};
  QTest::newRow("meter clock reset to 2000")
      << QJsonObject{{"records", records(reset)}} << "" << QStringList{meterFound} << "0000"
      << reset << "2a2b:10" << true << "";

  QTest::newRow("adapter off") << QJsonObject{{"powered", false}} << "" << QStringList{} << ""
                               << QStringList{} << "" << false
                               << "le Bluetooth est désactivé : activez-le puis recommencez";
  QTest::newRow("no adapter") << QJsonObject{{"adapter", false}} << kMeter << QStringList{} << ""
                              << QStringList{} << "" << false
                              << "aucun adaptateur Bluetooth n'a été trouvé sur cet ordinateur";
  QTest::newRow("authentication failure")
      << QJsonObject{{"paired", false}, {"connect", "auth-failed"}} << "" << QStringList{meterFound}
      << "" << QStringList{} << "" << false << pair;
  QTest::newRow("bond forgotten by the meter")
      << QJsonObject{{"encrypted", true}} << "" << QStringList{meterFound} << "" << QStringList{}
      << "" << false << pair;
  QTest::newRow("silent meter") << QJsonObject{{"end", "silent"}} << "" << QStringList{meterFound}
                                << "0000" << QStringList{} << "2a2b:10" << false
                                << "aucune mesure n'a été reçue du tensiomètre";

  const QStringList five = sixty.mid(0, 5);
  QTest::newRow("link dropped after two of five")
      << QJsonObject{{"records", records(five)}, {"end", "drop"}, {"drop_after", 2}} << ""
      << QStringList{meterFound} << "0000" << five.mid(0, 2) << "2a2b:10" << false
      << "la connexion avec le tensiomètre a été perdue";
  QTest::newRow("no 0x1810 advertised")
      << QJsonObject{{"advertised", QJsonArray{"180f"}}} << "" << QStringList{} << ""
      << QStringList{} << "" << false
      << "aucun tensiomètre n'a été trouvé : mettez-le en mode transfert puis recommencez";
  QTest::newRow("no 0x1810 in a remembered device")
      << QJsonObject{{"known", true}, {"bps", false}, {"advertised", QJsonArray{}}} << kMeter
      << QStringList{} << "" << QStringList{} << "" << false
      << "cet appareil n'offre pas le service de tension artérielle Bluetooth";
  QTest::newRow("clock that cannot be written")
      << QJsonObject{{"clock", "refused"}, {"records", records(reset)}} << ""
      << QStringList{meterFound} << "0000" << reset << "" << true << "";
}

void TestBluetooth::read() {
  QFETCH(QJsonObject, scenario);
  QFETCH(QString, address);
  QFETCH(QStringList, found);
  QFETCH(QString, feature);
  QFETCH(QStringList, records);
  QFETCH(QString, clockWrite);
  QFETCH(bool, ok);
  QFETCH(QString, error);

  const QString log = bus_.file(QString::fromLatin1(QTest::currentDataTag()) + ".log");
  QProcess fake;
  const auto endFake = qScopeGuard([&fake] { test::End(fake); });
  QVERIFY(bus_.startFake(fake, QStringLiteral(TENSIOLOG_FAKE_BLUEZ), scenario, log));

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
  QCOMPARE(values, records);
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
