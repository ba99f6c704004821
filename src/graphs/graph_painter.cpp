#include "graphs/graph_painter.h"

#include "graphs/graph_canvas.h"
#include "graphs/graph_geometry.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace tl {

namespace {

// Circles of style 3: radius and centre offset from the value's point, and
// where the line to the next point leaves the circle (its rightmost point).
constexpr double kCircleRadius = 17;
constexpr double kCircleDx = 13;
constexpr double kCircleDy = 5;

// The value texts use the drawing surface's default family, sized to sit
// inside the circles of style 3.
QFont ValueFont() {
  QFont f = QGuiApplication::font();
  f.setPixelSize(11);
  return f;
}

// The pictures stamped at each point in styles 2 and 3: each value's text
// and the circle, painted once in the curve colour and then copied at whole
// device pixels, which gives the same pixels as painting them at each point
// and keeps long series fast.
class PointStamps {
public:
  explicit PointStamps(const QColor &colour)
      : colour_(colour), font_(ValueFont()), metrics_(font_) {}

  struct Stamp {
    QImage image;
    QPoint offset;      // from the point to the stamp's top-left corner
    double advance = 0; // text width: where the line to the next point leaves
  };

  const Stamp &text(qint64 value) {
    auto it = texts_.find(value);
    if (it == texts_.end()) {
      if (texts_.size() > 4096) {
        texts_.clear();
      }
      const QString s = QString::number(value);
      Stamp stamp;
      stamp.advance = metrics_.horizontalAdvance(s);
      const QRectF box = metrics_.boundingRect(s);
      const int width = int(std::ceil(std::max(box.right(), stamp.advance))) + 2 * kMargin;
      const int height = int(std::ceil(metrics_.height())) + 2 * kMargin;
      stamp.image = Blank(QSize(width, height));
      {
        QPainter p(&stamp.image);
        p.setFont(font_);
        p.setPen(colour_);
        // The text's top-left corner is the point.
        p.drawText(QPointF(kMargin, kMargin + metrics_.ascent()), s);
      }
      stamp.offset = QPoint(-kMargin, -kMargin);
      it = texts_.insert(value, std::move(stamp));
    }
    return *it;
  }

  const Stamp &circle() {
    if (circle_.image.isNull()) {
      const int half = int(kCircleRadius) + kMargin + 1;
      circle_.image = Blank(QSize(2 * half, 2 * half));
      {
        QPainter p(&circle_.image);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(colour_, 2));
        p.drawEllipse(QPointF(half, half), kCircleRadius, kCircleRadius);
      }
      circle_.offset = QPoint(int(kCircleDx) - half, int(kCircleDy) - half);
    }
    return circle_;
  }

private:
  static constexpr int kMargin = 2;

  static QImage Blank(QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
  }

  QColor colour_;
  QFont font_;
  QFontMetricsF metrics_;
  QHash<qint64, Stamp> texts_;
  Stamp circle_;
};

// Each segment is stroked on its own: one long polyline through thousands of
// points makes the stroker's outline overlap itself everywhere and costs far
// more than the segments. With round caps the segments together cover what a
// round-joined polyline covers. Consecutive segments up and down one device
// column cover just the band between their extremes, two pixels wide, so
// each such run is filled as that band (the dense part of long series).
void PaintSegments(QPainter &p, const std::vector<QPoint> &points) {
  if (points.size() == 1) {
    p.drawPoint(points.front());
    return;
  }
  bool inRun = false;
  int runX = 0, runTop = 0, runBottom = 0;
  const auto flush = [&] {
    if (inRun) {
      p.fillRect(QRect(runX - 1, runTop - 1, 2, runBottom - runTop + 2), p.pen().color());
      inRun = false;
    }
  };
  for (size_t j = 1; j < points.size(); ++j) {
    const QPoint a = points[j - 1];
    const QPoint b = points[j];
    if (a.x() == b.x()) {
      if (!inRun || runX != a.x()) {
        flush();
        inRun = true;
        runX = a.x();
        runTop = runBottom = a.y();
      }
      runTop = std::min({runTop, a.y(), b.y()});
      runBottom = std::max({runBottom, a.y(), b.y()});
      continue;
    }
    flush();
    p.drawLine(a, b);
  }
  flush();
}

void PaintCurve(QPainter &p, const GraphGeometry &g, std::span<const qint64> values,
                const QColor &colour, int style) {
  if (style != kCurveLines && style != kCurveValues && style != kCurveCircled) {
    return;
  }
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setBrush(Qt::NoBrush);
  if (style == kCurveLines) {
    p.setPen(QPen(colour, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    PaintSegments(p, CollapseColumns(g.points));
    return;
  }

  // Styles 2 and 3: the line reaches each point, the value is written with
  // its top-left corner there, and the line to the next point leaves from the
  // end of that text (style 2) or from the right of the circle (style 3).
  p.setPen(QPen(colour, 2, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
  PointStamps stamps(colour);
  // The marks stay inside the canvas and its one-pixel frame: a value at
  // the top of the scale or at the right end has its text and circle moved
  // in as a whole, the curve still reaching the point itself.
  const QRect inside = QRect(QPoint(0, 0), g.deviceSize).adjusted(2, 2, -2, -2);
  QPointF from;
  for (size_t j = 0; j < g.points.size(); ++j) {
    const QPoint at = g.points[j];
    if (j > 0) {
      p.drawLine(from, QPointF(at));
    }
    const PointStamps::Stamp &text = stamps.text(values[j]);
    const PointStamps::Stamp *circle = style == kCurveCircled ? &stamps.circle() : nullptr;
    QRect marks = text.image.rect().translated(at + text.offset);
    if (circle) {
      // The ring itself, without the stamp's transparent margin.
      const QPointF centre(at.x() + kCircleDx, at.y() + kCircleDy);
      const double r = kCircleRadius + 1;
      marks |= QRectF(centre - QPointF(r, r), centre + QPointF(r, r)).toAlignedRect();
    }
    const QPoint shift(
        std::max(0, inside.left() - marks.left()) - std::max(0, marks.right() - inside.right()),
        std::max(0, inside.top() - marks.top()) - std::max(0, marks.bottom() - inside.bottom()));
    const QPoint mark = at + shift;
    p.drawImage(mark + text.offset, text.image);
    if (circle) {
      p.drawImage(mark + circle->offset, circle->image);
      from = QPointF(mark.x() + kCircleDx + kCircleRadius, mark.y() + kCircleDy);
    } else {
      from = QPointF(mark.x() + text.advance, mark.y());
    }
  }
}

} // namespace

QColor SystolicCurveColour() { return QColor(92, 113, 206, 255); }
QColor DiastolicCurveColour() { return QColor(237, 59, 63, 255); }
QColor PulseCurveColour() { return QColor(61, 162, 25, 253); }

std::array<QString, 3> GraphTitles(DayPeriod period) {
  switch (period) {
  case DayPeriod::Matin:
    return {QStringLiteral("Relevés systoliques du matin"),
            QStringLiteral("Relevés diastoliques du matin"),
            QStringLiteral("Relevés du pouls du matin")};
  case DayPeriod::Jour:
    return {QStringLiteral("Relevés systoliques de l'après-midi"),
            QStringLiteral("Relevés diastoliques de l'après-midi"),
            QStringLiteral("Relevés du pouls de l'après-midi")};
  case DayPeriod::Soir:
    return {QStringLiteral("Relevés systoliques du soir"),
            QStringLiteral("Relevés diastoliques du soir"),
            QStringLiteral("Relevés du pouls du soir")};
  case DayPeriod::Nuit:
    break;
  }
  return {QStringLiteral("Relevés systoliques de la nuit "),
          QStringLiteral("Relevés diastoliques de la nuit"),
          QStringLiteral("Relevés du pouls de la nuit")};
}

QString GraphDescription(DayPeriod period, const std::vector<Reading> &readings) {
  QString text;
  switch (period) {
  case DayPeriod::Matin:
    text = QStringLiteral("Courbes du Matin");
    break;
  case DayPeriod::Jour:
    text = QStringLiteral("Courbes de l'Après-midi");
    break;
  case DayPeriod::Soir:
    text = QStringLiteral("Courbes du Soir");
    break;
  case DayPeriod::Nuit:
    text = QStringLiteral("Courbes de la Nuit");
    break;
  }
  if (readings.empty()) {
    return text + QStringLiteral(" : aucune mesure");
  }
  // The curves end with the last row.
  const Reading &last = readings.back();
  return text + QStringLiteral(" : dernière mesure %1 %2, %3/%4, pouls %5")
                    .arg(last[Reading::Date], last[Reading::Time], last[Reading::Systolic],
                         last[Reading::Diastolic], last[Reading::Pulse]);
}

GraphSeries SeriesOf(const std::vector<Reading> &readings) {
  GraphSeries s;
  s.systolic.reserve(readings.size());
  s.diastolic.reserve(readings.size());
  s.pulse.reserve(readings.size());
  for (const Reading &r : readings) {
    s.systolic.push_back(r.value(Reading::Systolic));
    s.diastolic.push_back(r.value(Reading::Diastolic));
    s.pulse.push_back(r.value(Reading::Pulse));
  }
  return s;
}

QImage PaintGraph(std::span<const qint64> values, QSize logicalSize, double scale,
                  const QColor &colour, int style, bool dark) {
  if (logicalSize.isEmpty() || !(scale > 0)) {
    return QImage();
  }
  const GraphGeometry g =
      ComputeGraphGeometry(values, logicalSize.width(), logicalSize.height(), scale, scale);
  if (g.deviceSize.isEmpty()) {
    return QImage();
  }
  QImage image(g.deviceSize, QImage::Format_ARGB32_Premultiplied);
  if (image.isNull()) {
    return image;
  }
  image.fill(dark ? QColor(32, 32, 32, 255) : QColor(255, 255, 255, 255));
  {
    QPainter p(&image);
    if (!p.isActive()) {
      return QImage();
    }
    // Axes stay black on the dark background too.
    p.setPen(QPen(QColor(0, 0, 0, 255), 1));
    p.drawPolyline(g.axes.data(), int(g.axes.size()));
    p.setPen(QPen(QColor(117, 136, 157, 138), 1));
    p.drawLines(g.grid.data(), int(g.grid.size()));
    if (colour.alpha() == 255 || style == kCurveNone || g.points.empty()) {
      PaintCurve(p, g, values, colour, style);
    } else {
      // A translucent curve is painted opaque on a layer laid on with the
      // colour's opacity: the whole curve then blends once, as one stroked
      // path would, where overlapping pieces would each blend again.
      QImage layer(image.size(), QImage::Format_ARGB32_Premultiplied);
      layer.fill(Qt::transparent);
      {
        QPainter lp(&layer);
        QColor opaque = colour;
        opaque.setAlpha(255);
        PaintCurve(lp, g, values, opaque, style);
      }
      p.setOpacity(colour.alphaF());
      p.drawImage(0, 0, layer);
    }
  }
  image.setDevicePixelRatio(scale);
  return image;
}

void DrawOneGraph(GraphCanvas &canvas, std::span<const qint64> values, const QColor &colour,
                  int style, bool dark) {
  // The canvas's size and scale now, painted when the picture is needed.
  const QSize size = canvas.size();
  const double scale = canvas.devicePixelRatioF();
  if (size.isEmpty() || !(scale > 0) ||
      ComputeGraphGeometry({}, size.width(), size.height(), scale, scale).deviceSize.isEmpty()) {
    return; // no picture: the canvas keeps the one it has
  }
  canvas.setPendingPicture([values = std::vector<qint64>(values.begin(), values.end()), size, scale,
                            colour, style,
                            dark] { return PaintGraph(values, size, scale, colour, style, dark); });
}

} // namespace tl
