#include "reports/doctor_report.h"

#include "measurements/classification.h"
#include "measurements/context_texts.h"
#include "reports/page_kit.h"

#include <QFontMetricsF>
#include <cmath>
#include <limits>

namespace tl {

using namespace page;

namespace {

const QString kDateMask = QStringLiteral("dd/MM/yyyy");
const QString kDisclaimer = QStringLiteral(
    "Tensiolog n'est pas un dispositif médical : seul votre médecin peut interpréter ces "
    "mesures.");

QString MeanAndDeviation(const ValueStatistics &v) {
  if (v.count == 0) {
    return QStringLiteral("-");
  }
  return v.deviation
             ? FrenchOneDecimal(v.mean) + QStringLiteral(" ± ") + FrenchOneDecimal(*v.deviation)
             : FrenchOneDecimal(v.mean);
}

QString Range(const ValueStatistics &v) {
  return v.count == 0 ? QStringLiteral("-")
                      : QStringLiteral("%1 - %2").arg(v.minimum).arg(v.maximum);
}

void Heading(Sheet &s, const QString &title, const QString &subtitle) {
  s.painter().fillRect(s.box(kMarginMm, kMarginMm, kInnerWidthMm, 16), kInk);
  s.setFont(16, QFont::Bold);
  s.text(QRectF(kMarginMm + 4, kMarginMm, kInnerWidthMm - 8, 10), Qt::AlignLeft | Qt::AlignBottom,
         title, Qt::white);
  s.setFont(9.5);
  s.text(QRectF(kMarginMm + 4, kMarginMm + 10, kInnerWidthMm - 8, 5),
         Qt::AlignLeft | Qt::AlignVCenter, subtitle, Qt::white);
}

// A table row: cells of the given widths, the first left-aligned.
void Row(Sheet &s, double y, double height, const std::vector<double> &widths,
         const QStringList &texts, const QColor &fill, bool bold = false) {
  double x = kMarginMm;
  s.setFont(bold ? 8 : 8.5, bold ? QFont::Bold : QFont::Normal);
  for (size_t i = 0; i < widths.size(); ++i) {
    s.cell(QRectF(x, y, widths[i], height), QString(), fill);
    s.text(QRectF(x + 1.5, y, widths[i] - 3, height),
           (i == 0 ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignVCenter,
           i < size_t(texts.size()) ? texts[int(i)] : QString(), Qt::black);
    x += widths[i];
  }
}

constexpr double kReadingRowMm = 5.2;
constexpr double kContextLineMm = 3.6;
// Characters of a context line under a reading, at its font, across the page.
constexpr qsizetype kContextLineChars = 120;

// The context of a reading as the list shows it under the reading's row.
QString ContextLine(const ReadingContext &context) {
  QString text = ContextSummary(context);
  if (!text.isEmpty()) {
    text[0] = text[0].toUpper();
  }
  return text;
}

// Lines a reading's context takes under its row: none, one or two.
int ContextLines(const SeriesReading &r) {
  if (!r.context || r.context->isEmpty()) {
    return 0;
  }
  return ContextLine(*r.context).size() > kContextLineChars ? 2 : 1;
}

double ReadingHeightMm(const SeriesReading &r) {
  return kReadingRowMm + ContextLines(r) * kContextLineMm;
}

// Text wrapped to `widthMm` from `topMm` down, in the painter's font; its
// height in millimetres.
double Paragraph(Sheet &s, double xMm, double topMm, double widthMm, const QString &text,
                 const QColor &colour = kInk) {
  const QRectF used = s.painter().boundingRect(s.box(xMm, topMm, widthMm, 60),
                                               Qt::TextWordWrap | Qt::AlignLeft, text);
  const double height = used.height() / s.mm(1);
  s.text(QRectF(xMm, topMm, widthMm, height + 0.5), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
         text, colour);
  return height;
}

QString Capitalised(QString text) {
  if (!text.isEmpty()) {
    text[0] = text[0].toUpper();
  }
  return text;
}

// A phrase made a sentence: capital first, full stop last.
QString Sentence(const QString &text) {
  return text.isEmpty() || text.endsWith(u'.') ? Capitalised(text) : Capitalised(text) + u'.';
}

// "+4,5", "-2,0", "0,0"; "-" for none.
QString SignedTenths(std::optional<qint64> tenths) {
  if (!tenths) {
    return QStringLiteral("-");
  }
  return *tenths > 0 ? QStringLiteral("+") + FrenchTenths(tenths) : FrenchTenths(tenths);
}

// Days of `from` to `to` on the axis, one unit a day, about eight labels.
ChartAxis DateAxis(QDate from, QDate to) {
  ChartAxis axis;
  axis.from = 0;
  axis.to = std::max<double>(from.daysTo(to) + 1, 1);
  const qint64 days = qint64(axis.to);
  const qint64 step = std::max<qint64>(1, (days + 7) / 8);
  // The year when the range crosses a year end.
  const bool yearShown = from.year() != to.year();
  for (qint64 d = 0; d < days; d += step) {
    axis.ticks.push_back(
        {double(d) + 0.5, from.addDays(d).toString(yearShown ? QStringLiteral("dd/MM/yy")
                                                             : QStringLiteral("dd/MM"))});
  }
  return axis;
}

// A session's means as shown, in tenths of mmHg, and its readings.
struct SessionMeans {
  std::optional<qint64> systolic, diastolic;
  qint64 count = 0;
};

SessionMeans MeansOf(const SeriesSums &sums) {
  return {MeanTenths(sums.systolic, sums.count), MeanTenths(sums.diastolic, sums.count),
          sums.count};
}

SessionMeans MeansOf(const ReadingStatistics &st) {
  if (st.count == 0) {
    return {};
  }
  return {std::llround(st.systolic.mean * 10), std::llround(st.diastolic.mean * 10), st.count};
}

std::optional<qint64> Difference(std::optional<qint64> a, std::optional<qint64> b) {
  return a && b ? std::optional<qint64>(*a - *b) : std::nullopt;
}

} // namespace

QString IrregularSummary(qint64 irregular, qint64 readings) {
  if (irregular <= 0) {
    return QString();
  }
  return QStringLiteral("Pouls irrégulier noté pour %1 %2 sur %3 : à signaler au médecin. Cette "
                        "indication, donnée par le tensiomètre ou le patient, n'est pas un "
                        "diagnostic.")
      .arg(irregular)
      .arg(irregular == 1 ? QStringLiteral("mesure") : QStringLiteral("mesures"))
      .arg(readings);
}

QString FrenchOneDecimal(double value) { return FrenchTenths(std::llround(value * 10)); }

QString PeriodRowName(DayPeriod period) {
  switch (period) {
  case DayPeriod::Matin:
    return QStringLiteral("Matin (6h-12h)");
  case DayPeriod::Jour:
    return QStringLiteral("Jour (12h-18h)");
  case DayPeriod::Soir:
    return QStringLiteral("Soir (18h-24h)");
  case DayPeriod::Nuit:
    return QStringLiteral("Nuit (0h-6h)");
  }
  return {};
}

QString AllPeriodsRowName() { return QStringLiteral("Toutes"); }

QStringList StatisticsHeaders() {
  return {QStringLiteral("Période"),
          QStringLiteral("Mesures"),
          QStringLiteral("Systolique\nmoy. ± é.-t."),
          QStringLiteral("Systolique\nmin. - max."),
          QStringLiteral("Diastolique\nmoy. ± é.-t."),
          QStringLiteral("Diastolique\nmin. - max."),
          QStringLiteral("Pouls\nmoyen"),
          QStringLiteral("Pression\npulsée"),
          QStringLiteral("≥ 135/85\n(*)")};
}

QString SharePercent(qint64 count, qint64 total) {
  return total > 0 ? FrenchOneDecimal(100.0 * double(count) / double(total)) + QStringLiteral(" %")
                   : QStringLiteral("-");
}

QStringList StatisticsCells(const QString &rowName, const ReadingStatistics &st) {
  const bool any = st.count > 0;
  return {rowName,
          QString::number(st.count),
          MeanAndDeviation(st.systolic),
          Range(st.systolic),
          MeanAndDeviation(st.diastolic),
          Range(st.diastolic),
          any ? FrenchOneDecimal(st.pulse.mean) : QStringLiteral("-"),
          any ? FrenchOneDecimal(st.meanPulsePressure) : QStringLiteral("-"),
          any ? QStringLiteral("%1 (%2)")
                    .arg(st.atOrAboveThreshold)
                    .arg(SharePercent(st.atOrAboveThreshold, st.count))
              : QStringLiteral("-")};
}

QList<BpClass> ReportedClasses(const ReadingStatistics &statistics) {
  QList<BpClass> classes;
  for (int c = 1; c < kBpClassCount; ++c) {
    // The dead class only when a reading has it.
    if (BpClass(c) != BpClass::Dead || statistics.classCount(BpClass(c)) > 0) {
      classes.append(BpClass(c));
    }
  }
  return classes;
}

DoctorReportDocument::DoctorReportDocument(ReportIdentity who, DoctorReportData data, QDate madeOn,
                                           std::optional<SeriesResult> series)
    : who_(std::move(who)), data_(std::move(data)), madeOn_(madeOn), series_(std::move(series)) {
  // The pages of readings hold as many rows as their height allows, a row
  // with a note or flags taking its context's lines too.
  const double room = kRowsPerPage * kReadingRowMm + 1e-6;
  double used = room;
  for (size_t i = 0; i < data_.readings.size(); ++i) {
    const double height = ReadingHeightMm(data_.readings[i]);
    if (used + height > room) {
      readingPageStarts_.push_back(i);
      used = 0;
    }
    used += height;
  }
}

QString DoctorReportDocument::title() const {
  return QStringLiteral("Rapport d'automesure tensionnelle - %1").arg(who_.name);
}

int DoctorReportDocument::readingPages() const { return int(readingPageStarts_.size()); }

int DoctorReportDocument::pageCount() const {
  const qint64 unusable = qint64(data_.unusable.size());
  // The page for the general practitioner, the summary, the readings, the
  // rows not used.
  return 2 + readingPages() + int((unusable + kRowsPerPage - 1) / kRowsPerPage);
}

void DoctorReportDocument::drawPage(QPainter &painter, int index) const {
  Sheet sheet(painter);
  if (index == 0) {
    drawPractitioner(painter);
  } else if (index == 1) {
    drawSummary(painter);
  } else if (index <= readingPages() + 1) {
    drawReadings(painter, index - 1);
  } else {
    drawUnusable(painter, index - 1 - readingPages());
  }
  sheet.footer({kDisclaimer,
                QStringLiteral("%1 - du %2 au %3")
                    .arg(who_.name, data_.from.toString(kDateMask), data_.to.toString(kDateMask))},
               index + 1, pageCount());
}

double DoctorReportDocument::drawHeader(Sheet &s, const QString &title) const {
  Heading(s, title,
          QStringLiteral("Mesures du %1 au %2, rapport fait le %3")
              .arg(data_.from.toString(kDateMask), data_.to.toString(kDateMask),
                   madeOn_.toString(kDateMask)));
  double y = kMarginMm + 16 + 8;
  s.setFont(10);
  s.field(kMarginMm, y, 110, QStringLiteral("Patient :"), who_.name);
  s.field(kMarginMm + 114, y, 68, QStringLiteral("Âge :"), who_.age);
  y += 7;
  s.field(kMarginMm, y, 110, QStringLiteral("Médecin :"), who_.doctor);
  s.field(kMarginMm + 114, y, 68, QStringLiteral("Mesures :"),
          QString::number(data_.overall.count));
  return y;
}

void DoctorReportDocument::drawPractitioner(QPainter &painter) const {
  Sheet s(painter);
  double y = drawHeader(
      s, QStringLiteral("Automesure tensionnelle : synthèse pour le médecin généraliste"));
  if (!who_.meter.isEmpty()) {
    y += 7;
    s.field(kMarginMm, y, kInnerWidthMm, QStringLiteral("Tensiomètre :"), who_.meter);
  }
  y += 6;

  // The last home series: its protocol, days and verdict, or why there is none.
  const SeriesResult *series = series_ ? &*series_ : nullptr;
  const bool complete = series && series->verdict != Verdict::Incomplete;
  struct Line {
    QString text;
    double points;
    bool bold;
    QColor colour;
  };
  std::vector<Line> lines;
  // "du 02/03/2026 au 08/03/2026, règle des 2-2-3 (ESC 2024) : ..."
  const auto days = [](const SeriesResult &r) {
    QString protocol = ProtocolOf(r.protocol).text;
    if (!protocol.isEmpty()) {
      protocol[0] = protocol[0].toLower();
    }
    return QStringLiteral("du %1 au %2, %3")
        .arg(r.start.toString(kDateMask), r.end.toString(kDateMask), protocol);
  };
  if (complete) {
    const SeriesSums &all = series->all;
    lines.push_back({Sentence(QStringLiteral("Série ") + days(*series)), 10, true, kInk});
    lines.push_back(
        {ComplianceLine(*series) + u' ' + WindowsSentence(series->windows), 8.5, false, kInk});
    const QString mean = QStringLiteral("Moyenne de la série : %1 / %2 mmHg, pouls %3 : ")
                             .arg(FrenchTenths(MeanTenths(all.systolic, all.count)),
                                  FrenchTenths(MeanTenths(all.diastolic, all.count)),
                                  FrenchTenths(MeanTenths(all.pulse, all.count)));
    lines.push_back(
        series->verdict == Verdict::Above
            ? Line{mean + QStringLiteral("égale ou supérieure au seuil de l'automesure "
                                         "(135/85 mmHg)."),
                   10, true, kRed}
            : Line{mean + QStringLiteral("inférieure au seuil de l'automesure (135/85 mmHg)."), 10,
                   true, kInk});
    if (series->category) {
      lines.push_back({Sentence(HomeCategorySentence(*series->category) +
                                QStringLiteral(" ; ce classement n'est pas un diagnostic")),
                       9.5, false, kInk});
    }
    if (const QString extend = ExtendSentence(*series); !extend.isEmpty()) {
      lines.push_back({Sentence(extend), 9.5, false, kInk});
    }
  } else {
    lines.push_back({QStringLiteral("Aucune série complète d'automesure : pas de moyenne de série, "
                                    "de verdict ni de zone ESC 2024 à donner."),
                     10, true, kInk});
    if (series && series->start.isValid()) {
      lines.push_back({QStringLiteral("Dernière série commencée, ") + days(*series) +
                           QStringLiteral(" ; ") + ComplianceLine(*series),
                       8.5, false, kInk});
    }
  }
  s.setFont(10.5, QFont::Bold);
  s.textAt(kMarginMm, y + 4, QStringLiteral("Dernière série complète d'automesure à domicile"));
  y += 6;
  const double boxTop = y;
  const double textWidth = kInnerWidthMm - 8;
  std::vector<double> heights;
  double boxHeight = 3;
  for (const Line &line : lines) {
    s.setFont(line.points, line.bold ? QFont::Bold : QFont::Normal);
    const QRectF used = painter.boundingRect(s.box(0, 0, textWidth, 60),
                                             Qt::TextWordWrap | Qt::AlignLeft, line.text);
    heights.push_back(used.height() / s.mm(1) + 1.2);
    boxHeight += heights.back();
  }
  painter.setPen(s.pen(kGrid, 0.3));
  painter.setBrush(kShade);
  painter.drawRect(s.box(kMarginMm, boxTop, kInnerWidthMm, boxHeight));
  painter.setBrush(Qt::NoBrush);
  y = boxTop + 1.8;
  for (size_t i = 0; i < lines.size(); ++i) {
    s.setFont(lines[i].points, lines[i].bold ? QFont::Bold : QFont::Normal);
    Paragraph(s, kMarginMm + 4, y, textWidth, lines[i].text, lines[i].colour);
    y += heights[i];
  }
  y = boxTop + boxHeight + 7;

  // The morning and evening means and their difference: of the series when
  // complete, else of the range's readings by the period of their time.
  const SessionMeans morning = complete
                                   ? MeansOf(series->morning)
                                   : MeansOf(data_.periods[size_t(PeriodIndex(DayPeriod::Matin))]);
  const SessionMeans evening = complete
                                   ? MeansOf(series->evening)
                                   : MeansOf(data_.periods[size_t(PeriodIndex(DayPeriod::Soir))]);
  s.setFont(9.5, QFont::Bold);
  s.textAt(kMarginMm, y,
           complete ? QStringLiteral("Matin et soir : moyennes de la série (mmHg)")
                    : QStringLiteral("Matin et soir : moyennes des mesures de la "
                                     "période (mmHg)"));
  y += 2;
  const std::vector<double> widths = {56, 36, 36, 26};
  Row(s, y, 6, widths,
      {QStringLiteral("Séance"), QStringLiteral("Systolique"), QStringLiteral("Diastolique"),
       QStringLiteral("Mesures")},
      kShadeDark, true);
  y += 6;
  const auto sessionRow = [&](const QString &name, const SessionMeans &m) {
    Row(s, y, 6, widths,
        {name, m.systolic ? FrenchTenths(m.systolic) : QStringLiteral("-"),
         m.diastolic ? FrenchTenths(m.diastolic) : QStringLiteral("-"), QString::number(m.count)},
        Qt::white);
    y += 6;
  };
  sessionRow(complete ? QStringLiteral("Matin (%1)").arg(MorningWindowText(series->windows))
                      : PeriodRowName(DayPeriod::Matin),
             morning);
  sessionRow(complete ? QStringLiteral("Soir (%1)").arg(EveningWindowText(series->windows))
                      : PeriodRowName(DayPeriod::Soir),
             evening);
  Row(s, y, 6, widths,
      {QStringLiteral("Écart matin - soir"),
       SignedTenths(Difference(morning.systolic, evening.systolic)),
       SignedTenths(Difference(morning.diastolic, evening.diastolic)), QString()},
      kShade, true);
  y += 6 + 4;

  // The readings flagged "pouls irrégulier", and what the flag is worth.
  s.setFont(9, QFont::Bold);
  y += Paragraph(
      s, kMarginMm, y, kInnerWidthMm,
      data_.irregular > 0
          ? QStringLiteral("Pouls irrégulier noté pour %1 %2 sur %3.")
                .arg(data_.irregular)
                .arg(data_.irregular == 1 ? QStringLiteral("mesure") : QStringLiteral("mesures"))
                .arg(data_.overall.count)
          : QStringLiteral("Pouls irrégulier : noté pour aucune mesure de la période."),
      data_.irregular > 0 ? kRed : kInk);
  s.setFont(8.5);
  y += Paragraph(s, kMarginMm, y + 0.5, kInnerWidthMm,
                 QStringLiteral("Un tensiomètre automatique n'est pas fiable quand le rythme "
                                "cardiaque est irrégulier. Cette indication, donnée par le "
                                "tensiomètre ou le patient, n'est pas un diagnostic.")) +
       0.5;
  y += 5;

  // The trend: each day's mean, the days of the series set apart.
  ChartAxis axis = DateAxis(data_.from, data_.to);
  const double gap = std::numeric_limits<double>::quiet_NaN();
  ChartSeries systolic{QStringLiteral("Systolique"), kRed, {}, true, false};
  ChartSeries diastolic{QStringLiteral("Diastolique"), kBlue, {}, true, false};
  for (size_t i = 0; i < data_.readings.size();) {
    const QDate day = data_.readings[i].date;
    double sys = 0, dia = 0;
    size_t n = 0;
    for (; i < data_.readings.size() && data_.readings[i].date == day; ++i, ++n) {
      sys += data_.readings[i].systolic;
      dia += data_.readings[i].diastolic;
    }
    const double x = double(data_.from.daysTo(day)) + 0.5;
    if (!systolic.points.empty() && x - systolic.points.back().x() > 1.5) {
      // No line across days without readings.
      systolic.points.push_back({x - 1, gap});
      diastolic.points.push_back({x - 1, gap});
    }
    systolic.points.push_back({x, sys / double(n)});
    diastolic.points.push_back({x, dia / double(n)});
  }
  // The series' days set apart when the range holds other days too.
  if (complete) {
    const double from = std::max(0.0, double(data_.from.daysTo(series->start)));
    const double to = std::min(axis.to, double(data_.from.daysTo(series->end) + 1));
    if (to > from && (from > 0 || to < axis.to)) {
      axis.shadedFrom = from;
      axis.shadedTo = to;
      axis.shadedLabel = QStringLiteral("dernière série");
    }
  }
  const double bottom = kHeightMm - kMarginMm - 12;
  DrawChart(s, QRectF(kMarginMm, y, kInnerWidthMm, std::max(50.0, bottom - y)), axis,
            {systolic, diastolic},
            QStringLiteral("Moyenne de chaque jour (mmHg ; lignes à 135/85 et 120/70 mmHg)"));
}

void DoctorReportDocument::drawSummary(QPainter &painter) const {
  Sheet s(painter);
  double y = drawHeader(s, QStringLiteral("Automesure tensionnelle : rapport pour le médecin"));
  y += 7;
  // What the statistics leave out or move, said before them.
  QStringList notes;
  notes << (data_.unusable.empty()
                ? QStringLiteral("Lignes non utilisées : aucune.")
                : QStringLiteral("Lignes non utilisées : %1 (date, heure ou valeurs illisibles ou "
                                 "invraisemblables), listées avec leur raison page %2.")
                      .arg(data_.unusable.size())
                      .arg(readingPages() + 3));
  if (data_.moved > 0) {
    notes << MovedNote(data_.moved);
  }
  s.setFont(8.5);
  for (const QString &note : notes) {
    s.textAt(kMarginMm, y, note);
    y += 4.5;
  }
  if (const QString irregular = IrregularSummary(data_.irregular, data_.overall.count);
      !irregular.isEmpty()) {
    s.setFont(8.5, QFont::Bold);
    const QRectF used = painter.boundingRect(s.box(kMarginMm, 0, kInnerWidthMm, 30),
                                             Qt::TextWordWrap | Qt::AlignLeft, irregular);
    const double height = used.height() / s.mm(1);
    s.text(QRectF(kMarginMm, y - 3.2, kInnerWidthMm, height + 0.5),
           Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, irregular, kRed);
    y += height + 1.3;
  }
  y += 2;

  // The statistics per period and over all of them.
  const std::vector<double> widths = {25, 14, 26, 18, 26, 18, 15, 15, 25};
  s.setFont(9.5, QFont::Bold);
  s.textAt(kMarginMm, y + 2, QStringLiteral("Statistiques descriptives (mmHg ; pouls en /min)"));
  y += 4;
  Row(s, y, 9, widths, StatisticsHeaders(), kShadeDark, true);
  y += 9;
  const auto statsRow = [&](const QString &name, const ReadingStatistics &st, const QColor &fill) {
    Row(s, y, 6, widths, StatisticsCells(name, st), fill);
    y += 6;
  };
  for (DayPeriod period : kAllPeriods) {
    statsRow(PeriodRowName(period), data_.periods[size_t(PeriodIndex(period))], Qt::white);
  }
  statsRow(AllPeriodsRowName(), data_.overall, kShade);
  s.setFont(7.5, QFont::Normal, true);
  s.text(QRectF(kMarginMm, y + 0.8, kInnerWidthMm, 8), Qt::AlignLeft | Qt::TextWordWrap,
         QStringLiteral("(*) Mesures dont la systolique est d'au moins 135 mmHg ou la diastolique "
                        "d'au moins 85 mmHg, comptées une à une : un chiffre descriptif. Le seuil "
                        "de l'automesure s'applique à la moyenne d'une série, pas à une mesure."));
  y += 10;

  // The classes the logbook gives each reading by the office thresholds: not
  // the verdict of the home series, which judges a series' mean.
  s.setFont(9.5, QFont::Bold);
  s.textAt(kMarginMm, y + 2,
           QStringLiteral("Classes de consultation du carnet, mesure par mesure (**)"));
  y += 4;
  const std::vector<double> classWidths = {70, 20, 20};
  Row(s, y, 6, classWidths,
      {QStringLiteral("Classe"), QStringLiteral("Mesures"), QStringLiteral("Part")}, kShadeDark,
      true);
  y += 6;
  for (BpClass c : ReportedClasses(data_.overall)) {
    const qint64 count = data_.overall.classCount(c);
    Row(s, y, 5.2, classWidths,
        {ClassLabel(c), QString::number(count), SharePercent(count, data_.overall.count)},
        Qt::white);
    y += 5.2;
  }
  s.setFont(7.5, QFont::Normal, true);
  y += Paragraph(s, kMarginMm, y + 0.8, kInnerWidthMm,
                 QStringLiteral("(**) Seuils de consultation appliqués à chaque mesure isolée : ce "
                                "n'est pas le verdict de l'automesure, donné page 1 sur la moyenne "
                                "d'une série.")) +
       0.8;
  y += 4;

  // The trend: one point per reading on a real date axis.
  const ChartAxis axis = DateAxis(data_.from, data_.to);
  // Points only: a line would join readings of different periods.
  ChartSeries systolic{QStringLiteral("Systolique"), kRed, {}, false, false};
  ChartSeries diastolic{QStringLiteral("Diastolique"), kBlue, {}, false, false};
  systolic.points.reserve(data_.readings.size());
  diastolic.points.reserve(data_.readings.size());
  for (const SeriesReading &r : data_.readings) {
    const double x = double(data_.from.daysTo(r.date)) + r.minutes / 1440.0;
    systolic.points.push_back({x, double(r.systolic)});
    diastolic.points.push_back({x, double(r.diastolic)});
  }
  const double bottom = kHeightMm - kMarginMm - 12;
  DrawChart(
      s, QRectF(kMarginMm, y, kInnerWidthMm, std::max(40.0, bottom - y)), axis,
      {systolic, diastolic},
      QStringLiteral("Évolution des mesures (une par point ; lignes à 135/85 et 120/70 mmHg)"));
}

void DoctorReportDocument::drawReadings(QPainter &painter, int index) const {
  Sheet s(painter);
  const qint64 first = qint64(readingPageStarts_[size_t(index - 1)]);
  const qint64 last = size_t(index) < readingPageStarts_.size()
                          ? qint64(readingPageStarts_[size_t(index)])
                          : qint64(data_.readings.size());
  const std::vector<double> widths = {26, 16, 20, 22, 22, 16, 60};
  const QString heading = data_.unusable.empty()
                              ? QStringLiteral("%1 - mesures %2 à %3 sur %4, en ordre de date et "
                                               "d'heure")
                              : QStringLiteral("%1 - mesures %2 à %3 sur %4, en ordre de date et "
                                               "d'heure ; lignes non utilisées, à la fin : %5");
  QString subtitle = heading.arg(who_.name).arg(first + 1).arg(last).arg(data_.readings.size());
  if (!data_.unusable.empty()) {
    subtitle = subtitle.arg(data_.unusable.size());
  }
  Heading(s, QStringLiteral("Relevés de la période"), subtitle);
  double y = kMarginMm + 16 + 4;
  Row(s, y, 7, widths,
      {QStringLiteral("Date"), QStringLiteral("Heure"), QStringLiteral("Période"),
       QStringLiteral("Systolique"), QStringLiteral("Diastolique"), QStringLiteral("Pouls"),
       QStringLiteral("Zone ESC 2024")},
      kShadeDark, true);
  y += 7;
  for (qint64 i = first; i < last; ++i) {
    const SeriesReading &r = data_.readings[size_t(i)];
    Row(s, y, 5.2, widths,
        {r.date.toString(kDateMask), TimeText(r.minutes), PeriodInfo(r.period).name,
         QString::number(r.systolic), QString::number(r.diastolic), QString::number(r.pulse),
         HomeCategoryName(HomeCategoryOfReading(r.systolic, r.diastolic))},
        StripeFill(i - first));
    y += kReadingRowMm;
    if (const int lines = ContextLines(r); lines > 0) {
      // The flags and the note under the reading, in red when the heartbeat
      // was flagged irregular.
      s.setFont(7.5, QFont::Normal, true);
      s.text(QRectF(kMarginMm + 6, y, kInnerWidthMm - 8, lines * kContextLineMm),
             Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, ContextLine(*r.context),
             r.irregular() ? kRed : kInk);
      y += lines * kContextLineMm;
    }
  }
}

void DoctorReportDocument::drawUnusable(QPainter &painter, int index) const {
  Sheet s(painter);
  const qint64 first = qint64(index - 1) * kRowsPerPage;
  const qint64 last = std::min<qint64>(first + kRowsPerPage, qint64(data_.unusable.size()));
  Heading(s, QStringLiteral("Lignes non utilisées"),
          QStringLiteral("%1 - lignes %2 à %3 sur %4, laissées hors des statistiques")
              .arg(who_.name)
              .arg(first + 1)
              .arg(last)
              .arg(data_.unusable.size()));
  const std::vector<double> widths = {24, 14, 14, 18, 18, 14, 80};
  double y = kMarginMm + 16 + 4;
  Row(s, y, 7, widths,
      {QStringLiteral("Date"), QStringLiteral("Heure"), QStringLiteral("Liste"),
       QStringLiteral("Systolique"), QStringLiteral("Diastolique"), QStringLiteral("Pouls"),
       QStringLiteral("Raison")},
      kShadeDark, true);
  y += 7;
  for (qint64 i = first; i < last; ++i) {
    const ExcludedReading &e = data_.unusable[size_t(i)];
    // Cells as they stand, cut to their column.
    const QString context = e.context ? ContextSummary(*e.context) : QString();
    QStringList cells = {e.date,
                         e.time,
                         PeriodInfo(e.period).name,
                         e.systolic,
                         e.diastolic,
                         e.pulse,
                         context.isEmpty() ? e.reason : e.reason + QStringLiteral(" ; ") + context};
    s.setFont(8.5);
    const QFontMetricsF metrics(painter.font(), painter.device());
    for (int c = 0; c < cells.size(); ++c) {
      cells[c] = metrics.elidedText(cells[c], Qt::ElideRight, s.mm(widths[size_t(c)] - 3));
    }
    Row(s, y, 5.2, widths, cells, StripeFill(i - first));
    y += 5.2;
  }
}

} // namespace tl
