#include "common/patient_name.h"

#include "common/text.h"

#include <QList>

namespace tl {

char32_t InvisibleCharacter(const QString &name) {
  for (const char32_t c : name.toUcs4()) {
    const QChar::Category category = QChar::category(c);
    if (category == QChar::Other_Control || category == QChar::Other_Format) {
      return c;
    }
  }
  return 0;
}

bool IsUsablePatientName(const QString &name) {
  if (name.isEmpty() || name == u"." || name == u"..") {
    return false;
  }
  for (const QChar c : name) {
    if (c.category() == QChar::Other_Control) {
      return false;
    }
    switch (c.unicode()) {
    case u'\\':
    case u'/':
    case u':':
    case u'*':
    case u'?':
    case u'"':
    case u'<':
    case u'>':
    case u'|':
      return false;
    default:
      break;
    }
  }
  return true;
}

bool IsNewPatientName(const QString &name) {
  return IsUsablePatientName(name) && InvisibleCharacter(name) == 0 && !IsTooLongPatientName(name);
}

bool IsTooLongPatientName(const QString &name) {
  // Each UTF-16 unit gives at most 3 bytes: most names are settled at once.
  return name.size() * 3 > kMaxPatientNameBytes && name.toUtf8().size() > kMaxPatientNameBytes;
}

QString TooLongNameMessage() {
  return QStringLiteral("Le nom est trop long : il sert aussi à nommer les fichiers de mesures du "
                        "patient, et ne peut dépasser %1 octets, soit %1 lettres sans accent "
                        "(une lettre accentuée en compte 2).")
      .arg(kMaxPatientNameBytes);
}

QString VisiblePatientName(const QString &name) {
  if (InvisibleCharacter(name) == 0) {
    return name;
  }
  QString out;
  for (const char32_t c : name.toUcs4()) {
    const QChar::Category category = QChar::category(c);
    if (category == QChar::Other_Control || category == QChar::Other_Format) {
      out += QStringLiteral("[U+%1]").arg(
          QString::number(uint(c), 16).toUpper().rightJustified(4, u'0'));
    } else {
      out += QString::fromUcs4(&c, 1);
    }
  }
  return out;
}

QString UnusableNameMessage() {
  return QStringLiteral("Le nom sert aussi à nommer les fichiers de mesures du patient : il ne "
                        "peut contenir aucun des caractères \\ / : * ? \" < > | ni caractère de "
                        "contrôle, et ne peut pas être « . » ou « .. ».");
}

QString TypedPatientName(const QString &typed) {
  return SingleLine(typed).trimmed().normalized(QString::NormalizationForm_C);
}

QString InvisibleCharacterMessage(char32_t c) {
  return QStringLiteral("Le nom contient un caractère invisible ou de contrôle (U+%1), qui le "
                        "ferait paraître identique à un autre nom tout en désignant d'autres "
                        "fichiers de mesures : retapez-le sans ce caractère.")
      .arg(QString::number(uint(c), 16).toUpper().rightJustified(4, u'0'));
}

QString RefusedNameMessage(const QString &name) {
  if (const char32_t invisible = InvisibleCharacter(name)) {
    return InvisibleCharacterMessage(invisible);
  }
  return IsUsablePatientName(name) && IsTooLongPatientName(name) ? TooLongNameMessage()
                                                                 : UnusableNameMessage();
}

} // namespace tl
