#pragma once

// The formats an import reads, each one unit: its name, its file patterns,
// a score of how well a file's first bytes match it, and the reading that
// hands the file's readings to the filing (ImportSink through the Append
// functions). The window and the command line both go through ImportFile.
// Adding a format is one unit and one line of the registry (import_format.cpp).

#include "exchange/logbook_exchange.h"

#include <QByteArrayView>
#include <QString>
#include <span>

namespace tl {

class Logbook;

// What PlanImport found of a file before it is read.
struct ImportPlan;

struct ImportFormatUnit {
  ImportFormat id;
  QString name;     // as the messages name it: "CSV", "FHIR R4 (JSON)", "Apple Santé"
  QString patterns; // the chooser's: "*.csv *.txt"
  // Whether the person chooses the columns before the import (a preview of
  // the first records, --colonnes): the plan then holds those records.
  bool columns = false;
  // 0 when the first bytes of a file cannot be this format, up to 100 when
  // they surely are.
  int (*sniff)(QByteArrayView firstBytes) = nullptr;
  // Reads the file into the lists of `book` (see ImportFile); `mapping`
  // only for a format with columns.
  ImportOutcome (*append)(Logbook &book, const QString &path, const ImportPlan &plan,
                          const ColumnMapping &mapping, const ImportProgress &progress,
                          bool dryRun) = nullptr;
};

// Every format, in the order a tie of scores is decided.
std::span<const ImportFormatUnit> ImportFormats();

// The bytes the sniff looks at.
inline constexpr qsizetype kSniffBytes = 4096;

// The format that scores highest on `firstBytes`, or null when none may be it.
const ImportFormatUnit *ImportFormatOf(QByteArrayView firstBytes);

// "Fichiers de relevés (*.csv *.txt ...);;Tous les fichiers (*)".
QString ImportFileFilter();

struct ImportPlan {
  FileError error; // the file could not be read, or is of no format read here
  const ImportFormatUnit *format = nullptr;
  // A format with columns: the file's first records and the columns they
  // suggest, for the preview or the options to choose from.
  CsvFileStart start;
};

// The format of the file at `path` and, for a format with columns, its
// first records.
ImportPlan PlanImport(const QString &path);

// Reads the file of `plan` into the lists of `book` without saving them, as
// the Append functions do (SaveImport saves); `mapping`: the columns chosen
// for a format with columns (the plan's guess when null).
ImportOutcome ImportFile(Logbook &book, const QString &path, const ImportPlan &plan,
                         const ColumnMapping *mapping = nullptr,
                         const ImportProgress &progress = {}, bool dryRun = false);

} // namespace tl
