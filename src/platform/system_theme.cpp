#include "platform/system_theme.h"

#include <QWidget>

#ifdef Q_OS_WIN
#include <QOperatingSystemVersion>
#include <QSettings>
#include <qt_windows.h>
#endif

namespace tl {

#ifdef Q_OS_WIN

bool SystemAppsUseDarkTheme() {
  const QSettings key(
      QStringLiteral(
          "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize"),
      QSettings::NativeFormat);
  const QVariant value = key.value(QStringLiteral("AppsUseLightTheme"));
  bool ok = false;
  const int light = value.toInt(&ok);
  return value.isValid() && ok && light == 0;
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
  auto set = reinterpret_cast<SetAttribute>(GetProcAddress(dwm, "DwmSetWindowAttribute"));
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

bool SystemAppsUseDarkTheme() { return false; }

bool DarkenTitleBar(QWidget *) { return false; }

#endif

} // namespace tl
