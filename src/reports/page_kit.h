#pragma once

// The drawing pieces the documents share: millimetres on any device, the
// fonts and colours of the printed pages, table cells, fill-in fields and a
// chart with the home threshold lines.

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <vector>

namespace tl::page {

inline constexpr double kWidthMm = 210.0;
inline constexpr double kHeightMm = 297.0;
inline constexpr double kMarginMm = 14.0;
inline constexpr double kInnerWidthMm = kWidthMm - 2 * kMarginMm;

inline const QColor kInk(31, 58, 96);
inline const QColor kRed(196, 30, 50);
inline const QColor kBlue(38, 96, 170);
inline const QColor kShade(232, 238, 246);
inline const QColor kShadeDark(206, 218, 234);
inline const QColor kGrid(120, 138, 160);
inline const QColor kMuted(150, 160, 175);
// The reference lines of the charts, in a colour no curve has.
inline const QColor kThreshold(105, 105, 105);
// The fill of the n-th of a table's alternating rows (or columns): white,
// then a light tint.
inline QColor StripeFill(qint64 n) { return n % 2 ? QColor(246, 248, 251) : QColor(Qt::white); }

// A painter whose coordinates are device pixels, with helpers in millimetres.
class Sheet {
public:
  explicit Sheet(QPainter &painter);
  QPainter &painter() const { return p_; }
  double mm(double v) const { return v * scale_; }
  QPointF at(double xMm, double yMm) const { return {mm(xMm), mm(yMm)}; }
  QRectF box(double xMm, double yMm, double wMm, double hMm) const {
    return {mm(xMm), mm(yMm), mm(wMm), mm(hMm)};
  }
  // A pen `widthMm` wide.
  QPen pen(const QColor &colour, double widthMm, Qt::PenStyle style = Qt::SolidLine) const;

  void setFont(double points, QFont::Weight weight = QFont::Normal, bool italic = false);
  void text(const QRectF &rectMm, int flags, const QString &text, const QColor &colour = kInk);
  // Text from a baseline point.
  void textAt(double xMm, double baselineMm, const QString &text, const QColor &colour = kInk);
  double textWidthMm(const QString &text) const;
  // A filled, outlined cell with its text centred.
  void cell(const QRectF &rectMm, const QString &text, const QColor &fill,
            const QColor &textColour = kInk);
  // A label followed by a dotted line to fill in, or by `value` when given,
  // and an optional unit at the end.
  void field(double xMm, double baselineMm, double widthMm, const QString &label,
             const QString &value = {}, const QString &unit = {});
  // "page 2 / 5" and the not-a-medical-device line at the foot of a page.
  void footer(const QStringList &lines, int page, int pages);

private:
  QPainter &p_;
  double scale_;
};

// A chart: a time or day axis, one or more series of points, and reference
// lines at 135/85 mmHg (the home threshold) and 120/70 mmHg (where the ESC
// 2024 "tension élevée" zone begins), thin grey dash-dot.
struct ChartSeries {
  QString name;
  QColor colour;
  std::vector<QPointF> points; // x in axis units, y in mmHg; a NaN y breaks the line
  bool joined = true;          // a line through the points, else points only
  bool dashed = false;
  bool inLegend = true;
};

struct ChartAxis {
  double from = 0, to = 1;                       // axis units
  std::vector<std::pair<double, QString>> ticks; // labelled positions
  // A stretch of the axis drawn grey and labelled (a day shown, not counted).
  double shadedFrom = 0, shadedTo = 0;
  QString shadedLabel;
};

// The legend entry of the reference lines, and their pen.
QString ThresholdLegend();
QPen ThresholdPen(const Sheet &sheet);

void DrawChart(Sheet &sheet, const QRectF &areaMm, const ChartAxis &axis,
               const std::vector<ChartSeries> &series, const QString &caption);

} // namespace tl::page
