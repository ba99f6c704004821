// "tensiometre": the readings of a Bluetooth meter filed in a patient's
// lists, with the duplicate rules and the summary of "import".
#include "cli/command.h"
#include "common/error_text.h"
#include "common/file_io.h"
#include "common/paths.h"
#include "common/preferences_file.h"
#include "exchange/logbook_exchange.h"
#include "logbook/logbook.h"
#include "measurements/context_texts.h"
#include "meter/meter_import.h"
#include "meter/meter_pending.h"
#include "meter_link/meter_link.h"
#include "platform/instance_lock.h"

#include <QDir>
#include <QEventLoop>
#include <QRegularExpression>
#include <QTextStream>
#include <QTime>

#ifdef TENSIOLOG_HAS_BLUETOOTH
#include "bluetooth/bluetooth_meter_link.h"
#elif defined(TENSIOLOG_HAS_WIN_GATT)
#include "win_gatt/win_gatt_meter_link.h"
#endif

namespace tl {

namespace {

struct TensiometreOptions {
  Target target;
  QString meter;              // --appareil, in capitals; empty: the first found
  std::optional<quint8> user; // --utilisateur
  bool dryRun = false;
};

CommandDefinition Definition(TensiometreOptions &o) {
  return {
      QStringLiteral("tensiometre --patient NOM [OPTIONS]"),
      QStringLiteral("les relevés lus sur un tensiomètre Bluetooth, ajoutés à ceux d'un patient."),
      {PatientOption(o.target),
       CheckedOption(QStringLiteral("--appareil"), QStringLiteral("AA:BB:CC:DD:EE:FF"),
                     QStringLiteral("l'adresse du tensiomètre (par défaut : le\npremier trouvé)"),
                     QStringLiteral("Adresse invalide : %1 (attendu : AA:BB:CC:DD:EE:FF)."),
                     [&o](const QString &value) {
                       static const QRegularExpression address(
                           QStringLiteral("^[0-9A-Fa-f]{2}(:[0-9A-Fa-f]{2}){5}$"));
                       if (!address.match(value).hasMatch()) {
                         return false;
                       }
                       o.meter = value.toUpper();
                       return true;
                     }),
       CheckedOption(QStringLiteral("--utilisateur"), QStringLiteral("N"),
                     QStringLiteral("les mesures de l'utilisateur N du tensiomètre\nseulement"),
                     QStringLiteral("Utilisateur invalide : %1 (attendu : de 1 à 254)."),
                     [&o](const QString &value) {
                       bool ok = false;
                       const int user = value.toInt(&ok);
                       if (!ok || user < 1 || user > 254) {
                         return false;
                       }
                       o.user = quint8(user);
                       return true;
                     }),
       SwitchOption(QStringLiteral("--dry-run"),
                    QStringLiteral("lit le tensiomètre et affiche le bilan sans rien\n"
                                   "classer ; ce qu'il a envoyé (il ne l'envoie qu'une\n"
                                   "fois) est gardé pour la lecture suivante"),
                    &o.dryRun),
       FolderOption(o.target), ForceLockOption(o.target)},
      QStringLiteral("Tensiolog doit être fermé (sauf avec --dry-run).")};
}

// One line a record received: its date and time, its values and its flags,
// or why it gives no reading.
QString MeterRecordLine(const MeterIndication &indication) {
  const MeterReading r = ReadMeterRecord(indication.value, indication.received);
  if (!r.ok()) {
    return QStringLiteral("Mesure refusée : %1").arg(r.reason);
  }
  QString line = QStringLiteral("%1 %2 : %3/%4, pouls %5")
                     .arg(r.date.toString(kDateMask),
                          QTime(r.minutes / 60, r.minutes % 60).toString(QStringLiteral("hh:mm")))
                     .arg(r.systolic)
                     .arg(r.diastolic)
                     .arg(r.pulse);
  if (r.user) {
    line += QStringLiteral(", utilisateur %1").arg(*r.user);
  }
  if (!r.context.isEmpty()) {
    line += QStringLiteral(" : %1").arg(ContextSummary(r.context));
  }
  return line;
}

// Reads the meter at `address`, or the first one found when it is empty,
// until the link finishes; `*name` is the name it gave when found, else its
// address. Returns the error sentence, empty on success.
FileError ReadMeter(const QString &address, QList<MeterIndication> *records, QString *name) {
#ifdef TENSIOLOG_HAS_METER_LINK
#ifdef TENSIOLOG_HAS_BLUETOOTH
  BluetoothMeterLink link;
#else
  WinGattMeterLink link;
#endif
  QEventLoop loop;
  FileError error;
  bool reading = !address.isEmpty();
  *name = address;
  QObject::connect(&link, &MeterLink::meterFound, &loop,
                   [&](const QString &foundName, const QString &found) {
                     if (!reading) {
                       reading = true;
                       *name = foundName.isEmpty() ? found : foundName;
                       link.read(found);
                     } else if (found == address && !foundName.isEmpty()) {
                       *name = foundName;
                     }
                   });
  QObject::connect(&link, &MeterLink::measurementReceived, &loop,
                   [records](const QByteArray &value, const QDateTime &received) {
                     records->append({value, received});
                   });
  QObject::connect(&link, &MeterLink::finished, &loop, [&](bool ok, const FileError &why) {
    error = ok ? FileError() : why;
    loop.quit();
  });
  if (address.isEmpty()) {
    link.search();
  } else {
    link.read(address);
  }
  loop.exec();
  return error;
#else
  Q_UNUSED(address);
  Q_UNUSED(records);
  Q_UNUSED(name);
  return NoBluetoothFailure();
#endif
}

int Tensiometre(const TensiometreOptions &request, QTextStream &out, QTextStream &err) {
#ifndef TENSIOLOG_HAS_METER_LINK
  return Refuse({ErrorSentence(QString(), ReadMeter({}, nullptr, nullptr))}, err);
#endif
  // Taken before the meter is read: a meter sends its records once.
  PatientLogbook opened;
  if (const std::optional<int> refused =
          OpenForImport(request.target, request.dryRun, opened, err)) {
    return *refused;
  }
  Logbook &book = opened.book;

  // What a trial received before comes first: the meter does not send it
  // again. Its file is read before the meter too, so that a file that
  // cannot be read is refused while the meter still holds its records.
  const QString kept = PendingMeterRecordsPath(book.paths().dataFolder, book.patient());
  FileError keptError;
  WithPendingMeterRecords(kept, {}, &keptError);
  if (keptError) {
    return Refuse({ErrorSentence(QStringLiteral("Lecture impossible"), keptError)}, err);
  }
  QList<MeterIndication> received;
  QString meterName;
  const FileError meterError = ReadMeter(request.meter, &received, &meterName);
  const QList<MeterIndication> records = WithPendingMeterRecords(kept, received, &keptError);
  if (keptError) {
    return Refuse({ErrorSentence(QStringLiteral("Lecture impossible"), keptError)}, err);
  }
  if (meterError) {
    if (records.isEmpty()) {
      return Refuse({ErrorSentence(QString(), meterError)}, err);
    }
    out << ErrorSentence(QString(), meterError,
                         QStringLiteral(" ; les mesures gardées lors de l'essai sont classées"))
        << u'\n';
  }
  ImportOutcome imported = AppendMeterRecords(book, records, request.user, request.dryRun);
  SaveImport(book, imported);
  for (const MeterIndication &record : records) {
    out << MeterRecordLine(record) << u'\n';
  }
  if (const std::optional<int> refused =
          CheckImported(imported, QStringLiteral("Aucun relevé importable reçu du tensiomètre."),
                        book, opened.needsProfile, err)) {
    return *refused;
  }
  if (!request.dryRun) {
    QFile::remove(kept);        // filed now
    if (!meterName.isEmpty()) { // the meter is named in the patient's reports
      UpdatePreferencesFile(book.paths().preferencesFile, [&](Preferences &p) {
        KeepMeterName(p, book.patient(), meterName, QString());
      });
    }
    return PrintImported(imported, false, out);
  }
  PrintImported(imported, false, out);
  if (const FileError failed = WriteWholeFile(kept, SerializePendingMeterRecords(records))) {
    out << QStringLiteral("Essai : aucun relevé n'a été classé. Le tensiomètre n'envoie ses "
                          "mesures qu'une fois, et elles n'ont pas pu être gardées (%1) : "
                          "la prochaine lecture ne les recevra plus.")
               .arg(failed.text())
        << u'\n';
  } else {
    out << QStringLiteral("Essai : aucun relevé n'a été classé. Le tensiomètre n'envoie ses "
                          "mesures qu'une fois : ce qu'il a envoyé est gardé dans %1, et la "
                          "prochaine lecture sans --dry-run le classera.")
               .arg(ShownPath(kept))
        << u'\n';
  }
  return kCliOk;
}

} // namespace

int RunTensiometre(const QStringList &args, QTextStream &out, QTextStream &err) {
  return RunCommand(args, out, err, Definition, Tensiometre);
}

} // namespace tl
