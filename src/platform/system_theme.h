#pragma once

class QString;
class QWidget;

namespace tl {

// The Windows setting "apps use dark mode": true when the current user's
// AppsUseLightTheme value is 0. A missing value, and every other system,
// reads as light.
bool SystemAppsUseDarkTheme();

// The same reading of the registry key `key` (a full path under
// HKEY_CURRENT_USER...), so that tests can point it at a key of their own.
bool AppsUseDarkThemeIn(const QString &key);

// Asks the window manager to draw `window`'s title bar dark (Windows 10 and
// later, through DwmSetWindowAttribute loaded at run time). Returns true when
// the attribute was set; false elsewhere or when the service is missing.
bool DarkenTitleBar(QWidget *window);

} // namespace tl
