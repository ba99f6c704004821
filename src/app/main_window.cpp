#include "app/main_window.h"

#include "app/window_layouts.h"

#include "common/app_state.h"
#include "common/identity.h"
#include "common/paths.h"
#include "common/patient_name.h"
#include "graphs/graph_canvas.h"
#include "measurements/context_texts.h"
#include "measurements/period_list_model.h"
#include "platform/clock.h"
#include "readings/context_mark.h"
#include "readings/reading_commands.h"
#include "ui/assets/assets.h"
#include "ui/documents.h"
#include "ui/drawing.h"
#include "ui/fit_text.h"

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTextEdit>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <cmath>

namespace tl {

namespace {

// Sizes of the window's fixed parts (96-DPI pixels).
constexpr int kButtonHeight = 30;
constexpr int kLeftPanelWidth = 250;
constexpr int kStatusHeight = 23;
constexpr int kSeriesStripHeight = 42;    // the series line (three lines at most), above the tabs
constexpr int kPictureSide = 240;         // the picture at its largest
constexpr int kLeastPictureSide = 48;     // smaller, it is not shown
constexpr int kStartingGraphHeight = 150; // each graph's, before the averages page shows

struct ButtonEntry {
  ControlId id;
  int width;
  const char *label;
  int systemIcon; // -1: shared image 12
  const char *tipTitle;
  const char *tipText; // "%1" stands for the program title
};

// The command buttons in the order they are built.
const ButtonEntry kButtons[] = {
    {ControlId::ButtonQuit, 100, "Quitter", 27, "Quitter (Ctrl+Q)",
     "Fermer la fenêtre et quitter le programme"},
    {ControlId::ButtonPatient, 100, "Patient", 159, "Patient (Ctrl+U)",
     "Sélection ou création d'un utilisateur et de son compte individuel en tant que patient"},
    {ControlId::ButtonSave, 120, "Sauvegarder", 258, "Sauvegarder (Ctrl+S)",
     "les données maintenant (la sauvegarde est automatique à la fermeture de la fenêtre)"},
    {ControlId::ButtonArchive, 110, "Archiver ∇", 316, "Archiver",
     "les données actuellement affichées dans les listes de relevés."},
    {ControlId::ButtonPrint, 100, "Imprimer", 225, "Imprimer (Ctrl+I)",
     "Chaque liste de vos relevés de mesures est formatée dans un fichier texte imprimable qui "
     "est immédiatement ouvert."},
    {ControlId::ButtonAbout, 100, "A propos", 221, "A propos (Ctrl+Z)", "de %1"},
    {ControlId::ButtonHelp, 100, "Aide ∇", 23, "Aide ?", "Ouvrir le fichier d'aide"},
    {ControlId::ButtonSettings, 110, "Paramètres", 314, "Paramètres (Ctrl+P)",
     "Choisissez les paramètres de fonctionnement de %1"},
    {ControlId::ButtonPin, 90, "Epingler", -1, "Epingler (Ctrl+Y)",
     "Toujours garder la fenêtre au premier plan"},
    {ControlId::ButtonDelete, 80, "Suppr.", 32, "Supprimer tout (Ctrl+D)",
     "Sélection des fichiers de données utilisateurs à supprimer."},
};

QIcon ButtonIcon(const ButtonEntry &entry) {
  return entry.systemIcon < 0 ? ImageIcon(12) : SystemIcon(entry.systemIcon);
}

const QString kBannerText = QStringLiteral(
    "Surveillez votre tension artérielle et gardez un suivi de vos relevés d'automesures "
    "tensionnelles. ");

QLabel *MakeLabel(const QString &text, const QFont &font, QWidget *parent, QSize size,
                  std::optional<QColor> colour = std::nullopt) {
  auto *label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);
  label->setFont(font);
  if (size.isValid()) {
    label->setFixedSize(size);
  }
  if (colour) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, *colour);
    label->setPalette(palette);
  }
  return label;
}

// A layout without margins whose items are `spacing` apart.
template <class Layout> Layout *Tight(int spacing, Layout *layout = new Layout) {
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(spacing);
  return layout;
}

// Widgets side by side from `indent` pixels in, `gap` pixels apart, the
// room left on the right.
QHBoxLayout *Row(int indent, int gap, std::initializer_list<QWidget *> widgets) {
  auto *row = Tight(gap, new QHBoxLayout);
  row->setContentsMargins(indent, 0, 0, 0);
  for (QWidget *widget : widgets) {
    row->addWidget(widget);
  }
  row->addStretch();
  return row;
}

// The averages page has its graphs redrawn at their new size whenever it
// is resized (its layout has placed them by then).
class AveragesPage : public QWidget {
public:
  using QWidget::QWidget;

  std::function<void()> redraw;

protected:
  void resizeEvent(QResizeEvent *event) override {
    QWidget::resizeEvent(event);
    if (redraw) {
      redraw();
    }
  }
};

// The main window as a screen reader walks it: its controls, then its popup
// menus. A menu that is only ever popped up is a window of its own, which
// the tree shows only while it is open; listed here, its items (the only
// way to some of the list's actions by pointer) are found from the window
// at any time, as a menu bar's would be.
class MainWindowAccessible : public QAccessibleWidget {
public:
  explicit MainWindowAccessible(QWidget *window) : QAccessibleWidget(window, QAccessible::Window) {}

  int childCount() const override { return QAccessibleWidget::childCount() + int(menus().size()); }
  QAccessibleInterface *child(int index) const override {
    const int own = QAccessibleWidget::childCount();
    if (index < own) {
      return QAccessibleWidget::child(index);
    }
    const QList<QMenu *> list = menus();
    return index - own < list.size() ? QAccessible::queryAccessibleInterface(list[index - own])
                                     : nullptr;
  }
  int indexOfChild(const QAccessibleInterface *child) const override {
    if (child && child->object()) {
      const int at = int(menus().indexOf(qobject_cast<QMenu *>(child->object())));
      if (at >= 0) {
        return QAccessibleWidget::childCount() + at;
      }
    }
    return QAccessibleWidget::indexOfChild(child);
  }

private:
  // The window's own popup menus (not the submenus, reached through them).
  QList<QMenu *> menus() const {
    return widget()->findChildren<QMenu *>(Qt::FindDirectChildrenOnly);
  }
};

// A control whose text can be typed and selected: line edits (the value
// fields), date, time and spin fields, text editors.
bool IsTextField(const QWidget *widget) {
  return qobject_cast<const QLineEdit *>(widget) ||
         qobject_cast<const QAbstractSpinBox *>(widget) ||
         qobject_cast<const QPlainTextEdit *>(widget) || qobject_cast<const QTextEdit *>(widget);
}

QAccessibleInterface *MainWindowAccessibleFactory(const QString &className, QObject *object) {
  if (className == QLatin1String("tl::MainWindow") && object && object->isWidgetType()) {
    return new MainWindowAccessible(static_cast<QWidget *>(object));
  }
  return nullptr;
}

} // namespace

QString BannerLine2(const QString &patient) {
  if (patient.isEmpty()) {
    return kBannerText;
  }
  return kBannerText + QStringLiteral("      Utilisateur Connecté :  ☞  ") +
         VisiblePatientName(patient);
}

QString RightsNotice(int year) {
  return QStringLiteral("© %1 %2 - Tous droits réservés").arg(year).arg(AuthorLabel());
}

MainWindow::MainWindow(QWidget *parent)
    : QWidget(parent, Qt::Window),
      logbook_(std::make_unique<Logbook>(State().currentPatient, Paths())) {
  static const bool accessibleInstalled = [] {
    QAccessible::installFactory(MainWindowAccessibleFactory);
    return true;
  }();
  Q_UNUSED(accessibleInstalled);
  setWindowTitle(ProgramTitle());
  setWindowIcon(ImageIcon(0));
  resize(kMinimumWidth, kMinimumHeight);

  // Top to bottom: the banner, the command buttons, the input panel beside
  // the series line and the tabs, the status bar. The panels take the
  // height the window gains.
  auto *column = Tight(0, new QVBoxLayout(this));
  column->addWidget(buildBanner());
  column->addLayout(buildButtons());
  column->addSpacing(5);
  auto *panels = Tight(2, new QHBoxLayout);
  panels->addWidget(buildLeftPanel());
  panels->addWidget(buildRightPanel(), 1);
  column->addLayout(panels, 1);
  column->addSpacing(2);
  column->addWidget(buildStatusBar());
  buildMenus();
  buildShortcuts();
  orderTabChain();

  informationTimer_.setInterval(10000);
  connect(&informationTimer_, &QTimer::timeout, this, &MainWindow::advanceInformationText);

  // Ctrl+C is taken by the window (it copies nothing from its fields and lists).
  qApp->installEventFilter(this);

  fitToScreen();
  if (QScreen *screen = QGuiApplication::primaryScreen()) {
    // Centred with its frame in the free area (a window's position is its
    // frame's), the title bar never above it.
    const QRect area = screen->availableGeometry();
    const QMargins frame = DefaultFrameMargins();
    const QSize outer = size().grownBy(frame);
    move(area.left() + std::max(0, (area.width() - outer.width()) / 2),
         area.top() + std::max(0, (area.height() - outer.height()) / 2));
  }
  column->activate();
  followSize();
  // Typing starts in the first value field.
  control(ControlId::SystolicField)->setFocus();
}

MainWindow::~MainWindow() = default;

QMargins DefaultFrameMargins() { return QMargins(8, 31, 8, 8); }

QSize FittedWindowSize(const QRect &available, const QMargins &frame) {
  const int freeWidth = available.width() - frame.left() - frame.right();
  const int freeHeight = available.height() - frame.top() - frame.bottom();
  return QSize(std::clamp(freeWidth, 1, int(MainWindow::kMinimumWidth)),
               std::clamp(freeHeight, 1, int(MainWindow::kMinimumHeight)));
}

QSize MinimumWindowSize(const QRect &available, const QMargins &frame) {
  const QSize fitted = FittedWindowSize(available, frame);
  return QSize(fitted.width(), std::min(fitted.height(), int(MainWindow::kSmallestHeight)));
}

void MainWindow::fitToScreen() {
  QScreen *on = screen() ? screen() : QGuiApplication::primaryScreen();
  if (!on) {
    setMinimumSize(kMinimumWidth, kSmallestHeight);
    return;
  }
  // The frame the window system reports once the window is shown, else
  // the usual one.
  QMargins frame = DefaultFrameMargins();
  if (isVisible() && frameGeometry() != geometry()) {
    const QRect outer = frameGeometry(), inner = geometry();
    frame = QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                     outer.right() - inner.right(), outer.bottom() - inner.bottom());
  }
  const QSize fitted = FittedWindowSize(on->availableGeometry(), frame);
  setMinimumSize(MinimumWindowSize(on->availableGeometry(), frame));
  if (!isVisible() && (width() > fitted.width() || height() > fitted.height())) {
    resize(fitted);
  }
}

void MainWindow::showEvent(QShowEvent *event) {
  QWidget::showEvent(event);
  if (!screenWatched_ && windowHandle()) {
    screenWatched_ = true;
    // Moved to another screen (or the screen changed its resolution): the
    // minimum follows, so the window can always fit.
    connect(windowHandle(), &QWindow::screenChanged, this, [this](QScreen *s) {
      fitToScreen();
      if (s) {
        connect(s, &QScreen::availableGeometryChanged, this, &MainWindow::fitToScreen,
                Qt::UniqueConnection);
      }
    });
    if (QScreen *s = windowHandle()->screen()) {
      connect(s, &QScreen::availableGeometryChanged, this, &MainWindow::fitToScreen,
              Qt::UniqueConnection);
    }
  }
  fitToScreen();
  if (!placed_) {
    // Shown for the first time, before the window system maps it.
    placed_ = true;
    keepFrameInside();
  }
}

void MainWindow::keepFrameInside() {
  QScreen *on = screen() ? screen() : QGuiApplication::primaryScreen();
  if (!on || (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
    return;
  }
  // Before the window manager frames it, the frame is the usual one; a size
  // kept from a larger screen shrinks to the free area, then the frame is
  // moved inside it.
  const QRect area = on->availableGeometry();
  const QMargins frame = DefaultFrameMargins();
  const QSize room = area.size().shrunkBy(frame);
  const QSize fitted(std::max(minimumWidth(), std::min(width(), room.width())),
                     std::max(minimumHeight(), std::min(height(), room.height())));
  if (fitted != size()) {
    resize(fitted);
  }
  const QSize outer = fitted.grownBy(frame);
  const QPoint at(
      std::clamp(x(), area.left(), std::max(area.left(), area.right() + 1 - outer.width())),
      std::clamp(y(), area.top(), std::max(area.top(), area.bottom() + 1 - outer.height())));
  if (testAttribute(Qt::WA_WState_Created) && frameGeometry() == geometry()) {
    // Once the native window exists, a position is the inside's until the
    // frame is known: the usual frame is left above and beside it.
    move(at + QPoint(frame.left(), frame.top()));
  } else if (at != pos()) {
    move(at);
  }
}

void MainWindow::changeEvent(QEvent *event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::ActivationChange) {
    return;
  }
  if (!isActiveWindow()) {
    leftAt_ = clock().now();
    return;
  }
  // A reading typed the next morning must not be filed on the day before.
  if (leftAt_.isValid() && leftAt_.secsTo(clock().now()) > kAwaySeconds) {
    ResetInputDateTime(*this);
  }
  leftAt_ = QDateTime();
}

void MainWindow::setStatusNote(const QString &note) {
  statusNote_ = note;
  const QString &shown = unsavedNote_.isEmpty() ? statusNote_ : unsavedNote_;
  statusFields_[5]->setText(shown.isEmpty() ? RightsNotice(clock().now().date().year()) : shown);
}

void MainWindow::setUnsavedNote(const QString &note) {
  unsavedNote_ = note;
  statusFields_[5]->setToolTip(
      note.isEmpty()
          ? QString()
          : QStringLiteral("Ces relevés n'ont pas pu être enregistrés : ils restent dans "
                           "la fenêtre, et chaque modification retente "
                           "l'enregistrement. « Sauvegarder » en donne la raison."));
  setStatusNote(statusNote_);
}

void MainWindow::registerControl(QWidget *widget, ControlId id) { SetControlNumber(widget, id); }

QWidget *MainWindow::control(ControlId id) { return FindControl(this, id); }

DrawnButton *MainWindow::button(ControlId id) const {
  return qobject_cast<DrawnButton *>(FindControl(const_cast<MainWindow *>(this), id));
}

QMenu *MainWindow::menu(ControlId id) const {
  return qobject_cast<QMenu *>(FindControl(const_cast<MainWindow *>(this), id));
}

void MainWindow::orderTabChain() {
  // Tab follows the input panel from top to bottom. The tab panel, built
  // after it, comes next (the tabs, then the list or the averages page on
  // show); the command buttons, built first, follow round to the date again.
  const ControlId panel[] = {
      ControlId::DateField,       ControlId::TimeField,     ControlId::SystolicField,
      ControlId::DiastolicField,  ControlId::PulseField,    ControlId::IrregularCheck,
      ControlId::MedicationCheck, ControlId::MovementCheck, ControlId::CuffMisplacedCheck,
      ControlId::NoteField,       ControlId::ButtonAdd,     ControlId::ButtonClear};
  for (size_t i = 1; i < std::size(panel); ++i) {
    setTabOrder(control(panel[i - 1]), control(panel[i]));
  }
}

QWidget *MainWindow::buildBanner() {
  banner_ = new Banner(this);
  banner_->setColours(QColor(99, 184, 255), QColor(0, 0, 128));
  banner_->setGradient(Gradient::Vertical);
  banner_->setLeftImage(ImageIcon(0));
  banner_->setLines(TitleLine(), BannerLine2(QString()));
  banner_->setRightText(AuthorLabel());
  banner_->setFixedHeight(kBannerHeight);
  registerControl(banner_, ControlId::Banner);
  return banner_;
}

QLayout *MainWindow::buildButtons() {
  buttonRow_ = new ShareRowLayout(kButtonHeight);
  for (const ButtonEntry &entry : kButtons) {
    const QIcon icon = ButtonIcon(entry);
    auto *button = new DrawnButton(QString::fromUtf8(entry.label), icon, this);
    AttachBalloonTip(button, QString::fromUtf8(entry.tipTitle),
                     QString::fromUtf8(entry.tipText).replace(QStringLiteral("%1"), ProgramTitle()),
                     icon);
    registerControl(button, entry.id);
    buttonRow_->addWidget(button, entry.width);
  }
  auto *filler = new DrawnButton(QString(), QIcon(), this);
  filler->setInteractive(false);
  registerControl(filler, ControlId::ButtonFiller);
  buttonRow_->setFiller(filler);
  return buttonRow_;
}

QWidget *MainWindow::buildLeftPanel() {
  auto *panel = new QFrame(this);
  panel->setFrameStyle(QFrame::Box | QFrame::Plain);
  panel->setFixedWidth(kLeftPanelWidth);
  // Laid out over the whole panel, its border included: the margins are
  // the distances from its edges.
  panel->setAttribute(Qt::WA_LayoutOnEntireRect);
  registerControl(panel, ControlId::LeftPanel);
  auto *column = Tight(0, new QVBoxLayout(panel));
  column->setContentsMargins(10, 10, 10, 8);

  const QFont font1 = SharedFont(1);
  const QFont font3 = SharedFont(3);

  auto *prompt = MakeLabel(QStringLiteral("Saisissez ici les données indiquées par le "
                                          "tensiomètre, ainsi que la date et l'heure."),
                           font1, panel, QSize(230, 40));
  prompt->setWordWrap(true);
  prompt->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  registerControl(prompt, ControlId::InputPrompt);
  column->addWidget(prompt);

  const QDateTime now = clock().now();
  auto *date = new QDateEdit(now.date(), panel);
  date->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
  date->setLocale(QLocale(QLocale::French, QLocale::France));
  date->setFixedSize(100, 20);
  date->setAccessibleName(QStringLiteral("Date"));
  registerControl(date, ControlId::DateField);

  auto *time = new QTimeEdit(QTime(now.time().hour(), now.time().minute()), panel);
  time->setDisplayFormat(QStringLiteral("HH:mm"));
  time->setLocale(QLocale(QLocale::French, QLocale::France));
  time->setFixedSize(60, 20);
  time->setAccessibleName(QStringLiteral("Heure"));
  registerControl(time, ControlId::TimeField);
  column->addSpacing(5);
  column->addLayout(Row(10, 60, {date, time}));

  struct Field {
    ControlId label, field;
    const char *text;
  };
  const Field fields[] = {
      {ControlId::SystolicLabel, ControlId::SystolicField, "Mesure Systolique ................"},
      {ControlId::DiastolicLabel, ControlId::DiastolicField, "Mesure Diastolique .............."},
      {ControlId::PulseLabel, ControlId::PulseField, "Mesure du Pouls .................."},
  };
  for (const Field &f : fields) {
    auto *label = MakeLabel(QString::fromUtf8(f.text), font1, panel, QSize(160, 20));
    registerControl(label, f.label);
    auto *edit = new QLineEdit(panel);
    edit->setFont(font3);
    edit->setFixedSize(60, 20);
    edit->setTextMargins(0, 0, 0, 0);
    edit->setAccessibleName(SpokenText(QString::fromUtf8(f.text)));
    registerControl(edit, f.field);
    column->addSpacing(5);
    column->addLayout(Row(10, 0, {label, edit}));
  }

  // The context taken with the reading: what the meter showed (its
  // irregular-heartbeat sign), the treatment, the measurement's conditions
  // and a note; "Ajouter" files them with it. Two by two under the values.
  struct Flag {
    ControlId id;
    ContextFlag flag;
    const char *tip;
  };
  const Flag flags[] = {
      {ControlId::IrregularCheck, ContextFlag::Irregular,
       "Cochez si le tensiomètre a signalé un pouls irrégulier pour cette mesure."},
      {ControlId::MedicationCheck, ContextFlag::Medication,
       "Cochez si le traitement a été pris avant cette mesure."},
      {ControlId::MovementCheck, ContextFlag::Movement,
       "Cochez si vous avez bougé ou parlé pendant la mesure."},
      {ControlId::CuffMisplacedCheck, ContextFlag::CuffMisplaced,
       "Cochez si le brassard n'était pas bien placé (sur un vêtement, trop haut ou trop bas)."},
  };
  auto *flagGrid = new QGridLayout;
  flagGrid->setHorizontalSpacing(2);
  flagGrid->setVerticalSpacing(0);
  // The right-hand flags' texts take 4 pixels of the panel's margin.
  flagGrid->setContentsMargins(0, 0, -4, 0);
  for (int i = 0; i < int(std::size(flags)); ++i) {
    const Flag &f = flags[i];
    auto *box = new QCheckBox(ContextFlagLabel(f.flag), panel);
    box->setFont(font1);
    box->setFixedSize(i % 2 ? 120 : 112, 20);
    AttachBalloonTip(box, ContextFlagLabel(f.flag), QString::fromUtf8(f.tip), SystemIcon(269));
    registerControl(box, f.id);
    flagGrid->addWidget(box, i / 2, i % 2);
  }
  column->addSpacing(5);
  column->addLayout(flagGrid);

  auto *noteLabel = MakeLabel(QStringLiteral("Remarque"), font1, panel, QSize(66, 20));
  registerControl(noteLabel, ControlId::NoteLabel);
  auto *note = new QLineEdit(panel);
  note->setFont(font1);
  note->setFixedSize(160, 20);
  note->setMaxLength(int(kMaxNoteLength));
  note->setAccessibleName(QStringLiteral("Remarque"));
  registerControl(note, ControlId::NoteField);
  column->addSpacing(2);
  column->addLayout(Row(2, 2, {noteLabel, note}));

  // The two input buttons: their caption is their tip's title, their icon its icon.
  const auto inputButton = [&](const QString &caption, int icon, const QString &tip, ControlId id) {
    auto *button = new DrawnButton(caption, SystemIcon(icon), panel);
    button->setFixedSize(115, 30);
    AttachBalloonTip(button, caption, tip, SystemIcon(icon));
    FitLabelToButton(button);
    registerControl(button, id);
    return button;
  };
  auto *add = inputButton(QStringLiteral("Ajouter"), 269,
                          QStringLiteral("Ajouter Les mesures saisies à la liste correspondante en "
                                         "fonction de l'heure. (les champs sont réinitialisés)"),
                          ControlId::ButtonAdd);
  auto *clear = inputButton(QStringLiteral("Effacer"), 152,
                            QStringLiteral("Tous les champs de saisie sont vidés et réinitialisés, "
                                           "sauf date et heure."),
                            ControlId::ButtonClear);
  column->addSpacing(5);
  column->addLayout(Row(0, 0, {add, clear}));

  information_ = new InformationPanel(panel);
  information_->setFixedSize(230, 183);
  information_->setColours(QColor(231, 234, 238), QColor(55, 71, 98));
  information_->setGradient(Gradient::Diagonal);
  information_->setIcon(ImageIcon(3), 32, 32);
  information_->setTitle(InformationTitle());
  information_->setText(InformationText(1));
  registerControl(information_, ControlId::InformationPanel);
  column->addWidget(information_);

  // The picture, named after its caption, takes the height left above its
  // caption: a square up to 240 pixels, hidden when too small (its place kept).
  const QString captionText = QStringLiteral("Je veille sur mon horloge");
  auto *picture = new PictureBox(SharedImage(1), panel);
  picture->setAccessibleName(captionText);
  QSizePolicy keepPlace = picture->sizePolicy();
  keepPlace.setRetainSizeWhenHidden(true);
  picture->setSizePolicy(keepPlace);
  registerControl(picture, ControlId::Picture);
  column->addSpacing(2);
  column->addLayout(new BottomSquareLayout(picture, kPictureSide, kLeastPictureSide), 1);

  auto *caption = MakeLabel(captionText, SharedFont(2), panel, QSize(210, 20), QColor(200, 0, 0));
  caption->setSizePolicy(keepPlace);
  registerControl(caption, ControlId::PictureCaption);
  column->addLayout(Row(10, 0, {caption}));
  return panel;
}

QWidget *MainWindow::buildRightPanel() {
  auto *panel = new QFrame(this);
  panel->setFrameStyle(QFrame::Box | QFrame::Plain);
  // The tab panel covers the border at its sides, as wide as the panel.
  panel->setAttribute(Qt::WA_LayoutOnEntireRect);
  registerControl(panel, ControlId::RightPanel);
  auto *column = Tight(0, new QVBoxLayout(panel));
  column->setContentsMargins(0, 0, 0, 2);

  auto *stripRow = Tight(0, new QHBoxLayout);
  stripRow->setContentsMargins(1, 1, 1, 1);
  stripRow->addWidget(buildSeriesStrip(panel));
  column->addLayout(stripRow);

  tabs_ = new QTabWidget(panel);
  // No frame around the pages: a page is as wide as the tab panel.
  tabs_->setDocumentMode(true);
  tabs_->setIconSize(QSize(16, 16));
  // The five tabs, "Les moyennes" included, must show without scroll arrows
  // at the minimum width: their texts take the program's condensed face
  // (Bahnschrift on Windows, its look-alike elsewhere) at 8 points or less.
  QFont tabFont = SharedFont(0);
  tabFont.setPointSize(8);
  tabs_->tabBar()->setFont(tabFont);
  tabs_->setAccessibleName(QStringLiteral("Relevés et moyennes"));
  tabs_->tabBar()->setAccessibleName(tabs_->accessibleName());
  registerControl(tabs_, ControlId::TabPanel);
  column->addWidget(tabs_, 1);

  // The tabs in their order: the four lists, then the averages page.
  struct Tab {
    QWidget *page;
    int image;
    QString text;
  };
  QList<Tab> pages(qsizetype(kAllPeriods.size()));
  const int tabImages[] = {7, 8, 9, 10};
  for (DayPeriod period : kAllPeriods) {
    const DayPeriodInfo &info = PeriodInfo(period);
    QTableView *view = buildList(period);
    views_[size_t(PeriodIndex(period))] = view;
    pages[info.tabIndex] = {view, tabImages[PeriodIndex(period)], info.tabText};
  }
  pages.append({buildAveragesPage(), 11, QStringLiteral(" Les moyennes   ")});
  for (const Tab &tab : pages) {
    tabs_->addTab(tab.page, ImageIcon(tab.image), tab.text);
  }
  // Styles with wider tab margins (Windows') take a smaller size still.
  FitTabsToWidth(tabs_->tabBar(), kMinimumWidth - kLeftPanelWidth - 2);
  tabs_->setCurrentIndex(0);
  return panel;
}

QTableView *MainWindow::buildList(DayPeriod period) {
  auto *view = new QTableView;
  logbook_->list(period).setContexts(&logbook_->contexts());
  view->setModel(&logbook_->list(period));
  // A reading with a note or flags is marked after its date.
  view->setItemDelegate(new ContextMarkDelegate(view));
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setSelectionMode(QAbstractItemView::ExtendedSelection);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setShowGrid(false);
  view->setWordWrap(false);
  view->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  view->verticalHeader()->hide();
  view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 4);
  view->horizontalHeader()->setHighlightSections(false);
  view->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  view->horizontalHeader()->setStretchLastSection(false);
  // The date column holds a reading's mark of context after the date.
  const int widths[] = {118, 60, 70, 70, 70, 500};
  for (int column = 0; column < 6; ++column) {
    view->setColumnWidth(column, widths[column]);
  }
  SetListHeaderFont(view->horizontalHeader());
  view->setContextMenuPolicy(Qt::CustomContextMenu);
  // Rows are chosen whole: Tab leaves the list instead of stepping through cells.
  view->setTabKeyNavigation(false);
  view->setAccessibleName(PeriodInfo(period).tabText.simplified());
  registerControl(view, PeriodInfo(period).listControl);
  return view;
}

QWidget *MainWindow::buildSeriesStrip(QWidget *panel) {
  // One line over the tabs: where the patient's series stands, what is
  // next, and the guided session a key press away.
  auto *strip = new QFrame(panel);
  strip->setFixedHeight(kSeriesStripHeight);
  registerControl(strip, ControlId::SeriesStrip);
  // The line takes what the buttons leave, the buttons from the right edge.
  auto *row = Tight(2, new QHBoxLayout(strip));
  row->setContentsMargins(6, 0, 4, 0);

  QFont small = SharedFont(1);
  auto *line =
      MakeLabel(QStringLiteral("Aucune série d'automesure en cours."), small, strip, QSize());
  line->setWordWrap(true);
  line->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  line->setFocusPolicy(Qt::TabFocus);
  line->setAccessibleName(QStringLiteral("Série d'automesure"));
  line->setMinimumWidth(40);
  line->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  registerControl(line, ControlId::SeriesLine);
  row->addWidget(line, 1);
  row->addSpacing(2);

  const struct {
    ControlId id;
    int width;
    const char *text, *tip;
  } buttons[] = {
      {ControlId::ButtonMeasureNow, 136, "Mesurer maintenant",
       "Séance guidée : les conditions, 5 minutes de repos, puis chaque mesure (Ctrl+M)"},
      {ControlId::ButtonSeriesForm, 64, "Relevé", "Le relevé d'automesure rempli (Ctrl+R)"},
      {ControlId::ButtonSeriesMenu, 74, "Série", "Démarrer ou arrêter une série d'automesure"},
  };
  for (const auto &b : buttons) {
    auto *button = new QPushButton(QString::fromUtf8(b.text), strip);
    button->setFont(small);
    button->setFixedSize(b.width, 26);
    button->setToolTip(QString::fromUtf8(b.tip));
    button->setAccessibleDescription(QString::fromUtf8(b.tip));
    registerControl(button, b.id);
    row->addWidget(button, 0, Qt::AlignVCenter);
  }
  auto *menu = new QMenu(this);
  QAction *start = menu->addAction(QStringLiteral("Démarrer une nouvelle série..."));
  actions_.insert(ToInt(ControlId::MenuSeriesStart), start);
  connect(start, &QAction::triggered, this,
          [this] { emit menuEvent(ToInt(ControlId::MenuSeriesStart)); });
  QAction *stop = menu->addAction(QStringLiteral("Arrêter la série"));
  actions_.insert(ToInt(ControlId::MenuSeriesStop), stop);
  connect(stop, &QAction::triggered, this,
          [this] { emit menuEvent(ToInt(ControlId::MenuSeriesStop)); });
  menu->addSeparator();
  QAction *keepInTray =
      menu->addAction(QStringLiteral("Garder Tensiolog près de l'horloge pendant une série"));
  keepInTray->setCheckable(true);
  actions_.insert(ToInt(ControlId::MenuSeriesKeepInTray), keepInTray);
  connect(keepInTray, &QAction::triggered, this,
          [this] { emit menuEvent(ToInt(ControlId::MenuSeriesKeepInTray)); });
  menu->setAccessibleName(QStringLiteral("Série"));
  registerControl(menu, ControlId::SeriesMenu);
  return strip;
}

QWidget *MainWindow::buildAveragesPage() {
  auto *page = new AveragesPage;
  auto *column = Tight(0, new QVBoxLayout(page));
  column->setContentsMargins(10, 3, 10, 0);
  const QFont font0 = SharedFont(0);
  const QFont font1 = SharedFont(1);
  const QFont font3 = SharedFont(3);

  QLabel *heading = MakeLabel(QStringLiteral("Moyennes générales basées sur les données "
                                             "présentes dans chaque liste."),
                              font0, page, QSize(370, 20), QColor(73, 90, 139));
  FitTextToWidth(heading, heading->text(), heading->contentsRect().width());
  registerControl(heading, ControlId::AveragesHeading);

  auto *refresh = new QPushButton(QStringLiteral("Actualiser"), page);
  refresh->setFixedSize(70, 20);
  AttachBalloonTip(refresh, QStringLiteral("Actualiser"),
                   QStringLiteral("Mettre à jour l'affichage des moyennes si de nouvelles mesures "
                                  "ont été ajoutées ou d'anciennes retirées."),
                   SystemIcon(238));
  registerControl(refresh, ControlId::ButtonRefresh);

  // The two graph selectors: `width` wide, `current` chosen, a balloon with icon 11.
  const auto selector = [&](ControlId id, const QStringList &entries, int current, int width,
                            const QString &name, const QString &tipTitle, const QString &tip) {
    auto *box = new QComboBox(page);
    box->addItems(entries);
    box->setCurrentIndex(current);
    box->setFixedSize(width, 20);
    AttachBalloonTip(box, tipTitle, tip, ImageIcon(11));
    box->setAccessibleName(name);
    FitEntriesToWidth(box);
    registerControl(box, id);
    return box;
  };
  QComboBox *period = selector(
      ControlId::GraphPeriodSelector,
      {QStringLiteral("Matin"), QStringLiteral("Après-midi"), QStringLiteral("Soir"),
       QStringLiteral("Nuit")},
      0, 100, QStringLiteral("Période affichée"), QStringLiteral("Graphiques"),
      QStringLiteral("Sélectionnez la période que vous voulez afficher dans les graphiques."));
  QComboBox *style =
      selector(ControlId::CurveStyleSelector,
               {QStringLiteral("Lignes uniquement"), QStringLiteral("Lignes + valeurs"),
                QStringLiteral("Lignes + valeurs encerclées")},
               2, 170, QStringLiteral("Style des courbes"), QStringLiteral("Apparence des courbes"),
               QStringLiteral("Sélectionnez l'apparence que vous souhaitez donner aux courbes des "
                              "graphiques."));

  // The heading's text sits 2 pixels lower than the controls beside it.
  auto *top = Tight(0, new QHBoxLayout);
  auto *headingBox = Tight(0, new QVBoxLayout);
  headingBox->setContentsMargins(0, 2, 0, 0);
  headingBox->addWidget(heading);
  top->addLayout(headingBox);
  top->addWidget(refresh, 0, Qt::AlignTop);
  top->addSpacing(20);
  top->addWidget(period, 0, Qt::AlignTop);
  top->addSpacing(5);
  top->addWidget(style, 0, Qt::AlignTop);
  top->addStretch();
  column->addLayout(top);

  struct Box {
    ControlId box, heading, value, count;
    const char *title;
    QColor bottom, top;
  };
  const QColor grey(231, 234, 238), slate(55, 71, 98);
  const Box boxes[] = {
      {ControlId::AverageBoxMatin, ControlId::AverageHeadingMatin, ControlId::AverageValueMatin,
       ControlId::AverageCountMatin, "Moyenne le matin", grey, slate},
      {ControlId::AverageBoxJour, ControlId::AverageHeadingJour, ControlId::AverageValueJour,
       ControlId::AverageCountJour, "Moyenne l'après-midi", grey, slate},
      {ControlId::AverageBoxSoir, ControlId::AverageHeadingSoir, ControlId::AverageValueSoir,
       ControlId::AverageCountSoir, "Moyenne en soirée", grey, slate},
      {ControlId::AverageBoxNuit, ControlId::AverageHeadingNuit, ControlId::AverageValueNuit,
       ControlId::AverageCountNuit, "Moyenne la nuit", grey, slate},
      {ControlId::AverageBoxOverall, ControlId::AverageHeadingOverall,
       ControlId::AverageValueOverall, ControlId::AverageCountOverall, "Moyenne générale",
       QColor(255, 206, 232), QColor(255, 0, 0)},
  };
  auto *boxRow = Tight(10, new QHBoxLayout);
  for (const Box &b : boxes) {
    auto *box = new QFrame(page);
    box->setFrameStyle(QFrame::Box | QFrame::Plain);
    box->setFixedSize(140, 100);
    // The heading covers the box's border.
    box->setAttribute(Qt::WA_LayoutOnEntireRect);
    registerControl(box, b.box);
    auto *inside = Tight(0, new QVBoxLayout(box));

    auto *heading = new DrawnButton(QString::fromUtf8(b.title), QIcon(), box);
    heading->setInteractive(false);
    heading->setColours({b.bottom, b.top, QColor(0, 0, 0)});
    heading->setFixedSize(140, 30);
    FitLabelToButton(heading);
    registerControl(heading, b.heading);
    inside->addWidget(heading);

    auto *value = MakeLabel(QString(), font3, box, QSize(120, 40));
    value->setAlignment(Qt::AlignCenter);
    registerControl(value, b.value);
    inside->addSpacing(5);
    inside->addWidget(value, 0, Qt::AlignHCenter);

    auto *count = MakeLabel(QString(), font(), box, QSize(130, 17));
    count->setAlignment(Qt::AlignCenter);
    registerControl(count, b.count);
    inside->addSpacing(5);
    inside->addWidget(count, 0, Qt::AlignHCenter);
    inside->addStretch();
    boxRow->addWidget(box);
  }
  boxRow->addStretch();
  column->addSpacing(5);
  column->addLayout(boxRow);

  // The three graphs share the height left, each under its title.
  struct Graph {
    ControlId title, canvas;
    const char *text;
    QColor colour;
  };
  const Graph graphs[] = {
      {ControlId::SystolicGraphTitle, ControlId::SystolicGraph,
       "Relevés systoliques :", QColor(92, 113, 226)},
      {ControlId::DiastolicGraphTitle, ControlId::DiastolicGraph,
       "Relevés diastoliques :", QColor(204, 0, 0)},
      {ControlId::PulseGraphTitle, ControlId::PulseGraph,
       "Relevés du pouls :", QColor(61, 162, 25)},
  };
  column->addSpacing(5);
  for (int i = 0; i < 3; ++i) {
    const Graph &g = graphs[i];
    QLabel *title = MakeLabel(QString::fromUtf8(g.text), font1, page, QSize(300, 17), g.colour);
    registerControl(title, g.title);
    auto *graph = new GraphCanvas(page);
    graph->setMinimumHeight(1);
    // Named by its title; the graph drawing renames it with the period.
    graph->setAccessibleName(SpokenText(title->text()));
    registerControl(graph, g.canvas);
    if (i > 0) {
      column->addSpacing(1);
    }
    column->addWidget(title);
    column->addSpacing(i > 0 ? 1 : 0);
    column->addWidget(graph, 1);
  }
  // Until the tab panel first shows it, the page is laid out with graphs of
  // 150 pixels across a 1024-pixel window, so that what is drawn on them
  // meanwhile has a useful size.
  page->resize(kMinimumWidth - kLeftPanelWidth - 2,
               column->totalMinimumSize().height() + 3 * (kStartingGraphHeight - 1));
  column->activate();
  page->redraw = [this] { DrawPeriodGraphs(*this, State().graphPeriod); };
  return page;
}

QWidget *MainWindow::buildStatusBar() {
  auto *bar = new QStatusBar(this);
  bar->setSizeGripEnabled(true);
  bar->setFixedHeight(kStatusHeight);
  const int widths[] = {300, 100, 100, 100, 100};
  QStringList texts = {QStringLiteral("  Automesures tensionnelles enregistrées :")};
  for (DayPeriod period : kAllPeriods) {
    texts << PeriodStatusText(period, 0);
  }
  texts << RightsNotice(clock().now().date().year());
  for (int i = 0; i < 6; ++i) {
    auto *field = new QLabel(texts[i], bar);
    field->setFrameStyle(QFrame::Panel | QFrame::Raised);
    if (i < 5) {
      field->setFixedWidth(widths[i]);
      bar->addWidget(field);
    } else {
      field->setAlignment(Qt::AlignCenter);
      bar->addWidget(field, 1);
    }
    statusFields_[size_t(i)] = field;
  }
  registerControl(bar, ControlId::StatusBar);
  return bar;
}

void MainWindow::buildMenus() {
  auto addItem = [this](QMenu *menu, int id, const QString &text, const QIcon &icon) {
    QAction *action = menu->addAction(icon, text);
    actions_.insert(id, action);
    connect(action, &QAction::triggered, this, [this, id] { emit menuEvent(id); });
  };

  auto *list = new QMenu(this);
  list->setSeparatorsCollapsible(false);
  addItem(list, ToInt(ControlId::MenuDelete), QStringLiteral("Supprimer les données"),
          SystemIcon(131));
  list->addSeparator();
  addItem(list, ToInt(ControlId::MenuShow), QStringLiteral("Afficher les données"), SystemIcon(70));
  list->addSeparator();
  QMenu *modify = list->addMenu(SystemIcon(293), QStringLiteral("Modifier..."));
  addItem(modify, ToInt(ControlId::MenuModifyDate), QStringLiteral("La date"), QIcon());
  addItem(modify, ToInt(ControlId::MenuModifyTime), QStringLiteral("L'heure"), QIcon());
  addItem(modify, ToInt(ControlId::MenuModifySystolic), QStringLiteral("La systole"), QIcon());
  addItem(modify, ToInt(ControlId::MenuModifyDiastolic), QStringLiteral("La diastole"), QIcon());
  addItem(modify, ToInt(ControlId::MenuModifyPulse), QStringLiteral("Le pouls"), QIcon());
  list->addSeparator();
  addItem(list, ToInt(ControlId::MenuNote), QStringLiteral("Remarque..."),
          ContextMarkIcon(PeriodListModel::kNoteBit));
  // A screen reader finds the menu under the window (see MainWindowAccessible).
  list->setAccessibleName(QStringLiteral("Actions sur les relevés"));
  registerControl(list, ControlId::ListMenu);

  auto *help = new QMenu(this);
  help->setSeparatorsCollapsible(false);
  addItem(help, ToInt(ControlId::MenuOpenHelp), QStringLiteral("Ouvrir l'aide (Ctrl+H)"),
          SystemIcon(23));
  help->addSeparator();
  addItem(help, ToInt(ControlId::MenuOpenForm),
          QStringLiteral("CNAM-Relévé Automesure-tensionnelle_VF.pdf (Ctrl+F)"), ImageIcon(6));
  help->addSeparator();
  addItem(help, ToInt(ControlId::MenuSeries),
          QStringLiteral("Remplir le relevé d'automesure (Ctrl+R)"), ImageIcon(6));
  help->addSeparator();
  help->setAccessibleName(QStringLiteral("Aide"));
  registerControl(help, ControlId::HelpMenu);

  auto *archive = new QMenu(this);
  archive->setSeparatorsCollapsible(false);
  addItem(archive, ToInt(ControlId::MenuArchiveLists),
          QStringLiteral("Archiver les relevés affichés (Ctrl+A)"), SystemIcon(316));
  archive->addSeparator();
  addItem(archive, ToInt(ControlId::MenuArchiveManager),
          QStringLiteral("Ouvrir le gestionnaire d'archives (Ctrl+G)"), SystemIcon(265));
  archive->addSeparator();
  addItem(archive, ToInt(ControlId::MenuExportCsv),
          QStringLiteral("Exporter les relevés (CSV)... (Ctrl+E)"), SystemIcon(258));
  archive->addSeparator();
  addItem(archive, ToInt(ControlId::MenuExportFhir), QStringLiteral("Exporter au format FHIR..."),
          SystemIcon(258));
  archive->addSeparator();
  addItem(archive, ToInt(ControlId::MenuImportCsv),
          QStringLiteral("Importer des relevés (CSV)... (Ctrl+L)"), SystemIcon(269));
  archive->addSeparator();
#ifdef TENSIOLOG_HAS_METER_LINK
  addItem(archive, ToInt(ControlId::MenuReadMeter),
          QStringLiteral("Lire le tensiomètre (Bluetooth)... (Ctrl+B)"), SystemIcon(269));
  archive->addSeparator();
#endif
  archive->setAccessibleName(QStringLiteral("Archiver"));
  registerControl(archive, ControlId::ArchiveMenu);
}

void MainWindow::buildShortcuts() {
  // In the order they are registered; each sends the menu event of its id.
  const std::pair<Qt::Key, ShortcutId> table[] = {
      {Qt::Key_Q, ShortcutId::Quit},
      {Qt::Key_U, ShortcutId::Patient},
      {Qt::Key_P, ShortcutId::Preferences},
      {Qt::Key_S, ShortcutId::Save},
      {Qt::Key_I, ShortcutId::Print},
      {Qt::Key_H, ShortcutId::Help},
      {Qt::Key_F, ShortcutId::Form},
      {Qt::Key_A, ShortcutId::Archive},
      {Qt::Key_G, ShortcutId::ArchiveManager},
      {Qt::Key_Z, ShortcutId::About},
      {Qt::Key_Y, ShortcutId::Pin},
      {Qt::Key_D, ShortcutId::Destruction},
      {Qt::Key_C, ShortcutId::Copy},
      {Qt::Key_R, ShortcutId::Series},
      {Qt::Key_E, ShortcutId::ExportCsv},
      {Qt::Key_L, ShortcutId::ImportCsv},
      {Qt::Key_M, ShortcutId::MeasureNow},
#ifdef TENSIOLOG_HAS_METER_LINK
      {Qt::Key_B, ShortcutId::ReadMeter},
#endif
  };
  for (const auto &[key, shortcutId] : table) {
    const int id = ToInt(shortcutId);
    auto *shortcut = new QShortcut(QKeySequence(Qt::CTRL | key), this);
    // They also work while the About window (not modal) has the focus; a
    // modal window or a disabled main window still blocks them.
    shortcut->setContext(Qt::ApplicationShortcut);
    shortcut->setProperty("tl_id", id);
    connect(shortcut, &QShortcut::activated, this, [this, id = id] { emit menuEvent(id); });
    connect(shortcut, &QShortcut::activatedAmbiguously, this,
            [this, id = id] { emit menuEvent(id); });
    shortcuts_.append(shortcut);
  }
}

void MainWindow::followSize() {
  // The command buttons keep their widths on a window wide enough for them
  // all; on a narrower one (a small screen at 150 %) they share its width
  // in proportion, without their icons (which would leave too little room
  // for "Epingler" and "Suppr."), their labels fitted again: none is cut.
  const double share = buttonRow_->share();
  if (share != buttonShare_) {
    buttonShare_ = share;
    for (const ButtonEntry &entry : kButtons) {
      if (DrawnButton *b = button(entry.id)) {
        b->setIcon(share < 1 ? QIcon() : ButtonIcon(entry));
        AttachHoverNudge(b, b->pos(), NudgeMode::Down);
        FitLabelToButton(b);
      }
    }
  }
  // The picture goes with its caption when a short screen leaves it too
  // little room.
  if (QWidget *picture = control(ControlId::Picture)) {
    const bool shown = picture->height() > 0;
    picture->setVisible(shown);
    control(ControlId::PictureCaption)->setVisible(shown);
  }
  // Narrower than its layout, the tab panel shortens the tabs' texts rather
  // than hide tabs behind scroll arrows.
  const bool narrow = width() < kMinimumWidth;
  if (narrow != tabsNarrow_) {
    tabsNarrow_ = narrow;
    tabs_->setElideMode(narrow ? Qt::ElideRight : Qt::ElideNone);
    tabs_->setUsesScrollButtons(!narrow);
  }
}

void MainWindow::resizeEvent(QResizeEvent *event) {
  // The layout has placed every widget for the new size by now.
  QWidget::resizeEvent(event);
  followSize();
  update();
}

void MainWindow::closeEvent(QCloseEvent *event) {
  if (!shutDown_ && !quitting_ && closeToTray_ && closeToTray_()) {
    event->ignore();
    hide();
    return;
  }
  if (!shutDown_ && quitHandler_ && !quitHandler_()) {
    event->ignore();
    return;
  }
  shutDown_ = true;
  informationTimer_.stop();
  event->accept();
  emit quitAccepted();
}

void MainWindow::quit() {
  quitting_ = true;
  close();
  quitting_ = false;
}

void MainWindow::closeWithoutSaving() {
  shutDown_ = true;
  close();
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress) {
    return QWidget::eventFilter(watched, event);
  }
  auto *widget = qobject_cast<QWidget *>(watched);
  if (!widget || widget->window() != this) {
    return QWidget::eventFilter(watched, event);
  }
  auto *key = static_cast<QKeyEvent *>(event);
  const QKeySequence pressed(key->keyCombination());
  const bool isShortcut = std::any_of(shortcuts_.begin(), shortcuts_.end(),
                                      [&](QShortcut *s) { return s->key() == pressed; });
  // In a text field Ctrl+A selects the field's text, as everywhere else;
  // elsewhere in the window it archives.
  if (isShortcut && pressed == QKeySequence(Qt::CTRL | Qt::Key_A) && IsTextField(widget)) {
    return QWidget::eventFilter(watched, event);
  }
  if (event->type() == QEvent::ShortcutOverride && isShortcut) {
    // The window's shortcuts come before the fields' own keys (Ctrl+A, Ctrl+Z,
    // Ctrl+Y, Ctrl+C): left unaccepted, the override lets the shortcut run.
    event->ignore();
    return true;
  }
  if (event->type() == QEvent::KeyPress && key->matches(QKeySequence::Copy)) {
    return true; // nothing is copied from the window's fields and lists
  }
  return QWidget::eventFilter(watched, event);
}

void MainWindow::updateStatusCounts() {
  for (DayPeriod period : kAllPeriods) {
    statusFields_[size_t(PeriodInfo(period).statusField)]->setText(
        PeriodStatusText(period, logbook_->list(period).size()));
  }
}

QString MainWindow::statusText(int field) const {
  return field >= 0 && field < 6 ? statusFields_[size_t(field)]->text() : QString();
}

int MainWindow::statusFieldWidth(int field) const {
  return field >= 0 && field < 6 ? statusFields_[size_t(field)]->width() : 0;
}

void MainWindow::setPatientLine(const QString &patient) { banner_->setLine2(BannerLine2(patient)); }

void MainWindow::refreshAveragesAndGraphs() { RefreshAveragesAndGraphs(*this); }

void MainWindow::refreshContextMarks() {
  const quint64 revision = logbook_->contexts().revision();
  if (revision == contextsSeen_) {
    return;
  }
  contextsSeen_ = revision;
  for (DayPeriod period : kAllPeriods) {
    logbook_->list(period).contextsChanged();
  }
}

void MainWindow::setPinned(bool pinned) {
  State().pinned = pinned;
  if (DrawnButton *pin = button(ControlId::ButtonPin)) {
    pin->setHeldColours(pinned ? std::optional(PinnedButtonColours()) : std::nullopt);
  }
  if (bool(windowFlags() & Qt::WindowStaysOnTopHint) != pinned) {
    // Changing the flag re-creates the native window; it comes back where it
    // was, and still active when it was, so typing and shortcuts go on.
    const bool visible = isVisible();
    const bool active = isActiveWindow();
    const QRect frame = geometry();
    setWindowFlag(Qt::WindowStaysOnTopHint, pinned);
    if (visible) {
      setGeometry(frame);
      show();
      if (active) {
        activateWindow();
      }
    }
  }
}

int MainWindow::currentTab() const { return tabs_->currentIndex(); }

void MainWindow::setCurrentTab(int tab) {
  if (tab >= 0 && tab < tabs_->count()) {
    tabs_->setCurrentIndex(tab);
  }
}

QList<int> MainWindow::selectedRows(DayPeriod period) const {
  QList<int> rows;
  if (QItemSelectionModel *selection = listView(period)->selectionModel()) {
    for (const QModelIndex &index : selection->selectedRows()) {
      rows.append(index.row());
    }
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

QList<int> MainWindow::markedRows(DayPeriod period) const {
  QList<int> rows = selectedRows(period);
  const PeriodListModel &model = logbook_->list(period);
  for (qsizetype row = 0; row < model.size(); ++row) {
    if (model.isChecked(row) && !rows.contains(int(row))) {
      rows.append(int(row));
    }
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

void MainWindow::startInformationTimer() { informationTimer_.start(); }

void MainWindow::advanceInformationText() {
  int &number = State().informationText;
  number = number + 1 > kInformationTextCount ? 1 : number + 1;
  showInformationText(number);
}

void MainWindow::showInformationText(int number) {
  information_->setTitle(InformationTitle());
  information_->setText(InformationText(number));
}

} // namespace tl
