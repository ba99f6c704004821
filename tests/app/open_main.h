#pragma once

// The program's main window for one patient, wired to its commands as the
// program wires it, for the tests that drive it.

#include "app/commands.h"
#include "app/main_window.h"
#include "common/app_state.h"
#include "common/paths.h"

#include <QApplication>
#include <memory>

namespace tl::test {

// `patient` becomes the current one; the window is shown and active unless
// `shown` is false.
inline std::unique_ptr<MainWindow> OpenWiredMain(const QString &patient = QStringLiteral("Alice"),
                                                 bool shown = true) {
  State().currentPatient = patient;
  RebuildMeasurementPaths(Paths(), patient);
  auto main = std::make_unique<MainWindow>();
  ConnectCommands(*main);
  if (shown) {
    main->setPatientLine(patient);
    main->show();
    QApplication::setActiveWindow(main.get());
  }
  return main;
}

} // namespace tl::test
