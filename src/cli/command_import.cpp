// "import": the readings of a CSV, FHIR (JSON) or Apple Health file added to
// a patient's lists, through the one import path the window uses.
#include "cli/command.h"
#include "common/error_text.h"
#include "common/paths.h"
#include "exchange/import_format.h"
#include "exchange/logbook_exchange.h"
#include "logbook/logbook.h"
#include "platform/instance_lock.h"

#include <QTextStream>

namespace tl {

namespace {

struct ImportOptions {
  Target target;
  QString input;     // the file read
  QString columns;   // --colonnes as written
  QString dateOrder; // --ordre-dates: "jm", "mj" or empty
  bool dryRun = false;
};

CommandDefinition Definition(ImportOptions &o) {
  return {
      QStringLiteral("import --patient NOM FICHIER [OPTIONS]"),
      QStringLiteral("les relevés d'un fichier CSV, FHIR (JSON) ou Apple Santé (export.xml ou son\n"
                     "zip) ajoutés à ceux d'un patient."),
      {PatientOption(o.target, QStringLiteral("le patient (obligatoire) ; un nom encore inconnu\n"
                                              "reçoit une fiche dans la liste des patients")),
       TextOption(QStringLiteral("FICHIER"), QString(),
                  QStringLiteral("le fichier lu : un CSV, dont les colonnes sont\n"
                                 "reconnues comme dans la fenêtre d'importation ; un\n"
                                 "fichier FHIR (JSON : un Bundle ou une Observation) ;\n"
                                 "l'export.xml d'Apple Santé ou son zip"),
                  &o.input),
       TextOption(QStringLiteral("--colonnes"), QStringLiteral("ROLE=COLONNE,..."),
                  QStringLiteral("le rôle des colonnes, par leur numéro (à partir\n"
                                 "de 1) ou leur nom ; rôles : date, heure, dateheure,\n"
                                 "systolique, diastolique, pouls, periode, fuseau,\n"
                                 "remarque, pouls-irregulier, traitement, mouvement,\n"
                                 "brassard, autres-indications"),
                  &o.columns),
       ChoiceOption(QStringLiteral("--ordre-dates"), {QStringLiteral("jm"), QStringLiteral("mj")},
                    QStringLiteral("dates comme 01/02/2026 lues jour/mois ou mois/jour\n"
                                   "(par défaut : l'ordre que donnent les dates du\n"
                                   "fichier)"),
                    QStringLiteral("Ordre des dates inconnu : %1 (jm ou mj)."), &o.dateOrder),
       SwitchOption(QStringLiteral("--dry-run"),
                    QStringLiteral("lit le fichier et affiche le bilan sans rien écrire"),
                    &o.dryRun),
       FolderOption(o.target), ForceLockOption(o.target)},
      QStringLiteral("Tensiolog doit être fermé pendant l'importation (sauf avec --dry-run).")};
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
      {QStringLiteral("pouls-irregulier"), ColumnRole::Irregular},
      {QStringLiteral("traitement"), ColumnRole::Medication},
      {QStringLiteral("mouvement"), ColumnRole::Movement},
      {QStringLiteral("brassard"), ColumnRole::CuffMisplaced},
      {QStringLiteral("autres-indications"), ColumnRole::OtherFlags}};
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
                                    "systolique, diastolique, pouls, periode, fuseau, remarque, "
                                    "pouls-irregulier, traitement, mouvement, brassard ou "
                                    "autres-indications).")
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

// Reads a file into a patient's lists, a CSV with the columns guessed as the
// window's preview guesses them (or as --colonnes gives them), then saves the
// lists; a patient known neither by a profile nor by measurement files gets a
// profile.
int Import(const ImportOptions &request, QTextStream &out, QTextStream &err) {
  if (request.input.isEmpty()) {
    return Refuse({QStringLiteral("Indiquez le fichier à importer.")}, err);
  }
  PatientLogbook opened;
  if (const std::optional<int> refused =
          OpenForImport(request.target, request.dryRun, opened, err)) {
    return *refused;
  }
  Logbook &book = opened.book;

  const ImportPlan plan = PlanImport(request.input);
  if (plan.error) {
    return Refuse({ErrorSentence(QStringLiteral("Lecture impossible"), plan.error)}, err);
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
    if (!request.dateOrder.isEmpty()) {
      mapping.dateOrder = request.dateOrder == u"jm" ? DateOrder::DayMonth : DateOrder::MonthDay;
      mapping.dateOrderGiven = true;
    }
    if (!plan.start.records.isEmpty() && !mapping.complete()) {
      return Refuse({QStringLiteral("Colonnes non reconnues dans %1 : il faut la date, l'heure, "
                                    "la systolique, la diastolique et le pouls.")
                         .arg(ShownPath(request.input))},
                    err);
    }
  }
  ImportOutcome imported = ImportFile(book, request.input, plan, &mapping, {}, request.dryRun);
  const QString format = mapping.format; // the export recognised
  SaveImport(book, imported);
  if (imported.error) {
    return Refuse({ErrorSentence(QStringLiteral("Lecture impossible"), imported.error)}, err);
  }
  if (const std::optional<int> refused = CheckImported(
          imported,
          QStringLiteral("Aucun relevé importable dans %1.").arg(ShownPath(request.input)), book,
          opened.needsProfile, err)) {
    return *refused;
  }
  if (!format.isEmpty()) {
    out << QStringLiteral("Format reconnu : %1").arg(format) << u'\n';
  }
  return PrintImported(imported, request.dryRun, out);
}

} // namespace

int RunImport(const QStringList &args, QTextStream &out, QTextStream &err) {
  return RunCommand(args, out, err, Definition, Import);
}

} // namespace tl
