#pragma once

// How a path and a failure (FileError) are shown to a person, one function
// per place they are shown. A FileError's reason is a sentence fragment; only these
// functions make sentences of it, so that every message has its one final
// full stop and none has two.

#include "common/file_io.h"

#include <QString>

namespace tl {

// A path as a person reads it, wherever one is shown (messages, boxes,
// status lines, the command line's output): with the system's separators,
// "C:\dossier\relevés.csv" on Windows. Paths are built with "/" inside.
QString ShownPath(const QString &path);

// A message box: `heading` (whole sentences, with their full stops), a
// blank line, "path : why" on a line of its own, and `after` (whole
// sentences) after another blank line. With no heading, the box holds
// the failure as one sentence (ErrorSentence).
//   « Le fichier n'a pu être lu.\n\nC:\dossier\relevés.csv : accès refusé »
QString ErrorBoxText(const QString &heading, const FileError &error, const QString &after = {});

// A status line or a progress label: the failure as one sentence.
//   « La connexion avec le tensiomètre a été perdue. »
QString ErrorStatusText(const FileError &error);

// One French sentence: `lead` and the failure joined by " : ", then `more`
// as written (" ; le reste est classé"), capitalised and closed by one full
// stop. What the command-line program
// writes on standard error, and any line that tells a failure in passing.
//   « Lecture impossible : C:\dossier\relevés.csv : accès refusé. »
QString ErrorSentence(const QString &lead, const FileError &error, const QString &more = {});

} // namespace tl
