#pragma once

// The home-measurement form, one A4 page: who, how to measure, the grid of
// the series' days with every counted reading in its cell, the means, the
// verdict and a chart of each day's morning and evening means. Without a
// series it is the blank form the patient fills in by hand.

#include "reports/document.h"
#include "series/series.h"

#include <optional>

namespace tl {

class SeriesFormDocument : public PagedDocument {
public:
  // The blank form of `protocol`.
  explicit SeriesFormDocument(Protocol protocol) : protocol_(protocol) {}
  SeriesFormDocument(ReportIdentity who, SeriesResult series)
      : protocol_(series.protocol), who_(std::move(who)), series_(std::move(series)) {}

  QString title() const override;
  int pageCount() const override { return 1; }
  void drawPage(QPainter &painter, int index) const override;

private:
  Protocol protocol_;
  ReportIdentity who_;
  std::optional<SeriesResult> series_;
};

} // namespace tl
