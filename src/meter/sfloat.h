#pragma once

// IEEE 11073-20601 SFLOAT, the 16-bit number of the health-device
// characteristics: a 4-bit signed exponent over a 12-bit signed mantissa,
// value = mantissa × 10^exponent, and five reserved bit patterns.

#include <QtGlobal>
#include <optional>

namespace tl {

enum class SfloatKind : quint8 {
  Number,
  NaN,           // 0x07FF: not a number (no value measured)
  NRes,          // 0x0800: not at this resolution
  PlusInfinity,  // 0x07FE
  MinusInfinity, // 0x0802
  Reserved,      // 0x0801: reserved for future use
};

struct Sfloat {
  SfloatKind kind = SfloatKind::NaN;
  qint16 mantissa = 0; // -2048..2047
  qint8 exponent = 0;  // -8..7

  bool isNumber() const { return kind == SfloatKind::Number; }
  double value() const; // a NaN or an infinity for the special values
  // The number rounded to an integer, half away from zero, exactly (in
  // decimal, without a binary fraction in between), after multiplying it
  // by factor / 10^factorDigits: 7.50062 is (750062, 5). Null for a
  // special value.
  std::optional<qint64> rounded(qint64 factor = 1, int factorDigits = 0) const;
  bool operator==(const Sfloat &) const = default;
};

// The number of the 16 bits, the special values included.
Sfloat DecodeSfloat(quint16 raw);

} // namespace tl
