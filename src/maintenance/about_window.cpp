#include "maintenance/about_window.h"

#include "common/control_ids.h"
#include "common/identity.h"
#include "maintenance/about_text.h"
#include "theme/dark_scheme.h"
#include "ui/assets/assets.h"
#include "ui/documents.h"
#include "ui/drawing.h"
#include "ui/fit_text.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStyleOptionFocusRect>

namespace tl {

namespace {

const QColor kLinkHover(238, 25, 30);

QLabel *SmallImage(int sharedImage, QWidget *parent, QPoint at) {
  auto label = new QLabel(parent);
  label->setGeometry(at.x(), at.y(), 16, 16);
  label->setPixmap(ImageIcon(sharedImage).pixmap(16, 16));
  return label;
}

} // namespace

LinkLabel::LinkLabel(const QString &text, QWidget *parent) : QLabel(text, parent) {
  QFont f = font();
  f.setUnderline(true);
  setFont(f);
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::StrongFocus);
  setHovered(false);
}

void LinkLabel::setHovered(bool hovered) {
  hovered_ = hovered;
  QPalette p = palette();
  p.setColor(QPalette::WindowText,
             hovered ? kLinkHover : QGuiApplication::palette().color(QPalette::WindowText));
  setPalette(p);
}

void LinkLabel::enterEvent(QEnterEvent *event) {
  setHovered(true);
  QLabel::enterEvent(event);
}

void LinkLabel::leaveEvent(QEvent *event) {
  setHovered(false);
  QLabel::leaveEvent(event);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent *event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    emit activated();
    return;
  }
  QLabel::mouseReleaseEvent(event);
}

void LinkLabel::keyPressEvent(QKeyEvent *event) {
  switch (event->key()) {
  case Qt::Key_Return:
  case Qt::Key_Enter:
  case Qt::Key_Space:
    emit activated();
    return;
  default:
    QLabel::keyPressEvent(event);
  }
}

void LinkLabel::paintEvent(QPaintEvent *event) {
  QLabel::paintEvent(event);
  if (hasFocus()) {
    QPainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = contentsRect();
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
  }
}

AboutWindow::AboutWindow(QWidget *parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("A propos de ") + ProgramTitle());
  setFixedSize(500, 400);

  AddBanner(this, ControlId::AboutBanner, width(), QColor(99, 184, 255), QColor(0, 0, 128),
            ImageIcon(0), QStringLiteral("A propos de :"), TitleLine());

  panel_ = new InformationPanel(this);
  panel_->setGeometry(0, 40, width(), 320);
  panel_->setColours(QColor(231, 234, 238), QColor(55, 71, 98));
  panel_->setGradient(Gradient::Vertical);
  panel_->setTitle(TitleLine());
  panel_->setText(BuildAboutText(ProgramBuildDate()));
  panel_->setIcon(SystemIcon(221), 32, 32);
  SetControlNumber(panel_, ControlId::AboutPanel);

  SetControlNumber(SmallImage(4, this, {5, 372}), ControlId::AboutSiteIcon);
  site_ = new LinkLabel(WebSiteName(), this);
  site_->setGeometry(21, 370, 90, 20);
  FitTextToWidth(site_, site_->text(), site_->width() - 2);
  SetControlNumber(site_, ControlId::AboutSiteLink);

  SetControlNumber(SmallImage(5, this, {120, 372}), ControlId::AboutLicenceIcon);
  licence_ = new LinkLabel(QStringLiteral("Lisez-moi"), this);
  licence_->setGeometry(140, 370, 65, 20);
  SetControlNumber(licence_, ControlId::AboutLicenceLink);

  close_ = new QPushButton(QStringLiteral("⇨ Fermer"), this);
  close_->setGeometry(435, 365, 60, 25);
  close_->setAccessibleName(SpokenText(close_->text()));
  SetControlNumber(close_, ControlId::AboutButtonClose);

  // The site link closes the window whether or not the site could be opened.
  connect(site_, &LinkLabel::activated, this, [this] {
    OpenWebSite(this);
    close();
  });
  connect(licence_, &LinkLabel::activated, this, [] { OpenLicenceText(); });
  connect(close_, &QPushButton::clicked, this, &QWidget::close);
  auto escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, &QWidget::close);

  setTabOrder(close_, site_);
  setTabOrder(site_, licence_);
  close_->setFocus();

  QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
  if (screen) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  FollowDarkAppearance(this);
}

AboutWindow *ShowAboutWindow(QWidget *mainWindow) {
  static QPointer<AboutWindow> open;
  if (!open) {
    open = new AboutWindow(mainWindow);
  }
  open->show();
  open->raise();
  open->activateWindow();
  return open;
}

} // namespace tl
