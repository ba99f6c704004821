// Readings in and out: the CSV export.
#include "fakes.h"
#include "readings.h"

#include "exchange/csv_export.h"
#include "measurements/period_list_model.h"

#include <QTest>

using namespace tl;

class TestExchange : public QObject {
  Q_OBJECT

private slots:
  void fieldQuoting_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("plain") << "128" << QByteArray("128");
    QTest::newRow("accents stay UTF-8") << "Soirée" << QByteArray("Soir\xC3\xA9\x65");
    QTest::newRow("separator") << "a;b" << QByteArray("\"a;b\"");
    QTest::newRow("quote doubled") << "dit \"oui\"" << QByteArray("\"dit \"\"oui\"\"\"");
    QTest::newRow("line feed") << "a\nb" << QByteArray("\"a\nb\"");
    QTest::newRow("carriage return") << "a\rb" << QByteArray("\"a\rb\"");
    QTest::newRow("comma needs nothing") << "1,5" << QByteArray("1,5");
    QTest::newRow("empty") << "" << QByteArray();
  }
  void fieldQuoting() {
    QFETCH(QString, text);
    QFETCH(QByteArray, written);
    QCOMPARE(CsvField(text), written);
  }

  // Every list, by date and time whatever the period; the header, the
  // byte-order mark and CR LF; a cell that is no date comes last as it stands.
  void exportWholeLogbookAndRange() {
    PeriodLists lists;
    lists.list(DayPeriod::Soir).append(test::MakeReading("20:00", 128, 82, 71, "02/03/2026"));
    lists.list(DayPeriod::Matin).append(test::MakeReading("07:00", 131, 84, 66, "02/03/2026"));
    lists.list(DayPeriod::Nuit).append(test::MakeReading("03:00", 118, 76, 60, "03/03/2026"));
    lists.list(DayPeriod::Matin)
        .append(test::CellsReading({"hier", "07:30", "12;0", "80", "70", "x"}));
    lists.list(DayPeriod::Jour).append(test::MakeReading("14:00", 150, 95, 80, "01/03/2026"));
    const QByteArray normal = "La systole de 128 mmHg et la diastole de 82 mmHg, indiquent une "
                              "Pression art\xC3\xA9rielle normale";

    qsizetype count = 0;
    const QByteArray all = ExportCsv(lists, std::nullopt, std::nullopt, &count);
    QCOMPARE(count, qsizetype(5));
    const QList<QByteArray> lines = all.split('\n');
    QCOMPARE(lines[0], QByteArray("\xEF\xBB\xBF"
                                  "Date;Heure;P\xC3\xA9riode;Systolique;Diastolique;Pouls;"
                                  "Diagnostic\r"));
    QVERIFY(lines[1].startsWith("2026-03-01;14:00;Jour;150;95;80;"));
    QVERIFY(lines[2].startsWith("2026-03-02;07:00;Matin;131;84;66;"));
    QCOMPARE(lines[3], "2026-03-02;20:00;Soir;128;82;71;" + normal + "\r");
    QVERIFY(lines[4].startsWith("2026-03-03;03:00;Nuit;"));
    QCOMPARE(lines[5], QByteArray("hier;07:30;Matin;\"12;0\";80;70;x\r"));
    QCOMPARE(lines[6], QByteArray());
    QCOMPARE(all.count("\r\n"), 6);

    const QByteArray range = ExportCsv(lists, QDate(2026, 3, 2), QDate(2026, 3, 2), &count);
    QCOMPARE(count, qsizetype(2));
    QCOMPARE(range.split('\n').size(), 4); // header, two rows, nothing after the last CR LF
  }
};

QTEST_MAIN(TestExchange)
#include "tst_exchange.moc"
