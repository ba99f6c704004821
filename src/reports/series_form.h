#pragma once

// The home-measurement form: who and with which meter, how to measure, the
// grid of the series' days with every counted reading in its cell, what is
// missing and the session windows, the readings not counted and why, the
// means, the verdict lines and a chart of each day's morning and evening
// means; the readings not counted that do not fit, and the chart when the
// grid leaves it too little room, go on to the next pages. Without a series
// it is the blank form the patient fills in by hand.

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
  // One page, and more when the readings not counted do not fit under the grid.
  int pageCount() const override;
  void drawPage(QPainter &painter, int index) const override;

private:
  Protocol protocol_;
  ReportIdentity who_;
  std::optional<SeriesResult> series_;
};

} // namespace tl
