#include "platform/autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>

#ifdef Q_OS_WIN
#include <QSettings>
#endif

namespace tl {

#ifdef Q_OS_WIN

namespace {
const QString kRunKey =
    QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
const QString kValueName = QStringLiteral("Tensiolog");
} // namespace

QString AutostartLocation() { return kRunKey + u'\\' + kValueName; }

bool EnableAutostart(const QString &program, QString *error) {
  QSettings run(kRunKey, QSettings::NativeFormat);
  run.setValue(kValueName,
               QStringLiteral("\"%1\" %2")
                   .arg(QDir::toNativeSeparators(program), QLatin1String(kTrayArgument)));
  run.sync();
  if (run.status() != QSettings::NoError) {
    if (error) {
      *error = QStringLiteral("la clé Run du registre n'a pas pu être écrite");
    }
    return false;
  }
  return true;
}

bool DisableAutostart() {
  QSettings run(kRunKey, QSettings::NativeFormat);
  run.remove(kValueName);
  run.sync();
  return !run.contains(kValueName);
}

bool IsAutostartEnabled() {
  return QSettings(kRunKey, QSettings::NativeFormat).contains(kValueName);
}

#else

QString AutostartLocation() {
  // $XDG_CONFIG_HOME, else ~/.config.
  QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (config.isEmpty() || QDir::isRelativePath(config)) {
    config = QDir::homePath() + QStringLiteral("/.config");
  }
  return config + QStringLiteral("/autostart/tensiolog.desktop");
}

namespace {

// A desktop entry's Exec line quotes an argument holding blanks or one of
// the characters desktop entries reserve, backslash-escaping ", `, $ and \.
QString ExecArgument(const QString &argument) {
  static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
  if (std::none_of(argument.begin(), argument.end(),
                   [](QChar c) { return reserved.contains(c); })) {
    return argument;
  }
  QString out = QStringLiteral("\"");
  for (QChar c : argument) {
    if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') {
      out += u'\\';
    }
    out += c;
  }
  return out + u'"';
}

} // namespace

bool EnableAutostart(const QString &program, QString *error) {
  const QString path = AutostartLocation();
  const QString folder = QFileInfo(path).absolutePath();
  QSaveFile file(path);
  QString exec = ExecArgument(program);
  exec.replace(u'%', QStringLiteral("%%"));
  const QString text = QStringLiteral("[Desktop Entry]\n"
                                      "Type=Application\n"
                                      "Name=Tensiolog\n"
                                      "Comment=Rappels de la série d'automesure tensionnelle\n"
                                      "Exec=%1 %2\n"
                                      "Terminal=false\n"
                                      "X-GNOME-Autostart-enabled=true\n")
                           .arg(exec, QLatin1String(kTrayArgument));
  if (!QDir().mkpath(folder) || !file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 ||
      !file.commit()) {
    if (error) {
      *error = QStringLiteral("%1 : %2").arg(QDir::toNativeSeparators(path), file.errorString());
    }
    return false;
  }
  return true;
}

bool DisableAutostart() {
  const QString path = AutostartLocation();
  return !QFileInfo::exists(path) || QFile::remove(path);
}

bool IsAutostartEnabled() { return QFileInfo::exists(AutostartLocation()); }

#endif

} // namespace tl
