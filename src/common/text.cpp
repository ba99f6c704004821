#include "common/text.h"

namespace tl {

QString SingleLine(const QString &text) {
  if (!text.contains(u'\r') && !text.contains(u'\n')) {
    return text;
  }
  QString out;
  out.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c == u'\r') {
      out += u' ';
      if (i + 1 < text.size() && text[i + 1] == u'\n') {
        ++i;
      }
    } else if (c == u'\n') {
      out += u' ';
    } else {
      out += c;
    }
  }
  return out;
}

QString PlainToolTip(const QString &text) {
  if (!text.contains(u'<') && !text.contains(u'&')) {
    return text;
  }
  return QStringLiteral("<p style=\"white-space:pre-wrap\">") + text.toHtmlEscaped() +
         QStringLiteral("</p>");
}

} // namespace tl
