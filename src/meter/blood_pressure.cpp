#include "meter/blood_pressure.h"

namespace tl {

namespace {

constexpr qint64 kMmHgPerKPa = 750062; // 7.50062, with 5 decimals
constexpr int kMmHgPerKPaDigits = 5;

quint16 Little16(QByteArrayView bytes, qsizetype at) {
  return quint16(quint8(bytes[at]) | (quint8(bytes[at + 1]) << 8));
}

quint16 Swapped(quint16 v) { return quint16((v >> 8) | (v << 8)); }

} // namespace

qsizetype BloodPressureRecordLength(quint8 flags) {
  return 7 + ((flags & kFlagTimeStamp) ? 7 : 0) + ((flags & kFlagPulse) ? 2 : 0) +
         ((flags & kFlagUserId) ? 1 : 0) + ((flags & kFlagStatus) ? 2 : 0);
}

ParsedBloodPressure ParseBloodPressureRecord(QByteArrayView value) {
  if (value.isEmpty()) {
    return {std::nullopt, QStringLiteral("relevé vide")};
  }
  BloodPressureRecord r;
  r.flags = quint8(value[0]);
  const qsizetype expected = BloodPressureRecordLength(r.flags);
  if (value.size() < expected) {
    return {std::nullopt, QStringLiteral("relevé tronqué")};
  }
  if (value.size() > expected) {
    r.userIdWithoutFlag =
        value.size() == expected + 1 && (r.flags & (kFlagUserId | kFlagStatus)) == 0;
    if (!r.userIdWithoutFlag) {
      return {std::nullopt, QStringLiteral("relevé trop long")};
    }
  }
  qsizetype at = 1;
  const auto sfloat = [&] {
    const Sfloat f = DecodeSfloat(Little16(value, at));
    at += 2;
    return f;
  };
  r.systolic = sfloat();
  r.diastolic = sfloat();
  r.meanArterial = sfloat();
  if (r.flags & kFlagTimeStamp) {
    quint16 year = Little16(value, at);
    if ((year < 1582 || year > 9999) && Swapped(year) >= 2000 && Swapped(year) <= 2099) {
      year = Swapped(year);
      r.yearSwapped = true;
    }
    r.timeStamp = MeterDateTime{year,
                                quint8(value[at + 2]),
                                quint8(value[at + 3]),
                                quint8(value[at + 4]),
                                quint8(value[at + 5]),
                                quint8(value[at + 6])};
    at += 7;
  }
  if (r.flags & kFlagPulse) {
    r.pulse = sfloat();
  }
  if ((r.flags & kFlagUserId) || r.userIdWithoutFlag) {
    r.userId = quint8(value[at]);
    at += 1;
  }
  if (r.flags & kFlagStatus) {
    quint16 status = Little16(value, at);
    if ((status & kStatusDefined) == 0 && status != 0 && (Swapped(status) & ~kStatusDefined) == 0) {
      status = Swapped(status);
      r.statusSwapped = true;
    }
    r.status = status;
  }
  return {r, {}};
}

std::optional<qint64> PressureInMmHg(const Sfloat &pressure, bool kPa) {
  return kPa ? pressure.rounded(kMmHgPerKPa, kMmHgPerKPaDigits) : pressure.rounded();
}

std::optional<qint64> IntermediateCuffPressure(QByteArrayView value) {
  const ParsedBloodPressure parsed = ParseBloodPressureRecord(value);
  if (!parsed.record) {
    return std::nullopt;
  }
  return PressureInMmHg(parsed.record->systolic, parsed.record->kPa());
}

std::optional<BloodPressureFeatures> ParseBloodPressureFeatures(QByteArrayView value) {
  if (value.size() < 2) {
    return std::nullopt;
  }
  const quint16 bits = Little16(value, 0);
  BloodPressureFeatures f;
  f.bodyMovement = bits & 0x0001;
  f.cuffFit = bits & 0x0002;
  f.irregularPulse = bits & 0x0004;
  f.pulseRange = bits & 0x0008;
  f.position = bits & 0x0010;
  f.multipleBonds = bits & 0x0020;
  return f;
}

} // namespace tl
