#include "common/patient_name.h"

namespace tl {

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

QString UnusableNameMessage() {
  return QStringLiteral("Le nom sert aussi à nommer les fichiers de mesures du patient : il ne "
                        "peut contenir aucun des caractères \\ / : * ? \" < > | ni caractère de "
                        "contrôle, et ne peut pas être « . » ou « .. ».");
}

} // namespace tl
