// "Lire le tensiomètre (Bluetooth)..." from the main window, through Qt
// Bluetooth's real BlueZ backend: fake_bluez.py on a private bus plays the
// meter; the window finds or remembers it, reads it, and the readings are
// filed and saved.
#include "bluetooth/bluetooth_meter_link.h"
#include "ui/assets/assets.h"

#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>

#include "meter_window_run.h"
#include "private_bus.h"

using namespace tl;
using namespace tl::test;

class TestBluetoothWindow : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() {
    if (const QString missing = bus_.start(); !missing.isEmpty()) {
      QSKIP(qPrintable(missing));
    }
    LoadSharedAssets();
    QVERIFY2(!bus_.address().isEmpty(), bus_.errors().constData());
  }

  void readFromTheMenu_data() {
    QTest::addColumn<bool>("remembered"); // the meter is known and in the preferences
    QTest::newRow("found by the search") << false;
    QTest::newRow("remembered, read at once") << true;
  }
  void readFromTheMenu() {
    QFETCH(bool, remembered);
    // mmHg with irregular pulse, a NaN mean pressure, then kPa (exponent -1).
    const QJsonObject scenario{{"meter", "three"}, {"known", remembered}};
    QProcess fake;
    const auto endFake = qScopeGuard([&fake] { End(fake); });
    QVERIFY(bus_.startFake(fake, QStringLiteral(TENSIOLOG_FAKE_BLUEZ), scenario,
                           bus_.file(QStringLiteral("window.log"))));
    ReadThreeFromTheMenu([] { return std::make_unique<BluetoothMeterLink>(); }, remembered);
  }

private:
  TestBus bus_;
};

QTEST_MAIN(TestBluetoothWindow)
#include "tst_bluetooth_window.moc"
