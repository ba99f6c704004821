#include "measurements/reading_context.h"

#include "measurements/measurement_file.h"

#include <optional>

namespace tl {

QString ContextFlagText(ContextFlag flag) {
  switch (flag) {
  case ContextFlag::Irregular:
    return QStringLiteral("pouls irrégulier");
  case ContextFlag::Medication:
    return QStringLiteral("traitement pris");
  case ContextFlag::Movement:
    return QStringLiteral("mouvement");
  case ContextFlag::CuffMisplaced:
    return QStringLiteral("brassard mal placé");
  }
  return QString();
}

QString CleanNote(const QString &text) {
  QString note = text;
  for (QChar &c : note) {
    if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
        c == QChar::ParagraphSeparator) {
      c = u' ';
    }
  }
  note = note.trimmed();
  if (note.size() > kMaxNoteLength) {
    // Never cut a surrogate pair in two.
    qsizetype end = kMaxNoteLength;
    if (note.at(end - 1).isHighSurrogate()) {
      --end;
    }
    note.truncate(end);
    note = note.trimmed();
  }
  return note;
}

QString ReadingContext::flagsText() const {
  QStringList texts;
  for (ContextFlag f : kAllContextFlags) {
    if (has(f)) {
      texts << ContextFlagText(f);
    }
  }
  return texts.join(QStringLiteral(", "));
}

QString ReadingContext::text() const {
  const QString flags = flagsText();
  if (flags.isEmpty() || note.isEmpty()) {
    return flags + note;
  }
  return flags + QStringLiteral(" ; ") + note;
}

ContextKey ContextKey::of(DayPeriod period, const Reading &reading) {
  ContextKey key;
  key.period = period;
  for (int c = Reading::Date; c <= Reading::Pulse; ++c) {
    key.cells[size_t(c)] = reading[c];
  }
  return key;
}

size_t qHash(const ContextKey &key, size_t seed) {
  seed = ::qHash(int(key.period), seed);
  for (const QString &cell : key.cells) {
    seed = ::qHash(cell, seed);
  }
  return seed;
}

namespace {

std::optional<DayPeriod> PeriodNamed(const QString &name) {
  for (DayPeriod p : kAllPeriods) {
    if (PeriodInfo(p).name == name) {
      return p;
    }
  }
  return std::nullopt;
}

quint8 FlagsOfText(const QString &text) {
  quint8 flags = 0;
  for (const QString &word : text.split(u',', Qt::SkipEmptyParts)) {
    for (ContextFlag f : kAllContextFlags) {
      if (word.trimmed() == ContextFlagText(f)) {
        flags |= quint8(f);
      }
    }
  }
  return flags;
}

// One line of the file: a line break inside a cell would shift every record after it.
QByteArray FileLine(const QString &text) {
  QByteArray bytes = text.toUtf8();
  bytes.replace('\r', ' ').replace('\n', ' ');
  return bytes;
}

} // namespace

std::vector<ContextRecord> ParseContextFile(QByteArrayView bytes, qint64 *announced) {
  std::vector<ContextRecord> records;
  for (const QStringList &lines : ParseRecordFile(bytes, kContextLinesPerRecord, announced)) {
    const std::optional<DayPeriod> period = PeriodNamed(lines[0]);
    if (!period) {
      continue;
    }
    ContextRecord record;
    record.key.period = *period;
    for (int c = 0; c < 5; ++c) {
      record.key.cells[size_t(c)] = lines[c + 1];
    }
    record.context.flags = FlagsOfText(lines[6]);
    record.context.note = CleanNote(lines[7]);
    if (!record.context.isEmpty()) {
      records.push_back(std::move(record));
    }
  }
  return records;
}

QByteArray SerializeContextFile(const std::vector<ContextRecord> &records) {
  QByteArray out = QByteArray::number(qulonglong(records.size())) + "\r\n";
  for (const ContextRecord &r : records) {
    out += FileLine(PeriodInfo(r.key.period).name) + "\r\n";
    for (const QString &cell : r.key.cells) {
      out += FileLine(cell) + "\r\n";
    }
    out += FileLine(r.context.flagsText()) + "\r\n";
    out += FileLine(r.context.note) + "\r\n";
  }
  return out;
}

const ReadingContext *ReadingContexts::find(const ContextKey &key) const {
  const auto it = index_.constFind(key);
  return it == index_.constEnd() ? nullptr : &records_[it.value()].context;
}

void ReadingContexts::set(const ContextKey &key, ReadingContext context) {
  context.note = CleanNote(context.note);
  const auto it = index_.find(key);
  if (it == index_.end()) {
    if (context.isEmpty()) {
      return;
    }
    index_.insert(key, records_.size());
    records_.push_back({key, std::move(context)});
    ++revision_;
    return;
  }
  ContextRecord &record = records_[it.value()];
  if (record.context == context) {
    return;
  }
  ++revision_;
  if (!context.isEmpty()) {
    record.context = std::move(context);
    return;
  }
  record.context = {};
  index_.erase(it);
  // Removed records leave holes; the vector is compacted once they are many.
  if (++removed_ > 64 && removed_ > qsizetype(records_.size()) / 2) {
    setRecords(records());
    ++revision_;
  }
}

ReadingContext ReadingContexts::take(const ContextKey &key) {
  const ReadingContext *found = find(key);
  if (!found) {
    return {};
  }
  ReadingContext context = *found;
  set(key, {});
  return context;
}

void ReadingContexts::clear() {
  if (!records_.empty()) {
    ++revision_;
  }
  records_.clear();
  index_.clear();
  removed_ = 0;
}

std::vector<ContextRecord> ReadingContexts::records() const {
  std::vector<ContextRecord> kept;
  kept.reserve(size_t(index_.size()));
  for (const ContextRecord &r : records_) {
    if (!r.context.isEmpty()) {
      kept.push_back(r);
    }
  }
  return kept;
}

void ReadingContexts::setRecords(std::vector<ContextRecord> records) {
  const quint64 revision = revision_;
  clear();
  records_.reserve(records.size());
  for (ContextRecord &r : records) {
    set(r.key, std::move(r.context)); // a key given twice keeps its last context
  }
  revision_ = revision + 1;
}

} // namespace tl
