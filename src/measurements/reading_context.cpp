#include "measurements/reading_context.h"

#include "measurements/measurement_file.h"
#include "measurements/record_file.h"

#include <algorithm>

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

namespace {

bool IsNoteBreak(QChar c) {
  return c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
         c == QChar::ParagraphSeparator;
}

} // namespace

QString CleanNote(const QString &text) {
  // Most notes are clean already: they are given back shared, unchanged.
  const bool clean = text.size() <= kMaxNoteLength &&
                     (text.isEmpty() || (!text.front().isSpace() && !text.back().isSpace())) &&
                     std::none_of(text.begin(), text.end(), [](QChar c) {
                       return (c.unicode() < 0x20 || c.unicode() >= 0x7F) && IsNoteBreak(c);
                     });
  if (clean) {
    return text;
  }
  QString note = text;
  for (QChar &c : note) {
    if (IsNoteBreak(c)) {
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
  if (!otherFlags.isEmpty()) {
    texts << otherFlags;
  }
  return texts.join(QStringLiteral(", "));
}

ContextKey ContextKey::of(DayPeriod period, const Reading &reading) {
  ContextKey key;
  key.period = period;
  key.cells = reading;
  key.cells.set(Reading::Diagnosis, QString());
  return key;
}

size_t qHash(const ContextKey &key, size_t seed) {
  if (!key.otherPeriod.isEmpty()) {
    seed = ::qHash(key.otherPeriod, seed);
  }
  return key.cells.hashKeyCells(::qHash(int(key.period), seed));
}

namespace {

std::optional<DayPeriod> PeriodNamed(QByteArrayView name) {
  static const std::array<QByteArray, 4> names = [] {
    std::array<QByteArray, 4> n;
    for (size_t i = 0; i < n.size(); ++i) {
      n[i] = PeriodInfo(kAllPeriods[i]).name.toUtf8();
    }
    return n;
  }();
  for (size_t i = 0; i < names.size(); ++i) {
    if (name == names[i]) {
      return kAllPeriods[i];
    }
  }
  return std::nullopt;
}

// The known flags of a flags line; the words it does not know go to
// `*others`, as written.
quint8 FlagsOfText(QByteArrayView text, QByteArrayList *others) {
  static const std::array<QByteArray, 4> words = [] {
    std::array<QByteArray, 4> w;
    for (size_t i = 0; i < w.size(); ++i) {
      w[i] = ContextFlagText(kAllContextFlags[i]).toUtf8();
    }
    return w;
  }();
  quint8 flags = 0;
  while (!text.isEmpty()) {
    const qsizetype comma = text.indexOf(',');
    const QByteArrayView word = (comma < 0 ? text : text.first(comma)).trimmed();
    bool known = false;
    for (size_t i = 0; i < words.size(); ++i) {
      if (word == words[i]) {
        flags |= quint8(kAllContextFlags[i]);
        known = true;
      }
    }
    if (!known && !word.isEmpty()) {
      others->append(word.toByteArray());
    }
    text = comma < 0 ? QByteArrayView() : text.sliced(comma + 1);
  }
  return flags;
}

// One line of the file: a line break inside a cell would shift every record after it.
QByteArray FileLine(const QString &text) {
  QByteArray bytes = text.toUtf8();
  bytes.replace('\r', ' ').replace('\n', ' ');
  return bytes;
}

// One line of a record of the context file into `r`. The cells go from the
// bytes straight into the key, as in a measurement file; only the notes are
// decoded. A period or flag the program does not know is kept as written.
void SetContextLine(ContextRecord &r, int line, QByteArrayView text, LineDecoder &decoder) {
  if (line == 0) {
    const std::optional<DayPeriod> period = PeriodNamed(text);
    r.key.period = period.value_or(DayPeriod::Matin);
    // An empty line stands for no period too: it is written back as "?".
    r.key.otherPeriod = period           ? QByteArray()
                        : text.isEmpty() ? QByteArray("?")
                                         : text.toByteArray();
  } else if (line <= 5) {
    r.key.cells.setUtf8(line - 1, text, [&](QByteArrayView b) { return decoder.decode(b); });
  } else if (line == 6) {
    QByteArrayList others;
    r.context.flags = FlagsOfText(text, &others);
    r.context.otherFlags = decoder.decode(others.join(", "));
  } else {
    r.context.note = CleanNote(decoder.decode(text));
  }
}

std::vector<ContextRecord> Kept(std::vector<ContextRecord> records) {
  std::erase_if(records, [](const ContextRecord &r) { return r.context.isEmpty(); });
  return records;
}

} // namespace

std::vector<ContextRecord> ParseContextFile(QByteArrayView bytes, qint64 *announced) {
  return Kept(
      ParseRecords(bytes, kContextLinesPerRecord, ContextRecord{}, announced, SetContextLine));
}

std::vector<ContextRecord> ReadContextFile(QByteArrayView bytes, RecordShape *shape) {
  return Kept(
      ParseWholeRecords(bytes, kContextLinesPerRecord, ContextRecord{}, shape, SetContextLine));
}

QByteArray SerializeContextFile(const std::vector<ContextRecord> &records) {
  QByteArray out = QByteArray::number(qulonglong(records.size())) + "\r\n";
  for (const ContextRecord &r : records) {
    out += (r.key.otherPeriod.isEmpty() ? FileLine(PeriodInfo(r.key.period).name)
                                        : r.key.otherPeriod) +
           "\r\n";
    for (int c = Reading::Date; c <= Reading::Pulse; ++c) {
      out += FileLine(r.key.cells[c]) + "\r\n";
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
  index_.reserve(qsizetype(records.size()));
  for (ContextRecord &r : records) {
    r.context.note = CleanNote(r.context.note);
    if (r.context.isEmpty()) {
      continue;
    }
    // A key given twice keeps its last context.
    const auto it = index_.constFind(r.key);
    if (it == index_.constEnd()) {
      index_.insert(r.key, records_.size());
      records_.push_back(std::move(r));
    } else {
      records_[it.value()].context = std::move(r.context);
    }
  }
  revision_ = revision + 1;
}

} // namespace tl
