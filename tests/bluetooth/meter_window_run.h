#pragma once

// "Lire le tensiomètre (Bluetooth)..." from the main window's menu, the same
// for both meter links: the window finds or remembers the fake meter "three",
// reads it, and the readings are filed and saved.

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

#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <algorithm>
#include <functional>

#include "link_table.h"

namespace tl::test {

// Reads the meter with the links `make` builds, the meter remembered in the
// preferences or found by the window's search; `whileReading` runs in the
// window once the read has begun, `whenDone` once it has ended. Then checks
// what the person is told and what is on disk: the three readings with the
// irregular pulse the meter flagged, and the meter remembered.
inline void ReadThreeFromTheMenu(const std::function<std::unique_ptr<MeterLink>()> &make,
                                 bool remembered,
                                 const std::function<void(MeterWindow &)> &whileReading = {},
                                 const std::function<void(MeterWindow &)> &whenDone = {}) {
  TestWorld env;
  if (remembered) {
    Preferences prefs;
    prefs.meterAddress = kFakeMeter;
    QVERIFY(!WritePreferencesFile(Paths().preferencesFile, SerializeClosingPreferences(prefs)));
  }
  State().currentPatient = QStringLiteral("Alice");
  RebuildMeasurementPaths(Paths(), State().currentPatient);
  MainWindow main;
  ConnectCommands(main);
  main.setPatientLine(State().currentPatient);
  main.show();

  SetMeterLinkFactory([make] {
    std::unique_ptr<MeterLink> link = make();
    link->setTimings({.searchMs = 1500, .idleMs = 1000, .totalMs = 8000});
    return link;
  });
  QStringList listed;
  SetMeterWindowRunner([&](MeterWindow &w) {
    w.show();
    auto *list = qobject_cast<QListWidget *>(w.control(ControlId::MeterList));
    auto *read = qobject_cast<QPushButton *>(w.control(ControlId::MeterButtonRead));
    // The person waits for the meter to show up, then reads it.
    if (!remembered && QTest::qWaitFor([list] { return list->count() > 0; }, 10000)) {
      listed << list->item(0)->text();
      read->click();
    }
    if (whileReading)
      whileReading(w);
    (void)QTest::qWaitFor([&] { return w.result() == QDialog::Accepted || read->isEnabled(); },
                          10000);
    if (whenDone)
      whenDone(w);
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

  QCOMPARE(listed, remembered ? QStringList{} : QStringList{"BPM Fake (" + kFakeMeter + ")"});
  QVERIFY(!env.dialogs.shown.isEmpty());
  QVERIFY2(env.dialogs.shown.last().text.startsWith(
               QStringLiteral("3 relevés importés, 0 doublon ignoré, 0 ligne rejetée.")),
           qPrintable(env.dialogs.shown.last().text));
  QCOMPARE(ReadPreferences(PreferencesReader::fromFile(Paths().preferencesFile)).meterAddress,
           kFakeMeter);
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

} // namespace tl::test
