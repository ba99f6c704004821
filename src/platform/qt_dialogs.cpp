#include "platform/qt_dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace tl {

namespace {

QMessageBox::Icon toQtIcon(Dialogs::Icon icon) {
  switch (icon) {
  case Dialogs::Icon::Information:
    return QMessageBox::Information;
  case Dialogs::Icon::Warning:
    return QMessageBox::Warning;
  case Dialogs::Icon::Error:
    return QMessageBox::Critical;
  case Dialogs::Icon::Question:
    return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

// The texts carry Windows line breaks (CR LF, and LF CR in the reading
// details); a message box breaks lines at LF only, so each pair, and a lone
// CR, becomes one LF for display.
QString DisplayText(const QString &text) {
  QString out = text;
  out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  out.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
  out.replace(u'\r', u'\n');
  return out;
}

// The system's own file chooser keeps the system's colours; under the
// program's dark palette, Qt's chooser takes it like every other window.
QFileDialog::Options ChooserOptions() {
  const bool dark = QApplication::palette().color(QPalette::Window).lightness() < 128;
  return dark ? QFileDialog::DontUseNativeDialog : QFileDialog::Options();
}

} // namespace

void QtDialogs::message(QWidget *parent, Icon icon, const QString &title, const QString &text) {
  QMessageBox box(toQtIcon(icon), title, DisplayText(text), QMessageBox::NoButton, parent);
  box.setTextFormat(Qt::PlainText);
  box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
  box.exec();
}

bool QtDialogs::askYesNo(QWidget *parent, Icon icon, const QString &title, const QString &text,
                         Default byDefault) {
  QMessageBox box(toQtIcon(icon), title, DisplayText(text), QMessageBox::NoButton, parent);
  box.setTextFormat(Qt::PlainText);
  QPushButton *yes = box.addButton(QStringLiteral("Oui"), QMessageBox::YesRole);
  QPushButton *no = box.addButton(QStringLiteral("Non"), QMessageBox::NoRole);
  box.setDefaultButton(byDefault == Default::Yes ? yes : no);
  box.setEscapeButton(no);
  box.exec();
  return box.clickedButton() == yes;
}

QString QtDialogs::inputText(QWidget *parent, const QString &title, const QString &prompt,
                             const QString &initial) {
  QDialog dlg(parent);
  dlg.setWindowTitle(title);
  auto *layout = new QVBoxLayout(&dlg);
  auto *label = new QLabel(prompt, &dlg);
  label->setTextFormat(Qt::PlainText);
  layout->addWidget(label);
  auto *edit = new QLineEdit(initial, &dlg);
  // Typing replaces the old text rather than being added to it.
  edit->selectAll();
  // Read out by its prompt, not by the value it starts with.
  QString name = prompt.simplified();
  while (name.endsWith(u':') || name.endsWith(u' ')) {
    name.chop(1);
  }
  edit->setAccessibleName(name);
  label->setBuddy(edit);
  layout->addWidget(edit);
  auto *row = new QHBoxLayout;
  row->addStretch();
  auto *ok = new QPushButton(QStringLiteral("OK"), &dlg);
  ok->setDefault(true);
  row->addWidget(ok);
  layout->addLayout(row);
  QObject::connect(ok, &QPushButton::clicked, &dlg, &QDialog::accept);
  dlg.setMinimumWidth(320);
  dlg.adjustSize();
  if (QScreen *screen = QGuiApplication::primaryScreen()) {
    dlg.move(screen->availableGeometry().center() - dlg.rect().center());
  }
  if (dlg.exec() != QDialog::Accepted) {
    return QString();
  }
  return edit->text();
}

bool QtDialogs::editNote(QWidget *parent, const QString &title, NoteForm &form) {
  QDialog dlg(parent);
  dlg.setWindowTitle(title);
  auto *layout = new QVBoxLayout(&dlg);
  if (!form.heading.isEmpty()) {
    auto *heading = new QLabel(form.heading, &dlg);
    heading->setTextFormat(Qt::PlainText);
    heading->setWordWrap(true);
    layout->addWidget(heading);
  }
  auto *label = new QLabel(form.lineLabel, &dlg);
  label->setTextFormat(Qt::PlainText);
  layout->addWidget(label);
  auto *edit = new QLineEdit(form.text, &dlg);
  if (form.maxLength > 0) {
    edit->setMaxLength(form.maxLength);
    edit->setAccessibleDescription(
        QStringLiteral("%1 caractères au plus, sur une ligne").arg(form.maxLength));
  }
  QString name = form.lineLabel.simplified();
  while (name.endsWith(u':') || name.endsWith(u' ')) {
    name.chop(1);
  }
  edit->setAccessibleName(name);
  label->setBuddy(edit);
  layout->addWidget(edit);
  QList<QCheckBox *> boxes;
  for (qsizetype i = 0; i < form.labels.size(); ++i) {
    auto *box = new QCheckBox(form.labels[i], &dlg);
    box->setChecked(i < form.checked.size() && form.checked[i]);
    layout->addWidget(box);
    boxes.append(box);
  }
  auto *row = new QHBoxLayout;
  row->addStretch();
  auto *ok = new QPushButton(QStringLiteral("OK"), &dlg);
  ok->setDefault(true);
  auto *cancel = new QPushButton(QStringLiteral("Annuler"), &dlg);
  row->addWidget(ok);
  row->addWidget(cancel);
  layout->addLayout(row);
  QObject::connect(ok, &QPushButton::clicked, &dlg, &QDialog::accept);
  QObject::connect(cancel, &QPushButton::clicked, &dlg, &QDialog::reject);
  dlg.setMinimumWidth(380);
  dlg.adjustSize();
  if (QScreen *screen = QGuiApplication::primaryScreen()) {
    dlg.move(screen->availableGeometry().center() - dlg.rect().center());
  }
  // Typing starts in the line, its text selected as in the input box: typed
  // over, it is replaced; End keeps it and adds to it.
  edit->selectAll();
  edit->setFocus(Qt::OtherFocusReason);
  if (dlg.exec() != QDialog::Accepted) {
    return false;
  }
  form.text = edit->text();
  form.checked.clear();
  for (QCheckBox *box : boxes) {
    form.checked.append(box->isChecked());
  }
  return true;
}

QString QtDialogs::openFileName(QWidget *parent, const QString &title, const QString &start,
                                const QString &filter) {
  return QFileDialog::getOpenFileName(parent, title, start, filter, nullptr, ChooserOptions());
}

QString QtDialogs::saveFileName(QWidget *parent, const QString &title, const QString &start,
                                const QString &filter) {
  return QFileDialog::getSaveFileName(parent, title, start, filter, nullptr, ChooserOptions());
}

bool QtDialogs::choosePrinter(QWidget *parent, QPrinter *printer) {
  QPrintDialog dialog(printer, parent);
  return dialog.exec() == QDialog::Accepted;
}

bool QtDialogs::messageWithAction(QWidget *parent, Icon icon, const QString &title,
                                  const QString &text, const QString &action) {
  QMessageBox box(toQtIcon(icon), title, DisplayText(text), QMessageBox::NoButton, parent);
  box.setTextFormat(Qt::PlainText);
  QPushButton *chosen = box.addButton(action, QMessageBox::ActionRole);
  QPushButton *ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
  box.setDefaultButton(ok);
  box.setEscapeButton(ok);
  box.exec();
  return box.clickedButton() == chosen;
}

bool QtDialogs::previewPrint(QWidget *parent, const QString &title, QPrinter *printer,
                             const std::function<void(QPrinter *)> &draw) {
  QPrintPreviewDialog dialog(printer, parent);
  dialog.setWindowTitle(title);
  QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                   [&draw](QPrinter *on) { draw(on); });
  // As large as the screen allows: a page is read in it.
  if (QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
    const QRect free = screen->availableGeometry();
    dialog.resize(std::min(900, free.width() - 40), free.height() - 60);
  }
  return dialog.exec() == QDialog::Accepted;
}

} // namespace tl
