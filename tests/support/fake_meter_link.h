#pragma once

// A meter link that answers at once from what the test set: the meters a
// search finds and the records a read receives.

#include "meter_link/meter_link.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QStringList>
#include <optional>
#include <utility>

namespace tl::test {

class FakeMeterLink : public MeterLink {
public:
  QList<std::pair<QString, QString>> meters; // (name, address) found by search()
  QList<QByteArray> records;                 // received by read()
  QDateTime received = QDateTime::currentDateTime();
  QString error;         // read() ends with this reason; empty: ends well
  bool holdRead = false; // read() stays connected until finishRead()
  QStringList calls;     // "search", "read AA:…", "cancel"

  void search() override {
    calls << QStringLiteral("search");
    for (const auto &[name, address] : meters) {
      emit meterFound(name, address);
    }
    if (meters.isEmpty()) {
      emit finished(false,
                    FileError{QString(), QStringLiteral("aucun tensiomètre n'a été trouvé")});
    } else {
      emit progress(QStringLiteral("Recherche terminée : choisissez le tensiomètre"));
    }
  }
  void read(const QString &address) override {
    calls << QStringLiteral("read ") + address;
    emit progress(QStringLiteral("Connexion au tensiomètre…"));
    if (!holdRead) {
      finishRead();
    }
  }
  void finishRead() {
    for (const QByteArray &record : records) {
      emit measurementReceived(record, received);
    }
    emit finished(error.isEmpty(), FileError{QString(), error});
  }
  void cancel() override { calls << QStringLiteral("cancel"); }

protected:
  // Its outcomes are sent at once: no timer is ever started.
  bool active() const override { return false; }
  bool collecting() const override { return false; }
  void release() override {}
};

// A 0x2A35 value in mmHg with its time stamp and pulse, and a user ID and
// status bits when given; a value of -1 is sent as NaN.
inline QByteArray MeterRecord(int systolic, int diastolic, int pulse, const QDateTime &at,
                              std::optional<quint8> user = std::nullopt, quint16 status = 0) {
  QByteArray v;
  const auto add16 = [&v](int value) {
    v.append(char(value & 0xFF));
    v.append(char((value >> 8) & 0xFF));
  };
  const auto sfloat = [&](int value) { add16(value < 0 ? 0x07FF : value & 0x0FFF); };
  v.append(char(0x02 | 0x04 | (user ? 0x08 : 0) | (status ? 0x10 : 0)));
  sfloat(systolic);
  sfloat(diastolic);
  sfloat(-1); // mean arterial pressure, not read
  add16(at.date().year());
  for (int part : {at.date().month(), at.date().day(), at.time().hour(), at.time().minute(),
                   at.time().second()}) {
    v.append(char(part));
  }
  sfloat(pulse);
  if (user) {
    v.append(char(*user));
  }
  if (status) {
    add16(status);
  }
  return v;
}

} // namespace tl::test
