// "Lire le tensiomètre (Bluetooth)..." from the main window of the Windows
// build: the link on Windows' API, the fake BluetoothApis.dll playing the
// meter; the window finds or remembers it, reads it while the program is
// busy now and then, and the readings are filed and saved.
#include "fakes.h"
#include "test_world.h"

#include "app/commands.h"
#include "app/import_preview_window.h"
#include "app/main_window.h"
#include "app/meter_window.h"
#include "common/app_state.h"
#include "common/paths.h"
#include "common/preferences_file.h"
#include "logbook/workflows.h"
#include "ui/assets/assets.h"
#include "win_gatt/win_gatt_meter_link.h"

#include "fake_gatt.h"

#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <QThread>
#include <algorithm>

using namespace tl;
using namespace tl::test;

namespace {

const QString kMeter = QStringLiteral("A4:C1:38:00:00:01");

} // namespace

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

    TestWorld env;
    if (remembered) {
      Preferences prefs;
      prefs.meterAddress = kMeter;
      QVERIFY(!WritePreferencesFile(Paths().preferencesFile, SerializeClosingPreferences(prefs)));
    }
    State().currentPatient = QStringLiteral("Alice");
    RebuildMeasurementPaths(Paths(), State().currentPatient);
    MainWindow main;
    ConnectCommands(main);
    main.setPatientLine(State().currentPatient);
    main.show();

    SetMeterLinkFactory([] {
      auto link = std::make_unique<WinGattMeterLink>();
      link->setTimings({.searchMs = 1500, .idleMs = 1000, .totalMs = 8000});
      return link;
    });
    QStringList listed;
    SetMeterWindowRunner([&](MeterWindow &w) {
      w.show();
      auto *list = qobject_cast<QListWidget *>(w.control(ControlId::MeterList));
      auto *read = qobject_cast<QPushButton *>(w.control(ControlId::MeterButtonRead));
      if (!remembered) {
        if (QTest::qWaitFor([list] { return list->count() > 0; }, 10000)) {
          listed << list->item(0)->text();
          read->click();
        }
      }
      // Busy for a while, as when the disk is slow: the records keep coming.
      QTest::qWait(100);
      QThread::msleep(400);
      (void)QTest::qWaitFor([&] { return w.result() == QDialog::Accepted || read->isEnabled(); },
                            10000);
      w.grab().save(
          SnapshotFolder() +
          QStringLiteral("win-gatt-meter-window%1.png").arg(remembered ? "-remembered" : ""));
      return w.result() == QDialog::Accepted;
    });
    SetImportPreviewRunner([](ImportPreviewWindow &w) -> std::optional<ColumnMapping> {
      qobject_cast<QPushButton *>(w.control(ControlId::ImportButtonImport))->click();
      return w.result() == QDialog::Accepted ? std::optional(w.mapping()) : std::nullopt;
    });
    const auto restore = qScopeGuard([] {
      SetMeterWindowRunner({});
      SetImportPreviewRunner({});
      SetMeterLinkFactory({});
    });
    RunMenuCommand(main, ToInt(ControlId::MenuReadMeter));

    QCOMPARE(listed, remembered ? QStringList{} : QStringList{"BPM Fake (" + kMeter + ")"});
    QVERIFY(!env.dialogs.shown.isEmpty());
    QVERIFY2(env.dialogs.shown.last().text.startsWith(
                 QStringLiteral("3 relevés importés, 0 doublon ignoré, 0 ligne rejetée.")),
             qPrintable(env.dialogs.shown.last().text));
    QCOMPARE(ReadPreferences(PreferencesReader::fromFile(Paths().preferencesFile)).meterAddress,
             kMeter);
    QString patient = State().currentPatient;
    StoragePaths paths = Paths();
    Logbook reloaded(patient, paths);
    QVERIFY(LoadLogbook(reloaded).isEmpty());
    QCOMPARE(reloaded.lists().totalCount(), qsizetype(3));
    const std::vector<ContextRecord> contexts = reloaded.contexts().records();
    QCOMPARE(
        std::count_if(contexts.begin(), contexts.end(),
                      [](const ContextRecord &r) { return r.context.has(ContextFlag::Irregular); }),
        1);
    main.closeWithoutSaving();
  }

private:
  std::shared_ptr<FakeGatt> fake_ = std::make_shared<FakeGatt>();
};

QTEST_MAIN(TestWinGattWindow)
#include "tst_win_gatt_window.moc"
