#include "platform/system_theme.h"

#include <QString>
#include <QWidget>

#ifdef Q_OS_WIN
#include <QOperatingSystemVersion>
#include <QSettings>
#include <qt_windows.h>
#endif

namespace tl {

#ifdef Q_OS_WIN

bool AppsUseDarkThemeIn(const QString &key) {
  const QSettings settings(key, QSettings::NativeFormat);
  const QVariant value = settings.value(QStringLiteral("AppsUseLightTheme"));
  bool ok = false;
  const int light = value.toInt(&ok);
  return value.isValid() && ok && light == 0;
}

bool SystemAppsUseDarkTheme() {
  return AppsUseDarkThemeIn(QStringLiteral(
      "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize"));
}

bool DarkenTitleBar(QWidget *window) {
  if (!window || QOperatingSystemVersion::current() < QOperatingSystemVersion::Windows10) {
    return false;
  }
  HMODULE dwm = LoadLibraryW(L"dwmapi.dll");
  if (!dwm) {
    return false;
  }
  using SetAttribute = HRESULT(WINAPI *)(HWND, DWORD, LPCVOID, DWORD);
  // Through a generic function pointer: FARPROC's own type matches no
  // real signature.
  auto set = reinterpret_cast<SetAttribute>(
      reinterpret_cast<void (*)()>(GetProcAddress(dwm, "DwmSetWindowAttribute")));
  bool done = false;
  if (set) {
    const BOOL on = TRUE;
    constexpr DWORD kImmersiveDarkMode = 20;
    done = SUCCEEDED(
        set(reinterpret_cast<HWND>(window->winId()), kImmersiveDarkMode, &on, sizeof(on)));
  }
  FreeLibrary(dwm);
  return done;
}

#else

bool AppsUseDarkThemeIn(const QString &) { return false; }

bool SystemAppsUseDarkTheme() { return false; }

bool DarkenTitleBar(QWidget *) { return false; }

#endif

} // namespace tl
