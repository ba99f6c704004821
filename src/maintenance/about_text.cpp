#include "maintenance/about_text.h"

#include "common/identity.h"

namespace tl {

extern const char kBuildDate[]; // yyyy-MM-dd, written by the build

QDate ProgramBuildDate() { return QDate::fromString(QLatin1String(kBuildDate), Qt::ISODate); }

QString BuildAboutText(const QDate &buildDate) {
  const QString crlf = QStringLiteral("\r\n");
  const QString margin = QString(14, u' ');
  const QString indent = QStringLiteral("  ");
  QString text;
  text += margin + QStringLiteral("☞ Compatible Windows 8 / 8.1 / 10 et 11") + crlf;
  text += margin + QStringLiteral("Dernière compilation : ") + QStringLiteral(" le ") +
          buildDate.toString(QStringLiteral("dd.MM.yyyy")) + crlf;
  text += indent +
          QStringLiteral("Destiné à l'enregistrement des données fournies par le tensiomètre "
                         "lors des automesures tensionnelles réalisées par une personne, ") +
          QStringLiteral("il peut néanmoins servir à l'enregistrement des données de plusieurs "
                         "personnes et donc être utilisé par une famille ou un médecin.") +
          crlf + crlf;
  text += indent +
          QStringLiteral("Merci aux personnes qui ont essayé le programme et signalé ses "
                         "erreurs.") +
          crlf;
  text += indent +
          QStringLiteral("Merci aux soignants dont les conseils ont guidé la présentation des "
                         "relevés.") +
          crlf;
  text += indent +
          QStringLiteral("Merci aux familles qui tiennent ce carnet et proposent des "
                         "améliorations.") +
          crlf;
  text += crlf;
  text += indent + QStringLiteral("Pour toute question concernant ") + ProgramTitle() +
          QStringLiteral(" vous pouvez contacter l'auteur via le site web accessible par le "
                         "lien ci-dessous.");
  return text;
}

} // namespace tl
