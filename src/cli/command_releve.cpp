// "releve": the patient's home series, its means against 135/85 mmHg, and
// the filled form as PDF.
#include "cli/command.h"
#include "cli/series_output.h"
#include "common/error_text.h"
#include "common/paths.h"
#include "logbook/logbook.h"
#include "logbook/reports.h"
#include "reports/report_files.h"
#include "reports/series_form.h"
#include "series/report_data.h"
#include "series/series.h"

#include <QJsonDocument>
#include <QTextStream>

namespace tl {

namespace {

struct ReleveOptions {
  Target target;
  std::optional<Protocol> protocol; // the patient's own without it
  std::optional<int> morningStart;  // in minutes
  std::optional<int> eveningEnd;    // past 24:00 for the next day
  std::optional<QDate> start;
  QString pdf;
  bool json = false;
};

Option ProtocolOption(std::optional<Protocol> *protocol) {
  return CheckedOption(QStringLiteral("--protocole"), QStringLiteral("regle223|regle3|esh7"),
                       QStringLiteral("règle des 2-2-3, règle des 3 ou protocole européen\n"
                                      "(par défaut : celui choisi pour le patient dans la\n"
                                      "fenêtre du relevé, sinon la règle des 2-2-3)"),
                       QStringLiteral("Protocole inconnu : %1 (regle223, regle3 ou esh7)."),
                       [protocol](const QString &value) {
                         *protocol = ProtocolFromKey(value);
                         return protocol->has_value();
                       });
}

Option MorningOption(std::optional<int> *start) {
  return {QStringLiteral("--matin-des"), QStringLiteral("HH:MM"),
          QStringLiteral("pour cette fois, la séance du matin commence à cette\n"
                         "heure, de 04:00 à 06:01 (par défaut : l'heure\n"
                         "choisie pour le patient, sinon 06:01)"),
          [start](const QString &value) -> std::optional<Refusal> {
            const std::optional<int> minutes = ParseClock(value);
            if (!minutes || *minutes < kEarliestMorningStart ||
                *minutes > SessionWindows().morningStart) {
              return Refusal{
                  QStringLiteral("Début du matin invalide : %1 (attendu : HH:MM, de %2 à %3).")
                      .arg(value, TimeText(kEarliestMorningStart),
                           TimeText(SessionWindows().morningStart))};
            }
            *start = *minutes;
            return std::nullopt;
          }};
}

Option EveningOption(std::optional<int> *end) {
  return {
      QStringLiteral("--soir-jusqua"), QStringLiteral("HH:MM"),
      QStringLiteral("pour cette fois, la séance du soir finit à cette\n"
                     "heure, de 23:59 à 01:59 le lendemain (par défaut :\n"
                     "l'heure choisie pour le patient, sinon 23:59)"),
      [end](const QString &value) -> std::optional<Refusal> {
        // 23:59 or, past midnight, up to the latest end the evening allows.
        std::optional<int> minutes = ParseClock(value);
        if (minutes && *minutes < SessionWindows().eveningEnd) {
          *minutes += 24 * 60;
        }
        if (!minutes || *minutes < SessionWindows().eveningEnd || *minutes > kLatestEveningEnd) {
          return Refusal{QStringLiteral("Fin du soir invalide : %1 (attendu : HH:MM, de %2 à %3 "
                                        "le lendemain).")
                             .arg(value, TimeText(SessionWindows().eveningEnd),
                                  TimeText(kLatestEveningEnd - 24 * 60))};
        }
        *end = *minutes;
        return std::nullopt;
      }};
}

CommandDefinition Definition(ReleveOptions &o) {
  return {
      QStringLiteral("releve --patient NOM [OPTIONS]"),
      QStringLiteral("le relevé d'automesure d'un patient : les mesures retenues, les moyennes\n"
                     "et la comparaison au seuil de 135/85 mmHg."),
      {PatientOption(o.target), ProtocolOption(&o.protocol), MorningOption(&o.morningStart),
       EveningOption(&o.eveningEnd),
       DateOption(QStringLiteral("--debut"),
                  QStringLiteral("premier jour du relevé (par défaut : le relevé se\n"
                                 "termine le dernier jour mesuré) ; avec esh7, le\n"
                                 "jour 1 est le premier jour mesuré dès cette date"),
                  &o.start),
       OutputOption(QStringLiteral("--pdf"), QStringLiteral("écrit aussi la fiche remplie en PDF"),
                    &o.pdf),
       JsonOption(&o.json), FolderOption(o.target)}};
}

int Releve(const ReleveOptions &request, QTextStream &out, QTextStream &err) {
  PatientLogbook opened;
  if (const std::optional<int> refused = OpenToRead(request.target, opened, err)) {
    return *refused;
  }
  const Logbook &book = opened.book;
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
    PrintSeriesText(series, opened.patient, out);
    if (!request.pdf.isEmpty()) {
      out << QStringLiteral("Fiche enregistrée dans %1.").arg(ShownPath(request.pdf)) << u'\n';
    }
  }
  return kCliOk;
}

} // namespace

int RunReleve(const QStringList &args, QTextStream &out, QTextStream &err) {
  return RunCommand(args, out, err, Definition, Releve);
}

} // namespace tl
