#include "cli/command.h"

#include "common/error_text.h"
#include "common/file_batch.h"
#include "common/paths.h"
#include "common/patient_name.h"
#include "exchange/logbook_exchange.h"
#include "logbook/logbook.h"
#include "logbook/patient_file.h"
#include "logbook/workflows.h"
#include "platform/clock.h"
#include "platform/instance_lock.h"
#include "platform/profile.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QTextStream>
#include <QTime>
#include <algorithm>

namespace tl {

namespace {

const char kNotMedicalDevice[] =
    "Tensiolog n'est pas un dispositif médical : seul votre médecin peut interpréter\n"
    "ces mesures.\n";

// The option's name for QCommandLineParser: without its dashes.
QString ParserName(const Option &option) {
  return option.name.mid(option.name.startsWith(QStringLiteral("--")) ? 2 : 1);
}

bool IsFile(const Option &option) { return !option.name.startsWith(u'-'); }

// The option an argument names as typed ("--du=01/03/2026" names --du), or
// null.
const Option *Named(const QList<Option> &options, const QString &argument) {
  const QString name = argument.section(u'=', 0, 0);
  const auto found = std::find_if(options.begin(), options.end(),
                                  [&](const Option &o) { return !IsFile(o) && o.name == name; });
  return found == options.end() ? nullptr : &*found;
}

// The first argument out of place, in the order given: an option the
// command does not have (also "--opt" for "-opt", which the parser would
// take), a value given to an option that takes none, an option whose value
// is missing or is another option, a second file. QCommandLineParser would
// take an option for the value before it and answers in English: the
// sentences here are the command's own.
std::optional<Refusal> Misplaced(const QStringList &args, const QList<Option> &options) {
  const bool takesFile = std::any_of(options.begin(), options.end(), IsFile);
  bool file = false;
  for (qsizetype i = 1; i < args.size(); ++i) {
    const QString &argument = args[i];
    if (takesFile && !file && !argument.startsWith(u'-')) {
      file = true;
      continue;
    }
    const Option *option = Named(options, argument);
    const bool joined = argument.contains(u'=');
    if (!option || (option->value.isEmpty() && joined)) {
      return Refusal{QStringLiteral("Option inconnue : %1.").arg(argument)};
    }
    if (option->value.isEmpty() || joined) {
      continue;
    }
    if (i + 1 >= args.size() ||
        (!option->anyValue && args[i + 1].startsWith(QStringLiteral("--")))) {
      return Refusal{QStringLiteral("L'option %1 demande une valeur.").arg(option->name)};
    }
    ++i;
  }
  return std::nullopt;
}

// Reads the options into the command's fields, each value in the order
// given.
std::optional<Refusal> ReadOptions(const QStringList &args, const QList<Option> &options) {
  if (std::optional<Refusal> refused = Misplaced(args, options)) {
    return refused;
  }
  QCommandLineParser parser;
  // "-o" is a name of its own, as "--patient" is.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  for (const Option &option : options) {
    if (!IsFile(option)) {
      parser.addOption(QCommandLineOption(ParserName(option), option.help, option.value));
    }
  }
  if (!parser.parse(args)) {
    // Out of reach once Misplaced found nothing; never the parser's English.
    return Refusal{QStringLiteral("Option inconnue : %1.")
                       .arg(parser.unknownOptionNames().value(0, args.mid(1).join(u' ')))};
  }
  QHash<QString, qsizetype> taken; // values of each option read so far
  for (const QString &name : parser.optionNames()) {
    const auto option = std::find_if(options.begin(), options.end(), [&](const Option &o) {
      return !IsFile(o) && ParserName(o) == name;
    });
    if (option == options.end()) {
      continue;
    }
    const QString value =
        option->value.isEmpty() ? QString() : parser.values(name).value(taken[name]++);
    if (std::optional<Refusal> refused = option->take(value)) {
      return refused;
    }
  }
  const auto file = std::find_if(options.begin(), options.end(), IsFile);
  if (file != options.end() && !parser.positionalArguments().isEmpty()) {
    return file->take(parser.positionalArguments().front());
  }
  return std::nullopt;
}

// "  --pdf FICHIER             le rapport..." : the label, then the help
// from the 29th column, under the label when it is too long.
QString OptionHelp(const Option &option) {
  const QString label = option.value.isEmpty() ? option.name : option.name + u' ' + option.value;
  const QString indent(28, u' ');
  const QStringList lines = option.help.split(u'\n');
  QString text = QStringLiteral("  ") + label;
  text += label.size() <= 24 ? QString(26 - label.size(), u' ') : u'\n' + indent;
  text += lines.join(u'\n' + indent);
  return text + u'\n';
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
// the target or of the profile, in their archive folders (which may be
// links to elsewhere), or on their patient and preferences files (links
// too, perhaps).
bool IsLogbookFile(const QString &path, const Target &target) {
  const QString resolved = ResolvedPath(path);
  Target profile = target;
  profile.folder.clear();
  for (const QString &data : {DataFolder(target), DataFolder(profile)}) {
    for (const QString &folder : {data, data + QStringLiteral("Archives Arteline")}) {
      if (IsInside(resolved, ResolvedPath(folder))) {
        return true;
      }
    }
    for (const QString &file :
         {QStringLiteral("ARTL_Users.ini"), QStringLiteral("ARTL_Prefs.ini")}) {
      if (resolved.compare(ResolvedPath(data + file), kPathCase) == 0) {
        return true;
      }
    }
  }
  return false;
}

// Points the logbook at the patient's files in the data folder of the
// target.
void PointAt(const Target &target, Logbook &book) {
  StoragePaths &paths = book.paths();
  paths.dataFolder = DataFolder(target);
  paths.patientFile = paths.dataFolder + QStringLiteral("ARTL_Users.ini");
  paths.preferencesFile = paths.dataFolder + QStringLiteral("ARTL_Prefs.ini");
  book.setPatient(target.patient);
}

// Takes the data folder for a command that writes there; otherwise says why
// ("Tensiolog est ouvert : fermez-le avant <doing>...") and gives the exit
// code. A lock of another computer is replaced only with --forcer-verrou.
std::optional<int> TakeFolderLock(DataFolderLock &lock, const QString &doing,
                                  const QString &impossible, QTextStream &err, bool force) {
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

// Holds the data folder of the logbook, then finishes a save cut short
// there, before anything is read.
std::optional<int> HoldDataFolder(const Target &target, const QString &doing,
                                  const QString &impossible, PatientLogbook &opened,
                                  QTextStream &err) {
  const QString &folder = opened.paths.dataFolder;
  opened.lock = std::make_unique<DataFolderLock>(folder);
  if (const std::optional<int> refused =
          TakeFolderLock(*opened.lock, doing, impossible, err, target.forceLock)) {
    return refused;
  }
  RecoverInterruptedBatch(folder);
  return std::nullopt;
}

} // namespace

int Refuse(const Refusal &refusal, QTextStream &err) {
  err << refusal.message << u'\n';
  return kCliBadRequest;
}

QString HelpText(const CommandDefinition &definition) {
  // Continuation lines of the usage under its first word, the text indented.
  QString text = QStringLiteral("Utilisation : tensiolog-cli %1\n")
                     .arg(QString(definition.usage).replace(u'\n', u'\n' + QString(28, u' ')));
  if (!definition.about.isEmpty()) {
    text += QStringLiteral("  ") +
            QString(definition.about).replace(u'\n', QStringLiteral("\n  ")) + u'\n';
  }
  text += QStringLiteral("\nOptions :\n");
  for (const Option &option : definition.options) {
    text += OptionHelp(option);
  }
  if (!definition.notes.isEmpty()) {
    text += u'\n' + definition.notes + u'\n';
  }
  return text + u'\n' + QString::fromUtf8(kNotMedicalDevice);
}

std::optional<int> ParseCommand(const QStringList &args, const CommandDefinition &definition,
                                Target &target, QTextStream &out, QTextStream &err) {
  // The help comes before anything else the line holds.
  const QStringList given = args.mid(1);
  if (given.contains(u"--help") || given.contains(u"-h")) {
    out << HelpText(definition);
    return kCliOk;
  }
  if (const std::optional<Refusal> refused = ReadOptions(args, definition.options)) {
    return Refuse(*refused, err);
  }
  if (target.patient.isEmpty()) {
    return Refuse({QStringLiteral("Indiquez le patient avec --patient NOM.")}, err);
  }
  if (const char32_t invisible = InvisibleCharacter(target.patient)) {
    return Refuse({InvisibleCharacterMessage(invisible)}, err);
  }
  if (!IsUsablePatientName(target.patient)) {
    return Refuse({QStringLiteral("Nom de patient inutilisable : %1.").arg(target.patient)}, err);
  }
  for (const Option &option : definition.options) {
    if (option.output) {
      if (const std::optional<Refusal> refused = CheckOutput(option.name, *option.output, target)) {
        return Refuse(*refused, err);
      }
    }
  }
  return std::nullopt;
}

Option PatientOption(Target &target, const QString &help) {
  return {QStringLiteral("--patient"), QStringLiteral("NOM"), help,
          [&target](const QString &value) -> std::optional<Refusal> {
            target.patient = TypedPatientName(value);
            return std::nullopt;
          }};
}

Option FolderOption(Target &target) {
  return TextOption(QStringLiteral("--dossier"), QStringLiteral("DOSSIER"),
                    QStringLiteral("un autre dossier de données que celui du profil"),
                    &target.folder);
}

Option ForceLockOption(Target &target) {
  return SwitchOption(QStringLiteral("--forcer-verrou"),
                      QStringLiteral("passe outre le verrou d'un autre ordinateur où\n"
                                     "Tensiolog s'est arrêté sans se fermer"),
                      &target.forceLock);
}

Option DateOption(const QString &name, const QString &help, std::optional<QDate> *date) {
  return {name, QStringLiteral("JJ/MM/AAAA"), help,
          [date](const QString &value) -> std::optional<Refusal> {
            const QDate parsed = QDate::fromString(value, kDateMask);
            if (!parsed.isValid() || parsed.toString(kDateMask) != value) {
              return Refusal{
                  QStringLiteral("Date invalide : %1 (attendu : JJ/MM/AAAA).").arg(value)};
            }
            *date = parsed;
            return std::nullopt;
          }};
}

Option TextOption(const QString &name, const QString &value, const QString &help, QString *text) {
  return {name, value, help, [text](const QString &given) -> std::optional<Refusal> {
            *text = given;
            return std::nullopt;
          }};
}

Option OutputOption(const QString &name, const QString &help, QString *file) {
  Option option = TextOption(name, QStringLiteral("FICHIER"), help, file);
  option.output = file;
  return option;
}

Option CheckedOption(const QString &name, const QString &value, const QString &help,
                     const QString &refused, std::function<bool(const QString &)> keep) {
  return {name, value, help, [refused, keep](const QString &given) -> std::optional<Refusal> {
            if (!keep(given)) {
              return Refusal{refused.arg(given)};
            }
            return std::nullopt;
          }};
}

Option ChoiceOption(const QString &name, const QStringList &values, const QString &help,
                    const QString &refused, QString *chosen) {
  return {name, values.join(u'|'), help,
          [values, refused, chosen](const QString &value) -> std::optional<Refusal> {
            if (!values.contains(value)) {
              return Refusal{refused.arg(value)};
            }
            *chosen = value;
            return std::nullopt;
          }};
}

Option SwitchOption(const QString &name, const QString &help, bool *on) {
  return {name, QString(), help, [on](const QString &) -> std::optional<Refusal> {
            *on = true;
            return std::nullopt;
          }};
}

Option JsonOption(bool *json) {
  return SwitchOption(QStringLiteral("--json"), QStringLiteral("un objet JSON au lieu du texte"),
                      json);
}

std::optional<int> ParseClock(const QString &value) {
  const QTime time = QTime::fromString(value, QStringLiteral("hh:mm"));
  if (!time.isValid() || value.size() != 5) {
    return std::nullopt;
  }
  return time.hour() * 60 + time.minute();
}

QString DataFolder(const Target &target) {
  const QString folder = target.folder.isEmpty()
                             ? ProfileFolder() + QStringLiteral("Kestrune Arteline")
                             : target.folder;
  QString path = QDir::fromNativeSeparators(QFileInfo(folder).absoluteFilePath());
  if (!path.endsWith(u'/')) {
    path += u'/';
  }
  return path;
}

// An output file may be new or an ordinary file. Its type is read without
// opening it: opening a pipe would block. The writer checks again through
// the handle it opens, for a path changed in between.
std::optional<Refusal> CheckOutput(const QString &option, const QString &path,
                                   const Target &target) {
  if (path.isEmpty()) {
    return std::nullopt;
  }
  const QString shown = ShownPath(path);
  if (IsLogbookFile(path, target)) {
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

FileError SaveFailure(const SaveOutcome &saved) {
  return saved.failed.isEmpty() ? saved.contextError : saved.failed.front().error;
}

int PrintImported(const ImportOutcome &imported, bool dryRun, QTextStream &out) {
  out << imported.summary << u'\n';
  if (dryRun) {
    out << QStringLiteral("Essai : aucun fichier n'a été écrit.") << u'\n';
  }
  return kCliOk;
}

std::optional<int> CheckImported(const ImportOutcome &imported, const QString &nothing,
                                 Logbook &book, bool needsProfile, QTextStream &err) {
  if (imported.imported + imported.duplicates == 0) {
    QStringList lines = imported.summary.split(u'\n');
    lines[0] = nothing;
    return Refuse({lines.join(u'\n')}, err);
  }
  if (const FileError failed = SaveFailure(imported.saved)) {
    return Refuse({ErrorSentence(QStringLiteral("Écriture impossible"), failed)}, err);
  }
  // Files kept aside, readings taken from outside: said, nothing lost.
  if (const QString outside = OutsideChangesText(imported.saved); !outside.isEmpty()) {
    err << outside << u'\n';
  }
  if (imported.appended && needsProfile) {
    if (const FileError failed =
            AddPatientProfile(book.paths().patientFile, book.patient(), clock().now().date())) {
      return Refuse({ErrorSentence(QStringLiteral("Fiche du patient non créée"), failed)}, err);
    }
  }
  return std::nullopt;
}

std::optional<int> OpenToRead(const Target &target, PatientLogbook &opened, QTextStream &err) {
  Logbook &book = opened.book;
  PointAt(target, book);
  const auto &files = book.paths().measurementFiles;
  if (std::none_of(files.begin(), files.end(),
                   [](const QString &path) { return QFileInfo(path).isFile(); })) {
    return Refuse({QStringLiteral("Aucun fichier de mesures pour le patient « %1 » dans %2.")
                       .arg(target.patient, ShownPath(book.paths().dataFolder))},
                  err);
  }
  if (const QList<PeriodFileError> unreadable = LoadLogbook(book); !unreadable.isEmpty()) {
    return Refuse({ErrorSentence(QStringLiteral("Lecture impossible"), unreadable.front().error)},
                  err);
  }
  return std::nullopt;
}

std::optional<int> OpenToChange(const Target &target, const QString &doing,
                                const QString &impossible, PatientLogbook &opened,
                                QTextStream &err) {
  opened.paths.dataFolder = DataFolder(target);
  if (QFileInfo(opened.paths.dataFolder).isDir()) {
    if (const std::optional<int> refused = HoldDataFolder(target, doing, impossible, opened, err)) {
      return refused;
    }
  }
  return OpenToRead(target, opened, err);
}

// The window holds the lists in memory and would write over what is
// imported, and another import would mix with this one: the folder is held,
// but for a dry run, which writes nothing.
std::optional<int> OpenForImport(const Target &target, bool dryRun, PatientLogbook &opened,
                                 QTextStream &err) {
  Logbook &book = opened.book;
  const StoragePaths &paths = opened.paths;
  PointAt(target, book);
  if (!QFileInfo(paths.dataFolder).isDir()) {
    return Refuse(
        {QStringLiteral("Dossier de données introuvable : %1.").arg(ShownPath(paths.dataFolder))},
        err);
  }
  if (!dryRun) {
    if (const std::optional<int> refused =
            HoldDataFolder(target, QStringLiteral("d'importer des relevés"),
                           QStringLiteral("Importation impossible"), opened, err)) {
      return refused;
    }
  }
  const auto &files = paths.measurementFiles;
  const bool hasFiles = std::any_of(files.begin(), files.end(),
                                    [](const QString &path) { return QFileInfo(path).isFile(); });
  const PatientFileContents profiles = LoadPatientFile(paths.patientFile);
  opened.needsProfile = !hasFiles && !HasPatientProfile(profiles.patients, book.patient());
  if (opened.needsProfile && IsTooLongPatientName(book.patient())) {
    return Refuse({TooLongNameMessage()}, err);
  }
  if (opened.needsProfile && profiles.unreadable) {
    return Refuse(
        {QStringLiteral("Fichier des patients illisible : %1.").arg(ShownPath(paths.patientFile))},
        err);
  }
  QStringList notices;
  if (const QList<PeriodFileError> unreadable = LoadLogbook(book, &notices);
      !unreadable.isEmpty()) {
    return Refuse({ErrorSentence(QStringLiteral("Lecture impossible"), unreadable.front().error)},
                  err);
  }
  if (const QString text = UnreadableFilesText({}, notices); !text.isEmpty()) {
    err << text << u'\n'; // every record read; the file kept aside before it is written over
  }
  return std::nullopt;
}

} // namespace tl
