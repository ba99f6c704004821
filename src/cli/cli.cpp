#include "cli/cli.h"

#include "cli/command.h"

#include <QTextStream>

namespace tl {

namespace {

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
    "Les options d'une commande : tensiolog-cli COMMANDE --help. Une option suivie\n"
    "de sa valeur s'écrit aussi --option=valeur.\n"
    "\n"
    "Tensiolog n'est pas un dispositif médical : seul votre médecin peut interpréter\n"
    "ces mesures.\n";

struct Command {
  const char *name;
  int (*run)(const QStringList &args, QTextStream &out, QTextStream &err);
};

constexpr Command kCommands[] = {
    {"releve", RunReleve}, {"rapport", RunRapport},   {"export", RunExport},
    {"import", RunImport}, {"remarque", RunRemarque}, {"tensiometre", RunTensiometre},
};

} // namespace

int RunCli(const QStringList &arguments, QTextStream &out, QTextStream &err) {
  const QString command = arguments.value(0);
  if (command.isEmpty() || command == u"--help" || command == u"-h" || command == u"aide") {
    (command.isEmpty() ? err : out) << QString::fromUtf8(kHelp);
    return command.isEmpty() ? kCliBadRequest : kCliOk;
  }
  for (const Command &c : kCommands) {
    if (command == QLatin1StringView(c.name)) {
      return c.run(arguments, out, err);
    }
  }
  err << QStringLiteral("Commande inconnue : %1 ; tensiolog-cli --help donne la liste des "
                        "commandes.")
             .arg(command)
      << u'\n';
  return kCliBadRequest;
}

} // namespace tl
