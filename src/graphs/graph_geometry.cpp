#include "graphs/graph_geometry.h"

#include <algorithm>
#include <cmath>

namespace tl {

namespace {

// Rounds to the nearest whole device pixel, halves to the even neighbour,
// within a range that any int holds (extreme values cannot overflow).
int ToDevicePixel(double v) {
  if (!std::isfinite(v)) {
    return 0;
  }
  v = std::clamp(v, -1e8, 1e8);
  return static_cast<int>(std::nearbyint(v));
}

} // namespace

GraphGeometry ComputeGraphGeometry(std::span<const qint64> values, int width, int height, double sx,
                                   double sy) {
  GraphGeometry g;
  const double w = width;
  const double h = height;
  g.deviceSize = QSize(ToDevicePixel(w * sx), ToDevicePixel(h * sy));

  g.axes = {QPointF(10 * sx, 10 * sy), QPointF(10 * sx, (h - 10) * sy),
            QPointF((w - 10) * sx, (h - 10) * sy)};

  // Grid lines every sixth of the height, the first 30 pixels above the bottom.
  const int q = height / 6;
  int offset = 30;
  for (QLineF &line : g.grid) {
    const double y = (h - offset) * sy;
    line = QLineF(10 * sx, y, (w - 10) * sx, y);
    offset += q;
  }

  const size_t n = values.size();
  if (n == 0) {
    return g;
  }
  const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
  g.low = *lo;
  g.high = *hi;

  // The spread and each value's distance from the smallest are taken as
  // unsigned 64-bit numbers: they always fit, even for values at both ends
  // of the 64-bit range, where hi - lo would overflow a signed number.
  const bool flat = g.low == g.high;
  const double spread =
      flat ? 2.0 : static_cast<double>(static_cast<quint64>(g.high) - static_cast<quint64>(g.low));
  const double bottom = (h - 25) * sy;
  g.verticalScale = bottom / spread;
  g.horizontalStep = n > 1 ? (w - 40) * sx / static_cast<double>(n - 1) : 0.0;

  const double left = 10 * sx;
  g.points.reserve(n);
  for (size_t j = 0; j < n; ++j) {
    double above =
        static_cast<double>(static_cast<quint64>(values[j]) - static_cast<quint64>(g.low));
    if (flat) {
      above = 1.0; // one unit above the bottom of the scale
    }
    g.points.emplace_back(ToDevicePixel(left + static_cast<double>(j) * g.horizontalStep),
                          ToDevicePixel(bottom - above * g.verticalScale));
  }
  return g;
}

std::vector<QPoint> CollapseColumns(const std::vector<QPoint> &points) {
  std::vector<QPoint> out;
  out.reserve(std::min<size_t>(points.size(), 4096));
  size_t i = 0;
  while (i < points.size()) {
    size_t end = i + 1;
    size_t top = i;
    size_t low = i;
    while (end < points.size() && points[end].x() == points[i].x()) {
      if (points[end].y() < points[top].y()) {
        top = end;
      }
      if (points[end].y() > points[low].y()) {
        low = end;
      }
      ++end;
    }
    const size_t last = end - 1;
    // The four indices in their original order, each once.
    std::array<size_t, 4> keep = {i, top, low, last};
    std::sort(keep.begin(), keep.end());
    for (size_t k = 0; k < keep.size(); ++k) {
      if (k == 0 || keep[k] != keep[k - 1]) {
        out.push_back(points[keep[k]]);
      }
    }
    i = end;
  }
  return out;
}

} // namespace tl
