// The import's formats: which one a file's first bytes are taken for, and
// readings filed in date and time order among those already in a list.
#include "fakes.h"
#include "readings.h"

#include "exchange/import_format.h"
#include "logbook/logbook.h"
#include "measurements/period_list_model.h"

#include <QFile>
#include <QTest>

using namespace tl;

namespace {

// "07:15 14/03" for each reading of `list`, in its order.
QStringList Times(const PeriodListModel &list) {
  QStringList texts;
  for (const Reading &r : list.readings()) {
    texts << r[Reading::Time] + u' ' + r[Reading::Date].left(5);
  }
  return texts;
}

// Readings from "07:15 14/03" texts (year 2026), or cells as they stand
// ("?" for a date that is no date).
std::vector<Reading> ReadingsOf(const QStringList &texts) {
  std::vector<Reading> readings;
  for (const QString &text : texts) {
    const QStringList parts = text.split(u' ');
    const QString date =
        parts[1] == u"?" ? QStringLiteral("?") : parts[1] + QStringLiteral("/2026");
    readings.push_back(test::MakeReading(parts[0], 130, 80, 70, date));
  }
  return readings;
}

} // namespace

class TestImportFormat : public QObject {
  Q_OBJECT
private slots:
  void sniff_data();
  void sniff();
  void filedInTimeOrder_data();
  void filedInTimeOrder();
  void importFileFilesInOrder();
};

void TestImportFormat::sniff_data() {
  QTest::addColumn<QByteArray>("bytes");
  QTest::addColumn<QString>("format"); // empty: none
  const QString csv = QStringLiteral("CSV"), fhir = QStringLiteral("FHIR R4 (JSON)"),
                apple = QStringLiteral("Apple Santé");
  QTest::newRow("csv") << QByteArray("Date;Heure;Sys;Dia;Pouls\n03/03/2026;07:05;131;84;66\n")
                       << csv;
  QTest::newRow("csv with a brace in a note")
      << QByteArray("Date,Time,SYS,DIA,Pulse,Note\n2026-03-03,07:05,131,84,66,{ok}\n") << csv;
  QTest::newRow("csv with markup in a cell")
      << QByteArray("Date;Heure;Sys;Dia;Pouls;Remarque\n03/03/2026;07:05;131;84;66;<b>\n") << csv;
  QTest::newRow("utf-16 table") << QByteArray("\xFF\xFE"
                                              "D\0a\0t\0e\0\t\0",
                                              12)
                                << csv;
  QTest::newRow("empty file") << QByteArray() << csv;
  QTest::newRow("fhir bundle") << QByteArray("\xEF\xBB\xBF {\"resourceType\": \"Bundle\"}") << fhir;
  QTest::newRow("json of another kind") << QByteArray("{\"steps\": 3}") << fhir;
  QTest::newRow("json array") << QByteArray("[{\"systolic\": 120}]") << QString();
  QTest::newRow("apple zip") << QByteArray("PK\x03\x04\x14\0\0\0", 8) << apple;
  QTest::newRow("apple xml") << QByteArray("<?xml version=\"1.0\"?>\n<!DOCTYPE HealthData [")
                             << apple;
  QTest::newRow("other xml") << QByteArray("<?xml version=\"1.0\"?>\n<ClinicalDocument>") << apple;
  QTest::newRow("png picture") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) << QString();
}

void TestImportFormat::sniff() {
  QFETCH(QByteArray, bytes);
  QFETCH(QString, format);
  const ImportFormatUnit *found = ImportFormatOf(bytes);
  QCOMPARE(found ? found->name : QString(), format);
}

void TestImportFormat::filedInTimeOrder_data() {
  QTest::addColumn<QStringList>("list");
  QTest::addColumn<QStringList>("imported");
  QTest::addColumn<QStringList>("filed");
  QTest::newRow("all after the list")
      << QStringList{"07:00 01/03", "07:00 02/03"} << QStringList{"07:10 04/03", "07:05 03/03"}
      << QStringList{"07:00 01/03", "07:00 02/03", "07:05 03/03", "07:10 04/03"};
  QTest::newRow("before and between")
      << QStringList{"07:00 02/03", "07:00 04/03"} << QStringList{"07:00 03/03", "06:59 01/03"}
      << QStringList{"06:59 01/03", "07:00 02/03", "07:00 03/03", "07:00 04/03"};
  QTest::newRow("same minute after the reading there")
      << QStringList{"07:00 02/03", "07:30 02/03"} << QStringList{"07:00 02/03"}
      << QStringList{"07:00 02/03", "07:00 02/03", "07:30 02/03"};
  QTest::newRow("list out of order kept as it stands")
      << QStringList{"07:00 05/03", "07:00 01/03"} << QStringList{"07:00 03/03"}
      << QStringList{"07:00 03/03", "07:00 05/03", "07:00 01/03"};
  QTest::newRow("undated reading stays in place")
      << QStringList{"07:00 01/03", "07:00 ?", "07:00 05/03"} << QStringList{"07:00 03/03"}
      << QStringList{"07:00 01/03", "07:00 ?", "07:00 03/03", "07:00 05/03"};
}

void TestImportFormat::filedInTimeOrder() {
  QFETCH(QStringList, list);
  QFETCH(QStringList, imported);
  QFETCH(QStringList, filed);
  PeriodListModel model(DayPeriod::Matin);
  model.setReadings(ReadingsOf(list));
  model.setChecked(0, true);
  const Reading firstThere = model.reading(0);
  model.mergeReadings(ReadingsOf(imported));
  QCOMPARE(Times(model), filed);
  // The check mark stays with its reading, on no other.
  qsizetype checked = 0;
  for (qsizetype row = 0; row < model.size(); ++row) {
    if (model.isChecked(row)) {
      ++checked;
      QVERIFY(model.reading(row) == firstThere);
    }
  }
  QCOMPARE(checked, qsizetype(1));
}

// Through the plan and ImportFile as the window and the command line go:
// a CSV file out of order lands in date order among the morning's readings.
void TestImportFormat::importFileFilesInOrder() {
  test::TempHome home;
  QString patient = QStringLiteral("Anne");
  StoragePaths paths = SetupStorage(home.path(), patient);
  Logbook book(patient, paths);
  book.list(DayPeriod::Matin).append(test::MakeReading("07:15", 131, 84, 66, "02/03/2026"));
  const QString path = home.path() + QStringLiteral("releves.csv");
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write("Date;Heure;Systolique;Diastolique;Pouls\n"
             "03/03/2026;07:20;128;80;64\n"
             "01/03/2026;07:10;125;79;61\n");
  file.close();
  const ImportPlan plan = PlanImport(path);
  QVERIFY(!plan.error);
  QCOMPARE(plan.format->id, ImportFormat::Csv);
  const ImportOutcome outcome = ImportFile(book, path, plan);
  QCOMPARE(outcome.imported, qint64(2));
  QCOMPARE(Times(book.list(DayPeriod::Matin)),
           (QStringList{"07:10 01/03", "07:15 02/03", "07:20 03/03"}));
}

QTEST_GUILESS_MAIN(TestImportFormat)
#include "tst_import_format.moc"
