// "export": a patient's readings written to a CSV or FHIR (JSON) file.
#include "cli/command.h"
#include "common/error_text.h"
#include "common/paths.h"
#include "exchange/logbook_exchange.h"
#include "logbook/logbook.h"

#include <QTextStream>

namespace tl {

namespace {

struct ExportOptions {
  Target target;
  QString format;   // "csv" or "fhir"
  QString fhirType; // "collection" (when empty) or "transaction"
  std::optional<QDate> from, to;
  QString output;
};

CommandDefinition Definition(ExportOptions &o) {
  return {QStringLiteral("export --patient NOM --format csv|fhir\n-o FICHIER [OPTIONS]"),
          QStringLiteral("les relevés d'un patient dans un fichier CSV ou FHIR (JSON)."),
          {PatientOption(o.target),
           ChoiceOption(QStringLiteral("--format"), {QStringLiteral("csv"), QStringLiteral("fhir")},
                        QStringLiteral("le format du fichier (obligatoire)"),
                        QStringLiteral("Format inconnu : %1 (csv ou fhir)."), &o.format),
           ChoiceOption(QStringLiteral("--fhir-type"),
                        {QStringLiteral("collection"), QStringLiteral("transaction")},
                        QStringLiteral("FHIR : un Bundle à lire (collection, par défaut)\n"
                                       "ou une transaction à envoyer à un serveur, qui ne\n"
                                       "crée que les relevés qu'il n'a pas encore"),
                        QStringLiteral("Type de Bundle inconnu : %1 (collection ou transaction)."),
                        &o.fhirType),
           DateOption(QStringLiteral("--du"), QStringLiteral("premier jour exporté"), &o.from),
           DateOption(QStringLiteral("--au"), QStringLiteral("dernier jour exporté"), &o.to),
           OutputOption(QStringLiteral("-o"), QStringLiteral("le fichier écrit (obligatoire)"),
                        &o.output),
           FolderOption(o.target)}};
}

int Export(const ExportOptions &request, QTextStream &out, QTextStream &err) {
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
  PatientLogbook opened;
  if (const std::optional<int> refused = OpenToRead(request.target, opened, err)) {
    return *refused;
  }
  // Written whole or not at all.
  const ExportFormat format = request.format == u"csv"             ? ExportFormat::Csv
                              : request.fhirType == u"transaction" ? ExportFormat::FhirTransaction
                                                                   : ExportFormat::Fhir;
  const ExportOutcome exported =
      ExportLogbook(opened.book, format, request.output, request.from, request.to);
  if (exported.error) {
    return Refuse({ErrorSentence(QStringLiteral("Écriture impossible"), exported.error)}, err);
  }
  out << ExportSummary(exported, request.output) << u'\n';
  return kCliOk;
}

} // namespace

int RunExport(const QStringList &args, QTextStream &out, QTextStream &err) {
  return RunCommand(args, out, err, Definition, Export);
}

} // namespace tl
