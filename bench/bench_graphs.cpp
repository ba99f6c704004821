// The refresh of averages and graphs and the drawing of one graph, against
// loading the same list from its file. Compare the times as ratios within one
// run: the style-1 refresh of a list should cost no more than its loading,
// and no step should grow faster than the number of readings.
#include "bench_logbook.h"
#include "bench_support.h"

#include "common/app_state.h"
#include "graphs/graph_canvas.h"
#include "graphs/graph_painter.h"
#include "measurements/classification.h"
#include "measurements/measurement_file.h"
#include "measurements/period_list_model.h"
#include "readings/reading_commands.h"
#include "ui/main_window_api.h"

#include <QApplication>
#include <QComboBox>
#include <QHash>
#include <QLabel>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>
#include <memory>

using namespace tl;

namespace {

std::vector<Reading> MakeReadings(qsizetype n) {
  QRandomGenerator rng(7);
  std::vector<Reading> out;
  out.reserve(size_t(n));
  for (qsizetype i = 0; i < n; ++i) {
    const qint64 s = 90 + rng.bounded(90);
    const qint64 d = 50 + rng.bounded(60);
    Reading r;
    r.set(Reading::Date, QStringLiteral("14/03/2026"));
    r.set(Reading::Time, QStringLiteral("08:15"));
    r.set(Reading::Systolic, QString::number(s));
    r.set(Reading::Diastolic, QString::number(d));
    r.set(Reading::Pulse, QString::number(50 + rng.bounded(50)));
    r.set(Reading::Diagnosis, DiagnosisSentence(s, d));
    out.push_back(std::move(r));
  }
  return out;
}

// Just the controls the refresh writes: average labels, the period and style
// selectors, the three titles and canvases at the main window's size.
class BenchWindow : public QWidget, public MainWindowApi {
public:
  BenchWindow() {
    // Average values 56 to 60, base lines 61 to 65, graph titles 66, 68, 70.
    for (int id = 56; id <= 65; ++id) {
      controls_.insert(id, new QLabel(this));
    }
    for (int id : {66, 68, 70}) {
      controls_.insert(id, new QLabel(this));
    }
    auto *periods = new QComboBox(this);
    periods->addItems({"Matin", "Après-midi", "Soir", "Nuit"});
    controls_.insert(44, periods);
    auto *styles = new QComboBox(this);
    styles->addItems({"1", "2", "3"});
    controls_.insert(45, styles);
    for (int id : {67, 69, 71}) {
      auto *canvas = new GraphCanvas(this);
      canvas->resize(752, 150);
      controls_.insert(id, canvas);
    }
  }
  QWidget *window() override { return this; }
  QWidget *control(ControlId id) override { return controls_.value(ToInt(id)); }
  Logbook &logbook() override { return book_.book; }
  void updateStatusCounts() override {}
  void setPatientLine(const QString &) override {}
  void refreshAveragesAndGraphs() override { RefreshAveragesAndGraphs(*this); }
  void setPinned(bool) override {}
  int currentTab() const override { return 4; }
  void setCurrentTab(int) override {}
  QList<int> selectedRows(DayPeriod) const override { return {}; }
  QList<int> markedRows(DayPeriod) const override { return {}; }

  bench::Book book_{QString(), QStringLiteral("bench")};
  QHash<int, QWidget *> controls_;
};

struct Fixture {
  QTemporaryDir dir;
  QString path;
  std::unique_ptr<BenchWindow> window;
  GraphSeries series;
};

// One file and one window holding the list in Matin per size, made once.
Fixture &FixtureFor(qsizetype n) {
  return bench::MadeOnce<Fixture>(n, [n] {
    auto f = std::make_unique<Fixture>();
    std::vector<Reading> readings = MakeReadings(n);
    f->path = f->dir.path() + QStringLiteral("/ARTL_Matin_bench.txt");
    WriteWholeFile(f->path, SerializeMeasurementFile(readings));
    f->series = SeriesOf(readings);
    f->window = std::make_unique<BenchWindow>();
    f->window->lists().list(DayPeriod::Matin).setReadings(std::move(readings));
    return f;
  });
}

// Baseline: the list loaded from its file into its model.
void BM_LoadList(benchmark::State &state) {
  Fixture &f = FixtureFor(state.range(0));
  PeriodListModel list(DayPeriod::Matin);
  for (auto _ : state) {
    benchmark::DoNotOptimize(LoadPeriodList(list, f.path));
  }
  state.SetComplexityN(state.range(0));
}

// The five average boxes, the selector back to Matin and the three graphs,
// painted as when the averages page is on show (canvases paint only then).
void BM_Refresh(benchmark::State &state) {
  Fixture &f = FixtureFor(state.range(0));
  State().curveStyle = int(state.range(1));
  for (auto _ : state) {
    RefreshAveragesAndGraphs(*f.window);
    for (int id : {67, 69, 71}) {
      benchmark::DoNotOptimize(
          static_cast<GraphCanvas *>(f.window->controls_.value(id))->picture().constBits());
    }
  }
  state.SetComplexityN(state.range(0));
}

// "Actualiser": the boxes only.
void BM_RefreshAverages(benchmark::State &state) {
  Fixture &f = FixtureFor(state.range(0));
  for (auto _ : state) {
    RefreshAverages(*f.window);
  }
  state.SetComplexityN(state.range(0));
}

// One graph painted from its values.
void BM_PaintOneGraph(benchmark::State &state) {
  Fixture &f = FixtureFor(state.range(0));
  const int style = int(state.range(1));
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        PaintGraph(f.series.systolic, QSize(752, 150), 1.0, SystolicCurveColour(), style, false));
  }
  state.SetComplexityN(state.range(0));
}

void Sizes(benchmark::internal::Benchmark *b) {
  b->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
}

} // namespace

BENCHMARK(BM_LoadList)->Arg(1000)->Arg(10000)->Arg(100000)->Apply(Sizes);
BENCHMARK(BM_RefreshAverages)->Arg(1000)->Arg(10000)->Arg(100000)->Apply(Sizes);
BENCHMARK(BM_Refresh)
    ->ArgNames({"n", "style"})
    ->Args({1000, 1})
    ->Args({10000, 1})
    ->Args({100000, 1})
    ->Apply(Sizes);
BENCHMARK(BM_PaintOneGraph)
    ->ArgNames({"n", "style"})
    ->Args({1000, 1})
    ->Args({10000, 1})
    ->Args({100000, 1})
    ->Apply(Sizes);
// Styles 2 and 3 write a value (and a circle) at every point: reported apart.
BENCHMARK(BM_Refresh)
    ->Name("BM_Refresh_values")
    ->ArgNames({"n", "style"})
    ->Args({1000, 2})
    ->Args({10000, 2})
    ->Args({100000, 2})
    ->Apply(Sizes);
BENCHMARK(BM_Refresh)
    ->Name("BM_Refresh_circled")
    ->ArgNames({"n", "style"})
    ->Args({1000, 3})
    ->Args({10000, 3})
    ->Args({100000, 3})
    ->Apply(Sizes);
BENCHMARK(BM_PaintOneGraph)
    ->Name("BM_PaintOneGraph_values")
    ->ArgNames({"n", "style"})
    ->Args({1000, 2})
    ->Args({10000, 2})
    ->Args({100000, 2})
    ->Apply(Sizes);
BENCHMARK(BM_PaintOneGraph)
    ->Name("BM_PaintOneGraph_circled")
    ->ArgNames({"n", "style"})
    ->Args({1000, 3})
    ->Args({10000, 3})
    ->Args({100000, 3})
    ->Apply(Sizes);

int main(int argc, char **argv) { return tl::bench::RunInApplication<QApplication>(argc, argv); }
