#include "app/splash_window.h"

#include "common/control_ids.h"
#include "common/identity.h"
#include "ui/assets/assets.h"
#include "ui/drawing.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

namespace tl {

namespace {
constexpr int kIconNumber = ToInt(ControlId::SplashFirst) + 1;
constexpr int kTextNumber = ToInt(ControlId::SplashFirst) + 2;
} // namespace

SplashWindow::SplashWindow(QWidget *parent)
    : QWidget(parent,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint) {
  setWindowTitle(ProgramTitle());
  setFixedSize(360, 100);
  SetControlNumber(this, ToInt(ControlId::SplashFirst));

  auto *icon = new QLabel(this);
  icon->setPixmap(SystemIcon(158).pixmap(64, 64));
  icon->setGeometry(10, 10, 64, 64);
  SetControlNumber(icon, kIconNumber);

  auto *text = new QLabel(QStringLiteral("Chargement des données\n\nMerci de patienter."), this);
  text->setFont(SharedFont(1));
  QPalette palette = text->palette();
  palette.setColor(QPalette::WindowText, QColor(40, 56, 86));
  text->setPalette(palette);
  text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  text->setGeometry(100, 25, 250, 60);
  SetControlNumber(text, kTextNumber);

  if (QScreen *screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

QString SplashWindow::text() const {
  const auto *label =
      qobject_cast<QLabel *>(FindControl(const_cast<SplashWindow *>(this), kTextNumber));
  return label ? label->text() : QString();
}

} // namespace tl
