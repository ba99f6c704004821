// The Bluetooth meter link end to end through Qt Bluetooth's real BlueZ
// backend, without a radio: a private dbus-daemon stands for the system bus
// and fake_bluez.py owns org.bluez on it, playing one meter per row.
#include "bluetooth/bluetooth_meter_link.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>

#include "link_table.h"
#include "private_bus.h"

using namespace tl;
using namespace tl::test;

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
  QTest::addColumn<LinkRow>("row");

  const QStringList found = {QStringLiteral("BPM Fake ") + kFakeMeter};
  const QString lost = QStringLiteral("la connexion avec le tensiomètre a été perdue");
  const QString noMeter = QStringLiteral(
      "aucun tensiomètre n'a été trouvé : mettez-le en mode transfert puis recommencez");
  const QString pair =
      QStringLiteral("appairez le tensiomètre dans les paramètres Bluetooth du système");

  // mmHg with irregular pulse, a NaN mean pressure, then kPa; another device.
  QTest::newRow("three records, another device ignored")
      << LinkRow{"three", "", found, "0700", -1, "2a2b:10", true, ""};
  QTest::newRow("burst of 60 from a remembered meter")
      << LinkRow{"burst", kFakeMeter, {}, "0000", -1, "2a2b:10", true, ""};
  QTest::newRow("meter clock reset to 2000")
      << LinkRow{"clock_reset", "", found, "0000", -1, "2a2b:10", true, ""};
  QTest::newRow("adapter off") << LinkRow{"off", "", {}, "", 0, "", false, kPoweredOff};
  QTest::newRow("no adapter") << LinkRow{"no_adapter", kFakeMeter, {},        "", 0,
                                         "",           false,      kNoAdapter};
  QTest::newRow("authentication failure")
      << LinkRow{"auth_failed", "", found, "", 0, "", false, pair};
  QTest::newRow("bond forgotten by the meter")
      << LinkRow{"bond_forgotten", "", found, "", 0, "", false, pair};
  QTest::newRow("silent meter") << LinkRow{"silent", "",        found, "0000",
                                           0,        "2a2b:10", false, kSilent};
  QTest::newRow("link dropped after two of five")
      << LinkRow{"drop", "", found, "0000", 2, "2a2b:10", false, lost};
  QTest::newRow("no 0x1810 advertised")
      << LinkRow{"not_a_meter", "", {}, "", 0, "", false, noMeter};
  QTest::newRow("no 0x1810 in a remembered device")
      << LinkRow{"remembered_not_a_meter", kFakeMeter, {}, "", 0, "", false, kNoService};
  QTest::newRow("clock that cannot be written")
      << LinkRow{"clock_refused", "", found, "0000", -1, "", true, ""};
}

void TestBluetooth::read() {
  QFETCH(LinkRow, row);
  const QString log = bus_.file(QString::fromLatin1(QTest::currentDataTag()) + ".log");
  QProcess fake;
  const auto endFake = qScopeGuard([&fake] { test::End(fake); });
  QVERIFY(bus_.startFake(fake, QStringLiteral(TENSIOLOG_FAKE_BLUEZ), {{"meter", row.meter}}, log));

  BluetoothMeterLink link;
  VerifyLinkRun(RunLink(link, row), row);
  if (QTest::currentTestFailed())
    return;

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
  QCOMPARE(writes, row.clockWrite.isEmpty() ? QStringList{} : QStringList{row.clockWrite});
}

QTEST_GUILESS_MAIN(TestBluetooth)
#include "tst_bluetooth.moc"
