#pragma once

#include "common/day_period.h"
#include "measurements/reading.h"

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>
#include <array>
#include <span>
#include <vector>

namespace tl {

class GraphCanvas;

// How the points of a curve are drawn: 0 draws no curve at all (axes and
// grid only), 1 lines only, 2 lines with each value written at its point,
// 3 as 2 with each value circled.
enum CurveStyleNumber { kCurveNone = 0, kCurveLines = 1, kCurveValues = 2, kCurveCircled = 3 };

// The curve colours of the three graphs.
QColor SystolicCurveColour();  // 92, 113, 206
QColor DiastolicCurveColour(); // 237, 59, 63
QColor PulseCurveColour();     // 61, 162, 25, alpha 253

// The titles written above the systolic, diastolic and pulse graphs of a period.
std::array<QString, 3> GraphTitles(DayPeriod period);

// What a screen reader says of a period's graphs: the period and the values
// the curves end with, e.g. "Courbes du Matin : dernière mesure 08/12/2026
// 08:05, 132/84, pouls 70".
QString GraphDescription(DayPeriod period, const std::vector<Reading> &readings);

// The systolic, diastolic and pulse numbers of some readings, in row order.
struct GraphSeries {
  std::vector<qint64> systolic;
  std::vector<qint64> diastolic;
  std::vector<qint64> pulse;
};
GraphSeries SeriesOf(const std::vector<Reading> &readings);

// One graph painted for a canvas of `logicalSize` at the display scale
// `scale` (device pixels per logical pixel): background (dark grey when
// `dark`), black axes, grid, then the curve in `colour` and `style`. The
// image is in device pixels and carries `scale` as its device pixel ratio.
// A null image when the size is empty.
QImage PaintGraph(std::span<const qint64> values, QSize logicalSize, double scale,
                  const QColor &colour, int style, bool dark);

// Paints one graph at the canvas's current size and screen scale and hands it
// to the canvas, which shows it until the next drawing. The painting itself
// waits until the canvas needs the picture.
void DrawOneGraph(GraphCanvas &canvas, std::span<const qint64> values, const QColor &colour,
                  int style, bool dark);

} // namespace tl
