#include "meter/sfloat.h"

#include <cmath>
#include <limits>

namespace tl {

Sfloat DecodeSfloat(quint16 raw) {
  switch (raw) {
  case 0x07FF:
    return {SfloatKind::NaN};
  case 0x0800:
    return {SfloatKind::NRes};
  case 0x07FE:
    return {SfloatKind::PlusInfinity};
  case 0x0802:
    return {SfloatKind::MinusInfinity};
  case 0x0801:
    return {SfloatKind::Reserved};
  default:
    break;
  }
  // Both parts sign-extended: the exponent from its 4 bits, the mantissa
  // from its 12.
  int exponent = raw >> 12;
  int mantissa = raw & 0x0FFF;
  if (exponent >= 8) {
    exponent -= 16;
  }
  if (mantissa >= 0x800) {
    mantissa -= 0x1000;
  }
  return {SfloatKind::Number, qint16(mantissa), qint8(exponent)};
}

double Sfloat::value() const {
  switch (kind) {
  case SfloatKind::Number:
    return mantissa * std::pow(10.0, exponent);
  case SfloatKind::PlusInfinity:
    return std::numeric_limits<double>::infinity();
  case SfloatKind::MinusInfinity:
    return -std::numeric_limits<double>::infinity();
  default:
    return std::numeric_limits<double>::quiet_NaN();
  }
}

std::optional<qint64> Sfloat::rounded(qint64 factor, int factorDigits) const {
  if (!isNumber()) {
    return std::nullopt;
  }
  // |mantissa| ≤ 2048 and factor ≤ 10^6 or so: the product and a scale of
  // at most 10^15 stay far inside 64 bits.
  qint64 n = qint64(mantissa) * factor;
  int scale = exponent - factorDigits;
  for (; scale > 0; --scale) {
    n *= 10;
  }
  if (scale == 0) {
    return n;
  }
  qint64 divisor = 1;
  for (; scale < 0; ++scale) {
    divisor *= 10;
  }
  const qint64 whole = n / divisor, rest = n % divisor; // both with the sign of n
  if (2 * (rest < 0 ? -rest : rest) >= divisor) {
    return whole + (n < 0 ? -1 : 1);
  }
  return whole;
}

} // namespace tl
