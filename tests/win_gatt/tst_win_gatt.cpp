// The Windows meter link against the fake BluetoothApis.dll beside this
// program, which plays the meters of meters.json as fake_bluez.py does on
// Linux; the paired devices come from the same fake.
#include "win_gatt/win_gatt_meter_link.h"

#include "fake_gatt.h"
#include "meters.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>

using namespace tl;

namespace {

const QString kMeter = QStringLiteral("A4:C1:38:00:00:01");

} // namespace

class TestWinGatt : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() {
    QVERIFY2(fake_->load(), "BluetoothApis.dll beside the test is not the fake");
    SetGattDevices(fake_);
  }
  void cleanupTestCase() { SetGattDevices(nullptr); }
  void read_data();
  void read();
  void cancelWhileRecordsArrive();

private:
  std::shared_ptr<test::FakeGatt> fake_ = std::make_shared<test::FakeGatt>();
};

void TestWinGatt::read_data() {
  QTest::addColumn<QString>("meter");   // in meters.json
  QTest::addColumn<QString>("address"); // "" searches and reads the first meter found
  QTest::addColumn<QStringList>("found");
  QTest::addColumn<QString>("feature");
  QTest::addColumn<int>("received"); // how many of its records arrive (-1: all)
  QTest::addColumn<QString>("clockWrite");
  QTest::addColumn<int>("busyMs"); // the thread of the link is held once the first record came
  QTest::addColumn<bool>("ok");
  QTest::addColumn<QString>("error");

  const QStringList found = {QStringLiteral("BPM Fake ") + kMeter};
  const QString pair =
      QStringLiteral("appairez le tensiomètre dans les paramètres Bluetooth de Windows");

  QTest::newRow("three records, a paired headset ignored")
      << "three"
      << "" << found << "0700" << -1 << "2a2b:10" << 0 << true << "";
  QTest::newRow("burst of 60 while the program is busy")
      << "burst" << kMeter << QStringList{} << "0000" << -1 << "2a2b:10" << 400 << true << "";
  QTest::newRow("meter clock reset to 2000")
      << "clock_reset"
      << "" << found << "0000" << -1 << "2a2b:10" << 0 << true << "";
  QTest::newRow("Bluetooth off") << "off"
                                 << "" << QStringList{} << "" << 0 << "" << 0 << false
                                 << "le Bluetooth est désactivé : activez-le puis recommencez";
  QTest::newRow("no adapter") << "no_adapter" << kMeter << QStringList{} << "" << 0 << "" << 0
                              << false
                              << "aucun adaptateur Bluetooth n'a été trouvé sur cet ordinateur";
  QTest::newRow("no paired meter") << "auth_failed"
                                   << "" << QStringList{} << "" << 0 << "" << 0 << false << pair;
  QTest::newRow("remembered meter no longer paired")
      << "auth_failed" << kMeter << QStringList{} << "" << 0 << "" << 0 << false << pair;
  QTest::newRow("bond forgotten by the meter")
      << "bond_forgotten"
      << "" << found << "" << 0 << "" << 0 << false << pair;
  QTest::newRow("silent meter") << "silent"
                                << "" << found << "0000" << 0 << "2a2b:10" << 0 << false
                                << "aucune mesure n'a été reçue du tensiomètre";
  // Windows' API tells nothing of a lost link: the records that came are kept.
  QTest::newRow("link dropped after two of five")
      << "drop"
      << "" << found << "0000" << 2 << "2a2b:10" << 0 << true << "";
  QTest::newRow("paired device without 0x1810")
      << "not_a_meter"
      << "" << QStringList{} << "" << 0 << "" << 0 << false << pair;
  QTest::newRow("no 0x1810 in a remembered device")
      << "remembered_not_a_meter" << kMeter << QStringList{} << "" << 0 << "" << 0 << false
      << "cet appareil n'offre pas le service de tension artérielle Bluetooth";
  QTest::newRow("clock that cannot be written")
      << "clock_refused"
      << "" << found << "0000" << -1 << "" << 0 << true << "";
}

void TestWinGatt::read() {
  QFETCH(QString, meter);
  QFETCH(QString, address);
  QFETCH(QStringList, found);
  QFETCH(QString, feature);
  QFETCH(int, received);
  QFETCH(QString, clockWrite);
  QFETCH(int, busyMs);
  QFETCH(bool, ok);
  QFETCH(QString, error);
  QVERIFY(fake_->play({{"meter", meter}}));

  WinGattMeterLink link;
  link.setTimings({.searchMs = 1500, .idleMs = 1000, .totalMs = 8000});
  QStringList seen, values, features;
  QList<QDateTime> times;
  QSignalSpy finished(&link, &MeterLink::finished);
  connect(&link, &MeterLink::meterFound, this, [&](const QString &name, const QString &address) {
    seen << name + ' ' + address;
    if (seen.size() == 1)
      link.read(address);
  });
  connect(&link, &MeterLink::featureRead, this,
          [&](const QByteArray &value) { features << QString::fromLatin1(value.toHex()); });
  connect(&link, &MeterLink::measurementReceived, this,
          [&](const QByteArray &value, const QDateTime &at) {
            values << QString::fromLatin1(value.toHex());
            times << at;
            if (values.size() == 1 && busyMs > 0)
              QThread::msleep(busyMs); // the rest arrive meanwhile, queued
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
  // Stamped when they came, on the system's thread, not when the link got them.
  if (busyMs > 0)
    QVERIFY(times.at(1) < times.at(0).addMSecs(busyMs));
  QCOMPARE(fake_->writes(), clockWrite.isEmpty() ? QStringList{} : QStringList{clockWrite});
}

// A link cancelled, then gone, while the meter still sends: nothing more comes
// from it, and the records still on their way touch nothing that is gone.
void TestWinGatt::cancelWhileRecordsArrive() {
  QVERIFY(fake_->play({{"meter", "burst"}, {"interval_ms", 5}}));
  auto link = std::make_unique<WinGattMeterLink>();
  int values = 0;
  QSignalSpy finished(link.get(), &MeterLink::finished);
  connect(link.get(), &MeterLink::measurementReceived, this, [&] {
    if (++values == 5)
      link->cancel();
  });
  link->read(kMeter);
  QTRY_VERIFY_WITH_TIMEOUT(values >= 5, 5000);
  QTest::qWait(100);
  QCOMPARE(values, 5);
  link->read(kMeter); // the fake starts again: this time the link goes mid-way
  QTRY_VERIFY_WITH_TIMEOUT(values >= 8, 5000);
  link.reset();
  QTest::qWait(400);
  QVERIFY(finished.isEmpty());
}

QTEST_GUILESS_MAIN(TestWinGatt)
#include "tst_win_gatt.moc"
