// Data destruction (deletions, report lines, the window) and the About window.
#include "fakes.h"

#include "common/identity.h"
#include "common/paths.h"
#include "maintenance/about_text.h"
#include "maintenance/about_window.h"
#include "maintenance/data_destruction.h"
#include "maintenance/destruction_window.h"
#include "theme/control_colour.h"
#include "ui/assets/assets.h"
#include "ui/documents.h"
#include "ui/drawing.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

using namespace tl;

namespace {

// Files relative to the data folder; a name ending in "!" is made read-only.
void MakeFiles(const QString &data, const QStringList &names) {
  for (QString name : names) {
    const bool readOnly = name.endsWith(u'!');
    if (readOnly) {
      name.chop(1);
    }
    QVERIFY(test::WriteFile(data + name, "x\r\n"));
    if (readOnly) {
      QVERIFY(QFile::setPermissions(data + name, QFile::ReadOwner | QFile::ReadUser));
    }
  }
}

QString Line(int item, bool ok) {
  return ok ? DestructionSuccessLine(item) : DestructionFailureLine(item);
}

} // namespace

class TestMaintenance : public QObject {
  Q_OBJECT

private slots:
  // The program's own fonts, so that the snapshots look as the user sees them.
  void initTestCase() { LoadSharedAssets(); }

  void destroyData_data() {
    QTest::addColumn<QList<int>>("ticked");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("kept");
    QTest::addColumn<QStringList>("gone");

    const QStringList everything = {"Impression Arteline/Imp_ARTL_Matin_Léa_14032026_054000.txt",
                                    "Impression Arteline/vieux/rapport.txt!",
                                    "Archives Arteline/14032026_0540_ARTL_Nuit_Léa.txt!",
                                    "ARTL_Matin_Léa.txt",
                                    "ARTL_Nuit_Léa.txt!",
                                    "notes.TXT",
                                    "sous-dossier/ARTL_Soir_Léa.txt",
                                    "ARTL_Users.ini",
                                    "ARTL_Prefs.ini",
                                    "lisez.md"};
    QTest::newRow("all five, read-only files included")
        << QList<int>{1, 2, 3, 4, 5} << everything
        << QStringList{Line(1, true), Line(2, true), Line(3, true), Line(4, true), Line(5, true)}
        << QStringList{"sous-dossier/ARTL_Soir_Léa.txt", "lisez.md"}
        << QStringList{"Impression Arteline", "Archives Arteline", "ARTL_Matin_Léa.txt",
                       "ARTL_Nuit_Léa.txt",   "notes.TXT",         "ARTL_Users.ini",
                       "ARTL_Prefs.ini"};
    QTest::newRow("item 5 with no file fails")
        << QList<int>{5} << QStringList{"ARTL_Users.ini"} << QStringList{Line(5, false)}
        << QStringList{"ARTL_Users.ini"} << QStringList{};
    QTest::newRow("item 4 with no file fails")
        << QList<int>{4} << QStringList{"ARTL_Prefs.ini"} << QStringList{Line(4, false)}
        << QStringList{"ARTL_Prefs.ini"} << QStringList{};
    QTest::newRow("item 3 with no measurement file succeeds")
        << QList<int>{3} << QStringList{"sous-dossier/ARTL_Matin_Léa.txt", "ARTL_Users.ini"}
        << QStringList{Line(3, true)}
        << QStringList{"sous-dossier/ARTL_Matin_Léa.txt", "ARTL_Users.ini"} << QStringList{};
    QTest::newRow("item 3 spares sub-folders named like files")
        << QList<int>{3} << QStringList{"dossier.txt/ARTL_Jour_Léa.txt", "ARTL_Jour_Léa.txt"}
        << QStringList{Line(3, true)} << QStringList{"dossier.txt/ARTL_Jour_Léa.txt"}
        << QStringList{"ARTL_Jour_Léa.txt"};
    // Every kind the patient store registers goes, with its rescue and
    // kept-aside copies; the user's own copies stay.
    QTest::newRow("item 3 takes the store's copies")
        << QList<int>{3}
        << QStringList{"ARTL_Soir_Léa.txt.secours-20261208-101112",
                       "ARTL_Notes_Léa.txt.illisible-20261208-101112", "ARTL_Soir_Léa.txt.Backup"}
        << QStringList{Line(3, true)} << QStringList{"ARTL_Soir_Léa.txt.Backup"}
        << QStringList{"ARTL_Soir_Léa.txt.secours-20261208-101112",
                       "ARTL_Notes_Léa.txt.illisible-20261208-101112"};
    QTest::newRow("folders already gone fail, the next items still run")
        << QList<int>{1, 2, 5} << QStringList{"ARTL_Prefs.ini"}
        << QStringList{Line(1, false), Line(2, false), Line(5, true)} << QStringList{}
        << QStringList{"ARTL_Prefs.ini"};
    QTest::newRow("nothing ticked")
        << QList<int>{} << everything << QStringList{} << everything << QStringList{};
  }
  void destroyData() {
    QFETCH(QList<int>, ticked);
    QFETCH(QStringList, files);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, kept);
    QFETCH(QStringList, gone);
    test::TempHome home;
    const StoragePaths paths = SetupStorage(home.path());
    const QString data = paths.dataFolder;
    QVERIFY(data.endsWith(QStringLiteral("Kestrune Arteline/")));
    if (!files.contains(QStringLiteral("Impression Arteline/vieux/rapport.txt!"))) {
      // Only the folders the case asks for.
      QDir(data + QStringLiteral("Impression Arteline")).removeRecursively();
      QDir(data + QStringLiteral("Archives Arteline")).removeRecursively();
    }
    MakeFiles(data, files);
    // A read-only folder inside the print folder.
    if (QFileInfo::exists(data + QStringLiteral("Impression Arteline/vieux"))) {
      QVERIFY(QFile::setPermissions(data + QStringLiteral("Impression Arteline/vieux"),
                                    QFile::ReadOwner | QFile::ExeOwner));
    }

    DestructionChoice choice{};
    for (int item : ticked) {
      choice[item - 1] = true;
    }
    QCOMPARE(DestroyData(choice, paths), lines);
    for (QString name : kept) {
      name.remove(u'!');
      QVERIFY2(QFileInfo::exists(data + name), qPrintable(name));
    }
    for (const QString &name : gone) {
      QVERIFY2(!QFileInfo::exists(data + name), qPrintable(name));
    }
    QVERIFY(QFileInfo(data).isDir()); // the data folder itself stays
  }

  void unknownDataFolderOnlyTakesMeasurementFiles() {
    test::TempHome home;
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(home.path()));
    MakeFiles(home.path(),
              {"ARTL_Matin_.txt", "lisez-moi.txt", "TNV Docs/Tensiolog_Licence-FR.txt"});
    StoragePaths paths;
    RebuildMeasurementPaths(paths, QString());
    DestructionChoice choice{};
    choice[2] = true;
    const QStringList lines = DestroyData(choice, paths);
    QDir::setCurrent(before);
    QCOMPARE(lines, QStringList{Line(3, true)});
    QVERIFY(!QFileInfo::exists(home.path() + QStringLiteral("ARTL_Matin_.txt")));
    QVERIFY(QFileInfo::exists(home.path() + QStringLiteral("lisez-moi.txt")));
    QVERIFY(QFileInfo::exists(home.path() + QStringLiteral("TNV Docs/Tensiolog_Licence-FR.txt")));
  }

  void windowWithNothingTicked() {
    test::TempHome home;
    Paths() = SetupStorage(home.path());
    MakeFiles(Paths().dataFolder, {"ARTL_Prefs.ini"});
    test::FakeDialogs dialogs;
    DataDestructionWindow window;
    window.show();
    window.itemBox(5)->setChecked(true);
    window.itemBox(5)->setChecked(false);
    for (int press = 0; press < 2; ++press) {
      window.deleteButton()->click();
      QCOMPARE(dialogs.shown.size(), press + 1);
      QCOMPARE(dialogs.shown.last().kind, test::ShownBox::Message);
      QCOMPARE(dialogs.shown.last().title, QStringLiteral("Suppression"));
      QCOMPARE(dialogs.shown.last().text,
               QStringLiteral("Aucun élément n'a été sélectionné. Vous devez cocher au moins "
                              "une case pour continuer."));
    }
    QVERIFY(window.isVisible());
    QCOMPARE(window.results()->toPlainText(), QStringLiteral("Affichage des résultats..."));
    QVERIFY(QFileInfo::exists(Paths().preferencesFile));
  }

  void windowAnsweredNo() {
    test::TempHome home;
    Paths() = SetupStorage(home.path());
    MakeFiles(Paths().dataFolder, {"ARTL_Prefs.ini", "ARTL_Users.ini"});
    test::FakeDialogs dialogs;
    dialogs.answerNo();
    DataDestructionWindow window;
    window.show();
    window.itemBox(4)->setChecked(true);
    window.itemBox(5)->setChecked(true);
    window.deleteButton()->click();
    QCOMPARE(dialogs.shown.size(), 1);
    QCOMPARE(dialogs.shown[0].kind, test::ShownBox::YesNo);
    QCOMPARE(dialogs.shown[0].icon, Dialogs::Icon::Warning);
    QCOMPARE(dialogs.shown[0].text,
             QStringLiteral("Tous les éléments sélectionnés vont être définitivement supprimés. "
                            "Êtes-vous sûr(e) de vouloir continuer ?"));
    QVERIFY(!window.isVisible());
    QCOMPARE(window.result(), int(QDialog::Rejected));
    QVERIFY(QFileInfo::exists(Paths().preferencesFile));
    QVERIFY(QFileInfo::exists(Paths().patientFile));
  }

  void windowRunsAndReports() {
    test::TempHome home;
    Paths() = SetupStorage(home.path());
    MakeFiles(Paths().dataFolder, {"ARTL_Matin_Léa.txt!", "ARTL_Users.ini"});
    test::FakeDialogs dialogs;
    dialogs.answerYes();
    DataDestructionWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (int item : {3, 4, 5}) {
      window.itemBox(item)->setChecked(true);
    }
    window.deleteButton()->click();
    QVERIFY(dialogs.allAnswersUsed());
    QCOMPARE(window.results()->toPlainText(),
             QStringLiteral("Affichage des résultats...\n"
                            "=======================\n"
                            "Démarrage de la suppression...\n"
                            "3/ Les fichiers de mesures des utilisateurs ont tous été supprimés.\n"
                            "4/ La suppression du fichier des utilisateurs a réussi.\n"
                            "5/ La suppression du fichier de préférences a échoué.\n"
                            "=======================\n"
                            "Suppression terminée!"));
    QVERIFY(window.isVisible());
    QCOMPARE(window.progress()->minimum(), 0);
    QCOMPARE(window.progress()->maximum(), 100);
    QCOMPARE(window.progress()->value(), 0);
    QVERIFY(!QFileInfo::exists(Paths().dataFolder + QStringLiteral("ARTL_Matin_Léa.txt")));
    // The colours of the results box and of the warning.
    const ColourRecord *results = ColourRecordOf(window.results());
    QVERIFY(results);
    QCOMPARE(results->background, QColor(11, 18, 35));
    QCOMPARE(results->text, QColor(231, 234, 238));
    QCOMPARE(
        FindControl(&window, ControlId::DestructionWarning)->palette().color(QPalette::WindowText),
        QColor(196, 0, 0));
    QVERIFY(
        window.grab().save(test::SnapshotFolder() + QStringLiteral("maintenance_destruction.png")));
  }

  void windowLayout() {
    DataDestructionWindow window;
    QCOMPARE(window.windowTitle(), QStringLiteral("Destruction des données"));
    QCOMPARE(window.size(), QSize(500, 420));
    for (int item = 1; item <= 5; ++item) {
      QCOMPARE(window.itemBox(item)->text(), DestructionItemLabel(item));
      QCOMPARE(window.itemBox(item)->pos(), QPoint(20, 80 + 25 * (item - 1)));
      QVERIFY(!window.itemBox(item)->isChecked());
    }
    QCOMPARE(BalloonTipOf(window.deleteButton())->text,
             QStringLiteral("Supprimer tous les fichiers qui ont été cochés."));
    QCOMPARE(BalloonTipOf(window.closeButton())->title, QStringLiteral("Fermer"));
    QVERIFY(window.closeButton()->isDefault());
    QVERIFY(!window.deleteButton()->isDefault());
  }

  void mainWindowDisabledWhileOpen() {
    QWidget main;
    main.show();
    bool mainWasEnabled = true;
    bool windowWasEnabled = false;
    QTimer::singleShot(0, &main, [&] {
      auto window = main.findChild<DataDestructionWindow *>();
      QVERIFY(window);
      mainWasEnabled = main.isEnabled();
      windowWasEnabled = window->isEnabled() && window->closeButton()->isEnabled();
      window->closeButton()->click();
    });
    RunDataDestruction(&main);
    QVERIFY(!mainWasEnabled);
    QVERIFY(windowWasEnabled);
    QVERIFY(main.isEnabled());
  }

  void aboutText() {
    const QStringList lines = BuildAboutText(QDate(2026, 3, 5)).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 9);
    const QString margin(14, u' ');
    QCOMPARE(lines[0], margin + QStringLiteral("☞ Compatible Windows 8 / 8.1 / 10 et 11"));
    QCOMPARE(lines[1], margin + QStringLiteral("Dernière compilation :  le 05.03.2026"));
    QCOMPARE(lines[2],
             QStringLiteral("  Destiné à l'enregistrement des données fournies par le tensiomètre "
                            "lors des automesures tensionnelles réalisées par une personne, il "
                            "peut néanmoins servir à l'enregistrement des données de plusieurs "
                            "personnes et donc être utilisé par une famille ou un médecin."));
    QCOMPARE(lines[3], QString());
    for (int i = 4; i <= 6; ++i) {
      QVERIFY(lines[i].startsWith(QStringLiteral("  ")) && lines[i].size() > 10);
    }
    QCOMPARE(lines[7], QString());
    QCOMPARE(lines[8], QStringLiteral("  Pour toute question concernant ") + ProgramTitle() +
                           QStringLiteral(" vous pouvez contacter l'auteur via le site web "
                                          "accessible par le lien ci-dessous."));
    QVERIFY(!BuildAboutText(QDate(2026, 3, 5)).contains(QRegularExpression("[^\r]\n")));

    // The build writes the date anew each day it runs, and this program was
    // linked by that same build.
    const QDate built = ProgramBuildDate();
    const QDate linked = QFileInfo(QCoreApplication::applicationFilePath()).lastModified().date();
    QVERIFY(built.isValid());
    QVERIFY2(built == linked || built == linked.addDays(-1), qPrintable(built.toString()));
  }

  void aboutWindow() {
    QWidget main;
    main.show();
    AboutWindow *about = ShowAboutWindow(&main);
    QVERIFY(QTest::qWaitForWindowExposed(about));
    QCOMPARE(ShowAboutWindow(&main), about); // one at a time
    QVERIFY(about->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(about->windowTitle(), QStringLiteral("A propos de ") + ProgramTitle());
    QCOMPARE(about->size(), QSize(500, 400));
    QVERIFY(!about->isModal());
    QVERIFY(main.isEnabled());
    QCOMPARE(about->panel()->title(), TitleLine());
    QCOMPARE(about->panel()->text(), BuildAboutText(ProgramBuildDate()));
    QCOMPARE(about->siteLink()->text(), WebSiteName());
    QCOMPARE(about->licenceLink()->text(), QStringLiteral("Lisez-moi"));
    QCOMPARE(about->closeButton()->text(), QStringLiteral("⇨ Fermer"));
    QVERIFY(about->grab().save(test::SnapshotFolder() + QStringLiteral("maintenance_about.png")));

    // Hover colour of the links.
    LinkLabel *link = about->licenceLink();
    const QColor rest = link->palette().color(QPalette::WindowText);
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(link, &enter);
    QCOMPARE(link->palette().color(QPalette::WindowText), QColor(238, 25, 30));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(link, &leave);
    QCOMPARE(link->palette().color(QPalette::WindowText), rest);
    QVERIFY(link->font().underline());

    QPointer<AboutWindow> guard(about);
    about->closeButton()->click();
    QTRY_VERIFY(!guard);
  }

  void aboutLinks_data() {
    QTest::addColumn<bool>("siteOpens");
    QTest::newRow("site opens") << true;
    QTest::newRow("no browser") << false;
  }
  void aboutLinks() {
    QFETCH(bool, siteOpens);
    test::TempHome home;
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(home.path()));
    test::FakeDialogs dialogs;
    test::RecordingShell shell;
    shell.result = siteOpens;
    QPointer<AboutWindow> about = ShowAboutWindow(nullptr);

    // "Lisez-moi" without the licence text: nothing, the window stays.
    QTest::mouseClick(about->licenceLink(), Qt::LeftButton);
    QVERIFY(shell.documents.isEmpty());
    QVERIFY(about->isVisible());
    // With it: opened, the window stays.
    MakeFiles(home.path(), {"TNV Docs/Tensiolog_Licence-FR.txt"});
    about->licenceLink()->setFocus();
    QTest::keyClick(about->licenceLink(), Qt::Key_Return);
    QCOMPARE(shell.documents.size(), 1);
    QVERIFY(shell.documents[0].endsWith(QStringLiteral("TNV Docs/Tensiolog_Licence-FR.txt")));
    QVERIFY(about);

    // The site link closes the window in every case.
    QTest::mouseClick(about->siteLink(), Qt::LeftButton);
    QDir::setCurrent(before);
    QCOMPARE(shell.addresses, QStringList{WebSiteAddress()});
    QCOMPARE(dialogs.shown.size(), siteOpens ? 0 : 1);
    if (!siteOpens) {
      QCOMPARE(dialogs.shown[0].title, QStringLiteral("Connexion..."));
      QCOMPARE(dialogs.shown[0].text, QStringLiteral("Impossible de se connecter au site"));
    }
    QTRY_VERIFY(!about);
  }
};

QTEST_MAIN(TestMaintenance)
#include "tst_maintenance.moc"
