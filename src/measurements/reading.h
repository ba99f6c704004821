#pragma once

#include <QByteArrayView>
#include <QDate>
#include <QString>
#include <QStringView>
#include <array>
#include <memory>
#include <optional>

namespace tl {

// One self-measurement: six text cells, in file and column order.
//
// A cell whose text is exactly what formatting a number gives back is held
// as that number: the date as a day, the time as minutes since midnight, the
// three values as integers, and the diagnosis, when it is the very sentence
// DiagnosisSentence gives for the systolic and diastolic numbers held, as its
// class. Any other cell (typed by hand, an odd file) keeps its text, and only
// that cell, in a block allocated for such texts. Every cell's text is
// therefore given back exactly, and a reading read from a file costs 24 bytes.
class Reading {
public:
  enum Cell { Date = 0, Time = 1, Systolic = 2, Diastolic = 3, Pulse = 4, Diagnosis = 5 };
  static constexpr int kCellCount = 6;

  Reading() = default;
  Reading(const Reading &other);
  Reading(Reading &&other) noexcept; // leaves `other` with six empty cells
  Reading &operator=(const Reading &other);
  Reading &operator=(Reading &&other) noexcept;
  ~Reading() = default;

  // The cell's exact text. Returned const so that `r[cell] = text`, which
  // would change a copy, does not compile: writes go through set().
  const QString operator[](int cell) const;
  // Stores the text as a number when it is the number's canonical form, else
  // as text. Changing a pressure keeps the diagnosis text as it was.
  void set(int cell, const QString &text);

  // ParseLeadingInteger of the cell's text, without formatting a number.
  qint64 value(int cell) const {
    if (cell >= Systolic && cell <= Pulse && kind(cell) == Kind::Number) {
      return values_[size_t(cell - Systolic)];
    }
    return valueOfOther(cell);
  }
  // The day of a canonical "dd/MM/yyyy" date cell.
  std::optional<QDate> date() const;
  // Minutes since midnight of a canonical "hh:mm" time cell.
  std::optional<int> minutes() const;
  // The number of a systolic, diastolic or pulse cell that is a canonical
  // decimal integer ("120", "-5", "0"; not "0120", "+5", "-0").
  std::optional<qint64> number(int cell) const;

  // Whether the cell keeps a text of its own (it is neither empty nor held
  // as a number): only such a cell can hold a line break.
  bool holdsText(int cell) const {
    return cell >= 0 && cell < kCellCount && kind(cell) == Kind::Text;
  }

  bool operator==(const Reading &other) const;
  // Whether the cells date to pulse hold the same texts as those of
  // `other`, and a hash of those texts that agrees with it: both from the
  // numbers held, without making a text.
  bool sameKeyCells(const Reading &other) const;
  size_t hashKeyCells(size_t seed = 0) const;

  // Sets a cell from the UTF-8 bytes of a file line: a canonical or empty
  // cell straight from the bytes, any other with the text `decode(bytes)`
  // gives (which must be the bytes' UTF-8 decoding).
  template <typename Decode> void setUtf8(int cell, QByteArrayView bytes, Decode &&decode) {
    if (!assignCanonicalUtf8(cell, bytes)) {
      storeText(cell, decode(bytes));
    }
  }
  // At most how many bytes writeUtf8 writes for the cell.
  qsizetype utf8SizeBound(int cell) const;
  // Writes the cell's UTF-8 text at `out`; returns the end of what it wrote.
  char *writeUtf8(int cell, char *out) const;

private:
  friend Reading MakeReadingFromValues(QDate date, int minutes, qint64 s, qint64 d, qint64 p);

  enum class Kind : quint8 { Empty = 0, Number = 1, Text = 2 };
  struct Texts {
    std::array<QString, kCellCount> cells;
  };

  Kind kind(int cell) const { return Kind((kinds_ >> (2 * cell)) & 3u); }
  void setKind(int cell, Kind k) {
    kinds_ = quint16((kinds_ & ~(3u << (2 * cell))) | (unsigned(k) << (2 * cell)));
  }
  qint64 valueOfOther(int cell) const;
  void assign(int cell, const QString &text);
  bool assignCanonicalUtf8(int cell, QByteArrayView bytes);
  void storeText(int cell, QString text);
  void dropText(int cell);
  void clearNumber(int cell);
  void reset();
  void copyNumbers(const Reading &other); // every member but the texts

  // 24 bytes: the numbers, which cells hold what, and the rare texts.
  qint32 day_ = 0;                 // Julian day of the date cell
  std::array<qint16, 3> values_{}; // systolic, diastolic, pulse
  quint16 minutes_ = 0;            // of the time cell
  quint16 kinds_ = 0;              // two bits of Kind per cell; 0: all empty
  quint8 class_ = 0;               // BpClass of the diagnosis sentence
  std::unique_ptr<Texts> texts_;   // cells held as text, or null
};

// A reading as "Ajouter" makes it: the date and time with the cells' masks,
// the three numbers, and DiagnosisSentence(s, d). An invalid date or a
// minute count outside one day gives an empty cell.
Reading MakeReadingFromValues(QDate date, int minutes, qint64 s, qint64 d, qint64 p);

// The column titles of the period lists, in cell order.
const std::array<QString, Reading::kCellCount> &ReadingColumnTitles();

} // namespace tl
