#include "reports/doctor_report.h"

#include "measurements/classification.h"
#include "measurements/context_texts.h"
#include "reports/page_kit.h"

#include <QFontMetricsF>
#include <cmath>

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

DoctorReportDocument::DoctorReportDocument(ReportIdentity who, DoctorReportData data, QDate madeOn)
    : who_(std::move(who)), data_(std::move(data)), madeOn_(madeOn) {
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
  return 1 + readingPages() + int((unusable + kRowsPerPage - 1) / kRowsPerPage);
}

void DoctorReportDocument::drawPage(QPainter &painter, int index) const {
  Sheet sheet(painter);
  if (index == 0) {
    drawSummary(painter);
  } else if (index <= readingPages()) {
    drawReadings(painter, index);
  } else {
    drawUnusable(painter, index - readingPages());
  }
  sheet.footer({kDisclaimer,
                QStringLiteral("%1 - du %2 au %3")
                    .arg(who_.name, data_.from.toString(kDateMask), data_.to.toString(kDateMask))},
               index + 1, pageCount());
}

void DoctorReportDocument::drawSummary(QPainter &painter) const {
  Sheet s(painter);
  Heading(s, QStringLiteral("Automesure tensionnelle : rapport pour le médecin"),
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
  y += 7;
  // What the statistics leave out or move, said before them.
  QStringList notes;
  notes << (data_.unusable.empty()
                ? QStringLiteral("Lignes non utilisées : aucune.")
                : QStringLiteral("Lignes non utilisées : %1 (date, heure ou valeurs illisibles ou "
                                 "invraisemblables), listées avec leur raison page %2.")
                      .arg(data_.unusable.size())
                      .arg(readingPages() + 2));
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

  // The classes, as the logbook gives them reading by reading.
  s.setFont(9.5, QFont::Bold);
  s.textAt(kMarginMm, y + 2, QStringLiteral("Classement des mesures (tel que le carnet le donne)"));
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
  y += 5;

  // The trend: one point per reading on a real date axis.
  ChartAxis axis;
  axis.from = 0;
  axis.to = std::max<double>(data_.from.daysTo(data_.to) + 1, 1);
  const qint64 days = qint64(axis.to);
  const qint64 step = std::max<qint64>(1, (days + 7) / 8);
  // The year when the range crosses a year end.
  const bool yearShown = data_.from.year() != data_.to.year();
  for (qint64 d = 0; d < days; d += step) {
    axis.ticks.push_back(
        {double(d) + 0.5, data_.from.addDays(d).toString(yearShown ? QStringLiteral("dd/MM/yy")
                                                                   : QStringLiteral("dd/MM"))});
  }
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
  DrawChart(s, QRectF(kMarginMm, y, kInnerWidthMm, std::max(40.0, bottom - y)), axis,
            {systolic, diastolic},
            QStringLiteral("Évolution des mesures (une par point ; lignes à 135 et 85 mmHg)"));
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
       QStringLiteral("Classe")},
      kShadeDark, true);
  y += 7;
  for (qint64 i = first; i < last; ++i) {
    const SeriesReading &r = data_.readings[size_t(i)];
    Row(s, y, 5.2, widths,
        {r.date.toString(kDateMask), TimeText(r.minutes), PeriodInfo(r.period).name,
         QString::number(r.systolic), QString::number(r.diastolic), QString::number(r.pulse),
         ClassifyReading(r.systolic, r.diastolic)},
        (i - first) % 2 ? QColor(246, 248, 251) : QColor(Qt::white));
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
    Row(s, y, 5.2, widths, cells, (i - first) % 2 ? QColor(246, 248, 251) : QColor(Qt::white));
    y += 5.2;
  }
}

} // namespace tl
