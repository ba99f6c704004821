#include "common/error_text.h"

#include <QDir>

namespace tl {

QString ShownPath(const QString &path) { return QDir::toNativeSeparators(path); }

namespace {

// The first letter in upper case, unless the text starts with a path: a
// file's name is shown as it is spelt.
QString Capitalised(const QString &text, bool startsWithPath) {
  if (text.isEmpty() || startsWithPath) {
    return text;
  }
  return text.front().toUpper() + text.mid(1);
}

} // namespace

QString ErrorBoxText(const QString &heading, const FileError &error, const QString &after) {
  if (heading.isEmpty()) {
    return ErrorSentence(QString(), error) +
           (after.isEmpty() ? QString() : QStringLiteral("\n\n") + after);
  }
  QString text = heading + QStringLiteral("\n\n") + error.text();
  if (!after.isEmpty()) {
    text += QStringLiteral("\n\n") + after;
  }
  return text;
}

QString ErrorStatusText(const FileError &error) { return ErrorSentence(QString(), error); }

QString ErrorSentence(const QString &lead, const FileError &error, const QString &more) {
  const QString what = error.text();
  const QString text = lead.isEmpty()   ? what
                       : what.isEmpty() ? lead
                                        : lead + QStringLiteral(" : ") + what;
  return Capitalised(text + more, lead.isEmpty() && !error.path.isEmpty()) + u'.';
}

} // namespace tl
