#include "measurements/parse.h"

#include <limits>

namespace tl {

qint64 ParseLeadingInteger(QStringView text, bool *found) {
  qsizetype i = 0;
  const qsizetype n = text.size();
  while (i < n && (text[i] == u' ' || text[i] == u'\t')) {
    ++i;
  }
  bool negative = false;
  if (i < n && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  int base = 10;
  if (i < n && text[i] == u'$') {
    base = 16;
    ++i;
  } else if (i < n && text[i] == u'%') {
    base = 2;
    ++i;
  }
  // Accumulate the magnitude as unsigned; stop growing once past the limit.
  const quint64 limit = negative ? quint64(std::numeric_limits<qint64>::max()) + 1
                                 : quint64(std::numeric_limits<qint64>::max());
  quint64 value = 0;
  bool saturated = false;
  const qsizetype firstDigit = i;
  for (; i < n; ++i) {
    const char16_t c = text[i].unicode();
    int digit;
    if (c >= u'0' && c <= u'9') {
      digit = c - u'0';
    } else if (base == 16 && c >= u'a' && c <= u'f') {
      digit = c - u'a' + 10;
    } else if (base == 16 && c >= u'A' && c <= u'F') {
      digit = c - u'A' + 10;
    } else {
      break;
    }
    if (digit >= base) {
      break;
    }
    if (!saturated) {
      if (value > (limit - quint64(digit)) / quint64(base)) {
        saturated = true;
        value = limit;
      } else {
        value = value * quint64(base) + quint64(digit);
      }
    }
  }
  if (found) {
    *found = i > firstDigit;
  }
  if (negative) {
    return value == quint64(std::numeric_limits<qint64>::max()) + 1
               ? std::numeric_limits<qint64>::min()
               : -qint64(value);
  }
  return qint64(value);
}

qint64 SaturatingAdd(qint64 a, qint64 b) {
  constexpr qint64 kMax = std::numeric_limits<qint64>::max();
  constexpr qint64 kMin = std::numeric_limits<qint64>::min();
  if (b > 0 && a > kMax - b) {
    return kMax;
  }
  if (b < 0 && a < kMin - b) {
    return kMin;
  }
  return a + b;
}

} // namespace tl
