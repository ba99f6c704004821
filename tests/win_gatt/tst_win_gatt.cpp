// The Windows meter link against the fake BluetoothApis.dll beside this
// program, which plays the meters of meters.json as fake_bluez.py does on
// Linux; the paired devices come from the same fake.
#include "win_gatt/win_gatt_meter_link.h"

#include "fake_gatt.h"
#include "link_table.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>

using namespace tl;
using namespace tl::test;

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
  QTest::addColumn<LinkRow>("row");
  QTest::addColumn<int>("busyMs"); // the thread of the link is held once the first record came

  const QStringList found = {QStringLiteral("BPM Fake ") + kFakeMeter};
  const QString pair =
      QStringLiteral("appairez le tensiomètre dans les paramètres Bluetooth de Windows");

  QTest::newRow("three records, a paired headset ignored")
      << LinkRow{"three", "", found, "0700", -1, "2a2b:10", true, ""} << 0;
  QTest::newRow("burst of 60 while the program is busy")
      << LinkRow{"burst", kFakeMeter, {}, "0000", -1, "2a2b:10", true, ""} << 400;
  QTest::newRow("meter clock reset to 2000")
      << LinkRow{"clock_reset", "", found, "0000", -1, "2a2b:10", true, ""} << 0;
  QTest::newRow("Bluetooth off") << LinkRow{"off", "", {}, "", 0, "", false, kPoweredOff} << 0;
  QTest::newRow("no adapter") << LinkRow{"no_adapter", kFakeMeter, {}, "", 0, "", false, kNoAdapter}
                              << 0;
  QTest::newRow("no paired meter") << LinkRow{"auth_failed", "", {}, "", 0, "", false, pair} << 0;
  QTest::newRow("remembered meter no longer paired")
      << LinkRow{"auth_failed", kFakeMeter, {}, "", 0, "", false, pair} << 0;
  QTest::newRow("bond forgotten by the meter")
      << LinkRow{"bond_forgotten", "", found, "", 0, "", false, pair} << 0;
  QTest::newRow("silent meter") << LinkRow{"silent", "",        found, "0000",
                                           0,        "2a2b:10", false, kSilent}
                                << 0;
  // Windows' API tells nothing of a lost link: the records that came are kept.
  QTest::newRow("link dropped after two of five")
      << LinkRow{"drop", "", found, "0000", 2, "2a2b:10", true, ""} << 0;
  QTest::newRow("paired device without 0x1810")
      << LinkRow{"not_a_meter", "", {}, "", 0, "", false, pair} << 0;
  QTest::newRow("no 0x1810 in a remembered device")
      << LinkRow{"remembered_not_a_meter", kFakeMeter, {}, "", 0, "", false, kNoService} << 0;
  QTest::newRow("clock that cannot be written")
      << LinkRow{"clock_refused", "", found, "0000", -1, "", true, ""} << 0;
}

void TestWinGatt::read() {
  QFETCH(LinkRow, row);
  QFETCH(int, busyMs);
  QVERIFY(fake_->play({{"meter", row.meter}}));

  WinGattMeterLink link;
  const LinkRun run = RunLink(link, row, [busyMs](const LinkRun &run) {
    if (run.values.size() == 1 && busyMs > 0)
      QThread::msleep(busyMs); // the rest arrive meanwhile, queued
  });
  VerifyLinkRun(run, row);
  if (QTest::currentTestFailed())
    return;
  // Stamped when they came, on the system's thread, not when the link got them.
  if (busyMs > 0)
    QVERIFY(run.times.at(1) < run.times.at(0).addMSecs(busyMs));
  QCOMPARE(fake_->writes(), row.clockWrite.isEmpty() ? QStringList{} : QStringList{row.clockWrite});
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
  link->read(kFakeMeter);
  QTRY_VERIFY_WITH_TIMEOUT(values >= 5, 5000);
  QTest::qWait(100);
  QCOMPARE(values, 5);
  link->read(kFakeMeter); // the fake starts again: this time the link goes mid-way
  QTRY_VERIFY_WITH_TIMEOUT(values >= 8, 5000);
  link.reset();
  QTest::qWait(400);
  QVERIFY(finished.isEmpty());
}

QTEST_GUILESS_MAIN(TestWinGatt)
#include "tst_win_gatt.moc"
