#pragma once

// The characteristics of the Bluetooth Blood Pressure Service (0x1810) as
// their values arrive: Blood Pressure Measurement 0x2A35 (a finished
// reading, indicated), Intermediate Cuff Pressure 0x2A36 (the same layout,
// notified while the cuff inflates) and Blood Pressure Feature 0x2A49.

#include "meter/sfloat.h"

#include <QByteArrayView>
#include <QString>
#include <optional>

namespace tl {

// The bits of the first byte of a 0x2A35 or 0x2A36 value.
enum BloodPressureFlag : quint8 {
  kFlagKPa = 0x01,       // pressures in kPa, else mmHg
  kFlagTimeStamp = 0x02, // a 7-byte date and time follows the pressures
  kFlagPulse = 0x04,     // a pulse rate (SFLOAT)
  kFlagUserId = 0x08,    // a user ID byte
  kFlagStatus = 0x10,    // a 16-bit measurement status
};

// The bits of the measurement status.
enum MeasurementStatusBit : quint16 {
  kStatusBodyMovement = 0x0001,
  kStatusCuffTooLoose = 0x0002,
  kStatusIrregularPulse = 0x0004,
  kStatusPulseRange = 0x0018, // 0 within, 1 above the upper limit, 2 below the lower, 3 reserved
  kStatusImproperPosition = 0x0020,
  kStatusDefined = 0x003F, // the bits above; the others are reserved
};

// The user ID of an unknown user (a guest).
inline constexpr quint8 kUnknownMeterUser = 255;

// The Date Time fields of a time stamp, as sent: year 0, month 0 or day 0
// mean unknown.
struct MeterDateTime {
  int year = 0, month = 0, day = 0, hours = 0, minutes = 0, seconds = 0;
  bool operator==(const MeterDateTime &) const = default;
};

// One 0x2A35 (or 0x2A36) value, its fields as sent.
struct BloodPressureRecord {
  quint8 flags = 0;
  Sfloat systolic, diastolic, meanArterial; // for 0x2A36: the cuff pressure, NaN, NaN
  std::optional<MeterDateTime> timeStamp;
  std::optional<Sfloat> pulse;
  std::optional<quint8> userId;
  std::optional<quint16> status;
  // The user ID byte came without its flag (see ParseBloodPressureRecord).
  bool userIdWithoutFlag = false;
  // A field read in big-endian order (see ParseBloodPressureRecord).
  bool yearSwapped = false, statusSwapped = false;

  bool kPa() const { return (flags & kFlagKPa) != 0; }
};

// The length a value with these flags has: 7 bytes of flags and pressures,
// then 7 for the time stamp, 2 for the pulse, 1 for the user ID and 2 for
// the status, each when its flag is set.
qsizetype BloodPressureRecordLength(quint8 flags);

struct ParsedBloodPressure {
  std::optional<BloodPressureRecord> record;
  QString error; // why the bytes are no record: "relevé tronqué", "relevé trop long"
};

// Reads the fields of a 0x2A35 or 0x2A36 value; the length must be the one
// its flags give. Meters seen in the field stray from the layout in two
// ways, and what can be read without guessing is:
//  - one byte more than the flags allow, with neither the user ID nor the
//    status flag set: that last byte is the user ID sent without its flag
//    (its place, after the pulse, is then the end). With the status flag
//    set the extra byte could stand before or after the status, so such a
//    record is refused rather than its status read from the wrong bytes;
//  - a field sent big-endian: a year that is no year little-endian (outside
//    1582..9999) but one of 2000..2099 swapped is read swapped; a status
//    with reserved bits only, whose bytes swapped give defined bits only, is
//    read swapped. Pressures and pulse are never swapped: a pressure sent
//    big-endian reads as no plausible value and the record is refused.
ParsedBloodPressure ParseBloodPressureRecord(QByteArrayView value);

// The cuff pressure of a 0x2A36 value in mmHg (rounded as readings are),
// or null when the value gives none.
std::optional<qint64> IntermediateCuffPressure(QByteArrayView value);

// What a meter says it detects (0x2A49, 16 bits little-endian).
struct BloodPressureFeatures {
  bool bodyMovement = false, cuffFit = false, irregularPulse = false, pulseRange = false,
       position = false, multipleBonds = false;
  bool operator==(const BloodPressureFeatures &) const = default;
};
// Null when the value is shorter than 2 bytes.
std::optional<BloodPressureFeatures> ParseBloodPressureFeatures(QByteArrayView value);

// A pressure of the record in mmHg: kPa × 7.50062, rounded half away from
// zero (mmHg values with a fraction rounded likewise). Null for a special
// value.
std::optional<qint64> PressureInMmHg(const Sfloat &pressure, bool kPa);

} // namespace tl
