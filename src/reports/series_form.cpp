#include "reports/series_form.h"

#include "measurements/context_texts.h"
#include "reports/page_kit.h"

#include <QFontMetricsF>
#include <QImage>
#include <algorithm>
#include <cmath>
#include <limits>

namespace tl {

using namespace page;

namespace {

const QString kDateMask = QStringLiteral("dd/MM/yyyy");
constexpr double kExcludedRowMm = 4.4;
constexpr double kContentBottomMm = kHeightMm - kMarginMm - 12;
constexpr double kMinChartMm = 38;
// The legend line of the readings flagged "pouls irrégulier", under the grid.
constexpr double kIrregularLegendMm = 4.5;

double IrregularLegendHeight(const SeriesResult *series) {
  return series && series->irregular > 0 ? kIrregularLegendMm : 0;
}

class FormPainter {
public:
  FormPainter(Sheet &sheet, const ProtocolInfo &info, const ReportIdentity &who,
              const SeriesResult *series)
      : s_(sheet), info_(info), who_(who), series_(series) {}

  double heading(double y) {
    s_.painter().fillRect(s_.box(kMarginMm, y, kInnerWidthMm, 16), kInk);
    s_.setFont(17, QFont::Bold);
    s_.text(QRectF(kMarginMm + 4, y, kInnerWidthMm - 8, 10), Qt::AlignLeft | Qt::AlignBottom,
            QStringLiteral("Relevé d'automesure tensionnelle"), Qt::white);
    s_.setFont(9.5);
    s_.text(QRectF(kMarginMm + 4, y + 10, kInnerWidthMm - 8, 5), Qt::AlignLeft | Qt::AlignVCenter,
            info_.text, Qt::white);
    return y + 16;
  }

  double identity(double y) {
    s_.setFont(10);
    const double line = 7;
    const double right = kMarginMm + 114;
    s_.field(kMarginMm, y + line, 110, QStringLiteral("Nom et prénom :"), who_.name);
    s_.field(right, y + line, 68, QStringLiteral("Âge :"), who_.age);
    // The meter last read for the patient when known, else a line to fill in.
    if (who_.meter.isEmpty()) {
      s_.field(kMarginMm, y + 2 * line, 110, QStringLiteral("Tensiomètre (marque, modèle) :"));
    } else {
      s_.field(kMarginMm, y + 2 * line, 110, QStringLiteral("Tensiomètre :"), who_.meter);
    }
    s_.field(right, y + 2 * line, 68, QStringLiteral("Début le :"),
             series_ ? series_->start.toString(kDateMask) : QString());
    s_.field(kMarginMm, y + 3 * line, 110, QStringLiteral("Médecin :"), who_.doctor);
    s_.textAt(right, y + 3 * line, QStringLiteral("Bras utilisé :"));
    tickBox(right + 25, y + 3 * line, QStringLiteral("gauche"));
    tickBox(right + 46, y + 3 * line, QStringLiteral("droit"));
    return y + 3 * line + 4;
  }

  double instructions(double y) {
    const QStringList lines = {
        QStringLiteral("Mesurez-vous assis(e), au calme, après 5 minutes de repos, le dos appuyé "
                       "et le bras posé sur la table, le brassard à hauteur du cœur."),
        QStringLiteral("Le matin : avant le petit-déjeuner et avant de prendre vos médicaments. "
                       "Le soir : avant le coucher."),
        QStringLiteral("Faites %1 mesures de suite, à 1 minute d'intervalle, sans parler ni "
                       "bouger, et notez les %1 résultats, même ceux qui vous semblent anormaux.")
            .arg(info_.perSession),
        info_.firstCounted > 0
            ? QStringLiteral("Utilisez toujours le même bras et le même tensiomètre pendant les "
                             "%1 jours. Les mesures du premier jour ne comptent pas dans la "
                             "moyenne.")
                  .arg(info_.days)
        : info_.minDays < info_.days
            ? QStringLiteral("Mesurez-vous %1 jours de suite, %2 au moins, toujours avec le même "
                             "bras et le même tensiomètre.")
                  .arg(info_.days)
                  .arg(info_.minDays)
            : QStringLiteral("Utilisez toujours le même bras et le même tensiomètre pendant les "
                             "%1 jours.")
                  .arg(info_.days),
    };
    QPainter &p = s_.painter();
    s_.setFont(9.5, QFont::Bold);
    s_.textAt(kMarginMm + 4, y + 5.5, QStringLiteral("Comment mesurer ?"));
    double cy = y + 7.5;
    s_.setFont(8.5);
    for (const QString &text : lines) {
      const QRectF box = s_.box(kMarginMm + 9, cy, kInnerWidthMm - 13, 12);
      const QRectF used = p.boundingRect(box, Qt::TextWordWrap | Qt::AlignLeft, text);
      p.setPen(Qt::NoPen);
      p.setBrush(kRed);
      p.drawEllipse(s_.at(kMarginMm + 6, cy + 1.8), s_.mm(0.8), s_.mm(0.8));
      p.setBrush(Qt::NoBrush);
      p.setPen(Qt::black);
      p.drawText(box, Qt::TextWordWrap | Qt::AlignLeft, text);
      cy += used.height() / s_.mm(1) + 1;
    }
    p.setPen(s_.pen(kGrid, 0.3));
    p.drawRect(s_.box(kMarginMm, y, kInnerWidthMm, cy - y + 1));
    return cy + 1;
  }

  // One row per day and session; each reading kept takes four cells: its
  // time, systolic, diastolic and pulse.
  int dayCount() const { return series_ ? int(series_->days.size()) : info_.days; }
  bool counts(int d) const {
    return series_ ? series_->days[size_t(d)].counts : d >= info_.firstCounted;
  }

  double grid(double y, double rowHeight) {
    const double dayW = 24, momentW = 16;
    const int perSession = info_.perSession;
    const double valueW = (kInnerWidthMm - dayW - momentW) / (4.0 * perSession);
    const double head1 = 7, head2 = 8.5;
    const double left = kMarginMm;
    const double valuesLeft = left + dayW + momentW;

    s_.setFont(9, QFont::Bold);
    s_.cell(QRectF(left, y, dayW, head1 + head2), QStringLiteral("Jour et date"), kShadeDark);
    s_.cell(QRectF(left + dayW, y, momentW, head1 + head2), QStringLiteral("Moment"), kShadeDark);
    const QString names[4] = {QStringLiteral("Heure"), QStringLiteral("Systo-\nlique"),
                              QStringLiteral("Diasto-\nlique"), QStringLiteral("Pouls")};
    for (int m = 0; m < perSession; ++m) {
      s_.setFont(9, QFont::Bold);
      s_.cell(QRectF(valuesLeft + 4 * m * valueW, y, 4 * valueW, head1),
              QStringLiteral("Mesure %1").arg(m + 1), kShadeDark);
      s_.setFont(7.5, QFont::Bold);
      for (int k = 0; k < 4; ++k) {
        s_.cell(QRectF(valuesLeft + (4 * m + k) * valueW, y + head1, valueW, head2), names[k],
                kShade);
      }
    }
    double cy = y + head1 + head2;
    QPainter &p = s_.painter();
    for (int d = 0; d < dayCount(); ++d) {
      const SeriesDay *day = series_ ? &series_->days[size_t(d)] : nullptr;
      const bool counts = this->counts(d);
      // The day cell: set apart when the day is shown but not counted.
      const QRectF dayCell(left, cy, dayW, 2 * rowHeight);
      s_.cell(dayCell, QString(), counts ? kShade : QColor(214, 214, 214));
      const double half = rowHeight;
      s_.setFont(rowHeight < 7 ? 8.5 : 9.5, QFont::Bold);
      s_.text(QRectF(left, cy + 0.5, dayW, half), Qt::AlignCenter,
              QStringLiteral("Jour %1").arg(d + 1));
      s_.setFont(rowHeight < 7 ? 7.5 : 9);
      s_.text(QRectF(left, cy + half - 0.5, dayW, half * (counts ? 1 : 0.55)), Qt::AlignCenter,
              day ? day->date.toString(kDateMask) : QStringLiteral("__/__/____"));
      if (!counts) {
        s_.setFont(6.5, QFont::Normal, true);
        s_.text(QRectF(left, cy + half * 1.45, dayW, half * 0.55), Qt::AlignCenter,
                QStringLiteral("non compté"));
      }
      const QString moments[2] = {QStringLiteral("Matin"), QStringLiteral("Soir")};
      for (int session = 0; session < 2; ++session) {
        const double ry = cy + session * rowHeight;
        s_.setFont(9, QFont::Bold);
        s_.cell(QRectF(left + dayW, ry, momentW, rowHeight), moments[session],
                counts ? QColor(Qt::white) : QColor(236, 236, 236));
        const std::vector<SeriesReading> *kept =
            day ? (session == 0 ? &day->morning : &day->evening) : nullptr;
        s_.setFont(rowHeight < 7 ? 8.5 : 9.5);
        for (int m = 0; m < perSession; ++m) {
          const SeriesReading *r = kept && m < int(kept->size()) ? &(*kept)[size_t(m)] : nullptr;
          const QString texts[4] = {r ? TimeText(r->minutes)
                                      : (series_ ? QString() : QStringLiteral("__h__")),
                                    r ? QString::number(r->systolic) : QString(),
                                    r ? QString::number(r->diastolic) : QString(),
                                    r ? QString::number(r->pulse) : QString()};
          for (int k = 0; k < 4; ++k) {
            QColor fill = StripeFill(m);
            if (!counts) {
              fill = QColor(236, 236, 236);
            }
            s_.cell(QRectF(valuesLeft + (4 * m + k) * valueW, ry, valueW, rowHeight), texts[k],
                    fill, k == 0 ? (r ? kInk : kMuted) : QColor(Qt::black));
          }
          if (r && r->irregular()) {
            irregularMark(valuesLeft + 4 * m * valueW + 1.9, ry + 1.9);
          }
        }
      }
      p.setPen(s_.pen(kInk, 0.5));
      p.drawLine(s_.at(left, cy), s_.at(left + kInnerWidthMm, cy));
      cy += 2 * rowHeight;
    }
    p.setPen(s_.pen(kInk, 0.5));
    p.setBrush(Qt::NoBrush);
    p.drawRect(s_.box(left, y, kInnerWidthMm, cy - y));
    s_.setFont(8, QFont::Normal, true);
    s_.textAt(left, cy + 4,
              QStringLiteral("Systolique et diastolique en mmHg (le 1er et le 2e chiffre du "
                             "tensiomètre), pouls en battements par minute."));
    if (IrregularLegendHeight(series_) > 0) {
      irregularMark(left + 1.2, cy + 4 + kIrregularLegendMm - 1.1);
      s_.setFont(8, QFont::Normal, true);
      s_.textAt(left + 3.6, cy + 4 + kIrregularLegendMm, IrregularLegend(series_->irregular), kRed);
    }
    return cy + 6 + IrregularLegendHeight(series_);
  }

  // "Point rouge : pouls irrégulier noté pour cette mesure (3 mesures du
  // relevé) ; signalez-le à votre médecin."
  static QString IrregularLegend(qint64 count) {
    return QStringLiteral("Point rouge : pouls irrégulier noté pour cette mesure (%1 %2 du "
                          "relevé) ; signalez-le à votre médecin.")
        .arg(count)
        .arg(count == 1 ? QStringLiteral("mesure") : QStringLiteral("mesures"));
  }

  // "28"; "12 à 28" when the series may stop early.
  QString expectedText() const {
    const int least = info_.minDays * 2 * info_.perSession;
    return info_.minDays < info_.days ? QStringLiteral("%1 à %2").arg(least).arg(info_.expected)
                                      : QString::number(info_.expected);
  }

  // "des jours 2 à 7" for the European protocol's counted days.
  QString countedDays() const {
    if (info_.firstCounted == 0) {
      return QString();
    }
    if (!series_) {
      return QStringLiteral(" des jours %1 à %2").arg(info_.firstCounted + 1).arg(info_.days);
    }
    const int first = series_->firstCountedDay();
    const int last = int(series_->days.size());
    if (first >= last) {
      return QString();
    }
    return first + 1 == last ? QStringLiteral(" du jour %1").arg(last)
                             : QStringLiteral(" des jours %1 à %2").arg(first + 1).arg(last);
  }

  // The verdict lines and the height each takes, wrapped to the box.
  std::vector<std::pair<QString, double>> verdictLines() {
    std::vector<std::pair<QString, double>> out;
    if (!series_) {
      return out;
    }
    const QStringList lines = VerdictLines(*series_);
    for (int i = 0; i < lines.size(); ++i) {
      verdictFont(i, int(lines.size()));
      const QRectF used = s_.painter().boundingRect(s_.box(0, 0, kInnerWidthMm - 8, 50),
                                                    Qt::TextWordWrap | Qt::AlignLeft, lines[i]);
      out.push_back({lines[i], std::max(i == 0 ? 4.3 : 3.8, used.height() / s_.mm(1) + 0.5)});
    }
    return out;
  }

  double meansHeight() {
    double height = 20;
    for (const auto &line : verdictLines()) {
      height += line.second;
    }
    return height;
  }

  double means(double y) {
    QPainter &p = s_.painter();
    const auto verdict = verdictLines();
    const double height = meansHeight();
    p.setPen(s_.pen(kGrid, 0.3));
    p.setBrush(kShade);
    p.drawRect(s_.box(kMarginMm, y, kInnerWidthMm, height));
    p.setBrush(Qt::NoBrush);
    const double x = kMarginMm + 4;
    s_.setFont(9.5, QFont::Bold);
    const QString days = countedDays();
    s_.textAt(x, y + 5.5,
              series_ ? QStringLiteral("Moyenne des %1 mesures retenues%2 (%3 attendues)")
                            .arg(series_->all.count)
                            .arg(days)
                            .arg(series_->expected())
                      : QStringLiteral("Moyenne des %1 mesures%2 (à calculer ou à faire "
                                       "calculer)")
                            .arg(expectedText())
                            .arg(days));
    s_.setFont(9.5);
    const auto mean = [&](qint64 SeriesSums::*value) {
      return series_ ? FrenchTenths(MeanTenths(series_->all.*value, series_->all.count))
                     : QString();
    };
    s_.field(x, y + 11.5, 55, QStringLiteral("Systolique :"), mean(&SeriesSums::systolic),
             QStringLiteral("mmHg"));
    s_.field(x + 60, y + 11.5, 55, QStringLiteral("Diastolique :"), mean(&SeriesSums::diastolic),
             QStringLiteral("mmHg"));
    s_.field(x + 120, y + 11.5, 54, QStringLiteral("Pouls :"), mean(&SeriesSums::pulse),
             QStringLiteral("/min"));
    s_.setFont(8.5, QFont::Normal, true);
    if (!series_) {
      s_.textAt(x, y + 17,
                QStringLiteral("Repère : en automesure, une moyenne égale ou supérieure à "
                               "135/85 mmHg doit être signalée à votre médecin."));
      return y + height + 3;
    }
    const auto session = [&](const QString &name, const SeriesSums &sums) {
      return sums.count == 0 ? name + QStringLiteral(" : aucune mesure retenue")
                             : QStringLiteral("%1 : %2 / %3 mmHg, pouls %4 (%5 mesures)")
                                   .arg(name, FrenchTenths(MeanTenths(sums.systolic, sums.count)),
                                        FrenchTenths(MeanTenths(sums.diastolic, sums.count)),
                                        FrenchTenths(MeanTenths(sums.pulse, sums.count)))
                                   .arg(sums.count);
    };
    s_.textAt(x, y + 16.5,
              session(QStringLiteral("Matin"), series_->morning) + QStringLiteral("     ") +
                  session(QStringLiteral("Soir"), series_->evening));
    double ly = y + 18.5;
    for (size_t i = 0; i < verdict.size(); ++i) {
      verdictFont(int(i), int(verdict.size()));
      s_.text(QRectF(x, ly, kInnerWidthMm - 8, verdict[i].second),
              Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, verdict[i].first,
              i == 0 && series_->verdict == Verdict::Above ? kRed : kInk);
      ly += verdict[i].second;
    }
    return y + height + 3;
  }

  // "16 mesures sur 18 attendues; manquent : ..." under the grid, then the
  // session windows the readings were sorted by, on the same line when it
  // has room; nothing on the blank form. Measures only unless `draw`.
  double compliance(double y, bool draw = true) {
    if (!series_) {
      return y;
    }
    const QString counted = ComplianceLine(*series_);
    const QString windows = WindowsSentence(series_->windows);
    s_.setFont(9, QFont::Bold);
    const double countedWidth = s_.textWidthMm(counted);
    const QRectF used = s_.painter().boundingRect(s_.box(kMarginMm, y, kInnerWidthMm, 30),
                                                  Qt::TextWordWrap | Qt::AlignLeft, counted);
    const double countedHeight = used.height() / s_.mm(1);
    const double ascent =
        QFontMetricsF(s_.painter().font(), s_.painter().device()).ascent() / s_.mm(1);
    if (draw) {
      s_.text(QRectF(kMarginMm, y, kInnerWidthMm, countedHeight + 0.5),
              Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, counted);
    }
    s_.setFont(8.5);
    const double gap = 3;
    const bool sameLine =
        countedWidth + gap + s_.textWidthMm(windows) <= kInnerWidthMm && countedHeight < 6;
    if (sameLine) {
      if (draw) {
        s_.textAt(kMarginMm + countedWidth + gap, y + ascent, windows); // on the same baseline
      }
      return y + countedHeight + 1.5;
    }
    y += countedHeight + 0.3;
    const double windowsHeight = s_.painter()
                                     .boundingRect(s_.box(kMarginMm, y, kInnerWidthMm, 30),
                                                   Qt::TextWordWrap | Qt::AlignLeft, windows)
                                     .height() /
                                 s_.mm(1);
    if (draw) {
      s_.text(QRectF(kMarginMm, y, kInnerWidthMm, windowsHeight + 0.5),
              Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, windows);
    }
    return y + windowsHeight + 1.5;
  }

  // The readings of the series' days not counted, rows `first` to `last`
  // (excluded), with a title and the column heads.
  double excludedTable(double y, size_t first, size_t last, bool continued) {
    const std::vector<double> widths = {22, 13, 13, 40, kInnerWidthMm - 88};
    s_.setFont(9, QFont::Bold);
    s_.textAt(kMarginMm, y + 3.5,
              continued
                  ? QStringLiteral("Mesures non comptées (suite)")
                  : QStringLiteral("Mesures non comptées (%1)").arg(series_->excluded.size()));
    y += 5;
    const auto row = [&](const QStringList &cells, const QColor &fill, bool bold) {
      double x = kMarginMm;
      s_.setFont(7.5, bold ? QFont::Bold : QFont::Normal);
      const QFontMetricsF metrics(s_.painter().font(), s_.painter().device());
      for (size_t i = 0; i < widths.size(); ++i) {
        s_.cell(QRectF(x, y, widths[i], kExcludedRowMm), QString(), fill);
        const QString shown =
            metrics.elidedText(cells[int(i)], Qt::ElideRight, s_.mm(widths[i] - 2));
        s_.text(QRectF(x + 1, y, widths[i] - 2, kExcludedRowMm), Qt::AlignLeft | Qt::AlignVCenter,
                shown, Qt::black);
        x += widths[i];
      }
      y += kExcludedRowMm;
    };
    row({QStringLiteral("Date"), QStringLiteral("Heure"), QStringLiteral("Liste"),
         QStringLiteral("Valeurs"), QStringLiteral("Raison")},
        kShadeDark, true);
    for (size_t i = first; i < last; ++i) {
      const ExcludedReading &e = series_->excluded[i];
      const QString context = e.context ? ContextSummary(*e.context) : QString();
      row({e.date, e.time, PeriodInfo(e.period).name, e.valuesText(),
           context.isEmpty() ? e.reason : e.reason + QStringLiteral(" ; ") + context},
          StripeFill(qint64(i - first)), false);
    }
    if (last < series_->excluded.size()) {
      s_.setFont(8, QFont::Normal, true);
      s_.textAt(kMarginMm, y + 3.5, QStringLiteral("Suite page suivante."));
      y += 4.5;
    }
    return y + 2;
  }

  void chart(double y, double height) {
    const int days = dayCount();
    ChartAxis axis;
    axis.from = 0.5;
    axis.to = days + 0.5;
    const bool yearShown = series_ && series_->start.year() != series_->end.year();
    for (int d = 0; d < days; ++d) {
      axis.ticks.push_back(
          {d + 1.0, series_ ? series_->days[size_t(d)].date.toString(
                                  yearShown ? QStringLiteral("dd/MM/yy") : QStringLiteral("dd/MM"))
                            : QStringLiteral("Jour %1").arg(d + 1)});
    }
    // The days shown and not counted are set apart, their points grey.
    for (int d = 0; d < days && !counts(d); ++d) {
      axis.shadedFrom = 0.5;
      axis.shadedTo = d + 1.5;
      axis.shadedLabel = QStringLiteral("non compté");
    }
    const QColor grey(150, 150, 150);
    std::vector<ChartSeries> lines = {
        {QStringLiteral("Systolique matin"), kRed, {}, true, false},
        {QStringLiteral("Systolique soir"), kRed, {}, true, true},
        {QStringLiteral("Diastolique matin"), kBlue, {}, true, false},
        {QStringLiteral("Diastolique soir"), kBlue, {}, true, true},
        {QStringLiteral("Non compté"), grey, {}, false, false, false},
    };
    if (series_) {
      const double gap = std::numeric_limits<double>::quiet_NaN();
      for (int d = 0; d < days; ++d) {
        const SeriesDay &day = series_->days[size_t(d)];
        const auto add = [&](const std::vector<SeriesReading> &kept, ChartSeries &sys,
                             ChartSeries &dia) {
          if (kept.empty()) {
            sys.points.push_back({d + 1.0, gap}); // no line across a day without readings
            dia.points.push_back({d + 1.0, gap});
            return;
          }
          double s = 0, di = 0;
          for (const SeriesReading &r : kept) {
            s += r.systolic;
            di += r.diastolic;
          }
          ChartSeries &sysTo = day.counts ? sys : lines[4];
          ChartSeries &diaTo = day.counts ? dia : lines[4];
          sysTo.points.push_back({d + 1.0, s / double(kept.size())});
          diaTo.points.push_back({d + 1.0, di / double(kept.size())});
        };
        add(day.morning, lines[0], lines[2]);
        add(day.evening, lines[1], lines[3]);
      }
    }
    DrawChart(s_, QRectF(kMarginMm, y, kInnerWidthMm, height), axis, lines,
              QStringLiteral("Moyennes par jour (mmHg ; lignes à 135/85 et 120/70 mmHg)"));
  }

private:
  // The verdict in bold, the category and advice after it plain, the
  // not-a-medical-device sentence small and slanted.
  void verdictFont(int i, int count) {
    if (i + 1 == count) {
      s_.setFont(8, QFont::Normal, true);
    } else {
      s_.setFont(i == 0 ? 9.5 : 8.5, i == 0 ? QFont::Bold : QFont::Normal);
    }
  }

  // The red dot of a reading flagged "pouls irrégulier", centred at x, y.
  void irregularMark(double x, double y) {
    QPainter &p = s_.painter();
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawEllipse(s_.at(x, y), s_.mm(0.8), s_.mm(0.8));
    p.setBrush(Qt::NoBrush);
  }

  void tickBox(double x, double baseline, const QString &label) {
    QPainter &p = s_.painter();
    p.setPen(s_.pen(kInk, 0.3));
    p.setBrush(Qt::white);
    p.drawRect(s_.box(x, baseline - 3.2 + 0.3, 3.2, 3.2));
    p.setBrush(Qt::NoBrush);
    s_.textAt(x + 4.7, baseline, label);
  }

  Sheet &s_;
  const ProtocolInfo &info_;
  const ReportIdentity &who_;
  const SeriesResult *series_;
};

} // namespace

QString SeriesFormDocument::title() const {
  return series_ ? QStringLiteral("Relevé d'automesure tensionnelle - %1").arg(who_.name)
                 : QStringLiteral("Relevé d'automesure tensionnelle");
}

namespace {

// The rows of a page's grid, the means and the chart: the grid takes what
// the rest leaves, between its smallest and largest row height; the readings
// not counted follow under the grid as far as they fit, the others on the
// next pages. When even the smallest rows leave the chart too little room,
// the chart goes to the top of the second page, the rest of the list under it.
struct FormPlan {
  double gridTop = 0, rowHeight = 0, meansHeight = 0;
  bool chartApart = false;
  size_t onFirstPage = 0, underChart = 0, perPage = 0;
};

constexpr double kContinuedTopMm = kMarginMm + 16 + 6;
constexpr double kApartChartMm = 85;
constexpr double kChartNoteMm = 5;

double GridHeight(int days, double rowHeight) { return 15.5 + 2.0 * days * rowHeight + 6; }

// Rows of the list of readings not counted that fit from `top` down.
size_t ListRows(double top) {
  return size_t(std::max(
      0.0, std::floor((kContentBottomMm - top - 5 - 2 - kExcludedRowMm - 4.5) / kExcludedRowMm)));
}

FormPlan PlanForm(FormPainter &form, const SeriesResult *series, int days) {
  FormPlan plan;
  double y = kMarginMm;
  y = form.heading(y) + 2;
  y = form.identity(y) + 2;
  plan.gridTop = form.instructions(y) + 3;
  plan.meansHeight = form.meansHeight() + 3;
  const double complianceHeight = form.compliance(0, false);
  const double minRow = days > 4 ? 4.6 : 5.5;
  double free = kContentBottomMm - kMinChartMm - 3 - plan.meansHeight - 2 - complianceHeight -
                plan.gridTop - GridHeight(days, minRow) - IrregularLegendHeight(series);
  const size_t excluded = series ? series->excluded.size() : 0;
  if (series && free - (excluded > 0 ? 6 : 0) < 0) {
    plan.chartApart = true;
    free += kMinChartMm + 3 - kChartNoteMm;
  }
  double listHeight = 0;
  if (excluded > 0) {
    const double rows = std::floor((free - 5 - 2 - kExcludedRowMm) / kExcludedRowMm);
    plan.onFirstPage = rows >= double(excluded) ? excluded : size_t(std::max(0.0, rows - 1));
    listHeight = 5 + 2 + kExcludedRowMm * double(plan.onFirstPage + 1) +
                 (plan.onFirstPage < excluded ? 4.5 : 0);
  }
  plan.rowHeight = std::clamp((free + GridHeight(days, minRow) - listHeight - GridHeight(days, 0)) /
                                  (2.0 * days),
                              minRow, 11.0);
  plan.perPage = ListRows(kContinuedTopMm);
  plan.underChart = plan.chartApart ? ListRows(kContinuedTopMm + kApartChartMm + 4) : 0;
  return plan;
}

FormPlan PlanOn(QPainter &painter, const ProtocolInfo &info, const ReportIdentity &who,
                const SeriesResult *series) {
  Sheet sheet(painter);
  FormPainter form(sheet, info, who, series);
  return PlanForm(form, series, series ? int(series->days.size()) : info.days);
}

// The plan measured on a sheet of its own at 300 dpi: the same split of the
// list on every device, the fonts scaling with the resolution.
FormPlan MeasuredPlan(const ProtocolInfo &info, const ReportIdentity &who,
                      const SeriesResult *series) {
  QImage scratch(1, 1, QImage::Format_RGB32);
  scratch.setDotsPerMeterX(11811);
  scratch.setDotsPerMeterY(11811);
  QPainter painter(&scratch);
  return PlanOn(painter, info, who, series);
}

} // namespace

int SeriesFormDocument::pageCount() const {
  if (!series_) {
    return 1;
  }
  const FormPlan plan = MeasuredPlan(ProtocolOf(protocol_), who_, &*series_);
  const size_t rest = series_->excluded.size() - plan.onFirstPage;
  if (!plan.chartApart) {
    return 1 + int((rest + plan.perPage - 1) / plan.perPage);
  }
  return rest <= plan.underChart
             ? 2
             : 2 + int((rest - plan.underChart + plan.perPage - 1) / plan.perPage);
}

void SeriesFormDocument::drawPage(QPainter &painter, int index) const {
  Sheet sheet(painter);
  const ProtocolInfo &info = ProtocolOf(protocol_);
  const SeriesResult *series = series_ ? &*series_ : nullptr;
  FormPainter form(sheet, info, who_, series);
  const int pages = pageCount();
  const FormPlan plan = MeasuredPlan(info, who_, series);
  if (index == 0) {
    double y = kMarginMm;
    y = form.heading(y) + 2;
    y = form.identity(y) + 2;
    y = form.instructions(y) + 3;
    y = form.grid(y, plan.rowHeight) + 2;
    y = form.compliance(y);
    if (series && plan.onFirstPage > 0) {
      y = form.excludedTable(y, 0, plan.onFirstPage, false);
    } else if (series && !series->excluded.empty()) {
      sheet.setFont(8, QFont::Normal, true);
      sheet.textAt(kMarginMm, y + 3.5,
                   QStringLiteral("Mesures non comptées (%1) : page suivante.")
                       .arg(series->excluded.size()));
      y += 6;
    }
    y = form.means(y);
    if (plan.chartApart) {
      sheet.setFont(8, QFont::Normal, true);
      sheet.textAt(kMarginMm, y + 2.5, QStringLiteral("Moyennes par jour : page suivante."));
    } else {
      form.chart(y, kContentBottomMm - y);
    }
  } else {
    double y = kMarginMm;
    sheet.painter().fillRect(sheet.box(kMarginMm, y, kInnerWidthMm, 16), kInk);
    sheet.setFont(15, QFont::Bold);
    sheet.text(QRectF(kMarginMm + 4, y, kInnerWidthMm - 8, 10), Qt::AlignLeft | Qt::AlignBottom,
               QStringLiteral("Relevé d'automesure tensionnelle (suite)"), Qt::white);
    sheet.setFont(9.5);
    sheet.text(
        QRectF(kMarginMm + 4, y + 10, kInnerWidthMm - 8, 5), Qt::AlignLeft | Qt::AlignVCenter,
        QStringLiteral("%1 - du %2 au %3")
            .arg(who_.name, series->start.toString(kDateMask), series->end.toString(kDateMask)),
        Qt::white);
    // The rows of this page: under the chart on the second page when it
    // was set apart, a whole page of them on the others.
    y = kContinuedTopMm;
    size_t first = plan.onFirstPage;
    size_t rows = plan.perPage;
    if (plan.chartApart && index == 1) {
      form.chart(y, kApartChartMm);
      y += kApartChartMm + 4;
      rows = plan.underChart;
    } else if (plan.chartApart) {
      first += plan.underChart + size_t(index - 2) * plan.perPage;
    } else {
      first += size_t(index - 1) * plan.perPage;
    }
    const size_t last = std::min(series->excluded.size(), first + rows);
    if (first < last) {
      form.excludedTable(y, first, last, first > 0);
    }
  }
  sheet.footer({QStringLiteral("Apportez cette fiche à votre prochaine consultation."),
                QStringLiteral("Fiche faite avec Tensiolog. Elle ne remplace pas l'avis de votre "
                               "médecin, seul à même d'interpréter vos mesures.")},
               pages > 1 ? index + 1 : 0, pages > 1 ? pages : 0);
}

} // namespace tl
