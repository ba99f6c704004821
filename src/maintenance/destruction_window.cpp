#include "maintenance/destruction_window.h"

#include "common/control_ids.h"
#include "common/identity.h"
#include "common/paths.h"
#include "maintenance/data_destruction.h"
#include "platform/dialogs.h"
#include "theme/control_colour.h"
#include "theme/dark_scheme.h"
#include "ui/assets/assets.h"
#include "ui/drawing.h"
#include "ui/fit_text.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

namespace tl {

namespace {

const QString kSeparator = QStringLiteral("=======================");

void CentreOnScreen(QWidget *window, QWidget *reference) {
  QScreen *screen = reference ? reference->screen() : QGuiApplication::primaryScreen();
  if (screen) {
    const QRect area = screen->availableGeometry();
    window->move(area.center() - QPoint(window->width() / 2, window->height() / 2));
  }
}

} // namespace

DataDestructionWindow::DataDestructionWindow(QWidget *parent) : QDialog(parent) {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setWindowTitle(QStringLiteral("Destruction des données"));
  setFixedSize(500, 420);

  AddBanner(this, ControlId::DestructionBanner, width(), QColor(255, 0, 0), QColor(83, 0, 0),
            SystemIcon(32), TitleLine(),
            QStringLiteral("Destruction de toutes les données enregistrées. "));

  auto heading =
      new QLabel(QStringLiteral("Choisissez les données à effacer définitivement :"), this);
  heading->setGeometry(10, 50, width() - 20, 22);
  heading->setFont(SharedFont(0));
  SetControlNumber(heading, ControlId::DestructionHeading);

  for (int i = 0; i < kDestructionItemCount; ++i) {
    items_[i] = new QCheckBox(DestructionItemLabel(i + 1), this);
    items_[i]->setGeometry(20, 80 + 25 * i, 270, 22);
    SetControlNumber(items_[i], ToInt(ControlId::DestructionItemPrint) + i);
  }

  auto warning = new QLabel(QStringLiteral("Attention!\nSoyez sûr(e) de ce que vous faites.\n"
                                           "Il n'y a pas de retour possible."),
                            this);
  warning->setGeometry(300, 100, 190, 100);
  warning->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  warning->setWordWrap(true);
  warning->setFont(SharedFont(0));
  SetControlNumber(warning, ControlId::DestructionWarning);
  SetControlColour(warning, kTextColour, QColor(196, 0, 0));

  results_ = new QPlainTextEdit(this);
  results_->setGeometry(20, 210, width() - 40, 140);
  results_->setReadOnly(true);
  results_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  results_->setFont(SharedFont(1));
  results_->setPlainText(QStringLiteral("Affichage des résultats..."));
  results_->setAccessibleName(SpokenText(results_->toPlainText()));
  SetControlNumber(results_, ControlId::DestructionResults);
  SetControlColour(results_, kBackgroundColour, QColor(11, 18, 35));
  SetControlColour(results_, kTextColour, QColor(231, 234, 238));

  progress_ = new QProgressBar(this);
  progress_->setGeometry(20, 355, width() - 40, 10);
  progress_->setRange(0, 100);
  progress_->setValue(0);
  progress_->setTextVisible(false);
  SetControlNumber(progress_, ControlId::DestructionProgress);

  auto bar = new QFrame(this);
  bar->setGeometry(0, height() - 50, width(), 50);
  bar->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
  SetControlNumber(bar, ControlId::DestructionButtonBar);

  delete_ = new QPushButton(QStringLiteral("Supprimer tous les éléments cochés"), bar);
  delete_->setGeometry(10, 12, 200, 25);
  delete_->setAutoDefault(false);
  FitTextToWidth(delete_, delete_->text(), delete_->width() - 12);
  AttachBalloonTip(delete_, QStringLiteral("Supprimer"),
                   QStringLiteral("Supprimer tous les fichiers qui ont été cochés."),
                   SystemIcon(32));
  SetControlNumber(delete_, ControlId::DestructionButtonDelete);

  close_ = new QPushButton(QStringLiteral("Fermer"), bar);
  close_->setGeometry(width() - 90, 12, 80, 25);
  close_->setDefault(true);
  AttachBalloonTip(close_, QStringLiteral("Fermer"), QStringLiteral("Fermer la fenêtre."),
                   SystemIcon(109));
  SetControlNumber(close_, ControlId::DestructionButtonClose);

  connect(delete_, &QPushButton::clicked, this, &DataDestructionWindow::deleteTicked);
  connect(close_, &QPushButton::clicked, this, &QDialog::reject);

  for (int i = 0; i + 1 < kDestructionItemCount; ++i) {
    setTabOrder(items_[i], items_[i + 1]);
  }
  setTabOrder(items_[kDestructionItemCount - 1], delete_);
  setTabOrder(delete_, close_);
  items_[0]->setFocus();

  CentreOnScreen(this, parent);
  FollowDarkAppearance(this);
}

QCheckBox *DataDestructionWindow::itemBox(int item) const {
  return item >= 1 && item <= kDestructionItemCount ? items_[item - 1] : nullptr;
}

void DataDestructionWindow::appendLine(const QString &line) { results_->appendPlainText(line); }

void DataDestructionWindow::deleteTicked() {
  DestructionChoice ticked{};
  bool any = false;
  for (int i = 0; i < kDestructionItemCount; ++i) {
    ticked[i] = items_[i]->isChecked();
    any = any || ticked[i];
  }
  if (!any) {
    dialogs().information(this, QStringLiteral("Suppression"),
                          QStringLiteral("Aucun élément n'a été sélectionné. Vous devez cocher "
                                         "au moins une case pour continuer."));
    return;
  }
  if (!dialogs().askYesNo(this, Dialogs::Icon::Warning, QStringLiteral("Suppression"),
                          QStringLiteral("Tous les éléments sélectionnés vont être "
                                         "définitivement supprimés. Êtes-vous sûr(e) de "
                                         "vouloir continuer ?"))) {
    reject();
    return;
  }

  progress_->setRange(0, 0); // marquee while the deletions run
  progress_->repaint();
  appendLine(kSeparator);
  appendLine(QStringLiteral("Démarrage de la suppression..."));
  for (const QString &line : DestroyData(ticked, Paths())) {
    appendLine(line);
  }
  progress_->setRange(0, 100);
  progress_->setValue(0);
  appendLine(kSeparator);
  appendLine(QStringLiteral("Suppression terminée!"));
}

void RunDataDestruction(QWidget *mainWindow) {
  DataDestructionWindow window(mainWindow);
  if (mainWindow) {
    mainWindow->setEnabled(false);
  }
  window.setEnabled(true);
  window.exec();
  if (mainWindow) {
    mainWindow->setEnabled(true);
  }
}

} // namespace tl
