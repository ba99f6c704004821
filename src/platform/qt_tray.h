#pragma once

#include "platform/tray.h"

#include <memory>

class QIcon;
class QMenu;
class QSystemTrayIcon;

namespace tl {

// The tray through QSystemTrayIcon, with a menu "Ouvrir Tensiolog",
// "Mesurer maintenant", "Quitter".
class QtTray : public Tray {
public:
  explicit QtTray(const QIcon &icon, const QString &toolTip);
  ~QtTray() override;

  bool available() const override;
  void setVisible(bool visible) override;
  bool isVisible() const override;
  void notify(const QString &title, const QString &text) override;

private:
  std::unique_ptr<QMenu> menu_;
  std::unique_ptr<QSystemTrayIcon> icon_;
};

} // namespace tl
