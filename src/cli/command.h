#pragma once

// What the commands of tensiolog-cli share: their options read with
// QCommandLineParser into each command's own fields, their help, and the
// opening of the patient's logbook (data folder, lock, a save cut short,
// the lists). A refusal is one French sentence on the error stream and an
// exit code.

#include "cli/cli.h"
#include "common/file_io.h"
#include "common/paths.h"
#include "logbook/logbook.h"
#include "platform/instance_lock.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QTextStream;

namespace tl {

struct ImportOutcome;
struct SaveOutcome;

inline const QString kDateMask = QStringLiteral("dd/MM/yyyy");

// A failed request: the sentence for the error stream.
struct Refusal {
  QString message;
};

// Writes the refusal on `err`; returns kCliBadRequest.
int Refuse(const Refusal &refusal, QTextStream &err);

// The patient and data folder every command works on.
struct Target {
  QString patient;        // --patient, as typed names are kept
  QString folder;         // --dossier; empty: the profile's
  bool forceLock = false; // --forcer-verrou
};

// One option of a command. Its name is written as typed ("--patient", "-o");
// a name without dash is the file named on its own (import's FICHIER).
struct Option {
  QString name;
  QString value; // its value in the help ("NOM"); empty: the option takes none
  QString help;  // its help, lines separated by '\n'
  // Receives each value given, in the order given (an empty one for an
  // option without value); the last one given stays.
  std::function<std::optional<Refusal>(const QString &)> take;
  bool anyValue = false; // the value may start with "--" (a note says anything)
  // The file the option names for the command to write, checked once the
  // options are read (see CheckOutput); null for any other option.
  const QString *output = nullptr;
};

// A command's options and help.
struct CommandDefinition {
  QString usage; // after "Utilisation : tensiolog-cli "; lines separated by '\n'
  QString about; // what the command does, before its options; may be empty
  QList<Option> options;
  QString notes = {}; // after the options; may be empty
};

// The command's help: its usage, what it does, its options, and the
// not-a-medical-device sentence.
QString HelpText(const CommandDefinition &definition);

// Reads `args` (the command name first) into the fields the options of
// `definition` fill, then checks the patient of `target` and the output
// file. `--help` or `-h` anywhere prints the help instead. Returns the exit
// code when the command stops there (its help or its refusal written), none
// to go on.
std::optional<int> ParseCommand(const QStringList &args, const CommandDefinition &definition,
                                Target &target, QTextStream &out, QTextStream &err);

// Runs a command: `args` read into its options (a struct with its `target`)
// through the table `definition` makes of them, then `run` given them. Its
// help or a refusal of its options ends it there.
template <typename Options>
int RunCommand(const QStringList &args, QTextStream &out, QTextStream &err,
               CommandDefinition (*definition)(Options &),
               int (*run)(const Options &, QTextStream &, QTextStream &)) {
  Options options;
  if (const std::optional<int> stop =
          ParseCommand(args, definition(options), options.target, out, err)) {
    return *stop;
  }
  return run(options, out, err);
}

// The options most commands share.
Option PatientOption(Target &target,
                     const QString &help = QStringLiteral("le patient (obligatoire)"));
Option FolderOption(Target &target);
Option ForceLockOption(Target &target);
// An option taking a date JJ/MM/AAAA.
Option DateOption(const QString &name, const QString &help, std::optional<QDate> *date);
// An option taking any text (a file name).
Option TextOption(const QString &name, const QString &value, const QString &help, QString *text);
// An option naming the FICHIER the command writes (-o, --pdf).
Option OutputOption(const QString &name, const QString &help, QString *file);
// An option whose value `keep` checks and keeps; a value it refuses
// (returning false) gets `refused`, its %1 the value given.
Option CheckedOption(const QString &name, const QString &value, const QString &help,
                     const QString &refused, std::function<bool(const QString &)> keep);
// An option taking one of `values`; anything else is refused with
// `refused`, its %1 the value given.
Option ChoiceOption(const QString &name, const QStringList &values, const QString &help,
                    const QString &refused, QString *chosen);
// An option without value that sets `*on`.
Option SwitchOption(const QString &name, const QString &help, bool *on);
// --json: the result as a JSON object.
Option JsonOption(bool *json);

// Minutes since midnight of "HH:MM"; none for anything else.
std::optional<int> ParseClock(const QString &value);

// The data folder of the target, absolute, with a final '/'.
QString DataFolder(const Target &target);

// Refuses an output file (-o, --pdf) that is not safe to write: a part of
// the logbook, a link, a device, a pipe or a folder.
std::optional<Refusal> CheckOutput(const QString &option, const QString &path,
                                   const Target &target);

// A patient's logbook as a command opens it: the name and paths the
// logbook refers to, the data folder's lock while the command writes there,
// and for an import whether the patient still has neither files nor
// profile.
struct PatientLogbook {
  QString patient;
  StoragePaths paths;
  Logbook book{patient, paths};
  std::unique_ptr<DataFolderLock> lock;
  bool needsProfile = false;
};

// Opens the patient's logbook to read it: the four lists loaded from the
// data folder. A patient without any measurement file, or a file that
// cannot be read, is refused; a refusal gives the exit code, its sentence
// on `err`.
std::optional<int> OpenToRead(const Target &target, PatientLogbook &opened, QTextStream &err);

// Opens the patient's logbook to change it: the data folder held when it
// exists, a save cut short finished, then the lists loaded as OpenToRead
// does. A folder held elsewhere is refused with "Tensiolog est ouvert :
// fermez-le avant <doing>...", one that cannot be held with "<impossible> :
// <why>."; a lock of another computer is replaced only with --forcer-verrou.
std::optional<int> OpenToChange(const Target &target, const QString &doing,
                                const QString &impossible, PatientLogbook &opened,
                                QTextStream &err);

// Opens the patient's logbook for an import: the data folder held, but for
// a dry run, a save cut short finished, then the lists loaded. A refusal
// gives the exit code, its sentence on `err`.
std::optional<int> OpenForImport(const Target &target, bool dryRun, PatientLogbook &opened,
                                 QTextStream &err);

// The first file a save could not write, the context file's last, or none.
FileError SaveFailure(const SaveOutcome &saved);

// What an import refuses once read: nothing importable (`nothing`, then why
// each line was refused), a save that failed; then the profile of a new
// patient made. A refusal gives the exit code.
std::optional<int> CheckImported(const ImportOutcome &imported, const QString &nothing,
                                 Logbook &book, bool needsProfile, QTextStream &err);

// The end of an import that went through: its summary, and for a trial
// that nothing was written.
int PrintImported(const ImportOutcome &imported, bool dryRun, QTextStream &out);

// The commands, each in its own file: `args` starts with the command name.
int RunReleve(const QStringList &args, QTextStream &out, QTextStream &err);
int RunRapport(const QStringList &args, QTextStream &out, QTextStream &err);
int RunExport(const QStringList &args, QTextStream &out, QTextStream &err);
int RunImport(const QStringList &args, QTextStream &out, QTextStream &err);
int RunRemarque(const QStringList &args, QTextStream &out, QTextStream &err);
int RunTensiometre(const QStringList &args, QTextStream &out, QTextStream &err);

} // namespace tl
