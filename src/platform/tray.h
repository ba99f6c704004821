#pragma once

// The program's icon in the system tray (the notification area): shown
// while a series runs, its notifications remind the patient of a session.

#include <QString>
#include <functional>

namespace tl {

class Tray {
public:
  virtual ~Tray() = default;
  // Whether the desktop has a tray at all.
  virtual bool available() const = 0;
  virtual void setVisible(bool visible) = 0;
  virtual bool isVisible() const = 0;
  // A notification beside the icon.
  virtual void notify(const QString &title, const QString &text) = 0;

  // What the icon, its menu and its notifications ask for.
  std::function<void()> openRequested;    // the icon clicked, or "Ouvrir Tensiolog"
  std::function<void()> measureRequested; // a notification clicked, or "Mesurer maintenant"
  std::function<void()> quitRequested;    // "Quitter"
};

} // namespace tl
