#include "common/wall_clock.h"
#include "exchange/apple_health_reader.h"
#include "exchange/fhir_import.h"
#include "exchange/import_sink.h"
#include "exchange/logbook_exchange.h"
#include "exchange/zip_entry_reader.h"
#include "logbook/logbook.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace tl {

namespace {

const QLatin1StringView kRecord("Record");
const QLatin1StringView kCorrelation("Correlation");
const QLatin1StringView kType("type");
const QLatin1StringView kValue("value");
const QLatin1StringView kUnit("unit");
const QLatin1StringView kStartDate("startDate");
const QLatin1StringView kPressureType("HKCorrelationTypeIdentifierBloodPressure");
const QLatin1StringView kSystolicType("HKQuantityTypeIdentifierBloodPressureSystolic");
const QLatin1StringView kDiastolicType("HKQuantityTypeIdentifierBloodPressureDiastolic");
const QLatin1StringView kHeartRateType("HKQuantityTypeIdentifierHeartRate");

// Why a correlation is no reading, by Pressure::fault.
enum Fault : quint8 {
  kNoFault,
  kNoSystolic,
  kNoDiastolic,
  kBadSystolic,
  kBadDiastolic,
  kBadUnit,
  kBadDate,
};
const char *const kFaultReasons[] = {
    "",
    "systolique absente",
    "diastolique absente",
    "systolique illisible",
    "diastolique illisible",
    "unité de tension inconnue",
    "date et heure illisibles",
};

constexpr int kPulseBlock = 1 << 16; // heart rates per block (512 KiB)
constexpr qint64 kTimeBias = qint64(1) << 39;
constexpr double kMmHgPerKPa = 7.50062;

// Days from 1 January 1970 of a Gregorian date.
qint64 DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return qint64(era) * 146097 + doe - 719468;
}

// A date and time of the file: the instant, in UTC seconds, and the offset
// it was written with (seconds east of UTC), or kNoOffset.
struct AppleTime {
  static constexpr qint32 kNoOffset = std::numeric_limits<qint32>::min();
  qint64 at = 0;
  qint32 offset = kNoOffset;
};

// Apple's "2026-12-08 08:05:00 +0100", read by hand (the heart rates come
// by the million); any other form as the CSV import reads dates and times
// (without an offset, in local time).
std::optional<AppleTime> ParseAppleTime(QStringView text) {
  const auto digits = [&](qsizetype at, qsizetype count) -> int {
    int v = 0;
    for (qsizetype i = at; i < at + count; ++i) {
      const char16_t c = text[i].unicode();
      if (c < u'0' || c > u'9') {
        return -1;
      }
      v = v * 10 + (c - u'0');
    }
    return v;
  };
  if (text.size() == 25 && text[4] == u'-' && text[7] == u'-' && text[10] == u' ' &&
      text[13] == u':' && text[16] == u':' && text[19] == u' ' &&
      (text[20] == u'+' || text[20] == u'-')) {
    const int y = digits(0, 4), mo = digits(5, 2), d = digits(8, 2), h = digits(11, 2),
              mi = digits(14, 2), s = digits(17, 2), oh = digits(21, 2), om = digits(23, 2);
    if (y >= 0 && mo >= 0 && d >= 0 && h >= 0 && h < 24 && mi >= 0 && mi < 60 && s >= 0 && s < 61 &&
        oh >= 0 && oh < 24 && om >= 0 && om < 60 && QDate::isValid(y, mo, d)) {
      const qint32 offset = (text[20] == u'-' ? -1 : 1) * (oh * 3600 + om * 60);
      return AppleTime{DaysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s - offset, offset};
    }
  }
  const std::optional<ImportWhen> when = ParseImportWhen(text);
  if (!when) {
    return std::nullopt;
  }
  switch (when->kind) {
  case ImportWhen::Kind::Offset:
    return AppleTime{(when->date.toJulianDay() - 2440588) * 86400 + when->minutes * 60 -
                         when->offsetSeconds,
                     when->offsetSeconds};
  case ImportWhen::Kind::Instant:
    return AppleTime{when->epochSeconds, 0};
  case ImportWhen::Kind::Local:
    break;
  }
  // A time without an offset is the computer's clock time.
  const QTime time(when->minutes / 60, when->minutes % 60);
  const qint64 wall = QDateTime(when->date, time, Qt::UTC).toSecsSinceEpoch();
  return AppleTime{wall - ComputerOffsetOfWallClock(when->date, time), AppleTime::kNoOffset};
}

// A number rounded half away from zero, kept within ±10^6 (anything that
// far is refused by the import's checks all the same).
std::optional<qint32> Rounded(QStringView text, bool kPa = false) {
  bool ok = false;
  double v = text.trimmed().toDouble(&ok);
  if (!ok || !std::isfinite(v)) {
    return std::nullopt;
  }
  if (kPa) {
    v *= kMmHgPerKPa;
  }
  return qint32(std::clamp(std::round(v), -1e6, 1e6));
}

QString XmlReason(const QXmlStreamReader &xml) {
  switch (xml.error()) {
  case QXmlStreamReader::PrematureEndOfDocumentError:
    return QStringLiteral("fichier incomplet");
  case QXmlStreamReader::UnexpectedElementError:
    return QStringLiteral("élément inattendu");
  case QXmlStreamReader::NotWellFormedError:
  default:
    return QStringLiteral("balisage incorrect");
  }
}

// An XML file of the archive's root or of the export folder
// ("apple_health_export/export.xml", "apple_health_export/exportar.xml"):
// the export's name depends on the phone's language. The files of the
// folders within (electrocardiograms, workout routes) and the Finder's
// copies (__MACOSX/, "._" files) are not.
// The order they are tried in: 0 for "export.xml", 1 for another name, 2
// for a name of the clinical document beside it ("export_cda.xml"), -1 for
// no candidate.
int ExportCandidateRank(QByteArrayView name) {
  const QByteArrayView base = name.sliced(name.lastIndexOf('/') + 1);
  const auto endsWith = [&](QByteArrayView end) {
    return base.size() >= end.size() &&
           base.sliced(base.size() - end.size()).compare(end, Qt::CaseInsensitive) == 0;
  };
  if (name.startsWith("__MACOSX/") || name.count('/') > 1 || base.startsWith("._") ||
      base.size() <= 4 || !endsWith(".xml")) {
    return -1;
  }
  return base == "export.xml" ? 0 : endsWith("_cda.xml") ? 2 : 1;
}

// The most of an entry read to find its root element: past the DOCTYPE of
// Apple's export, which declares every element and attribute.
constexpr qsizetype kMaxProlog = qsizetype(4) << 20;

// The name of the root element of the XML that starts with `head`; empty
// when it is not there yet (`more` true), or when the bytes are no XML.
QString RootElement(QByteArrayView head, bool *more) {
  QXmlStreamReader xml;
  xml.setNamespaceProcessing(false);
  xml.addData(head.toByteArray());
  while (!xml.atEnd()) {
    if (xml.readNext() == QXmlStreamReader::StartElement) {
      *more = false;
      return xml.name().toString();
    }
  }
  *more = xml.error() == QXmlStreamReader::PrematureEndOfDocumentError;
  return {};
}

} // namespace

AppleHealthReader::AppleHealthReader() {
  // The internal subset of export.xml's DOCTYPE declares elements and
  // attributes only: no entity of it is ever expanded past Qt's limit, and
  // nothing outside the file is fetched (QXmlStreamReader never does).
  xml_.setNamespaceProcessing(false);
}

void AppleHealthReader::fail(const QString &reason, qint64 line) {
  error_ = {QString(), QStringLiteral("XML illisible : ") + reason, line};
}

bool AppleHealthReader::feed(QByteArrayView bytes) {
  if (error_) {
    return false;
  }
  if (!scanMarkup(bytes)) {
    fail(QStringLiteral("un élément a plus de %1 attributs").arg(kMaxAttributes));
    return false;
  }
  xml_.addData(bytes.toByteArray());
  pending_ += bytes.size();
  return parse();
}

bool AppleHealthReader::finish() {
  if (error_) {
    return false;
  }
  if (xml_.hasError() || !parse()) {
    fail(XmlReason(xml_), xml_.lineNumber());
    return false;
  }
  return true;
}

namespace {

// Where scanMarkup is in the markup.
enum Scan : quint8 {
  kText,        // character data
  kOpen,        // just after "<"
  kBang,        // just after "<!"
  kCommentOpen, // just after "<!-"
  kComment,     // inside "<!-- ... -->"
  kSection,     // inside "<![CDATA[ ... ]]>"
  kDeclaration, // inside "<!DOCTYPE ...>" and its internal subset
  kInstruction, // inside "<? ... ?>"
  kEndTag,      // inside "</ ... >"
  kStartTag,    // inside "<name ... >"
};

} // namespace

bool AppleHealthReader::scanMarkup(QByteArrayView bytes) {
  for (const char c : bytes) {
    switch (scan_) {
    case kText:
      if (c == '<') {
        scan_ = kOpen;
      }
      break;
    case kOpen:
      if (c == '!') {
        scan_ = kBang;
      } else if (c == '?') {
        scan_ = kInstruction;
        scanRun_ = 0;
      } else if (c == '/') {
        scan_ = kEndTag;
      } else {
        scan_ = kStartTag;
        scanQuote_ = 0;
        scanAttributes_ = 0;
      }
      break;
    case kBang:
      scanRun_ = 0;
      scanQuote_ = 0;
      scan_ = c == '-' ? kCommentOpen : c == '[' ? kSection : kDeclaration;
      scanBack_ = kText;
      break;
    case kCommentOpen:
      scan_ = c == '-' ? kComment : scanBack_ == kDeclaration ? kDeclaration : kText;
      scanRun_ = 0;
      break;
    case kComment:
      if (c == '>' && scanRun_ >= 2) {
        scan_ = scanBack_;
      }
      scanRun_ = c == '-' ? scanRun_ + 1 : 0;
      break;
    case kSection:
      if (c == '>' && scanRun_ >= 2) {
        scan_ = kText;
      }
      scanRun_ = c == ']' ? scanRun_ + 1 : 0;
      break;
    case kDeclaration:
      // Quotes, the "<!" declarations of the internal subset and its
      // comments are nested in it; scanRun_ counts the open "<".
      if (scanQuote_ != 0) {
        scanQuote_ = c == scanQuote_ ? 0 : scanQuote_;
      } else if (c == '"' || c == '\'') {
        scanQuote_ = c;
      } else if (c == '<') {
        ++scanRun_;
      } else if (c == '-' && scanRun_ > 0 && scanPrevious_ == '!') {
        // "<!-" inside the subset: a comment, back here once closed.
        --scanRun_;
        scanBack_ = kDeclaration;
        scan_ = kCommentOpen;
      } else if (c == '>') {
        if (scanRun_ == 0) {
          scan_ = kText;
        } else {
          --scanRun_;
        }
      }
      scanPrevious_ = c; // to tell "<!-"
      break;
    case kInstruction:
      if (c == '>' && scanRun_ > 0) {
        scan_ = kText;
      }
      scanRun_ = c == '?' ? 1 : 0;
      break;
    case kEndTag:
      if (c == '>') {
        scan_ = kText;
      }
      break;
    case kStartTag:
      if (scanQuote_ != 0) {
        scanQuote_ = c == scanQuote_ ? 0 : scanQuote_;
      } else if (c == '"' || c == '\'') {
        scanQuote_ = c;
      } else if (c == '=') {
        if (++scanAttributes_ > kMaxAttributes) {
          return false;
        }
      } else if (c == '>') {
        scan_ = kText;
      }
      break;
    }
  }
  return true;
}

bool AppleHealthReader::parse() {
  while (!xml_.atEnd()) {
    const QXmlStreamReader::TokenType token = xml_.readNext();
    if (token != QXmlStreamReader::Invalid) {
      pending_ = 0;
    }
    switch (token) {
    case QXmlStreamReader::StartElement:
      startElement();
      break;
    case QXmlStreamReader::EndElement:
      if (inPressure_ && xml_.name() == kCorrelation) {
        endCorrelation();
      }
      break;
    default:
      break;
    }
  }
  if (xml_.error() == QXmlStreamReader::PrematureEndOfDocumentError) {
    if (pending_ > kMaxTokenBytes) {
      fail(QStringLiteral("élément démesuré"), xml_.lineNumber());
      return false;
    }
    return true; // waiting for the next bytes
  }
  if (xml_.hasError()) {
    fail(XmlReason(xml_), xml_.lineNumber());
    return false;
  }
  return true;
}

void AppleHealthReader::startElement() {
  const QStringView name = xml_.name();
  if (name == kRecord) {
    const QXmlStreamAttributes attributes = xml_.attributes();
    const QStringView type = attributes.value(kType);
    if (inPressure_) {
      const bool systolic = type == kSystolicType;
      if (!systolic && type != kDiastolicType) {
        return;
      }
      bool &has = systolic ? hasSystolic_ : hasDiastolic_;
      if (has) {
        return; // the first of each kind is the correlation's
      }
      has = true;
      const QStringView unit = attributes.value(kUnit);
      std::optional<qint32> value;
      if (unit == QLatin1StringView("mmHg") || unit == QLatin1StringView("kPa")) {
        value = Rounded(attributes.value(kValue), unit == QLatin1StringView("kPa"));
      } else if (current_.fault == kNoFault) {
        current_.fault = kBadUnit;
      }
      if (!value && current_.fault == kNoFault) {
        current_.fault = systolic ? kBadSystolic : kBadDiastolic;
      }
      (systolic ? current_.systolic : current_.diastolic) = value.value_or(0);
    } else if (type == kHeartRateType) {
      if (attributes.value(kUnit) != QLatin1StringView("count/min")) {
        return;
      }
      const std::optional<AppleTime> time = ParseAppleTime(attributes.value(kStartDate));
      const std::optional<qint32> value = Rounded(attributes.value(kValue));
      if (!time || !value || *value < 0 || time->at <= -kTimeBias / 2 ||
          time->at >= kTimeBias / 2) {
        return;
      }
      if (pulses_.empty() || pulses_.back().size() == size_t(kPulseBlock)) {
        pulses_.emplace_back().reserve(size_t(kPulseBlock));
      }
      pulses_.back().push_back(std::uint64_t(time->at + kTimeBias) << 16 |
                               std::uint64_t(std::min(*value, 0xFFFF)));
    }
    // A blood-pressure record outside a correlation is Apple's copy of one
    // inside it: the correlation alone is read.
  } else if (name == kCorrelation && !inPressure_) {
    const QXmlStreamAttributes attributes = xml_.attributes();
    if (attributes.value(kType) != kPressureType) {
      return;
    }
    inPressure_ = true;
    hasSystolic_ = hasDiastolic_ = false;
    current_ = Pressure{};
    current_.line = xml_.lineNumber();
    if (const std::optional<AppleTime> time = ParseAppleTime(attributes.value(kStartDate))) {
      current_.at = time->at;
      current_.offset = time->offset;
    } else {
      current_.fault = kBadDate;
    }
  }
}

void AppleHealthReader::endCorrelation() {
  inPressure_ = false;
  if (current_.fault == kNoFault && !hasSystolic_) {
    current_.fault = kNoSystolic;
  } else if (current_.fault == kNoFault && !hasDiastolic_) {
    current_.fault = kNoDiastolic;
  }
  readings_.push_back(current_);
}

void AppleHealthReader::deliver(ImportSink &import) {
  for (std::vector<std::uint64_t> &block : pulses_) {
    std::sort(block.begin(), block.end());
  }
  const auto timeOf = [](std::uint64_t key) { return qint64(key >> 16) - kTimeBias; };
  LocalTimeConverter clock;
  qint64 otherOffsets = 0;
  for (const Pressure &p : readings_) {
    const QString place = QStringLiteral("ligne %1").arg(p.line);
    if (p.fault != kNoFault) {
      import.reject(place, QString::fromUtf8(kFaultReasons[p.fault]));
      continue;
    }
    // The nearest heart rate of each block, before or after; the nearest
    // of all (the earlier, then the lower, at equal distances).
    std::optional<std::uint64_t> best;
    qint64 bestDistance = 0;
    const std::uint64_t key = std::uint64_t(p.at + kTimeBias) << 16;
    for (const std::vector<std::uint64_t> &block : pulses_) {
      const auto after = std::lower_bound(block.begin(), block.end(), key);
      for (auto it : {after, after == block.begin() ? block.end() : after - 1}) {
        if (it == block.end()) {
          continue;
        }
        const qint64 distance = std::abs(timeOf(*it) - p.at);
        if (!best || distance < bestDistance || (distance == bestDistance && *it < *best)) {
          best = *it;
          bestDistance = distance;
        }
      }
    }
    if (!best || bestDistance > kPulseWindowSeconds) {
      import.reject(place, QStringLiteral("pouls absent"));
      continue;
    }
    // At the phone's clock time when it was taken, whatever the computer's
    // zone (the offset is the phone's).
    const WallTime wall = WallTimeOf(p.at, p.offset == AppleTime::kNoOffset ? 0 : p.offset, clock);
    import.addReading(wall.date, wall.minutes, p.systolic, p.diastolic, qint64(*best & 0xFFFF),
                      place);
    otherOffsets += wall.otherOffset;
  }
  if (otherOffsets > 0) {
    import.addOtherOffsets(otherOffsets);
  }
}

ImportOutcome AppendAppleHealthFile(Logbook &book, const QString &path,
                                    const ImportProgress &progress, bool dryRun) {
  ImportOutcome outcome;
  QFile file;
  if ((outcome.error = OpenForReading(path, file))) {
    return outcome;
  }
  const qint64 total = file.size();
  const auto readError = [&] {
    outcome.error = {path, FrenchSystemReason(file.errorString())};
    return outcome;
  };
  char magic[4] = {};
  if (file.peek(magic, 4) < 0) {
    return readError();
  }
  AppleHealthReader reader;
  const auto refuse = [&](FileError error) {
    error.path = path;
    outcome.error = std::move(error);
    return outcome;
  };
  if (QByteArrayView(magic, 4) == "PK\x03\x04") {
    // The XML file whose root is HealthData, whatever its name; each other
    // one (export_cda.xml, its root ClinicalDocument) is passed over.
    QSet<QByteArray> passed;
    QByteArray name;
    std::unique_ptr<ZipEntryReader> found;
    for (int rank = 0; !found;) {
      auto zip = std::make_unique<ZipEntryReader>();
      if (!zip->open(file, total, [&](QByteArrayView entry) {
            if (ExportCandidateRank(entry) != rank || passed.contains(entry.toByteArray())) {
              return false;
            }
            name = entry.toByteArray();
            return true;
          })) {
        if (file.error() != QFileDevice::NoError) {
          return readError();
        }
        if (zip->missing() && rank < 2) {
          ++rank;
          continue;
        }
        return refuse(
            {path, zip->missing()
                       ? QStringLiteral("l'archive zip ne contient pas l'export d'Apple Santé : "
                                        "aucun fichier XML dont l'élément racine est HealthData "
                                        "(export.xml, ou son nom dans la langue du téléphone : "
                                        "exportar.xml, Export.xml…)")
                       : zip->error()});
      }
      QByteArray head;
      bool more = true;
      QString root;
      while (more && head.size() < kMaxProlog) {
        const QByteArrayView bytes = zip->read();
        if (!zip->error().isEmpty() && bytes.isEmpty()) {
          return file.error() != QFileDevice::NoError ? readError() : refuse({path, zip->error()});
        }
        if (bytes.isEmpty()) {
          break;
        }
        head.append(bytes);
        root = RootElement(head, &more);
      }
      if (root == QLatin1StringView("HealthData")) {
        if (!reader.feed(head)) {
          return refuse(reader.error());
        }
        found = std::move(zip);
      } else {
        passed.insert(name);
      }
    }
    ZipEntryReader &zip = *found;
    for (;;) {
      const QByteArrayView bytes = zip.read();
      if (!zip.error().isEmpty()) {
        return file.error() != QFileDevice::NoError ? readError() : refuse({path, zip.error()});
      }
      if (bytes.isEmpty()) { // the entry's end
        break;
      }
      if (!reader.feed(bytes)) {
        return refuse(reader.error());
      }
      if (progress && !progress(zip.consumed(), total)) {
        outcome.cancelled = true;
        return outcome;
      }
    }
  } else {
    QByteArray chunk(ZipEntryReader::kChunkBytes, Qt::Uninitialized);
    qint64 done = 0;
    for (;;) {
      const qint64 got = file.read(chunk.data(), chunk.size());
      if (got < 0) {
        return readError();
      }
      if (got == 0) {
        break;
      }
      if (!reader.feed(QByteArrayView(chunk.constData(), got))) {
        return refuse(reader.error());
      }
      done += got;
      if (progress && !progress(done, total)) {
        outcome.cancelled = true;
        return outcome;
      }
    }
  }
  if (!reader.finish()) {
    return refuse(reader.error());
  }
  if (reader.readings() == 0) {
    return refuse({path, QStringLiteral("aucune mesure de tension dans ce fichier Apple Santé")});
  }
  ImportSink import(book.lists());
  reader.deliver(import);
  FinishImport(book, import, dryRun, outcome);
  return outcome;
}

} // namespace tl
