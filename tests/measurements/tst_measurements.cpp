// Rules and files of the measurement core: parsing, periods, classification,
// the period list model, measurement files and averages.
#include "fakes.h"
#include "readings.h"

#include "common/paths.h"
#include "measurements/averages.h"
#include "measurements/classification.h"
#include "measurements/context_texts.h"
#include "measurements/measurement_file.h"
#include "measurements/parse.h"
#include "measurements/period_list_model.h"
#include "measurements/reading_context.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QTime>
#include <limits>

using namespace tl;

namespace {

const QByteArray kNuitExample = "1\r\n"
                                "14/03/2026\r\n"
                                "05:40\r\n"
                                "128\r\n"
                                "82\r\n"
                                "71\r\n"
                                "La systole de 128 mmHg et la diastole de 82 mmHg, indiquent une "
                                "Pression art\xC3\xA9rielle normale\r\n";

const QString kSentence = QStringLiteral(
    "La systole de 128 mmHg et la diastole de 82 mmHg, indiquent une Pression artérielle normale");

} // namespace

class TestMeasurements : public QObject {
  Q_OBJECT

private slots:
  // The quick look-up of the documents gives what the store gives, for
  // readings of canonical cells and of cells kept as typed ("0120"), of the
  // same list or another, with or without a context; the list model
  // answers from the same store.
  void contextLookupAgreesWithTheStore_data() {
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<int>("period");
    QTest::addColumn<bool>("found");
    const int matin = int(DayPeriod::Matin), soir = int(DayPeriod::Soir);
    QTest::newRow("canonical") << QStringList{"14/03/2026", "08:15", "131", "84", "66"} << matin
                               << true;
    QTest::newRow("other list") << QStringList{"14/03/2026", "08:15", "131", "84", "66"} << soir
                                << false;
    QTest::newRow("other pulse") << QStringList{"14/03/2026", "08:15", "131", "84", "67"} << matin
                                 << false;
    QTest::newRow("other minute") << QStringList{"14/03/2026", "08:16", "131", "84", "66"} << matin
                                  << false;
    QTest::newRow("typed cell") << QStringList{"14/03/2026", "08:15", "0120", "84", "66"} << matin
                                << true;
    QTest::newRow("typed cell, other text")
        << QStringList{"14/03/2026", "08:15", "120", "84", "66"} << matin << false;
    QTest::newRow("typed date") << QStringList{"14/3/2026", "08:15", "131", "84", "66"} << matin
                                << true;
  }
  void contextLookupAgreesWithTheStore() {
    QFETCH(QStringList, cells);
    QFETCH(int, period);
    QFETCH(bool, found);
    ReadingContexts store;
    const ReadingContext irregular{QStringLiteral("après le café"), quint8(ContextFlag::Irregular)};
    for (const QStringList &kept : {QStringList{"14/03/2026", "08:15", "131", "84", "66"},
                                    QStringList{"14/03/2026", "08:15", "0120", "84", "66"},
                                    QStringList{"14/3/2026", "08:15", "131", "84", "66"}}) {
      store.set(DayPeriod::Matin, test::CellsReading(kept), irregular);
    }
    const Reading reading = test::CellsReading(cells);
    const ContextLookup lookup(&store);
    const ReadingContext *quick = lookup.find(DayPeriod(period), reading);
    QCOMPARE(quick, store.find(DayPeriod(period), reading));
    QCOMPARE(quick != nullptr, found);
    QVERIFY(!ContextLookup(nullptr).find(DayPeriod(period), reading));

    PeriodListModel model{DayPeriod(period)};
    model.append(reading);
    model.setContexts(&store);
    QCOMPARE(model.index(0, 0).data(PeriodListModel::ContextRole).toInt(),
             found ? int(ContextFlag::Irregular) | PeriodListModel::kNoteBit : 0);
    QCOMPARE(model.index(0, 5).data(Qt::ToolTipRole).toString(),
             found ? QStringLiteral("Pouls irrégulier\nRemarque : après le café") : QString());
    QCOMPARE(model.index(0, 2).data(Qt::AccessibleDescriptionRole).toString(),
             found ? QStringLiteral("pouls irrégulier ; remarque : après le café") : QString());
  }

  void parseLeadingInteger_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("value");
    QTest::newRow("plain") << "120" << qint64(120);
    QTest::newRow("blank then unit") << " 95 mmHg" << qint64(95);
    QTest::newRow("tabs and blanks") << "\t \t42" << qint64(42);
    QTest::newRow("letters") << "abc" << qint64(0);
    QTest::newRow("empty") << "" << qint64(0);
    QTest::newRow("leading zeros") << "0120" << qint64(120);
    QTest::newRow("plus") << "+7" << qint64(7);
    QTest::newRow("minus") << "-15" << qint64(-15);
    QTest::newRow("sign only") << "-" << qint64(0);
    QTest::newRow("blank after sign") << "- 5" << qint64(0);
    QTest::newRow("hex lower") << "$ff" << qint64(255);
    QTest::newRow("hex upper, stops at G") << "$1AG" << qint64(26);
    QTest::newRow("negative hex") << "-$10" << qint64(-16);
    QTest::newRow("binary") << "%1011" << qint64(11);
    QTest::newRow("binary stops at 2") << "%1021" << qint64(2);
    QTest::newRow("dollar without digits") << "$" << qint64(0);
    QTest::newRow("stops at comma") << "12,5" << qint64(12);
    QTest::newRow("newline is not a blank") << "\n12" << qint64(0);
    QTest::newRow("max") << "9223372036854775807" << std::numeric_limits<qint64>::max();
    QTest::newRow("saturates high") << "9223372036854775808" << std::numeric_limits<qint64>::max();
    QTest::newRow("min") << "-9223372036854775808" << std::numeric_limits<qint64>::min();
    QTest::newRow("saturates low")
        << "-99999999999999999999999" << std::numeric_limits<qint64>::min();
    QTest::newRow("hex saturates") << "$FFFFFFFFFFFFFFFFFF" << std::numeric_limits<qint64>::max();
    QTest::newRow("accented digits are not digits") << "١٢" << qint64(0);
  }
  void parseLeadingInteger() {
    QFETCH(QString, text);
    QFETCH(qint64, value);
    QCOMPARE(ParseLeadingInteger(text), value);
  }

  void saturatingAdd() {
    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    constexpr qint64 kMin = std::numeric_limits<qint64>::min();
    QCOMPARE(SaturatingAdd(kMax, 1), kMax);
    QCOMPARE(SaturatingAdd(kMin, -1), kMin);
    QCOMPARE(SaturatingAdd(kMax, kMin), qint64(-1));
    QCOMPARE(SaturatingAdd(2, 3), qint64(5));
  }

  void periodOfTime_data() {
    QTest::addColumn<QString>("time");
    QTest::addColumn<int>("period");
    const auto row = [](const char *t, DayPeriod p) {
      QTest::newRow(t) << QString::fromLatin1(t) << int(p);
    };
    row("00:00", DayPeriod::Nuit);
    row("05:40", DayPeriod::Nuit);
    row("06:00", DayPeriod::Nuit);
    row("06:01", DayPeriod::Matin);
    row("12:00", DayPeriod::Matin);
    row("12:01", DayPeriod::Jour);
    row("18:00", DayPeriod::Jour);
    row("18:01", DayPeriod::Soir);
    row("23:59", DayPeriod::Soir);
    row("6:30", DayPeriod::Nuit);     // missing digit
    row("14h30", DayPeriod::Nuit);    // wrong separator
    row("14:30:00", DayPeriod::Nuit); // characters left over
    row("24:00", DayPeriod::Nuit);
    row("12:60", DayPeriod::Nuit);
    row("", DayPeriod::Nuit);
  }
  void periodOfTime() {
    QFETCH(QString, time);
    QFETCH(int, period);
    QCOMPARE(int(PeriodOfTime(time)), period);
  }

  void classifyReading_data() {
    QTest::addColumn<qint64>("s");
    QTest::addColumn<qint64>("d");
    QTest::addColumn<QString>("label");
    const QString optimal = "Pression artérielle optimale";
    const QString normal = "Pression artérielle normale";
    const QString high = "Pression artérielle normale haute";
    const QString hypo = "Hypotension";
    const QString hypoSevere = "Hypotension sévère";
    const QString mild = "Hypertension légère";
    const QString moderate = "Hypertension modérée";
    const QString severe = "Hypertension sévère";
    const QString dead = "Tension de cadavre - vous êtes mort!";
    QTest::newRow("120/80") << qint64(120) << qint64(80) << optimal;
    QTest::newRow("121/70") << qint64(121) << qint64(70) << normal;
    QTest::newRow("90/60") << qint64(90) << qint64(60) << hypo;
    QTest::newRow("91/60") << qint64(91) << qint64(60) << optimal;
    QTest::newRow("50/40") << qint64(50) << qint64(40) << hypo;
    QTest::newRow("135/70") << qint64(135) << qint64(70) << high;
    QTest::newRow("129/80") << qint64(129) << qint64(80) << normal;
    QTest::newRow("140/80") << qint64(140) << qint64(80) << mild;
    QTest::newRow("159/80") << qint64(159) << qint64(80) << mild;
    QTest::newRow("160/80") << qint64(160) << qint64(80) << moderate;
    QTest::newRow("179/80") << qint64(179) << qint64(80) << moderate;
    QTest::newRow("185/115") << qint64(185) << qint64(115) << severe;
    QTest::newRow("0/0") << qint64(0) << qint64(0) << dead;
    QTest::newRow("-5/-5") << qint64(-5) << qint64(-5) << dead;
    QTest::newRow("0/120: the diastolic value outweighs the dead row")
        << qint64(0) << qint64(120) << severe;
    QTest::newRow("40/30") << qint64(40) << qint64(30) << hypoSevere;
    // Readings no tabled row takes.
    QTest::newRow("45/40") << qint64(45) << qint64(40) << hypoSevere;
    QTest::newRow("190/100") << qint64(190) << qint64(100) << severe;
    QTest::newRow("180/60") << qint64(180) << qint64(60) << severe;
    // The diastolic value weighs: the higher class wins.
    QTest::newRow("118/85") << qint64(118) << qint64(85) << high;
    QTest::newRow("110/81") << qint64(110) << qint64(81) << normal;
    QTest::newRow("110/84") << qint64(110) << qint64(84) << normal;
    QTest::newRow("125/89") << qint64(125) << qint64(89) << high;
    QTest::newRow("100/95") << qint64(100) << qint64(95) << mild;
    QTest::newRow("150/105") << qint64(150) << qint64(105) << moderate;
    QTest::newRow("130/110") << qint64(130) << qint64(110) << severe;
    QTest::newRow("60/120 hypotension and high D") << qint64(60) << qint64(120) << severe;
    QTest::newRow("145/82 systolic higher") << qint64(145) << qint64(82) << mild;
    QTest::newRow("huge") << std::numeric_limits<qint64>::max() << qint64(0) << severe;
  }
  void classifyReading() {
    QFETCH(qint64, s);
    QFETCH(qint64, d);
    QFETCH(QString, label);
    QCOMPARE(ClassifyReading(s, d), label);
  }

  void diagnosisSentence() {
    QCOMPARE(DiagnosisSentence(128, 82),
             QString("La systole de 128 mmHg et la diastole de 82 mmHg, indiquent une Pression "
                     "artérielle normale"));
    QCOMPARE(DiagnosisSentence(-3, 20),
             QString("La systole de -3 mmHg et la diastole de 20 mmHg, indiquent une Hypotension "
                     "sévère"));
  }

  void modelBasics() {
    PeriodListModel model(DayPeriod::Soir);
    // Qt's model contract holds through every change below.
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(model.columnCount(), 6);
    const QStringList titles = {"Date",        "Heure", "Systolique",
                                "Diastolique", "Pouls", "Diagnostic"};
    for (int c = 0; c < 6; ++c) {
      QCOMPARE(model.headerData(c, Qt::Horizontal).toString(), titles[c]);
    }
    model.append(test::MakeReading("19:00", 120, 80, 70));
    model.append(test::MakeReading("19:30", 130, 85, 72));
    QCOMPARE(model.rowCount(), 2);
    QVERIFY(model.flags(model.index(0, 0)) & Qt::ItemIsUserCheckable);
    QCOMPARE(model.data(model.index(1, 0), Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QVERIFY(model.setData(model.index(1, 0), Qt::Checked, Qt::CheckStateRole));
    QVERIFY(model.isChecked(1));
    QVERIFY(!model.isChecked(0));
    model.removeReading(0);
    QCOMPARE(model.rowCount(), 1);
    QVERIFY(model.isChecked(0)); // the check mark follows its row
    QCOMPARE(model.data(model.index(0, 1)).toString(), QString("19:30"));
    model.removeReading(5); // out of range: ignored
    QCOMPARE(model.rowCount(), 1);
    model.setCell(0, Reading::Pulse, QStringLiteral("75"));
    model.setReadings({test::MakeReading("20:00", 120, 80, 70)});
    model.clear();
    QCOMPARE(model.rowCount(), 0);
  }

  void modelCellsStaySingleLine_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::newRow("LF") << "12\n5"
                        << "12 5";
    QTest::newRow("CR") << "12\r5"
                        << "12 5";
    QTest::newRow("CR LF") << "12\r\n5"
                           << "12 5";
    QTest::newRow("LF CR") << "a\n\rb"
                           << "a  b";
    QTest::newRow("plain") << "  140 "
                           << "  140 ";
  }
  void modelCellsStaySingleLine() {
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    PeriodListModel model(DayPeriod::Matin);
    Reading r = test::MakeReading("08:00", 120, 80, 70);
    r.set(Reading::Pulse, typed);
    model.append(r);
    QCOMPARE(model.reading(0)[Reading::Pulse], stored);
    model.setCell(0, Reading::Systolic, typed);
    QCOMPARE(model.reading(0)[Reading::Systolic], stored);
    QSignalSpy spy(&model, &QAbstractItemModel::dataChanged);
    QVERIFY(model.setData(model.index(0, Reading::Time), typed));
    QCOMPARE(model.reading(0)[Reading::Time], stored);
    QCOMPARE(spy.count(), 1);
  }

  void serializeIsByteExact() {
    std::vector<Reading> rows = {test::MakeReading("05:40", 128, 82, 71)};
    QCOMPARE(SerializeMeasurementFile(rows), kNuitExample);
    QCOMPARE(SerializeMeasurementFile({}), QByteArray("0\r\n"));
  }

  void parseFiles_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("lastCell"); // cell 5 of the last row
    QTest::newRow("CR LF") << kNuitExample << 1 << kSentence;
    QTest::newRow("LF only") << QByteArray(kNuitExample).replace("\r\n", "\n") << 1 << kSentence;
    QTest::newRow("CR only") << QByteArray(kNuitExample).replace("\r\n", "\r") << 1 << kSentence;
    QTest::newRow("no final line end") << kNuitExample.chopped(2) << 1 << kSentence;
    QTest::newRow("empty file") << QByteArray() << 0 << QString();
    QTest::newRow("count not a number") << QByteArray("abc\r\n1\r\n2\r\n") << 0 << QString();
    QTest::newRow("negative count") << QByteArray("-4\r\na\r\n") << 0 << QString();
    QTest::newRow("count zero with records") << QByteArray("0\r\na\r\nb\r\n") << 0 << QString();
    QTest::newRow("count smaller than records")
        << QByteArray("1\r\na\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng\r\nh\r\ni\r\nj\r\nk\r\nl\r\n") << 1
        << "f";
    QTest::newRow("count 3, two records")
        << QByteArray("3\r\na\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng\r\nh\r\ni\r\nj\r\nk\r\nl\r\n") << 2
        << "l";
    QTest::newRow("partial record")
        << QByteArray("2\r\na\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng\r\nh") << 2 << QString();
    QTest::newRow("byte-order mark skipped")
        << QByteArray("\xEF\xBB\xBF") + kNuitExample << 1 << kSentence;
    QTest::newRow("absurd count") << QByteArray("9223372036854775807\r\n") << 0 << QString();
    QTest::newRow("far too many") << QByteArray("99999999999999999999999\r\na\r\n") << 1
                                  << QString();
    QTest::newRow("invalid UTF-8")
        << QByteArray("1\r\n\xFF\xFE\r\n\r\n\r\n\r\n\r\nx\xC3\r\n") << 1 << QString("x\uFFFD");
    QTest::newRow("cell starting with U+FEFF")
        << QByteArray("1\r\n\r\n\r\n\r\n\r\n\r\n\xEF\xBB\xBF\xEF\xBB\xBFx\r\n") << 1
        << QStringLiteral("\uFEFF\uFEFFx");
    QTest::newRow("binary junk") << QByteArray("\x00\x01\x02\x03", 4) << 0 << QString();
  }
  void parseFiles() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, rows);
    QFETCH(QString, lastCell);
    const std::vector<Reading> readings = ParseMeasurementFile(bytes);
    QCOMPARE(int(readings.size()), rows);
    if (rows > 0) {
      QCOMPARE(readings.back()[Reading::Diagnosis], lastCell);
    }
  }

  // A file that ends early gives what it holds, and no blank reading for
  // the records its count line announces in vain.
  void earlyEndingFileKeepsWhatItHas() {
    qint64 announced = 0;
    const auto readings =
        ParseMeasurementFile("3\r\na\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng\r\nh\r\n", &announced);
    QCOMPARE(readings.size(), size_t(2));
    QCOMPARE(announced, 3);
    QCOMPARE(readings[1][0], QString("g"));
    QCOMPARE(readings[1][1], QString("h"));
    QCOMPARE(readings[1][2], QString());
  }

  // Which texts a reading holds as numbers: exactly those that formatting the
  // number gives back. Every text comes back unchanged, from set() and from
  // a file alike, and value() reads what ParseLeadingInteger reads.
  void cellTexts_data() {
    QTest::addColumn<int>("cell");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("canonical"); // the number's own form
    QTest::addColumn<bool>("compact");   // and held as a number
    const auto row = [](const char *name, int cell, const QString &text, bool canonical,
                        bool compact) {
      QTest::newRow(name) << cell << text << canonical << compact;
    };
    row("date", Reading::Date, "07/03/2026", true, true);
    row("date, one-digit day", Reading::Date, "7/03/2026", false, false);
    row("date, 31 February", Reading::Date, "31/02/2026", false, false);
    row("date, leap day", Reading::Date, "29/02/2024", true, true);
    row("date, 29 February 2100", Reading::Date, "29/02/2100", false, false);
    row("date, day 00", Reading::Date, "00/03/2026", false, false);
    row("date, month 13", Reading::Date, "07/13/2026", false, false);
    row("date, year 0000", Reading::Date, "07/03/0000", false, false);
    row("date, first day", Reading::Date, "01/01/0001", true, true);
    row("date, last day", Reading::Date, "31/12/9999", true, true);
    row("date, two-digit year", Reading::Date, "07/03/26", false, false);
    row("date, dashes", Reading::Date, "07-03-2026", false, false);
    row("date after U+FEFF", Reading::Date, QStringLiteral("\uFEFF07/03/2026"), false, false);
    row("date, empty", Reading::Date, "", false, false);
    row("time 00:00", Reading::Time, "00:00", true, true);
    row("time 23:59", Reading::Time, "23:59", true, true);
    row("time 24:00", Reading::Time, "24:00", false, false);
    row("time 12:60", Reading::Time, "12:60", false, false);
    row("time, one-digit hour", Reading::Time, "7:05", false, false);
    row("time, trailing blank", Reading::Time, "07:05 ", false, false);
    row("systolic", Reading::Systolic, "120", true, true);
    row("systolic 0", Reading::Systolic, "0", true, true);
    row("systolic negative", Reading::Systolic, "-5", true, true);
    row("systolic, leading zero", Reading::Systolic, "0120", false, false);
    row("systolic, plus", Reading::Systolic, "+5", false, false);
    row("systolic, minus zero", Reading::Systolic, "-0", false, false);
    row("systolic, minus only", Reading::Systolic, "-", false, false);
    row("systolic, letters after", Reading::Systolic, "12a", false, false);
    row("diastolic, leading blank", Reading::Diastolic, " 78", false, false);
    row("diastolic, hexadecimal", Reading::Diastolic, "$40", false, false);
    row("diastolic, binary", Reading::Diastolic, "%101", false, false);
    row("pulse", Reading::Pulse, "78", true, true);
    row("pulse, largest compact", Reading::Pulse, "32767", true, true);
    row("pulse, smallest compact", Reading::Pulse, "-32768", true, true);
    row("pulse, past the compact range", Reading::Pulse, "32768", true, false);
    row("pulse, 64-bit minimum", Reading::Pulse, "-9223372036854775808", true, false);
    row("pulse, past 64 bits", Reading::Pulse, "9223372036854775808", false, false);
    row("pulse, empty", Reading::Pulse, "", false, false);
    row("diagnosis of the pressures held", Reading::Diagnosis, DiagnosisSentence(128, 82), true,
        true);
    row("diagnosis of other pressures", Reading::Diagnosis, DiagnosisSentence(128, 83), false,
        false);
    row("diagnosis, one word changed", Reading::Diagnosis,
        QString(DiagnosisSentence(128, 82)).replace("normale", "basse"), false, false);
    row("diagnosis, trailing blank", Reading::Diagnosis, DiagnosisSentence(128, 82) + " ", false,
        false);
    row("diagnosis, empty", Reading::Diagnosis, "", false, false);
  }
  void cellTexts() {
    QFETCH(int, cell);
    QFETCH(QString, text);
    QFETCH(bool, canonical);
    QFETCH(bool, compact);
    Reading r = test::MakeReading("08:00", 128, 82, 71);
    r.set(cell, text);
    QCOMPARE(r[cell], text);
    QCOMPARE(r.holdsText(cell), !text.isEmpty() && !compact);
    QCOMPARE(r.value(cell), ParseLeadingInteger(text));
    // The base reading's own date and time are canonical.
    QCOMPARE(r.date().has_value(), cell != Reading::Date || canonical);
    if (cell == Reading::Date && r.date()) {
      QCOMPARE(r.date()->toString("dd/MM/yyyy"), text);
    }
    QCOMPARE(r.minutes().has_value(), cell != Reading::Time || canonical);
    if (cell == Reading::Time && r.minutes()) {
      QCOMPARE(QTime(0, 0).addSecs(*r.minutes() * 60).toString("hh:mm"), text);
    }
    const bool integer = cell >= Reading::Systolic && cell <= Reading::Pulse && canonical;
    QCOMPARE(r.number(cell).has_value(), integer);
    if (integer) {
      QCOMPARE(QString::number(*r.number(cell)), text);
    }
    // The other cells are untouched.
    const Reading base = test::MakeReading("08:00", 128, 82, 71);
    for (int c = 0; c < Reading::kCellCount; ++c) {
      if (c != cell) {
        QCOMPARE(r[c], base[c]);
      }
    }
    // Read from a file, the cell is held the same way and saves the same bytes.
    const QByteArray bytes = SerializeMeasurementFile({r});
    const std::vector<Reading> loaded = ParseMeasurementFile(bytes);
    QCOMPARE(loaded.size(), size_t(1));
    QCOMPARE(loaded[0][cell], text);
    QCOMPARE(loaded[0].holdsText(cell), r.holdsText(cell));
    QVERIFY(loaded[0] == r);
    QCOMPARE(SerializeMeasurementFile(loaded), bytes);
    QVERIFY(bytes.contains("\r\n" + text.toUtf8() + "\r\n"));
  }

  void readingFromValuesMatchesItsTexts_data() {
    QTest::addColumn<QDate>("date");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<qint64>("s");
    QTest::addColumn<qint64>("d");
    QTest::addColumn<QString>("dateText");
    QTest::addColumn<QString>("timeText");
    QTest::newRow("usual") << QDate(2026, 3, 14) << 5 * 60 + 40 << qint64(128) << qint64(82)
                           << "14/03/2026"
                           << "05:40";
    QTest::newRow("dead, midnight")
        << QDate(1752, 9, 14) << 0 << qint64(0) << qint64(-3) << "14/09/1752"
        << "00:00";
    QTest::newRow("past the compact range") << QDate(9999, 12, 31) << 23 * 60 + 59 << qint64(40000)
                                            << std::numeric_limits<qint64>::min() << "31/12/9999"
                                            << "23:59";
    QTest::newRow("longest compact pressures")
        << QDate(2026, 3, 14) << 8 * 60 << qint64(-32768) << qint64(-32767) << "14/03/2026"
        << "08:00";
    QTest::newRow("no date, no time") << QDate() << -1 << qint64(120) << qint64(80) << ""
                                      << "";
    QTest::newRow("first four-digit year, last minute")
        << QDate(1000, 1, 1) << 24 * 60 - 1 << qint64(32767) << qint64(0) << "01/01/1000"
        << "23:59";
    QTest::newRow("three-digit year, minute past the day")
        << QDate(999, 12, 31) << 24 * 60 << qint64(120) << qint64(80) << "31/12/0999"
        << "";
  }
  void readingFromValuesMatchesItsTexts() {
    QFETCH(QDate, date);
    QFETCH(int, minutes);
    QFETCH(qint64, s);
    QFETCH(qint64, d);
    QFETCH(QString, dateText);
    QFETCH(QString, timeText);
    const Reading r = MakeReadingFromValues(date, minutes, s, d, 71);
    const QStringList texts = {dateText,
                               timeText,
                               QString::number(s),
                               QString::number(d),
                               QStringLiteral("71"),
                               DiagnosisSentence(s, d)};
    // Held as setting the texts holds them, numbers as numbers.
    const Reading set = test::CellsReading(texts);
    for (int c = 0; c < Reading::kCellCount; ++c) {
      QCOMPARE(r[c], texts[c]);
      QCOMPARE(r.holdsText(c), set.holdsText(c));
    }
    QCOMPARE(r.date(), set.date());
    QCOMPARE(r.minutes(), set.minutes());
    QCOMPARE(r.number(Reading::Systolic), std::optional<qint64>(s));
    QCOMPARE(r.number(Reading::Diastolic), std::optional<qint64>(d));
    QCOMPARE(r.value(Reading::Diastolic), d);
  }

  // A changed pressure leaves the diagnosis sentence as it was; copies and
  // comparisons see texts, however each cell is held.
  void editedReadingKeepsItsOtherTexts() {
    Reading r = test::MakeReading("08:00", 128, 82, 71);
    const QString sentence = r[Reading::Diagnosis];
    r.set(Reading::Systolic, "150");
    QCOMPARE(r[Reading::Diagnosis], sentence);
    r.set(Reading::Diastolic, "0082");
    r.set(Reading::Systolic, "128");
    QCOMPARE(r[Reading::Diagnosis], sentence);
    r.set(Reading::Diastolic, "82");
    QCOMPARE(r, test::MakeReading("08:00", 128, 82, 71));
    QVERIFY(!r.holdsText(Reading::Diagnosis)); // held as a class again

    Reading odd = r;
    odd.set(Reading::Date, "hier");
    const Reading copy = odd;
    odd.set(Reading::Date, "aujourd'hui");
    QCOMPARE(copy[Reading::Date], QString("hier"));
    QVERIFY(!(copy == odd));
    Reading moved = std::move(odd);
    QCOMPARE(moved[Reading::Date], QString("aujourd'hui"));
    moved.set(Reading::Date, "14/03/2026");
    QCOMPARE(moved, test::MakeReading("08:00", 128, 82, 71));
  }

  void recordFileOfOtherWidth() {
    const auto records = ParseRecordFile("2\r\na\r\nb\r\nc\r\n", 2);
    QCOMPARE(records.size(), size_t(2));
    QCOMPARE(records[0], QStringList({"a", "b"}));
    QCOMPARE(records[1], QStringList({"c", ""}));
  }

  void saveAndLoadRoundTrip() {
    test::TempHome home;
    StoragePaths paths = SetupStorage(home.path(), QStringLiteral("Jean Dupont"));
    PeriodLists lists;
    lists.list(DayPeriod::Nuit).append(test::MakeReading("05:40", 128, 82, 71));
    lists.list(DayPeriod::Matin).append(test::MakeReading("08:10", 145, 92, 80));
    lists.list(DayPeriod::Matin).append(test::MakeReading("07:55", 118, 85, 66));
    QCOMPARE(SaveAllPeriodLists(lists, paths), 2);
    const QString nuit = paths.dataFolder + "ARTL_Nuit_Jean Dupont.txt";
    QCOMPARE(paths.measurementFile(DayPeriod::Nuit), nuit);
    QCOMPARE(test::ReadFile(nuit), kNuitExample);
    QVERIFY(!QFile::exists(paths.measurementFile(DayPeriod::Jour)));

    const QByteArray matin = test::ReadFile(paths.measurementFile(DayPeriod::Matin));
    QCOMPARE(SaveAllPeriodLists(lists, paths), 2);
    QCOMPARE(test::ReadFile(paths.measurementFile(DayPeriod::Matin)), matin);

    PeriodLists loaded;
    for (DayPeriod p : kAllPeriods) {
      QCOMPARE(LoadPeriodList(loaded.list(p), paths.measurementFile(p)), lists.list(p).size());
      QCOMPARE(loaded.list(p).readings(), lists.list(p).readings());
    }
    QVERIFY(loaded.list(DayPeriod::Matin).reading(1)[5].contains("normale haute"));
    // No leftover temporary file beside the measurement files.
    QCOMPARE(QDir(paths.dataFolder).entryList(QDir::Files).size(), 2);
  }

  void saveSkipsEmptyListsAndKeepsTheirFiles() {
    test::TempHome home;
    StoragePaths paths = SetupStorage(home.path(), QString());
    PeriodLists lists;
    QCOMPARE(SaveAllPeriodLists(lists, paths), 0);
    QCOMPARE(QDir(paths.dataFolder).entryList(QDir::Files).size(), 0);
    const QString jour = paths.measurementFile(DayPeriod::Jour);
    QCOMPARE(jour, paths.dataFolder + "ARTL_Jour_.txt");
    QVERIFY(test::WriteFile(jour, "copied there"));
    lists.list(DayPeriod::Soir).append(test::MakeReading("20:00", 120, 80, 60));
    QCOMPARE(SaveAllPeriodLists(lists, paths), 1);
    QCOMPARE(test::ReadFile(jour), QByteArray("copied there"));
  }

  void saveReportsFailedPeriods() {
    test::TempHome home;
    StoragePaths paths = SetupStorage(home.path(), QStringLiteral("Marie"));
    // A folder stands where the Matin file should be written.
    QVERIFY(QDir().mkpath(paths.measurementFile(DayPeriod::Matin)));
    PeriodLists lists;
    lists.list(DayPeriod::Matin).append(test::MakeReading("08:00", 120, 80, 60));
    lists.list(DayPeriod::Soir).append(test::MakeReading("20:00", 120, 80, 60));
    QList<PeriodFileError> failed;
    QCOMPARE(SaveAllPeriodLists(lists, paths, &failed), 1);
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed[0].period, DayPeriod::Matin);
    // The failure names the file and carries the system's reason.
    QCOMPARE(failed[0].error.path, paths.measurementFile(DayPeriod::Matin));
    QVERIFY(!failed[0].error.reason.isEmpty());
  }

  void failedSaveKeepsPreviousFile() {
    test::TempHome home;
    StoragePaths paths = SetupStorage(home.path(), QStringLiteral("Marie"));
    const QString soir = paths.measurementFile(DayPeriod::Soir);
    QVERIFY(test::WriteFile(soir, kNuitExample));
    QFile::setPermissions(paths.dataFolder, QFile::ReadOwner | QFile::ExeOwner);
    PeriodLists lists;
    lists.list(DayPeriod::Soir).append(test::MakeReading("20:00", 120, 80, 60));
    const int written = SaveAllPeriodLists(lists, paths);
    QFile::setPermissions(paths.dataFolder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (written == 0) { // root may write anyway; then there is nothing to check
      QCOMPARE(test::ReadFile(soir), kNuitExample);
    }
  }

  void loadMissingFileEmptiesList() {
    PeriodListModel model(DayPeriod::Jour);
    model.append(test::MakeReading("14:00", 120, 80, 60));
    QCOMPARE(LoadPeriodList(model, QStringLiteral("/nonexistent/ARTL_Jour_x.txt")), qsizetype(0));
    QCOMPARE(model.rowCount(), 0);
  }

  void averages_data() {
    QTest::addColumn<QStringList>("systolic");
    QTest::addColumn<QStringList>("diastolic");
    QTest::addColumn<QStringList>("pulse");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QStringList() << QStringList() << QStringList() << QString();
    QTest::newRow("example") << QStringList{"120", "131"} << QStringList{"80", "85"}
                             << QStringList{"70", "75"} << QString("125 / 82\r\n72");
    QTest::newRow("truncation") << QStringList{"120", "121"} << QStringList{"80", "81"}
                                << QStringList{"70", "71"} << QString("120 / 80\r\n70");
    QTest::newRow("no digits count as 0") << QStringList{"abc", "100"} << QStringList{"80", "80"}
                                          << QStringList{"60", "60"} << QString("50 / 80\r\n60");
    QTest::newRow("negative truncates toward zero")
        << QStringList{"-3", "0"} << QStringList{"1", "0"} << QStringList{"0", "0"}
        << QString("-1 / 0\r\n0");
    QTest::newRow("saturated sums")
        << QStringList{"9223372036854775807", "9223372036854775807"} << QStringList{"1", "1"}
        << QStringList{"1", "1"} << QString("4611686018427387903 / 1\r\n1");
  }
  void averages() {
    QFETCH(QStringList, systolic);
    QFETCH(QStringList, diastolic);
    QFETCH(QStringList, pulse);
    QFETCH(QString, text);
    PeriodListModel model(DayPeriod::Matin);
    for (int i = 0; i < systolic.size(); ++i) {
      Reading r;
      r.set(Reading::Systolic, systolic[i]);
      r.set(Reading::Diastolic, diastolic[i]);
      r.set(Reading::Pulse, pulse[i]);
      model.append(r);
    }
    QCOMPARE(PeriodAverageText(model), text);
  }

  // The context file: what is read, and what a save of it writes back.
  void contextFile_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("records");
    QTest::addColumn<QByteArray>("saved");
    const QByteArray one = "1\r\nMatin\r\n02/03/2026\r\n07:15\r\n132\r\n84\r\n66\r\n"
                           "pouls irrégulier, traitement pris\r\naprès le café\r\n";
    QTest::newRow("one record, same bytes back") << one << 1 << one;
    QTest::newRow("LF only and a byte-order mark")
        << QByteArray("\xEF\xBB\xBF"
                      "1\nSoir\n02/03/2026\n20:00\n120\n80\n60\n\nbras gauche\n")
        << 1
        << QByteArray("1\r\nSoir\r\n02/03/2026\r\n20:00\r\n120\r\n80\r\n60\r\n\r\nbras gauche\r\n");
    QTest::newRow("unknown period kept as written, empty context skipped")
        << QByteArray("2\r\nMidi\r\n1\r\n2\r\n3\r\n4\r\n5\r\nmouvement\r\nx\r\n"
                      "Nuit\r\n02/03/2026\r\n03:00\r\n120\r\n80\r\n60\r\n\r\n\r\n")
        << 1 << QByteArray("1\r\nMidi\r\n1\r\n2\r\n3\r\n4\r\n5\r\nmouvement\r\nx\r\n");
    QTest::newRow("empty period line kept as ?")
        << QByteArray("1\r\n\r\n1\r\n2\r\n3\r\n4\r\n5\r\n\r\nx\r\n") << 1
        << QByteArray("1\r\n?\r\n1\r\n2\r\n3\r\n4\r\n5\r\n\r\nx\r\n");
    QTest::newRow("unknown flag kept after the known")
        << QByteArray("1\r\nJour\r\nd\r\nt\r\ns\r\nd\r\np\r\nfoo, mouvement\r\n\r\n") << 1
        << QByteArray("1\r\nJour\r\nd\r\nt\r\ns\r\nd\r\np\r\nmouvement, foo\r\n\r\n");
    QTest::newRow("only an unknown flag: kept")
        << QByteArray("1\r\nSoir\r\nd\r\nt\r\ns\r\nd\r\np\r\nsomnolence\r\n\r\n") << 1
        << QByteArray("1\r\nSoir\r\nd\r\nt\r\ns\r\nd\r\np\r\nsomnolence\r\n\r\n");
    QTest::newRow("count line no number")
        << QByteArray("x\r\nMatin\r\n") << 0 << QByteArray("0\r\n");
  }
  void contextFile() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, records);
    QFETCH(QByteArray, saved);
    const std::vector<ContextRecord> read = ParseContextFile(bytes);
    QCOMPARE(int(read.size()), records);
    QCOMPARE(SerializeContextFile(read), saved);
    ReadingContexts store;
    store.setRecords(read);
    QCOMPARE(SerializeContextFile(store.records()), saved);
    // A record of no known period belongs to no reading.
    for (const ContextRecord &r : read) {
      if (!r.key.otherPeriod.isEmpty()) {
        QVERIFY(!store.find(ContextKey::of(r.key.period, r.key.cells)));
      }
    }
  }

  void contextStore() {
    const QString longNote = QString(250, u'a');
    QCOMPARE(CleanNote(" un\r\ndeux\t "), QString("un  deux"));
    QCOMPARE(CleanNote(longNote).size(), kMaxNoteLength);
    ReadingContexts store;
    const Reading r = test::MakeReading("07:15", 132, 84, 66);
    ReadingContext c;
    c.set(ContextFlag::Irregular, true);
    store.set(DayPeriod::Matin, r, c);
    QVERIFY(store.find(DayPeriod::Matin, r));
    QVERIFY(!store.find(DayPeriod::Soir, r)); // the period is part of the key
    QCOMPARE(store.find(DayPeriod::Matin, r)->flagsText(), QString("pouls irrégulier"));
    const quint64 revision = store.revision();
    store.set(DayPeriod::Matin, r, c); // unchanged: no new revision
    QCOMPARE(store.revision(), revision);
    // Many set and removed: the survivors keep their order.
    for (int i = 0; i < 200; ++i) {
      ReadingContext note;
      note.note = QString::number(i);
      store.set(DayPeriod::Soir, test::MakeReading("20:00", 100 + i, 70, 60), note);
    }
    for (int i = 0; i < 200; i += 2) {
      QCOMPARE(
          store.take(ContextKey::of(DayPeriod::Soir, test::MakeReading("20:00", 100 + i, 70, 60)))
              .note,
          QString::number(i));
    }
    QCOMPARE(store.size(), qsizetype(101));
    const std::vector<ContextRecord> kept = store.records();
    QCOMPARE(kept.front().context, c);
    QCOMPARE(kept[1].context.note, QString("1"));
    QCOMPARE(kept.back().context.note, QString("199"));
    QVERIFY(store.take(ContextKey::of(DayPeriod::Jour, r)).isEmpty());
  }

  void overallAverageWeighsByCount() {
    PeriodLists lists;
    for (int i = 0; i < 5; ++i) {
      lists.list(DayPeriod::Matin).append(test::MakeReading("08:00", 100, 70, 60));
    }
    lists.list(DayPeriod::Nuit).append(test::MakeReading("03:00", 160, 100, 90));
    const OverallAverage overall = OverallAverageText(lists);
    QCOMPARE(overall.total, qint64(6));
    QCOMPARE(overall.text, QString("110 / 75\r\n65"));
    QCOMPARE(BaseLineText(overall.total), QString("Base de 6 mesures"));
    PeriodLists none;
    QCOMPARE(OverallAverageText(none).text, QString());
    QCOMPARE(BaseLineText(OverallAverageText(none).total), QString("Base de 0 mesures"));
    QCOMPARE(BaseLineText(1), QString("Base de 1 mesures"));
  }
};

QTEST_GUILESS_MAIN(TestMeasurements)
#include "tst_measurements.moc"
