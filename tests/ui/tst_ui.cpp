// The shared drawing routines and the information texts.
#include "fakes.h"

#include "ui/assets/assets.h"
#include "ui/documents.h"
#include "ui/drawing.h"

#include <QApplication>
#include <QDir>
#include <QHelpEvent>
#include <QMenu>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

using namespace tl;

namespace {

// The colour at a point of a widget rendered at scale 1.
QColor PixelOf(QWidget &widget, QPoint at) {
  QImage image(widget.size(), QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  widget.render(&image);
  return image.pixelColor(at);
}

bool Near(const QColor &a, const QColor &b, int tolerance = 12) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

} // namespace

class TestUi : public QObject {
  Q_OBJECT

private slots:
  // Files written: each opened where a program takes its type, one box
  // saying where they went (naming those nothing opens) and offering the
  // folder, which opens on request or says it cannot.
  void writtenFilesSayWhereTheyWent_data() {
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<bool>("viewer");      // a program opens PDF files
    QTest::addColumn<bool>("askFolder");   // "Ouvrir le dossier" chosen
    QTest::addColumn<bool>("folderOpens"); // the shell opens folders
    QTest::addColumn<QString>("text");     // the box's text, "%1" for the folder
    QTest::addColumn<int>("errors");       // boxes after it
    const QStringList pdf{QStringLiteral("Releve.pdf")};
    const QString one = QStringLiteral("Le fichier a été enregistré :\n%1") + QDir::separator() +
                        QStringLiteral("Releve.pdf");
    const QString noViewer = QStringLiteral("\n\nAucun programme n'est installé pour l'ouvrir : "
                                            "ouvrez-le depuis son dossier.");
    QTest::newRow("opened, OK") << pdf << true << false << true << one << 0;
    QTest::newRow("no viewer") << pdf << false << false << true << one + noViewer << 0;
    QTest::newRow("folder asked") << pdf << true << true << true << one << 0;
    // A shell that opens nothing: neither the file nor its folder.
    QTest::newRow("folder asked, nothing opens")
        << pdf << true << true << false << one + noViewer << 1;
    QTest::newRow("three printouts")
        << QStringList{QStringLiteral("Imp_Nuit.txt"), QStringLiteral("Imp_Matin.txt"),
                       QStringLiteral("Imp_Soir.txt")}
        << true << false << true
        << QStringLiteral("Les fichiers ont été enregistrés dans le dossier %1 :\n"
                          "  Imp_Nuit.txt\n  Imp_Matin.txt\n  Imp_Soir.txt")
        << 0;
    QTest::newRow("nothing written") << QStringList() << true << true << true << QString() << 0;
  }
  void writtenFilesSayWhereTheyWent() {
    QFETCH(QStringList, names);
    QFETCH(bool, viewer);
    QFETCH(bool, askFolder);
    QFETCH(bool, folderOpens);
    QFETCH(QString, text);
    QFETCH(int, errors);
    test::TempHome home;
    test::FakeDialogs dialogs;
    test::RecordingShell shell;
    if (!viewer) {
      shell.unhandledSuffixes << QStringLiteral("pdf");
    }
    shell.result = folderOpens;
    const QString folder = home.path() + QStringLiteral("impressions");
    QStringList paths;
    for (const QString &name : names) {
      paths << folder + u'/' + name;
    }
    if (askFolder && !names.isEmpty()) {
      dialogs.answerYes();
    }
    ShowWrittenFiles(nullptr, QStringLiteral("Imprimer"), paths);
    if (names.isEmpty()) {
      QVERIFY(dialogs.shown.isEmpty() && shell.documents.isEmpty());
      return;
    }
    QStringList opened = viewer ? paths : QStringList();
    if (askFolder) {
      opened << folder;
    }
    QCOMPARE(shell.documents, opened);
    QCOMPARE(dialogs.shown.size(), 1 + errors);
    QCOMPARE(dialogs.shown[0].title, QStringLiteral("Imprimer"));
    QCOMPARE(dialogs.shown[0].text, text.arg(QDir::toNativeSeparators(folder)));
    QCOMPARE(dialogs.shown[0].initial, QStringLiteral("Ouvrir le dossier"));
    QCOMPARE(dialogs.shown[0].icon,
             viewer && folderOpens ? Dialogs::Icon::Information : Dialogs::Icon::Warning);
    if (errors) {
      QCOMPARE(dialogs.shown[1].icon, Dialogs::Icon::Error);
      QVERIFY(dialogs.shown[1].text.contains(QDir::toNativeSeparators(folder)));
    }
    QVERIFY(dialogs.allAnswersUsed());
  }

  void gradientEnds_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QPoint>("nearA");
    QTest::addColumn<QPoint>("nearB");
    // Vertical: colour A at the bottom edge, B at the top edge.
    QTest::newRow("vertical") << int(Gradient::Vertical) << QPoint(50, 29) << QPoint(50, 0);
    // Diagonal: A at the top-left corner, B at the bottom-right corner.
    QTest::newRow("diagonal") << int(Gradient::Diagonal) << QPoint(0, 0) << QPoint(99, 29);
  }
  void gradientEnds() {
    QFETCH(int, kind);
    QFETCH(QPoint, nearA);
    QFETCH(QPoint, nearB);
    DrawnButton button;
    button.resize(100, 30);
    button.setColours({QColor(255, 0, 0), QColor(0, 0, 255), QColor(0, 0, 0)});
    button.setGradient(Gradient(kind));
    QVERIFY(Near(PixelOf(button, nearA), QColor(255, 0, 0), 20));
    QVERIFY(Near(PixelOf(button, nearB), QColor(0, 0, 255), 20));
  }

  void buttonLooks() {
    DrawnButton button(QStringLiteral("Epingler"));
    button.resize(90, 30);
    QSignalSpy clicked(&button, &DrawnButton::clicked);
    QCOMPARE(button.currentColours(), NormalButtonColours());
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&button, &enter);
    QCOMPARE(button.currentColours(), HoverButtonColours());
    button.setHeldColours(PinnedButtonColours());
    QCOMPARE(button.currentColours(), PinnedButtonColours());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    QCOMPARE(button.currentColours(), PinnedButtonColours());
    button.setHeldColours(std::nullopt);
    QCOMPARE(button.currentColours(), NormalButtonColours());

    QTest::mouseClick(&button, Qt::LeftButton);
    QTest::mouseClick(&button, Qt::RightButton);
    QCOMPARE(clicked.count(), 1);
    QTest::keyClick(&button, Qt::Key_Space);
    QCOMPARE(clicked.count(), 2);

    // A heading neither reacts to the mouse nor clicks.
    button.setInteractive(false);
    QApplication::sendEvent(&button, &enter);
    QCOMPARE(button.currentColours(), NormalButtonColours());
    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(clicked.count(), 2);
  }

  void nudge_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<QPoint>("moved");
    QTest::newRow("mode 0") << 0 << QPoint(102, 38);
    QTest::newRow("mode 1") << 1 << QPoint(100, 41);
    QTest::newRow("mode 2") << 2 << QPoint(100, 38);
  }
  void nudge() {
    QFETCH(int, mode);
    QFETCH(QPoint, moved);
    QWidget parent;
    auto *child = new QWidget(&parent);
    child->move(100, 40);
    AttachHoverNudge(child, QPoint(100, 40), NudgeMode(mode));
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(child, &enter);
    QCOMPARE(child->pos(), moved);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(child, &leave);
    QCOMPARE(child->pos(), QPoint(100, 40));
  }

  void balloonTip() {
    QWidget widget;
    widget.resize(100, 30);
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
    QVERIFY(!BalloonTipOf(&widget));
    AttachBalloonTip(&widget, QStringLiteral("Aide ?"), QStringLiteral("Ouvrir le fichier d'aide"));
    const QString other = QStringLiteral("Un autre texte, assez long pour tenir sur plusieurs "
                                         "lignes dans la bulle.");
    AttachBalloonTip(&widget, QStringLiteral("Aide ?"), other, ImageIcon(11));
    QCOMPARE(BalloonTipOf(&widget)->text, other);

    QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), widget.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&widget, &help);
    QWidget *balloon = VisibleBalloonTip();
    QVERIFY(balloon);
    QCOMPARE(balloon->width(), 200);
    QVERIFY(balloon->grab().save(test::SnapshotFolder() + QStringLiteral("balloon_tip.png")));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&widget, &leave);
    QVERIFY(!VisibleBalloonTip());
  }

  void informationTextsFitThePanel_data() {
    QTest::addColumn<int>("number");
    for (int n = 1; n <= kInformationTextCount; ++n) {
      QTest::addRow("text %d", n) << n;
    }
  }
  void informationTextsFitThePanel() {
    QFETCH(int, number);
    LoadSharedAssets(); // the interface font of the program
    // The main window's panel: 230x205, icon 32x32, text from y 62.
    InformationPanel panel;
    panel.resize(230, 205);
    panel.setIcon(ImageIcon(3), 32, 32);
    panel.setTitle(InformationTitle());
    panel.setText(InformationText(number));
    const QRect needed =
        QFontMetrics(panel.font())
            .boundingRect(QRect(0, 0, 230 - 20, 10000), Qt::TextWordWrap, InformationText(number));
    QVERIFY2(32 + 30 + needed.height() <= 205, qPrintable(QString::number(needed.height())));
    QVERIFY(panel.grab().save(test::SnapshotFolder() +
                              QStringLiteral("information_panel_%1.png").arg(number)));
  }

  // Accessible names are the visible texts without what only helps the eye.
  void spokenText_data() {
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("spoken");
    QTest::newRow("leader dots") << "Mesure Systolique ................"
                                 << "Mesure Systolique";
    QTest::newRow("closing colon") << "Nom et prénom :"
                                   << "Nom et prénom";
    QTest::newRow("colon, then blanks") << "Relevés systoliques :  "
                                        << "Relevés systoliques";
    QTest::newRow("ellipsis") << "Affichage des résultats..."
                              << "Affichage des résultats";
    QTest::newRow("abbreviation kept") << "Suppr."
                                       << "Suppr.";
    QTest::newRow("menu mark") << "Archiver ∇"
                               << "Archiver";
    QTest::newRow("arrow") << "⇨ Fermer"
                           << "Fermer";
    QTest::newRow("placing blanks") << "   Fichier ouvert :  x.txt"
                                    << "Fichier ouvert : x.txt";
    QTest::newRow("abbreviation before the colon") << "N° Tél. médecin :"
                                                   << "N° Tél. médecin";
  }
  void spokenText() {
    QFETCH(QString, shown);
    QFETCH(QString, spoken);
    QCOMPARE(SpokenText(shown), spoken);
  }

  // One registry: each of two windows of one kind finds its own control,
  // popup menus included; any window's lookup finds the newest; a destroyed
  // control leaves the registry.
  void controlNumbers() {
    const ControlId heading = ControlId::AveragesHeading, menu = ControlId::ListMenu;
    QWidget first, second;
    auto *inner = new QWidget(new QWidget(&first));
    SetControlNumber(inner, heading);
    SetControlNumber(&first, ControlId::ButtonHelp);
    auto *popup = new QMenu(&first); // a window of its own, owned by `first`
    SetControlNumber(popup, menu);
    auto *other = new QWidget(&second);
    SetControlNumber(other, heading);

    QCOMPARE(FindControl(&first, heading), inner);
    QCOMPARE(FindControl(&second, heading), other);
    QCOMPARE(FindControl(&first, ControlId::ButtonHelp), &first);
    QCOMPARE(FindControl(&first, menu), popup);
    QCOMPARE(FindControl(&second, menu), nullptr);
    QCOMPARE(FindControl(heading), other);
    QCOMPARE(ControlNumber(inner), ToInt(heading));
    QCOMPARE(ControlNumber(inner->parentWidget()), -1);
    delete other;
    QCOMPARE(FindControl(heading), inner);
  }

  void informationTexts() {
    QCOMPARE(InformationTitle(), QStringLiteral("Le cycle cardiaque"));
    QVERIFY(InformationText(1).contains(QStringLiteral("coeur bat.\nDIASTOLIQUE")));
    QVERIFY(InformationText(3).contains(QStringLiteral("cœur")));
    QVERIFY(InformationText(3).endsWith(QStringLiteral("la pression au repos")));
    QVERIFY(InformationText(5).endsWith(QStringLiteral("exprimés en mmHg.")));
    QVERIFY(InformationText(0).isEmpty());
    QVERIFY(InformationText(6).isEmpty());
    QVERIFY(ReferenceFormPath().endsWith(
        QStringLiteral("/TNV Docs/CNAM-Relévé Automesure-tensionnelle_VF.pdf")));
  }
};

QTEST_MAIN(TestUi)
#include "tst_ui.moc"
