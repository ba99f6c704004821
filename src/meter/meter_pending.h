#pragma once

// A meter sends each stored record once: what a trial read (tensiolog-cli
// tensiometre --dry-run) received is kept in the data folder, so that the
// next real reading files it without a second transfer.

#include "common/file_io.h"
#include "meter/meter_import.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

namespace tl {

// "ARTL_Tensiometre_<patient>.txt" in `dataFolder` (a path ending in "/"),
// a kind of the patient store (MeterRecordsKind): archived and destroyed
// with the patient's lists, spared by the start-up clean-up.
QString PendingMeterRecordsPath(const QString &dataFolder, const QString &patient);
// Whether the patient's file holds records to file.
bool HasPendingMeterRecords(const QString &dataFolder, const QString &patient);

// The file: a count line, then two lines per record: the time the computer
// received it (ISO 8601 with its offset) and the record's bytes in
// hexadecimal. UTF-8, CR LF. Records whose lines cannot be read are skipped.
QByteArray SerializePendingMeterRecords(const QList<MeterIndication> &records);
QList<MeterIndication> ParsePendingMeterRecords(QByteArrayView bytes);

// The records kept at `path` (none when there is no file), then those of
// `received` that are not among them (a meter that sends them again sends
// the same bytes). `*error` tells a file that is there but cannot be read;
// `*kept` how many records came from the file.
QList<MeterIndication> WithPendingMeterRecords(const QString &path,
                                               const QList<MeterIndication> &received,
                                               FileError *error, qsizetype *kept = nullptr);

// After a real reading: once `filed` filed records (readings added, or
// already there) and its save left nothing unwritten, the kept file at
// `path` is done with and removed, as the command line does. Returns whether
// it was removed.
bool RemoveFiledMeterRecords(const QString &path, const ImportOutcome &filed);

} // namespace tl
