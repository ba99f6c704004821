#include "cli/cli.h"

#include "common/file_batch.h"
#include "common/file_io.h"
#include "common/identity.h"
#include "common/paths.h"
#include "common/patient_name.h"
#include "common/preferences_file.h"
#include "exchange/import_format.h"
#include "logbook/logbook.h"
#include "logbook/patient_file.h"
#include "logbook/workflows.h"
#include "measurements/context_texts.h"
#include "meter/meter_import.h"
#include "meter/meter_pending.h"
#include "meter_link/meter_link.h"
#include "platform/clock.h"
#include "platform/instance_lock.h"
#include "platform/profile.h"
#include "reports/doctor_report.h"
#include "reports/report_files.h"
#include "reports/series_form.h"
#include "series/report_data.h"
#include "series/series.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QTextStream>
#include <QTime>
#include <memory>
#include <optional>

#ifdef TENSIOLOG_HAS_BLUETOOTH
#include "bluetooth/bluetooth_meter_link.h"
#endif

namespace tl {

namespace {

const QString kDateMask = QStringLiteral("dd/MM/yyyy");

const char kHelp[] =
    "Utilisation : tensiolog-cli COMMANDE [OPTIONS]\n"
    "\n"
    "Commandes :\n"
    "  releve   le relevé d'automesure d'un patient : les mesures retenues, les\n"
    "           moyennes et la comparaison au seuil de 135/85 mmHg\n"
    "  rapport  le rapport pour le médecin : les statistiques de chaque période\n"
    "           et toutes les mesures d'une plage de dates, en PDF\n"
    "  export   les relevés d'un patient dans un fichier CSV ou FHIR (JSON)\n"
    "  import   les relevés d'un fichier CSV, FHIR (JSON) ou Apple Santé (export.xml\n"
    "           ou son zip) ajoutés à ceux d'un patient\n"
    "  remarque une remarque ou l'indicateur « pouls irrégulier » d'un relevé\n"
    "  tensiometre  les relevés lus sur un tensiomètre Bluetooth, ajoutés à ceux\n"
    "           d'un patient\n"
    "\n"
    "Options de releve :\n"
    "  --patient NOM             le patient (obligatoire)\n"
    "  --protocole regle223|regle3|esh7\n"
    "                            règle des 2-2-3, règle des 3 ou protocole européen\n"
    "                            (par défaut : celui choisi pour le patient dans la\n"
    "                            fenêtre du relevé, sinon la règle des 2-2-3)\n"
    "  --matin-des HH:MM         pour cette fois, la séance du matin commence à cette\n"
    "                            heure, de 04:00 à 06:01 (par défaut : l'heure\n"
    "                            choisie pour le patient, sinon 06:01)\n"
    "  --soir-jusqua HH:MM       pour cette fois, la séance du soir finit à cette\n"
    "                            heure, de 23:59 à 01:59 le lendemain (par défaut :\n"
    "                            l'heure choisie pour le patient, sinon 23:59)\n"
    "  --debut JJ/MM/AAAA        premier jour du relevé (par défaut : le relevé se\n"
    "                            termine le dernier jour mesuré) ; avec esh7, le\n"
    "                            jour 1 est le premier jour mesuré dès cette date\n"
    "  --pdf FICHIER             écrit aussi la fiche remplie en PDF\n"
    "  --json                    un objet JSON au lieu du texte\n"
    "  --dossier DOSSIER         un autre dossier de données que celui du profil\n"
    "\n"
    "Options de rapport :\n"
    "  --patient NOM             le patient (obligatoire)\n"
    "  --du JJ/MM/AAAA           premier jour (par défaut : les 30 jours qui\n"
    "                            finissent le dernier jour mesuré)\n"
    "  --au JJ/MM/AAAA           dernier jour\n"
    "  --pdf FICHIER             le rapport écrit en PDF (obligatoire)\n"
    "  --json                    un objet JSON au lieu du texte\n"
    "  --dossier DOSSIER         un autre dossier de données que celui du profil\n"
    "\n"
    "Options de export :\n"
    "  --patient NOM             le patient (obligatoire)\n"
    "  --format csv|fhir         le format du fichier (obligatoire)\n"
    "  --fhir-type collection|transaction\n"
    "                            FHIR : un Bundle à lire (collection, par défaut)\n"
    "                            ou une transaction à envoyer à un serveur, qui ne\n"
    "                            crée que les relevés qu'il n'a pas encore\n"
    "  --du JJ/MM/AAAA           premier jour exporté\n"
    "  --au JJ/MM/AAAA           dernier jour exporté\n"
    "  -o FICHIER                le fichier écrit (obligatoire)\n"
    "  --dossier DOSSIER         un autre dossier de données que celui du profil\n"
    "\n"
    "Utilisation de import : tensiolog-cli import --patient NOM FICHIER [OPTIONS]\n"
    "  --patient NOM             le patient (obligatoire) ; un nom encore inconnu\n"
    "                            reçoit une fiche dans la liste des patients\n"
    "  FICHIER                   le fichier lu : un CSV, dont les colonnes sont\n"
    "                            reconnues comme dans la fenêtre d'importation ; un\n"
    "                            fichier FHIR (JSON : un Bundle ou une Observation) ;\n"
    "                            l'export.xml d'Apple Santé ou son zip\n"
    "  --colonnes ROLE=COLONNE,...  le rôle des colonnes, par leur numéro (à partir\n"
    "                            de 1) ou leur nom ; rôles : date, heure, dateheure,\n"
    "                            systolique, diastolique, pouls, periode, fuseau,\n"
    "                            remarque, pouls-irregulier\n"
    "  --ordre-dates jm|mj       dates comme 01/02/2026 lues jour/mois ou mois/jour\n"
    "                            (par défaut : l'ordre que donnent les dates du fichier)\n"
    "  --dry-run                 lit le fichier et affiche le bilan sans rien écrire\n"
    "  --dossier DOSSIER         un autre dossier de données que celui du profil\n"
    "  --forcer-verrou           passe outre le verrou d'un autre ordinateur où\n"
    "                            Tensiolog s'est arrêté sans se fermer\n"
    "  Tensiolog doit être fermé pendant l'importation (sauf avec --dry-run).\n"
    "\n"
    "Utilisation de remarque : tensiolog-cli remarque --patient NOM --date JJ/MM/AAAA\n"
    "                          --heure HH:MM [--texte T] [--pouls-irregulier oui|non]\n"
    "  annote le relevé de cette date et de cette heure : la remarque (200 caractères\n"
    "  au plus ; --texte \"\" l'efface) et l'indicateur « pouls irrégulier » ;\n"
    "  --dossier DOSSIER, --forcer-verrou comme ci-dessus. Tensiolog doit être fermé.\n"
    "\n"
    "Utilisation de tensiometre : tensiolog-cli tensiometre --patient NOM [OPTIONS]\n"
    "  --appareil AA:BB:CC:DD:EE:FF  l'adresse du tensiomètre (par défaut : le\n"
    "                            premier trouvé)\n"
    "  --utilisateur N           les mesures de l'utilisateur N du tensiomètre\n"
    "                            seulement\n"
    "  --dry-run                 lit le tensiomètre et affiche le bilan sans rien\n"
    "                            classer ; ce qu'il a envoyé (il ne l'envoie qu'une\n"
    "                            fois) est gardé pour la lecture suivante\n"
    "  --dossier DOSSIER, --forcer-verrou comme ci-dessus. Tensiolog doit être fermé\n"
    "  (sauf avec --dry-run).\n"
    "\n"
    "Tensiolog n'est pas un dispositif médical : seul votre médecin peut interpréter\n"
    "ces mesures.\n";

// The part of the help about `command`: its usage and its options; empty
// for a command the help does not name.
QString CommandHelp(const QString &command) {
  const QString help = QString::fromUtf8(kHelp);
  const QStringList blocks = help.split(QStringLiteral("\n\n"));
  for (const QString &block : blocks) {
    if (block.startsWith(QStringLiteral("Options de %1 :").arg(command))) {
      return QStringLiteral("Utilisation : tensiolog-cli %1 [OPTIONS]\n%2\n").arg(command, block);
    }
    if (block.startsWith(QStringLiteral("Utilisation de %1 :").arg(command))) {
      return block + u'\n';
    }
  }
  return {};
}

// A failed request: the sentence for the error stream.
struct Refusal {
  QString message;
};

struct Request {
  QString patient;
  std::optional<Protocol> protocol; // releve: --protocole; the patient's own without it
  std::optional<int> morningStart;  // releve: --matin-des, in minutes
  std::optional<int> eveningEnd;    // releve: --soir-jusqua, past 24:00 for the next day
  std::optional<QDate> start, from, to;
  bool json = false;
  QString folder;
  QString format;
  QString fhirType; // export: "collection" (when empty) or "transaction"
  QString output;
  QString pdf;
  QString input; // import: the file read
  bool dryRun = false;
  bool forceLock = false; // --forcer-verrou: replaces the lock of another computer
  QString columns;        // import: --colonnes as written
  std::optional<DateOrder> dateOrder;
  std::optional<QDate> date;     // remarque: the reading's day
  QString time;                  // remarque: its time, hh:mm
  std::optional<QString> note;   // remarque: --texte
  std::optional<bool> irregular; // remarque: --pouls-irregulier
  QString meter;                 // tensiometre: --appareil
  std::optional<quint8> user;    // tensiometre: --utilisateur
};

std::optional<Refusal> ParseDate(const QString &value, std::optional<QDate> *date) {
  const QDate parsed = QDate::fromString(value, kDateMask);
  if (!parsed.isValid() || parsed.toString(kDateMask) != value) {
    return Refusal{QStringLiteral("Date invalide : %1 (attendu : JJ/MM/AAAA).").arg(value)};
  }
  *date = parsed;
  return std::nullopt;
}

// Minutes since midnight of "HH:MM"; none for anything else.
std::optional<int> ParseClock(const QString &value) {
  const QTime time = QTime::fromString(value, QStringLiteral("hh:mm"));
  if (!time.isValid() || value.size() != 5) {
    return std::nullopt;
  }
  return time.hour() * 60 + time.minute();
}

// Refuses an output file (-o, --pdf) that is not safe to write.
std::optional<Refusal> CheckOutput(const QString &option, const QString &path,
                                   const Request &request);

// The options of a command; `allowed` names those it takes (all but
// --json and --dry-run take a value), and "FICHIER" the one file named
// without an option.
std::optional<Refusal> ParseOptions(const QStringList &args, const QStringList &allowed,
                                    Request *request) {
  for (qsizetype i = 1; i < args.size(); ++i) {
    const QString &option = args[i];
    if (allowed.contains(u"FICHIER") && request->input.isEmpty() && !option.startsWith(u'-')) {
      request->input = option;
      continue;
    }
    if (!allowed.contains(option)) {
      return Refusal{QStringLiteral("Option inconnue : %1.").arg(option)};
    }
    if (option == u"--json") {
      request->json = true;
      continue;
    }
    if (option == u"--dry-run") {
      request->dryRun = true;
      continue;
    }
    if (option == u"--forcer-verrou") {
      request->forceLock = true;
      continue;
    }
    // Another option in the place of the value: the value was left out (a
    // note may say anything).
    if (i + 1 >= args.size() ||
        (option != u"--texte" && args[i + 1].startsWith(QStringLiteral("--")))) {
      return Refusal{QStringLiteral("L'option %1 demande une valeur.").arg(option)};
    }
    const QString value = args[++i];
    std::optional<Refusal> refused;
    if (option == u"--patient") {
      request->patient = TypedPatientName(value);
    } else if (option == u"--dossier") {
      request->folder = value;
    } else if (option == u"-o") {
      request->output = value;
    } else if (option == u"--pdf") {
      request->pdf = value;
    } else if (option == u"--format") {
      if (value != u"csv" && value != u"fhir") {
        return Refusal{QStringLiteral("Format inconnu : %1 (csv ou fhir).").arg(value)};
      }
      request->format = value;
    } else if (option == u"--fhir-type") {
      if (value != u"collection" && value != u"transaction") {
        return Refusal{
            QStringLiteral("Type de Bundle inconnu : %1 (collection ou transaction).").arg(value)};
      }
      request->fhirType = value;
    } else if (option == u"--protocole") {
      const std::optional<Protocol> protocol = ProtocolFromKey(value);
      if (!protocol) {
        return Refusal{
            QStringLiteral("Protocole inconnu : %1 (regle223, regle3 ou esh7).").arg(value)};
      }
      request->protocol = *protocol;
    } else if (option == u"--matin-des") {
      const std::optional<int> minutes = ParseClock(value);
      if (!minutes || *minutes < kEarliestMorningStart ||
          *minutes > SessionWindows().morningStart) {
        return Refusal{QStringLiteral("Début du matin invalide : %1 (attendu : HH:MM, de %2 à %3).")
                           .arg(value, TimeText(kEarliestMorningStart),
                                TimeText(SessionWindows().morningStart))};
      }
      request->morningStart = *minutes;
    } else if (option == u"--soir-jusqua") {
      // 23:59 or, past midnight, up to the latest end the evening allows.
      std::optional<int> minutes = ParseClock(value);
      if (minutes && *minutes < SessionWindows().eveningEnd) {
        *minutes += 24 * 60;
      }
      if (!minutes || *minutes < SessionWindows().eveningEnd || *minutes > kLatestEveningEnd) {
        return Refusal{
            QStringLiteral("Fin du soir invalide : %1 (attendu : HH:MM, de %2 à %3 le lendemain).")
                .arg(value, TimeText(SessionWindows().eveningEnd),
                     TimeText(kLatestEveningEnd - 24 * 60))};
      }
      request->eveningEnd = *minutes;
    } else if (option == u"--ordre-dates") {
      if (value != u"jm" && value != u"mj") {
        return Refusal{QStringLiteral("Ordre des dates inconnu : %1 (jm ou mj).").arg(value)};
      }
      request->dateOrder = value == u"jm" ? DateOrder::DayMonth : DateOrder::MonthDay;
    } else if (option == u"--colonnes") {
      request->columns = value;
    } else if (option == u"--date") {
      refused = ParseDate(value, &request->date);
    } else if (option == u"--heure") {
      if (!QTime::fromString(value, QStringLiteral("hh:mm")).isValid() || value.size() != 5) {
        return Refusal{QStringLiteral("Heure invalide : %1 (attendu : HH:MM).").arg(value)};
      }
      request->time = value;
    } else if (option == u"--appareil") {
      static const QRegularExpression address(
          QStringLiteral("^[0-9A-Fa-f]{2}(:[0-9A-Fa-f]{2}){5}$"));
      if (!address.match(value).hasMatch()) {
        return Refusal{
            QStringLiteral("Adresse invalide : %1 (attendu : AA:BB:CC:DD:EE:FF).").arg(value)};
      }
      request->meter = value.toUpper();
    } else if (option == u"--utilisateur") {
      bool ok = false;
      const int user = value.toInt(&ok);
      if (!ok || user < 1 || user > 254) {
        return Refusal{
            QStringLiteral("Utilisateur invalide : %1 (attendu : de 1 à 254).").arg(value)};
      }
      request->user = quint8(user);
    } else if (option == u"--texte") {
      request->note = value;
    } else if (option == u"--pouls-irregulier") {
      if (value != u"oui" && value != u"non") {
        return Refusal{QStringLiteral("Valeur inconnue : %1 (oui ou non).").arg(value)};
      }
      request->irregular = value == u"oui";
    } else if (option == u"--debut") {
      refused = ParseDate(value, &request->start);
    } else if (option == u"--du") {
      refused = ParseDate(value, &request->from);
    } else if (option == u"--au") {
      refused = ParseDate(value, &request->to);
    }
    if (refused) {
      return refused;
    }
  }
  if (request->patient.isEmpty()) {
    return Refusal{QStringLiteral("Indiquez le patient avec --patient NOM.")};
  }
  if (const char32_t invisible = InvisibleCharacter(request->patient)) {
    return Refusal{InvisibleCharacterMessage(invisible)};
  }
  if (!IsUsablePatientName(request->patient)) {
    return Refusal{QStringLiteral("Nom de patient inutilisable : %1.").arg(request->patient)};
  }
  if (std::optional<Refusal> refused =
          CheckOutput(QStringLiteral("-o"), request->output, *request)) {
    return refused;
  }
  return CheckOutput(QStringLiteral("--pdf"), request->pdf, *request);
}

QString DataFolder(const Request &request) {
  const QString folder = request.folder.isEmpty()
                             ? ProfileFolder() + QStringLiteral("Kestrune Arteline")
                             : request.folder;
  QString path = QDir::fromNativeSeparators(QFileInfo(folder).absoluteFilePath());
  if (!path.endsWith(u'/')) {
    path += u'/';
  }
  return path;
}

#ifdef Q_OS_WIN
constexpr Qt::CaseSensitivity kPathCase = Qt::CaseInsensitive;
#else
constexpr Qt::CaseSensitivity kPathCase = Qt::CaseSensitive;
#endif

// Where writing `path` lands: its folder with every link resolved, then the
// file's own links followed, also to a file that does not exist yet. A
// missing folder leaves the rest of the path as written.
QString ResolvedPath(const QString &path) {
  QString current = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
  for (int hops = 0; hops < 32; ++hops) {
    const QFileInfo info(current);
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    if (folder.isEmpty()) {
      return current;
    }
    current = QDir::cleanPath(folder + u'/' + info.fileName());
    const QFileInfo resolved(current);
    if (!resolved.isSymbolicLink()) {
      return current;
    }
    current = QDir::cleanPath(resolved.symLinkTarget());
  }
  return current; // a loop of links: opening it fails anyway
}

bool IsInside(const QString &path, const QString &folder) {
  return path.startsWith(folder + u'/', kPathCase);
}

// Whether writing `path` would land in the logbook: in the data folder of
// the request or of the profile, in their archive folders (which may be
// links to elsewhere), or on their patient and preferences files (links
// too, perhaps).
bool IsLogbookFile(const QString &path, const Request &request) {
  const QString target = ResolvedPath(path);
  Request profile = request;
  profile.folder.clear();
  for (const QString &data : {DataFolder(request), DataFolder(profile)}) {
    for (const QString &folder : {data, data + QStringLiteral("Archives Arteline")}) {
      if (IsInside(target, ResolvedPath(folder))) {
        return true;
      }
    }
    for (const QString &file :
         {QStringLiteral("ARTL_Users.ini"), QStringLiteral("ARTL_Prefs.ini")}) {
      if (target.compare(ResolvedPath(data + file), kPathCase) == 0) {
        return true;
      }
    }
  }
  return false;
}

// An output file (-o, --pdf) may be new or an ordinary file, never a part
// of the logbook, a link, a device, a pipe or a folder. Its type is read
// without opening it: opening a pipe would block. The writer checks again
// through the handle it opens, for a path changed in between.
std::optional<Refusal> CheckOutput(const QString &option, const QString &path,
                                   const Request &request) {
  if (path.isEmpty()) {
    return std::nullopt;
  }
  const QString shown = QDir::toNativeSeparators(path);
  if (IsLogbookFile(path, request)) {
    return Refusal{QStringLiteral("L'option %1 ne peut pas écrire sur %2 : ce fichier fait partie "
                                  "des données de Tensiolog.")
                       .arg(option, shown)};
  }
  const QFileInfo info(path);
  if (info.isSymLink()) {
    return Refusal{
        QStringLiteral("L'option %1 ne peut pas écrire sur %2 : c'est un lien symbolique.")
            .arg(option, shown)};
  }
  if (info.exists() && !info.isFile()) {
    return Refusal{
        QStringLiteral("L'option %1 ne peut pas écrire sur %2 : ce n'est pas un fichier ordinaire.")
            .arg(option, shown)};
  }
  return std::nullopt;
}

QJsonValue MeansJson(const SeriesSums &sums) {
  if (sums.count == 0) {
    return QJsonValue::Null;
  }
  const auto mean = [&](qint64 sum) { return double(*MeanTenths(sum, sums.count)) / 10.0; };
  return QJsonObject{{QStringLiteral("systolic"), mean(sums.systolic)},
                     {QStringLiteral("diastolic"), mean(sums.diastolic)},
                     {QStringLiteral("pulse"), mean(sums.pulse)}};
}

QString MeansText(const SeriesSums &sums) {
  if (sums.count == 0) {
    return QStringLiteral("aucune mesure retenue");
  }
  return FrenchTenths(MeanTenths(sums.systolic, sums.count)) + QStringLiteral(" / ") +
         FrenchTenths(MeanTenths(sums.diastolic, sums.count)) + QStringLiteral(" mmHg, pouls ") +
         FrenchTenths(MeanTenths(sums.pulse, sums.count));
}

QString ReadingsText(const std::vector<SeriesReading> &readings) {
  QStringList items;
  for (const SeriesReading &r : readings) {
    items << QStringLiteral("%1/%2 %3").arg(r.systolic).arg(r.diastolic).arg(r.pulse);
  }
  return items.isEmpty() ? QStringLiteral("-") : items.join(QStringLiteral(", "));
}

void PrintExcluded(const std::vector<ExcludedReading> &list, QTextStream &out) {
  for (const ExcludedReading &e : list) {
    const QString values = e.valuesText();
    out << (values.isEmpty()
                ? QStringLiteral("  %1 %2 (%3) : %4")
                      .arg(e.date, e.time, PeriodInfo(e.period).name, e.reason)
                : QStringLiteral("  %1 %2 (%3) %4 : %5")
                      .arg(e.date, e.time, PeriodInfo(e.period).name, values, e.reason))
        << (e.context ? QStringLiteral(" ; ") + ContextSummary(*e.context) : QString()) << u'\n';
  }
}

void PrintSeriesText(const SeriesResult &series, const QString &patient, QTextStream &out) {
  out << QStringLiteral("Relevé d'automesure de ") << patient << u'\n';
  out << ProtocolOf(series.protocol).text << u'\n';
  out << QStringLiteral("Du ") << series.start.toString(kDateMask) << QStringLiteral(" au ")
      << series.end.toString(kDateMask) << u'\n';
  out << WindowsSentence(series.windows) << u'\n';
  for (size_t d = 0; d < series.days.size(); ++d) {
    const SeriesDay &day = series.days[d];
    out << QStringLiteral("Jour %1 (%2)").arg(d + 1).arg(day.date.toString(kDateMask))
        << (day.counts ? QString() : QStringLiteral(", non compté")) << QStringLiteral(" : matin ")
        << ReadingsText(day.morning) << QStringLiteral(" ; soir ") << ReadingsText(day.evening)
        << u'\n';
  }
  out << QStringLiteral("Mesures retenues : %1 sur %2 attendues (au moins %3 pour conclure, le "
                        "matin et le soir)")
             .arg(series.all.count)
             .arg(series.expected())
             .arg(series.minimum())
      << u'\n';
  out << ComplianceLine(series) << u'\n';
  out << QStringLiteral("Moyenne : ") << MeansText(series.all) << u'\n';
  out << QStringLiteral("Moyenne du matin : ") << MeansText(series.morning) << u'\n';
  out << QStringLiteral("Moyenne du soir : ") << MeansText(series.evening) << u'\n';
  for (const QString &line : VerdictLines(series)) {
    out << line << u'\n';
  }
  // Out of every reading the form shows, day 1 of the European protocol
  // included.
  if (const QString irregular = IrregularSummary(series.irregular, series.shown());
      !irregular.isEmpty()) {
    out << irregular << u'\n';
  }
  if (!series.excluded.empty()) {
    out << QStringLiteral("Mesures non retenues :") << u'\n';
    PrintExcluded(series.excluded, out);
  }
}

// The readings left out, with the list that holds them, their cells as
// they stand and the reason.
QJsonArray ExcludedJson(const std::vector<ExcludedReading> &list) {
  QJsonArray excluded;
  for (const ExcludedReading &e : list) {
    excluded.append(QJsonObject{{QStringLiteral("date"), e.date},
                                {QStringLiteral("time"), e.time},
                                {QStringLiteral("period"), PeriodInfo(e.period).name},
                                {QStringLiteral("systolic"), e.systolic},
                                {QStringLiteral("diastolic"), e.diastolic},
                                {QStringLiteral("pulse"), e.pulse},
                                {QStringLiteral("reason"), e.reason},
                                {QStringLiteral("irregular"), e.irregular()},
                                {QStringLiteral("note"), e.context ? e.context->note : QString()}});
  }
  return excluded;
}

QJsonObject SeriesJson(const SeriesResult &series) {
  const QJsonArray excluded = ExcludedJson(series.excluded);
  QJsonArray missing;
  for (const MissingMoment &m : series.missing) {
    missing.append(QJsonObject{
        {QStringLiteral("day"), m.day + 1},
        {QStringLiteral("date"), series.days[size_t(m.day)].date.toString(Qt::ISODate)},
        {QStringLiteral("moment"),
         m.moment == DayPeriod::Matin ? QStringLiteral("morning") : QStringLiteral("evening")},
        {QStringLiteral("count"), m.count}});
  }
  const char *verdict = series.verdict == Verdict::Incomplete ? "incomplete"
                        : series.verdict == Verdict::Above    ? "above"
                                                              : "below";
  QJsonObject json{
      {QStringLiteral("protocol"), ProtocolOf(series.protocol).key},
      {QStringLiteral("start"), series.start.toString(Qt::ISODate)},
      {QStringLiteral("end"), series.end.toString(Qt::ISODate)},
      {QStringLiteral("expected"), series.expected()},
      {QStringLiteral("counted"), qint64(series.all.count)},
      {QStringLiteral("minimum"), series.minimum()},
      {QStringLiteral("mean"), MeansJson(series.all)},
      {QStringLiteral("morning"), MeansJson(series.morning)},
      {QStringLiteral("evening"), MeansJson(series.evening)},
      {QStringLiteral("verdict"), QString::fromLatin1(verdict)},
      {QStringLiteral("extend"), series.extend},
      {QStringLiteral("windows"),
       QJsonObject{{QStringLiteral("morning"), MorningWindowText(series.windows)},
                   {QStringLiteral("evening"), EveningWindowText(series.windows)}}},
      {QStringLiteral("excluded"), excluded},
      {QStringLiteral("missing"), missing},
      {QStringLiteral("compliance"), ComplianceLine(series)},
      {QStringLiteral("irregular"), series.irregular},
  };
  if (series.category) {
    json.insert(QStringLiteral("category"), HomeCategoryKey(*series.category));
  }
  return json;
}

// Reads the patient's four lists from the data folder; a patient without
// any measurement file, or a file that cannot be read, is refused.
std::optional<Refusal> LoadPatient(const Request &request, Logbook &book) {
  book.paths().dataFolder = DataFolder(request);
  book.paths().patientFile = book.paths().dataFolder + QStringLiteral("ARTL_Users.ini");
  book.paths().preferencesFile = book.paths().dataFolder + QStringLiteral("ARTL_Prefs.ini");
  book.setPatient(request.patient);
  const auto &files = book.paths().measurementFiles;
  if (std::none_of(files.begin(), files.end(),
                   [](const QString &path) { return QFileInfo(path).isFile(); })) {
    return Refusal{QStringLiteral("Aucun fichier de mesures pour le patient « %1 » dans %2.")
                       .arg(request.patient, QDir::toNativeSeparators(book.paths().dataFolder))};
  }
  const QList<PeriodFileError> unreadable = LoadLogbook(book);
  if (!unreadable.isEmpty()) {
    return Refusal{QStringLiteral("Lecture impossible : %1.").arg(unreadable.front().error.text())};
  }
  return std::nullopt;
}

// The patient's series settings as the window keeps them in the preferences
// file of the data folder, read and never written; the defaults without them.
SeriesSettings PatientSettings(const Logbook &book) {
  const Preferences prefs =
      ReadPreferences(PreferencesReader::fromFile(book.paths().preferencesFile));
  return PatientSeriesSettings(PatientEntryOf(prefs.seriesPatients, book.patient()),
                               prefs.seriesProtocol);
}

// The patient's last home series, with their protocol and sessions, when it
// is complete; none otherwise.
std::optional<SeriesResult> LastCompleteSeries(const Logbook &book) {
  const SeriesSettings settings = PatientSettings(book);
  const SeriesLists lists = ListsOf(book.lists());
  const std::optional<QDate> start = DefaultSeriesStart(lists, settings.protocol, settings.windows);
  if (!start) {
    return std::nullopt;
  }
  SeriesResult series =
      ComputeSeries(lists, settings.protocol, *start, settings.windows, &book.contexts());
  if (series.verdict == Verdict::Incomplete) {
    return std::nullopt;
  }
  return series;
}

int Refuse(const Refusal &refusal, QTextStream &err) {
  err << refusal.message << u'\n';
  return kCliBadRequest;
}

// Writes a document as a PDF file, whole or not at all, never through a
// link nor over a file of the logbook in `dataFolder`.
std::optional<Refusal> WriteDocument(const PagedDocument &document, const QString &path,
                                     const QString &dataFolder) {
  if (const FileError error = WritePdfOutput(document, path, {dataFolder})) {
    return Refusal{QStringLiteral("Écriture impossible : %1.").arg(error.text())};
  }
  return std::nullopt;
}

QJsonObject ValueJson(const ValueStatistics &v) {
  if (v.count == 0) {
    return {};
  }
  return QJsonObject{{QStringLiteral("mean"), v.mean},
                     {QStringLiteral("standardDeviation"),
                      v.deviation ? QJsonValue(*v.deviation) : QJsonValue(QJsonValue::Null)},
                     {QStringLiteral("minimum"), v.minimum},
                     {QStringLiteral("maximum"), v.maximum}};
}

QJsonObject StatisticsJson(const ReadingStatistics &st) {
  QJsonObject classes;
  for (BpClass c : ReportedClasses(st)) {
    classes.insert(ClassLabel(c), qint64(st.classCount(c)));
  }
  const bool any = st.count > 0;
  return QJsonObject{
      {QStringLiteral("count"), qint64(st.count)},
      {QStringLiteral("systolic"), any ? QJsonValue(ValueJson(st.systolic)) : QJsonValue()},
      {QStringLiteral("diastolic"), any ? QJsonValue(ValueJson(st.diastolic)) : QJsonValue()},
      {QStringLiteral("pulse"), any ? QJsonValue(ValueJson(st.pulse)) : QJsonValue()},
      {QStringLiteral("meanPulsePressure"), any ? QJsonValue(st.meanPulsePressure) : QJsonValue()},
      {QStringLiteral("atOrAbove135Over85"), qint64(st.atOrAboveThreshold)},
      {QStringLiteral("shareAtOrAbove135Over85"), st.shareAtOrAboveThreshold},
      {QStringLiteral("classes"), classes},
  };
}

QString StatisticsLine(const QString &name, const ReadingStatistics &st) {
  const QStringList c = StatisticsCells(name, st);
  if (st.count == 0) {
    return c[0] + QStringLiteral(" : aucune mesure");
  }
  return QStringLiteral("%1 : %2 mesures ; systolique %3 (%4) ; diastolique %5 (%6) ; pouls %7 ; "
                        "pression pulsée %8 ; à 135/85 ou plus : %9")
      .arg(c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8]);
}

int Rapport(const QStringList &args, QTextStream &out, QTextStream &err) {
  Request request;
  if (const std::optional<Refusal> refused = ParseOptions(
          args, {"--patient", "--du", "--au", "--pdf", "--json", "--dossier"}, &request)) {
    return Refuse(*refused, err);
  }
  if (request.pdf.isEmpty()) {
    return Refuse({QStringLiteral("Indiquez le fichier PDF à écrire avec --pdf FICHIER.")}, err);
  }
  QString patient;
  StoragePaths paths;
  Logbook book(patient, paths);
  if (const std::optional<Refusal> refused = LoadPatient(request, book)) {
    return Refuse(*refused, err);
  }
  // Without dates: the 30 days ending on the latest reading; one date alone
  // sets that end of the range.
  const auto range = DefaultReportRange(book.lists());
  if (!range && !(request.from && request.to)) {
    return Refuse({QStringLiteral("Aucune mesure lisible : rien à présenter.")}, err);
  }
  const QDate to = request.to     ? *request.to
                   : request.from ? std::max(*request.from, range->second)
                                  : range->second;
  const QDate from = request.from ? *request.from : to.addDays(-29);
  if (from > to) {
    return Refuse({QStringLiteral("La date de début suit la date de fin.")}, err);
  }
  const DoctorReportData data = MakeDoctorReport(book.lists(), from, to, &book.contexts());
  const std::optional<SeriesResult> series = LastCompleteSeries(book);
  if (const std::optional<Refusal> refused = WriteDocument(
          DoctorReportDocument(LogbookIdentity(book), data, clock().now().date(), series),
          request.pdf, book.paths().dataFolder)) {
    return Refuse(*refused, err);
  }
  if (request.json) {
    QJsonObject periods;
    const char *keys[] = {"morning", "afternoon", "evening", "night"};
    for (DayPeriod period : kAllPeriods) {
      periods.insert(QString::fromLatin1(keys[PeriodIndex(period)]),
                     StatisticsJson(data.periods[size_t(PeriodIndex(period))]));
    }
    QJsonObject report{{QStringLiteral("patient"), patient},
                       {QStringLiteral("from"), from.toString(Qt::ISODate)},
                       {QStringLiteral("to"), to.toString(Qt::ISODate)},
                       {QStringLiteral("periods"), periods},
                       {QStringLiteral("overall"), StatisticsJson(data.overall)},
                       {QStringLiteral("moved"), data.moved},
                       {QStringLiteral("irregular"), data.irregular},
                       {QStringLiteral("excluded"), ExcludedJson(data.unusable)},
                       {QStringLiteral("pdf"), request.pdf}};
    if (series) {
      report.insert(QStringLiteral("series"), SeriesJson(*series));
    }
    out << QString::fromUtf8(QJsonDocument(report).toJson(QJsonDocument::Indented));
    return kCliOk;
  }
  out << QStringLiteral("Rapport pour le médecin : ") << patient << u'\n';
  out << QStringLiteral("Du ") << from.toString(kDateMask) << QStringLiteral(" au ")
      << to.toString(kDateMask) << u'\n';
  for (DayPeriod period : kAllPeriods) {
    out << StatisticsLine(PeriodRowName(period), data.periods[size_t(PeriodIndex(period))])
        << u'\n';
  }
  out << StatisticsLine(AllPeriodsRowName(), data.overall) << u'\n';
  if (series) {
    out << QStringLiteral("Dernier relevé d'automesure complet : du %1 au %2, moyenne %3")
               .arg(series->start.toString(kDateMask), series->end.toString(kDateMask),
                    MeansText(series->all))
        << u'\n';
    out << QStringLiteral("  ") << ProtocolOf(series->protocol).text << u'\n';
    // Its verdict and category; the not-a-medical-device sentence closes the
    // report.
    const QStringList verdict = VerdictLines(*series);
    for (qsizetype i = 0; i + 1 < verdict.size(); ++i) {
      out << verdict[i] << u'\n';
    }
  } else {
    out << QStringLiteral("Dernier relevé d'automesure complet : aucun.") << u'\n';
  }
  for (BpClass c : ReportedClasses(data.overall)) {
    const qint64 count = data.overall.classCount(c);
    out << QStringLiteral("  %1 : %2 (%3)")
               .arg(ClassLabel(c))
               .arg(count)
               .arg(SharePercent(count, data.overall.count))
        << u'\n';
  }
  if (data.moved > 0) {
    out << MovedNote(data.moved) << u'\n';
  }
  if (const QString irregular = IrregularSummary(data.irregular, data.overall.count);
      !irregular.isEmpty()) {
    out << irregular << u'\n';
  }
  if (data.unusable.empty()) {
    out << QStringLiteral("Lignes non utilisées : aucune.") << u'\n';
  } else {
    out << QStringLiteral("Lignes non utilisées : %1").arg(data.unusable.size()) << u'\n';
    PrintExcluded(data.unusable, out);
  }
  out << QStringLiteral("Rapport enregistré dans %1.").arg(request.pdf) << u'\n';
  out << QStringLiteral("Tensiolog n'est pas un dispositif médical : seul votre médecin peut "
                        "interpréter ces mesures.")
      << u'\n';
  return kCliOk;
}

int Releve(const QStringList &args, QTextStream &out, QTextStream &err) {
  Request request;
  if (const std::optional<Refusal> refused =
          ParseOptions(args,
                       {"--patient", "--protocole", "--matin-des", "--soir-jusqua", "--debut",
                        "--pdf", "--json", "--dossier"},
                       &request)) {
    return Refuse(*refused, err);
  }
  QString patient;
  StoragePaths paths;
  Logbook book(patient, paths);
  if (const std::optional<Refusal> refused = LoadPatient(request, book)) {
    return Refuse(*refused, err);
  }
  // The patient's protocol and session windows, unless the options say
  // otherwise for this run.
  SeriesSettings settings = PatientSettings(book);
  settings.protocol = request.protocol.value_or(settings.protocol);
  settings.windows.morningStart = request.morningStart.value_or(settings.windows.morningStart);
  settings.windows.eveningEnd = request.eveningEnd.value_or(settings.windows.eveningEnd);
  const SessionWindows windows = ClampedWindows(settings.windows);
  const SeriesLists lists = ListsOf(book.lists());
  const std::optional<QDate> start =
      request.start ? request.start : DefaultSeriesStart(lists, settings.protocol, windows);
  if (!start) {
    return Refuse({QStringLiteral("Aucune mesure du matin ou du soir : rien à présenter.")}, err);
  }
  const SeriesResult series =
      ComputeSeries(lists, settings.protocol, *start, windows, &book.contexts());
  if (!request.pdf.isEmpty()) {
    if (const std::optional<Refusal> refused =
            WriteDocument(SeriesFormDocument(LogbookIdentity(book), series), request.pdf,
                          book.paths().dataFolder)) {
      return Refuse(*refused, err);
    }
  }
  if (request.json) {
    out << QString::fromUtf8(QJsonDocument(SeriesJson(series)).toJson(QJsonDocument::Indented));
  } else {
    PrintSeriesText(series, patient, out);
    if (!request.pdf.isEmpty()) {
      out << QStringLiteral("Fiche enregistrée dans %1.").arg(request.pdf) << u'\n';
    }
  }
  return kCliOk;
}

int Export(const QStringList &args, QTextStream &out, QTextStream &err) {
  Request request;
  if (const std::optional<Refusal> refused = ParseOptions(
          args, {"--patient", "--format", "--fhir-type", "--du", "--au", "-o", "--dossier"},
          &request)) {
    return Refuse(*refused, err);
  }
  if (request.format.isEmpty()) {
    return Refuse({QStringLiteral("Indiquez le format avec --format csv ou --format fhir.")}, err);
  }
  if (!request.fhirType.isEmpty() && request.format != u"fhir") {
    return Refuse({QStringLiteral("L'option --fhir-type ne vaut que pour --format fhir.")}, err);
  }
  if (request.output.isEmpty()) {
    return Refuse({QStringLiteral("Indiquez le fichier à écrire avec -o FICHIER.")}, err);
  }
  if (request.from && request.to && *request.from > *request.to) {
    return Refuse({QStringLiteral("La date de début suit la date de fin.")}, err);
  }
  QString patient;
  StoragePaths paths;
  Logbook book(patient, paths);
  if (const std::optional<Refusal> refused = LoadPatient(request, book)) {
    return Refuse(*refused, err);
  }
  // Written whole or not at all.
  const ExportFormat format = request.format == u"csv"             ? ExportFormat::Csv
                              : request.fhirType == u"transaction" ? ExportFormat::FhirTransaction
                                                                   : ExportFormat::Fhir;
  const ExportOutcome exported =
      ExportLogbook(book, format, request.output, request.from, request.to);
  if (exported.error) {
    return Refuse({QStringLiteral("Écriture impossible : %1.").arg(exported.error.text())}, err);
  }
  out << ExportSummary(exported, request.output) << u'\n';
  return kCliOk;
}

// The mapping --colonnes gives ("date=1,heure=Heure,..."): the roles named,
// every other column ignored. The first record is a header when a column is
// named by its header, when the guess took it for one, or when its date
// cell is no date.
std::optional<Refusal> MappingOfColumns(const QString &given, const CsvFileStart &start,
                                        ColumnMapping *mapping) {
  static const QList<std::pair<QString, ColumnRole>> kNames = {
      {QStringLiteral("date"), ColumnRole::Date},
      {QStringLiteral("heure"), ColumnRole::Time},
      {QStringLiteral("dateheure"), ColumnRole::DateTime},
      {QStringLiteral("systolique"), ColumnRole::Systolic},
      {QStringLiteral("diastolique"), ColumnRole::Diastolic},
      {QStringLiteral("pouls"), ColumnRole::Pulse},
      {QStringLiteral("periode"), ColumnRole::Period},
      {QStringLiteral("période"), ColumnRole::Period},
      {QStringLiteral("fuseau"), ColumnRole::TimeZone},
      {QStringLiteral("remarque"), ColumnRole::Note},
      {QStringLiteral("pouls-irregulier"), ColumnRole::Irregular}};
  const QStringList first = start.records.value(0);
  const qsizetype columns = std::max(start.columns(), qsizetype(1));
  ColumnMapping out;
  out.roles = QList<ColumnRole>(columns, ColumnRole::Ignore);
  bool byName = false;
  for (const QString &item : given.split(u',')) {
    const qsizetype equals = item.indexOf(u'=');
    const QString name = item.left(equals).trimmed().toLower();
    const QString column = item.mid(equals + 1).trimmed();
    if (equals < 0 || column.isEmpty()) {
      return Refusal{QStringLiteral("Option --colonnes mal écrite : %1 (attendu : rôle=colonne, "
                                    "séparés par des virgules).")
                         .arg(item)};
    }
    const auto known = std::find_if(kNames.begin(), kNames.end(),
                                    [&name](const auto &entry) { return entry.first == name; });
    if (known == kNames.end()) {
      return Refusal{QStringLiteral("Rôle de colonne inconnu : %1 (date, heure, dateheure, "
                                    "systolique, diastolique, pouls, periode, fuseau, remarque ou "
                                    "pouls-irregulier).")
                         .arg(name)};
    }
    if (out.roles.contains(known->second)) {
      return Refusal{QStringLiteral("Rôle donné deux fois dans --colonnes : %1.").arg(name)};
    }
    bool isNumber = false;
    const qsizetype number = column.toLongLong(&isNumber);
    qsizetype index = -1;
    if (isNumber) {
      if (number < 1 || number > columns) {
        return Refusal{QStringLiteral("Colonne %1 hors du fichier : il a %2 colonnes.")
                           .arg(column)
                           .arg(columns)};
      }
      index = number - 1;
    } else {
      for (qsizetype i = 0; i < first.size() && index < 0; ++i) {
        if (first[i].trimmed().compare(column, Qt::CaseInsensitive) == 0) {
          index = i;
        }
      }
      if (index < 0) {
        return Refusal{
            QStringLiteral("Colonne introuvable dans l'en-tête du fichier : %1.").arg(column)};
      }
      byName = true;
    }
    if (out.roles[index] != ColumnRole::Ignore) {
      return Refusal{
          QStringLiteral("Colonne %1 donnée pour deux rôles dans --colonnes.").arg(index + 1)};
    }
    out.roles[index] = known->second;
  }
  qsizetype dated = out.roles.indexOf(ColumnRole::Date);
  if (dated < 0) {
    dated = out.roles.indexOf(ColumnRole::DateTime);
  }
  const QString firstDate = first.value(dated);
  bool readsAsDate = false;
  for (DateOrder order : {DateOrder::DayMonth, DateOrder::MonthDay}) {
    readsAsDate =
        readsAsDate || ParseImportDate(firstDate, order) || ParseImportWhen(firstDate, order);
  }
  out.header = byName || start.guess.header || (dated >= 0 && !readsAsDate);
  // Numbers under a "Date" header are Excel serial days, as in a guess.
  out.serialDates =
      out.header && dated >= 0 && firstDate.contains(QStringLiteral("date"), Qt::CaseInsensitive);
  out.dateOrder = start.guess.dateOrder;
  *mapping = out;
  return std::nullopt;
}

// Reads a CSV file into a patient's lists with the columns guessed as the
// window's preview guesses them (or as --colonnes gives them), then saves the lists; a patient
// known neither by a profile nor by measurement files gets a profile.
// Takes the data folder for a command that writes there; otherwise says why
// ("Tensiolog est ouvert : fermez-le avant <doing>...") and gives the exit code.
// A lock of another computer is replaced only when `force` (--forcer-verrou).
std::optional<int> TakeFolderLock(DataFolderLock &lock, const QString &doing,
                                  const QString &impossible, QTextStream &err, bool force = false) {
  switch (lock.take()) {
  case DataFolderLock::Result::Taken:
    return std::nullopt;
  case DataFolderLock::Result::Held: {
    const LockHolder &holder = lock.holderInfo();
    if (holder.otherComputer) {
      if (force && lock.takeOver() == DataFolderLock::Result::Taken) {
        return std::nullopt;
      }
      if (force) {
        break;
      }
      err << QStringLiteral("Le dossier de données est ouvert sur un autre ordinateur : %1. Si "
                            "Tensiolog n'y tourne plus (une panne, une coupure), relancez la "
                            "commande avec --forcer-verrou.")
                 .arg(holder.text())
          << u'\n';
      return kCliProgramRunning;
    }
    if (holder.program == QLatin1StringView(kCommandLineProgram)) {
      err << QStringLiteral("Une autre commande tensiolog-cli (processus %1) écrit dans ce "
                            "dossier de données : réessayez quand elle aura fini.")
                 .arg(holder.pid)
          << u'\n';
    } else if (holder.otherAccount) {
      err << QStringLiteral("Le dossier de données est tenu par un autre compte de cet "
                            "ordinateur : %1.")
                 .arg(holder.text())
          << u'\n';
    } else {
      err << QStringLiteral("Tensiolog est ouvert : fermez-le avant %1, sinon il remplacera les "
                            "fichiers en se fermant.")
                 .arg(doing)
          << u'\n';
    }
    return kCliProgramRunning;
  }
  case DataFolderLock::Result::ReadOnly:
  case DataFolderLock::Result::Failed:
    break;
  }
  return Refuse({QStringLiteral("%1 : %2.").arg(impossible, lock.reason())}, err);
}

// The first file a save could not write, the context file's last, or none.
FileError SaveFailure(const SaveOutcome &saved) {
  return saved.failed.isEmpty() ? saved.contextError : saved.failed.front().error;
}

// The end of an import that went through: its summary, and for a trial
// that nothing was written.
int PrintImported(const ImportOutcome &imported, bool dryRun, QTextStream &out) {
  out << imported.summary << u'\n';
  if (dryRun) {
    out << QStringLiteral("Essai : aucun fichier n'a été écrit.") << u'\n';
  }
  return kCliOk;
}

// What an import refuses once read: nothing importable (`nothing`, then why
// each line was refused, as the window tells), a save that failed; then the
// profile of a new patient made. A refusal gives the exit code.
std::optional<int> CheckImported(const ImportOutcome &imported, const QString &nothing,
                                 Logbook &book, bool needsProfile, QTextStream &err) {
  if (imported.imported + imported.duplicates == 0) {
    QStringList lines = imported.summary.split(u'\n');
    lines[0] = nothing;
    return Refuse({lines.join(u'\n')}, err);
  }
  if (const FileError failed = SaveFailure(imported.saved)) {
    return Refuse({QStringLiteral("Écriture impossible : %1.").arg(failed.text())}, err);
  }
  // Files kept aside, readings taken from outside: said, nothing lost.
  if (const QString outside = OutsideChangesText(imported.saved); !outside.isEmpty()) {
    err << outside << u'\n';
  }
  if (imported.appended && needsProfile) {
    if (const FileError failed =
            AddPatientProfile(book.paths().patientFile, book.patient(), clock().now().date())) {
      return Refuse({QStringLiteral("Fiche du patient non créée : %1.").arg(failed.text())}, err);
    }
  }
  return std::nullopt;
}

// Opens the patient's logbook for an import: the data folder held, but for
// a dry run (the window holds the lists in memory and would write over what
// is imported, and another import would mix with this one), then the lists
// loaded. `*needsProfile` tells whether the patient still has neither files
// nor profile. A refusal gives the exit code, its sentence on `err`.
std::optional<int> OpenForImport(const Request &request, Logbook &book,
                                 std::unique_ptr<DataFolderLock> &lock, bool *needsProfile,
                                 QTextStream &err) {
  StoragePaths &paths = book.paths();
  paths.dataFolder = DataFolder(request);
  if (!QFileInfo(paths.dataFolder).isDir()) {
    return Refuse({QStringLiteral("Dossier de données introuvable : %1.")
                       .arg(QDir::toNativeSeparators(paths.dataFolder))},
                  err);
  }
  lock = std::make_unique<DataFolderLock>(paths.dataFolder);
  if (!request.dryRun) {
    if (const std::optional<int> refused =
            TakeFolderLock(*lock, QStringLiteral("d'importer des relevés"),
                           QStringLiteral("Importation impossible"), err, request.forceLock)) {
      return refused;
    }
    RecoverInterruptedBatch(paths.dataFolder); // a save cut short, before anything is read
  }
  paths.patientFile = paths.dataFolder + QStringLiteral("ARTL_Users.ini");
  paths.preferencesFile = paths.dataFolder + QStringLiteral("ARTL_Prefs.ini");
  book.setPatient(request.patient);
  const auto &files = paths.measurementFiles;
  const bool hasFiles = std::any_of(files.begin(), files.end(),
                                    [](const QString &path) { return QFileInfo(path).isFile(); });
  const PatientFileContents profiles = LoadPatientFile(paths.patientFile);
  *needsProfile = !hasFiles && !HasPatientProfile(profiles.patients, book.patient());
  if (*needsProfile && IsTooLongPatientName(book.patient())) {
    return Refuse({TooLongNameMessage()}, err);
  }
  if (*needsProfile && profiles.unreadable) {
    return Refuse({QStringLiteral("Fichier des patients illisible : %1.")
                       .arg(QDir::toNativeSeparators(paths.patientFile))},
                  err);
  }
  QStringList notices;
  if (const QList<PeriodFileError> unreadable = LoadLogbook(book, &notices);
      !unreadable.isEmpty()) {
    return Refuse({QStringLiteral("Lecture impossible : %1.").arg(unreadable.front().error.text())},
                  err);
  }
  if (const QString text = UnreadableFilesText({}, notices); !text.isEmpty()) {
    err << text << u'\n'; // every record read; the file kept aside before it is written over
  }
  return std::nullopt;
}

int Import(const QStringList &args, QTextStream &out, QTextStream &err) {
  Request request;
  if (const std::optional<Refusal> refused =
          ParseOptions(args,
                       {"--patient", "--dossier", "--dry-run", "--colonnes", "--ordre-dates",
                        "--forcer-verrou", "FICHIER"},
                       &request)) {
    return Refuse(*refused, err);
  }
  if (request.input.isEmpty()) {
    return Refuse({QStringLiteral("Indiquez le fichier à importer.")}, err);
  }
  QString patient;
  StoragePaths paths;
  Logbook book(patient, paths);
  std::unique_ptr<DataFolderLock> lock;
  bool needsProfile = false;
  if (const std::optional<int> refused = OpenForImport(request, book, lock, &needsProfile, err)) {
    return *refused;
  }

  const ImportPlan plan = PlanImport(request.input);
  if (plan.error) {
    return Refuse({QStringLiteral("Lecture impossible : %1.").arg(plan.error.text())}, err);
  }
  // A format with columns: those of --colonnes, or those the file suggests.
  ColumnMapping mapping = plan.start.guess;
  if (plan.format->columns) {
    if (!request.columns.isEmpty()) {
      if (const std::optional<Refusal> refused =
              MappingOfColumns(request.columns, plan.start, &mapping)) {
        return Refuse(*refused, err);
      }
    }
    if (request.dateOrder) {
      mapping.dateOrder = *request.dateOrder;
      mapping.dateOrderGiven = true;
    }
    if (!plan.start.records.isEmpty() && !mapping.complete()) {
      return Refuse({QStringLiteral("Colonnes non reconnues dans %1 : il faut la date, l'heure, "
                                    "la systolique, la diastolique et le pouls.")
                         .arg(request.input)},
                    err);
    }
  }
  ImportOutcome imported = ImportFile(book, request.input, plan, &mapping, {}, request.dryRun);
  const QString format = mapping.format; // the export recognised
  SaveImport(book, imported);
  if (imported.error) {
    // A reason that is a sentence of its own keeps its one full stop.
    const QString text = imported.error.text();
    return Refuse({QStringLiteral("Lecture impossible : %1%2")
                       .arg(text, text.endsWith(u'.') ? QString() : QStringLiteral("."))},
                  err);
  }
  if (const std::optional<int> refused = CheckImported(
          imported, QStringLiteral("Aucun relevé importable dans %1.").arg(request.input), book,
          needsProfile, err)) {
    return *refused;
  }
  if (!format.isEmpty()) {
    out << QStringLiteral("Format reconnu : %1").arg(format) << u'\n';
  }
  return PrintImported(imported, request.dryRun, out);
}

// "remarque": sets the note or the irregular-pulse flag of the readings of
// one date and time.
int Remarque(const QStringList &args, QTextStream &out, QTextStream &err) {
  Request request;
  if (const std::optional<Refusal> refused =
          ParseOptions(args,
                       {"--patient", "--date", "--heure", "--texte", "--pouls-irregulier",
                        "--dossier", "--forcer-verrou"},
                       &request)) {
    return Refuse(*refused, err);
  }
  if (!request.date || request.time.isEmpty()) {
    return Refuse({QStringLiteral("Indiquez le relevé avec --date JJ/MM/AAAA et --heure HH:MM.")},
                  err);
  }
  if (!request.note && !request.irregular) {
    return Refuse({QStringLiteral("Indiquez la remarque avec --texte ou l'indicateur avec "
                                  "--pouls-irregulier oui|non.")},
                  err);
  }
  QString patient;
  StoragePaths paths;
  Logbook book(patient, paths);
  paths.dataFolder = DataFolder(request);
  DataFolderLock lock(paths.dataFolder);
  if (QFileInfo(paths.dataFolder).isDir()) {
    if (const std::optional<int> refused =
            TakeFolderLock(lock, QStringLiteral("d'annoter un relevé"),
                           QStringLiteral("Annotation impossible"), err, request.forceLock)) {
      return *refused;
    }
    RecoverInterruptedBatch(paths.dataFolder); // a save cut short, before anything is read
  }
  if (const std::optional<Refusal> refused = LoadPatient(request, book)) {
    return Refuse(*refused, err);
  }
  if (const FileError unreadable = UnreadableContextFile(book)) {
    return Refuse({QStringLiteral("Lecture impossible : %1.").arg(unreadable.text())}, err);
  }
  const QString date = request.date->toString(kDateMask);
  QStringList lines;
  for (DayPeriod period : kAllPeriods) {
    const PeriodListModel &list = book.list(period);
    QSet<ContextKey> done; // identical readings share one context
    for (const Reading &r : list.readings()) {
      if (r[Reading::Date] != date || r[Reading::Time] != request.time) {
        continue;
      }
      const ContextKey key = ContextKey::of(period, r);
      if (done.contains(key)) {
        continue;
      }
      done.insert(key);
      const ReadingContext *held = book.contexts().find(key);
      ReadingContext context = held ? *held : ReadingContext{};
      if (request.note) {
        context.note = CleanNote(*request.note);
      }
      if (request.irregular) {
        context.set(ContextFlag::Irregular, *request.irregular);
      }
      book.contexts().set(key, context);
      lines << QStringLiteral("%1 %2 %3 : %4/%5, pouls %6 : %7")
                   .arg(PeriodInfo(period).name, date, request.time, r[Reading::Systolic],
                        r[Reading::Diastolic], r[Reading::Pulse],
                        context.isEmpty() ? QStringLiteral("sans remarque")
                                          : ContextSummary(context));
    }
  }
  if (lines.isEmpty()) {
    return Refuse({QStringLiteral("Aucun relevé du %1 à %2 pour le patient « %3 ».")
                       .arg(date, request.time, request.patient)},
                  err);
  }
  if (const FileError failed = SaveFailure(SaveLogbook(book))) {
    return Refuse({QStringLiteral("Écriture impossible : %1.").arg(failed.text())}, err);
  }
  for (const QString &line : lines) {
    out << line << u'\n';
  }
  return kCliOk;
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
QString ReadMeter(const QString &address, QList<MeterIndication> *records, QString *name) {
#ifdef TENSIOLOG_HAS_BLUETOOTH
  BluetoothMeterLink link;
  QEventLoop loop;
  QString error;
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
  QObject::connect(&link, &MeterLink::finished, &loop, [&](bool ok, const QString &why) {
    error = ok ? QString() : why;
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
  return NoBluetoothText();
#endif
}

// "tensiometre": reads the readings of a Bluetooth meter into a patient's
// lists, with the duplicate rules and the summary of "import".
int Tensiometre(const QStringList &args, QTextStream &out, QTextStream &err) {
  Request request;
  if (const std::optional<Refusal> refused = ParseOptions(
          args,
          {"--patient", "--appareil", "--utilisateur", "--dry-run", "--dossier", "--forcer-verrou"},
          &request)) {
    return Refuse(*refused, err);
  }
#ifndef TENSIOLOG_HAS_BLUETOOTH
  return Refuse({ReadMeter({}, nullptr, nullptr) + u'.'}, err);
#endif
  // Taken before the meter is read: a meter sends its records once.
  QString patient;
  StoragePaths paths;
  Logbook book(patient, paths);
  std::unique_ptr<DataFolderLock> lock;
  bool needsProfile = false;
  if (const std::optional<int> refused = OpenForImport(request, book, lock, &needsProfile, err)) {
    return *refused;
  }

  QList<MeterIndication> received;
  QString meterName;
  const QString meterError = ReadMeter(request.meter, &received, &meterName);
  // What a trial received before comes first: the meter does not send it again.
  const QString kept = PendingMeterRecordsPath(paths.dataFolder, book.patient());
  FileError keptError;
  const QList<MeterIndication> records = WithPendingMeterRecords(kept, received, &keptError);
  if (keptError) {
    return Refuse({QStringLiteral("Lecture impossible : %1.").arg(keptError.text())}, err);
  }
  if (!meterError.isEmpty()) {
    if (records.isEmpty()) {
      return Refuse({meterError + u'.'}, err);
    }
    out << meterError << QStringLiteral(" ; les mesures gardées lors de l'essai sont classées.")
        << u'\n';
  }
  ImportOutcome imported = AppendMeterRecords(book, records, request.user, request.dryRun);
  SaveImport(book, imported);
  for (const MeterIndication &record : records) {
    out << MeterRecordLine(record) << u'\n';
  }
  if (const std::optional<int> refused =
          CheckImported(imported, QStringLiteral("Aucun relevé importable reçu du tensiomètre."),
                        book, needsProfile, err)) {
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
               .arg(QDir::toNativeSeparators(kept))
        << u'\n';
  }
  return kCliOk;
}

} // namespace

int RunCli(const QStringList &arguments, QTextStream &out, QTextStream &err) {
  const QString command = arguments.value(0);
  if (command.isEmpty() || command == u"--help" || command == u"-h" || command == u"aide") {
    (command.isEmpty() ? err : out) << QString::fromUtf8(kHelp);
    return command.isEmpty() ? kCliBadRequest : kCliOk;
  }
  if (arguments.mid(1).contains(u"--help") || arguments.mid(1).contains(u"-h")) {
    if (const QString help = CommandHelp(command); !help.isEmpty()) {
      out << help;
      return kCliOk;
    }
  }
  if (command == u"releve") {
    return Releve(arguments, out, err);
  }
  if (command == u"rapport") {
    return Rapport(arguments, out, err);
  }
  if (command == u"export") {
    return Export(arguments, out, err);
  }
  if (command == u"import") {
    return Import(arguments, out, err);
  }
  if (command == u"remarque") {
    return Remarque(arguments, out, err);
  }
  if (command == u"tensiometre") {
    return Tensiometre(arguments, out, err);
  }
  err << QStringLiteral("Commande inconnue : %1 ; tensiolog-cli --help donne la liste des "
                        "commandes.")
             .arg(command)
      << u'\n';
  return kCliBadRequest;
}

} // namespace tl
