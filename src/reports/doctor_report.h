#pragma once

// The report for the doctor: a summary page (who, the range, the statistics
// of each period, the classes, a trend chart on a date axis), then every
// reading of the range in date and time order, numbered "page 2 / 5".

#include "reports/document.h"
#include "series/report_data.h"

namespace tl {

class DoctorReportDocument : public PagedDocument {
public:
  DoctorReportDocument(ReportIdentity who, DoctorReportData data, QDate madeOn);

  QString title() const override;
  int pageCount() const override;
  void drawPage(QPainter &painter, int index) const override;

  // Readings listed on each page after the summary.
  static constexpr int kRowsPerPage = 44;

private:
  void drawSummary(QPainter &painter) const;
  void drawReadings(QPainter &painter, int index) const;

  ReportIdentity who_;
  DoctorReportData data_;
  QDate madeOn_;
};

// A number with one decimal and a decimal comma, half away from zero.
QString FrenchOneDecimal(double value);

} // namespace tl
