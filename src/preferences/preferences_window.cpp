#include "preferences/preferences_window.h"

#include "common/app_state.h"
#include "common/file_io.h"
#include "common/identity.h"
#include "common/paths.h"
#include "common/preferences_file.h"
#include "theme/dark_scheme.h"
#include "ui/assets/assets.h"
#include "ui/drawing.h"
#include "ui/main_window_api.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QWindow>
#include <limits>

namespace tl {

namespace {

const QString kNotCreated = QStringLiteral("Fichier de préférences non créé");

QGroupBox *MakeGroup(QWidget *parent, ControlId id, const QString &title, const QRect &rect) {
  auto *box = new QGroupBox(title, parent);
  box->setGeometry(rect);
  SetControlNumber(box, id);
  return box;
}

template <typename Button>
Button *MakeOption(QGroupBox *group, ControlId id, const QString &text, int x, int y, int width) {
  auto *button = new Button(text, group);
  button->setGeometry(x, y, width, 20);
  // The boxes are fixed; a label wider than its place gets a smaller font
  // rather than being cut.
  QFont font = button->font();
  while (button->sizeHint().width() > width && font.pointSizeF() > 6.0) {
    font.setPointSizeF(font.pointSizeF() - 0.5);
    button->setFont(font);
  }
  SetControlNumber(button, id);
  return button;
}

ControlId Offset(ControlId first, int i) { return ControlId(ToInt(first) + i); }

// Sets a check box for 1 or 0; any other value leaves it as it is.
void SetTicked(QCheckBox *box, qint64 value) {
  if (value == 1) {
    box->setChecked(true);
  } else if (value == 0) {
    box->setChecked(false);
  }
}

} // namespace

PreferencesWindow::PreferencesWindow(QWidget *parent) : QDialog(parent) {
  buildWindow();
  // An unreadable file would be written over by "Enregistrer": it is kept
  // aside first, and the status bar says where.
  QString keptAside;
  if (IsUnreadablePreferencesFile(Paths().preferencesFile)) {
    keptAside = KeepFileAside(Paths().preferencesFile);
  }
  showFileDates();
  if (!keptAside.isEmpty()) {
    // The one line takes the whole status bar.
    status_[0]->setText(QStringLiteral("Fichier de préférences illisible : conservé sous ") +
                        QFileInfo(keptAside).fileName());
    status_[1]->clear();
    status_[1]->hide();
  }
  loadPreferencesIntoWindow();
  FollowDarkAppearance(this);
}

QWidget *PreferencesWindow::control(ControlId id) { return FindControl(this, ToInt(id)); }

QString PreferencesWindow::statusText(int field) const {
  return field == 1 || field == 2 ? status_[size_t(field - 1)]->text() : QString();
}

void PreferencesWindow::buildWindow() {
  setWindowTitle(ProgramTitle() + QStringLiteral(" Gestion des Préférences d'utilisation"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(500, 500);
  setModal(true);

  AddBanner(this, ControlId::PrefBanner, 500, QColor(219, 0, 0), QColor(255, 139, 0),
            SystemIcon(93), ProgramTitle(),
            QStringLiteral("Précisez vos choix de fonctionnement."));

  QGroupBox *windowGroup =
      MakeGroup(this, ControlId::PrefWindowGroup,
                QStringLiteral("Choisissez les dimensions et l'emplacement de la fenêtre."),
                QRect(10, 50, 480, 110));
  const QString windowTexts[4] = {
      QStringLiteral("Se rappeler des dimensions courantes de la fenêtre"),
      QStringLiteral("Se rappeler de la position courante de la fenêtre"),
      QStringLiteral("Maximiser la fenêtre au démarrage du programme"),
      QStringLiteral("Toujours garder la fenêtre au premier plan")};
  for (int i = 0; i < 4; ++i) {
    windowBoxes_[size_t(i)] = MakeOption<QCheckBox>(windowGroup, Offset(ControlId::PrefKeepSize, i),
                                                    windowTexts[i], 15, 22 + 20 * i, 450);
  }

  QGroupBox *tabGroup =
      MakeGroup(this, ControlId::PrefTabGroup,
                QStringLiteral("Sur quel onglet doit s'ouvrir l'application au démarage ?"),
                QRect(10, 160, 480, 100));
  for (int i = 0; i < 5; ++i) {
    const int column = i < 3 ? 0 : 1;
    const int line = i < 3 ? i : i - 3;
    tabs_[size_t(i)] =
        MakeOption<QRadioButton>(tabGroup, Offset(ControlId::PrefTabMatin, i), PanelOfTab(i),
                                 15 + 225 * column, 22 + 22 * line, 200);
  }

  QGroupBox *patientGroup = MakeGroup(
      this, ControlId::PrefPatientGroup,
      QStringLiteral("L'utilisateur courant doit-il être rechargé au démarrage suivant ?"),
      QRect(10, 260, 480, 70));
  reopen_ = MakeOption<QCheckBox>(
      patientGroup, ControlId::PrefReopenPatient,
      QStringLiteral("Recharger l'utilisateur courant au prochain démarrage de l'application"), 15,
      22, 460);
  choose_ = MakeOption<QCheckBox>(
      patientGroup, ControlId::PrefChoosePatient,
      QStringLiteral("Sélectionner un utilisateur à chaque démarrage de l'application"), 15, 42,
      460);

  QGroupBox *curveGroup =
      MakeGroup(this, ControlId::PrefCurveGroup,
                QStringLiteral("Apparence des courbes des graphiques"), QRect(10, 330, 260, 100));
  const QString curveTexts[3] = {QStringLiteral("Lignes uniquement"),
                                 QStringLiteral("Lignes + valeurs numériques"),
                                 QStringLiteral("Lignes + valeurs numériques cerclées")};
  for (int i = 0; i < 3; ++i) {
    curves_[size_t(i)] = MakeOption<QRadioButton>(curveGroup, Offset(ControlId::PrefCurveLines, i),
                                                  curveTexts[i], 15, 22 + 22 * i, 240);
  }

  QGroupBox *schemeGroup =
      MakeGroup(this, ControlId::PrefSchemeGroup,
                QStringLiteral("Apparence générale de l'interface"), QRect(275, 330, 215, 100));
  darkOn_ = MakeOption<QRadioButton>(schemeGroup, ControlId::PrefDarkOn,
                                     QStringLiteral("Activer le mode sombre"), 15, 22, 195);
  darkOff_ = MakeOption<QRadioButton>(schemeGroup, ControlId::PrefDarkOff,
                                      QStringLiteral("Désactiver le mode sombre"), 15, 44, 195);

  auto makeButton = [this](ControlId id, const QString &caption, int x, const QString &tip,
                           int icon) {
    return TipButton(this, id, caption, QRect(x, 440, 100, 25), tip, icon);
  };
  QPushButton *defaults = makeButton(
      ControlId::PrefButtonDefault, QStringLiteral("Défaut"), 10,
      QStringLiteral(
          "Réinitialiser toutes les options par défaut, enregistrer et fermer la fenêtre."),
      216);
  QPushButton *saveButton = makeButton(
      ControlId::PrefButtonSave, QStringLiteral("Enregistrer"), 295,
      QStringLiteral("Les choix de l'utilisateur sont sauvegardés et la fenêtre est fermée."), 258);
  QPushButton *close = makeButton(
      ControlId::PrefButtonClose, QStringLiteral("Fermer"), 395,
      QStringLiteral("La fenêtre est fermée sans prendre en compte les modifications apportées."),
      109);
  saveButton->setDefault(true);

  auto *statusBar = new QStatusBar(this);
  statusBar->setGeometry(0, 475, 500, 25);
  statusBar->setSizeGripEnabled(false);
  for (QLabel *&label : status_) {
    label = new QLabel(statusBar);
    label->setTextFormat(Qt::PlainText); // may name a file
    label->setFrameStyle(QFrame::Panel | QFrame::Raised);
    statusBar->addWidget(label, 1);
  }
  status_[0]->setText(QStringLiteral("Préférences : "));
  SetControlNumber(statusBar, ControlId::PrefStatusBar);

  // The built state, before the file is read.
  tabs_[4]->setChecked(true);
  choose_->setChecked(true);
  curves_[1]->setChecked(true);
  darkOff_->setChecked(true);

  // The two boxes of the patient pair behave like option buttons: a click
  // always leaves the clicked one ticked and the other one unticked.
  connect(reopen_, &QCheckBox::clicked, this, [this] { choosePatientMode(true); });
  connect(choose_, &QCheckBox::clicked, this, [this] { choosePatientMode(false); });
  connect(defaults, &QPushButton::clicked, this, &PreferencesWindow::restoreDefaultsAndSave);
  connect(saveButton, &QPushButton::clicked, this, &PreferencesWindow::save);
  connect(close, &QPushButton::clicked, this, &PreferencesWindow::reject);

  if (QScreen *screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

void PreferencesWindow::choosePatientMode(bool reopen) {
  reopen_->setChecked(reopen);
  choose_->setChecked(!reopen);
}

void PreferencesWindow::showFileDates() {
  const QFileInfo info(Paths().preferencesFile);
  if (!info.exists()) {
    status_[0]->setText(kNotCreated);
    status_[1]->clear();
    return;
  }
  // Not every file system records a creation date; the last change then stands in.
  QDateTime created = info.birthTime();
  if (!created.isValid()) {
    created = info.lastModified();
  }
  status_[0]->setText(QStringLiteral("Fichier de préférences créé le ") +
                      created.toLocalTime().toString(QStringLiteral("dd/MM/yyyy")));
  status_[1]->setText(QStringLiteral("Modifié le ") + info.lastModified().toLocalTime().toString(
                                                          QStringLiteral("dd/MM/yyyy 'à' hh:mm")));
}

void PreferencesWindow::loadPreferencesIntoWindow() {
  bool opened = false;
  const Preferences p =
      ReadPreferences(PreferencesReader::fromFile(Paths().preferencesFile, &opened));
  if (opened) {
    State().curveStyle = int(qBound(qint64(std::numeric_limits<int>::min()), p.graphCourbe,
                                    qint64(std::numeric_limits<int>::max())));
  }
  SetTicked(windowBoxes_[0], p.keepWindowSize);
  SetTicked(windowBoxes_[1], p.keepWindowPos);
  SetTicked(windowBoxes_[2], p.windowMax);
  SetTicked(windowBoxes_[3], p.stickyWindow);
  const int tab = TabOfPanel(p.openPanel);
  if (tab >= 0) {
    tabs_[size_t(tab)]->setChecked(true);
  }
  if (p.currentUser == 1 || p.currentUser == 0) {
    choosePatientMode(p.currentUser == 1);
  }
  const int style = State().curveStyle;
  if (style >= 1 && style <= 3) {
    curves_[size_t(style - 1)]->setChecked(true);
  }
  if (p.darkmode == 1) {
    darkOn_->setChecked(true);
  } else if (p.darkmode == 0) {
    darkOff_->setChecked(true);
  }
}

FileError PreferencesWindow::writePreferencesFromWindow() {
  // The keys this window does not show (the series settings, the meter)
  // stay as the file has them.
  const Preferences kept = ReadPreferences(PreferencesReader::fromFile(Paths().preferencesFile));
  Preferences p;
  p.seriesProtocol = kept.seriesProtocol;
  p.meterAddress = kept.meterAddress;
  p.meterUsers = kept.meterUsers;
  p.seriesPatients = kept.seriesPatients;
  p.meterNames = kept.meterNames;
  p.keepWindowSize = windowBoxes_[0]->isChecked() ? 1 : 0;
  p.keepWindowPos = windowBoxes_[1]->isChecked() ? 1 : 0;
  p.windowMax = windowBoxes_[2]->isChecked() ? 1 : 0;
  p.stickyWindow = windowBoxes_[3]->isChecked() ? 1 : 0;
  for (int i = 0; i < int(tabs_.size()); ++i) {
    if (tabs_[size_t(i)]->isChecked()) {
      p.openPanel = PanelOfTab(i);
      break;
    }
  }
  if (reopen_->isChecked()) {
    p.currentUser = 1;
    p.username = State().currentPatient;
  }
  for (int i = 0; i < int(curves_.size()); ++i) {
    if (curves_[size_t(i)]->isChecked()) {
      State().curveStyle = i + 1;
      break;
    }
  }
  p.graphCourbe = State().curveStyle;
  p.darkmode = darkOn_->isChecked() ? 1 : 0;
  State().darkAppearance = darkOn_->isChecked();
  return WritePreferencesFile(Paths().preferencesFile, SerializeWindowPreferences(p));
}

void PreferencesWindow::setDefaults() {
  windowBoxes_[0]->setChecked(true);
  windowBoxes_[1]->setChecked(true);
  windowBoxes_[2]->setChecked(false);
  windowBoxes_[3]->setChecked(false);
  tabs_[4]->setChecked(true);
  choosePatientMode(true);
  curves_[1]->setChecked(true);
  darkOff_->setChecked(true);
}

void PreferencesWindow::restoreDefaultsAndSave() {
  setDefaults();
  save();
}

void PreferencesWindow::save() {
  if (!writePreferencesFromWindow()) {
    showFileDates();
    accept();
    return;
  }
  status_[0]->setText(QStringLiteral("Erreur! ") + kNotCreated);
  status_[1]->clear();
}

void OpenPreferences(MainWindowApi &main) {
  QWidget *owner = main.window();
  // Not a child of the main window: disabling the main window would disable
  // its children too. The window system still keeps it above its owner.
  PreferencesWindow window;
  if (owner && owner->windowHandle()) {
    window.winId();
    window.windowHandle()->setTransientParent(owner->windowHandle());
  }
  if (owner) {
    owner->setEnabled(false);
  }
  window.exec();
  if (owner) {
    owner->setEnabled(true);
  }
}

} // namespace tl
