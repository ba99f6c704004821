#include "exchange/import_presets.h"

#include <initializer_list>

namespace tl {

namespace {

// A column of an export: the names it goes by (folded), its role, and
// whether the header must have it.
struct PresetColumn {
  std::initializer_list<const char *> names;
  ColumnRole role;
  bool required = true;
};

struct Preset {
  const char *format;
  // The folded start of the metadata line above the header, or null when
  // the header comes first.
  const char *metadata;
  std::initializer_list<PresetColumn> columns;
  // The header has these columns and no other (the optional ones may lack).
  bool exact = false;
  // Its dates and times are UTC without saying so.
  bool utcTimes = false;
  // Names the header must not have (folded): a layout like another's.
  std::initializer_list<const char *> absent = {};
};

// Each layout with where it was taken from.
const Preset kPresets[] = {
    // Tensiolog's own export (src/exchange/csv_export.cpp, kCsvHeader).
    {"Tensiolog",
     nullptr,
     {{{"date"}, ColumnRole::Date},
      {{"heure"}, ColumnRole::Time},
      {{"periode"}, ColumnRole::Period},
      {{"systolique"}, ColumnRole::Systolic},
      {{"diastolique"}, ColumnRole::Diastolic},
      {{"pouls"}, ColumnRole::Pulse},
      {{"diagnostic"}, ColumnRole::Ignore},
      // The context of each reading, absent from the exports of before.
      {{"remarque"}, ColumnRole::Note, false},
      {{"pouls irregulier"}, ColumnRole::Irregular, false},
      {{"traitement pris"}, ColumnRole::Medication, false},
      {{"mouvement"}, ColumnRole::Movement, false},
      {{"brassard mal place"}, ColumnRole::CuffMisplaced, false},
      {{"autres indications"}, ColumnRole::OtherFlags, false}},
     true},
    // The default export of derdilla's "Blood pressure monitor" for Android:
    // timestampUnixMs,systolic,diastolic,pulse then notes, color, needlePin
    // in some versions; "null" for a value not entered. Layout from
    // derdilla/blood-pressure-monitor-fl, app/lib/model/export_import/
    // column.dart (NativeColumn) and export_configuration.dart
    // (ExportImportPreset.bloodPressureApp). The short names sys, dia, pul
    // of older versions are taken too (not confirmed there).
    {"Blood pressure monitor (derdilla)",
     nullptr,
     {{{"timestampunixms"}, ColumnRole::DateTime},
      {{"systolic", "sys"}, ColumnRole::Systolic},
      {{"diastolic", "dia"}, ColumnRole::Diastolic},
      {{"pulse", "pul"}, ColumnRole::Pulse},
      {{"notes"}, ColumnRole::Note, false}}},
    // OMRON connect's report ("Your Requested OMRON Report from ... .csv"):
    // Date,Time,Systolic (mmHg),Diastolic (mmHg),Pulse (bpm),Symptoms,
    // Consumed,TruRead,Notes with dates as "Jan 12 2025" and "-" for
    // nothing. Layout from the README of the OmronBP2GarminBP / bpo2g tools
    // (public GitHub); the app's other languages are not confirmed.
    {"OMRON connect",
     nullptr,
     {{{"date"}, ColumnRole::Date},
      {{"time"}, ColumnRole::Time},
      {{"systolic (mmhg)"}, ColumnRole::Systolic},
      {{"diastolic (mmhg)"}, ColumnRole::Diastolic},
      {{"pulse (bpm)"}, ColumnRole::Pulse},
      {{"symptoms"}, ColumnRole::Ignore},
      {{"notes"}, ColumnRole::Note, false}}},
    // Withings' data download, bp.csv: Date (date and time), Heart rate,
    // Systolic, Diastolic (then Comments). Column names from the README.txt
    // Withings puts in the download (as kept in leoluk/oura-analyzer) and
    // qcri/tasrif's WithingsDataset example; the order and the Comments
    // column are not confirmed.
    {"Withings",
     nullptr,
     {{{"date"}, ColumnRole::DateTime},
      {{"heart rate"}, ColumnRole::Pulse},
      {{"systolic"}, ColumnRole::Systolic},
      {{"diastolic"}, ColumnRole::Diastolic},
      {{"comments"}, ColumnRole::Note, false}},
     false,
     false,
     // A separate time column: another export, whose Date holds no time.
     {"time", "heure"}},
    // Samsung Health's com.samsung.shealth.blood_pressure.<date>.csv: a
    // first line "com.samsung.shealth.blood_pressure,<n>,<n>", then the
    // header of prefixed names (a trailing comma), start_time in UTC
    // ("2024-06-01 08:00:00.000") with time_offset ("UTC+0200"), values
    // with decimals ("132.0"), pulse often empty. Layout from the fixtures
    // of public Samsung Health readers found by their column names (the
    // files name no repository); whether start_time is UTC is not
    // confirmed by Samsung's own documentation.
    {"Samsung Health",
     "com.samsung.shealth.blood_pressure",
     {{{"com.samsung.health.blood_pressure.start_time"}, ColumnRole::DateTime},
      // The device's offset then: the reading is filed at that clock time.
      {{"com.samsung.health.blood_pressure.time_offset"}, ColumnRole::TimeZone, false},
      {{"com.samsung.health.blood_pressure.systolic"}, ColumnRole::Systolic},
      {{"com.samsung.health.blood_pressure.diastolic"}, ColumnRole::Diastolic},
      {{"com.samsung.health.blood_pressure.pulse"}, ColumnRole::Pulse, false}},
     false,
     true},
    // Garmin's blood-pressure summary export: MeasurementTimeInSeconds
    // (Unix seconds, UTC), MeasurementTimeOffsetInSeconds (added for the
    // device's local time), Systolic, Diastolic, Pulse, SourceType,
    // InsertedDate. Layout from support.mydatahelps.org/garmin-blood-
    // pressure-summary-export-format (the Garmin Health API's fields); the
    // layout of Garmin Connect's own web export is not confirmed.
    {"Garmin",
     nullptr,
     {{{"measurementtimeinseconds"}, ColumnRole::DateTime},
      // The device's offset then, in seconds: the reading is filed at that
      // clock time.
      {{"measurementtimeoffsetinseconds"}, ColumnRole::TimeZone, false},
      {{"systolic"}, ColumnRole::Systolic},
      {{"diastolic"}, ColumnRole::Diastolic},
      {{"pulse"}, ColumnRole::Pulse}}},
    // Health Connect's BloodPressureRecord as a CSV export tool writes it:
    // its fields time, zoneOffset, systolic, diastolic (mmHg), bodyPosition,
    // measurementLocation, and no pulse (Health Connect keeps it in
    // HeartRateRecord). Field names from androidx.health.connect.client.
    // records.BloodPressureRecord; no export tool's CSV layout could be
    // confirmed.
    {"Health Connect",
     nullptr,
     {{{"time"}, ColumnRole::DateTime},
      {{"zoneoffset"}, ColumnRole::TimeZone},
      {{"systolic"}, ColumnRole::Systolic},
      {{"diastolic"}, ColumnRole::Diastolic},
      {{"bodyposition", "measurementlocation"}, ColumnRole::Ignore}}},
};

// The preset's mapping of `header`, when it is that preset's header.
std::optional<ColumnMapping> Match(const Preset &preset, const QStringList &header) {
  QStringList names;
  for (const QString &name : header) {
    names << Folded(name);
  }
  while (!names.isEmpty() && names.last().isEmpty()) {
    names.removeLast(); // a trailing separator
  }
  ColumnMapping mapping;
  mapping.roles = QList<ColumnRole>(header.size(), ColumnRole::Ignore);
  qsizetype matched = 0;
  for (const PresetColumn &column : preset.columns) {
    qsizetype at = -1;
    for (const char *name : column.names) {
      if ((at = names.indexOf(QLatin1StringView(name))) >= 0) {
        break;
      }
    }
    if (at < 0) {
      if (column.required) {
        return std::nullopt;
      }
      continue;
    }
    mapping.roles[at] = column.role;
    ++matched;
  }
  if (preset.exact && names.size() != matched) {
    return std::nullopt;
  }
  for (const char *name : preset.absent) {
    if (names.contains(QLatin1StringView(name))) {
      return std::nullopt;
    }
  }
  mapping.header = true;
  mapping.utcTimes = preset.utcTimes;
  mapping.format = QString::fromUtf8(preset.format);
  return mapping;
}

// The pressure columns whose name says kPa ("Systolic (kPa)").
QList<qsizetype> KPaColumns(const QStringList &header, const QList<ColumnRole> &roles) {
  QList<qsizetype> columns;
  for (qsizetype i = 0; i < header.size() && i < roles.size(); ++i) {
    if ((roles[i] == ColumnRole::Systolic || roles[i] == ColumnRole::Diastolic) &&
        Folded(header[i]).contains(QStringLiteral("kpa"))) {
      columns << i;
    }
  }
  return columns;
}

// How far below the first record a spreadsheet's header is looked for
// (under its title and blank rows).
constexpr int kTitleLinesLooked = 10;

} // namespace

std::optional<ColumnMapping> RecognisePreset(const QList<QStringList> &first) {
  for (const Preset &preset : kPresets) {
    const int at = preset.metadata ? 1 : 0;
    if (first.size() <= at ||
        (preset.metadata &&
         !Folded(first[0].value(0)).startsWith(QLatin1StringView(preset.metadata)))) {
      continue;
    }
    if (std::optional<ColumnMapping> mapping = Match(preset, first[at])) {
      mapping->skipRecords = at;
      return mapping;
    }
  }
  return std::nullopt;
}

ColumnMapping GuessFileMapping(const QList<QStringList> &first) {
  if (first.isEmpty()) {
    return {};
  }
  if (std::optional<ColumnMapping> preset = RecognisePreset(first)) {
    return *preset;
  }
  ColumnMapping mapping = GuessMapping(first.first(), first.value(1));
  if (!mapping.complete()) {
    // A title, blank rows, a note above the names of the columns.
    for (int at = 1; at < first.size() && at <= kTitleLinesLooked; ++at) {
      ColumnMapping below = GuessMapping(first[at], first.value(at + 1));
      if (below.header && below.complete()) {
        below.skipRecords = at;
        below.format = QStringLiteral("Tableur avec titre");
        below.kPaColumns = KPaColumns(first[at], below.roles);
        return below;
      }
    }
  }
  if (mapping.header) {
    mapping.kPaColumns = KPaColumns(first.first(), mapping.roles);
  }
  return mapping;
}

} // namespace tl
