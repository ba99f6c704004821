#pragma once

// The exports of other programs and devices known by their header (and the
// metadata or title lines above it): their whole column mapping, before the
// guess from the header's words.

#include "exchange/csv_import.h"

#include <QList>
#include <QStringList>
#include <optional>

namespace tl {

// The mapping of a known export, recognised from the first records of its
// file: the roles of its columns, its name, the records before its header
// and its units; nothing for any other file.
std::optional<ColumnMapping> RecognisePreset(const QList<QStringList> &firstRecords);

// A known export's mapping, else the guess from the first record (a header
// found under title lines too), with the pressure columns a header names
// in kPa.
ColumnMapping GuessFileMapping(const QList<QStringList> &firstRecords);

} // namespace tl
