#include "meter/meter_pending.h"

#include "logbook/patient_store.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace tl {

namespace {

// A meter holds a few hundred records; a file larger than this is not ours.
constexpr qint64 kMaxPendingBytes = qint64(4) << 20;

} // namespace

QString PendingMeterRecordsPath(const QString &dataFolder, const QString &patient) {
  return dataFolder + MeterRecordsKind().fileName(patient);
}

bool HasPendingMeterRecords(const QString &dataFolder, const QString &patient) {
  FileError error;
  qsizetype kept = 0;
  WithPendingMeterRecords(PendingMeterRecordsPath(dataFolder, patient), {}, &error, &kept);
  return kept > 0;
}

QByteArray SerializePendingMeterRecords(const QList<MeterIndication> &records) {
  QByteArray out = QByteArray::number(records.size()) + "\r\n";
  for (const MeterIndication &r : records) {
    out += r.received.toString(Qt::ISODateWithMs).toUtf8() + "\r\n" + r.value.toHex() + "\r\n";
  }
  return out;
}

QList<MeterIndication> ParsePendingMeterRecords(QByteArrayView bytes) {
  QList<QByteArrayView> lines;
  for (qsizetype at = 0; at < bytes.size();) {
    qsizetype end = at;
    while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') {
      ++end;
    }
    lines.append(bytes.sliced(at, end - at));
    at = end + (end + 1 < bytes.size() && bytes[end] == '\r' && bytes[end + 1] == '\n' ? 2 : 1);
  }
  QList<MeterIndication> records;
  // Every pair of whole lines after the count line, whatever that says.
  for (qsizetype i = 1; i + 1 < lines.size(); i += 2) {
    const QDateTime received =
        QDateTime::fromString(QString::fromLatin1(lines[i].trimmed()), Qt::ISODateWithMs);
    const QByteArray hex = lines[i + 1].trimmed().toByteArray();
    const QByteArray value = QByteArray::fromHex(hex);
    if (received.isValid() && !value.isEmpty() && value.toHex() == hex.toLower()) {
      records.append({value, received});
    }
  }
  return records;
}

QList<MeterIndication> WithPendingMeterRecords(const QString &path,
                                               const QList<MeterIndication> &received,
                                               FileError *error, qsizetype *kept) {
  QList<MeterIndication> all;
  *error = {};
  if (kept) {
    *kept = 0;
  }
  if (QFileInfo::exists(path) || QFileInfo(path).isSymLink()) {
    QByteArray bytes;
    if (const FileError failed = ReadWholeFile(path, kMaxPendingBytes, &bytes)) {
      *error = failed;
      return received;
    }
    all = ParsePendingMeterRecords(bytes);
  }
  const qsizetype fromFile = all.size();
  if (kept) {
    *kept = fromFile;
  }
  for (const MeterIndication &r : received) {
    const auto same = [&r](const MeterIndication &k) { return k.value == r.value; };
    if (std::none_of(all.cbegin(), all.cbegin() + fromFile, same)) {
      all.append(r);
    }
  }
  return all;
}

bool RemoveFiledMeterRecords(const QString &path, const ImportOutcome &filed) {
  const bool saved = filed.saved.failed.isEmpty() && !filed.saved.contextError;
  return filed.imported + filed.duplicates > 0 && saved && QFile::remove(path);
}

} // namespace tl
