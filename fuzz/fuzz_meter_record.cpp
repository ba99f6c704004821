// Any bytes as Blood Pressure Measurement values: reading one never
// crashes, a record is read only at the length its flags give (or one more,
// a user ID sent without its flag), and a reading read has a valid date and
// time, the meter's only from 2000 on and not ahead of its reception by more
// than the lead allowed. Split into records (a length byte before each), the
// import counts every record once: filed, duplicate, refused or another
// user's.
#include "measurements/period_list_model.h"
#include "meter/blood_pressure.h"
#include "meter/meter_import.h"

#include <QDateTime>
#include <QTimeZone>
#include <cstdint>
#include <cstdlib>

namespace {

const QDateTime kReceived(QDate(2026, 3, 2), QTime(7, 15), QTimeZone::utc());

void CheckOne(QByteArrayView value) {
  const tl::ParsedBloodPressure parsed = tl::ParseBloodPressureRecord(value);
  if (parsed.record) {
    const qsizetype length = tl::BloodPressureRecordLength(parsed.record->flags);
    if (value.size() != length + (parsed.record->userIdWithoutFlag ? 1 : 0)) {
      std::abort();
    }
  } else if (parsed.error.isEmpty()) {
    std::abort();
  }
  const tl::MeterReading reading = tl::ReadMeterRecord(value, kReceived);
  if (reading.ok()) {
    if (!parsed.record || !reading.date.isValid() || reading.minutes < 0 ||
        reading.minutes >= 24 * 60) {
      std::abort();
    }
    if (reading.meterClock &&
        (reading.date.year() < 2000 ||
         QDateTime(reading.date, QTime(reading.minutes / 60, reading.minutes % 60), Qt::UTC) >
             QDateTime(kReceived.toLocalTime().date(), kReceived.toLocalTime().time(), Qt::UTC)
                 .addSecs(tl::kMeterClockLeadSeconds))) {
      std::abort();
    }
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
  CheckOne(bytes);
  if (bytes.isEmpty()) {
    return 0;
  }
  const std::optional<quint8> user =
      quint8(bytes[0]) == 0 ? std::nullopt : std::optional<quint8>(quint8(bytes[0]));
  tl::PeriodLists lists;
  tl::MeterImport import(lists, user);
  qint64 records = 0;
  for (qsizetype at = 1; at < bytes.size();) {
    const qsizetype n = qMin<qsizetype>(quint8(bytes[at]), bytes.size() - at - 1);
    const QByteArrayView value = bytes.sliced(at + 1, n);
    CheckOne(value);
    import.add(value, kReceived.addSecs(60 * records));
    ++records;
    at += 1 + n;
  }
  const tl::ImportSink &done = import.finish();
  if (done.imported() + done.duplicates() + done.rejected() + import.otherUsers() != records ||
      done.summary().isEmpty()) {
    std::abort();
  }
  return 0;
}
