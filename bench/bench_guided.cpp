// The guided session with a long logbook: from a click on "Mesurer
// maintenant" to its window shown, and from Enter on a typed reading to the
// reading filed and saved on disk (the series line and the averages drawn
// again after it), for a patient with 22 000 readings in each list and a
// series under way. Both are meant to stay under 100 ms.
#include "bench_support.h"

#include "app/guided_dialog.h"
#include "app/main_window.h"
#include "app/series_companion.h"
#include "app/startup.h"
#include "common/paths.h"
#include "common/preferences_file.h"
#include "measurements/classification.h"
#include "measurements/measurement_file.h"
#include "platform/clock.h"
#include "series/series_run.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace tl;

namespace {

const QString kPatient = QStringLiteral("Patient Banc");
constexpr qsizetype kPerList = 22000;

// A clock one minute further at each reading, so that no two are the same.
class SteppingClock : public Clock {
public:
  QDateTime at = QDateTime(QDate::currentDate(), QTime(21, 0));
  QDateTime now() const override { return at; }
};

// A home folder holding the patient's four lists, each of `kPerList`
// readings, the last of them yesterday, and a 2-2-3 series begun yesterday.
QTemporaryDir &Home() {
  static QTemporaryDir dir;
  static bool made = false;
  if (!made) {
    made = true;
    const StoragePaths paths = SetupStorage(dir.path() + u'/', kPatient);
    QRandomGenerator rng(7);
    const QDate last = QDate::currentDate().addDays(-1);
    const char *times[] = {"07:10", "14:10", "21:10", "03:10"};
    for (DayPeriod period : kAllPeriods) {
      std::vector<Reading> rows;
      rows.reserve(size_t(kPerList));
      for (qsizetype i = 0; i < kPerList; ++i) {
        const qint64 s = 95 + rng.bounded(80), d = 55 + rng.bounded(40);
        Reading r;
        r.set(0, last.addDays(i - kPerList + 1).toString(QStringLiteral("dd/MM/yyyy")));
        r.set(1, QString::fromLatin1(times[PeriodIndex(period)]));
        r.set(2, QString::number(s));
        r.set(3, QString::number(d));
        r.set(4, QString::number(50 + rng.bounded(50)));
        r.set(5, DiagnosisSentence(s, d));
        rows.push_back(std::move(r));
      }
      WriteWholeFile(paths.measurementFile(period), SerializeMeasurementFile(rows));
    }
    SeriesRun run;
    run.start = last;
    WriteWholeFile(paths.preferencesFile,
                   QByteArray("\xEF\xBB\xBF\r\nUsername = ") + kPatient.toUtf8() +
                       QByteArray("\r\nCurrentUser = 1\r\nSeriesRuns = ") +
                       WithPatientEntry(QString(), kPatient, SeriesRunText(run)).toUtf8() +
                       QByteArray("\r\n"));
  }
  qputenv("HOME", QFile::encodeName(dir.path()));
  return dir;
}

Application &Program() {
  // Left to the end of the process: its windows must not outlive the application.
  static Application *program = nullptr;
  if (!program) {
    Home();
    program = new Application;
    if (!program->start()) {
      qFatal("start-up did not reach the main window");
    }
  }
  return *program;
}

void BM_MeasureNowToDialogShown(benchmark::State &state) {
  SteppingClock clock;
  setClock(&clock);
  MainWindow &main = *Program().mainWindow();
  SeriesCompanion &series = *SeriesCompanion::of(main);
  auto *button = static_cast<QPushButton *>(main.control(ControlId::ButtonMeasureNow));
  QElapsedTimer timer;
  series.runDialog = [&](GuidedDialog &dialog) {
    dialog.show();
    QCoreApplication::processEvents(); // laid out and painted
    state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
  };
  for (auto _ : state) {
    timer.start();
    button->click();
  }
  setClock(nullptr);
}

void BM_EnterToReadingSaved(benchmark::State &state) {
  SteppingClock clock;
  setClock(&clock);
  MainWindow &main = *Program().mainWindow();
  SeriesCompanion &series = *SeriesCompanion::of(main);
  GuidedDialog *open = nullptr;
  GuidedDialog dialog(
      1 << 30, QString(),
      [&](const GuidedReading &reading, QString *line) {
        return series.fileReading(reading, line, open);
      },
      [&] { return series.lines().join(u'\n'); }, &main);
  open = &dialog;
  dialog.show();
  const auto press = [&](ControlId id) { static_cast<QPushButton *>(dialog.control(id))->click(); };
  press(ControlId::GuidedStartRest);
  QRandomGenerator rng(11);
  QElapsedTimer timer;
  for (auto _ : state) {
    clock.at = clock.at.addSecs(60);
    press(ControlId::GuidedSkipWait); // the rest and the minute between readings are not measured
    auto *systolic = static_cast<QLineEdit *>(dialog.control(ControlId::GuidedSystolic));
    systolic->setText(QString::number(110 + rng.bounded(30)));
    static_cast<QLineEdit *>(dialog.control(ControlId::GuidedDiastolic))
        ->setText(QString::number(70 + rng.bounded(15)));
    static_cast<QLineEdit *>(dialog.control(ControlId::GuidedPulse))
        ->setText(QString::number(60 + rng.bounded(20)));
    static_cast<QLineEdit *>(dialog.control(ControlId::GuidedNote))
        ->setText(QStringLiteral("banc"));
    timer.start();
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(systolic, &enter);
    state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    if (dialog.filed().isEmpty()) {
      state.SkipWithError("the reading was not filed");
      break;
    }
  }
  setClock(nullptr);
}

} // namespace

BENCHMARK(BM_MeasureNowToDialogShown)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(30);
BENCHMARK(BM_EnterToReadingSaved)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

int main(int argc, char **argv) { return tl::bench::RunInApplication<QApplication>(argc, argv); }
