#include "meter_link/meter_link.h"

// Besides the texts and values below, this unit gives the interface its
// meta-object.

namespace tl {

MeterLink::MeterLink(QObject *parent) : QObject(parent) {
  idle_.setSingleShot(true);
  total_.setSingleShot(true);
  connect(&idle_, &QTimer::timeout, this, [this] { endTransfer(); });
  connect(&total_, &QTimer::timeout, this, [this] {
    if (collecting())
      endTransfer();
    else
      finish(false, meter_failure::ConnectFailed());
  });
}

void MeterLink::beginCollecting() {
  emit progress(QStringLiteral("Réception des mesures…"));
  if (!idle_.isActive())
    idle_.start(timings_.idleMs);
}

void MeterLink::recordReceived(const QByteArray &value, const QDateTime &received) {
  ++records_;
  emit measurementReceived(value, received);
  idle_.start(timings_.idleMs);
}

void MeterLink::endTransfer() {
  if (records_ > 0)
    finish(true, {});
  else
    finish(false, meter_failure::NoReading());
}

void MeterLink::finish(bool ok, const FileError &error) {
  if (!active())
    return;
  release();
  emit finished(ok, error);
}

FileError NoBluetoothFailure() {
  return {QString(), QStringLiteral("cette version de Tensiolog ne peut pas lire de tensiomètre : "
                                    "elle a été construite sans le Bluetooth de Qt")};
}

namespace meter_failure {

namespace {
FileError Failed(const char *reason) { return FileError{QString(), QString::fromUtf8(reason)}; }
} // namespace

FileError PoweredOff() {
  return Failed("le Bluetooth est désactivé : activez-le puis recommencez");
}
FileError NoAdapter() {
  return Failed("aucun adaptateur Bluetooth n'a été trouvé sur cet ordinateur");
}
FileError Pair() {
  return Failed("appairez le tensiomètre dans les paramètres Bluetooth du système");
}
FileError NoReading() { return Failed("aucune mesure n'a été reçue du tensiomètre"); }
FileError Lost() { return Failed("la connexion avec le tensiomètre a été perdue"); }
FileError NoMeter() {
  return Failed("aucun tensiomètre n'a été trouvé : mettez-le en mode transfert puis recommencez");
}
FileError NotAMeter() {
  return Failed("cet appareil n'offre pas le service de tension artérielle Bluetooth");
}
FileError ConnectFailed() {
  return Failed(
      "la connexion au tensiomètre a échoué : rapprochez-le de l'ordinateur puis recommencez");
}
FileError SearchFailed() { return Failed("la recherche des appareils Bluetooth a échoué"); }

} // namespace meter_failure

QByteArray MeterDateTimeValue(const QDateTime &t) {
  const QDate d = t.date();
  const QTime h = t.time();
  QByteArray v;
  v.append(char(d.year() & 0xFF)).append(char(d.year() >> 8));
  v.append(char(d.month())).append(char(d.day()));
  v.append(char(h.hour())).append(char(h.minute())).append(char(h.second()));
  return v;
}

QByteArray MeterCurrentTimeValue(const QDateTime &t) {
  QByteArray v = MeterDateTimeValue(t);
  v.append(char(t.date().dayOfWeek()));
  v.append(char(t.time().msec() * 256 / 1000));
  v.append(char(0x01));
  return v;
}

} // namespace tl
