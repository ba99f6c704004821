#pragma once

#include <QLineF>
#include <QPoint>
#include <QPointF>
#include <QSize>
#include <array>
#include <span>
#include <vector>

namespace tl {

// Where the parts of one graph fall on its canvas, in device pixels. The
// canvas is `width` x `height` logical pixels; every logical length is
// multiplied by the display scale factors sx (across) and sy (down).
struct GraphGeometry {
  QSize deviceSize;            // the canvas in device pixels
  std::array<QPointF, 3> axes; // top of the vertical axis, corner, end of the horizontal axis
  std::array<QLineF, 5> grid;  // the five horizontal grid lines, bottom first
  std::vector<QPoint> points;  // one per value, in value order, whole device pixels
  double verticalScale = 0;    // device pixels per unit of value
  double horizontalStep = 0;   // device pixels between two points (0 with fewer than two)
  qint64 low = 0;              // smallest value
  qint64 high = 0;             // largest value
};

// The axes, grid and points of one graph. The vertical scale and the
// horizontal step keep their fractions, so the largest value lies at the top
// of the drawing area and the last point at its right end whatever the number
// of values; each point is then rounded to the nearest device pixel, halves to
// the even neighbour. When every value is equal the scale spans one unit
// below and one above them.
GraphGeometry ComputeGraphGeometry(std::span<const qint64> values, int width, int height, double sx,
                                   double sy);

// The points a width-2 polyline through `points` needs to look the same: of
// each run of consecutive points on one device column only the first, the
// lowest, the highest and the last are kept, in their original order. Turns a
// list of 100 000 points into a few per column.
std::vector<QPoint> CollapseColumns(const std::vector<QPoint> &points);

} // namespace tl
