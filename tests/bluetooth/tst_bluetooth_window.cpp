// "Lire le tensiomètre (Bluetooth)..." from the main window, through Qt
// Bluetooth's real BlueZ backend: fake_bluez.py on a private bus plays the
// meter; the window finds or remembers it, reads it, and the readings are
// filed and saved.
#include "fakes.h"
#include "test_world.h"

#include "app/commands.h"
#include "app/import_preview_window.h"
#include "app/main_window.h"
#include "app/meter_window.h"
#include "bluetooth/bluetooth_meter_link.h"
#include "common/app_state.h"
#include "common/paths.h"
#include "common/preferences_file.h"
#include "logbook/workflows.h"
#include "ui/assets/assets.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

#include "private_bus.h"

using namespace tl;
using namespace tl::test;

namespace {

const QString kMeter = QStringLiteral("A4:C1:38:00:00:01");

} // namespace

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
      auto link = std::make_unique<BluetoothMeterLink>();
      link->setTimings({.searchMs = 1500, .idleMs = 1000, .totalMs = 8000});
      return link;
    });
    QStringList listed;
    SetMeterWindowRunner([&](MeterWindow &w) {
      w.show();
      auto *list = qobject_cast<QListWidget *>(w.control(ControlId::MeterList));
      auto *read = qobject_cast<QPushButton *>(w.control(ControlId::MeterButtonRead));
      if (!remembered) {
        // The person waits for the meter to show up, then reads it.
        if (QTest::qWaitFor([list] { return list->count() > 0; }, 10000)) {
          listed << list->item(0)->text();
          read->click();
        }
      }
      // The outcome is read from the window below.
      (void)QTest::qWaitFor([&] { return w.result() == QDialog::Accepted || read->isEnabled(); },
                            10000);
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
    // On disk: the three readings, and the irregular pulse the meter flagged.
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
  TestBus bus_;
};

QTEST_MAIN(TestBluetoothWindow)
#include "tst_bluetooth_window.moc"
