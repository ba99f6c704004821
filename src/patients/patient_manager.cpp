#include "patients/patient_manager.h"

#include "common/app_state.h"
#include "common/error_text.h"
#include "common/file_io.h"
#include "common/identity.h"
#include "common/paths.h"
#include "common/patient_name.h"
#include "common/text.h"
#include "patients/patient_switch.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "theme/control_colour.h"
#include "theme/dark_scheme.h"
#include "ui/assets/assets.h"
#include "ui/drawing.h"
#include "ui/main_window_api.h"
#include "ui/read_only.h"

#include <QContextMenuEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyledItemDelegate>

namespace tl {

namespace {

const QString kNewPatientTitle = QStringLiteral("Nouveau patient");

const QString kFirstLaunchText = QStringLiteral(
    "☞ Au premier lancement vous devez créer un profil. Pour l'activer et démarrer le programme, "
    "sélectionnez le profil dans la liste et faites un clic-droit pour afficher un menu "
    "contextuel.");
const QString kUsualText = QStringLiteral(
    "☞ Pour activer et démarrer le programme, sélectionnez un profil dans la liste et faites un "
    "clic-droit dessus pour afficher un menu contextuel. Dans le menu cliquez sur [Sélectionner "
    "l'utilisateur]");

// Font 1 made just small enough for `text` to fit the label's box when
// wrapped: the box is fixed, and the substitutes of the condensed face run
// wider than the face itself.
QFont FittingFont(const QString &text, const QSize &box) {
  QFont font = SharedFont(1);
  const qreal floor = 6.0;
  while (font.pointSizeF() > floor) {
    const QRect need =
        QFontMetrics(font).boundingRect(QRect(QPoint(0, 0), box), Qt::TextWordWrap, text);
    if (need.height() <= box.height() && need.width() <= box.width()) {
      break;
    }
    font.setPointSizeF(font.pointSizeF() - 0.5);
  }
  return font;
}

// Shows a name with its invisible and steering characters written out: a
// profile read from a file with a hidden U+202E never looks like another.
class VisibleNameDelegate : public QStyledItemDelegate {
public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QString displayText(const QVariant &value, const QLocale &locale) const override {
    return VisiblePatientName(QStyledItemDelegate::displayText(value, locale));
  }
};

QString CountText(int rows) {
  return QStringLiteral("Utilisateurs enregistrés : ") + QString::number(rows);
}

} // namespace

// ---------------------------------------------------------------------------
// PatientListView

void PatientListView::mousePressEvent(QMouseEvent *event) {
  if (event->button() == Qt::RightButton) {
    event->accept(); // the menu acts on the marks as they were
    return;
  }
  QTreeWidget::mousePressEvent(event);
}

void PatientListView::contextMenuEvent(QContextMenuEvent *event) {
  QTreeWidgetItem *item = nullptr;
  QPoint at = event->globalPos();
  if (event->reason() == QContextMenuEvent::Mouse) {
    item = itemAt(event->pos());
  } else {
    item = currentItem();
    if (item) {
      at = viewport()->mapToGlobal(visualItemRect(item).center());
    }
  }
  event->accept();
  if (item) {
    emit menuRequested(item, at);
  }
}

void PatientListView::keyPressEvent(QKeyEvent *event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept(); // not the dialog's default button
    emit enterPressed(currentItem());
    return;
  }
  QTreeWidget::keyPressEvent(event);
}

// ---------------------------------------------------------------------------
// PatientManagerWindow

const std::array<PatientManagerWindow::ModifyEntry, Patient::kFieldCount> &
PatientManagerWindow::ModifyEntries() {
  static const std::array<ModifyEntry, Patient::kFieldCount> entries = {{
      {QStringLiteral("Les Nom et prénom"), QStringLiteral("nom & prénom")},
      {QStringLiteral("L'âge"), QStringLiteral("l'âge")},
      {QStringLiteral("Le poids"), QStringLiteral("le poids")},
      {QStringLiteral("Le médecin"), QStringLiteral("nom du médecin")},
      {QStringLiteral("L'adresse du cabinet médical"),
       QStringLiteral("l'adresse du cabinet médical")},
      {QStringLiteral("L'e-mail du médecin"), QStringLiteral("l'e-mail médecin")},
      {QStringLiteral("Le n° de Tel du médecin"), QStringLiteral("le n° de Tel du médecin")},
      {QStringLiteral("La date d'enregistrement"), QStringLiteral("la date d'enregistrement")},
  }};
  return entries;
}

PatientManagerWindow::PatientManagerWindow(MainWindowApi &main, QWidget *parent)
    : QDialog(parent), main_(main) {
  buildWindow();
  loadPatients();
  FollowDarkAppearance(this);
}

QLabel *PatientManagerWindow::addLabel(ControlId id, const QString &text, int x, int y, int width) {
  auto *label = new QLabel(text, this);
  label->setTextFormat(Qt::PlainText);
  label->setGeometry(x, y, width, 22);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  SetControlNumber(label, id);
  return label;
}

QLineEdit *PatientManagerWindow::addField(ControlId id, int x, int y, int width) {
  auto *field = new QLineEdit(this);
  field->setGeometry(x, y, width, 22);
  SetControlNumber(field, id);
  return field;
}

void PatientManagerWindow::buildWindow() {
  setWindowTitle(QStringLiteral("Gestion des patients"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(600, 475);
  setModal(true);

  AddBanner(this, ControlId::PatientBanner, 600, QColor(99, 184, 255), QColor(0, 0, 128),
            SystemIcon(158), QStringLiteral("Création & gestion des profils d'utilisateurs"),
            QStringLiteral(
                "Ajouter ou retirer des patients pour surveillance de la tension artérielle."));

  fileExisted_ = QFileInfo::exists(Paths().patientFile);
  auto *instruction = new QLabel(fileExisted_ ? kUsualText : kFirstLaunchText, this);
  instruction->setGeometry(4, 45, 592, 30);
  instruction->setWordWrap(true);
  instruction->setFont(FittingFont(instruction->text(), instruction->size()));
  SetControlColour(instruction, kTextColour, QColor(38, 90, 170));
  SetControlNumber(instruction, ControlId::PatientInstruction);

  list_ = new PatientListView(this);
  list_->setGeometry(0, 80, 600, 220);
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setAllColumnsShowFocus(true);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setColumnCount(Patient::kFieldCount);
  QStringList titles;
  for (const QString &t : PatientColumnTitles()) {
    titles.append(t);
  }
  list_->setHeaderLabels(titles);
  SetListHeaderFont(list_->header());
  list_->header()->setStretchLastSection(false);
  list_->setAccessibleName(QStringLiteral("Utilisateurs enregistrés"));
  const int widths[Patient::kFieldCount] = {150, 60, 60, 150, 200, 200, 150, 150};
  for (int c = 0; c < Patient::kFieldCount; ++c) {
    list_->setColumnWidth(c, widths[c]);
  }
  list_->setItemDelegateForColumn(Patient::Name, new VisibleNameDelegate(list_));
  SetControlNumber(list_, ControlId::PatientList);

  // Input area: labels right-aligned before their fields.
  const int fx = 115;
  fields_[Patient::Name] = addField(ControlId::PatientNameField, fx, 310, 200);
  addLabel(ControlId::PatientNameLabel, QStringLiteral("Nom et prénom :"), 5, 310, 106);
  addLabel(ControlId::PatientAgeLabel, QStringLiteral("Âge :"), 320, 310, 40);
  fields_[Patient::Age] = addField(ControlId::PatientAgeField, 364, 310, 40);
  addLabel(ControlId::PatientWeightLabel, QStringLiteral("Poids :"), 410, 310, 50);
  fields_[Patient::Weight] = addField(ControlId::PatientWeightField, 464, 310, 60);
  addLabel(ControlId::PatientDoctorLabel, QStringLiteral("Nom Médecin :"), 5, 335, 106);
  fields_[Patient::Doctor] = addField(ControlId::PatientDoctorField, fx, 335, 200);
  addLabel(ControlId::PatientEmailLabel, QStringLiteral("E-mail médecin :"), 5, 360, 106);
  fields_[Patient::DoctorEmail] = addField(ControlId::PatientEmailField, fx, 360, 200);
  addLabel(ControlId::PatientPhoneLabel, QStringLiteral("N° Tél. médecin :"), 318, 360, 104);
  fields_[Patient::DoctorPhone] = addField(ControlId::PatientPhoneField, 425, 360, 170);
  addLabel(ControlId::PatientAddressLabel, QStringLiteral("Adresse Cabinet :"), 5, 385, 106);
  fields_[Patient::PracticeAddress] = addField(ControlId::PatientAddressField, fx, 385, 480);
  // Screen readers name each field after its label.
  const std::pair<Patient::Field, ControlId> fieldLabels[] = {
      {Patient::Name, ControlId::PatientNameLabel},
      {Patient::Age, ControlId::PatientAgeLabel},
      {Patient::Weight, ControlId::PatientWeightLabel},
      {Patient::Doctor, ControlId::PatientDoctorLabel},
      {Patient::DoctorEmail, ControlId::PatientEmailLabel},
      {Patient::DoctorPhone, ControlId::PatientPhoneLabel},
      {Patient::PracticeAddress, ControlId::PatientAddressLabel},
  };
  for (const auto &[field, label] : fieldLabels) {
    if (auto *text = qobject_cast<QLabel *>(control(label))) {
      fields_[field]->setAccessibleName(SpokenText(text->text()));
    }
  }

  auto *bar = new QFrame(this);
  bar->setGeometry(0, 410, 600, 40);
  bar->setFrameStyle(QFrame::Box | QFrame::Plain);
  SetControlNumber(bar, ControlId::PatientButtonBar);

  auto makeButton = [&](ControlId id, const QString &caption, int x, const QString &tip, int icon) {
    auto *button = new QPushButton(caption, bar);
    button->setGeometry(x, 7, 80, 25);
    AttachBalloonTip(button, caption, tip, SystemIcon(icon));
    SetControlNumber(button, id);
    return button;
  };
  QPushButton *add = makeButton(ControlId::PatientButtonAdd, QStringLiteral("Ajouter"), 8,
                                QStringLiteral("Ajouter les données saisies à la liste des "
                                               "utilisateurs"),
                                300);
  QPushButton *clear = makeButton(ControlId::PatientButtonClear, QStringLiteral("Effacer"), 93,
                                  QStringLiteral("Réinitialiser tous les champs de saisie"), 152);
  QPushButton *remove =
      makeButton(ControlId::PatientButtonDelete, QStringLiteral("Supprimer"), 178,
                 QStringLiteral("Supprimer tous les utilisateurs cochés dans la liste"), 131);
  QPushButton *close =
      makeButton(ControlId::PatientButtonClose, QStringLiteral("Fermer"), 512,
                 QStringLiteral("Sauvegarder la liste et les données et fermer la fenêtre"), 109);
  add->setDefault(true);

  auto *required =
      new QLabel(QStringLiteral("☞ Le nom est obligatoire\r\npour créer un profil."), bar);
  required->setGeometry(268, 3, 230, 34);
  required->setFont(SharedFont(1));
  SetControlColour(required, kTextColour, QColor(219, 0, 0));
  SetControlNumber(required, ControlId::PatientRequiredLabel);

  auto *statusBar = new QStatusBar(this);
  statusBar->setGeometry(0, 450, 600, 25);
  statusBar->setSizeGripEnabled(false);
  status_ = new QLabel(QStringLiteral("  Utilisateurs enregistrés :"), statusBar);
  status_->setTextFormat(Qt::PlainText); // may name a file
  status_->setAlignment(Qt::AlignCenter);
  status_->setFrameStyle(QFrame::Panel | QFrame::Raised);
  status_->setFont(SharedFont(0));
  statusBar->addWidget(status_, 1);
  SetControlNumber(statusBar, ControlId::PatientStatusBar);

  menu_ = new QMenu(this);
  auto addAction = [&](QMenu *m, ControlId id, const QString &text, int icon) {
    QAction *a = m->addAction(SystemIcon(icon), text);
    actions_.insert(ToInt(id), a);
    return a;
  };
  QAction *select = addAction(menu_, ControlId::PatientMenuSelect,
                              QStringLiteral("Sélectionner l'utilisateur"), 300);
  menu_->addSeparator();
  QAction *del = addAction(menu_, ControlId::PatientMenuDelete,
                           QStringLiteral("Supprimer l'utilisateur"), 131);
  menu_->addSeparator();
  QAction *show =
      addAction(menu_, ControlId::PatientMenuShow, QStringLiteral("Afficher les informations"), 70);
  menu_->addSeparator();
  QMenu *modify = menu_->addMenu(SystemIcon(293), QStringLiteral("Modifier..."));
  actions_.insert(ToInt(ControlId::PatientMenuModify), modify->menuAction());
  for (int column = 0; column < Patient::kFieldCount; ++column) {
    const ModifyEntry &entry = ModifyEntries()[size_t(column)];
    QAction *a = modify->addAction(entry.entry);
    actions_.insert(ToInt(ControlId::PatientMenuModifyFirst) + column, a);
    connect(a, &QAction::triggered, this,
            [this, label = entry.label, column] { modifyPatientField(label, column); });
  }

  connect(add, &QPushButton::clicked, this, &PatientManagerWindow::addPatient);
  connect(clear, &QPushButton::clicked, this, &PatientManagerWindow::clearPatientFields);
  connect(remove, &QPushButton::clicked, this, &PatientManagerWindow::deleteTickedRows);
  connect(close, &QPushButton::clicked, this, &PatientManagerWindow::reject);
  connect(select, &QAction::triggered, this, &PatientManagerWindow::selectLastMarkedRow);
  connect(del, &QAction::triggered, this, &PatientManagerWindow::deleteMarkedRows);
  connect(show, &QAction::triggered, this, &PatientManagerWindow::showPatientDetails);
  connect(list_, &PatientListView::menuRequested, this, &PatientManagerWindow::showMenu);
  connect(list_, &QTreeWidget::itemDoubleClicked, this,
          [this](QTreeWidgetItem *item) { chooseFromList(item); });
  // Enter takes the row under the keyboard's cursor, marked or not: with a
  // single patient the arrow keys cannot move the cursor to mark it.
  connect(list_, &PatientListView::enterPressed, this, [this](QTreeWidgetItem *item) {
    if (item) {
      item->setSelected(true);
    }
    chooseFromList(item);
  });

  setTabOrder(list_, fields_[Patient::Name]);
  setTabOrder(fields_[Patient::Name], fields_[Patient::Age]);
  setTabOrder(fields_[Patient::Age], fields_[Patient::Weight]);
  setTabOrder(fields_[Patient::Weight], fields_[Patient::Doctor]);
  setTabOrder(fields_[Patient::Doctor], fields_[Patient::DoctorEmail]);
  setTabOrder(fields_[Patient::DoctorEmail], fields_[Patient::DoctorPhone]);
  setTabOrder(fields_[Patient::DoctorPhone], fields_[Patient::PracticeAddress]);
  setTabOrder(fields_[Patient::PracticeAddress], add);
  setTabOrder(add, clear);
  setTabOrder(clear, remove);
  setTabOrder(remove, close);

  if (QScreen *screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

QWidget *PatientManagerWindow::control(ControlId id) { return FindControl(this, ToInt(id)); }

void PatientManagerWindow::loadPatients() {
  loaded_ = LoadPatientFile(Paths().patientFile);
  const PatientFileContents &contents = loaded_;
  for (const Patient &p : contents.patients) {
    appendRow(p);
  }
  placeListCursor();
  if (!contents.exists) {
    fields_[Patient::Name]->setFocus();
  } else {
    list_->setFocus();
  }
  updateStatusCount();
  if (contents.unreadable) {
    // The profiles it may hold would be lost at the next write: it is kept
    // aside under another name first.
    const QString kept = KeepFileAside(Paths().patientFile);
    if (!kept.isEmpty()) {
      loaded_.file = {};
    }
    status_->setText(kept.isEmpty()
                         ? QStringLiteral("Fichier des patients illisible")
                         : QStringLiteral("Fichier des patients illisible : conservé sous ") +
                               QFileInfo(kept).fileName());
  }
}

int PatientManagerWindow::rowCount() const { return list_->topLevelItemCount(); }

Patient PatientManagerWindow::patientAt(int row) const {
  Patient p;
  const QTreeWidgetItem *item = list_->topLevelItem(row);
  for (int c = 0; c < Patient::kFieldCount; ++c) {
    p[c] = item->text(c);
  }
  return p;
}

std::vector<Patient> PatientManagerWindow::patients() const {
  std::vector<Patient> all;
  all.reserve(size_t(rowCount()));
  for (int row = 0; row < rowCount(); ++row) {
    all.push_back(patientAt(row));
  }
  return all;
}

bool PatientManagerWindow::isTicked(int row) const {
  return list_->topLevelItem(row)->checkState(0) == Qt::Checked;
}

bool PatientManagerWindow::isMarked(int row) const {
  return isTicked(row) || list_->topLevelItem(row)->isSelected();
}

void PatientManagerWindow::appendRow(const Patient &patient) {
  auto *item = new QTreeWidgetItem;
  for (int c = 0; c < Patient::kFieldCount; ++c) {
    item->setText(c, patient[c]);
  }
  item->setIcon(0, SystemIcon(159));
  item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
  item->setCheckState(0, Qt::Unchecked);
  list_->addTopLevelItem(item);
}

void PatientManagerWindow::placeListCursor() {
  if (list_->currentItem() || rowCount() == 0) {
    return;
  }
  // On the patient in use, else the first one; nothing is marked by it.
  QTreeWidgetItem *at = list_->topLevelItem(0);
  for (int row = 0; row < rowCount(); ++row) {
    if (list_->topLevelItem(row)->text(Patient::Name) == State().currentPatient) {
      at = list_->topLevelItem(row);
      break;
    }
  }
  list_->setCurrentItem(at, 0, QItemSelectionModel::NoUpdate);
}

void PatientManagerWindow::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
  placeListCursor();
}

void PatientManagerWindow::updateStatusCount() { status_->setText(CountText(rowCount())); }

bool PatientManagerWindow::acceptName(const QString &name) {
  if (name.isEmpty()) {
    dialogs().information(
        this, kNewPatientTitle,
        QStringLiteral("Pour enregistrer un nouveau patient vous devez saisir un nom, une "
                       "identité."));
    return false;
  }
  if (!IsNewPatientName(name)) {
    dialogs().information(this, kNewPatientTitle, RefusedNameMessage(name));
    return false;
  }
  return true;
}

// A data folder opened read-only: the list is shown, never changed.
bool PatientManagerWindow::refusedReadOnly() { return RefusedWhileReadOnly(this); }

void PatientManagerWindow::addPatient() {
  if (refusedReadOnly()) {
    return;
  }
  Patient typed;
  for (int f = 0; f < int(fields_.size()); ++f) {
    typed[f] = fields_[size_t(f)]->text();
  }
  typed[Patient::Name] = TypedPatientName(typed[Patient::Name]);
  const Patient p = NewPatientProfile(typed, clock().now().date());
  if (!acceptName(p[Patient::Name])) {
    fields_[Patient::Name]->setFocus();
    return;
  }
  appendRow(p);
  placeListCursor();
  updateStatusCount();
  clearPatientFields();
}

void PatientManagerWindow::clearPatientFields() {
  for (QLineEdit *field : fields_) {
    field->clear();
  }
}

void PatientManagerWindow::deleteRows(bool includeSelected) {
  if (refusedReadOnly()) {
    return;
  }
  int row = 0;
  while (row < rowCount()) {
    QTreeWidgetItem *item = list_->topLevelItem(row);
    const bool marked = isTicked(row) || (includeSelected && item->isSelected());
    if (marked && dialogs().askYesNo(this, Dialogs::Icon::Warning, QStringLiteral("Suppression"),
                                     QStringLiteral("Êtes-vous sûr(e) de vouloir supprimer "
                                                    "définitivement cet utilisateur/patient ?"))) {
      delete list_->takeTopLevelItem(row);
      updateStatusCount();
      continue; // the next row now has this index
    }
    ++row;
  }
  // An empty list leaves no file behind, even when the file held no usable
  // profile to begin with ("0" or junk): the first-launch state comes back.
  if (rowCount() == 0) {
    DeletePatientFile(Paths().patientFile);
  }
}

void PatientManagerWindow::deleteTickedRows() { deleteRows(false); }

void PatientManagerWindow::deleteMarkedRows() { deleteRows(true); }

bool PatientManagerWindow::selectPatient(int row) {
  if (row < 0 || row >= rowCount()) {
    return false;
  }
  const QString name = list_->topLevelItem(row)->text(Patient::Name);
  if (name.isEmpty()) {
    return false;
  }
  if (!IsUsablePatientName(name)) {
    // A profile from an older file may carry such a name; its files could
    // not be written, so it has to be renamed first.
    dialogs().information(this, QStringLiteral("Sélection du patient"),
                          RefusedNameMessage(name) +
                              QStringLiteral("\n\nModifiez le nom de ce profil avant de le "
                                             "sélectionner."));
    return false;
  }
  if (!SwitchToPatient(main_, name, this)) {
    return false;
  }
  reject(); // the quit flag: close, saving the list
  return true;
}

void PatientManagerWindow::selectLastMarkedRow() {
  for (int row = rowCount() - 1; row >= 0; --row) {
    if (isMarked(row)) {
      selectPatient(row);
      return;
    }
  }
}

void PatientManagerWindow::chooseFromList(QTreeWidgetItem *item) {
  if (!item) {
    return;
  }
  const int row = list_->indexOfTopLevelItem(item);
  if (row >= 0 && isMarked(row)) {
    selectPatient(row);
  }
}

void PatientManagerWindow::showMenu(QTreeWidgetItem *item, const QPoint &globalPos) {
  const int row = list_->indexOfTopLevelItem(item);
  if (row < 0 || !isMarked(row)) {
    return;
  }
  menu_->exec(globalPos);
}

void PatientManagerWindow::showPatientDetails() {
  // Each line ends with LF then CR, as the details box has always shown them.
  const QString end = QStringLiteral("\n\r");
  for (int row = 0; row < rowCount(); ++row) {
    if (!list_->topLevelItem(row)->isSelected()) {
      continue;
    }
    const Patient p = patientAt(row);
    const QString text = QStringLiteral("Patient : ") + VisiblePatientName(p[Patient::Name]) + end +
                         QStringLiteral("Âge : ") + p[Patient::Age] +
                         QStringLiteral(" ans  -  Poids : ") + p[Patient::Weight] + end +
                         QStringLiteral("Médecin : ") + p[Patient::Doctor] + end +
                         QStringLiteral("Cabinet situé : ") + p[Patient::PracticeAddress] + end +
                         QStringLiteral("E-mail du médecin : ") + p[Patient::DoctorEmail] + end +
                         QStringLiteral("N° de tel du médecin : ") + p[Patient::DoctorPhone] + end +
                         QStringLiteral("Enregistré/modifié le : ") + p[Patient::CreatedOn] + end;
    dialogs().information(this, QStringLiteral("Détails utilisateur"), text);
  }
}

void PatientManagerWindow::modifyPatientField(const QString &label, int column) {
  if (refusedReadOnly()) {
    return;
  }
  if (column < 0 || column >= Patient::kFieldCount) {
    return;
  }
  for (int row = 0; row < rowCount(); ++row) {
    QTreeWidgetItem *item = list_->topLevelItem(row);
    if (!item->isSelected()) {
      continue;
    }
    const QString title = QStringLiteral("Modifier ") + label;
    const QString typed =
        dialogs().inputText(this, title, QStringLiteral("Nouvelles données :"), item->text(column));
    const QString answer = column == Patient::Name ? TypedPatientName(typed) : SingleLine(typed);
    if (answer.isEmpty()) {
      continue;
    }
    if (column == Patient::Name && !IsNewPatientName(answer)) {
      dialogs().information(this, title, RefusedNameMessage(answer));
      continue;
    }
    item->setText(column, answer);
  }
}

void PatientManagerWindow::reject() {
  // Saved also with no patient in use (the first start): "Fermer" says it
  // saves the list, and the profiles typed are there at the next start.
  // Nothing changed in a read-only folder: nothing to save.
  if (rowCount() > 0 && State().readOnlyReason.isEmpty()) {
    const PatientSave save = SavePatientFileMerged(Paths().patientFile, loaded_, patients());
    if (save.error) {
      // The profiles exist nowhere else: the user may stay and try again.
      const bool leave = dialogs().askYesNo(
          this, Dialogs::Icon::Warning, QStringLiteral("Sauvegarde"),
          ErrorBoxText(QStringLiteral("La liste des patients n'a pas pu être enregistrée."),
                       save.error,
                       QStringLiteral("Si vous fermez la fenêtre maintenant, les profils ajoutés "
                                      "ou modifiés seront perdus.\nVoulez-vous tout de même "
                                      "fermer la fenêtre ?")),
          Dialogs::Default::No);
      if (!leave) {
        return;
      }
    } else {
      loaded_ = LoadPatientFile(Paths().patientFile);
      if (const QString text = PatientSaveText(save); !text.isEmpty()) {
        dialogs().information(this, QStringLiteral("Sauvegarde"), text);
      }
    }
  }
  QDialog::reject();
}

void PatientManagerWindow::keyPressEvent(QKeyEvent *event) {
  // Escape leaves the window only when a patient is in use: without one,
  // leaving ends the program, which a stray key must not do.
  if (event->key() == Qt::Key_Escape && State().currentPatient.isEmpty()) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

bool OpenPatientManager(MainWindowApi &main) {
  PatientManagerWindow window(main, main.window());
  window.exec();
  return !State().currentPatient.isEmpty();
}

} // namespace tl
