#include "exchange/fhir_import.h"

#include "exchange/csv_import.h"
#include "exchange/logbook_exchange.h"
#include "logbook/logbook.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

namespace tl {

namespace {

using namespace Qt::StringLiterals;

// Heart rates further than this from a panel are not its pulse.
constexpr qint64 kPulseWindowMs = qint64(5) * 60 * 1000;
// mm[Hg] in one kPa.
constexpr double kMmHgPerKPa = 7.50062;

// Whether a CodeableConcept has the LOINC code (a coding without a system
// is taken as LOINC too).
bool HasLoinc(const QJsonValue &codeable, QLatin1StringView code) {
  const QJsonArray codings = codeable.toObject().value("coding"_L1).toArray();
  for (const QJsonValue &coding : codings) {
    const QJsonObject c = coding.toObject();
    if (c.value("code"_L1).toString() == code) {
      const QJsonValue system = c.value("system"_L1);
      if (system.isUndefined() || system.toString() == "http://loinc.org"_L1) {
        return true;
      }
    }
  }
  return false;
}

// A measured value, or why it cannot be one.
struct Value {
  std::optional<qint64> number;
  QString reason;
};

// A Quantity in mm[Hg] (`pressure`) or per minute, rounded half away from
// zero; `name` names it in the reasons ("systolique").
Value Measure(const QJsonValue &quantity, bool pressure, const QString &name) {
  if (quantity.isUndefined()) {
    return {std::nullopt, name + (pressure ? u" absente"_s : u" absent"_s)};
  }
  const QJsonObject q = quantity.toObject();
  const QJsonValue value = q.value("value"_L1);
  if (!value.isDouble()) {
    return {std::nullopt, name + u" illisible"_s};
  }
  // The UCUM code, or the unit as displayed when there is none.
  QString unit = q.value("code"_L1).toString();
  if (unit.isEmpty()) {
    unit = q.value("unit"_L1).toString();
  }
  double factor = 0;
  if (pressure) {
    factor = unit == "mm[Hg]"_L1 || unit == "mmHg"_L1 ? 1 : unit == "kPa"_L1 ? kMmHgPerKPa : 0;
  } else if (unit == "/min"_L1 || unit == "{beats}/min"_L1 || unit == "{beat}/min"_L1) {
    factor = 1;
  }
  if (factor == 0) {
    return {std::nullopt,
            unit.isEmpty() ? name + u" sans unité"_s : u"unité inconnue : "_s + unit.left(20)};
  }
  double x = value.toDouble() * factor;
  // Out of every range the checks allow, whatever its size.
  if (!std::isfinite(x) || std::fabs(x) > 1e6) {
    x = 1e6;
  }
  return {qint64(std::round(x)), {}};
}

// The component of a panel with the LOINC code, or an undefined value.
QJsonValue Component(const QJsonObject &panel, QLatin1StringView code) {
  const QJsonArray components = panel.value("component"_L1).toArray();
  for (const QJsonValue &c : components) {
    if (HasLoinc(c.toObject().value("code"_L1), code)) {
      return c.toObject().value("valueQuantity"_L1);
    }
  }
  return QJsonValue(QJsonValue::Undefined);
}

// When an Observation was made: its local time and the instant.
struct When {
  QDateTime local;
  qint64 ms = 0;  // the instant, since the epoch
  QString reason; // when it has none
};

// The time of an effectiveDateTime text.
When TimeOfText(const QString &text) {
  // "2026", "2026-03", "2026-03-02": a day at most, no time of day.
  if (!text.isEmpty() && text.size() <= 10 &&
      std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit() || c == u'-'; })) {
    return {{}, 0, u"heure absente"_s};
  }
  const QDateTime at = QDateTime::fromString(text, Qt::ISODate);
  if (!at.isValid()) {
    return {{}, 0, u"date et heure illisibles"_s};
  }
  // A time without an offset (which FHIR does not allow) is taken as local.
  return {at.timeSpec() == Qt::LocalTime ? at : at.toLocalTime(), at.toMSecsSinceEpoch(), {}};
}

// The time an Observation was made. `last` keeps the text read before and
// its time: a panel and its heart rate usually give the same one.
When EffectiveTime(const QJsonObject &o, std::pair<QString, When> &last) {
  QJsonValue v = o.value("effectiveDateTime"_L1);
  if (v.isUndefined()) {
    v = o.value("effectiveInstant"_L1);
  }
  if (v.isUndefined()) {
    v = o.value("effectivePeriod"_L1).toObject().value("start"_L1);
  }
  if (v.isUndefined()) {
    return {{}, 0, u"date et heure absentes"_s};
  }
  const QString text = v.toString();
  if (!text.isEmpty() && text == last.first) {
    return last.second;
  }
  last.first = text;
  last.second = TimeOfText(text);
  return last.second;
}

QString Subject(const QJsonObject &o) {
  return o.value("subject"_L1).toObject().value("reference"_L1).toString();
}

// A heart-rate Observation, for the panels near it in time.
struct Rate {
  qint64 ms; // the instant, since the epoch
  qsizetype entry;
  QString subject;
  Value value;
};

bool Skipped(const QJsonObject &o) {
  const QString status = o.value("status"_L1).toString();
  return status == "entered-in-error"_L1 || status == "cancelled"_L1;
}

} // namespace

FhirRead ReadFhir(QByteArrayView bytes, CsvImport &import, const std::function<bool()> &parsed) {
  FhirRead read;
  qsizetype skip = 0;
  if (bytes.startsWith("\xEF\xBB\xBF")) {
    skip = 3;
  }
  QJsonParseError error;
  const QJsonDocument document = QJsonDocument::fromJson(
      QByteArray::fromRawData(bytes.data() + skip, bytes.size() - skip), &error);
  if (error.error != QJsonParseError::NoError) {
    read.error = u"JSON illisible à l'octet %1"_s.arg(qint64(error.offset) + skip);
    return read;
  }
  if (parsed && !parsed()) {
    read.cancelled = true;
    return read;
  }
  const QJsonObject top = document.object();
  const QString type = top.value("resourceType"_L1).toString();
  QJsonArray entries;
  if (type == "Bundle"_L1) {
    entries = top.value("entry"_L1).toArray();
  } else if (type == "Observation"_L1) {
    entries.append(QJsonObject{{u"resource"_s, top}});
  } else {
    read.error = u"ce fichier JSON n'est ni un Bundle ni une Observation FHIR"_s;
    return read;
  }

  // One pass over the entries: the panels in file order, the heart rates
  // by instant, each time read once.
  struct Panel {
    qsizetype entry;
    QJsonObject resource;
    When when;
  };
  std::vector<Panel> panels;
  std::vector<Rate> rates;
  std::pair<QString, When> last;
  for (qsizetype i = 0; i < entries.size(); ++i) {
    const QJsonObject o = entries[i].toObject().value("resource"_L1).toObject();
    if (o.value("resourceType"_L1).toString() != "Observation"_L1 || Skipped(o)) {
      continue;
    }
    const QJsonValue code = o.value("code"_L1);
    if (HasLoinc(code, "85354-9"_L1)) {
      panels.push_back({i, o, EffectiveTime(o, last)});
    } else if (HasLoinc(code, "8867-4"_L1)) {
      if (const When when = EffectiveTime(o, last); when.local.isValid()) {
        rates.push_back(
            {when.ms, i, Subject(o), Measure(o.value("valueQuantity"_L1), false, u"pouls"_s)});
      }
    }
  }
  std::stable_sort(rates.begin(), rates.end(),
                   [](const Rate &a, const Rate &b) { return a.ms < b.ms; });

  for (const Panel &panel : panels) {
    const qsizetype i = panel.entry;
    const QJsonObject &o = panel.resource;
    const When &when = panel.when;
    const QString place = u"entrée %1"_s.arg(i + 1);
    if (!when.local.isValid()) {
      import.reject(place, when.reason);
      continue;
    }
    const Value s = Measure(Component(o, "8480-6"_L1), true, u"systolique"_s);
    const Value d = Measure(Component(o, "8462-4"_L1), true, u"diastolique"_s);
    Value p;
    if (const QJsonValue own = Component(o, "8867-4"_L1); !own.isUndefined()) {
      p = Measure(own, false, u"pouls"_s);
    } else {
      // The nearest heart rate in time, of the same subject when both name
      // one; between rates as near, the one nearest in the file (a panel's
      // own rate follows it), then the first.
      const qint64 ms = when.ms;
      const QString subject = Subject(o);
      const Rate *best = nullptr;
      const auto farness = [&](const Rate &r) {
        return std::pair(std::abs(r.ms - ms), std::abs(r.entry - i));
      };
      for (auto it = std::lower_bound(rates.begin(), rates.end(), ms - kPulseWindowMs,
                                      [](const Rate &r, qint64 t) { return r.ms < t; });
           it != rates.end() && it->ms <= ms + kPulseWindowMs; ++it) {
        if (!subject.isEmpty() && !it->subject.isEmpty() && subject != it->subject) {
          continue;
        }
        if (!best || farness(*it) < farness(*best)) {
          best = &*it;
        }
      }
      p = best ? best->value : Value{std::nullopt, u"pouls absent"_s};
    }
    if (!s.number || !d.number || !p.number) {
      import.reject(place, !s.number ? s.reason : !d.number ? d.reason : p.reason);
      continue;
    }
    const QTime time = when.local.time();
    import.addReading(when.local.date(), time.hour() * 60 + time.minute(), *s.number, *d.number,
                      *p.number, place);
  }
  return read;
}

ImportOutcome AppendFhirFile(Logbook &book, const QString &path, const ImportProgress &progress,
                             bool dryRun) {
  ImportOutcome outcome;
  QFile file;
  if ((outcome.error = OpenForReading(path, file))) {
    return outcome;
  }
  const qint64 total = file.size();
  if (total > kMaxFhirFileBytes) {
    outcome.error = {path, u"fichier FHIR de plus de 512 Mio, trop grand pour être importé"_s};
    return outcome;
  }
  // Progress in three steps of a third: the bytes read (in a few chunks),
  // the JSON parsed, the readings taken.
  const auto step = [&](qint64 done) { return !progress || progress(done, total); };
  constexpr qint64 kChunk = qint64(16) << 20;
  QByteArray bytes(total, Qt::Uninitialized);
  qint64 done = 0;
  while (done < total) {
    const qint64 got = file.read(bytes.data() + done, std::min(kChunk, total - done));
    if (got < 0) {
      outcome.error = {path, FrenchSystemReason(file.errorString())};
      return outcome;
    }
    if (got == 0) {
      break; // shorter than it said
    }
    done += got;
    if (!step(done / 3)) {
      outcome.cancelled = true;
      return outcome;
    }
  }
  bytes.truncate(done);
  CsvImport import(book.lists(), ColumnMapping{});
  const FhirRead read = ReadFhir(bytes, import, [&] {
    // The document holds what it needs: the bytes can go.
    bytes = QByteArray();
    return step(2 * total / 3);
  });
  if (!read.error.isEmpty()) {
    outcome.error = {path, read.error};
    return outcome;
  }
  if (read.cancelled || !step(total)) {
    outcome.cancelled = true;
    return outcome;
  }
  FinishImport(book, import, dryRun, outcome);
  return outcome;
}

} // namespace tl
