// The colour rules, the colouring routine on real widgets and the dark
// scheme of the main window.
#include "fakes.h"

#include "theme/colour_rules.h"
#include "theme/control_colour.h"
#include "theme/dark_scheme.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimeEdit>
#include <map>
#include <memory>

using namespace tl;

namespace {

QColor Rgb(int r, int g, int b) { return QColor(r, g, b); }

// A stand-in for the main window: the controls the dark scheme colours, at
// their places, with the accent colours the main window gives its labels.
class FakeMainWindow : public QWidget {
public:
  FakeMainWindow() {
    resize(1024, 768);
    auto banner = new QLabel(QStringLiteral("  Tensiolog"), this);
    banner->setGeometry(0, 0, 1024, 75);
    banner->setAutoFillBackground(true);
    banner->setStyleSheet(QStringLiteral("background: rgb(0,0,128); color: white;"));

    auto left = frame(ControlId::LeftPanel, this, {0, 75, 250, 668});
    label(ControlId::InputPrompt, left, {10, 10, 230, 40},
          QStringLiteral("Saisissez ici les données indiquées par le tensiomètre, ainsi que la "
                         "date et l'heure."))
        ->setWordWrap(true);
    place(ControlId::DateField, new QDateEdit(QDate(2026, 3, 14), left), {20, 55, 100, 20});
    place(ControlId::TimeField, new QTimeEdit(QTime(5, 40), left), {180, 55, 60, 20});
    const char *captions[] = {"Mesure Systolique ................",
                              "Mesure Diastolique ..............",
                              "Mesure du Pouls .................."};
    const ControlId labels[] = {ControlId::SystolicLabel, ControlId::DiastolicLabel,
                                ControlId::PulseLabel};
    const ControlId fields[] = {ControlId::SystolicField, ControlId::DiastolicField,
                                ControlId::PulseField};
    for (int i = 0; i < 3; ++i) {
      label(labels[i], left, {20, 80 + 25 * i, 160, 20}, QString::fromUtf8(captions[i]));
      place(fields[i], new QLineEdit(QStringLiteral("128"), left), {180, 80 + 25 * i, 60, 20});
    }
    accent(label(ControlId::PictureCaption, left, {20, 640, 210, 20},
                 QStringLiteral("Je veille sur mon horloge")),
           Rgb(255, 0, 0));

    auto right = frame(ControlId::RightPanel, this, {252, 75, 772, 668});
    auto tabs = new QTabWidget(right);
    place(ControlId::TabPanel, tabs, {0, 0, 772, 666});
    model.setHorizontalHeaderLabels({QStringLiteral("Date"), QStringLiteral("Heure"),
                                     QStringLiteral("Systolique"), QStringLiteral("Diastolique"),
                                     QStringLiteral("Pouls"), QStringLiteral("Diagnostic")});
    for (int row = 0; row < 4; ++row) {
      QList<QStandardItem *> cells;
      for (const char *cell : {"14/03/2026", "07:15", "128", "82", "71", "Pression normale"}) {
        cells << new QStandardItem(QString::fromUtf8(cell));
      }
      cells.first()->setCheckable(true);
      model.appendRow(cells);
    }
    const std::pair<ControlId, const char *> lists[] = {
        {ControlId::ListMatin, " Matin, entre 06h00 et 12h00   "},
        {ControlId::ListJour, " Jour, entre 12h00 et 18h00   "},
        {ControlId::ListSoir, " Soir, entre 18h00 et 24h00   "},
        {ControlId::ListNuit, " Nuit, entre 00h00 et 06h00   "}};
    for (const auto &[id, text] : lists) {
      auto view = new QTableView;
      view->setModel(&model);
      name(id, view);
      tabs->addTab(view, QString::fromUtf8(text));
    }
    auto page = new QWidget;
    tabs->addTab(page, QStringLiteral(" Les moyennes   "));
    accent(label(ControlId::AveragesHeading, page, {10, 5, 370, 20},
                 QStringLiteral("Moyennes générales basées sur les données présentes dans "
                                "chaque liste.")),
           Rgb(73, 90, 139));
    place(ControlId::ButtonRefresh, new QPushButton(QStringLiteral("Actualiser"), page),
          {380, 3, 70, 20});
    auto period = new QComboBox(page);
    period->addItems({QStringLiteral("Matin"), QStringLiteral("Après-midi")});
    place(ControlId::GraphPeriodSelector, period, {470, 3, 100, 20});
    auto style = new QComboBox(page);
    style->addItems({QStringLiteral("Lignes + valeurs encerclées")});
    place(ControlId::CurveStyleSelector, style, {575, 3, 170, 20});
    const ControlId boxes[] = {ControlId::AverageBoxMatin, ControlId::AverageBoxJour,
                               ControlId::AverageBoxSoir, ControlId::AverageBoxNuit,
                               ControlId::AverageBoxOverall};
    for (int i = 0; i < 5; ++i) {
      auto box = frame(boxes[i], page, {10 + 150 * i, 30, 140, 100});
      auto heading = new QLabel(QStringLiteral("Moyenne"), box);
      heading->setGeometry(0, 0, 140, 30);
      heading->setAutoFillBackground(true);
      heading->setStyleSheet(QStringLiteral("background: rgb(55,71,98); color: black;"));
      label(static_cast<ControlId>(ToInt(ControlId::AverageValueMatin) + i), box, {10, 35, 120, 40},
            QStringLiteral("128/82"))
          ->setAlignment(Qt::AlignCenter);
      label(static_cast<ControlId>(ToInt(ControlId::AverageCountMatin) + i), box, {5, 80, 130, 17},
            QStringLiteral("Base de 4 mesures"))
          ->setAlignment(Qt::AlignCenter);
    }
    const std::tuple<ControlId, ControlId, const char *, QColor> graphs[] = {
        {ControlId::SystolicGraphTitle, ControlId::SystolicGraph,
         "Relevés systoliques :", Rgb(92, 113, 226)},
        {ControlId::DiastolicGraphTitle, ControlId::DiastolicGraph,
         "Relevés diastoliques :", Rgb(204, 0, 0)},
        {ControlId::PulseGraphTitle, ControlId::PulseGraph,
         "Relevés du pouls :", Rgb(61, 162, 25)}};
    int y = 135;
    for (const auto &[title, graph, text, colour] : graphs) {
      accent(label(title, page, {10, y, 300, 17}, QString::fromUtf8(text)), colour);
      auto canvas = new QLabel(page); // canvases paint themselves and are not coloured
      canvas->setAutoFillBackground(true);
      canvas->setStyleSheet(QStringLiteral("background: rgb(32,32,32); border: 1px solid black;"));
      place(graph, canvas, {10, y + 17, 752, 150});
      y += 168;
    }
    tabs->setCurrentIndex(0);

    auto status = new QStatusBar(this);
    place(ControlId::StatusBar, status, {0, 743, 1024, 25});
    status->addWidget(new QLabel(QStringLiteral("  Automesures tensionnelles enregistrées :")));
    status->addWidget(new QLabel(QStringLiteral("Matin : 4")));
  }

  QWidget *control(ControlId id) { return FindControl(this, id); }

  QStandardItemModel model;

private:
  static void name(ControlId id, QWidget *w) { SetControlNumber(w, id); }
  static QWidget *place(ControlId id, QWidget *w, QRect r) {
    name(id, w);
    w->setGeometry(r);
    return w;
  }
  static QFrame *frame(ControlId id, QWidget *parent, QRect r) {
    auto f = new QFrame(parent);
    f->setFrameStyle(QFrame::Box | QFrame::Plain);
    place(id, f, r);
    return f;
  }
  static QLabel *label(ControlId id, QWidget *parent, QRect r, const QString &text) {
    auto l = new QLabel(text, parent);
    place(id, l, r);
    return l;
  }
  static void accent(QLabel *l, const QColor &c) {
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, c);
    l->setPalette(p);
  }
};

QColor DrawnText(QWidget *w) {
  // The colour the control draws its text with.
  if (qobject_cast<QLabel *>(w)) {
    return w->palette().color(QPalette::WindowText);
  }
  if (qobject_cast<QPushButton *>(w) || qobject_cast<QComboBox *>(w)) {
    return w->palette().color(QPalette::ButtonText);
  }
  return w->palette().color(QPalette::Text);
}

QColor DrawnBackground(QWidget *w) {
  if (qobject_cast<QLabel *>(w) || w->metaObject() == &QFrame::staticMetaObject) {
    return w->palette().color(QPalette::Window);
  }
  if (qobject_cast<QPushButton *>(w) || qobject_cast<QComboBox *>(w)) {
    return w->palette().color(QPalette::Button);
  }
  if (qobject_cast<QTabWidget *>(w) || qobject_cast<QStatusBar *>(w)) {
    return w->palette().color(QPalette::Window);
  }
  return w->palette().color(QPalette::Base);
}

} // namespace

class TestTheme : public QObject {
  Q_OBJECT

private slots:
  void automaticTextColour_data() {
    QTest::addColumn<QColor>("background");
    QTest::addColumn<QColor>("text");
    QTest::newRow("grey 128 is the light grey") << Rgb(128, 128, 128) << Rgb(220, 220, 220);
    QTest::newRow("grey 130 is black") << Rgb(130, 130, 130) << Rgb(0, 0, 0);
    QTest::newRow("grey 100 is white") << Rgb(100, 100, 100) << Rgb(255, 255, 255);
    QTest::newRow("grey 129 is black") << Rgb(129, 129, 129) << Rgb(0, 0, 0);
    QTest::newRow("grey 127 is white") << Rgb(127, 127, 127) << Rgb(255, 255, 255);
    QTest::newRow("grey 81 is white") << Rgb(81, 81, 81) << Rgb(255, 255, 255);
    QTest::newRow("grey 80 is the light grey") << Rgb(80, 80, 80) << Rgb(220, 220, 220);
    QTest::newRow("dark panel") << Rgb(52, 52, 52) << Rgb(220, 220, 220);
    QTest::newRow("dark base") << Rgb(32, 32, 32) << Rgb(220, 220, 220);
    // L = 0.299 * 255 = 76.2: red counts little.
    QTest::newRow("pure red") << Rgb(255, 0, 0) << Rgb(220, 220, 220);
    // L = 0.587 * 255 = 149.7.
    QTest::newRow("pure green") << Rgb(0, 255, 0) << Rgb(0, 0, 0);
    // 0.299*128 + 0.587*128 + 0.114*129 = 128.114, rounded 128.
    QTest::newRow("rounds to 128") << Rgb(128, 128, 129) << Rgb(220, 220, 220);
    // 0.299*128 + 0.587*129 + 0.114*128 = 128.587, rounded 129.
    QTest::newRow("rounds to 129") << Rgb(128, 129, 128) << Rgb(0, 0, 0);
  }
  void automaticTextColour() {
    QFETCH(QColor, background);
    QFETCH(QColor, text);
    QCOMPARE(AutomaticTextColour(background), text);

    // A fully painted control given only that background draws with it;
    // a label keeps the text colour it had.
    QPushButton button(QStringLiteral("Actualiser"));
    SetControlColour(&button, kBackgroundColour, background);
    QCOMPARE(button.palette().color(QPalette::ButtonText), text);
    QCOMPARE(button.palette().color(QPalette::Button), background);
    QLabel label(QStringLiteral("Relevés"));
    const QColor own = label.palette().color(QPalette::WindowText);
    SetControlColour(&label, kBackgroundColour, background);
    QCOMPARE(label.palette().color(QPalette::WindowText), own);
    QCOMPARE(label.palette().color(QPalette::Window), background);
    QVERIFY(label.autoFillBackground());
    QCOMPARE(ColourRecordOf(&label)->text, text); // recorded all the same
  }

  void blends_data() {
    QTest::addColumn<QColor>("a");
    QTest::addColumn<QColor>("b");
    QTest::addColumn<double>("w");
    QTest::addColumn<QColor>("blend");
    QTest::newRow("quarter") << Rgb(255, 255, 255) << Rgb(0, 0, 0) << 0.25 << Rgb(64, 64, 64);
    QTest::newRow("w capped at 1")
        << Rgb(10, 20, 30) << Rgb(200, 200, 200) << 1.5 << Rgb(10, 20, 30);
    QTest::newRow("w 0 gives b") << Rgb(10, 20, 30) << Rgb(200, 100, 0) << 0.0 << Rgb(200, 100, 0);
    QTest::newRow("per channel") << Rgb(100, 0, 50) << Rgb(0, 200, 150) << 0.6 << Rgb(60, 80, 90);
  }
  void blends() {
    QFETCH(QColor, a);
    QFETCH(QColor, b);
    QFETCH(double, w);
    QFETCH(QColor, blend);
    QCOMPARE(Blend(a, b, w), blend);
  }

  void schemeColoursAndBorders() {
    QCOMPARE(DarkPanel(), Rgb(52, 52, 52));
    QCOMPARE(PanelColour(Rgb(200, 200, 200)), Rgb(180, 180, 180));
    QCOMPARE(PanelColour(Rgb(250, 5, 250)), Rgb(255, 25, 255)); // L 106: brighter, held at 255
    // Text T on panel P.
    // A quarter of the text, RGB(95, 95, 95), is 1.96:1 on the panel: raised to 3:1.
    QCOMPARE(SoftBorderColour(kDarkText, DarkPanel()), Rgb(129, 129, 129));
    QCOMPARE(HotBorderColour(kDarkText, DarkPanel()), Rgb(155, 155, 155));
    QCOMPARE(BorderWidth(BorderReacts | BorderSunken), 2);
    QCOMPARE(BorderWidth(BorderReacts | BorderThin), 1);
    QCOMPARE(BorderWidth(BorderEtched), 1);
    QCOMPARE(BorderWidth(BorderReacts), 0);
    const QColor t = Rgb(1, 2, 3), soft = Rgb(4, 5, 6), hot = Rgb(7, 8, 9);
    QCOMPARE(BorderColour(BorderReacts | BorderThin, true, t, soft, hot), hot);
    QCOMPARE(BorderColour(BorderReacts | BorderThin, false, t, soft, hot), soft);
    QCOMPARE(BorderColour(BorderInText, false, t, soft, hot), t);
    QCOMPARE(BorderColour(BorderThin, true, t, soft, hot), soft); // does not react
    QVERIFY(!UsesLightLook(Rgb(128, 128, 128), Rgb(240, 240, 240)));
    QVERIFY(UsesLightLook(Rgb(128, 129, 128), Rgb(0, 0, 0)));
    QVERIFY(UsesLightLook(QColor(), Rgb(240, 240, 240)));
  }

  void hotBorderFollowsTheMouse() {
    QWidget window;
    window.resize(200, 100);
    auto edit = new QLineEdit(&window);
    edit->setGeometry(10, 10, 120, 24);
    window.show();
    SetControlColour(edit, kBackgroundColour, DarkPanel());
    SetControlColour(edit, kTextColour, kDarkText);
    const ColourRecord *r = ColourRecordOf(edit);
    QVERIFY(r);
    QCOMPARE(r->borderMode, BorderReacts | BorderThin);
    QCOMPARE(edit->palette().color(QPalette::Base), DarkPanel());
    QCOMPARE(edit->palette().color(QPalette::Text), kDarkText);

    const auto corner = [edit] { return edit->grab().toImage().pixelColor(0, 12); };
    QCOMPARE(corner(), Rgb(129, 129, 129));
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(edit, &enter);
    QVERIFY(r->hot);
    QCOMPARE(corner(), Rgb(155, 155, 155));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(edit, &leave);
    QCOMPARE(corner(), Rgb(129, 129, 129));
  }

  void textOnlyTakesTheContainerBackground() {
    QWidget window;
    auto box = new QFrame(&window);
    auto label = new QLabel(QStringLiteral("Attention!"), box);
    SetControlColour(box, kBackgroundColour, Rgb(11, 18, 35));
    SetControlColour(label, kTextColour, Rgb(196, 0, 0));
    QCOMPARE(ColourRecordOf(label)->background, Rgb(11, 18, 35));
    QVERIFY(!ColourRecordOf(label)->backgroundGiven);
    QCOMPARE(label->palette().color(QPalette::WindowText), Rgb(196, 0, 0));
    QVERIFY(!label->autoFillBackground()); // the label itself paints no background

    auto direct = new QLabel(QStringLiteral("sur la fenêtre"), &window);
    SetControlColour(direct, kTextColour, Rgb(196, 0, 0));
    QCOMPARE(ColourRecordOf(direct)->background, window.palette().color(QPalette::Window));
  }

  void backToTheDefaultLook() {
    QLabel label(QStringLiteral("Je veille sur mon horloge"));
    QPalette accent = label.palette();
    accent.setColor(QPalette::WindowText, Rgb(255, 0, 0));
    label.setPalette(accent);
    SetControlColour(&label, kBackgroundColour, DarkPanel());
    SetControlColour(&label, kTextColour, kDarkText);
    QVERIFY(ColourRecordOf(&label));
    SetControlColour(&label, kDefaultLook);
    QVERIFY(!ColourRecordOf(&label));
    QCOMPARE(label.palette().color(QPalette::WindowText), Rgb(255, 0, 0));
    QVERIFY(!label.autoFillBackground());

    // The system's own colours are the default look: no record is kept.
    QPushButton button(QStringLiteral("Fermer"));
    const QPalette before = button.palette();
    const QColor windowText = QGuiApplication::palette().color(QPalette::WindowText);
    const QColor buttonFace = QGuiApplication::palette().color(QPalette::Button);
    SetControlColour(&button, kBackgroundColour, Rgb(11, 18, 35));
    SetControlColour(&button, kTextColour, windowText);
    SetControlColour(&button, kBackgroundColour, buttonFace);
    QVERIFY(!ColourRecordOf(&button));
    QCOMPARE(button.palette(), before);
    QCOMPARE(button.palette().resolveMask(), before.resolveMask());

    // Removing both colours also goes back.
    SetControlColour(&button, kBackgroundColour, Rgb(11, 18, 35));
    SetControlColour(&button, kBackgroundColour, QColor());
    QVERIFY(!ColourRecordOf(&button));

    // A control with no record is left as it is.
    QLabel plain(QStringLiteral("x"));
    SetControlColour(&plain, kDefaultLook);
    QVERIFY(!ColourRecordOf(&plain));
  }

  // Under a style that ignores palettes, coloured buttons are drawn with one
  // that honours them; going back restores the application's style, but not
  // over a style that someone else gave the control afterwards.
  void defaultLookKeepsAStyleSetSince() {
    struct AppStyle {
      QString before = QApplication::style()->name();
      AppStyle() { QApplication::setStyle(QStringLiteral("Windows")); }
      ~AppStyle() { QApplication::setStyle(before); }
    } appStyle;
    std::unique_ptr<QStyle> own(QStyleFactory::create(QStringLiteral("Windows")));
    QPushButton ours(QStringLiteral("Actualiser"));
    QPushButton theirs(QStringLiteral("Actualiser"));

    SetControlColour(&ours, kBackgroundColour, Rgb(32, 32, 32));
    QVERIFY(ours.style() != QApplication::style());
    SetControlColour(&ours, kDefaultLook);
    QCOMPARE(ours.style(), QApplication::style());

    SetControlColour(&theirs, kBackgroundColour, Rgb(32, 32, 32));
    theirs.setStyle(own.get());
    SetControlColour(&theirs, kDefaultLook);
    QCOMPARE(theirs.style(), own.get());
    theirs.setStyle(nullptr);
  }

  void automaticTextFollowsTheBackground() {
    QPushButton button(QStringLiteral("Actualiser"));
    SetControlColour(&button, kBackgroundColour, Rgb(32, 32, 32));
    SetControlColour(&button, kBackgroundColour, Rgb(250, 250, 250));
    QCOMPARE(button.palette().color(QPalette::ButtonText), Rgb(0, 0, 0));
    SetControlColour(&button, kTextColour, Rgb(0, 0, 200));
    SetControlColour(&button, kBackgroundColour, Rgb(20, 20, 20));
    QCOMPARE(button.palette().color(QPalette::ButtonText), Rgb(0, 0, 200)); // given, kept
  }

  void scrollBarsFollowTheBackground() {
    QPlainTextEdit results;
    results.setPlainText(QString(QStringLiteral("ligne\n")).repeated(200));
    SetControlColour(&results, kBackgroundColour, Rgb(11, 18, 35));
    SetControlColour(&results, kTextColour, Rgb(231, 234, 238));
    QVERIFY(!ColourRecordOf(&results)->lightLook);
    QCOMPARE(results.verticalScrollBar()->palette().color(QPalette::Button), Rgb(11, 18, 35));
    SetControlColour(&results, kBackgroundColour, Rgb(200, 200, 200));
    QVERIFY(ColourRecordOf(&results)->lightLook);
    QCOMPARE(results.verticalScrollBar()->palette().color(QPalette::Button),
             results.palette().color(QPalette::Button));
  }

  // The colouring reaches a control by its number in the one registry; a
  // destroyed control leaves it.
  void controlsByNumber() {
    const ControlId close = ControlId::AboutButtonClose, link = ControlId::AboutSiteLink;
    QWidget window;
    auto named = new QPushButton(QStringLiteral("Fermer"), &window);
    SetControlNumber(named, close);
    window.show();
    QCOMPARE(FindControl(close), named);
    QVERIFY(SetControlColour(close, kBackgroundColour, Rgb(11, 18, 35)));
    QCOMPARE(ColourRecordOf(named)->control, ToInt(close));

    auto registered = std::make_unique<QLabel>(QStringLiteral("x"));
    SetControlNumber(registered.get(), link);
    QCOMPARE(FindControl(link), registered.get());
    registered.reset();
    QCOMPARE(FindControl(link), nullptr);
    QVERIFY(!SetControlColour(link, kTextColour, Rgb(1, 1, 1)));

    // A colour kind the controls do not have changes nothing.
    QVERIFY(SetControlColour(close, 7, Rgb(1, 1, 1)));
    QCOMPARE(ColourRecordOf(named)->background, Rgb(11, 18, 35));
  }

  void darkSchemeOfTheMainWindow_data() {
    QTest::addColumn<int>("control");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<QColor>("text");
    const QColor p = DarkPanel(), b = kDarkBase, t = kDarkText, automatic(220, 220, 220);
    using C = ControlId;
    const std::tuple<const char *, C, QColor, QColor> rows[] = {
        {"left panel", C::LeftPanel, p, automatic},
        {"instruction", C::InputPrompt, p, t},
        {"date picker", C::DateField, p, t},
        {"time picker", C::TimeField, p, t},
        {"systolic caption", C::SystolicLabel, p, t},
        {"systolic field", C::SystolicField, p, t},
        {"pulse field", C::PulseField, p, t},
        {"clock caption's red lightened to 4.5:1", C::PictureCaption, p, Rgb(255, 115, 115)},
        {"list Matin", C::ListMatin, p, automatic},
        {"list Nuit", C::ListNuit, p, automatic},
        {"right panel", C::RightPanel, b, automatic},
        {"tab panel", C::TabPanel, b, t},
        {"averages caption", C::AveragesHeading, b, t},
        {"refresh button", C::ButtonRefresh, b, t},
        {"period selector", C::GraphPeriodSelector, b, t},
        {"style selector", C::CurveStyleSelector, b, t},
        {"average box", C::AverageBoxOverall, p, automatic},
        {"average value", C::AverageValueJour, b, t},
        {"count line", C::AverageCountNuit, b, t},
        {"systolic title's blue lightened", C::SystolicGraphTitle, b, Rgb(108, 127, 229)},
        {"diastolic title's red lightened", C::DiastolicGraphTitle, b, Rgb(224, 102, 102)},
        {"pulse title keeps its green", C::PulseGraphTitle, b, Rgb(61, 162, 25)},
        {"status bar", C::StatusBar, b, t},
    };
    for (const auto &[name, id, back, text] : rows) {
      QTest::newRow(name) << ToInt(id) << back << text;
    }
  }
  void darkSchemeOfTheMainWindow() {
    QFETCH(int, control);
    QFETCH(QColor, background);
    QFETCH(QColor, text);
    FakeMainWindow main;
    const QColor windowBefore = main.palette().color(QPalette::Window);
    ApplyMainWindowDarkScheme(&main, [&main](ControlId id) { return main.control(id); });
    QWidget *w = main.control(static_cast<ControlId>(control));
    QVERIFY(w);
    QCOMPARE(DrawnBackground(w), background);
    QCOMPARE(DrawnText(w), text);
    QCOMPARE(FindControl(control), w);
    // Canvases are not touched; off Windows the title bar and the window
    // background stay as they were.
    QVERIFY(!ColourRecordOf(main.control(ControlId::SystolicGraph)));
    QCOMPARE(main.palette().color(QPalette::Window), windowBefore);
  }

  void darkSchemeSnapshot() {
    FakeMainWindow main;
    ApplyMainWindowDarkScheme(&main, [&main](ControlId id) { return main.control(id); });
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QVERIFY(main.grab().save(test::SnapshotFolder() + QStringLiteral("theme_dark_lists.png")));
    static_cast<QTabWidget *>(main.control(ControlId::TabPanel))->setCurrentIndex(4);
    QVERIFY(main.grab().save(test::SnapshotFolder() + QStringLiteral("theme_dark_averages.png")));
  }
};

QTEST_MAIN(TestTheme)
#include "tst_theme.moc"
