#pragma once

// The documents shipped beside the program, the maker's web site and the five
// information texts of the main window's information panel.

#include <QString>
#include <QStringList>

class QWidget;

namespace tl {

// Paths in the process's current directory, looked up when opened.
QString HelpFilePath();      // "Kestrune TNV Help.chm"
QString HelpPagesPath();     // "Kestrune TNV Help/index.html", the same pages as HTML
QString ReferenceFormPath(); // "TNV Docs/CNAM-Relévé Automesure-tensionnelle_VF.pdf"
QString LicenceTextPath();   // "TNV Docs/Tensiolog_Licence-FR.txt"

// The maker's home page and the name its link shows.
QString WebSiteAddress();
QString WebSiteName();

// Open the help file or the reference form with its default handler; when
// that fails, an "ERREUR" box owned by `owner` says the file was not found.
// The help opens as the compiled help file where a program handles it (on
// Windows always), otherwise as HTML pages in the browser (on Linux, where
// nothing usually opens the compiled file).
void OpenHelpFile(QWidget *owner);
void OpenReferenceForm(QWidget *owner);
// Opens the licence text when it exists; a missing file is passed over.
void OpenLicenceText();
// Opens the web site in the default browser; on failure a "Connexion..."
// box. Returns whether it opened (the caller closes its window either way).
bool OpenWebSite(QWidget *owner);

// After files were written (PDF, printouts): each is opened with the
// program the system names for its type, then one box titled `title` says
// where they went, names those no program could open, and offers to open
// their folder ("Ouvrir le dossier"); a folder that cannot be opened says
// so. Nothing happens for an empty list.
void ShowWrittenFiles(QWidget *owner, const QString &title, const QStringList &paths);

// The information panel's title and its texts 1 to 5 (other numbers give "").
QString InformationTitle();
QString InformationText(int number);
inline constexpr int kInformationTextCount = 5;

} // namespace tl
