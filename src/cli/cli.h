#pragma once

// tensiolog-cli: the logbook's saved files from the command line, without a
// window. Errors are one French sentence on the error stream and a non-zero
// exit code; nothing is half-written.

#include <QStringList>

class QTextStream;

namespace tl {

// Exit codes.
inline constexpr int kCliOk = 0;
inline constexpr int kCliBadRequest = 2;     // bad option, date or patient; nothing to read
inline constexpr int kCliProgramRunning = 3; // the program runs: it would overwrite the files

// Runs one command (`arguments` without the program name).
int RunCli(const QStringList &arguments, QTextStream &out, QTextStream &err);

} // namespace tl
