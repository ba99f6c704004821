#pragma once

#include <QString>
#include <array>

namespace tl {

// One self-measurement: six text cells, in file and column order.
struct Reading {
  enum Cell { Date = 0, Time = 1, Systolic = 2, Diastolic = 3, Pulse = 4, Diagnosis = 5 };
  static constexpr int kCellCount = 6;

  std::array<QString, kCellCount> cells;

  const QString &operator[](int cell) const { return cells[cell]; }
  QString &operator[](int cell) { return cells[cell]; }
  void set(int cell, const QString &text) { cells[cell] = text; }
  bool operator==(const Reading &other) const = default;
};

// The column titles of the period lists, in cell order.
const std::array<QString, Reading::kCellCount> &ReadingColumnTitles();

} // namespace tl
