// Readings from a blood-pressure meter: each Blood Pressure Measurement
// value as it is read, and a transfer's records filed by the rules of the
// import.
#include "readings.h"

#include "logbook/logbook.h"
#include "measurements/period_list_model.h"
#include "meter/blood_pressure.h"
#include "meter/meter_import.h"
#include "meter/meter_pending.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace tl;

namespace {

// The computer received every record at 07:15 local time.
const QDateTime kReceived(QDate(2026, 3, 2), QTime(7, 15));

const QString kClock =
    QStringLiteral("Heure de réception : l'horloge du tensiomètre n'a pas été utilisée.");

// Bytes written as hexadecimal pairs, blanks between them.
QByteArray Hex(const QString &text) { return QByteArray::fromHex(text.toLatin1()); }

// "02/03/2026 07:10 120/80/71", or empty for no reading.
QString ReadingText(const MeterReading &r) {
  if (!r.ok()) {
    return {};
  }
  return QStringLiteral("%1 %2:%3 %4/%5/%6")
      .arg(r.date.toString(u"dd/MM/yyyy"))
      .arg(r.minutes / 60, 2, 10, QChar(u'0'))
      .arg(r.minutes % 60, 2, 10, QChar(u'0'))
      .arg(r.systolic)
      .arg(r.diastolic)
      .arg(r.pulse);
}

// "Matin 02/03/2026 07:10 120/80/71" for each reading of `lists` or of the
// import's accepted readings, period by period.
QStringList ListTexts(const std::array<const std::vector<Reading> *, 4> &lists) {
  QStringList texts;
  for (DayPeriod p : kAllPeriods) {
    for (const Reading &r : *lists[size_t(PeriodIndex(p))]) {
      texts << QStringLiteral("%1 %2 %3 %4/%5/%6")
                   .arg(PeriodInfo(p).name, r[Reading::Date], r[Reading::Time],
                        r[Reading::Systolic], r[Reading::Diastolic], r[Reading::Pulse]);
    }
  }
  return texts;
}

// Fills the lists from texts "Matin 02/03/2026 07:10 120/80/71".
void Fill(PeriodLists &lists, const QStringList &texts) {
  for (const QString &text : texts) {
    const QStringList parts = text.split(u' ');
    const QStringList values = parts[3].split(u'/');
    for (DayPeriod p : kAllPeriods) {
      if (PeriodInfo(p).name == parts[0]) {
        lists.list(p).append(test::MakeReading(parts[2], values[0].toInt(), values[1].toInt(),
                                               values[2].toInt(), parts[1]));
      }
    }
  }
}

} // namespace

class TestMeter : public QObject {
  Q_OBJECT
private slots:
  void decode_data();
  void decode();
  void cuffPressureAndFeatures();
  void import_data();
  void import();
  void appendSetsContexts();
  void trialRecordsKept();
};

void TestMeter::decode_data() {
  QTest::addColumn<QString>("hex");
  QTest::addColumn<QString>("reading"); // empty when refused
  QTest::addColumn<QString>("reason");
  QTest::addColumn<QString>("flags");
  QTest::addColumn<QString>("note");
  QTest::addColumn<int>("user"); // -1: none given

  // Flags, systolic, diastolic, mean arterial pressure, then each field its
  // flag announces: time stamp (02/03/2026 07:10:30), pulse, user, status.
  const QString mmHg = QStringLiteral("78 00 50 00 5D 00");     // 120, 80, 93
  const QString stamp = QStringLiteral("EA 07 03 02 07 0A 1E"); // 2026-03-02 07:10:30
  const QString pulse = QStringLiteral("47 00");                // 71
  const auto row = [](const char *name, const QString &hex, const QString &reading,
                      const QString &reason, const QString &flags = {}, const QString &note = {},
                      int user = -1) {
    QTest::newRow(name) << hex << reading << reason << flags << note << user;
  };
  const QString at0710 = QStringLiteral("02/03/2026 07:10 120/80/71");
  const QString at0715 = QStringLiteral("02/03/2026 07:15 120/80/71");

  // Units, values and rounding.
  row("mmHg, time stamp, pulse", "06 " + mmHg + ' ' + stamp + ' ' + pulse, at0710, {});
  row("no time stamp: reception", "04 " + mmHg + ' ' + pulse, at0715, {}, {}, kClock);
  row("no pulse", "02 " + mmHg + ' ' + stamp, {}, QStringLiteral("pouls absent"));
  row("kPa × 7.50062, rounded", "07 BA F0 72 F0 00 F1 " + stamp + ' ' + pulse, // 18.6, 11.4 kPa
      QStringLiteral("02/03/2026 07:10 140/86/71"), {});
  row("tenths half away from zero", "06 B5 F4 24 F3 00 00 " + stamp + " C1 F2", // 120.5, 80.4, 70.5
      QStringLiteral("02/03/2026 07:10 121/80/71"), {});
  row("diastolic NRes", "04 78 00 00 08 5D 00 " + pulse, {},
      QStringLiteral("diastolique hors de la résolution du tensiomètre"));
  row("systolic +INF", "04 FE 07 50 00 5D 00 " + pulse, {},
      QStringLiteral("systolique au-delà de la plage du tensiomètre"));
  row("diastolic -INF", "04 78 00 02 08 5D 00 " + pulse, {},
      QStringLiteral("diastolique en deçà de la plage du tensiomètre"));
  row("pulse reserved", "04 " + mmHg + " 01 08", {}, QStringLiteral("pouls illisible"));
  row("pulse NaN", "04 " + mmHg + " FF 07", {}, QStringLiteral("pouls non mesuré"));
  row("mean pressure NaN is fine", "06 78 00 50 00 FF 07 " + stamp + ' ' + pulse, at0710, {});
  row("Err: NaN, no status", "04 FF 07 FF 07 FF 07 FF 07", {},
      QStringLiteral("mesure en erreur sur le tensiomètre"));
  row("Err with movement", "14 FF 07 FF 07 FF 07 FF 07 01 00", {},
      QStringLiteral("mesure en erreur sur le tensiomètre (mouvement)"),
      QStringLiteral("mouvement"));

  // Lengths against the flags.
  row("empty", "", {}, QStringLiteral("relevé vide"));
  row("flags only", "04", {}, QStringLiteral("relevé tronqué"));
  row("time stamp cut", "06 " + mmHg + " EA 07 03 02 07 0A", {}, QStringLiteral("relevé tronqué"));
  row("user ID", "0E " + mmHg + ' ' + stamp + ' ' + pulse + " 02", at0710, {}, {}, {}, 2);
  row("unknown user", "0E " + mmHg + ' ' + stamp + ' ' + pulse + " FF", at0710, {}, {}, {}, 255);
  row("user ID without its flag", "06 " + mmHg + ' ' + stamp + ' ' + pulse + " 03", at0710, {}, {},
      {}, 3);
  row("one byte more beside a status", "16 " + mmHg + ' ' + stamp + ' ' + pulse + " 00 00 03", {},
      QStringLiteral("relevé trop long"));
  row("two bytes more", "06 " + mmHg + ' ' + stamp + ' ' + pulse + " 03 04", {},
      QStringLiteral("relevé trop long"));
  row("user flag and one byte more", "0E " + mmHg + ' ' + stamp + ' ' + pulse + " 02 03", {},
      QStringLiteral("relevé trop long"));

  // The meter's clock.
  row("10 minutes ahead", "06 " + mmHg + " EA 07 03 02 07 19 00 " + pulse,
      QStringLiteral("02/03/2026 07:25 120/80/71"), {});
  row("11 minutes ahead", "06 " + mmHg + " EA 07 03 02 07 1A 00 " + pulse, at0715, {}, {}, kClock);
  row("1999", "06 " + mmHg + " CF 07 0C 1F 17 3B 00 " + pulse, at0715, {}, {}, kClock);
  row("reset clock, 01/01/2000 00:00", "06 " + mmHg + " D0 07 01 01 00 00 00 " + pulse, at0715, {},
      {}, kClock);
  row("reset clock, 01/01/2010 00:00:42", "06 " + mmHg + " DA 07 01 01 00 00 2A " + pulse, at0715,
      {}, {}, kClock);
  row("2000, a minute later", "06 " + mmHg + " D0 07 01 01 00 01 00 " + pulse,
      QStringLiteral("01/01/2000 00:01 120/80/71"), {});
  row("unknown date", "06 " + mmHg + " 00 00 00 00 07 0A 00 " + pulse, at0715, {}, {}, kClock);
  row("30 February", "06 " + mmHg + " EA 07 02 1E 07 0A 00 " + pulse, at0715, {}, {}, kClock);
  row("year big-endian", "06 " + mmHg + " 07 EA 03 02 07 0A 1E " + pulse, at0710, {});

  // The status.
  row("status to flags", "16 " + mmHg + ' ' + stamp + ' ' + pulse + " 07 00", at0710, {},
      QStringLiteral("pouls irrégulier, mouvement, brassard mal placé"));
  row("pulse above, position", "16 " + mmHg + ' ' + stamp + ' ' + pulse + " 28 00", at0710, {}, {},
      QStringLiteral("Pouls au-dessus de la plage du tensiomètre. Position de mesure incorrecte "
                     "selon le tensiomètre."));
  row("pulse below, no clock", "14 " + mmHg + ' ' + pulse + " 10 00", at0715, {}, {},
      kClock + QStringLiteral(" Pouls au-dessous de la plage du tensiomètre."));
  row("status big-endian", "16 " + mmHg + ' ' + stamp + ' ' + pulse + " 00 04", at0710, {},
      QStringLiteral("pouls irrégulier"));
  row("reserved bits beside defined ones", "16 " + mmHg + ' ' + stamp + ' ' + pulse + " 01 04",
      at0710, {}, QStringLiteral("mouvement"));
}

void TestMeter::decode() {
  QFETCH(QString, hex);
  QFETCH(QString, reading);
  QFETCH(QString, reason);
  QFETCH(QString, flags);
  QFETCH(QString, note);
  QFETCH(int, user);
  const MeterReading r = ReadMeterRecord(Hex(hex), kReceived);
  QCOMPARE(r.reason, reason);
  QCOMPARE(ReadingText(r), reading);
  QCOMPARE(r.context.flagsText(), flags);
  QCOMPARE(r.context.note, note);
  QCOMPARE(r.user ? int(*r.user) : -1, user);
  if (r.ok()) {
    QCOMPARE(r.meterClock, !note.startsWith(kClock));
  }
}

void TestMeter::cuffPressureAndFeatures() {
  // 0x2A36: the cuff pressure in the systolic field, the others NaN.
  QCOMPARE(IntermediateCuffPressure(Hex("00 96 00 FF 07 FF 07")), std::optional<qint64>(150));
  QCOMPARE(IntermediateCuffPressure(Hex("01 90 F0 FF 07 FF 07")), std::optional<qint64>(108));
  QCOMPARE(IntermediateCuffPressure(Hex("00 FF 07 FF 07")), std::nullopt);
  // 0x2A49: irregular pulse detection and multiple bonds.
  BloodPressureFeatures features;
  features.irregularPulse = features.multipleBonds = true;
  QCOMPARE(ParseBloodPressureFeatures(Hex("24 00")), features);
  QCOMPARE(ParseBloodPressureFeatures(Hex("24")), std::nullopt);
}

void TestMeter::import_data() {
  QTest::addColumn<QStringList>("existing");
  QTest::addColumn<QStringList>("records");
  QTest::addColumn<int>("user"); // -1: every user
  QTest::addColumn<QStringList>("accepted");
  QTest::addColumn<QString>("summary");

  const QString head = QStringLiteral("1E 78 00 50 00 5D 00 EA 07 03 02 07 0A 1E 47 00"); // 07:10
  QTest::newRow("filed and refused")
      << QStringList{} << QStringList{head + " 01 00 00", "04 FF 07 50 00 5D 00 47 00"} << -1
      << QStringList{"Matin 02/03/2026 07:10 120/80/71"}
      << QStringLiteral("1 relevé importé, 0 doublon ignoré, 1 ligne rejetée.\n"
                        "relevé 2 : systolique non mesurée");
  QTest::newRow("duplicates: already there, sent twice")
      << QStringList{"Matin 02/03/2026 07:10 120/80/71"}
      << QStringList{head + " 01 00 00", head + " 01 00 00",
                     "06 82 00 50 00 5D 00 EA 07 03 02 06 00 00 47 00",
                     "06 82 00 50 00 5D 00 EA 07 03 02 06 00 00 47 00"}
      << -1 << QStringList{"Nuit 02/03/2026 06:00 130/80/71"}
      << QStringLiteral("1 relevé importé, 3 doublons ignorés, 0 ligne rejetée.");
  QTest::newRow("one user of the meter")
      << QStringList{}
      << QStringList{head + " 01 00 00", "1E 82 00 50 00 5D 00 EA 07 03 02 07 0A 1E 47 00 02 00 00",
                     head + " FF 00 00", "06 8C 00 50 00 5D 00 EA 07 03 02 07 0A 1E 47 00",
                     "1C FF 07 FF 07 FF 07 FF 07 02 00 00"}
      << 1 << QStringList{"Matin 02/03/2026 07:10 120/80/71", "Matin 02/03/2026 07:10 140/80/71"}
      << QStringLiteral("2 relevés importés, 0 doublon ignoré, 0 ligne rejetée.\n"
                        "3 relevés d'un autre utilisateur du tensiomètre ignorés.");
  QTest::newRow("dated at reception, implausible values")
      << QStringList{} << QStringList{"04 78 00 50 00 5D 00 47 00", "04 FF 17 50 00 5D 00 47 00"}
      << -1 << QStringList{"Matin 02/03/2026 07:15 120/80/71"}
      << QStringLiteral("1 relevé importé, 0 doublon ignoré, 1 ligne rejetée.\n"
                        "1 relevé daté à sa réception : l'horloge du tensiomètre n'a pas été "
                        "utilisée.\n"
                        "relevé 2 : valeurs invraisemblables");
}

void TestMeter::import() {
  QFETCH(QStringList, existing);
  QFETCH(QStringList, records);
  QFETCH(int, user);
  QFETCH(QStringList, accepted);
  QFETCH(QString, summary);
  PeriodLists lists;
  Fill(lists, existing);
  MeterImport meter(lists, user < 0 ? std::nullopt : std::optional<quint8>(quint8(user)));
  for (const QString &record : records) {
    meter.add(Hex(record), kReceived);
  }
  const ImportSink &done = meter.finish();
  QCOMPARE(ListTexts({&done.accepted(DayPeriod::Matin), &done.accepted(DayPeriod::Jour),
                      &done.accepted(DayPeriod::Soir), &done.accepted(DayPeriod::Nuit)}),
           accepted);
  QCOMPARE(meter.finish().summary(), summary);
}

void TestMeter::appendSetsContexts() {
  QString patient = QStringLiteral("Anne");
  StoragePaths paths;
  Logbook book(patient, paths);
  const Reading typed = test::MakeReading("07:10", 120, 80, 71, "02/03/2026");
  book.list(DayPeriod::Matin).append(typed);
  ReadingContext noted;
  noted.note = QStringLiteral("Après le café.");
  noted.set(ContextFlag::Medication, true);
  book.contexts().set(DayPeriod::Matin, typed, noted);
  // The reading typed, now sent with an irregular pulse; a new one with a
  // misplaced cuff and no time stamp.
  const std::vector<MeterIndication> records = {
      {Hex("1E 78 00 50 00 5D 00 EA 07 03 02 07 0A 1E 47 00 01 04 00"), kReceived},
      {Hex("14 82 00 50 00 5D 00 47 00 02 00"), kReceived}};

  ImportOutcome dry = AppendMeterRecords(book, records, std::nullopt, true);
  QCOMPARE(dry.imported, 1);
  QCOMPARE(dry.duplicates, 1);
  QVERIFY(!dry.appended);
  QCOMPARE(*book.contexts().find(DayPeriod::Matin, typed), noted);

  const ImportOutcome outcome = AppendMeterRecords(book, records);
  QCOMPARE(outcome.summary, dry.summary);
  QVERIFY(outcome.appended);
  QCOMPARE(book.list(DayPeriod::Matin).size(), 2);
  ReadingContext both = noted;
  both.set(ContextFlag::Irregular, true);
  QCOMPARE(*book.contexts().find(DayPeriod::Matin, typed), both);
  const ReadingContext *cuff =
      book.contexts().find(DayPeriod::Matin, book.list(DayPeriod::Matin).reading(1));
  QVERIFY(cuff);
  QCOMPARE(cuff->flagsText(), QStringLiteral("brassard mal placé"));
  QCOMPARE(cuff->note, kClock);
}

// What a trial received is kept, read back whatever its count line says,
// and comes first at the next reading; a record sent again is not doubled.
void TestMeter::trialRecordsKept() {
  QTemporaryDir dir;
  const QString path = PendingMeterRecordsPath(dir.path() + u'/', QStringLiteral("Anne"));
  QCOMPARE(QFileInfo(path).fileName(), QStringLiteral("ARTL_Tensiometre_Anne.txt"));
  const QDateTime at(QDate(2026, 3, 2), QTime(7, 15, 0, 250), Qt::OffsetFromUTC, 3600);
  const QList<MeterIndication> first = {{Hex("04 78 00 50 00 5D 00 47 00"), at},
                                        {Hex("04 80 00 52 00 5D 00 48 00"), at.addSecs(2)}};
  FileError error;
  QCOMPARE(WithPendingMeterRecords(path, first, &error).size(), 2); // no file yet
  QVERIFY(!error);
  const QByteArray bytes = SerializePendingMeterRecords(first);
  QCOMPARE(bytes, QByteArray("2\r\n2026-03-02T07:15:00.250+01:00\r\n04780050005d004700\r\n"
                             "2026-03-02T07:15:02.250+01:00\r\n04800052005d004800\r\n"));
  // Kept with a count line that says 0: both records are read all the same.
  QVERIFY(!WriteWholeFile(path, QByteArray(bytes).replace(0, 1, "0")));
  const QList<MeterIndication> again = {first[1], {Hex("04 82 00 54 00 5D 00 49 00"), at}};
  const QList<MeterIndication> all = WithPendingMeterRecords(path, again, &error);
  QVERIFY(!error);
  QCOMPARE(all.size(), 3);
  QCOMPARE(all[0].value, first[0].value);
  QCOMPARE(all[0].received, first[0].received);
  QCOMPARE(all[1].value, first[1].value);
  QCOMPARE(all[2].value, again[1].value);
  // A broken pair is skipped, the rest read.
  QCOMPARE(ParsePendingMeterRecords("9\r\nnot a time\r\n04\r\n" + bytes.mid(3)).size(), 2);
}

QTEST_GUILESS_MAIN(TestMeter)
#include "tst_meter.moc"
