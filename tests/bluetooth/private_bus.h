#pragma once

// The private system bus of the Bluetooth tests: a dbus-daemon of their own,
// on which fake_bluez.py plays BlueZ, and the children ended by process ID.

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>

#include <csignal>
#include <sys/prctl.h>

namespace tl::test {

inline const QString kPython = QStringLiteral("/usr/bin/python3");

// A child that ends with the test, even when the test itself is killed.
inline void EndWithUs(QProcess &process) {
  process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

// Ends a child by its process ID: politely, then for good.
inline void End(QProcess &process) {
  process.closeReadChannel(QProcess::StandardOutput);
  if (process.state() == QProcess::NotRunning) {
    return;
  }
  process.terminate();
  if (!process.waitForFinished(2000)) {
    process.kill();
    process.waitForFinished(2000);
  }
}

// What the private bus needs and this machine lacks, or "".
inline QString PrivateBusMissing() {
  if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty()) {
    return QStringLiteral("dbus-daemon is not installed (scripts/setup installs it)");
  }
  if (QProcess::execute(kPython, {QStringLiteral("-c"), QStringLiteral("import dbus_next")}) != 0) {
    return QStringLiteral("python3-dbus-next is not installed (scripts/setup installs it)");
  }
  return QString();
}

// Starts a dbus-daemon that lets everyone do everything, listening in
// `folder`, and makes it the system bus of this process, where Qt Bluetooth
// looks for BlueZ. Returns its address, or "" when it did not start.
inline QString StartPrivateBus(QProcess &bus, const QString &folder) {
  QFile config(folder + QStringLiteral("/bus.conf"));
  if (!config.open(QIODevice::WriteOnly)) {
    return QString();
  }
  config.write(
      QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                     "1.0//EN\"\n \"http://www.freedesktop.org/standards/dbus/1.0/"
                     "busconfig.dtd\">\n"
                     "<busconfig>\n"
                     "  <listen>unix:dir=%1</listen>\n"
                     "  <auth>EXTERNAL</auth>\n"
                     "  <policy context=\"default\">\n"
                     "    <allow user=\"*\"/>\n"
                     "    <allow own=\"*\"/>\n"
                     "    <allow send_destination=\"*\"/>\n"
                     "    <allow receive_sender=\"*\"/>\n"
                     "  </policy>\n"
                     "</busconfig>\n")
          .arg(folder)
          .toUtf8());
  config.close();
  EndWithUs(bus);
  bus.start(QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")),
            {QStringLiteral("--config-file=") + config.fileName(),
             QStringLiteral("--print-address"), QStringLiteral("--nofork"),
             QStringLiteral("--nopidfile")});
  if (!bus.waitForStarted(5000)) {
    return QString();
  }
  while (!bus.canReadLine() && bus.waitForReadyRead(5000)) {
  }
  const QString address = QString::fromUtf8(bus.readLine()).trimmed();
  if (!address.isEmpty()) {
    // Qt Bluetooth would otherwise ask bluetoothd its version to choose its
    // D-Bus LE backend.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", address.toUtf8());
    qputenv("BLUETOOTH_FORCE_DBUS_LE_VERSION", "5.66");
  }
  return address;
}

// The private bus of one test program, started by its initTestCase and
// ended with it, and the fake BlueZ of each test played on it.
class TestBus {
public:
  ~TestBus() { End(bus_); }

  // What this machine lacks for the bus ("" when nothing); otherwise starts
  // it (address() stays empty when it did not start: see errors()).
  QString start() {
    if (QString missing = PrivateBusMissing(); !missing.isEmpty()) {
      return missing;
    }
    if (dir_.isValid()) {
      address_ = StartPrivateBus(bus_, dir_.path());
    }
    return QString();
  }
  const QString &address() const { return address_; }
  QByteArray errors() { return bus_.readAllStandardError(); }
  // A file of the bus's folder, for the fakes' logs.
  QString file(const QString &name) const { return dir_.filePath(name); }

  // Starts fake_bluez.py (`script`) playing `scenario`, its calls logged to
  // `log`; true once it is ready. The caller ends it (End).
  bool startFake(QProcess &fake, const QString &script, const QJsonObject &scenario,
                 const QString &log) {
    fake.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    EndWithUs(fake);
    fake.start(kPython,
               {script, address_,
                QString::fromUtf8(QJsonDocument(scenario).toJson(QJsonDocument::Compact)), log});
    return fake.waitForReadyRead(10000) && fake.readLine().trimmed() == "ready";
  }

private:
  QTemporaryDir dir_;
  QProcess bus_;
  QString address_;
};

} // namespace tl::test
