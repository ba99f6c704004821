#pragma once

// What every benchmark program shares: fixtures made once per key, and the
// main() of the programs that need Qt Gui or Widgets.

#include <QByteArray>
#include <QtGlobal>
#include <benchmark/benchmark.h>
#include <map>
#include <memory>

namespace tl::bench {

// The fixture of `key`, made by `make` the first time it is asked for and
// kept for the whole run (each calling place has its own).
template <typename Fixture, typename Key, typename Make>
Fixture &MadeOnce(const Key &key, Make make) {
  static std::map<Key, std::unique_ptr<Fixture>> made;
  std::unique_ptr<Fixture> &f = made[key];
  if (!f) {
    f = make();
  }
  return *f;
}

// Runs the benchmarks the arguments select inside an application of type
// App (QGuiApplication or QApplication), on the offscreen platform unless
// another is asked for.
template <typename App> int RunInApplication(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  App app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

} // namespace tl::bench
