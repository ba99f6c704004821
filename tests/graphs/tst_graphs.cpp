// Graph geometry (axes, grid, points in device pixels), the painting of one
// graph in each curve style, the titles and the canvas that keeps a picture.
#include "fakes.h"

#include "graphs/graph_canvas.h"
#include "graphs/graph_geometry.h"
#include "graphs/graph_painter.h"

#include <QTest>
#include <limits>

using namespace tl;

Q_DECLARE_METATYPE(std::vector<qint64>)

namespace {

constexpr qint64 kMin = std::numeric_limits<qint64>::min();
constexpr qint64 kMax = std::numeric_limits<qint64>::max();

std::vector<qint64> Ramp(int n, qint64 from, qint64 span) {
  std::vector<qint64> v;
  for (int i = 0; i < n; ++i) {
    v.push_back(from + (qint64(i) * 7919) % span);
  }
  return v;
}

bool HasColourNear(const QImage &image, const QColor &colour, int tolerance = 40) {
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (qAbs(c.red() - colour.red()) + qAbs(c.green() - colour.green()) +
              qAbs(c.blue() - colour.blue()) <
          tolerance) {
        return true;
      }
    }
  }
  return false;
}

} // namespace

class TestGraphs : public QObject {
  Q_OBJECT

private slots:
  void axesAndGrid_data() {
    QTest::addColumn<double>("scale");
    QTest::newRow("96 dpi") << 1.0;
    QTest::newRow("144 dpi") << 1.5;
  }
  void axesAndGrid() {
    QFETCH(double, scale);
    const GraphGeometry g = ComputeGraphGeometry({}, 752, 150, scale, scale);
    QCOMPARE(g.deviceSize, QSize(qRound(752 * scale), qRound(150 * scale)));
    QCOMPARE(g.axes[0], QPointF(10 * scale, 10 * scale));
    QCOMPARE(g.axes[1], QPointF(10 * scale, 140 * scale));
    QCOMPARE(g.axes[2], QPointF(742 * scale, 140 * scale));
    const double ys[] = {120, 95, 70, 45, 20};
    for (int i = 0; i < 5; ++i) {
      QCOMPARE(g.grid[size_t(i)], QLineF(10 * scale, ys[i] * scale, 742 * scale, ys[i] * scale));
    }
    QVERIFY(g.points.empty());
  }

  // Points for fixed inputs: first and last point, the extremes, and that
  // every point stays on the canvas.
  void points_data() {
    QTest::addColumn<std::vector<qint64>>("values");
    QTest::addColumn<double>("scale");
    QTest::addColumn<QPoint>("first");
    QTest::addColumn<QPoint>("last");
    QTest::addColumn<int>("topY");

    // Equal values: lo 119, hi 121, the line one unit (62.5 px) above the
    // bottom at 125, rounded to the even 62.
    QTest::newRow("three equal") << std::vector<qint64>{120, 120, 120} << 1.0 << QPoint(10, 62)
                                 << QPoint(722, 62) << 62;
    QTest::newRow("three equal x1.5")
        << std::vector<qint64>{120, 120, 120} << 1.5 << QPoint(15, 94) << QPoint(1083, 94) << 94;
    QTest::newRow("single reading")
        << std::vector<qint64>{128} << 1.0 << QPoint(10, 62) << QPoint(10, 62) << 62;
    QTest::newRow("single reading x1.5")
        << std::vector<qint64>{128} << 1.5 << QPoint(15, 94) << QPoint(15, 94) << 94;
    // A range of 48: the exact scale puts the highest point on the top edge,
    // not above the canvas.
    QTest::newRow("range 48") << std::vector<qint64>{100, 148, 124} << 1.0 << QPoint(10, 125)
                              << QPoint(722, 62) << 0;
    QTest::newRow("two points") << std::vector<qint64>{80, 160} << 1.0 << QPoint(10, 125)
                                << QPoint(722, 0) << 0;
    QTest::newRow("1000 readings")
        << Ramp(1000, 60, 120) << 1.0 << QPoint(10, -1) << QPoint(722, -1) << 0;
    QTest::newRow("5000 readings")
        << Ramp(5000, 60, 120) << 1.0 << QPoint(10, -1) << QPoint(722, -1) << 0;
    QTest::newRow("5000 readings x1.5")
        << Ramp(5000, 60, 120) << 1.5 << QPoint(15, -1) << QPoint(1083, -1) << 0;
    QTest::newRow("64-bit extremes")
        << std::vector<qint64>{kMin, 0, kMax} << 1.0 << QPoint(10, 125) << QPoint(722, 0) << 0;
    QTest::newRow("equal at the top of the range")
        << std::vector<qint64>{kMax, kMax} << 1.0 << QPoint(10, 62) << QPoint(722, 62) << 62;
    QTest::newRow("equal at the bottom of the range")
        << std::vector<qint64>{kMin} << 1.0 << QPoint(10, 62) << QPoint(10, 62) << 62;
    QTest::newRow("negative values")
        << std::vector<qint64>{-40, -10} << 1.0 << QPoint(10, 125) << QPoint(722, 0) << 0;
  }
  void points() {
    QFETCH(std::vector<qint64>, values);
    QFETCH(double, scale);
    QFETCH(QPoint, first);
    QFETCH(QPoint, last);
    QFETCH(int, topY);

    const GraphGeometry g = ComputeGraphGeometry(values, 752, 150, scale, scale);
    QCOMPARE(g.points.size(), values.size());
    QCOMPARE(g.points.front().x(), first.x());
    QCOMPARE(g.points.back().x(), last.x());
    if (first.y() >= 0) {
      QCOMPARE(g.points.front().y(), first.y());
    }
    if (last.y() >= 0) {
      QCOMPARE(g.points.back().y(), last.y());
    }
    int top = std::numeric_limits<int>::max();
    int bottom = std::numeric_limits<int>::min();
    for (size_t j = 0; j < g.points.size(); ++j) {
      const QPoint p = g.points[j];
      QVERIFY2(p.x() >= 0 && p.x() < g.deviceSize.width(), qPrintable(QString::number(j)));
      QVERIFY2(p.y() >= 0 && p.y() < g.deviceSize.height(), qPrintable(QString::number(j)));
      if (j > 0) {
        QVERIFY(p.x() >= g.points[j - 1].x());
      }
      top = qMin(top, p.y());
      bottom = qMax(bottom, p.y());
    }
    QCOMPARE(top, topY);
    if (g.low != g.high) {
      QCOMPARE(bottom, qRound(125 * scale)); // the smallest value, 15 px above the axis
    }
  }

  void halvesRoundToEven() {
    // Five values over 752 px: step (752 - 40) / 4 = 178; scale 125 / 4 =
    // 31.25, so value 2 lies at 125 - 62.5 = 62.5, rounded to 62.
    const GraphGeometry g =
        ComputeGraphGeometry(std::vector<qint64>{0, 1, 2, 3, 4}, 752, 150, 1, 1);
    QCOMPARE(g.horizontalStep, 178.0);
    QCOMPARE(g.verticalScale, 31.25);
    QCOMPARE(g.points[1], QPoint(188, 94)); // 93.75
    QCOMPARE(g.points[2], QPoint(366, 62)); // 62.5 -> 62
    QCOMPARE(g.points[3], QPoint(544, 31)); // 31.25
  }

  void collapseColumns_data() {
    QTest::addColumn<QList<QPoint>>("in");
    QTest::addColumn<QList<QPoint>>("out");
    QTest::newRow("distinct columns kept")
        << QList<QPoint>{{1, 5}, {2, 9}, {3, 1}} << QList<QPoint>{{1, 5}, {2, 9}, {3, 1}};
    QTest::newRow("run keeps first, extremes, last in order")
        << QList<QPoint>{{0, 0}, {4, 50}, {4, 10}, {4, 90}, {4, 40}, {4, 60}, {5, 3}}
        << QList<QPoint>{{0, 0}, {4, 50}, {4, 10}, {4, 90}, {4, 60}, {5, 3}};
    QTest::newRow("first is the top") << QList<QPoint>{{4, 10}, {4, 20}, {4, 30}, {4, 15}}
                                      << QList<QPoint>{{4, 10}, {4, 30}, {4, 15}};
    QTest::newRow("single point") << QList<QPoint>{{7, 7}} << QList<QPoint>{{7, 7}};
    QTest::newRow("empty") << QList<QPoint>{} << QList<QPoint>{};
  }
  void collapseColumns() {
    QFETCH(QList<QPoint>, in);
    QFETCH(QList<QPoint>, out);
    const std::vector<QPoint> got = CollapseColumns(std::vector<QPoint>(in.begin(), in.end()));
    QCOMPARE(QList<QPoint>(got.begin(), got.end()), out);
  }

  void collapseKeepsLongSeriesSmall() {
    const std::vector<qint64> values = Ramp(100000, 60, 120);
    const GraphGeometry g = ComputeGraphGeometry(values, 752, 150, 1, 1);
    const std::vector<QPoint> line = CollapseColumns(g.points);
    QVERIFY(line.size() <= 4 * 713);
    QCOMPARE(line.front(), g.points.front());
    QCOMPARE(line.back(), g.points.back());
  }

  void titles_data() {
    QTest::addColumn<int>("period");
    QTest::addColumn<QStringList>("titles");
    QTest::newRow("Matin") << 0
                           << QStringList{"Relevés systoliques du matin",
                                          "Relevés diastoliques du matin",
                                          "Relevés du pouls du matin"};
    QTest::newRow("Jour") << 1
                          << QStringList{"Relevés systoliques de l'après-midi",
                                         "Relevés diastoliques de l'après-midi",
                                         "Relevés du pouls de l'après-midi"};
    QTest::newRow("Soir") << 2
                          << QStringList{"Relevés systoliques du soir",
                                         "Relevés diastoliques du soir",
                                         "Relevés du pouls du soir"};
    QTest::newRow("Nuit") << 3
                          << QStringList{"Relevés systoliques de la nuit ",
                                         "Relevés diastoliques de la nuit",
                                         "Relevés du pouls de la nuit"};
  }
  void titles() {
    QFETCH(int, period);
    QFETCH(QStringList, titles);
    const auto got = GraphTitles(static_cast<DayPeriod>(period));
    QCOMPARE(QStringList(got.begin(), got.end()), titles);
  }

  void paintedStyles_data() {
    QTest::addColumn<int>("style");
    QTest::addColumn<bool>("dark");
    QTest::addColumn<double>("scale");
    QTest::addColumn<bool>("curve");
    QTest::newRow("style 0: grid only") << 0 << false << 1.0 << false;
    QTest::newRow("style 1") << 1 << false << 1.0 << true;
    QTest::newRow("style 2") << 2 << false << 1.0 << true;
    QTest::newRow("style 3") << 3 << false << 1.0 << true;
    QTest::newRow("style 3 dark") << 3 << true << 1.0 << true;
    QTest::newRow("style 1 at 1.5") << 1 << false << 1.5 << true;
  }
  void paintedStyles() {
    QFETCH(int, style);
    QFETCH(bool, dark);
    QFETCH(double, scale);
    QFETCH(bool, curve);
    const std::vector<qint64> values{118, 131, 125, 142, 120};
    const QImage image =
        PaintGraph(values, QSize(752, 150), scale, SystolicCurveColour(), style, dark);
    QCOMPARE(image.size(), QSize(qRound(752 * scale), qRound(150 * scale)));
    QCOMPARE(image.devicePixelRatio(), scale);
    const QColor background = dark ? QColor(32, 32, 32) : QColor(255, 255, 255);
    QCOMPARE(image.pixelColor(2, 2), background);
    // The vertical axis is black in both appearances.
    QCOMPARE(image.pixelColor(qRound(10 * scale), qRound(75 * scale)), QColor(0, 0, 0));
    QCOMPARE(HasColourNear(image, SystolicCurveColour()), curve);
    const QPoint p = ComputeGraphGeometry(values, 752, 150, scale, scale).points[1];
    if (style == 3) {
      // The circle's rightmost point, where the next line would leave.
      QVERIFY(HasColourNear(image.copy(p.x() + 28, p.y() + 3, 4, 4), SystolicCurveColour(), 200));
    }
  }

  // Values written and circled at the top of the scale, at the right end and
  // at the bottom stay whole inside the canvas and its frame: nothing of them
  // in the two outer pixels, save the line reaching the top point.
  void marksStayInside_data() {
    QTest::addColumn<int>("style");
    QTest::addColumn<std::vector<qint64>>("values");
    QTest::addColumn<double>("scale");
    QTest::newRow("circled, rising to the top right")
        << 3 << std::vector<qint64>{100, 150, 200} << 1.0;
    QTest::newRow("circled, falling from the top left")
        << 3 << std::vector<qint64>{200, 150, 100} << 1.0;
    QTest::newRow("circled at 1.5") << 3 << std::vector<qint64>{100, 150, 200} << 1.5;
    QTest::newRow("values, rising to the top right")
        << 2 << std::vector<qint64>{100, 150, 200} << 1.0;
  }
  void marksStayInside() {
    QFETCH(int, style);
    QFETCH(std::vector<qint64>, values);
    QFETCH(double, scale);
    const QSize size(300, 120);
    const QImage image = PaintGraph(values, size, scale, SystolicCurveColour(), style, false);
    const int w = image.width(), h = image.height();
    const GraphGeometry g = ComputeGraphGeometry(values, size.width(), size.height(), scale, scale);
    int topX = 0;
    for (const QPoint &point : g.points) {
      if (point.y() <= 0) {
        topX = point.x();
      }
    }
    const QColor c = SystolicCurveColour();
    QVERIFY2(!HasColourNear(image.copy(w - 2, 0, 2, h), c), "right edge");
    QVERIFY2(!HasColourNear(image.copy(0, h - 2, w, 2), c), "bottom edge");
    QVERIFY2(!HasColourNear(image.copy(0, 0, 2, h), c), "left edge");
    QVERIFY2(!HasColourNear(image.copy(topX + 3, 0, w - topX - 3, 2), c), "top edge");
    QVERIFY(HasColourNear(image, c));
  }

  // A graph at 144 dpi, drawn in device pixels, for a look at its sharpness.
  void hiDpiSnapshot_data() {
    QTest::addColumn<int>("style");
    QTest::newRow("lines") << 1;
    QTest::newRow("circled") << 3;
  }
  void hiDpiSnapshot() {
    QFETCH(int, style);
    const std::vector<qint64> values{71, 68, 75, 80, 66, 72, 70, 77, 69, 83, 73, 74};
    const QImage image = PaintGraph(values, QSize(752, 150), 1.5, PulseCurveColour(), style, false);
    QVERIFY(image.save(test::SnapshotFolder() +
                       QStringLiteral("graphs-pulse-x1.5-%1.png").arg(QTest::currentDataTag())));
  }

  void emptySeriesAndEmptyCanvas() {
    QVERIFY(PaintGraph({}, QSize(0, 150), 1.0, PulseCurveColour(), 1, false).isNull());
    const QImage image = PaintGraph({}, QSize(100, 60), 1.0, PulseCurveColour(), 3, false);
    QCOMPARE(image.size(), QSize(100, 60));
    QVERIFY(!HasColourNear(image, PulseCurveColour()));
  }

  void canvasKeepsItsPicture() {
    GraphCanvas canvas;
    canvas.resize(752, 150);
    const std::vector<qint64> values{120, 130};
    {
      // The picture is painted when first needed, from the values and the
      // canvas size of the drawing occasion.
      std::vector<qint64> gone{90, 100, 95};
      DrawOneGraph(canvas, gone, DiastolicCurveColour(), 3, false);
      gone.assign(3, 0);
    }
    DrawOneGraph(canvas, values, DiastolicCurveColour(), 1, false);
    canvas.resize(300, 100);
    const QImage first = canvas.picture();
    QCOMPARE(first, PaintGraph(values, QSize(752, 150), canvas.devicePixelRatioF(),
                               DiastolicCurveColour(), 1, false));
    QCOMPARE(first.deviceIndependentSize().toSize(), QSize(752, 150));
    // Drawing into a canvas of no size keeps what was there.
    canvas.resize(0, 0);
    DrawOneGraph(canvas, values, DiastolicCurveColour(), 2, false);
    QCOMPARE(canvas.picture(), first);
  }

  void seriesParsesEachCell() {
    Reading a;
    a.set(Reading::Systolic, QStringLiteral("128"));
    a.set(Reading::Diastolic, QStringLiteral(" 82 mmHg"));
    a.set(Reading::Pulse, QStringLiteral("abc"));
    const GraphSeries s = SeriesOf({a});
    QCOMPARE(s.systolic, std::vector<qint64>{128});
    QCOMPARE(s.diastolic, std::vector<qint64>{82});
    QCOMPARE(s.pulse, std::vector<qint64>{0});
  }
};

QTEST_MAIN(TestGraphs)
#include "tst_graphs.moc"
