#pragma once

#include "common/day_period.h"
#include "measurements/reading.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <array>
#include <vector>

namespace tl {

class PeriodLists;

// The stamp at the end of a report file name: "ddmmyyyy_hhiiss" (24-hour clock).
QString ReportStamp(const QDateTime &at);

// "Imp_ARTL_" + period + "_" + patient + "_" + stamp + ".txt".
QString ReportFileName(DayPeriod period, const QString &patient, const QDateTime &at);

// The heading that introduces a period's readings, to be followed by their count.
QString ReportHeading(DayPeriod period);

// The four lines (UTF-8, CR LF) that present one reading in every printable file.
void AppendReadingBlock(QByteArray &out, const Reading &reading);

// A period report: the heading block, then one reading block per row.
QByteArray PeriodReport(DayPeriod period, const QString &patient,
                        const std::vector<Reading> &readings);

// The printable form of an archive file named `fileName`.
QByteArray PrintableArchive(const QString &fileName, const std::vector<Reading> &readings);

// Writes one report per non-empty period into `printFolder` (empty: the
// current directory); the window opens them and says where they went.
// The names are stamped in the order Matin, Jour, Soir, Nuit; the files are
// written in the order Nuit, Matin, Jour, Soir. A file that cannot be written
// is skipped silently. Returns the paths written, in writing order.
QStringList PrintPeriodReports(const std::array<const std::vector<Reading> *, 4> &periods,
                               const QString &printFolder, const QString &patient);
QStringList PrintPeriodLists(const PeriodLists &lists, const QString &printFolder,
                             const QString &patient);

// Writes the printable form of an opened archive into `printFolder` under the
// archive's own name. Nothing happens for an empty
// list or a file that cannot be written. Returns the path written, or "".
QString PrintArchive(const QString &printFolder, const QString &fileName,
                     const std::vector<Reading> &readings);

} // namespace tl
