// "Lire le tensiomètre (Bluetooth)..." from the main window of the Windows
// build: the link on Windows' API, the fake BluetoothApis.dll playing the
// meter; the window finds or remembers it, reads it while the program is
// busy now and then, and the readings are filed and saved.
#include "ui/assets/assets.h"
#include "win_gatt/win_gatt_meter_link.h"

#include <QTest>
#include <QThread>

#include "fake_gatt.h"
#include "meter_window_run.h"

using namespace tl;
using namespace tl::test;

class TestWinGattWindow : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() {
    QVERIFY2(fake_->load(), "BluetoothApis.dll beside the test is not the fake");
    SetGattDevices(fake_);
    LoadSharedAssets();
  }
  void cleanupTestCase() { SetGattDevices(nullptr); }

  void readFromTheMenu_data() {
    QTest::addColumn<bool>("remembered"); // the meter is in the preferences
    QTest::newRow("found among the paired devices") << false;
    QTest::newRow("remembered, read at once") << true;
  }
  void readFromTheMenu() {
    QFETCH(bool, remembered);
    // mmHg with irregular pulse, a NaN mean pressure, then kPa; slow enough
    // for the window to be busy while they come.
    QVERIFY(fake_->play({{"meter", "three"}, {"interval_ms", 150}}));
    ReadThreeFromTheMenu(
        [] { return std::make_unique<WinGattMeterLink>(); }, remembered,
        [](MeterWindow &) {
          // Busy for a while, as when the disk is slow: the records keep coming.
          QTest::qWait(100);
          QThread::msleep(400);
        },
        [remembered](MeterWindow &w) {
          w.grab().save(
              SnapshotFolder() +
              QStringLiteral("win-gatt-meter-window%1.png").arg(remembered ? "-remembered" : ""));
        });
  }

private:
  std::shared_ptr<FakeGatt> fake_ = std::make_shared<FakeGatt>();
};

QTEST_MAIN(TestWinGattWindow)
#include "tst_win_gatt_window.moc"
