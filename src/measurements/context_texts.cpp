#include "measurements/context_texts.h"

#include <QStringList>

namespace tl {

QString ContextFlagLabel(ContextFlag flag) {
  QString text = ContextFlagText(flag);
  if (!text.isEmpty()) {
    text[0] = text[0].toUpper();
  }
  return text;
}

QString ContextSummary(const ReadingContext &context) {
  QStringList parts;
  if (const QString flags = context.flagsText(); !flags.isEmpty()) {
    parts << flags;
  }
  if (!context.note.isEmpty()) {
    parts << QStringLiteral("remarque : ") + context.note;
  }
  return parts.join(QStringLiteral(" ; "));
}

QString ContextToolTip(const ReadingContext &context) {
  QStringList lines;
  if (QString flags = context.flagsText(); !flags.isEmpty()) {
    flags[0] = flags[0].toUpper();
    lines << flags;
  }
  if (!context.note.isEmpty()) {
    lines << QStringLiteral("Remarque : ") + context.note;
  }
  return lines.join(u'\n');
}

QString ContextDetailsLines(const ReadingContext &context, const QString &lineBreak) {
  QString out;
  if (const QString flags = context.flagsText(); !flags.isEmpty()) {
    out += QStringLiteral("Contexte : ") + flags + lineBreak;
  }
  if (!context.note.isEmpty()) {
    out += QStringLiteral("Remarque : ") + context.note + lineBreak;
  }
  return out;
}

} // namespace tl
