// "tensiolog-cli tensiometre" end to end through Qt Bluetooth's BlueZ
// backend: a private dbus-daemon stands for the system bus and the fake BlueZ
// of tests/bluetooth plays the meter.
#include "cli/cli.h"
#include "platform/instance_lock.h"

#include "../bluetooth/private_bus.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

using namespace tl;

namespace {

// One 0x2A35 value in whole mmHg with a time stamp and the pulse, and the
// status "irregular pulse" when asked (flags 0x06 or 0x16).
QString Record(int sys, int dia, int day, int hour, int minute, int pulse, bool irregular) {
  QByteArray v;
  auto u16 = [&v](int x) { v.append(char(x & 0xFF)).append(char((x >> 8) & 0xFF)); };
  v.append(char(irregular ? 0x16 : 0x06));
  u16(sys);
  u16(dia);
  u16((sys + 2 * dia) / 3);
  u16(2026);
  v.append(char(11)).append(char(day)).append(char(hour)).append(char(minute)).append(char(0));
  u16(pulse);
  if (irregular)
    u16(0x0004);
  return QString::fromLatin1(v.toHex());
}

} // namespace

class TestCliMeter : public QObject {
  Q_OBJECT

private slots:
  void initTestCase();
  void tensiometre_data();
  void tensiometre();
  void trialThenReading();
  void unreadableKeptFileLeavesTheMeterAlone();

private:
  test::TestBus bus_;
};

void TestCliMeter::initTestCase() {
  if (const QString missing = bus_.start(); !missing.isEmpty()) {
    QSKIP(qPrintable(missing));
  }
  QVERIFY2(!bus_.address().isEmpty(), bus_.errors().constData());
}

void TestCliMeter::tensiometre_data() {
  QTest::addColumn<QJsonObject>("scenario");
  QTest::addColumn<QStringList>("options"); // after --patient Anne --dossier
  QTest::addColumn<bool>("running");        // the program holds the data folder
  QTest::addColumn<int>("code");
  QTest::addColumn<QStringList>("out"); // lines the output holds, in order
  QTest::addColumn<QString>("err");
  QTest::addColumn<QString>("notes"); // ARTL_Notes_Anne.txt holds it; "" when not written

  const QJsonArray two = {Record(128, 82, 5, 7, 30, 71, true),
                          Record(141, 88, 5, 19, 10, 64, false)};
  const QStringList lines = {"05/11/2026 07:30 : 128/82, pouls 71 : pouls irrégulier",
                             "05/11/2026 19:10 : 141/88, pouls 64"};
  QTest::newRow("two readings saved, the flag in the notes")
      << QJsonObject{{"records", two}} << QStringList{} << false << 0 << lines << ""
      << "pouls irrégulier";
  QTest::newRow("dry run, remembered meter: nothing filed, the records kept")
      << QJsonObject{{"known", true}, {"records", two}}
      << QStringList{"--dry-run", "--appareil", "a4:c1:38:00:00:01"} << false << 0
      << (lines + QStringList{"Essai : aucun relevé n'a été classé. Le tensiomètre n'envoie ses "
                              "mesures qu'une fois : ce qu'il a envoyé est gardé dans "})
      << ""
      << "";
  QTest::newRow("adapter off") << QJsonObject{{"powered", false}} << QStringList{} << false << 2
                               << QStringList{}
                               << "Le Bluetooth est désactivé : activez-le puis recommencez.\n"
                               << "";
  QTest::newRow("program running")
      << QJsonObject{{"records", two}} << QStringList{} << true << 3 << QStringList{}
      << "Tensiolog est ouvert : fermez-le avant d'importer des relevés, sinon il remplacera "
         "les fichiers en se fermant.\n"
      << "";
}

void TestCliMeter::tensiometre() {
  QFETCH(QJsonObject, scenario);
  QFETCH(QStringList, options);
  QFETCH(bool, running);
  QFETCH(int, code);
  QFETCH(QStringList, out);
  QFETCH(QString, err);
  QFETCH(QString, notes);

  QTemporaryDir folder;
  QVERIFY(folder.isValid());
  const QString data = folder.path() + u'/';
  QProcess fake;
  const auto endFake = qScopeGuard([&fake] { test::End(fake); });
  QVERIFY(bus_.startFake(fake, QStringLiteral(TENSIOLOG_FAKE_BLUEZ), scenario,
                         folder.filePath(QStringLiteral("fake.log"))));
  QLockFile program(DataFolderLockPath(data));
  if (running)
    QVERIFY(program.tryLock(0));

  QString printed, said;
  QTextStream outStream(&printed), errStream(&said);
  const int exit =
      RunCli(QStringList{"tensiometre", "--patient", "Anne", "--dossier", data} + options,
             outStream, errStream);
  outStream.flush();
  errStream.flush();
  QCOMPARE(said, err);
  QCOMPARE(exit, code);
  qsizetype at = 0;
  for (const QString &line : out) {
    at = printed.indexOf(line, at);
    QVERIFY2(at >= 0, qPrintable(line + u'\n' + printed));
  }
  QFile file(data + QStringLiteral("ARTL_Notes_Anne.txt"));
  QCOMPARE(file.exists(), !notes.isEmpty());
  if (!notes.isEmpty()) {
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromUtf8(file.readAll()).contains(notes));
    QVERIFY(QFileInfo::exists(data + QStringLiteral("ARTL_Matin_Anne.txt")));
  } else {
    QVERIFY(!QFileInfo::exists(data + QStringLiteral("ARTL_Matin_Anne.txt")));
  }
}

// A trial keeps what the meter sent; the next reading, from a meter that
// has nothing more to send, files it, and the kept file goes.
void TestCliMeter::trialThenReading() {
  QTemporaryDir folder;
  QVERIFY(folder.isValid());
  const QString data = folder.path() + u'/';
  const QString kept = data + QStringLiteral("ARTL_Tensiometre_Anne.txt");
  const QJsonArray two = {Record(128, 82, 5, 7, 30, 71, true),
                          Record(141, 88, 5, 19, 10, 64, false)};
  for (const QJsonArray &records : {two, QJsonArray()}) {
    QProcess fake;
    const auto endFake = qScopeGuard([&fake] { test::End(fake); });
    QVERIFY(bus_.startFake(fake, QStringLiteral(TENSIOLOG_FAKE_BLUEZ),
                           QJsonObject{{"known", true}, {"records", records}},
                           folder.filePath(QStringLiteral("fake.log"))));
    const bool trial = !records.isEmpty();
    QString printed, said;
    QTextStream outStream(&printed), errStream(&said);
    QStringList args = {"tensiometre", "--patient",        "Anne", "--dossier", data,
                        "--appareil",  "a4:c1:38:00:00:01"};
    if (trial) {
      args << "--dry-run";
    }
    const int exit = RunCli(args, outStream, errStream);
    outStream.flush();
    errStream.flush();
    QCOMPARE(said, QString());
    QCOMPARE(exit, 0);
    QVERIFY2(printed.contains(QStringLiteral("05/11/2026 19:10 : 141/88, pouls 64")),
             qPrintable(printed));
    QCOMPARE(QFileInfo::exists(kept), trial);
    QCOMPARE(QFileInfo::exists(data + QStringLiteral("ARTL_Matin_Anne.txt")), !trial);
  }
  QFile notes(data + QStringLiteral("ARTL_Notes_Anne.txt"));
  QVERIFY(notes.open(QIODevice::ReadOnly));
  QVERIFY(notes.readAll().contains("pouls irrégulier"));
}

// A kept file that cannot be read is refused before the meter is reached:
// the meter sends its records once, and they would be lost with the refusal.
void TestCliMeter::unreadableKeptFileLeavesTheMeterAlone() {
  QTemporaryDir folder;
  QVERIFY(folder.isValid());
  const QString data = folder.path() + u'/';
  QVERIFY(QDir().mkpath(data + QStringLiteral("ARTL_Tensiometre_Anne.txt")));
  const QString log = folder.filePath(QStringLiteral("fake.log"));
  QProcess fake;
  const auto endFake = qScopeGuard([&fake] { test::End(fake); });
  QVERIFY(bus_.startFake(fake, QStringLiteral(TENSIOLOG_FAKE_BLUEZ),
                         QJsonObject{{"records", QJsonArray{Record(128, 82, 5, 7, 30, 71, true)}}},
                         log));
  QString printed, said;
  QTextStream outStream(&printed), errStream(&said);
  const int exit =
      RunCli({"tensiometre", "--patient", "Anne", "--dossier", data}, outStream, errStream);
  errStream.flush();
  QVERIFY(exit != 0);
  QVERIFY2(said.startsWith(QStringLiteral("Lecture impossible")), qPrintable(said));
  QFile events(log);
  QVERIFY(!events.open(QIODevice::ReadOnly) || !events.readAll().contains("connect"));
}

QTEST_GUILESS_MAIN(TestCliMeter)
#include "tst_cli_meter.moc"
