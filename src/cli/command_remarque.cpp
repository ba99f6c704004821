// "remarque": the note or the irregular-pulse flag of the readings of one
// date and time.
#include "cli/command.h"
#include "common/error_text.h"
#include "common/paths.h"
#include "logbook/context_edit.h"
#include "logbook/logbook.h"
#include "logbook/workflows.h"
#include "measurements/context_texts.h"

#include <QTextStream>

namespace tl {

namespace {

struct RemarqueOptions {
  Target target;
  std::optional<QDate> date;
  QString time;                // hh:mm
  std::optional<QString> note; // --texte; "" takes the note away
  QString irregular;           // --pouls-irregulier: "oui", "non" or empty
};

CommandDefinition Definition(RemarqueOptions &o) {
  return {QStringLiteral("remarque --patient NOM --date JJ/MM/AAAA\n"
                         "--heure HH:MM [--texte T]\n"
                         "[--pouls-irregulier oui|non] [OPTIONS]"),
          QStringLiteral(
              "annote le relevé de cette date et de cette heure : la remarque (200 caractères\n"
              "au plus ; --texte \"\" l'efface) et l'indicateur « pouls irrégulier »."),
          {PatientOption(o.target),
           DateOption(QStringLiteral("--date"), QStringLiteral("le jour du relevé (obligatoire)"),
                      &o.date),
           CheckedOption(QStringLiteral("--heure"), QStringLiteral("HH:MM"),
                         QStringLiteral("l'heure du relevé (obligatoire)"),
                         QStringLiteral("Heure invalide : %1 (attendu : HH:MM)."),
                         [&o](const QString &value) {
                           if (!ParseClock(value)) {
                             return false;
                           }
                           o.time = value;
                           return true;
                         }),
           {QStringLiteral("--texte"), QStringLiteral("T"),
            QStringLiteral("la remarque, sur une ligne ; \"\" l'efface"),
            [&o](const QString &value) -> std::optional<Refusal> {
              o.note = value;
              return std::nullopt;
            },
            true},
           ChoiceOption(QStringLiteral("--pouls-irregulier"),
                        {QStringLiteral("oui"), QStringLiteral("non")},
                        QStringLiteral("l'indicateur « pouls irrégulier »"),
                        QStringLiteral("Valeur inconnue : %1 (oui ou non)."), &o.irregular),
           FolderOption(o.target),
           ForceLockOption(o.target)},
          QStringLiteral("Tensiolog doit être fermé.")};
}

int Remarque(const RemarqueOptions &request, QTextStream &out, QTextStream &err) {
  if (!request.date || request.time.isEmpty()) {
    return Refuse({QStringLiteral("Indiquez le relevé avec --date JJ/MM/AAAA et --heure HH:MM.")},
                  err);
  }
  if (!request.note && request.irregular.isEmpty()) {
    return Refuse({QStringLiteral("Indiquez la remarque avec --texte ou l'indicateur avec "
                                  "--pouls-irregulier oui|non.")},
                  err);
  }
  PatientLogbook opened;
  if (const std::optional<int> refused =
          OpenToChange(request.target, QStringLiteral("d'annoter un relevé"),
                       QStringLiteral("Annotation impossible"), opened, err)) {
    return *refused;
  }
  Logbook &book = opened.book;
  if (const FileError unreadable = UnreadableContextFile(book)) {
    return Refuse({ErrorSentence(QStringLiteral("Lecture impossible"), unreadable)}, err);
  }
  ContextChange change;
  change.note = request.note;
  if (!request.irregular.isEmpty()) {
    change.set(ContextFlag::Irregular, request.irregular == u"oui");
  }
  const QString date = request.date->toString(kDateMask);
  const QList<ChangedContext> changed = ChangeContextsAt(book, date, request.time, change);
  if (changed.isEmpty()) {
    return Refuse({QStringLiteral("Aucun relevé du %1 à %2 pour le patient « %3 ».")
                       .arg(date, request.time, request.target.patient)},
                  err);
  }
  if (const FileError failed = SaveFailure(SaveLogbook(book))) {
    return Refuse({ErrorSentence(QStringLiteral("Écriture impossible"), failed)}, err);
  }
  for (const ChangedContext &c : changed) {
    const Reading &r = c.reading;
    out << QStringLiteral("%1 %2 %3 : %4/%5, pouls %6 : %7")
               .arg(PeriodInfo(c.period).name, date, request.time, r[Reading::Systolic],
                    r[Reading::Diastolic], r[Reading::Pulse],
                    c.context.isEmpty() ? QStringLiteral("sans remarque")
                                        : ContextSummary(c.context))
        << u'\n';
  }
  return kCliOk;
}

} // namespace

int RunRemarque(const QStringList &args, QTextStream &out, QTextStream &err) {
  return RunCommand(args, out, err, Definition, Remarque);
}

} // namespace tl
