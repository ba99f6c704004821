#include "graphs/graph_painter.h"

#include "graphs/graph_canvas.h"
#include "graphs/graph_geometry.h"
#include "measurements/parse.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QStaticText>

namespace tl {

namespace {

// Circles of style 3: radius and centre offset from the value's point, and
// where the line to the next point leaves the circle (its rightmost point).
constexpr double kCircleRadius = 17;
constexpr double kCircleDx = 13;
constexpr double kCircleDy = 5;

// The laid-out text of each value met, so that long series repeating the same
// few values lay out each text once.
class ValueTexts {
public:
  explicit ValueTexts(const QFont &font) : font_(font), metrics_(font) {}

  struct Entry {
    QStaticText text;
    double width = 0;
  };

  const Entry &get(qint64 value) {
    auto it = cache_.find(value);
    if (it == cache_.end()) {
      if (cache_.size() > 4096) {
        cache_.clear();
      }
      Entry e;
      const QString s = QString::number(value);
      e.text = QStaticText(s);
      e.text.setTextFormat(Qt::PlainText);
      e.text.prepare(QTransform(), font_);
      e.width = metrics_.horizontalAdvance(s);
      it = cache_.insert(value, e);
    }
    return *it;
  }

private:
  QFont font_;
  QFontMetricsF metrics_;
  QHash<qint64, Entry> cache_;
};

QFont ValueFont() {
  QFont f = QGuiApplication::font();
  f.setPixelSize(11);
  return f;
}

void PaintCurve(QPainter &p, const GraphGeometry &g, std::span<const qint64> values,
                const QColor &colour, int style) {
  if (style != kCurveLines && style != kCurveValues && style != kCurveCircled) {
    return;
  }
  p.setRenderHint(QPainter::Antialiasing, true);
  if (style == kCurveLines) {
    QPen pen(colour, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const std::vector<QPoint> line = CollapseColumns(g.points);
    if (line.size() == 1) {
      p.drawPoint(line.front());
    } else {
      p.drawPolyline(line.data(), int(line.size()));
    }
    return;
  }

  // Styles 2 and 3: the line reaches each point, the value is written with
  // its top-left corner there, and the line to the next point leaves from the
  // end of that text (style 2) or from the right of the circle (style 3).
  const QFont font = ValueFont();
  ValueTexts texts(font);
  QPainterPath path;
  p.setFont(font);
  p.setPen(colour);
  for (size_t j = 0; j < g.points.size(); ++j) {
    const QPointF at = g.points[j];
    if (j == 0) {
      path.moveTo(at);
    } else {
      path.lineTo(at);
    }
    const ValueTexts::Entry &e = texts.get(values[j]);
    p.drawStaticText(at, e.text);
    if (style == kCurveCircled) {
      const QPointF centre(at.x() + kCircleDx, at.y() + kCircleDy);
      path.moveTo(centre.x() + kCircleRadius, centre.y());
      path.arcTo(QRectF(centre.x() - kCircleRadius, centre.y() - kCircleRadius, 2 * kCircleRadius,
                        2 * kCircleRadius),
                 0, 360);
    } else {
      path.moveTo(at.x() + e.width, at.y());
    }
  }
  p.strokePath(path, QPen(colour, 2, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
}

} // namespace

QColor SystolicCurveColour() {
  return QColor(92, 113, 206, 255);
}
QColor DiastolicCurveColour() {
  return QColor(237, 59, 63, 255);
}
QColor PulseCurveColour() {
  return QColor(61, 162, 25, 253);
}

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

GraphSeries SeriesOf(const std::vector<Reading> &readings) {
  GraphSeries s;
  s.systolic.reserve(readings.size());
  s.diastolic.reserve(readings.size());
  s.pulse.reserve(readings.size());
  for (const Reading &r : readings) {
    s.systolic.push_back(ParseLeadingInteger(r[Reading::Systolic]));
    s.diastolic.push_back(ParseLeadingInteger(r[Reading::Diastolic]));
    s.pulse.push_back(ParseLeadingInteger(r[Reading::Pulse]));
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
    PaintCurve(p, g, values, colour, style);
  }
  image.setDevicePixelRatio(scale);
  return image;
}

void DrawOneGraph(GraphCanvas &canvas, std::span<const qint64> values, const QColor &colour,
                  int style, bool dark) {
  QImage picture =
      PaintGraph(values, canvas.size(), canvas.devicePixelRatioF(), colour, style, dark);
  if (!picture.isNull()) {
    canvas.setPicture(std::move(picture));
  }
}

} // namespace tl
