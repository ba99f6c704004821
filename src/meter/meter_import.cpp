#include "meter/meter_import.h"

#include "common/wall_clock.h"
#include "logbook/logbook.h"
#include "meter/blood_pressure.h"

#include <QTime>

namespace tl {

namespace {

// Why a pressure or the pulse gives no number, by the special value sent.
QString SpecialReason(SfloatKind kind, const char *name, bool feminine) {
  const QString n = QString::fromLatin1(name);
  switch (kind) {
  case SfloatKind::NaN:
    return n + (feminine ? QStringLiteral(" non mesurée") : QStringLiteral(" non mesuré"));
  case SfloatKind::NRes:
    return n + QStringLiteral(" hors de la résolution du tensiomètre");
  case SfloatKind::PlusInfinity:
    return n + QStringLiteral(" au-delà de la plage du tensiomètre");
  case SfloatKind::MinusInfinity:
    return n + QStringLiteral(" en deçà de la plage du tensiomètre");
  default:
    return n + QStringLiteral(" illisible");
  }
}

// The status reports that have no flag of their own, as sentences of the note.
QStringList StatusNotes(quint16 status) {
  QStringList notes;
  switch ((status & kStatusPulseRange) >> 3) {
  case 1:
    notes << QStringLiteral("Pouls au-dessus de la plage du tensiomètre.");
    break;
  case 2:
    notes << QStringLiteral("Pouls au-dessous de la plage du tensiomètre.");
    break;
  default:
    break;
  }
  if (status & kStatusImproperPosition) {
    notes << QStringLiteral("Position de mesure incorrecte selon le tensiomètre.");
  }
  return notes;
}

// Whether the meter's clock shows the time it restarts from once its
// batteries were taken out: 01/01/2000 00:00 or 01/01/2010 00:00, the
// seconds whatever they are. Such a date is no date the reading was taken.
bool IsResetClock(const MeterDateTime &at) {
  return (at.year == 2000 || at.year == 2010) && at.month == 1 && at.day == 1 && at.hours == 0 &&
         at.minutes == 0;
}

// The meter's date and time when they are a valid date and time of 2000 or
// later, not the reset clock, at most kMeterClockLeadSeconds after the
// reception. Both are local
// times; they are compared as they read, without a time zone, so that a
// change of daylight saving time between them changes nothing.
std::optional<std::pair<QDate, QTime>> PlausibleMeterTime(const MeterDateTime &at,
                                                          const QDateTime &received) {
  const QDate date(at.year, at.month, at.day);
  const QTime time(at.hours, at.minutes, at.seconds);
  if (at.year < 2000 || !date.isValid() || !time.isValid() || IsResetClock(at)) {
    return std::nullopt;
  }
  if (received.isValid()) {
    const QDateTime local = ComputerWallClock(received);
    const QDateTime reception(local.date(), local.time(), Qt::UTC);
    if (QDateTime(date, time, Qt::UTC) > reception.addSecs(kMeterClockLeadSeconds)) {
      return std::nullopt;
    }
  }
  return std::pair{date, time};
}

} // namespace

QString MeterClockNotUsedNote() {
  return QStringLiteral("Heure de réception : l'horloge du tensiomètre n'a pas été utilisée.");
}

MeterReading ReadMeterRecord(QByteArrayView value, const QDateTime &received) {
  MeterReading reading;
  const ParsedBloodPressure parsed = ParseBloodPressureRecord(value);
  if (!parsed.record) {
    reading.reason = parsed.error;
    return reading;
  }
  const BloodPressureRecord &r = *parsed.record;
  reading.user = r.userId;
  const quint16 status = r.status.value_or(0);
  reading.context.set(ContextFlag::Irregular, status & kStatusIrregularPulse);
  reading.context.set(ContextFlag::Movement, status & kStatusBodyMovement);
  reading.context.set(ContextFlag::CuffMisplaced, status & kStatusCuffTooLoose);

  // A meter showing "Err" sends NaN pressures, often without a status bit.
  if (r.systolic.kind == SfloatKind::NaN && r.diastolic.kind == SfloatKind::NaN) {
    reading.reason = QStringLiteral("mesure en erreur sur le tensiomètre");
    if (reading.context.flags != 0) {
      reading.reason += QStringLiteral(" (") + reading.context.flagsText() + u')';
    }
    return reading;
  }
  const std::optional<qint64> s = PressureInMmHg(r.systolic, r.kPa());
  const std::optional<qint64> d = PressureInMmHg(r.diastolic, r.kPa());
  const std::optional<qint64> p = r.pulse ? r.pulse->rounded() : std::nullopt;
  if (!s) {
    reading.reason = SpecialReason(r.systolic.kind, "systolique", true);
  } else if (!d) {
    reading.reason = SpecialReason(r.diastolic.kind, "diastolique", true);
  } else if (!r.pulse) {
    reading.reason = QStringLiteral("pouls absent");
  } else if (!p) {
    reading.reason = SpecialReason(r.pulse->kind, "pouls", false);
  }
  if (!reading.ok()) {
    return reading;
  }
  reading.systolic = *s;
  reading.diastolic = *d;
  reading.pulse = *p;

  QStringList notes;
  std::optional<std::pair<QDate, QTime>> when;
  if (r.timeStamp) {
    when = PlausibleMeterTime(*r.timeStamp, received);
  }
  reading.meterClock = when.has_value();
  if (!when) {
    if (!received.isValid()) {
      reading.reason = QStringLiteral("date et heure illisibles");
      return reading;
    }
    const QDateTime local = ComputerWallClock(received);
    when = std::pair{local.date(), local.time()};
    notes << MeterClockNotUsedNote();
  }
  reading.date = when->first;
  reading.minutes = when->second.hour() * 60 + when->second.minute();
  notes += StatusNotes(status);
  reading.context.note = CleanNote(notes.join(u' '));
  return reading;
}

MeterImport::MeterImport(const PeriodLists &existing, std::optional<quint8> user)
    : import_(existing), user_(user) {}

MeterReading MeterImport::add(QByteArrayView value, const QDateTime &received) {
  MeterReading reading = ReadMeterRecord(value, received);
  const QString place = QStringLiteral("relevé %1").arg(++records_);
  if (OfOtherMeterUser(reading, user_)) {
    reading.otherUser = true;
    ++otherUsers_;
    return reading;
  }
  if (!reading.ok()) {
    import_.reject(place, reading.reason);
    return reading;
  }
  const qint64 rejected = import_.rejected();
  const qint64 duplicates = import_.duplicates();
  import_.addReading(reading.date, reading.minutes, reading.systolic, reading.diastolic,
                     reading.pulse, place, reading.context);
  if (import_.rejected() != rejected) {
    reading.reason = import_.lastRejection();
    return reading;
  }
  reading.duplicate = import_.duplicates() != duplicates;
  if (!reading.meterClock) {
    ++receptionDated_;
  }
  return reading;
}

ImportSink &MeterImport::finish() {
  if (!finished_) {
    finished_ = true;
    if (otherUsers_ > 0) {
      import_.addNote(otherUsers_ == 1
                          ? QStringLiteral("1 relevé d'un autre utilisateur du tensiomètre ignoré.")
                          : QStringLiteral("%1 relevés d'un autre utilisateur du tensiomètre "
                                           "ignorés.")
                                .arg(otherUsers_));
    }
    if (receptionDated_ > 0) {
      import_.addNote(receptionDated_ == 1
                          ? QStringLiteral("1 relevé daté à sa réception : l'horloge du "
                                           "tensiomètre n'a pas été utilisée.")
                          : QStringLiteral("%1 relevés datés à leur réception : l'horloge du "
                                           "tensiomètre n'a pas été utilisée.")
                                .arg(receptionDated_));
    }
  }
  return import_;
}

ImportOutcome AppendMeterRecords(Logbook &book, std::span<const MeterIndication> records,
                                 std::optional<quint8> user, bool dryRun) {
  MeterImport meter(book.lists(), user);
  for (const MeterIndication &record : records) {
    meter.add(record);
  }
  ImportSink &import = meter.finish();
  ImportOutcome outcome;
  FinishImport(book, import, dryRun, outcome);
  return outcome;
}

} // namespace tl
