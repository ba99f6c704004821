#include "reports/page_kit.h"

#include <QPaintDevice>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace tl::page {

Sheet::Sheet(QPainter &painter) : p_(painter), scale_(painter.device()->logicalDpiX() / 25.4) {}

QPen Sheet::pen(const QColor &colour, double widthMm, Qt::PenStyle style) const {
  QPen pen(colour, mm(widthMm), style);
  pen.setCapStyle(Qt::FlatCap);
  return pen;
}

void Sheet::setFont(double points, QFont::Weight weight, bool italic) {
  QFont font;
  font.setFamilies(
      {QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
  font.setPointSizeF(points);
  font.setWeight(weight);
  font.setItalic(italic);
  // The same shapes on paper as on screen: no hinting to the device grid.
  font.setHintingPreference(QFont::PreferNoHinting);
  p_.setFont(font);
}

void Sheet::text(const QRectF &rectMm, int flags, const QString &text, const QColor &colour) {
  p_.setPen(colour);
  p_.drawText(box(rectMm.x(), rectMm.y(), rectMm.width(), rectMm.height()), flags, text);
}

void Sheet::textAt(double xMm, double baselineMm, const QString &text, const QColor &colour) {
  p_.setPen(colour);
  p_.drawText(at(xMm, baselineMm), text);
}

double Sheet::textWidthMm(const QString &text) const {
  return QFontMetricsF(p_.font(), p_.device()).horizontalAdvance(text) / scale_;
}

void Sheet::cell(const QRectF &rectMm, const QString &text, const QColor &fill,
                 const QColor &textColour) {
  const QRectF r = box(rectMm.x(), rectMm.y(), rectMm.width(), rectMm.height());
  p_.fillRect(r, fill);
  p_.setPen(pen(kGrid, 0.3));
  p_.setBrush(Qt::NoBrush);
  p_.drawRect(r);
  if (!text.isEmpty()) {
    p_.setPen(textColour);
    p_.drawText(r, Qt::AlignCenter, text);
  }
}

void Sheet::field(double xMm, double baselineMm, double widthMm, const QString &label,
                  const QString &value, const QString &unit) {
  textAt(xMm, baselineMm, label);
  const double start = xMm + textWidthMm(label) + 2;
  double end = xMm + widthMm;
  if (!unit.isEmpty()) {
    end -= textWidthMm(unit) + 1.5;
    textAt(end + 1.5, baselineMm, unit);
  }
  if (!value.isEmpty()) {
    const QFont font = p_.font();
    QFont bold = font;
    bold.setWeight(QFont::Bold);
    p_.setFont(bold);
    textAt(start, baselineMm, value, Qt::black);
    p_.setFont(font);
    return;
  }
  p_.setPen(pen(kGrid, 0.25, Qt::DotLine));
  p_.drawLine(at(start, baselineMm + 0.6), at(end, baselineMm + 0.6));
}

void Sheet::footer(const QStringList &lines, int page, int pages) {
  const double y = kHeightMm - kMarginMm - 9;
  p_.setPen(pen(kRed, 0.4));
  p_.drawLine(at(kMarginMm, y), at(kWidthMm - kMarginMm, y));
  double line = y + 1;
  for (int i = 0; i < lines.size(); ++i) {
    setFont(i == 0 ? 8.5 : 7.5, i == 0 ? QFont::Bold : QFont::Normal);
    text(QRectF(kMarginMm, line, kInnerWidthMm - 25, 4.2), Qt::AlignLeft | Qt::AlignVCenter,
         lines[i]);
    line += 4.2;
  }
  if (pages > 0) {
    setFont(8.5);
    text(QRectF(kWidthMm - kMarginMm - 25, y + 1, 25, 4.2), Qt::AlignRight | Qt::AlignVCenter,
         QStringLiteral("page %1 / %2").arg(page).arg(pages));
  }
}

namespace {

// Round mmHg limits around the points and the reference lines.
std::pair<double, double> ValueRange(const std::vector<ChartSeries> &series) {
  double low = 60, high = 160;
  for (const ChartSeries &s : series) {
    for (const QPointF &p : s.points) {
      if (!std::isnan(p.y())) {
        low = std::min(low, p.y());
        high = std::max(high, p.y());
      }
    }
  }
  return {std::floor(low / 20) * 20, std::ceil(high / 20) * 20};
}

} // namespace

QString ThresholdLegend() { return QStringLiteral("Repères 135/85 et 120/70 mmHg"); }

QPen ThresholdPen(const Sheet &sheet) { return sheet.pen(kThreshold, 0.25, Qt::DashDotLine); }

void DrawChart(Sheet &sheet, const QRectF &areaMm, const ChartAxis &axis,
               const std::vector<ChartSeries> &series, const QString &caption) {
  QPainter &p = sheet.painter();
  p.save();
  // Frame, caption and legend: the series, then the threshold lines; the
  // legend takes a line of its own when it does not fit beside the caption.
  struct Entry {
    QString name;
    QPen pen;
  };
  std::vector<Entry> entries;
  for (const ChartSeries &s : series) {
    if (s.inLegend) {
      entries.push_back(
          {s.name, sheet.pen(s.colour, 0.5, s.dashed ? Qt::DashLine : Qt::SolidLine)});
    }
  }
  entries.push_back({ThresholdLegend(), ThresholdPen(sheet)});
  sheet.setFont(9, QFont::Bold);
  const double captionWidth = sheet.textWidthMm(caption);
  sheet.text(QRectF(areaMm.x(), areaMm.y(), areaMm.width(), 5), Qt::AlignLeft | Qt::AlignVCenter,
             caption);
  sheet.setFont(7.5);
  double legendWidth = 0;
  for (const Entry &e : entries) {
    legendWidth += sheet.textWidthMm(e.name) + 9;
  }
  const double legendY =
      captionWidth + 4 + legendWidth > areaMm.width() ? areaMm.y() + 5 : areaMm.y();
  double legendX = areaMm.right();
  for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
    const double w = sheet.textWidthMm(it->name);
    legendX -= w;
    sheet.text(QRectF(legendX, legendY, w, 5), Qt::AlignLeft | Qt::AlignVCenter, it->name);
    legendX -= 6;
    p.setPen(it->pen);
    p.drawLine(sheet.at(legendX, legendY + 2.5), sheet.at(legendX + 4.5, legendY + 2.5));
    legendX -= 3;
  }

  const double top = legendY - areaMm.y() + 7;
  // Values labelled on the left, the reference lines in a gutter on the right.
  constexpr double kGutterMm = 6;
  const QRectF plot(areaMm.x() + 10, areaMm.y() + top, areaMm.width() - 10 - kGutterMm,
                    areaMm.height() - top - 6);
  const auto [low, high] = ValueRange(series);
  const double span = std::max(axis.to - axis.from, 1e-9);
  const auto toPoint = [&](double x, double y) {
    return sheet.at(plot.x() + (x - axis.from) / span * plot.width(),
                    plot.bottom() - (y - low) / (high - low) * plot.height());
  };

  // The stretch set apart, under everything else.
  if (axis.shadedTo > axis.shadedFrom) {
    const QPointF a = toPoint(axis.shadedFrom, high);
    const QPointF b = toPoint(axis.shadedTo, low);
    p.fillRect(QRectF(a, b), QColor(228, 228, 228));
    sheet.setFont(6.5, QFont::Normal, true);
    sheet.text(QRectF(a.x() / sheet.mm(1), plot.y() + 0.5, (b.x() - a.x()) / sheet.mm(1), 3.5),
               Qt::AlignHCenter | Qt::AlignVCenter, axis.shadedLabel, QColor(90, 90, 90));
  }
  // Horizontal lines every 20 mmHg, labelled.
  sheet.setFont(7);
  for (double v = low; v <= high + 0.5; v += 20) {
    p.setPen(sheet.pen(QColor(222, 228, 236), 0.2));
    p.drawLine(toPoint(axis.from, v), toPoint(axis.to, v));
    const QPointF left = toPoint(axis.from, v);
    sheet.text(QRectF(areaMm.x(), left.y() / sheet.mm(1) - 2, 8.5, 4),
               Qt::AlignRight | Qt::AlignVCenter, QString::number(int(v)));
  }
  // Labelled ticks under the axis.
  for (const auto &[x, label] : axis.ticks) {
    const QPointF bottom = toPoint(x, low);
    p.setPen(sheet.pen(kGrid, 0.25));
    p.drawLine(bottom, bottom + QPointF(0, sheet.mm(1)));
    sheet.text(QRectF(bottom.x() / sheet.mm(1) - 10, plot.bottom() + 1.2, 20, 4),
               Qt::AlignHCenter | Qt::AlignTop, label);
  }
  // The home threshold (135/85) and the start of the ESC 2024 "tension
  // élevée" zone (120/70): thin grey dash-dot lines, a style no curve uses,
  // labelled in the right gutter, 135 and 85 above their line, 120 and 70
  // below it, so that close lines keep their labels apart.
  sheet.setFont(6);
  const double labelMm = 2.4;
  for (const double line : {135.0, 120.0, 85.0, 70.0}) {
    p.setPen(ThresholdPen(sheet));
    p.drawLine(toPoint(axis.from, line), toPoint(axis.to, line));
    const double y = toPoint(axis.to, line).y() / sheet.mm(1);
    const bool above = line == 135.0 || line == 85.0;
    sheet.text(QRectF(plot.right() + 0.6, above ? y - labelMm : y, kGutterMm, labelMm),
               Qt::AlignLeft | (above ? Qt::AlignBottom : Qt::AlignTop), QString::number(int(line)),
               kThreshold);
  }

  // The series, clipped to the plot.
  p.setClipRect(sheet.box(plot.x(), plot.y() - 1, plot.width(), plot.height() + 2));
  p.setRenderHint(QPainter::Antialiasing);
  for (const ChartSeries &s : series) {
    if (s.points.empty()) {
      continue;
    }
    if (s.joined && s.points.size() > 1) {
      // A NaN point ends a stretch: no line across a gap.
      QPainterPath path;
      bool open = false;
      for (const QPointF &point : s.points) {
        if (std::isnan(point.y())) {
          open = false;
        } else if (open) {
          path.lineTo(toPoint(point.x(), point.y()));
        } else {
          path.moveTo(toPoint(point.x(), point.y()));
          open = true;
        }
      }
      p.setPen(sheet.pen(s.colour, 0.45, s.dashed ? Qt::DashLine : Qt::SolidLine));
      p.setBrush(Qt::NoBrush);
      p.drawPath(path);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(s.colour);
    const double radius = sheet.mm(s.joined ? 0.8 : 0.55);
    for (const QPointF &point : s.points) {
      if (!std::isnan(point.y())) {
        p.drawEllipse(toPoint(point.x(), point.y()), radius, radius);
      }
    }
  }
  p.setClipping(false);
  p.setPen(sheet.pen(kGrid, 0.3));
  p.setBrush(Qt::NoBrush);
  p.drawRect(sheet.box(plot.x(), plot.y(), plot.width(), plot.height()));
  p.restore();
}

} // namespace tl::page
