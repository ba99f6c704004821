#include "exchange/logbook_exchange.h"

#include "common/error_text.h"
#include "common/output_file.h"
#include "exchange/csv_export.h"
#include "exchange/csv_reader.h"
#include "exchange/fhir_export.h"
#include "exchange/import_presets.h"
#include "logbook/logbook.h"

#include <QFile>
#include <QStringDecoder>

namespace tl {

namespace {

// The import reads this much at a time: small enough for the window to
// answer between chunks, large enough for the reads not to count.
constexpr qint64 kChunkBytes = qint64(256) * 1024;
// The preview looks no further than this.
constexpr qint64 kStartBytes = qint64(1) << 20;

FileError ReadError(const QString &path, const QFile &file) {
  return {path, FrenchSystemReason(file.errorString())};
}

// UTF-16 files (Excel's "Texte Unicode"), told by their byte-order mark,
// are read as UTF-8: the reader and the checks then see the bytes any
// other file gives. The decoder keeps a character cut between two chunks.
class Utf16AsUtf8 {
public:
  // `start`: the first bytes of the file.
  explicit Utf16AsUtf8(QByteArrayView start) {
    if (start.startsWith("\xFF\xFE")) {
      decoder_.emplace(QStringDecoder::Utf16LE);
    } else if (start.startsWith("\xFE\xFF")) {
      decoder_.emplace(QStringDecoder::Utf16BE);
    }
  }
  // The bytes to read for `chunk`, valid until the next call.
  QByteArrayView convert(QByteArrayView chunk) {
    if (!decoder_) {
      return chunk;
    }
    utf8_ = QString(decoder_->decode(chunk)).toUtf8();
    return utf8_;
  }

private:
  std::optional<QStringDecoder> decoder_;
  QByteArray utf8_;
};

// The records of a file before its first reading: a title or metadata line,
// and the header.
qint64 RecordsBefore(const ColumnMapping &mapping) {
  return mapping.skipRecords + (mapping.header ? 1 : 0);
}

// The column whose dates tell their order: the first date or date and time
// column, or -1.
qsizetype DatedColumn(const ColumnMapping &mapping) {
  const qsizetype date = mapping.roles.indexOf(ColumnRole::Date);
  const qsizetype dateTime = mapping.roles.indexOf(ColumnRole::DateTime);
  return date < 0 ? dateTime : dateTime < 0 ? date : std::min(date, dateTime);
}

// Feeds the date of each record to a decision, until it is decided.
struct OrderPass {
  OrderPass(char separator, qsizetype column, qint64 skip)
      : reader(separator), column(column), skip(skip) {}
  CsvReader reader;
  qsizetype column;
  qint64 skip; // the records before the first reading
  DateOrderDecision decision;
  CsvReader::RecordFn record = [this](const QStringList &fields, qint64 line) {
    return take(DateOrderHintOf(fields.value(column)), line);
  };
  CsvReader::PlainRecordFn plain = [this](std::span<const QByteArrayView> fields, qint64 line) {
    return take(
        DateOrderHintOf(size_t(column) < fields.size() ? fields[size_t(column)] : QByteArrayView()),
        line);
  };
  // False once nothing more is to be learnt: the reading stops.
  bool take(DateOrderHint hint, qint64 line) {
    if (skip > 0) {
      --skip;
      return true;
    }
    return !decision.add(hint, line);
  }
};

const QString kOrderAssumed = QStringLiteral(
    "Aucune date ne distingue le jour du mois : les dates sont lues dans l'ordre jour/mois.");

} // namespace

QString ExportFileName(const QString &patient, ExportFormat format) {
  return patient + (format == ExportFormat::Csv ? QStringLiteral(".csv") : QStringLiteral(".json"));
}

ExportOutcome ExportLogbook(const Logbook &book, ExportFormat format, const QString &path,
                            std::optional<QDate> from, std::optional<QDate> to) {
  ExportOutcome outcome;
  QByteArray bytes;
  if (format == ExportFormat::Csv) {
    bytes = ExportCsv(book.lists(), from, to, &outcome.exported, &book.contexts());
  } else {
    FhirExport fhir =
        ExportFhir(book.lists(), book.patient(), from, to,
                   format == ExportFormat::FhirTransaction ? FhirBundleType::Transaction
                                                           : FhirBundleType::Collection,
                   &book.contexts());
    bytes = std::move(fhir.json);
    outcome.exported = fhir.exported;
    outcome.leftOut = fhir.leftOut;
  }
  // A path the person named: never written through a link, nor over the logbook.
  outcome.error = WriteOutputFile(path, bytes, {book.paths().dataFolder});
  return outcome;
}

QString ExportSummary(const ExportOutcome &outcome, const QString &file) {
  QString text =
      QStringLiteral("%1 relevés exportés dans %2").arg(outcome.exported).arg(ShownPath(file));
  if (outcome.leftOut > 0) {
    text += QStringLiteral(", %1 laissés de côté (valeurs illisibles)").arg(outcome.leftOut);
  }
  return text + u'.';
}

qsizetype CsvFileStart::columns() const {
  qsizetype widest = 0;
  for (const QStringList &record : records) {
    widest = std::max(widest, record.size());
  }
  return widest;
}

QList<QStringList> CsvFileStart::shownRows() const {
  QList<QStringList> rows;
  qsizetype next = 0;
  const auto rejectedUpTo = [&](qsizetype record) {
    for (; next < rejected.size() && rejected[next].before <= record; ++next) {
      rows.append({QStringLiteral("ligne %1 : ").arg(rejected[next].line) +
                   QString::fromUtf8(kUnclosedQuoteReason)});
    }
  };
  for (qsizetype r = 0; r < records.size(); ++r) {
    rejectedUpTo(r);
    rows.append(records[r]);
  }
  rejectedUpTo(records.size());
  return rows;
}

CsvFileStart ReadCsvStart(const QString &path, int maxRecords) {
  CsvFileStart start;
  QFile file;
  if ((start.error = OpenForReading(path, file))) {
    return start;
  }
  const QByteArray read = file.read(kStartBytes);
  if (read.isEmpty() && file.error() != QFileDevice::NoError) {
    start.error = ReadError(path, file);
    return start;
  }
  Utf16AsUtf8 text(read);
  const QByteArrayView bytes = text.convert(read);
  start.separator = DetectCsvSeparator(bytes);
  CsvReader reader(start.separator);
  const auto room = [&] { return start.records.size() + start.rejected.size() < maxRecords; };
  // The lines of an unclosed quote, as the import refuses them.
  reader.setUnclosedQuote([&](qint64 first, qint64 last) {
    for (qint64 line = first; line <= last && room(); ++line) {
      start.rejected.append({start.records.size(), line});
    }
  });
  const CsvReader::RecordFn keep = [&](const QStringList &fields, qint64) {
    start.records.append(fields);
    return room();
  };
  if (reader.feed(bytes, keep) && file.atEnd()) {
    reader.finish(keep);
  }
  start.guess = GuessFileMapping(start.records);
  if (const qsizetype column = DatedColumn(start.guess); column >= 0) {
    start.dateOrder = DecideDateOrder(bytes, start.separator, column, RecordsBefore(start.guess));
    start.guess.dateOrder = start.dateOrder.order;
  }
  return start;
}

DateOrderDecision DecideDateOrder(QByteArrayView bytes, char separator, qsizetype column,
                                  qint64 recordsBefore) {
  OrderPass pass(separator, column, recordsBefore);
  if (pass.reader.feed(bytes, pass.record, pass.plain)) {
    pass.reader.finish(pass.record);
  }
  return pass.decision;
}

ImportOutcome AppendCsvFile(Logbook &book, const QString &path, const ColumnMapping &mapping,
                            char separator, const ImportProgress &progress, bool dryRun) {
  ImportOutcome outcome;
  QFile file;
  if ((outcome.error = OpenForReading(path, file))) {
    return outcome;
  }
  const qint64 total = file.size();
  QByteArray chunk(kChunkBytes, Qt::Uninitialized);
  // Reads the file from where it stands in chunks, each handed as UTF-8 to
  // `feed` until it returns false. The progress is told after each chunk but
  // the last (`lastToo`: after that one as well). False on a read error or
  // a cancel, which `outcome` then holds.
  const auto readAll = [&](auto &&feed, bool lastToo) {
    std::optional<Utf16AsUtf8> text;
    qint64 done = 0;
    for (;;) {
      const qint64 got = file.read(chunk.data(), kChunkBytes);
      if (got < 0) {
        outcome.error = ReadError(path, file);
        return false;
      }
      if (got == 0) {
        return true;
      }
      const QByteArrayView bytes(chunk.constData(), got);
      if (!text) {
        text.emplace(bytes);
      }
      if (!feed(text->convert(bytes))) {
        return true;
      }
      done += got;
      if ((lastToo || done < total) && progress && !progress(done, total)) {
        outcome.cancelled = true;
        return false;
      }
    }
  };
  // The first pass: the dates until one decides their order. The progress
  // is told between its chunks too, for a file no date decides early.
  ColumnMapping chosen = mapping;
  DateOrderDecision order;
  if (const qsizetype column = DatedColumn(mapping); column >= 0 && !mapping.dateOrderGiven) {
    OrderPass pass(separator, column, RecordsBefore(mapping));
    bool decided = false;
    if (!readAll(
            [&](QByteArrayView bytes) {
              decided = !pass.reader.feed(bytes, pass.record, pass.plain);
              return !decided;
            },
            false)) {
      return outcome;
    }
    if (!decided) {
      pass.reader.finish(pass.record);
    }
    order = pass.decision;
    chosen.dateOrder = order.order;
    if (!file.seek(0)) {
      outcome.error = ReadError(path, file);
      return outcome;
    }
  }
  CsvImport import(book.lists(), chosen);
  if (order.basis == DateOrderDecision::Basis::AllAmbiguous) {
    import.addNote(kOrderAssumed);
  } else if (order.decided() && order.order == DateOrder::MonthDay) {
    import.addNote(
        QStringLiteral("Dates lues dans l'ordre mois/jour, d'après la ligne %1.").arg(order.line));
  }
  CsvReader reader(separator);
  reader.setUnclosedQuote([&import](qint64 first, qint64 last) {
    import.rejectLines(first, last, QString::fromUtf8(kUnclosedQuoteReason));
  });
  const CsvReader::RecordFn add = [&import](const QStringList &fields, qint64 line) {
    import.add(fields, line);
    return true;
  };
  const CsvReader::PlainRecordFn addPlain = [&import](std::span<const QByteArrayView> fields,
                                                      qint64 line) {
    import.addPlain(fields, line);
    return true;
  };
  if (!readAll(
          [&](QByteArrayView bytes) {
            reader.feed(bytes, add, addPlain);
            return true;
          },
          true)) {
    return outcome;
  }
  reader.finish(add);
  FinishImport(book, import, dryRun, outcome);
  return outcome;
}

void FinishImport(Logbook &book, ImportSink &import, bool dryRun, ImportOutcome &outcome) {
  outcome.imported = import.imported();
  outcome.duplicates = import.duplicates();
  outcome.rejected = import.rejected();
  outcome.summary = import.summary();
  if (dryRun) {
    return;
  }
  for (DayPeriod period : kAllPeriods) {
    book.list(period).mergeReadings(import.takeAccepted(period));
  }
  // The notes and flags of the file, for the readings taken and for those
  // already in the lists: flags add up, and a note here is not replaced.
  ReadingContexts &contexts = book.contexts();
  const quint64 before = contexts.revision();
  for (const ContextRecord &record : import.contexts()) {
    ReadingContext merged = record.context;
    if (const ReadingContext *held = contexts.find(record.key)) {
      merged.flags |= held->flags;
      if (!held->note.isEmpty()) {
        merged.note = held->note;
      }
    }
    contexts.set(record.key, std::move(merged));
  }
  outcome.appended = outcome.imported > 0 || contexts.revision() != before;
}

void SaveImport(Logbook &book, ImportOutcome &outcome) {
  if (outcome.appended) {
    outcome.saved = SaveLogbook(book);
  }
}

ImportOutcome ImportCsvFile(Logbook &book, const QString &path, const ColumnMapping &mapping,
                            char separator, const ImportProgress &progress, bool dryRun) {
  ImportOutcome outcome = AppendCsvFile(book, path, mapping, separator, progress, dryRun);
  SaveImport(book, outcome);
  return outcome;
}

} // namespace tl
