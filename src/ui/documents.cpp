#include "ui/documents.h"

#include "common/error_text.h"
#include "platform/dialogs.h"
#include "platform/shell.h"

#include <QDir>
#include <QFileInfo>

namespace tl {

namespace {

QString InCurrentDirectory(const QString &relative) {
  QString dir = QDir::currentPath();
  if (!dir.endsWith(u'/')) {
    dir += u'/';
  }
  return dir + relative;
}

} // namespace

QString HelpFilePath() { return InCurrentDirectory(QStringLiteral("Kestrune TNV Help.chm")); }

QString HelpPagesPath() {
  return InCurrentDirectory(QStringLiteral("Kestrune TNV Help/index.html"));
}

QString ReferenceFormPath() {
  return InCurrentDirectory(QStringLiteral("TNV Docs/CNAM-Relévé Automesure-tensionnelle_VF.pdf"));
}

QString LicenceTextPath() {
  return InCurrentDirectory(QStringLiteral("TNV Docs/Tensiolog_Licence-FR.txt"));
}

QString WebSiteAddress() { return QStringLiteral("https://www.drevant-software.fr/"); }

QString WebSiteName() { return QStringLiteral("drevant-software.fr"); }

void OpenHelpFile(QWidget *owner) {
  const QString compiled = HelpFilePath();
  if (shell().hasHandler(compiled) && shell().openDocument(compiled)) {
    return;
  }
  const QString pages = HelpPagesPath();
  if (QFileInfo(pages).isFile() && !shell().hasHandler(pages)) {
    // The pages are there but nothing can show them: saying they are
    // missing would send the user looking for a file that exists.
    dialogs().error(owner, QStringLiteral("ERREUR"),
                    QStringLiteral("Aucun navigateur n'est installé pour ouvrir l'aide.") +
                        QStringLiteral("\n\n") + ShownPath(pages));
    return;
  }
  if (!shell().openDocument(pages)) {
    dialogs().error(owner, QStringLiteral("ERREUR"),
                    QStringLiteral("Le fichier d'aide n'a pas été trouvé dans le répertoire de "
                                   "l'application."));
  }
}

void OpenReferenceForm(QWidget *owner) {
  if (!shell().openDocument(ReferenceFormPath())) {
    dialogs().error(
        owner, QStringLiteral("ERREUR"),
        QStringLiteral("Le fichier n'a pas été trouvé dans le répertoire de l'application."));
  }
}

void OpenLicenceText() {
  const QString path = LicenceTextPath();
  if (QFileInfo(path).isFile()) {
    shell().openDocument(path);
  }
}

bool OpenWebSite(QWidget *owner) {
  if (shell().openAddress(WebSiteAddress())) {
    return true;
  }
  dialogs().warning(owner, QStringLiteral("Connexion..."),
                    QStringLiteral("Impossible de se connecter au site"));
  return false;
}

QString InformationTitle() { return QStringLiteral("Le cycle cardiaque"); }

QString InformationText(int number) {
  switch (number) {
  case 1:
    return QStringLiteral(
        "SYSTOLIQUE - indique la pression dans les artères quand le coeur bat.\n"
        "DIASTOLIQUE - indique la pression dans les artères quand le coeur se repose entre "
        "chaque battements.\n"
        "POULS - nombre de battements de coeur par minute.");
  case 2:
    return QStringLiteral(
        "Le cycle cardiaque se divise en diastole et systole. La diastole correspond au "
        "remplissage ventriculaire, et la systole à la contraction/éjection ventriculaire. Ces "
        "deux phases se produisent dans les deux ventricules, droit et gauche, mais avec des "
        "pressions très différentes.");
  case 3:
    return QStringLiteral(
        "La systole est la contraction du cœur qui éjecte le sang, et la diastole est sa "
        "relaxation qui lui permet de se remplir de sang. Lors d'une prise de tension "
        "artérielle, le premier chiffre (systolique) mesure la pression lors de la contraction, "
        "et le second (diastolique) la pression au repos");
  case 4:
    return QStringLiteral(
        "Une tension idéale est inférieure à 120/80 mmHg, tandis qu'une valeur supérieure ou "
        "égale à 140/90 mmHg est considérée comme de l'hypertension. Ceci est à moduler en "
        "fonction de l'âge, la corpulence et autres facteurs. D'où l'importance de consulter un "
        "médecin.");
  case 5:
    return QStringLiteral(
        "L'abréviation mmHg signifie millimètre (mm) de mercure (Hg). Cette unité de mesure est "
        "utilisée pour mesurer la pression artérielle sanguine (1 mmHg équivaut à 0,00133 bar). "
        "Les chiffres fournis par le médecin après une prise de tension sont exprimés en mmHg.");
  default:
    return QString();
  }
}

void ShowWrittenFiles(QWidget *owner, const QString &title, const QStringList &paths) {
  if (paths.isEmpty()) {
    return;
  }
  QStringList unopened;
  for (const QString &path : paths) {
    // Opening can report success with nothing behind it: the handler is
    // asked first.
    if (!shell().hasHandler(path) || !shell().openDocument(path)) {
      unopened << QFileInfo(path).fileName();
    }
  }
  const QString folder = QFileInfo(paths.first()).absolutePath();
  const QString shownFolder = ShownPath(folder);
  QString text;
  if (paths.size() == 1) {
    text = QStringLiteral("Le fichier a été enregistré :\n%1")
               .arg(ShownPath(QFileInfo(paths.first()).absoluteFilePath()));
  } else {
    QStringList names;
    for (const QString &path : paths) {
      names << QStringLiteral("  ") + QFileInfo(path).fileName();
    }
    text = QStringLiteral("Les fichiers ont été enregistrés dans le dossier %1 :\n%2")
               .arg(shownFolder, names.join(u'\n'));
  }
  if (!unopened.isEmpty()) {
    text += paths.size() == 1
                ? QStringLiteral("\n\nAucun programme n'est installé pour l'ouvrir : ouvrez-le "
                                 "depuis son dossier.")
                : QStringLiteral("\n\nAucun programme n'est installé pour ouvrir %1 : "
                                 "ouvrez-les depuis leur dossier.")
                      .arg(unopened.join(QStringLiteral(", ")));
  }
  if (dialogs().messageWithAction(
          owner, unopened.isEmpty() ? Dialogs::Icon::Information : Dialogs::Icon::Warning, title,
          text, QStringLiteral("Ouvrir le dossier")) &&
      !shell().openDocument(folder)) {
    dialogs().error(owner, title,
                    QStringLiteral("Le dossier %1 n'a pas pu être ouvert : aucun gestionnaire de "
                                   "fichiers n'est installé.")
                        .arg(shownFolder));
  }
}

} // namespace tl
