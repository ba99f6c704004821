#pragma once

class QWidget;

namespace tl {

// The Windows setting "apps use dark mode": true when the current user's
// AppsUseLightTheme value is 0. A missing value, and every other system,
// reads as light.
bool SystemAppsUseDarkTheme();

// Asks the window manager to draw `window`'s title bar dark (Windows 10 and
// later, through DwmSetWindowAttribute loaded at run time). Returns true when
// the attribute was set; false elsewhere or when the service is missing.
bool DarkenTitleBar(QWidget *window);

} // namespace tl
