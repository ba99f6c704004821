#pragma once

// Readings out as CSV for a French spreadsheet: UTF-8 with a byte-order
// mark, ";" between fields, CR LF, fields quoted as RFC 4180 asks. After
// the reading's six cells and its list come its context: the note, "oui"
// or nothing for each flag, and the flags of a later version as written.

#include "common/day_period.h"
#include "measurements/reading.h"

#include <QByteArray>
#include <QDate>
#include <QStringView>
#include <optional>

namespace tl {

class PeriodLists;
class ReadingContexts;

// The header line's fields.
inline constexpr char kCsvHeader[] =
    "Date;Heure;Période;Systolique;Diastolique;Pouls;Diagnostic;Remarque;Pouls irrégulier;"
    "Traitement pris;Mouvement;Brassard mal placé;Autres indications";

// A field as written: quoted, its quotes doubled, when it holds ";", a
// quote, CR or LF; as it stands otherwise.
QByteArray CsvField(QStringView text);

// The readings of the four lists, sorted by date and time (a date cell that
// is no date comes last, in list order), dated `from` to `to` when given (a
// range leaves out the readings without a date). `count` gets the rows
// written; `contexts`, when given, are the contexts of the readings of
// `lists` (without, the context's fields are empty).
QByteArray ExportCsv(const PeriodLists &lists, std::optional<QDate> from, std::optional<QDate> to,
                     qsizetype *count = nullptr, const ReadingContexts *contexts = nullptr);

} // namespace tl
