#pragma once

// The report for the doctor: a first page for the general practitioner (who,
// the range, the last complete home series with its verdict and ESC 2024
// category, the morning and evening means and their difference, the readings
// flagged "pouls irrégulier", a chart of each day's mean), a summary page
// (how many rows could not be used, the statistics of each period, the
// logbook's classes, a chart of every reading), then every reading of the
// range in date and time order, then the rows not used with their reasons,
// numbered "page 2 / 5".

#include "measurements/classification.h"
#include "reports/document.h"
#include "series/report_data.h"
#include "series/series.h"

#include <QList>
#include <QStringList>

namespace tl {

namespace page {
class Sheet;
}

class DoctorReportDocument : public PagedDocument {
public:
  // `series`: the patient's last home series, computed by the caller; the
  // first page gives its verdict when it is complete, and says there is no
  // complete series otherwise.
  DoctorReportDocument(ReportIdentity who, DoctorReportData data, QDate madeOn,
                       std::optional<SeriesResult> series = std::nullopt);

  QString title() const override;
  int pageCount() const override;
  void drawPage(QPainter &painter, int index) const override;

  // Readings listed on each page after the summary, when none has a note
  // or flags (a reading with them takes a line more, two for a long note).
  static constexpr int kRowsPerPage = 44;

private:
  // The heading and the patient's fields of the first pages; returns the
  // top of the last line of fields.
  double drawHeader(page::Sheet &sheet, const QString &title) const;
  void drawPractitioner(QPainter &painter) const;
  void drawSummary(QPainter &painter) const;
  void drawReadings(QPainter &painter, int index) const;
  void drawUnusable(QPainter &painter, int index) const;
  int readingPages() const;
  // The index in the readings of the first one of each page of readings.
  std::vector<size_t> readingPageStarts_;

  ReportIdentity who_;
  DoctorReportData data_;
  QDate madeOn_;
  std::optional<SeriesResult> series_;
};

// A number with one decimal and a decimal comma, half away from zero.
QString FrenchOneDecimal(double value);

// The statistics table, as the report and the window show it: the column
// titles (two lines each), the row names, and one row's cells.
QStringList StatisticsHeaders();
QString PeriodRowName(DayPeriod period);
QString AllPeriodsRowName();
QStringList StatisticsCells(const QString &rowName, const ReadingStatistics &statistics);
// The classes a report lists, in rising order of severity.
QList<BpClass> ReportedClasses(const ReadingStatistics &statistics);
// The summary's line on the readings flagged "pouls irrégulier"; "" for none.
QString IrregularSummary(qint64 irregular, qint64 readings);
// "21,8 %", "-" without readings.
QString SharePercent(qint64 count, qint64 total);

} // namespace tl
