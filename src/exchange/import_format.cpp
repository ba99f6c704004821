#include "exchange/import_format.h"

#include <QFile>
#include <array>

namespace tl {

namespace {

// The first byte that is not a byte-order mark or a blank, or 0.
char FirstMark(QByteArrayView bytes) {
  if (bytes.startsWith("\xEF\xBB\xBF")) {
    bytes = bytes.sliced(3);
  }
  for (const char c : bytes) {
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') {
      return c;
    }
  }
  return 0;
}

bool IsUtf16(QByteArrayView bytes) {
  return bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
}

int SniffCsv(QByteArrayView bytes) {
  if (IsUtf16(bytes)) {
    return 40; // Excel's "Texte Unicode": a table, tab-separated
  }
  const char first = FirstMark(bytes);
  // JSON, XML and binary files are never tables of readings.
  if (first == '{' || first == '[' || first == '<' || bytes.contains('\0')) {
    return 0;
  }
  // Text with a line end or a separator looks like a table; anything else
  // (a single word) is still read, and the reading tells what it lacks.
  return bytes.contains('\n') || bytes.contains(';') || bytes.contains(',') ? 30 : 10;
}

int SniffFhir(QByteArrayView bytes) {
  if (FirstMark(bytes) != '{') {
    return 0;
  }
  return bytes.contains("\"resourceType\"") ? 100 : 60;
}

int SniffAppleHealth(QByteArrayView bytes) {
  if (bytes.startsWith("PK\x03\x04")) {
    return 70; // a zip: Apple's archive is the only one read here
  }
  if (FirstMark(bytes) != '<') {
    return 0;
  }
  return bytes.contains("HealthData") ? 100 : 40;
}

ImportOutcome AppendCsv(Logbook &book, const QString &path, const ImportPlan &plan,
                        const ColumnMapping &mapping, const ImportProgress &progress, bool dryRun) {
  return AppendCsvFile(book, path, mapping, plan.start.separator, progress, dryRun);
}

ImportOutcome AppendFhir(Logbook &book, const QString &path, const ImportPlan &,
                         const ColumnMapping &, const ImportProgress &progress, bool dryRun) {
  return AppendFhirFile(book, path, progress, dryRun);
}

ImportOutcome AppendApple(Logbook &book, const QString &path, const ImportPlan &,
                          const ColumnMapping &, const ImportProgress &progress, bool dryRun) {
  return AppendAppleHealthFile(book, path, progress, dryRun);
}

const std::array<ImportFormatUnit, 3> &Registry() {
  static const std::array<ImportFormatUnit, 3> formats = {{
      {ImportFormat::Csv, QStringLiteral("CSV"), QStringLiteral("*.csv *.txt"), true, SniffCsv,
       AppendCsv},
      {ImportFormat::Fhir, QStringLiteral("FHIR R4 (JSON)"), QStringLiteral("*.json"), false,
       SniffFhir, AppendFhir},
      {ImportFormat::AppleHealth, QStringLiteral("Apple Santé"), QStringLiteral("*.xml *.zip"),
       false, SniffAppleHealth, AppendApple},
  }};
  return formats;
}

} // namespace

std::span<const ImportFormatUnit> ImportFormats() { return Registry(); }

const ImportFormatUnit *ImportFormatOf(QByteArrayView firstBytes) {
  const ImportFormatUnit *best = nullptr;
  int bestScore = 0;
  for (const ImportFormatUnit &format : ImportFormats()) {
    if (const int score = format.sniff(firstBytes); score > bestScore) {
      best = &format;
      bestScore = score;
    }
  }
  return best;
}

QString ImportFileFilter() {
  QStringList patterns;
  for (const ImportFormatUnit &format : ImportFormats()) {
    patterns << format.patterns;
  }
  return QStringLiteral("Fichiers de relevés (%1);;Tous les fichiers (*)").arg(patterns.join(u' '));
}

ImportPlan PlanImport(const QString &path) {
  ImportPlan plan;
  QFile file;
  if ((plan.error = OpenForReading(path, file))) {
    return plan;
  }
  const QByteArray first = file.read(kSniffBytes);
  if (first.isEmpty() && file.error() != QFileDevice::NoError) {
    plan.error = {path, FrenchSystemReason(file.errorString())};
    return plan;
  }
  file.close();
  plan.format = ImportFormatOf(first);
  if (!plan.format) {
    QStringList names;
    for (const ImportFormatUnit &format : ImportFormats()) {
      names << format.name;
    }
    plan.error = {path, QStringLiteral("format non reconnu (formats lus : %1)")
                            .arg(names.join(QStringLiteral(", ")))};
    return plan;
  }
  if (plan.format->columns) {
    plan.start = ReadCsvStart(path);
    plan.error = plan.start.error;
  }
  return plan;
}

ImportOutcome ImportFile(Logbook &book, const QString &path, const ImportPlan &plan,
                         const ColumnMapping *mapping, const ImportProgress &progress,
                         bool dryRun) {
  return plan.format->append(book, path, plan, mapping ? *mapping : plan.start.guess, progress,
                             dryRun);
}

} // namespace tl
