#pragma once

// The home series and the readings left out, as "releve" and "rapport"
// print them (text and JSON), the patient's series settings they read and
// the PDF documents they write.

#include "cli/command.h"
#include "series/series.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <optional>
#include <vector>

class QTextStream;

namespace tl {

class Logbook;
class PagedDocument;

// The means of the readings counted, in tenths: "130,0 / 80,0 mmHg, pouls
// 70,0", or "aucune mesure retenue"; in JSON null when there is none.
QString MeansText(const SeriesSums &sums);
QJsonValue MeansJson(const SeriesSums &sums);

// One line a reading left out: date, time, list, values and reason, then
// its context.
void PrintExcluded(const std::vector<ExcludedReading> &list, QTextStream &out);
// The readings left out, with the list that holds them, their cells as
// they stand and the reason.
QJsonArray ExcludedJson(const std::vector<ExcludedReading> &list);

// The series as text: its days, counts, means, verdict and what was left out.
void PrintSeriesText(const SeriesResult &series, const QString &patient, QTextStream &out);
QJsonObject SeriesJson(const SeriesResult &series);

// The patient's series settings as the window keeps them in the preferences
// file of the data folder, read and never written; the defaults without them.
SeriesSettings PatientSettings(const Logbook &book);

// The patient's last home series, with their protocol and sessions, when it
// is complete; none otherwise.
std::optional<SeriesResult> LastCompleteSeries(const Logbook &book);

// Writes a document as a PDF file, whole or not at all, never through a
// link nor over a file of the logbook in `dataFolder`.
std::optional<Refusal> WriteDocument(const PagedDocument &document, const QString &path,
                                     const QString &dataFolder);

} // namespace tl
