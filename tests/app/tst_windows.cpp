// Every window of the program, control by control: each text fits the
// control that draws it, each control a screen reader can reach has a name,
// and the main window can be used from the keyboard alone.
#include "fake_meter_link.h"
#include "fakes.h"
#include "readings.h"
#include "test_world.h"

#include "app/commands.h"
#include "app/feature_calls.h"
#include "app/import_preview_window.h"
#include "app/main_window.h"
#include "app/meter_window.h"
#include "app/splash_window.h"
#include "archives/archive_manager_window.h"
#include "common/app_state.h"
#include "common/paths.h"
#include "exchange/import_presets.h"
#include "maintenance/about_window.h"
#include "maintenance/destruction_window.h"
#include "measurements/period_list_model.h"
#include "patients/patient_manager.h"
#include "platform/qt_dialogs.h"
#include "preferences/preferences_window.h"
#include "series_window/series_window.h"
#include "theme/colour_rules.h"
#include "theme/control_colour.h"
#include "theme/dark_scheme.h"
#include "ui/assets/assets.h"
#include "ui/drawing.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSignalSpy>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

using namespace tl;
using namespace tl::test;

namespace {

using Env = TestWorld;

// The main window as the user sees it after a few readings: counts,
// averages and graphs filled.
std::unique_ptr<MainWindow> OpenMain() {
  State().currentPatient = QStringLiteral("Jean Dupont");
  RebuildMeasurementPaths(Paths(), State().currentPatient);
  auto main = std::make_unique<MainWindow>();
  main->setPatientLine(State().currentPatient);
  main->lists().list(DayPeriod::Matin).append(MakeReading(QStringLiteral("08:15"), 131, 84, 66));
  main->lists().list(DayPeriod::Jour).append(MakeReading(QStringLiteral("14:20"), 185, 112, 95));
  main->lists().list(DayPeriod::Soir).append(MakeReading(QStringLiteral("21:05"), 119, 77, 70));
  main->lists().list(DayPeriod::Nuit).append(MakeReading(QStringLiteral("05:40"), 128, 82, 71));
  main->updateStatusCounts();
  main->refreshAveragesAndGraphs();
  return main;
}

// Each window by name; the main window is built first since the patient
// manager works on it.
struct Windows {
  std::unique_ptr<MainWindow> main = OpenMain();
  FakeMeterLink meter;
  std::unique_ptr<QWidget> other;

  // The window of this name, shown.
  QWidget *show(const QString &name) {
    QWidget *window = main.get();
    if (name != u"main") {
      other = open(name);
      window = other.get();
    }
    if (window == main.get() && State().darkAppearance) {
      // As a start with the dark flag on shows it.
      ApplyDarkScheme(*main);
      main->refreshAveragesAndGraphs();
    }
    if (window) {
      window->show();
    }
    return window;
  }

private:
  std::unique_ptr<QWidget> open(const QString &name) {
    if (name == u"patients") {
      WriteFile(Paths().patientFile, "1\r\nJean Dupont\r\n67\r\n58 kg\r\nDr L\xC3\xA9on\r\n"
                                     "3 rue de l'\xC3\x89glise, S\xC3\xA8te\r\nleon@exemple.fr\r\n"
                                     "04 67 00 00 00\r\n02/03/2026\r\n");
      return std::make_unique<PatientManagerWindow>(*main);
    }
    if (name == u"patients, first launch") {
      QFile::remove(Paths().patientFile);
      return std::make_unique<PatientManagerWindow>(*main);
    }
    if (name == u"preferences") {
      return std::make_unique<PreferencesWindow>();
    }
    if (name == u"archives") {
      // Two archives of the program, of different sizes.
      WriteFile(Paths().archiveFolder + QStringLiteral("06032026_0905_ARTL_Matin_Jean Dupont.txt"),
                QByteArray(262, 'x'));
      WriteFile(Paths().archiveFolder + QStringLiteral("07032026_2110_ARTL_Soir_Jean Dupont.txt"),
                QByteArray(2000, 'x'));
      return std::make_unique<ArchiveManagerWindow>(Paths().archiveFolder, Paths().printFolder);
    }
    if (name == u"destruction") {
      return std::make_unique<DataDestructionWindow>();
    }
    if (name == u"about") {
      auto about = std::make_unique<AboutWindow>();
      about->setAttribute(Qt::WA_DeleteOnClose, false);
      return about;
    }
    if (name == u"series, above") {
      // A complete 2-2-3 series above 135/85: the verdict's warning red.
      PeriodLists &lists = main->lists();
      for (int day = 0; day < 3; ++day) {
        const QString date = QDate(2026, 3, 10 + day).toString(QStringLiteral("dd/MM/yyyy"));
        for (const char *time : {"07:30", "07:32"}) {
          lists.list(DayPeriod::Matin)
              .append(MakeReading(QString::fromLatin1(time), 152, 96, 70, date));
        }
        for (const char *time : {"21:00", "21:02"}) {
          lists.list(DayPeriod::Soir)
              .append(MakeReading(QString::fromLatin1(time), 150, 95, 72, date));
        }
      }
      return std::make_unique<SeriesWindow>(
          lists, ReportIdentity{State().currentPatient, {}, {}, {}}, Paths().printFolder);
    }
    if (name == u"series" || name == u"series, report") {
      auto series = std::make_unique<SeriesWindow>(
          main->lists(), ReportIdentity{State().currentPatient, {}, {}, {}}, Paths().printFolder);
      series->tabs()->setCurrentIndex(name == u"series" ? 0 : 1);
      return series;
    }
    if (name.startsWith(u"import preview")) {
      CsvFileStart start;
      start.records = {
          {"Date", "Heure", "Période", "Systolique", "Diastolique", "Pouls", "Diagnostic"},
          {"2026-03-02", "07:15", "Matin", "131", "84", "66", "normale"}};
      if (name.endsWith(u"incomplete")) { // no diastolic column: the hint says what is missing
        for (QStringList &record : start.records) {
          record.removeAt(4);
        }
      }
      start.guess = GuessFileMapping(start.records);
      return std::make_unique<ImportPreviewWindow>(
          Paths().dataFolder + QStringLiteral("mesures.csv"), start, State().currentPatient);
    }
    if (name.startsWith(u"meter") && !name.endsWith(u"preview")) {
      // Searching, two meters found, the patient's user number set; or the
      // remembered meter, which does not answer.
      meter.meters = {{QStringLiteral("BP7000 Omron"), QStringLiteral("00:11:22:33:44:55")},
                      {QString(), QStringLiteral("66:77:88:99:AA:BB")}};
      const bool failed = name.endsWith(u"failed");
      meter.error = failed ? QStringLiteral("la connexion au tensiomètre a échoué : rapprochez-le "
                                            "de l'ordinateur puis recommencez")
                           : QString();
      auto window = std::make_unique<MeterWindow>(
          meter, State().currentPatient, failed ? QStringLiteral("00:11:22:33:44:55") : QString(),
          2);
      QTest::qWait(0);
      return window;
    }
    if (name == u"meter preview") {
      const QDateTime at(QDate(2026, 3, 2), QTime(7, 15));
      // Read for user 1: one filed, one of user 2, one refused, one
      // received twice; then the link broke.
      MeterImport dryRun(main->lists(), 1);
      MeterPreview preview{QStringLiteral("BP7000 Omron (00:11:22:33:44:55)"),
                           {},
                           FileError{QString(), QStringLiteral("la connexion avec le tensiomètre "
                                                               "a été perdue")}};
      for (const QByteArray &record :
           {MeterRecord(131, 84, 66, at, 1, 0x0005), MeterRecord(128, 82, 71, at.addSecs(600), 2),
            MeterRecord(-1, 82, 71, at.addSecs(900), 1), MeterRecord(131, 84, 66, at, 1, 0x0005)}) {
        preview.readings << dryRun.add(record, at.addDays(1));
      }
      return std::make_unique<ImportPreviewWindow>(preview, State().currentPatient);
    }
    if (name == u"splash") {
      return std::make_unique<SplashWindow>();
    }
    return nullptr;
  }
};

void AddWindowRows() {
  QTest::addColumn<QString>("window");
  for (const char *name : {"main", "patients", "patients, first launch", "preferences", "archives",
                           "destruction", "about", "series", "series, report", "import preview",
                           "meter", "meter, failed", "meter preview", "splash"}) {
    QTest::newRow(name) << QString::fromLatin1(name);
  }
}

// Every window the main window opens, the boxes, forms, choosers and menus
// it shows, and the main window switched from one scheme to the other while
// it is open, in the light and the dark scheme.
void AddSchemeRows() {
  QTest::addColumn<QString>("window");
  QTest::addColumn<bool>("dark");
  for (const char *name : {"main",
                           "main, switched",
                           "patients",
                           "patients, first launch",
                           "preferences",
                           "archives",
                           "destruction",
                           "about",
                           "series",
                           "series, report",
                           "series, above",
                           "import preview",
                           "import preview, incomplete",
                           "meter",
                           "meter, failed",
                           "meter preview",
                           "note form",
                           "message box",
                           "question box",
                           "file chooser",
                           "print preview",
                           "list menu",
                           "archive menu"}) {
    for (bool dark : {false, true}) {
      QTest::addRow("%s, %s", name, dark ? "dark" : "light") << QString::fromLatin1(name) << dark;
    }
  }
}

QString Describe(const QWidget *widget, const QString &text) {
  return QStringLiteral("%1 %2 \"%3\"")
      .arg(QString::fromLatin1(widget->metaObject()->className()))
      .arg(ControlNumber(widget))
      .arg(text);
}

// The room a drawn button leaves its label: the label is centred, so it
// must clear the 16-pixel icon at x 10 (or its mirror on the right) on both
// sides; without an icon it keeps 3 pixels from each edge.
int DrawnLabelRoom(const DrawnButton *button) {
  return button->width() - 2 * (button->hasIcon() ? 10 + 16 + 2 : 3);
}

// The width a push button, check box or option button gives its text.
int ButtonTextRoom(const QAbstractButton *button) {
  QStyleOptionButton option;
  option.initFrom(button);
  option.text = button->text();
  option.icon = button->icon();
  option.iconSize = button->iconSize();
  QStyle::SubElement contents = QStyle::SE_PushButtonContents;
  if (auto *push = qobject_cast<const QPushButton *>(button)) {
    if (push->autoDefault() || push->isDefault()) {
      option.features |= QStyleOptionButton::AutoDefaultButton;
    }
  } else if (button->inherits("QCheckBox")) {
    contents = QStyle::SE_CheckBoxContents;
  } else if (button->inherits("QRadioButton")) {
    contents = QStyle::SE_RadioButtonContents;
  }
  int room = button->style()->subElementRect(contents, &option, button).width();
  if (contents == QStyle::SE_PushButtonContents && !button->icon().isNull()) {
    room -= button->iconSize().width() + 4;
  }
  return room;
}

// The width of a drop-down list's text area, less the pixel the style keeps
// at each end.
int ComboTextRoom(const QComboBox *combo) {
  QStyleOptionComboBox option;
  option.initFrom(combo);
  option.editable = combo->isEditable();
  option.frame = combo->hasFrame();
  return combo->style()
             ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo)
             .width() -
         2;
}

// Every text of `window` that does not fit the control drawing it: too wide,
// or, for a text of several lines, too high.
QStringList Overflows(QWidget *window) {
  QStringList out;
  auto check = [&](const QWidget *w, const QString &text, const QFont &font, QSize room,
                   int flags) {
    if (text.trimmed().isEmpty()) {
      return;
    }
    const QFontMetrics metrics(font);
    const QRect need =
        metrics.boundingRect(QRect(0, 0, room.width(), 100000), flags | Qt::AlignLeft, text);
    const bool severalLines = need.height() >= 2 * metrics.height();
    if (need.width() > room.width() || (severalLines && need.height() > room.height())) {
      out << QStringLiteral("%1 needs %2x%3, has %4x%5")
                 .arg(Describe(w, text))
                 .arg(need.width())
                 .arg(need.height())
                 .arg(room.width())
                 .arg(room.height());
    }
  };
  QList<QWidget *> widgets = window->findChildren<QWidget *>();
  widgets.prepend(window);
  for (QWidget *w : widgets) {
    if (w->isWindow() && w != window) {
      continue; // menus and the balloon are windows of their own
    }
    if (auto *banner = qobject_cast<Banner *>(w)) {
      // Each line inside the banner, the second clear of the right text.
      const Banner::TextPlaces at = banner->textPlaces();
      for (const QRect &line : {at.line1, at.line2, at.right}) {
        if (!line.isNull() && !banner->rect().contains(line)) {
          out << Describe(w, banner->line2()) + QStringLiteral(" is cut by the banner's edge");
        }
      }
      if (!at.right.isNull() && at.line2.intersects(at.right)) {
        out << Describe(w, banner->line2()) + QStringLiteral(" runs under the right text");
      }
    } else if (auto *drawn = qobject_cast<DrawnButton *>(w)) {
      check(w, drawn->label(), drawn->font(), QSize(DrawnLabelRoom(drawn), drawn->height()),
            Qt::TextSingleLine);
    } else if (auto *label = qobject_cast<QLabel *>(w)) {
      if (label->pixmap().isNull() && label->textFormat() != Qt::RichText) {
        const int inset = 2 * (label->margin() + std::max(label->indent(), 0));
        const QSize room = label->contentsRect().size() - QSize(inset, inset);
        check(w, label->text(), label->font(), room,
              label->wordWrap() ? Qt::TextWordWrap : Qt::TextExpandTabs);
      }
    } else if (auto *button = qobject_cast<QAbstractButton *>(w)) {
      check(w, button->text(), button->font(), QSize(ButtonTextRoom(button), button->height()),
            Qt::TextShowMnemonic);
    } else if (auto *combo = qobject_cast<QComboBox *>(w)) {
      for (int i = 0; i < combo->count(); ++i) {
        check(w, combo->itemText(i), combo->font(), QSize(ComboTextRoom(combo), combo->height()),
              Qt::TextSingleLine);
      }
    } else if (auto *bar = qobject_cast<QTabBar *>(w)) {
      // Every tab in view at once: none behind the scroll arrows.
      const int last = bar->count() - 1;
      if (last >= 0 && bar->isVisibleTo(window) && bar->tabRect(last).right() >= bar->width()) {
        out << Describe(w, bar->tabText(last)) + QStringLiteral(" is out of the tab bar");
      }
    }
  }
  return out;
}

// What the window draws in colours of its own (gradients of drawn buttons,
// banners, pictures and graphs): not measured from the palette.
bool DrawsOwnColours(const QWidget *w) {
  for (; w; w = w->parentWidget()) {
    if (qobject_cast<const DrawnButton *>(w) || qobject_cast<const Banner *>(w) ||
        qobject_cast<const InformationPanel *>(w) || qobject_cast<const PictureBox *>(w) ||
        w->inherits("tl::GraphCanvas")) {
      return true;
    }
  }
  return false;
}

// The colour behind a control: that of the nearest widget that fills its
// background, the window at the last.
QColor BackgroundBehind(const QWidget *w) {
  for (; w; w = w->parentWidget()) {
    if (w->autoFillBackground() || w->isWindow()) {
      return w->palette().color(w->backgroundRole());
    }
  }
  return QColor();
}

struct Contrast {
  QString what;
  double ratio, needed;
};

// The text and border contrasts of every enabled control on show, from
// the palettes the controls are drawn with (disabled controls need none).
QList<Contrast> ContrastTable(QWidget *window) {
  QList<Contrast> table;
  const auto add = [&](const QWidget *w, const char *what, const QColor &a, const QColor &b,
                       double needed) {
    table.append({Describe(w, QString::fromLatin1(what)), ContrastRatio(a, b), needed});
  };
  QList<QWidget *> widgets = window->findChildren<QWidget *>();
  widgets.prepend(window);
  for (QWidget *w : widgets) {
    if (w->window() != window || !w->isVisibleTo(window)) {
      continue;
    }
    if (auto *info = qobject_cast<InformationPanel *>(w)) {
      // Against the gradient's top colour, where its title and text begin.
      // The light scheme's red title is the layout's own; the dark scheme
      // lightens it.
      add(w, "text", info->textColour(), info->topColour(), kTextContrast);
      if (RelativeLuminance(info->topColour()) < 0.18) {
        add(w, "title", info->titleColour(), info->topColour(), kTextContrast);
      }
    }
    if (w->window() != window || !w->isVisibleTo(window) || !w->isEnabled() || DrawsOwnColours(w)) {
      continue;
    }
    const QPalette &p = w->palette();
    const QColor behind = BackgroundBehind(w);
    if (auto *label = qobject_cast<QLabel *>(w)) {
      if (!label->text().trimmed().isEmpty() && label->pixmap().isNull()) {
        add(w, "text", p.color(QPalette::WindowText), behind, kTextContrast);
      }
    } else if (qobject_cast<QCheckBox *>(w) || qobject_cast<QRadioButton *>(w) ||
               qobject_cast<QTabBar *>(w)) {
      add(w, "text", p.color(QPalette::WindowText), behind, kTextContrast);
    } else if (auto *group = qobject_cast<QGroupBox *>(w); group && !group->title().isEmpty()) {
      add(w, "title", p.color(QPalette::Text), behind, kTextContrast);
    } else if (qobject_cast<QPushButton *>(w) || qobject_cast<QComboBox *>(w) ||
               qobject_cast<QHeaderView *>(w)) {
      add(w, "text", p.color(QPalette::ButtonText), p.color(QPalette::Button), kTextContrast);
    } else if (qobject_cast<QLineEdit *>(w) || qobject_cast<QAbstractSpinBox *>(w) ||
               qobject_cast<QAbstractItemView *>(w) || qobject_cast<QPlainTextEdit *>(w)) {
      add(w, "text", p.color(QPalette::Text), p.color(QPalette::Base), kTextContrast);
      // The selection in the light scheme is the system's own.
      if (RelativeLuminance(p.color(QPalette::Base)) < 0.18) {
        add(w, "selected text", p.color(QPalette::HighlightedText), p.color(QPalette::Highlight),
            kTextContrast);
      }
    }
    // The borders the colouring routine draws, against the control's inside.
    if (const ColourRecord *r = ColourRecordOf(w); r && BorderWidth(r->borderMode) > 0) {
      const QColor text = r->text.isValid() ? r->text : p.color(QPalette::WindowText);
      const QColor inside = r->background.isValid() ? r->background : behind;
      add(w, "border", BorderColour(r->borderMode, false, text, r->softBorder, r->hotBorder),
          inside, kBorderContrast);
    }
  }
  return table;
}

// The contrast of a text as the snapshot shows it: in each pixel row of
// `area` the most frequent colour is the background (gradients change it
// from row to row), and the text is the colour standing out most from the
// background of its row among those drawn at least twice (a glyph's stems
// reach the text's own colour; lone edge pixels do not count). 0 when the
// area holds a single colour.
double RenderedContrast(const QImage &image, QRect area) {
  area &= image.rect();
  QHash<QRgb, int> counts;
  QList<QRgb> rowBackground;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    QHash<QRgb, int> row;
    for (int x = area.left(); x <= area.right(); ++x) {
      const QRgb c = image.pixel(x, y) | 0xff000000u;
      ++row[c];
      ++counts[c];
    }
    QRgb most = 0;
    int seen = -1;
    for (auto it = row.cbegin(); it != row.cend(); ++it) {
      if (it.value() > seen) {
        most = it.key();
        seen = it.value();
      }
    }
    rowBackground << most;
  }
  double best = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    const QColor back = QColor::fromRgb(rowBackground[y - area.top()]);
    for (int x = area.left(); x <= area.right(); ++x) {
      const QRgb c = image.pixel(x, y) | 0xff000000u;
      if (counts.value(c) >= 2 && c != back.rgb()) {
        best = std::max(best, ContrastRatio(QColor::fromRgb(c), back));
      }
    }
  }
  return best;
}

// Where each text of the window is drawn, in the window's coordinates:
// labels, buttons, boxes, fields, drop-down lists, tabs, headers, the cells
// of lists and the entries of menus, without icons and frames.
QList<std::pair<QString, QRect>> TextAreas(QWidget *window) {
  QList<std::pair<QString, QRect>> out;
  const auto add = [&](const QWidget *w, const QString &text, const QRect &local) {
    // A lone glyph ("1") may never reach its colour through antialiasing:
    // the palettes' table measures those.
    if (text.trimmed().size() > 1 && local.width() > 2 && local.height() > 2) {
      out.append(
          {Describe(w, text.left(40)), QRect(w->mapTo(window, local.topLeft()), local.size())});
    }
  };
  QList<QWidget *> widgets = window->findChildren<QWidget *>();
  widgets.prepend(window);
  for (QWidget *w : widgets) {
    if ((w->window() != window && !qobject_cast<QMenu *>(window)) || !w->isVisibleTo(window) ||
        !w->isEnabled() || w->inherits("tl::GraphCanvas") || w->inherits("tl::PictureBox")) {
      continue;
    }
    if (auto *label = qobject_cast<QLabel *>(w); label && label->pixmap().isNull()) {
      add(w, label->text(), label->contentsRect());
    } else if (auto *banner = qobject_cast<Banner *>(w)) {
      const Banner::TextPlaces at = banner->textPlaces();
      add(w, banner->line1(), at.line1.adjusted(0, 0, 0, 2));
      add(w, banner->line2(), at.line2.adjusted(0, 0, 0, 2));
      add(w, QStringLiteral("right text"), at.right.adjusted(0, 0, 0, 2));
    } else if (auto *drawn = qobject_cast<DrawnButton *>(w)) {
      const int room = DrawnLabelRoom(drawn);
      add(w, drawn->label(), QRect((w->width() - room) / 2, 3, room, w->height() - 6));
    } else if (auto *button = qobject_cast<QAbstractButton *>(w);
               button && !button->inherits("QToolButton")) {
      QStyleOptionButton option;
      option.initFrom(button);
      option.text = button->text();
      QStyle::SubElement element = button->inherits("QCheckBox") ? QStyle::SE_CheckBoxContents
                                   : button->inherits("QRadioButton")
                                       ? QStyle::SE_RadioButtonContents
                                       : QStyle::SE_PushButtonContents;
      QRect r = button->style()->subElementRect(element, &option, button);
      if (!button->icon().isNull() && element == QStyle::SE_PushButtonContents) {
        r.setLeft(r.left() + button->iconSize().width() + 4);
      }
      add(w, button->text(), r.adjusted(1, 1, -1, -1));
    } else if (auto *edit = qobject_cast<QLineEdit *>(w)) {
      add(w, edit->text().isEmpty() ? edit->placeholderText() : edit->text(),
          edit->rect().adjusted(3, 3, -3, -3));
    } else if (auto *combo = qobject_cast<QComboBox *>(w)) {
      QStyleOptionComboBox option;
      option.initFrom(combo);
      option.editable = combo->isEditable();
      const QRect r = combo->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                     QStyle::SC_ComboBoxEditField, combo);
      add(w, combo->currentText(), r.adjusted(1, 1, -1, -1));
    } else if (auto *bar = qobject_cast<QTabBar *>(w)) {
      for (int i = 0; i < bar->count(); ++i) {
        const int icon = bar->tabIcon(i).isNull() ? 0 : bar->iconSize().width() + 6;
        add(w, bar->tabText(i), bar->tabRect(i).adjusted(4 + icon, 4, -4, -3));
      }
    } else if (auto *header = qobject_cast<QHeaderView *>(w)) {
      for (int i = 0; i < header->count(); ++i) {
        const int at = header->sectionViewportPosition(i);
        const QRect section = header->orientation() == Qt::Horizontal
                                  ? QRect(at, 0, header->sectionSize(i), header->height())
                                  : QRect(0, at, header->width(), header->sectionSize(i));
        if (header->viewport()->rect().contains(section)) { // partly shown: cut
          add(header->viewport(), header->model()->headerData(i, header->orientation()).toString(),
              section.adjusted(3, 2, -3, -2));
        }
      }
    } else if (auto *view = qobject_cast<QAbstractItemView *>(w); view && view->model()) {
      const QModelIndex root = view->rootIndex();
      for (int row = 0; row < std::min(view->model()->rowCount(root), 3); ++row) {
        for (int column = 0; column < view->model()->columnCount(root); ++column) {
          const QModelIndex index = view->model()->index(row, column, root);
          if (view->selectionModel() && view->selectionModel()->isSelected(index)) {
            continue;
          }
          QRect r = view->visualRect(index);
          if (!view->viewport()->rect().contains(r)) {
            continue; // partly shown: cut
          }
          if (!index.data(Qt::DecorationRole).isNull() ||
              !index.data(Qt::CheckStateRole).isNull()) {
            r.setLeft(r.left() + 40);
          }
          add(view->viewport(), index.data().toString(), r.adjusted(3, 1, -3, -1));
        }
      }
    } else if (auto *plain = qobject_cast<QPlainTextEdit *>(w)) {
      add(plain->viewport(), plain->toPlainText(), plain->viewport()->rect());
    } else if (auto *menu = qobject_cast<QMenu *>(w)) {
      for (QAction *action : menu->actions()) {
        if (!action->isSeparator() && action->isVisible()) {
          add(w, action->text(), menu->actionGeometry(action).adjusted(30, 2, -4, -2));
        }
      }
    }
  }
  return out;
}

bool IsControlRole(QAccessible::Role role) {
  switch (role) {
  case QAccessible::Button:
  case QAccessible::ButtonMenu:
  case QAccessible::ButtonDropDown:
  case QAccessible::CheckBox:
  case QAccessible::RadioButton:
  case QAccessible::ComboBox:
  case QAccessible::EditableText:
  case QAccessible::SpinBox:
  case QAccessible::List:
  case QAccessible::Table:
  case QAccessible::Tree:
  case QAccessible::PageTabList:
  case QAccessible::PageTab:
  case QAccessible::Link:
    return true;
  default:
    return false;
  }
}

// The items inside lists, tables and drop-down lists are data, not controls.
bool HasItemsOnly(QAccessible::Role role) {
  return role == QAccessible::List || role == QAccessible::Table || role == QAccessible::Tree ||
         role == QAccessible::ComboBox || role == QAccessible::EditableText ||
         role == QAccessible::SpinBox;
}

// Every control of the accessible tree under `node` without a name.
void CollectUnnamed(QAccessibleInterface *node, QStringList &out, int depth = 0) {
  if (!node || depth > 30) {
    return;
  }
  const QAccessible::Role role = node->role();
  const bool control = IsControlRole(role) || (depth > 0 && node->state().focusable);
  // An input or a drop-down list left without a name is read out by its
  // value, which does not say what it is for.
  const auto *widget = qobject_cast<const QWidget *>(node->object());
  const bool valued = role == QAccessible::ComboBox || role == QAccessible::EditableText ||
                      role == QAccessible::SpinBox;
  const bool namedByValue = valued && widget && widget->accessibleName().trimmed().isEmpty();
  if (control && (namedByValue || node->text(QAccessible::Name).trimmed().isEmpty())) {
    const QObject *object = node->object();
    out << QStringLiteral("role 0x%1 %2 %3")
               .arg(int(role), 0, 16)
               .arg(object ? QString::fromLatin1(object->metaObject()->className()) : QString())
               .arg(object ? object->objectName() : QString());
  }
  if (HasItemsOnly(role)) {
    return;
  }
  for (int i = 0; i < node->childCount(); ++i) {
    CollectUnnamed(node->child(i), out, depth + 1);
  }
}

} // namespace

class TestWindows : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() { LoadSharedAssets(); }

  void textsFitTheirControls_data() { AddWindowRows(); }
  void textsFitTheirControls() {
    QFETCH(QString, window);
    Env env;
    Windows windows;
    QWidget *w = windows.show(window);
    QVERIFY(w);
    // Shown, so that the status bars and tab bars have laid out their parts.
    QVERIFY(QTest::qWaitForWindowExposed(w));
    const QStringList overflows = Overflows(w);
    QVERIFY2(overflows.isEmpty(), qPrintable(overflows.join(u'\n')));
  }

  // Every control a screen reader reaches has a name, and a control with a
  // balloon tip describes itself with the balloon's text.
  void controlsHaveAccessibleNames_data() {
    AddWindowRows();
    QTest::newRow("input box of Modifier...") << QStringLiteral("input box");
  }
  void controlsHaveAccessibleNames() {
    QFETCH(QString, window);
    Env env;
    Windows windows;
    if (window == u"input box") {
      // The box the list menu's "Modifier..." asks with, walked while open.
      QStringList unnamed;
      QString name;
      QTimer::singleShot(0, [&] {
        QWidget *box = QApplication::activeModalWidget();
        if (box) {
          CollectUnnamed(QAccessible::queryAccessibleInterface(box), unnamed);
          if (auto *edit = box->findChild<QLineEdit *>()) {
            name = QAccessible::queryAccessibleInterface(edit)->text(QAccessible::Name);
          }
          box->close();
        }
      });
      QtDialogs().inputText(windows.main.get(), QStringLiteral("Modifier"),
                            QStringLiteral("Nouvelles données :"), QStringLiteral("132"));
      QCOMPARE(name, QStringLiteral("Nouvelles données"));
      QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(u'\n')));
      return;
    }
    QWidget *w = windows.show(window);
    QVERIFY(w);
    QStringList unnamed;
    CollectUnnamed(QAccessible::queryAccessibleInterface(w), unnamed);
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(u'\n')));

    QList<QWidget *> widgets = w->findChildren<QWidget *>();
    for (QWidget *child : widgets) {
      if (const auto tip = BalloonTipOf(child)) {
        QAccessibleInterface *node = QAccessible::queryAccessibleInterface(child);
        QVERIFY(node);
        QCOMPARE(node->text(QAccessible::Description), tip->text);
      }
      if (auto *drawn = qobject_cast<DrawnButton *>(child); drawn && drawn->isInteractive()) {
        QAccessibleInterface *node = QAccessible::queryAccessibleInterface(child);
        QCOMPARE(node->role(), QAccessible::Button);
        QVERIFY2(node->state().focusable, qPrintable(drawn->label()));
      }
    }
  }

  // Every window, box, chooser and menu in both schemes as on a 1366x768
  // screen, the main window filling it: nothing cut, text at 4.5:1 and
  // borders at 3:1 on what is behind them, both as the palettes say and as
  // the snapshot shows ("drawn"), every archive's size in view. The main
  // window is also switched to the scheme while open. The snapshot and the
  // contrast table are written for looking at.
  void windowsInBothSchemes_data() { AddSchemeRows(); }
  void windowsInBothSchemes() {
    QFETCH(QString, window);
    QFETCH(bool, dark);
    Env env;
    const bool switched = window == u"main, switched";
    State().darkAppearance = switched ? !dark : dark;
    ApplyApplicationScheme(State().darkAppearance);
    const auto reset = qScopeGuard([] { ApplyApplicationScheme(false); });
    Windows windows;
    const QString name =
        QString(window).replace(QStringLiteral(", "), QStringLiteral("_")).replace(u' ', u'_') +
        (dark ? QStringLiteral("_dark") : QString());
    QStringList faults, table;
    int measured = 0;
    // The palettes' contrasts and the drawn ones, then the files to look at.
    const auto measure = [&](QWidget *w, bool ours) {
      ++measured;
      QCoreApplication::processEvents();
      if (ours) {
        faults << Overflows(w);
      }
      for (const Contrast &c : ContrastTable(w)) {
        table << QStringLiteral("%1  %2:1").arg(c.what).arg(c.ratio, 0, 'f', 2);
        if (c.ratio < c.needed) {
          faults << table.last();
        }
      }
      const QImage shot = w->grab().toImage();
      for (const auto &[what, area] : TextAreas(w)) {
        const double ratio = RenderedContrast(shot, area);
        table << QStringLiteral("drawn %1  %2:1").arg(what).arg(ratio, 0, 'f', 2);
        if (ratio < kTextContrast) {
          faults << table.last();
        }
      }
      if (!shot.save(SnapshotFolder() + QStringLiteral("window_%1.png").arg(name))) {
        faults << QStringLiteral("snapshot not saved");
      }
    };

    const QStringList boxes = {QStringLiteral("note form"), QStringLiteral("message box"),
                               QStringLiteral("question box"), QStringLiteral("file chooser"),
                               QStringLiteral("print preview")};
    if (boxes.contains(window)) {
      // The program's own boxes, measured while open, then closed.
      QVERIFY(windows.show(QStringLiteral("main")));
      QTimer::singleShot(0, [&] {
        QWidget *box = QApplication::activeModalWidget();
        if (box && QTest::qWaitForWindowExposed(box)) {
          measure(box, false);
        }
        if (auto *dialog = qobject_cast<QDialog *>(box)) {
          dialog->reject();
        }
      });
      QtDialogs real;
      MainWindow *owner = windows.main.get();
      if (window == u"note form") {
        Dialogs::NoteForm form;
        form.heading = QStringLiteral("Relevé du 14/03/2026 à 08:15 : 131/84, pouls 66 (Matin)");
        form.lineLabel = QStringLiteral("Remarque :");
        form.text = QStringLiteral("après le café");
        form.labels = QStringList{QStringLiteral("Pouls irrégulier"), QStringLiteral("Mouvement")};
        form.checked = {true, false};
        real.editNote(owner, QStringLiteral("Remarque"), form);
      } else if (window == u"message box") {
        real.messageWithAction(owner, Dialogs::Icon::Warning, QStringLiteral("Imprimer"),
                               QStringLiteral("Le fichier a été enregistré :\n/tmp/x.txt\n\n"
                                              "Aucun programme n'est installé pour l'ouvrir."),
                               QStringLiteral("Ouvrir le dossier"));
      } else if (window == u"question box") {
        real.askYesNo(owner, Dialogs::Icon::Question, QStringLiteral("Archivage"),
                      QStringLiteral("Êtes-vous sûr(e) de vouloir archiver ?"),
                      Dialogs::Default::No);
      } else if (window == u"file chooser") {
#ifdef Q_OS_WIN
        if (!dark) {
          QSKIP("In the light scheme Windows shows its own file chooser, in the system's "
                "colours: no window of the program's to measure.");
        }
#endif
        QVERIFY(WriteFile(env.home.path() + QStringLiteral("mesures.csv"), "x"));
        real.openFileName(owner, QStringLiteral("Importer des relevés"), env.home.path(),
                          QStringLiteral("Fichiers CSV (*.csv)"));
      } else {
        QPrinter printer(QPrinter::HighResolution);
        real.previewPrint(owner, QStringLiteral("Aperçu avant impression"), &printer,
                          [](QPrinter *on) {
                            QPainter painter(on);
                            painter.drawText(QPoint(200, 200), QStringLiteral("Relevé"));
                          });
      }
    } else if (window.endsWith(u"menu")) {
      QVERIFY(windows.show(QStringLiteral("main")));
      QMenu *menu =
          windows.main->menu(window == u"list menu" ? ControlId::ListMenu : ControlId::ArchiveMenu);
      QVERIFY(menu);
      menu->popup(windows.main->mapToGlobal(QPoint(300, 120)));
      QVERIFY(QTest::qWaitForWindowExposed(menu));
      measure(menu, false);
      menu->close();
    } else {
      QWidget *w = windows.show(switched ? QStringLiteral("main") : window);
      QVERIFY(w);
      if (w == windows.main.get()) {
        w->resize(1366, 768);
      }
      QVERIFY(QTest::qWaitForWindowExposed(w));
      if (switched) {
        // As the preferences switch it: at once, nothing restarted.
        State().darkAppearance = dark;
        ApplyChosenScheme(*windows.main);
      }
      if (auto *archives = qobject_cast<ArchiveManagerWindow *>(w)) {
        const QModelIndex root = archives->fileList()->rootIndex();
        QTRY_COMPARE(archives->fileModel()->rowCount(root), 2);
        for (int row = 0; row < 2; ++row) {
          const QModelIndex size = archives->fileModel()->index(row, 1, root);
          QTRY_VERIFY(!size.data().toString().isEmpty());
          QVERIFY(archives->fileList()->viewport()->rect().contains(
              archives->fileList()->visualRect(size)));
        }
      }
      QCoreApplication::processEvents();
      QVERIFY(w->width() <= 1366 && w->height() <= 768);
      measure(w, true);
    }
    QCOMPARE(measured, 1);
    QVERIFY(WriteFile(SnapshotFolder() + QStringLiteral("contrast_%1.txt").arg(name),
                      table.join(u'\n').toUtf8()));
    QVERIFY(table.size() > 2);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
  }

  // The list menu's actions from the keyboard alone, on the Matin list with
  // its second row marked: Delete asks the menu's question and deletes on
  // "Oui"; the Menu key and Shift+F10 open the menu, a screen reader finding
  // its items.
  void listActionsFromTheKeyboard_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("marked");
    QTest::addColumn<int>("questions"); // "Suppression" boxes asked (answered Oui)
    QTest::addColumn<bool>("menuOpens");
    QTest::addColumn<int>("rowsLeft");
    const int none = int(Qt::NoModifier);
    QTest::newRow("Delete") << int(Qt::Key_Delete) << none << true << 1 << false << 1;
    QTest::newRow("Delete, nothing marked")
        << int(Qt::Key_Delete) << none << false << 0 << false << 2;
    QTest::newRow("Menu key") << int(Qt::Key_Menu) << none << true << 0 << true << 2;
    QTest::newRow("Shift+F10") << int(Qt::Key_F10) << int(Qt::ShiftModifier) << true << 0 << true
                               << 2;
    QTest::newRow("Menu key, nothing marked")
        << int(Qt::Key_Menu) << none << false << 0 << false << 2;
    QTest::newRow("F10 alone") << int(Qt::Key_F10) << none << true << 0 << false << 2;
  }
  void listActionsFromTheKeyboard() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, marked);
    QFETCH(int, questions);
    QFETCH(bool, menuOpens);
    QFETCH(int, rowsLeft);
    Env env;
    Windows windows;
    MainWindow &main = *windows.main;
    ConnectCommands(main);
    main.lists().list(DayPeriod::Matin).append(MakeReading(QStringLiteral("09:05"), 140, 90, 72));
    QVERIFY(windows.show(QStringLiteral("main")));
    QApplication::setActiveWindow(&main);
    QVERIFY(QTest::qWaitForWindowActive(&main));
    main.setCurrentTab(PeriodInfo(DayPeriod::Matin).tabIndex);
    QTableView *list = main.listView(DayPeriod::Matin);
    list->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(list->hasFocus());
    list->setCurrentIndex(list->model()->index(1, 0));
    if (!marked) {
      list->clearSelection();
    }
    for (int i = 0; i < questions; ++i) {
      env.dialogs.answerYes();
    }

    QTest::keyClick(list, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(env.dialogs.shown.size(), questions);
    QVERIFY(questions == 0 || env.dialogs.shown[0].title == u"Suppression");
    QCOMPARE(int(main.lists().list(DayPeriod::Matin).size()), rowsLeft);

    auto *menu = main.menu(ControlId::ListMenu);
    QTRY_COMPARE(menu->isVisible(), menuOpens);
    if (!menuOpens) {
      return;
    }
    // The open menu is a shown popup with its items as named children.
    QAccessibleInterface *found = QAccessible::queryAccessibleInterface(menu);
    QVERIFY(found && !found->state().invisible);
    QCOMPARE(found->role(), QAccessible::PopupMenu);
    QVERIFY(!found->text(QAccessible::Name).isEmpty());
    QStringList items;
    for (int i = 0; i < found->childCount(); ++i) {
      if (found->child(i)->role() != QAccessible::Separator) {
        items << found->child(i)->text(QAccessible::Name);
      }
    }
    QCOMPARE(items, QStringList({QStringLiteral("Supprimer les données"),
                                 QStringLiteral("Afficher les données"),
                                 QStringLiteral("Modifier..."), QStringLiteral("Remarque...")}));
    menu->close();
  }

  // The list menu's items from the top of the tree, the menu closed: the
  // window lists its popup menus among its children, each item named and
  // able to act; "Modifier..." leads to its five items.
  void listMenuInTheTreeFromTheWindow() {
    Env env;
    Windows windows;
    MainWindow &main = *windows.main;
    QVERIFY(windows.show(QStringLiteral("main")));
    QAccessibleInterface *top = QAccessible::queryAccessibleInterface(&main);
    QVERIFY(top);
    QAccessibleInterface *menu = nullptr;
    for (int i = 0; i < top->childCount(); ++i) {
      QAccessibleInterface *child = top->child(i);
      QVERIFY(child);
      QCOMPARE(top->indexOfChild(child), i);
      if (child->object() == main.menu(ControlId::ListMenu)) {
        menu = child;
      }
    }
    QVERIFY(menu);
    QCOMPARE(menu->role(), QAccessible::PopupMenu);
    QCOMPARE(menu->text(QAccessible::Name), QStringLiteral("Actions sur les relevés"));
    QStringList items, modify;
    for (int i = 0; i < menu->childCount(); ++i) {
      QAccessibleInterface *item = menu->child(i);
      if (item->role() == QAccessible::Separator) {
        continue;
      }
      items << item->text(QAccessible::Name);
      QVERIFY(item->actionInterface() && !item->actionInterface()->actionNames().isEmpty());
      for (int j = 0; j < item->childCount(); ++j) { // the submenu, then its items
        QAccessibleInterface *sub = item->child(j);
        for (int k = 0; k < sub->childCount(); ++k) {
          modify << sub->child(k)->text(QAccessible::Name);
        }
      }
    }
    QCOMPARE(items, QStringList({QStringLiteral("Supprimer les données"),
                                 QStringLiteral("Afficher les données"),
                                 QStringLiteral("Modifier..."), QStringLiteral("Remarque...")}));
    QCOMPARE(modify, QStringList({QStringLiteral("La date"), QStringLiteral("L'heure"),
                                  QStringLiteral("La systole"), QStringLiteral("La diastole"),
                                  QStringLiteral("Le pouls")}));
    // The help and archive menus are found the same way, by their buttons' names.
    QStringList menus;
    for (int i = 0; i < top->childCount(); ++i) {
      if (top->child(i)->role() == QAccessible::PopupMenu) {
        menus << top->child(i)->text(QAccessible::Name);
      }
    }
    QCOMPARE(menus.size(), 4);
    QVERIFY(menus.contains(QStringLiteral("Aide")) && menus.contains(QStringLiteral("Archiver")) &&
            menus.contains(QStringLiteral("Série")));
  }

  // The form of "Remarque...", from the keyboard alone: the note starts
  // selected, End and typing add to it, Tab and Space tick the boxes, Enter
  // confirms, Escape cancels; the line holds 200 characters; every control
  // is named.
  void noteFormFromTheKeyboard_data() {
    QTest::addColumn<bool>("confirm");
    QTest::newRow("Enter") << true;
    QTest::newRow("Escape") << false;
  }
  void noteFormFromTheKeyboard() {
    QFETCH(bool, confirm);
    Env env;
    Windows windows;
    Dialogs::NoteForm form;
    form.heading = QStringLiteral("Relevé du 14/03/2026 à 08:15 : 131/84, pouls 66 (Matin)");
    form.lineLabel = QStringLiteral("Remarque :");
    form.text = QStringLiteral("après le café");
    form.maxLength = 200;
    form.labels =
        QStringList({QStringLiteral("Pouls irrégulier"), QStringLiteral("Traitement pris"),
                     QStringLiteral("Mouvement"), QStringLiteral("Brassard mal placé")});
    form.checked = {false, false, true, false};
    QStringList unnamed, names;
    bool seen = false, startsInNote = false;
    QTimer::singleShot(0, [&] {
      QWidget *box = QApplication::activeModalWidget();
      if (!box) {
        return;
      }
      seen = true;
      QCoreApplication::processEvents(); // the form settles as it shows
      CollectUnnamed(QAccessible::queryAccessibleInterface(box), unnamed);
      auto *edit = box->findChild<QLineEdit *>();
      names << QAccessible::queryAccessibleInterface(edit)->text(QAccessible::Name);
      for (QCheckBox *check : box->findChildren<QCheckBox *>()) {
        names << QAccessible::queryAccessibleInterface(check)->text(QAccessible::Name);
      }
      if (confirm) {
        box->grab().save(SnapshotFolder() + QStringLiteral("note_form.png"));
      }
      // Checked after the form has closed: a failure here would leave it open.
      startsInNote = box->focusWidget() == edit && edit->selectedText() == edit->text();
      const auto key = [&](Qt::Key k) { QTest::keyClick(box->focusWidget(), k); };
      QTest::keyClick(box->focusWidget(), Qt::Key_End); // kept, added to
      QTest::keyClicks(box->focusWidget(), QStringLiteral(", ") + QString(300, u'x'));
      key(Qt::Key_Tab);
      key(Qt::Key_Space); // "Pouls irrégulier" on
      key(Qt::Key_Tab);
      key(Qt::Key_Tab);
      key(Qt::Key_Space); // "Mouvement" off
      key(confirm ? Qt::Key_Return : Qt::Key_Escape);
      if (box->isVisible()) {
        box->close();
      }
    });
    const Dialogs::NoteForm before = form;
    const bool accepted =
        QtDialogs().editNote(windows.main.get(), QStringLiteral("Remarque"), form);
    QVERIFY(seen);
    QVERIFY(startsInNote);
    QCOMPARE(accepted, confirm);
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(u'\n')));
    QCOMPARE(names, QStringList({QStringLiteral("Remarque")}) + before.labels);
    if (!confirm) {
      QCOMPARE(form.text, before.text);
      QCOMPARE(form.checked, before.checked);
      return;
    }
    QCOMPARE(form.text.size(), 200);
    QVERIFY2(form.text.startsWith(QStringLiteral("après le café, xxx")),
             qPrintable(form.text.left(30)));
    QCOMPARE(form.checked, QList<bool>({true, false, false, false}));
  }

  // Each graph reads out its period and the values its curves end with.
  void graphsDescribeTheirLastValues() {
    Env env;
    Windows windows;
    QCOMPARE(
        QAccessible::queryAccessibleInterface(windows.main->control(ControlId::PulseGraph))
            ->text(QAccessible::Description),
        QStringLiteral("Courbes du Matin : dernière mesure 14/03/2026 08:15, 131/84, pouls 66"));
  }

  // Tab goes through the input panel in reading order, then to the lists,
  // and on round the whole window: every command button on the way.
  void mainWindowTabOrder() {
    Env env;
    Windows windows;
    QVERIFY(windows.show(QStringLiteral("main")));
    MainWindow &main = *windows.main;
    QApplication::setActiveWindow(&main);
    QVERIFY(QTest::qWaitForWindowActive(&main));
    QWidget *date = main.control(ControlId::DateField);
    date->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), date);

    QList<QWidget *> visited{date};
    for (int presses = 0; presses < 100; ++presses) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QWidget *now = QApplication::focusWidget();
      if (now == date && visited.size() > 1) {
        break;
      }
      // The date and time fields step through their parts before leaving.
      if (now != visited.last()) {
        visited.append(now);
      }
    }
    QCOMPARE(QApplication::focusWidget(), date);

    const QList<QWidget *> start{date,
                                 main.control(ControlId::TimeField),
                                 main.control(ControlId::SystolicField),
                                 main.control(ControlId::DiastolicField),
                                 main.control(ControlId::PulseField),
                                 main.control(ControlId::IrregularCheck),
                                 main.control(ControlId::MedicationCheck),
                                 main.control(ControlId::MovementCheck),
                                 main.control(ControlId::CuffMisplacedCheck),
                                 main.control(ControlId::NoteField),
                                 main.control(ControlId::ButtonAdd),
                                 main.control(ControlId::ButtonClear)};
    QCOMPARE(visited.mid(0, start.size()), start);
    // Then the series line and its buttons, the tabs, the list.
    const QList<QWidget *> series{
        main.control(ControlId::SeriesLine), main.control(ControlId::ButtonMeasureNow),
        main.control(ControlId::ButtonSeriesForm), main.control(ControlId::ButtonSeriesMenu)};
    QCOMPARE(visited.mid(start.size(), series.size()), series);
    const int matin = int(visited.indexOf(main.control(ControlId::ListMatin)));
    QVERIFY(matin > int(start.size() + series.size()));
    for (int i = int(start.size() + series.size()); i < matin; ++i) {
      QVERIFY2(qobject_cast<QTabBar *>(visited[i]), "only the tabs come before the list");
    }
    for (ControlId id : {ControlId::ButtonQuit, ControlId::ButtonPatient, ControlId::ButtonSave,
                         ControlId::ButtonArchive, ControlId::ButtonPrint, ControlId::ButtonAbout,
                         ControlId::ButtonHelp, ControlId::ButtonSettings, ControlId::ButtonPin,
                         ControlId::ButtonDelete}) {
      QVERIFY2(visited.contains(main.control(id)), qPrintable(main.button(id)->label()));
    }
  }

  // A drawn button acts on Space and Enter once it has the focus, and on
  // the screen reader's "press"; a heading takes neither the focus nor keys.
  void drawnButtonsActFromTheKeyboard_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<int>("control");
    QTest::addColumn<int>("key"); // 0: the accessible press action
    QTest::addColumn<bool>("focusable");
    QTest::addColumn<int>("clicks");
    const int add = ToInt(ControlId::ButtonAdd);
    const int heading = ToInt(ControlId::AverageHeadingOverall);
    const int print = ToInt(ControlId::ArchiveButtonPrint);
    QTest::newRow("Ajouter, Space") << "main" << add << int(Qt::Key_Space) << true << 1;
    QTest::newRow("Ajouter, Return") << "main" << add << int(Qt::Key_Return) << true << 1;
    QTest::newRow("Ajouter, keypad Enter") << "main" << add << int(Qt::Key_Enter) << true << 1;
    QTest::newRow("Ajouter, press") << "main" << add << 0 << true << 1;
    QTest::newRow("Ajouter, a letter") << "main" << add << int(Qt::Key_A) << true << 0;
    QTest::newRow("Epingler, Space")
        << "main" << ToInt(ControlId::ButtonPin) << int(Qt::Key_Space) << true << 1;
    QTest::newRow("heading, Space") << "main" << heading << int(Qt::Key_Space) << false << 0;
    QTest::newRow("heading, press") << "main" << heading << 0 << false << 0;
    QTest::newRow("archives Imprimer, Return")
        << "archives" << print << int(Qt::Key_Return) << true << 1;
    QTest::newRow("archives Imprimer, press") << "archives" << print << 0 << true << 1;
  }
  void drawnButtonsActFromTheKeyboard() {
    QFETCH(QString, window);
    QFETCH(int, control);
    QFETCH(int, key);
    QFETCH(bool, focusable);
    QFETCH(int, clicks);
    Env env;
    Windows windows;
    QWidget *w = windows.show(window);
    QVERIFY(w);
    QApplication::setActiveWindow(w);
    QVERIFY(QTest::qWaitForWindowActive(w));
    auto *button = qobject_cast<DrawnButton *>(FindControl(w, control));
    QVERIFY(button);
    QCOMPARE(bool(button->focusPolicy() & Qt::TabFocus), focusable);
    QSignalSpy spy(button, &DrawnButton::clicked);

    if (key == 0) {
      QAccessibleInterface *node = QAccessible::queryAccessibleInterface(button);
      QVERIFY(node);
      QAccessibleActionInterface *actions = node->actionInterface();
      const bool canPress =
          actions && actions->actionNames().contains(QAccessibleActionInterface::pressAction());
      QCOMPARE(canPress, focusable);
      if (canPress) {
        actions->doAction(QAccessibleActionInterface::pressAction());
      }
    } else {
      if (focusable) {
        button->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(button->hasFocus());
      }
      // The key goes where the keyboard is, as a real key press would.
      QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    }
    QCOMPARE(spy.count(), clicks);
  }
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
