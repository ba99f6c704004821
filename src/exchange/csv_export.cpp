#include "exchange/csv_export.h"

#include "exchange/csv_reader.h"
#include "measurements/period_list_model.h"
#include "measurements/reading_context.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace tl {

QByteArray CsvField(QStringView text) {
  const bool quoted =
      text.contains(u';') || text.contains(u'"') || text.contains(u'\r') || text.contains(u'\n');
  if (!quoted) {
    return text.toUtf8();
  }
  QString doubled = text.toString();
  doubled.replace(QStringLiteral("\""), QStringLiteral("\"\""));
  return '"' + doubled.toUtf8() + '"';
}

namespace {

// Whether a cell written as `written` needs the apostrophe that keeps a
// spreadsheet from running it: a text that looks like a formula (a number,
// "-5" too, stays a number).
bool NeedsFormulaMark(const Reading &r, int cell, QByteArrayView written) {
  return r.holdsText(cell) && LooksLikeFormula(written);
}

// Writes a cell's text at `p` as CsvField would, with an apostrophe before
// a text that looks like a formula (room for twice its bound plus three);
// returns the end of what it wrote.
char *WriteCell(const Reading &r, int cell, char *p) {
  char *end = r.writeUtf8(cell, p);
  const QByteArrayView written(p, end - p);
  const bool formula = NeedsFormulaMark(r, cell, written);
  if (!formula && !written.contains(';') && !written.contains('"') && !written.contains('\r') &&
      !written.contains('\n')) {
    return end;
  }
  const QByteArray quoted = CsvField(formula ? u'\'' + r[cell] : r[cell]);
  std::memcpy(p, quoted.constData(), size_t(quoted.size()));
  return p + quoted.size();
}

// The fields of a row.
constexpr qsizetype kFields = 13;

// Whether a row written without quotes reads back as the same fields: no
// quote, CR or LF, and just the separators between its fields.
bool IsPlainRow(const char *p, const char *end) {
  qsizetype separators = 0;
#if defined(__SSE2__) || defined(_M_X64)
  // Sixteen bytes at a time, the separators counted in byte lanes (each
  // match subtracts -1), which 255 blocks cannot overflow.
  const __m128i semicolon = _mm_set1_epi8(';');
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  while (end - p >= 16) {
    __m128i counts = _mm_setzero_si128();
    for (int blocks = 0; blocks < 255 && end - p >= 16; ++blocks, p += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
      const __m128i odd = _mm_or_si128(_mm_cmpeq_epi8(v, quote),
                                       _mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
      if (_mm_movemask_epi8(odd) != 0) {
        return false;
      }
      counts = _mm_sub_epi8(counts, _mm_cmpeq_epi8(v, semicolon));
    }
    const __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
    separators += _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_srli_si128(sums, 8));
  }
#endif
  for (; p < end; ++p) {
    if (*p == '"' || *p == '\r' || *p == '\n') {
      return false;
    }
    separators += *p == ';';
  }
  return separators == kFields - 1;
}

// The note (or the other flags) of a context as written: as CsvField
// writes it, with an apostrophe before a text that looks like a formula
// (the note is the user's text).
QByteArray NoteField(const QString &note) {
  const QByteArray bytes = note.toUtf8();
  return LooksLikeFormula(bytes) ? CsvField(u'\'' + note) : CsvField(note);
}

// The date cell as Qt::ISODate writes the date, "yyyy-MM-dd", from the
// "dd/MM/yyyy" the reading writes for it, when its year has four digits;
// returns the end of what it wrote, or null.
char *WriteIsoDate(const Reading &r, char *p) {
  char dmy[16];
  if (r.writeUtf8(Reading::Date, dmy) - dmy != 10 || dmy[6] == '0') {
    return nullptr;
  }
  std::memcpy(p, dmy + 6, 4);
  p[4] = '-';
  p[5] = dmy[3];
  p[6] = dmy[4];
  p[7] = '-';
  p[8] = dmy[0];
  p[9] = dmy[1];
  return p + 10;
}

} // namespace

QByteArray ExportCsv(const PeriodLists &lists, std::optional<QDate> from, std::optional<QDate> to,
                     qsizetype *count, const ReadingContexts *contexts) {
  // A row and its place in the order: the day and minute of a dated
  // reading, after them every other by its minute (24 * 60 without a time).
  struct Row {
    quint64 key;
    const Reading *reading;
    DayPeriod period;
    qsizetype room = 0; // the row's bytes as it stands, at most
    const ReadingContext *context = nullptr;
  };
  constexpr quint64 kUndated = quint64(1) << 63;
  std::vector<Row> rows;
  rows.reserve(size_t(lists.totalCount()));
  // Where each list's rows start, in the order of kAllPeriods, and the end.
  std::array<size_t, kAllPeriods.size() + 1> segments{};
  for (size_t i = 0; i < kAllPeriods.size(); ++i) {
    const DayPeriod period = kAllPeriods[i];
    segments[i] = rows.size();
    for (const Reading &r : lists.list(period).readings()) {
      const std::optional<QDate> date = r.date();
      if ((from || to) && (!date || (from && *date < *from) || (to && *date > *to))) {
        continue;
      }
      const quint64 minutes = quint64(r.minutes().value_or(24 * 60));
      const quint64 key =
          date ? (quint64(date->toJulianDay()) << 11) | minutes : kUndated | minutes;
      rows.push_back({key, &r, period, 0,
                      contexts && !contexts->isEmpty() ? contexts->find(period, r) : nullptr});
    }
  }
  segments.back() = rows.size();
  // By date, then time, stably over the lists in period order: each list's
  // rows sorted (they usually are already), then merged in turn.
  const auto before = [](const Row &a, const Row &b) { return a.key < b.key; };
  for (size_t i = 0; i < kAllPeriods.size(); ++i) {
    const auto first = rows.begin() + qsizetype(segments[i]);
    const auto last = rows.begin() + qsizetype(segments[i + 1]);
    if (!std::is_sorted(first, last, before)) {
      std::stable_sort(first, last, before);
    }
    if (i > 0) {
      std::inplace_merge(rows.begin(), first, last, before);
    }
  }

  // Sized once for the longest text each row gives as it stands (the
  // bounds the measurement file writer uses), written in place, then cut to
  // what was written. A row written with quotes may take up to twice its
  // bound: the buffer grows then, keeping the room of the rows after it.
  std::array<QByteArray, 4> periodNames;
  for (DayPeriod period : kAllPeriods) {
    periodNames[size_t(PeriodIndex(period))] = PeriodInfo(period).name.toUtf8();
  }
  const auto cellsBound = [](const Reading &r) {
    qsizetype bound = 0;
    for (int c = 0; c < Reading::kCellCount; ++c) {
      bound += r.utf8SizeBound(c);
    }
    return bound;
  };
  constexpr qsizetype kSeparatorsAndEnd = kFields + 1;
  // The context's fields past their separators: the note and the other
  // flags each with an apostrophe (each UTF-16 unit three bytes at most),
  // its quotes doubled, quoted, and "oui" for each flag.
  const auto contextBound = [](const Row &row) {
    return row.context ? 2 * 3 * (row.context->note.size() + 1) + 2 +
                             3 * qsizetype(kAllContextFlags.size()) +
                             2 * 3 * (row.context->otherFlags.size() + 1) + 2
                       : qsizetype(0);
  };
  const QByteArrayView head = "\xEF\xBB\xBF";
  qsizetype roomLeft = 0; // for the rows not yet written, as they stand
  for (Row &row : rows) {
    row.room = cellsBound(*row.reading) + periodNames[size_t(PeriodIndex(row.period))].size() +
               kSeparatorsAndEnd + contextBound(row);
    roomLeft += row.room;
  }
  QByteArray out;
  out.resize(head.size() + qsizetype(sizeof kCsvHeader) + 2 + roomLeft);
  char *p = out.data();
  const auto put = [&p](QByteArrayView bytes) {
    std::memcpy(p, bytes.data(), size_t(bytes.size()));
    p += bytes.size();
  };
  put(head);
  put(kCsvHeader);
  put("\r\n");
  static constexpr int kAfterDate[] = {
      Reading::Time, -1, Reading::Systolic, Reading::Diastolic, Reading::Pulse, Reading::Diagnosis};
  // The note, the flags and the other flags after the cells.
  const auto putContext = [&put](const Row &row) {
    put(";");
    if (row.context) {
      if (!row.context->note.isEmpty()) {
        put(NoteField(row.context->note));
      }
      for (ContextFlag flag : kAllContextFlags) {
        put(row.context->has(flag) ? ";oui" : ";");
      }
      put(";");
      if (!row.context->otherFlags.isEmpty()) {
        put(NoteField(row.context->otherFlags));
      }
    } else {
      put(";;;;;");
    }
  };
  for (const Row &row : rows) {
    const Reading &r = *row.reading;
    const QByteArrayView period = periodNames[size_t(PeriodIndex(row.period))];
    roomLeft -= row.room;
    char *start = p;
    // The usual row first, every cell as it stands; written again, each
    // field quoted as it needs, when that does not read back the same.
    if (char *dated = row.key < kUndated ? WriteIsoDate(r, p) : nullptr) {
      p = dated;
      bool formula = false;
      for (int cell : kAfterDate) {
        *p++ = ';';
        if (cell < 0) {
          put(period);
        } else {
          char *const from = p;
          p = r.writeUtf8(cell, p);
          formula = formula || (p != from && NeedsFormulaMark(r, cell, QByteArrayView(from, p)));
        }
      }
      putContext(row);
      if (!formula && IsPlainRow(start, p)) {
        put("\r\n");
        continue;
      }
      p = start;
    }
    // Every cell quoted, its quotes doubled and an apostrophe before it, at
    // most.
    const qsizetype longest = 2 * cellsBound(r) + 3 * Reading::kCellCount + period.size() +
                              kSeparatorsAndEnd + contextBound(row) + 24;
    if (const qsizetype at = p - out.constData(); out.size() - at < longest + roomLeft) {
      out.resize(std::max(out.size() * 2, at + longest + roomLeft));
      p = start = out.data() + at;
    }
    if (const std::optional<QDate> date = r.date()) {
      if (char *dated = WriteIsoDate(r, p)) {
        p = dated;
      } else {
        put(date->toString(Qt::ISODate).toUtf8());
      }
    } else {
      p = WriteCell(r, Reading::Date, p);
    }
    for (int cell : kAfterDate) {
      *p++ = ';';
      if (cell < 0) {
        put(period);
      } else {
        p = WriteCell(r, cell, p);
      }
    }
    putContext(row);
    put("\r\n");
  }
  out.truncate(p - out.constData());
  if (count) {
    *count = qsizetype(rows.size());
  }
  return out;
}

} // namespace tl
