#include "platform/qt_tray.h"

#include <QMenu>
#include <QSystemTrayIcon>

namespace tl {

QtTray::QtTray(const QIcon &icon, const QString &toolTip)
    : menu_(std::make_unique<QMenu>()), icon_(std::make_unique<QSystemTrayIcon>(icon)) {
  icon_->setToolTip(toolTip);
  const auto call = [](const std::function<void()> &f) {
    if (f) {
      f();
    }
  };
  QObject::connect(menu_->addAction(QStringLiteral("Ouvrir Tensiolog")), &QAction::triggered,
                   icon_.get(), [this, call] { call(openRequested); });
  QObject::connect(menu_->addAction(QStringLiteral("Mesurer maintenant")), &QAction::triggered,
                   icon_.get(), [this, call] { call(measureRequested); });
  menu_->addSeparator();
  QObject::connect(menu_->addAction(QStringLiteral("Quitter")), &QAction::triggered, icon_.get(),
                   [this, call] { call(quitRequested); });
  icon_->setContextMenu(menu_.get());
  QObject::connect(icon_.get(), &QSystemTrayIcon::activated, icon_.get(),
                   [this, call](QSystemTrayIcon::ActivationReason reason) {
                     if (reason == QSystemTrayIcon::Trigger ||
                         reason == QSystemTrayIcon::DoubleClick) {
                       call(openRequested);
                     }
                   });
  QObject::connect(icon_.get(), &QSystemTrayIcon::messageClicked, icon_.get(),
                   [this, call] { call(measureRequested); });
}

QtTray::~QtTray() = default;

bool QtTray::available() const { return QSystemTrayIcon::isSystemTrayAvailable(); }

void QtTray::setVisible(bool visible) { icon_->setVisible(visible); }

bool QtTray::isVisible() const { return icon_->isVisible(); }

void QtTray::notify(const QString &title, const QString &text) {
  icon_->showMessage(title, text, icon_->icon(), 60 * 1000);
}

} // namespace tl
