// Readings in and out: the CSV and FHIR writers, the CSV reader and import,
// and the files of a logbook exported and imported.
#include "fakes.h"
#include "readings.h"

#include "common/wall_clock.h"
#include "exchange/csv_export.h"
#include "exchange/csv_import.h"
#include "exchange/csv_reader.h"
#include "exchange/fhir_export.h"
#include "exchange/fhir_import.h"
#include "exchange/import_presets.h"
#include "exchange/logbook_exchange.h"
#include "logbook/logbook.h"
#include "measurements/measurement_file.h"
#include "measurements/period_list_model.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QTimeZone>
#include <ctime>

using namespace tl;

namespace {

// Whether the computer's clock keeps Paris time through 2026, its two
// changes included. On Windows the system's zone gives it, never the TZ the
// tests set (Wine takes its zone from the TZ it is started with; a zone of
// the same rules under another name will do).
bool ComputerOnParisTime() {
  const QTimeZone paris("Europe/Paris");
  for (qint64 at : {1767225600, 1774745999, 1774746000, 1782864000, 1792889999, 1792890000}) {
    if (ComputerOffsetAt(at) != paris.offsetFromUtc(QDateTime::fromSecsSinceEpoch(at, Qt::UTC))) {
      return false;
    }
  }
  return true;
}
constexpr char kNotParisTime[] = "the computer's clock is not on Paris time (on Windows the "
                                 "system's zone decides, not TZ)";

// The summary's line for one reading filed at the clock time of its own offset.
const QString kOtherOffset = QStringLiteral(
    "1 relevé portait un autre décalage horaire que celui de l'ordinateur : il est classé à "
    "l'heure de son lieu de mesure.");

const QByteArray kSoirFile = "1\r\n03/03/2026\r\n20:05\r\n128\r\n82\r\n71\r\n"
                             "La systole de 128 mmHg et la diastole de 82 mmHg, indiquent une "
                             "Pression art\xC3\xA9rielle normale\r\n";

// Anne's logbook in a home of its own: one morning reading, saved.
struct SavedLogbook {
  test::TempHome home;
  QString patient = QStringLiteral("Anne");
  StoragePaths paths = SetupStorage(home.path(), patient);
  Logbook book{patient, paths};

  SavedLogbook() {
    book.list(DayPeriod::Matin).append(test::MakeReading("07:15", 131, 84, 66, "02/03/2026"));
    SaveLogbook(book);
  }
  QString file(DayPeriod p) const { return paths.measurementFile(p); }
};

// A text as UTF-16 with its byte-order mark, little or big endian.
QByteArray Utf16(const QString &text, bool littleEndian) {
  QByteArray out = littleEndian ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF");
  for (QChar c : text) {
    const char lo = char(c.unicode() & 0xFF), hi = char(c.unicode() >> 8);
    out.append(littleEndian ? lo : hi).append(littleEndian ? hi : lo);
  }
  return out;
}

// "Matin 02/03/2026 07:15 131/84/66" for each reading of the lists, list by
// list in file order.
QStringList ReadingTexts(const PeriodLists &lists) {
  QStringList texts;
  for (DayPeriod p : kAllPeriods) {
    for (const Reading &r : lists.list(p).readings()) {
      texts << QStringLiteral("%1 %2 %3 %4/%5/%6")
                   .arg(PeriodInfo(p).name, r[Reading::Date], r[Reading::Time],
                        r[Reading::Systolic], r[Reading::Diastolic], r[Reading::Pulse]);
    }
  }
  return texts;
}

// FHIR resources for the import table: LOINC codes, UCUM quantities.
QJsonObject Loinc(const char *code) {
  return {{"coding", QJsonArray{QJsonObject{{"system", "http://loinc.org"}, {"code", code}}}}};
}
QJsonObject Quantity(double value, const char *unit) {
  return {{"value", value}, {"system", "http://unitsofmeasure.org"}, {"code", unit}};
}
QJsonObject Member(const char *code, double value, const char *unit) {
  return {{"code", Loinc(code)}, {"valueQuantity", Quantity(value, unit)}};
}
QJsonObject Observation(const char *code, const char *when, const char *subject) {
  QJsonObject o{
      {"resourceType", "Observation"}, {"code", Loinc(code)}, {"effectiveDateTime", when}};
  if (*subject) {
    o.insert("subject", QJsonObject{{"reference", subject}});
  }
  return o;
}
// A panel of systolic and diastolic values (and a pulse when `pulse` > 0).
QJsonObject Panel(const char *when, double s, double d, const char *unit = "mm[Hg]",
                  double pulse = 0, const char *subject = "") {
  QJsonObject o = Observation("85354-9", when, subject);
  QJsonArray members{Member("8480-6", s, unit), Member("8462-4", d, unit)};
  if (pulse > 0) {
    members.append(Member("8867-4", pulse, "/min"));
  }
  o.insert("component", members);
  return o;
}
QJsonObject Rate(const char *when, double value, const char *unit = "/min",
                 const char *subject = "") {
  QJsonObject o = Observation("8867-4", when, subject);
  o.insert("valueQuantity", Quantity(value, unit));
  return o;
}
QByteArray Bundle(const QList<QJsonObject> &resources) {
  QJsonArray entries;
  for (const QJsonObject &r : resources) {
    entries.append(QJsonObject{{"resource", r}});
  }
  return QJsonDocument(
             QJsonObject{{"resourceType", "Bundle"}, {"type", "collection"}, {"entry", entries}})
      .toJson(QJsonDocument::Compact);
}

// Bytes read back a few at a time, so that every token of a JSON text meets
// the end of a chunk somewhere.
class Trickle : public QIODevice {
public:
  Trickle(QByteArray bytes, qint64 step) : bytes_(std::move(bytes)), step_(step) {
    open(QIODevice::ReadOnly);
  }

protected:
  qint64 readData(char *data, qint64 max) override {
    const qint64 n = std::min({max, step_, qint64(bytes_.size()) - at_});
    std::memcpy(data, bytes_.constData() + at_, size_t(n));
    at_ += n;
    return n;
  }
  qint64 writeData(const char *, qint64) override { return -1; }

private:
  QByteArray bytes_;
  qint64 step_, at_ = 0;
};

// The readings of an import, "dd/MM/yyyy hh:mm s/d/p" in period order.
QStringList Accepted(const CsvImport &import) {
  QStringList out;
  for (DayPeriod p : kAllPeriods) {
    for (const Reading &r : import.accepted(p)) {
      out << r[Reading::Date] + u' ' + r[Reading::Time] + u' ' + r[Reading::Systolic] + u'/' +
                 r[Reading::Diastolic] + u'/' + r[Reading::Pulse];
    }
  }
  return out;
}

// The resources of a bundle by fullUrl.
QMap<QString, QJsonObject> ByUrl(const QByteArray &json) {
  QMap<QString, QJsonObject> out;
  for (const QJsonValue &e : QJsonDocument::fromJson(json)["entry"].toArray()) {
    out.insert(e["fullUrl"].toString(), e["resource"].toObject());
  }
  return out;
}

// Eighty readings over twenty days, each in the list of its time, or with
// `misfiled` those of the 7th in Soir.
void AddEightyReadings(PeriodLists &lists, bool misfiled = false) {
  int n = 0;
  for (int day = 1; day <= 20; ++day) {
    for (int minutes : {3 * 60 + 10, 7 * 60 + 20, 13 * 60 + 30, 20 * 60 + 40}) {
      Reading r = MakeReadingFromValues(QDate(2026, 2, day), minutes, 100 + (n * 7) % 80,
                                        60 + (n * 3) % 30, 50 + n % 40);
      lists.list(misfiled && day == 7 ? DayPeriod::Soir : PeriodOfTime(r[Reading::Time]))
          .append(std::move(r));
      ++n;
    }
  }
}

} // namespace

class TestExchange : public QObject {
  Q_OBJECT

private slots:
  // Paris time, with its change to summer time on 29 March 2026.
  void initTestCase() {
    qputenv("TZ", "Europe/Paris");
    tzset();
  }

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
                                  "Diagnostic;Remarque;Pouls irr\xC3\xA9gulier;Traitement pris;"
                                  "Mouvement;Brassard mal plac\xC3\xA9;Autres indications\r"));
    QVERIFY(lines[1].startsWith("2026-03-01;14:00;Jour;150;95;80;"));
    QVERIFY(lines[2].startsWith("2026-03-02;07:00;Matin;131;84;66;"));
    QCOMPARE(lines[3], "2026-03-02;20:00;Soir;128;82;71;" + normal + ";;;;;;\r");
    QVERIFY(lines[4].startsWith("2026-03-03;03:00;Nuit;"));
    QCOMPARE(lines[5], QByteArray("hier;07:30;Matin;\"12;0\";80;70;x;;;;;;\r"));
    QCOMPARE(lines[6], QByteArray());
    QCOMPARE(all.count("\r\n"), 6);

    const QByteArray range = ExportCsv(lists, QDate(2026, 3, 2), QDate(2026, 3, 2), &count);
    QCOMPARE(count, qsizetype(2));
    QCOMPARE(range.split('\n').size(), 4); // header, two rows, nothing after the last CR LF
  }

  // Rows written whole as they stand, or field by field when a field needs
  // quotes: the same bytes as the fields' texts quoted one by one, in the
  // order of a stable sort by date and time over the lists in period order;
  // the note, the user's text, marked as a formula would be.
  void exportAsFieldByField() {
    PeriodLists lists;
    const auto add = [&](DayPeriod p, const QStringList &cells) {
      lists.list(p).append(test::CellsReading(
          cells.size() == 6 ? cells
                            : cells + QStringList{DiagnosisSentence(cells[2].toLongLong(),
                                                                    cells[3].toLongLong())}));
    };
    add(DayPeriod::Soir, {"02/03/2026", "20:00", "128", "82", "71"});
    add(DayPeriod::Soir, {"01/03/2026", "20:00", "128", "82", "71"});  // out of order
    add(DayPeriod::Matin, {"02/03/2026", "20:00", "131", "84", "66"}); // same date and time
    add(DayPeriod::Matin, {"02/03/2026", "07;30", "131", "84", "66"});
    add(DayPeriod::Jour, {"02/03/2026", "", "131", "84", "66", "dit \"oui\""});
    add(DayPeriod::Jour, {"02/03/2026", "14:00", "131", "84", "66", "a\nb"});
    add(DayPeriod::Jour, {"02/03/2026", "14:00", "40000", "84", "66", "\r"});
    add(DayPeriod::Nuit, {"31/12/0999", "03:00", "118", "76", "60"});
    add(DayPeriod::Nuit, {"01/01/1000", "03:00", "118", "76", "60"});
    add(DayPeriod::Nuit, {"31/12/9999", "03:00", "118", "76", "60"});
    add(DayPeriod::Nuit, {"hier", "03:00", "118", "76", "60"});
    add(DayPeriod::Matin, {"", "02:00", "118", "76", "60", "x;y"});
    add(DayPeriod::Jour, {"2/3/2026", "", "118", "76", "60"});
    ReadingContexts contexts;
    const auto note = [&](DayPeriod p, qsizetype i, const char *text, quint8 flags,
                          const char *others = "") {
      contexts.set(p, lists.list(p).readings()[size_t(i)],
                   ReadingContext{QString::fromUtf8(text), flags, QString::fromUtf8(others)});
    };
    note(DayPeriod::Soir, 0, "après le café", false);
    note(DayPeriod::Soir, 1, "", true);
    note(DayPeriod::Matin, 0, "=1+1", true);
    note(DayPeriod::Jour, 1, "bras \"gauche\"; assis", false);
    note(DayPeriod::Nuit, 0, "@x", false);
    note(DayPeriod::Matin, 2, "sans date", true);
    note(DayPeriod::Jour, 0, "", quint8(ContextFlag::Medication) | quint8(ContextFlag::Movement));
    note(DayPeriod::Nuit, 1, "", quint8(ContextFlag::CuffMisplaced), "=tremblement; repos");

    struct Row {
      const Reading *r;
      DayPeriod period;
    };
    QList<Row> rows;
    for (DayPeriod p : kAllPeriods) {
      for (const Reading &r : lists.list(p).readings()) {
        rows.append({&r, p});
      }
    }
    std::stable_sort(rows.begin(), rows.end(), [](const Row &a, const Row &b) {
      const auto at = [](const Row &x) {
        return std::make_tuple(!x.r->date(), x.r->date().value_or(QDate()).toJulianDay(),
                               x.r->minutes().value_or(24 * 60));
      };
      return at(a) < at(b);
    });
    QByteArray expected = QByteArray("\xEF\xBB\xBF") + kCsvHeader + "\r\n";
    for (const Row &row : rows) {
      const Reading &r = *row.r;
      QByteArrayList fields = {r.date() ? r.date()->toString(Qt::ISODate).toUtf8()
                                        : CsvField(r[Reading::Date]),
                               CsvField(r[Reading::Time]), PeriodInfo(row.period).name.toUtf8()};
      for (int c = Reading::Systolic; c <= Reading::Diagnosis; ++c) {
        fields << CsvField(r[c]);
      }
      const ReadingContext *context = contexts.find(row.period, r);
      const QString text = context ? context->note : QString();
      const auto marked = [](const QString &t) {
        return CsvField(LooksLikeFormula(t.toUtf8()) ? u'\'' + t : t);
      };
      fields << marked(text);
      for (ContextFlag flag : kAllContextFlags) {
        fields << (context && context->has(flag) ? "oui" : "");
      }
      fields << marked(context ? context->otherFlags : QString());
      expected += fields.join(';') + "\r\n";
    }
    QCOMPARE(ExportCsv(lists, std::nullopt, std::nullopt, nullptr, &contexts), expected);
  }

  // The reader: separators detected, quotes, line ends, encodings, blank
  // lines; the same records whatever the chunk size.
  void readCsv_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QStringList>("records"); // fields joined by "|"
    QTest::newRow("semicolons, CR LF, byte-order mark")
        << QByteArray("\xEF\xBB\xBF"
                      "Date;Heure\r\n2026-03-02;07:00\r\n")
        << ";" << QStringList{"Date|Heure", "2026-03-02|07:00"};
    QTest::newRow("commas, LF, no final line end")
        << QByteArray("a,b,c\n1,2,3") << "," << QStringList{"a|b|c", "1|2|3"};
    QTest::newRow("tabs, lone CRs")
        << QByteArray("a\tb\r1\t2\r") << "\t" << QStringList{"a|b", "1|2"};
    QTest::newRow("quoted separator, doubled quote, line break")
        << QByteArray("x;\"a;b\";\"dit \"\"oui\"\"\";\"l1\r\nl2\"\r\ny;2;3;4\r\n") << ";"
        << QStringList{"x|a;b|dit \"oui\"|l1\nl2", "y|2|3|4"};
    QTest::newRow("blank lines skipped")
        << QByteArray("a;b\n\n\r\n1;2\n") << ";" << QStringList{"a|b", "1|2"};
    QTest::newRow("Windows-1252 accents")
        << QByteArray("Syst\xE8me;\x80;Pouls\n") << ";" << QStringList{"Système|€|Pouls"};
    QTest::newRow("UTF-8 accents")
        << QByteArray("Syst\xC3\xA8me;Pouls\n") << ";" << QStringList{"Système|Pouls"};
    QTest::newRow("commas inside quotes do not count")
        << QByteArray("\"1,2\";\"3,4\"\n\"5,6\";\"7,8\"\n") << ";"
        << QStringList{"1,2|3,4", "5,6|7,8"};
    QTest::newRow("short and long lines")
        << QByteArray("a;b;c\n1\n1;2;3;4\n") << ";" << QStringList{"a|b|c", "1", "1|2|3|4"};
  }
  void readCsv() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, separator);
    QFETCH(QStringList, records);
    const char sep = DetectCsvSeparator(bytes);
    QCOMPARE(QString(QChar::fromLatin1(sep)), separator);
    for (qsizetype chunk : {qsizetype(1), qsizetype(3), bytes.size()}) {
      CsvReader reader(sep);
      QStringList read;
      const auto record = [&](const QStringList &fields, qint64) {
        read << fields.join(u'|');
        return true;
      };
      for (qsizetype at = 0; at < bytes.size(); at += chunk) {
        QVERIFY(
            reader.feed(QByteArrayView(bytes).sliced(at, qMin(chunk, bytes.size() - at)), record));
      }
      QVERIFY(reader.finish(record));
      QCOMPARE(read, records);
    }
  }

  // A record of junk is cut at the bound: memory stays small, and the
  // reading goes on with the next line.
  void junkIsBounded() {
    QByteArray junk(CsvReader::kMaxRecordBytes * 4, ';');
    junk.append("\n1;2\n");
    CsvReader reader(';');
    qsizetype longest = 0;
    QStringList last;
    QVERIFY(reader.feed(junk, [&](const QStringList &fields, qint64 line) {
      longest = qMax(longest, fields.size());
      last = fields;
      return line < 100;
    }));
    QVERIFY(reader.truncated());
    QVERIFY(longest <= CsvReader::kMaxRecordBytes + 1);
    QCOMPARE(last, QStringList({"1", "2"}));
  }

  // The columns' roles from a header, or from the look of a first row.
  void guessMapping_data() {
    QTest::addColumn<QStringList>("first");
    QTest::addColumn<QString>("roles"); // role texts joined by "|"
    QTest::addColumn<bool>("header");
    QTest::addColumn<QString>("warnings"); // joined by "|"
    QTest::newRow("Tensiolog's own export")
        << QStringList{"Date",        "Heure", "Période",   "Systolique",
                       "Diastolique", "Pouls", "Diagnostic"}
        << "Date|Heure|Période|Systolique|Diastolique|Pouls|Ignorer" << true << "";
    QTest::newRow("Unix milliseconds")
        << QStringList{"timestampUnixMs", "systolic", "diastolic", "pulse", "note"}
        << "Date et heure|Systolique|Diastolique|Pouls|Remarque" << true << "";
    QTest::newRow("datetime, dia before sys")
        << QStringList{"datetime", "dia", "sys", "bpm", "irregular"}
        << "Date et heure|Diastolique|Systolique|Pouls|Pouls irrégulier" << true << "";
    // The context: an irregular pulse is no pulse, a note's date is a date.
    QTest::newRow("context columns")
        << QStringList{"Date de la remarque", "Heure", "Pouls irrégulier", "Systolique",
                       "Diastolique",         "Pouls", "Remarques",        "IrregularHeartbeat",
                       "Commentaire"}
        << "Date|Heure|Pouls irrégulier|Systolique|Diastolique|Pouls|Remarque|Ignorer|Ignorer"
        << true
        << "La colonne « IrregularHeartbeat » ressemble aussi au pouls irrégulier : elle est "
           "ignorée.|La colonne « Commentaire » ressemble aussi à la remarque : elle est ignorée.";
    QTest::newRow("accents, case, blanks and fc")
        << QStringList{" DATE ", "heure", "SYSTOLIQUE", "Diastolique", " FC "}
        << "Date|Heure|Systolique|Diastolique|Pouls" << true << "";
    QTest::newRow("no header") << QStringList{"02/03/2026", "07:15", "131", "84", "66", "x"}
                               << "Date|Heure|Systolique|Diastolique|Pouls|Ignorer" << false << "";
    QTest::newRow("no header, ISO date and time")
        << QStringList{"2026-03-02T07:15:00", "131", "84", "66"}
        << "Date et heure|Systolique|Diastolique|Pouls" << false << "";
    // Whole words only, words of other measures and of bookkeeping left out,
    // and the first column of a role keeps it.
    QTest::newRow("pulse pressure, a second pulse")
        << QStringList{"Date", "Heure", "SYS", "DIA", "Pulse", "pulsePressure", "Pouls 2"}
        << "Date|Heure|Systolique|Diastolique|Pouls|Ignorer|Ignorer" << true
        << "La colonne « Pouls 2 » ressemble aussi au pouls : elle est ignorée.";
    QTest::newRow("French abbreviations")
        << QStringList{"Horodatage", "PAS", "PAD", "FC", "PP", "HRV"}
        << "Date et heure|Systolique|Diastolique|Pouls|Ignorer|Ignorer" << true << "";
    QTest::newRow("dates of the record's bookkeeping")
        << QStringList{"Date de modification", "Date",        "Heure de saisie",     "Heure",
                       "Systolique",           "Diastolique", "Fréquence cardiaque", "created_at"}
        << "Ignorer|Date|Ignorer|Heure|Systolique|Diastolique|Pouls|Ignorer" << true << "";
    QTest::newRow("day names, time zone")
        << QStringList{"Jour",      "Date et heure", "Time zone", "Systolic",
                       "Diastolic", "Heart rate",    "Weekday",   "Day"}
        << "Ignorer|Date et heure|Fuseau horaire|Systolique|Diastolique|Pouls|Ignorer|Ignorer"
        << true << "";
    QTest::newRow("a date and time after a date and a time")
        << QStringList{"measureDate", "Time", "Timestamp", "sys", "dia", "bpm", "Date"}
        << "Date|Heure|Ignorer|Systolique|Diastolique|Pouls|Ignorer" << true
        << "La colonne « Timestamp » ressemble aussi à la date et l'heure : elle est ignorée.|"
           "La colonne « Date » ressemble aussi à la date : elle est ignorée.";
    QTest::newRow("no header, month name and 12-hour clock")
        << QStringList{"lundi", "Dec 08 2026 08:05 PM", "128", "82", "71"}
        << "Ignorer|Date et heure|Systolique|Diastolique|Pouls" << false << "";
    QTest::newRow("no header, month first")
        << QStringList{"12/31/2026", "8:05 am", "128", "82", "71"}
        << "Date|Heure|Systolique|Diastolique|Pouls" << false << "";
  }
  void guessMapping() {
    QFETCH(QStringList, first);
    QFETCH(QString, roles);
    QFETCH(bool, header);
    QFETCH(QString, warnings);
    const ColumnMapping mapping = GuessMapping(first);
    QStringList texts;
    for (ColumnRole r : mapping.roles) {
      texts << ColumnRoleText(r);
    }
    QCOMPARE(texts.join(u'|'), roles);
    QCOMPARE(mapping.header, header);
    QStringList said;
    for (const ColumnWarning &w : mapping.warnings) {
      said << w.text;
    }
    QCOMPARE(said.join(u'|'), warnings);
    QVERIFY(mapping.complete());
  }

  // Each form of date, time, or date and time read in either order: the
  // date and time it gives ("" when refused). `serial`: a column whose
  // header says date (numbers are Excel serial days there).
  void dateForms_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QChar>("what"); // d: a date, t: a time, w: a date and time
    QTest::addColumn<bool>("serial");
    QTest::addColumn<QString>("dayMonth");
    QTest::addColumn<QString>("monthDay");
    const auto local = [](const QDateTime &at) {
      return ComputerWallClock(at).toString(QStringLiteral("dd/MM/yyyy hh:mm"));
    };
    const auto row = [](const char *name, const char *text, char what, bool serial,
                        const QString &dm, const QString &md) {
      QTest::newRow(name) << QString::fromUtf8(text) << QChar(what) << serial << dm << md;
    };
    row("either order", "08/12/2026", 'd', false, "08/12/2026", "12/08/2026");
    row("day above 12", "13/12/2026", 'd', false, "13/12/2026", "");
    row("month first, day above 12", "12/13/2026", 'd', false, "", "13/12/2026");
    row("one digit, dots", "8.2.2026", 'd', false, "08/02/2026", "02/08/2026");
    row("dashes, day first", "08-12-2026", 'd', false, "08/12/2026", "12/08/2026");
    row("ISO", "2026-12-08", 'd', false, "08/12/2026", "08/12/2026");
    row("year first, slashes", "2026/12/08", 'd', false, "08/12/2026", "08/12/2026");
    row("English abbreviation", "Dec 08 2026", 'd', false, "08/12/2026", "08/12/2026");
    row("French abbreviation with a dot", "8 déc. 2026", 'd', false, "08/12/2026", "08/12/2026");
    row("French, capitals", "8 DÉCEMBRE 2026", 'd', false, "08/12/2026", "08/12/2026");
    row("English, comma", "December 8, 2026", 'd', false, "08/12/2026", "08/12/2026");
    row("first of the month", "1er août 2026", 'd', false, "01/08/2026", "01/08/2026");
    row("dashes and a name", "08-Sep-2026", 'd', false, "08/09/2026", "08/09/2026");
    row("impossible day", "31 févr 2026", 'd', false, "", "");
    row("day name", "lundi", 'd', false, "", "");
    row("no such month", "8 foo 2026", 'd', false, "", "");
    row("Excel serial day", "46364", 'd', true, "08/12/2026", "08/12/2026");
    row("a number where no header says date", "46364", 'd', false, "", "");
    row("morning, 12-hour", "08:05 AM", 't', false, "08:05", "08:05");
    row("evening, lower case", "8:05 pm", 't', false, "20:05", "20:05");
    row("midnight", "12:10 AM", 't', false, "00:10", "00:10");
    row("noon", "12:10 p.m.", 't', false, "12:10", "12:10");
    row("13 PM", "13:05 PM", 't', false, "", "");
    row("seconds", "7:05:59", 't', false, "07:05", "07:05");
    row("24:00", "24:00", 't', false, "", "");
    row("name and 12-hour clock", "Dec 08 2026 08:05 PM", 'w', false, "08/12/2026 20:05",
        "08/12/2026 20:05");
    row("month first and 12-hour clock", "12/31/2026, 8:05 pm", 'w', false, "", "31/12/2026 20:05");
    row("French, à", "8 déc. 2026 à 20:05", 'w', false, "08/12/2026 20:05", "08/12/2026 20:05");
    row("Excel serial with the time", "46364.75", 'w', true, "08/12/2026 18:00",
        "08/12/2026 18:00");
    row("Excel serial, decimal comma", "46364,3368", 'w', true, "08/12/2026 08:05",
        "08/12/2026 08:05");
    row("fraction where no header says date", "46364.75", 'w', false, "", "");
    QTest::newRow("Unix seconds, even where a header says date")
        << "1772435700" << QChar('w') << true
        << local(QDateTime::fromSecsSinceEpoch(1772435700, Qt::UTC))
        << local(QDateTime::fromSecsSinceEpoch(1772435700, Qt::UTC));
    QTest::newRow("Unix milliseconds") << "1772435700000" << QChar('w') << false
                                       << local(QDateTime::fromSecsSinceEpoch(1772435700, Qt::UTC))
                                       << local(QDateTime::fromSecsSinceEpoch(1772435700, Qt::UTC));
    const QString offset =
        local(QDateTime(QDate(2026, 3, 2), QTime(7, 15), Qt::OffsetFromUTC, 7200));
    QTest::newRow("ISO with an offset, to local time")
        << "2026-03-02T07:15:00+02:00" << QChar('w') << false << offset << offset;
    row("ISO with a blank and seconds", "2026-03-02 07:15:00", 'w', false, "02/03/2026 07:15",
        "02/03/2026 07:15");
    row("junk", "hier matin", 'w', false, "", "");
  }
  void dateForms() {
    QFETCH(QString, text);
    QFETCH(QChar, what);
    QFETCH(bool, serial);
    QFETCH(QString, dayMonth);
    QFETCH(QString, monthDay);
    for (DateOrder order : {DateOrder::DayMonth, DateOrder::MonthDay}) {
      QString read;
      if (what == u'd') {
        read = ParseImportDate(text, order, serial).value_or(QDate()).toString("dd/MM/yyyy");
      } else if (what == u't') {
        read = ParseImportTime(text).value_or(QTime()).toString("hh:mm");
      } else {
        read = ParseImportDateTime(text, order, serial)
                   .value_or(QDateTime())
                   .toString("dd/MM/yyyy hh:mm");
      }
      QCOMPARE(read, order == DateOrder::DayMonth ? dayMonth : monthDay);
    }
  }

  // The order of a whole file: the first date only one order reads decides
  // (past the first chunk too), a date against it is refused with its line,
  // dates of days 12 and less are read day first and said so; an order given
  // decides alone. A time zone column converts to local time (Paris).
  void fileDateOrder_data() {
    QTest::addColumn<QByteArray>("rows"); // after the header
    QTest::addColumn<QString>("given");   // "", "jm" or "mj"
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QString>("read"); // the readings imported, sorted
    const QString none = "0 doublon ignoré, 0 ligne rejetée.";
    QTest::newRow("month first, decided on line 3")
        << QByteArray("12/01/2026;07:00;;128;82;71\n12/13/2026;07:00;;128;82;71\n") << ""
        << "2 relevés importés, " + none +
               "\nDates lues dans l'ordre mois/jour, d'après la ligne 3."
        << "01/12/2026 07:00|13/12/2026 07:00";
    QByteArray ambiguousFirst;
    for (int i = 0; i < 12000; ++i) {
      ambiguousFirst += "01/02/2026;07:00;;128;82;71;un commentaire pour la longueur\n";
    }
    QTest::newRow("month first, decided past the first chunk")
        << ambiguousFirst + "02/13/2026;07:00;;128;82;71\n"
        << ""
        << "2 relevés importés, 11999 doublons ignorés, 0 ligne rejetée.\n"
           "Dates lues dans l'ordre mois/jour, d'après la ligne 12002."
        << "02/01/2026 07:00|13/02/2026 07:00";
    QTest::newRow("every date ambiguous")
        << QByteArray("01/02/2026;07:00;;128;82;71\n03/02/2026;07:00;;128;82;71\n") << ""
        << "2 relevés importés, " + none +
               "\nAucune date ne distingue le jour du mois : les dates sont lues dans l'ordre "
               "jour/mois."
        << "01/02/2026 07:00|03/02/2026 07:00";
    QTest::newRow("a date against the order")
        << QByteArray("01/02/2026;07:00;;128;82;71\n13/01/2026;07:00;;128;82;71\n"
                      "01/14/2026;07:00;;128;82;71\n")
        << ""
        << "2 relevés importés, 0 doublon ignoré, 1 ligne rejetée.\n"
           "ligne 4 : date contraire à l'ordre jour/mois du fichier"
        << "01/02/2026 07:00|13/01/2026 07:00";
    QTest::newRow("order given")
        << QByteArray("01/02/2026;07:00;;128;82;71\n13/01/2026;07:00;;128;82;71\n") << "mj"
        << "1 relevé importé, 0 doublon ignoré, 1 ligne rejetée.\n"
           "ligne 3 : date contraire à l'ordre mois/jour du fichier"
        << "02/01/2026 07:00";
    QTest::newRow("a reading there in cells of another form")
        << QByteArray("02/03/2026;07:20;;128;82;71\n") << "jm"
        << "0 relevé importé, 1 doublon ignoré, 0 ligne rejetée."
        << "";
    QTest::newRow("time zones")
        << QByteArray("02/03/2026;07:15;+02:00;128;82;71\n02/03/2026;07:16;UTC;128;82;71\n"
                      "02/03/2026;07:17;Europe/Paris;128;82;71\n"
                      "02/03/2026;07:18;America/New_York;128;82;71\n"
                      "02/03/2026;07:19;Mars/Olympus;128;82;71\n"
                      "29/03/2026;01:30;GMT-05:00;128;82;71\n02/03/2026;07:21;;128;82;71\n")
        << ""
        << "6 relevés importés, 0 doublon ignoré, 1 ligne rejetée.\n"
           "3 relevés portaient un autre décalage horaire que celui de l'ordinateur : ils sont "
           "classés à l'heure de leur lieu de mesure.\n"
           "ligne 6 : fuseau horaire illisible"
        << "02/03/2026 07:15|02/03/2026 07:17|02/03/2026 07:18|02/03/2026 07:21|"
           "02/03/2026 08:16|29/03/2026 01:30";
  }
  void fileDateOrder() {
    QFETCH(QByteArray, rows);
    QFETCH(QString, given);
    QFETCH(QString, summary);
    QFETCH(QString, read);
    SavedLogbook saved;
    saved.book.list(DayPeriod::Matin)
        .append(test::CellsReading({"02/03/2026", "7:20", "0128", "082", "71", ""}));
    const QString path = saved.home.path() + QStringLiteral("dates.csv");
    QVERIFY(
        test::WriteFile(path, "Date;Heure;Fuseau horaire;Systolique;Diastolique;Pouls\n" + rows));
    ColumnMapping mapping = ReadCsvStart(path).guess;
    mapping.dateOrderGiven = !given.isEmpty();
    mapping.dateOrder = given == u"mj" ? DateOrder::MonthDay : DateOrder::DayMonth;
    const ImportOutcome outcome = AppendCsvFile(saved.book, path, mapping, ';');
    QCOMPARE(outcome.summary, summary);
    // The readings imported: all but the two there before (filed in time
    // order, they may stand anywhere).
    QStringList readings;
    for (DayPeriod p : kAllPeriods) {
      for (const Reading &r : saved.book.list(p).readings()) {
        readings << r[Reading::Date] + u' ' + r[Reading::Time];
      }
    }
    QVERIFY(readings.removeOne(QStringLiteral("02/03/2026 07:15")));
    QVERIFY(readings.removeOne(QStringLiteral("02/03/2026 7:20")));
    readings.sort();
    QCOMPARE(readings.join(u'|'), read);
  }

  // Each row becomes a reading as "Ajouter" builds one, or is refused with
  // its line and reason; a duplicate of a reading there or earlier in the
  // file is skipped.
  void importRows() {
    PeriodLists lists;
    lists.list(DayPeriod::Matin).append(test::MakeReading("07:15", 131, 84, 66, "02/03/2026"));
    CsvImport import(lists, GuessMapping({"Date", "Heure", "Systolique", "Diastolique", "Pouls"}));
    const QList<QStringList> rows = {
        {"Date", "Heure", "Systolique", "Diastolique", "Pouls"},
        {"2026-03-02", "07:15", "131", "84", "66"}, // already there
        {"2026-03-02", "20:05", "128", "82", "71"},
        {"2026-03-02", "20:05", "128", "82", "71"}, // earlier in the file
        {"2026-03-03", "05:40", "118", "76", "60"},
        {"2026-03-03", "07:00", "130", "x", "60"},
        {"2026-03-03", "7h", "130", "80", "60"},
        {"2026-03-03", "07:00", "80", "130", "60"},
        {"2026-03-03", "07:00", "130", "80"},
    };
    qint64 line = 1;
    for (const QStringList &row : rows) {
      import.add(row, line++);
    }
    QCOMPARE(import.imported(), qint64(2));
    QCOMPARE(import.duplicates(), qint64(2));
    QCOMPARE(import.rejected(), qint64(4));
    QCOMPARE(import.summary(), QStringLiteral("2 relevés importés, 2 doublons ignorés, 4 lignes "
                                              "rejetées.\n"
                                              "ligne 6 : diastolique illisible\n"
                                              "ligne 7 : heure illisible\n"
                                              "ligne 8 : valeurs invraisemblables\n"
                                              "ligne 9 : pouls absent"));
    QCOMPARE(import.accepted(DayPeriod::Soir).size(), size_t(1));
    QCOMPARE(import.accepted(DayPeriod::Soir)[0],
             MakeReadingFromValues(QDate(2026, 3, 2), 20 * 60 + 5, 128, 82, 71));
    QCOMPARE(import.accepted(DayPeriod::Nuit).size(), size_t(1));
  }

  // Records handed over as bytes (one line, no quote, whole in a chunk) give
  // what their decoded texts give: the same readings, counts, reasons and
  // lines, whatever the chunks.
  void plainRecordsReadAsTexts_data() {
    QTest::addColumn<QByteArray>("csv");
    const QByteArray header =
        "\xEF\xBB\xBF"
        "Date;Heure;P\xC3\xA9riode;Systolique;Diastolique;Pouls;Diagnostic\r\n";
    QTest::newRow("export, CR LF") << header +
                                          "2026-03-02;07:15;Matin;131;84;66;art\xC3\xA9rielle\r\n"
                                          "02/03/2026;20:05;Soir;128;82;71;x\r\n"
                                          "02.03.2026;20:05;Soir;128;82;71;doublon\r\n";
    QTest::newRow("blanks, other forms, lone CRs, blank lines")
        << header + " 2026-03-03 ;\t7:05 ;;0131; 84\x0b;066\r\r"
                    "3/3/2026;07:06:59;;131;84;66\r\n\n"
                    "2026-03-03;07:07;;131\x1f;84;66\r\xEF\xBB\xBF\r";
    QTest::newRow("no-break spaces, UTF-8 and Windows-1252") << header +
                                                                    "2026-03-04;08:00;;\xC2\xA0"
                                                                    "140;90;\xA0"
                                                                    "70\n"
                                                                    "2026-03-04;08:01;;140;\xA0"
                                                                    "90\xA0;\xC2\xA0\n"
                                                                    "\xC2\xA0"
                                                                    "2026-03-04;08:02;;140;90;70\n"
                                                                    "2026-03-04;\xEF\xBB\xBF"
                                                                    "08:03;;140;90;70\n";
    QTest::newRow("refusals")
        << header + "31/02/2026;08:00;;140;90;70\n2026-03-05;24:00;;140;90;70\n"
                    "2026-03-05;08:00;;1e2;90;70\n2026-03-05;08:00;;140;1234567890123456789;70\n"
                    "2026-03-05;08:00;;140;90\n2026-03-05;08:00;;90;140;70\n;;;;;\n"
                    "2026-03-05;08:00;;140;90; \n2026-03-05;08:00;;\xD9\xA1"
                    "40;90;70\n";
    QTest::newRow("quoted fields and a line break in quotes")
        << header + "\"2026-03-06\";08:00;;140;90;70;\"a;b\"\n"
                    "2026-03-06;08:01;;140;90;70;\"l1\nl2\"\n"
                    "2026-03-06;08:02;;140;90;70;x\"y\n2026-03-06;08:03;;140;90;70";
    QTest::newRow("date and time together, commas")
        << QByteArray("timestamp,sys,dia,pulse\n2026-03-02T07:15,131,84,66\n"
                      "1772435700,128,82,71\n2026-03-02 07:16:00,131,84,66\njunk,1,2,3\n");
    QTest::newRow("no header") << QByteArray(
        "02/03/2026;07:15;131;84;66\n02/03/2026;07:16;131;84;66\n");
    QTest::newRow("month names") << QByteArray(
        "Date;Time;SYS;DIA;Pulse\nDec 08 2026;07:15;131;84;66\n"
        "dec 09 2026;07:15;131;84;66\nMAI 10 2026;07:15;131;84;66\n"
        "Fev 11 2026;07:15;131;84;66\nJui 12 2026;07:15;131;84;66\n"
        "Feb 30 2026;07:15;131;84;66\nSep 1 2026;07:15;131;84;66\n"
        "Sep 1, 2026;07:15;131;84;66\nD\xC3\xA9\x63 13 2026;07:15;131;84;66\n"
        "Dez 14 2026;07:15;131;84;66\nDec 15 20266;07:15;131;84;66\n");
    QTest::newRow("context columns") << header.chopped(2) +
                                            ";Remarque;Pouls irr\xC3\xA9gulier\r\n" +
                                            "2026-03-02;07:15;Matin;131;84;66;x;'=1+1;oui\r\n"
                                            "2026-03-02;07:16;Matin;131;84;66;x;\"a;b\";OUI \r\n"
                                            "2026-03-02;07:17;Matin;131;84;66;x;caf\xE9;1\r\n"
                                            "2026-03-02;07:18;Matin;131;84;66;x; ;non\r\n"
                                            "2026-03-02;07:19;Matin;131;84;66;x;;\r\n";
  }
  void plainRecordsReadAsTexts() {
    QFETCH(QByteArray, csv);
    const char separator = DetectCsvSeparator(csv);
    PeriodLists lists;
    lists.list(DayPeriod::Matin).append(test::MakeReading("07:15", 131, 84, 66, "02/03/2026"));
    const auto import = [&](qsizetype chunk, bool plain, qint64 *plainRecords) {
      std::optional<CsvImport> out;
      CsvReader reader(separator);
      const auto start = [&](const QStringList &first) {
        if (!out) {
          out.emplace(lists, GuessMapping(first));
        }
      };
      const CsvReader::RecordFn add = [&](const QStringList &fields, qint64 line) {
        start(fields);
        out->add(fields, line);
        return true;
      };
      const CsvReader::PlainRecordFn addPlain = [&](std::span<const QByteArrayView> fields,
                                                    qint64 line) {
        QStringList texts;
        for (QByteArrayView f : fields) {
          texts << DecodeCsvField(f);
        }
        start(texts);
        out->addPlain(fields, line);
        ++*plainRecords;
        return true;
      };
      for (qsizetype at = 0; at < csv.size(); at += chunk) {
        const QByteArrayView part = QByteArrayView(csv).sliced(at, qMin(chunk, csv.size() - at));
        plain ? reader.feed(part, add, addPlain) : reader.feed(part, add);
      }
      reader.finish(add);
      return std::move(*out);
    };
    qint64 unused = 0;
    const CsvImport texts = import(csv.size(), false, &unused);
    for (qsizetype chunk : {qsizetype(1), qsizetype(7), qsizetype(64), csv.size()}) {
      qint64 plainRecords = 0;
      const CsvImport bytes = import(chunk, true, &plainRecords);
      QCOMPARE(bytes.summary(), texts.summary());
      QCOMPARE(bytes.duplicates(), texts.duplicates());
      QCOMPARE(bytes.contexts(), texts.contexts());
      for (DayPeriod p : kAllPeriods) {
        QCOMPARE(bytes.accepted(p), texts.accepted(p));
        QCOMPARE(SerializeMeasurementFile(bytes.accepted(p)),
                 SerializeMeasurementFile(texts.accepted(p)));
      }
      QVERIFY(chunk < 16 || plainRecords > 0);
    }
  }

  // The exports people have, each with its truth: the format recognised,
  // the readings it gives (list, date, time, values) and the lines refused
  // with their reason; none wrong.
  void importSamples_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QStringList>("readings");
    QTest::addColumn<QStringList>("refused");
    const QString ownHeader =
        QStringLiteral("Date\tHeure\tPériode\tSystolique\tDiastolique\tPouls\tDiagnostic\r\n");

    QTest::newRow("Tensiolog: the list named kept, an unknown one by the time")
        << QByteArray("\xEF\xBB\xBF"
                      "Date;Heure;P\xC3\xA9riode;Systolique;Diastolique;Pouls;Diagnostic\r\n"
                      "2026-03-02;07:15;Matin;131;84;66;La systole\r\n"
                      "2026-03-02;13:30;Soir;128;82;71;x\r\n"
                      "2026-03-02;20:05;Apr\xC3\xA8s-midi;128;82;72;x\r\n"
                      "2026-03-03;03:10;nuit;118;76;60;\r\n")
        << "Tensiolog"
        << QStringList{"Matin 02/03/2026 07:15 131/84/66", "Soir 02/03/2026 13:30 128/82/71",
                       "Soir 02/03/2026 20:05 128/82/72", "Nuit 03/03/2026 03:10 118/76/60"}
        << QStringList{};
    QTest::newRow("derdilla's Blood pressure monitor, a pulse \"null\"")
        << QByteArray("timestampUnixMs,systolic,diastolic,pulse,notes,color,needlePin\n"
                      "1772432100000,131,84,66,\"\",,\n"
                      "1772478300000,128,82,null,,,\n")
        << "Blood pressure monitor (derdilla)" << QStringList{"Matin 02/03/2026 07:15 131/84/66"}
        << QStringList{"ligne 3 : pouls absent"};
    QTest::newRow("OMRON connect, month names")
        << QByteArray("Date,Time,Systolic (mmHg),Diastolic (mmHg),Pulse (bpm),Symptoms,Consumed,"
                      "TruRead,Notes\n"
                      "Jan 12 2025,08:12,114,74,47,-,-,-,-\n"
                      "Jan 10 2025,19:49,114,71,-,-,-,-,-\n")
        << "OMRON connect" << QStringList{"Matin 12/01/2025 08:12 114/74/47"}
        << QStringList{"ligne 3 : pouls absent"};
    QTest::newRow("Withings bp.csv, a reading without heart rate")
        << QByteArray("Date,\"Heart rate\",\"Systolic\",\"Diastolic\",\"Comments\"\n"
                      "\"2026-03-02 07:15:00\",66,131,84,\n"
                      "\"2026-03-02 20:05:00\",,128,82,\"sans pouls\"\n")
        << "Withings" << QStringList{"Matin 02/03/2026 07:15 131/84/66"}
        << QStringList{"ligne 3 : pouls absent"};
    QTest::newRow("Samsung Health: metadata line, UTC and its offset")
        << QByteArray("com.samsung.shealth.blood_pressure,6,3\n"
                      "com.samsung.health.blood_pressure.datauuid,"
                      "com.samsung.health.blood_pressure.start_time,"
                      "com.samsung.health.blood_pressure.time_offset,"
                      "com.samsung.health.blood_pressure.systolic,"
                      "com.samsung.health.blood_pressure.diastolic,"
                      "com.samsung.health.blood_pressure.pulse,"
                      "com.samsung.health.blood_pressure.mean,\n"
                      "a1,2026-03-02 06:15:00.000,UTC+0100,131.0,84.0,66,99.6,\n"
                      "a2,2026-03-02 19:05:00.000,UTC+0100,128.0,82.0,,97.3,\n")
        << "Samsung Health" << QStringList{"Matin 02/03/2026 07:15 131/84/66"}
        << QStringList{"ligne 4 : pouls absent"};
    QTest::newRow("Garmin: Unix seconds and the device's offset")
        << QByteArray("ParticipantID,ParticipantIdentifier,SummaryId,MeasurementTimeInSeconds,"
                      "MeasurementTimeOffsetInSeconds,Systolic,Diastolic,Pulse,SourceType,"
                      "InsertedDate\n"
                      "1be3,TST12345,x45e-1,1673275455,-18000,129,82,53,DEVICE,"
                      "2023-02-04T16:22:33Z\n"
                      "1be3,TST12345,x45e-2,1673311455,-18000,120,75,,MANUAL,"
                      "2023-02-04T16:22:33Z\n")
        << "Garmin" << QStringList{"Matin 09/01/2023 09:44 129/82/53"}
        << QStringList{"ligne 3 : pouls absent"};
    QTest::newRow("Health Connect: no pulse in its records")
        << QByteArray("time,zoneOffset,systolic,diastolic,bodyPosition,measurementLocation\n"
                      "2026-03-02T06:15:00Z,+01:00,131.0,84.0,sitting_down,left_upper_arm\n"
                      "2026-03-02T19:05:00Z,+01:00,128.0,82.0,,\n")
        << "Health Connect" << QStringList{}
        << QStringList{"ligne 2 : pouls absent", "ligne 3 : pouls absent"};
    QTest::newRow("spreadsheet: title, blank rows, decimal commas, an average")
        << QByteArray("Relev\xE9s de tension de Marie;;;;\r\n;;;;\r\n"
                      "Date;Heure;Systolique;Diastolique;Pouls\r\n"
                      "02/03/2026;07:15;131;84;66\r\n;;;;\r\n"
                      "02/03/2026;20:05;128,5;82,4;71\r\n"
                      "03/03/2026;07:10;120,0;80;\r\n;;;;\r\n"
                      "Moyenne;;129,7;82;68\r\n")
        << "Tableur avec titre"
        << QStringList{"Matin 02/03/2026 07:15 131/84/66", "Soir 02/03/2026 20:05 129/82/71"}
        << QStringList{"ligne 7 : pouls absent",
                       "ligne 9 : ligne de moyenne ou de total, pas un relevé"};
    QTest::newRow("kPa named in the header, the pulse never")
        << QByteArray("Date,Time,Systolic (kPa),Diastolic (kPa),Pulse (bpm)\n"
                      "2026-03-02,07:15,17.5,11.2,66\n"
                      "2026-03-02,20:05,17.1,10.9,71.5\n")
        << "" << QStringList{"Matin 02/03/2026 07:15 131/84/66", "Soir 02/03/2026 20:05 128/82/72"}
        << QStringList{};
    QTest::newRow("UTF-16 LE, tabs (Excel's Texte Unicode)")
        << Utf16(ownHeader + "2026-03-02\t07:15\tMatin\t131\t84\t66\tnormale\r\n", true)
        << "Tensiolog" << QStringList{"Matin 02/03/2026 07:15 131/84/66"} << QStringList{};
    QTest::newRow("UTF-16 BE")
        << Utf16(ownHeader + "2026-03-02\t20:05\tSoir\t128\t82\t71\tnormale\r\n", false)
        << "Tensiolog" << QStringList{"Soir 02/03/2026 20:05 128/82/71"} << QStringList{};
    QTest::newRow("unclosed quote: every line it took refused")
        << QByteArray("Date;Heure;Systolique;Diastolique;Pouls;Note\n"
                      "02/03/2026;07:15;131;84;66;\"sans fin\n"
                      "02/03/2026;20:05;128;82;71;ok\r\n"
                      "03/03/2026;07:10;120;80;60;ok")
        << "" << QStringList{}
        << QStringList{"ligne 2 : guillemet non fermé", "ligne 3 : guillemet non fermé",
                       "ligne 4 : guillemet non fermé"};
    QTest::newRow("unclosed quote ended at the bound, the next lines read")
        << "Date;Heure;Systolique;Diastolique;Pouls;Note\n"
           "02/03/2026;07:15;131;84;66;\"" +
               QByteArray(CsvReader::kMaxRecordBytes + 10, 'x') +
               "\n02/03/2026;20:05;128;82;71;ok\n"
        << "" << QStringList{"Soir 02/03/2026 20:05 128/82/71"}
        << QStringList{"ligne 2 : guillemet non fermé"};
  }
  void importSamples() {
    QFETCH(QByteArray, file);
    QFETCH(QString, format);
    QFETCH(QStringList, readings);
    QFETCH(QStringList, refused);
    test::TempHome home;
    const QString path = home.path() + QStringLiteral("mesures.csv");
    QVERIFY(test::WriteFile(path, file));
    const CsvFileStart start = ReadCsvStart(path);
    QCOMPARE(start.guess.format, format);
    QVERIFY(start.guess.complete());
    QString patient = QStringLiteral("Anne");
    StoragePaths paths = SetupStorage(home.path(), patient);
    Logbook book(patient, paths);
    const ImportOutcome outcome = AppendCsvFile(book, path, start.guess, start.separator);
    QCOMPARE(ReadingTexts(book.lists()), readings);
    // The refusals, without the sentences about the whole file.
    QStringList told = outcome.summary.split(u'\n').mid(1);
    told.removeIf([](const QString &line) { return !line.startsWith(u"ligne "); });
    QCOMPARE(told, refused);
    QCOMPARE(outcome.rejected, qint64(refused.size()));
  }

  // Files as meters' apps write them, each with what is filed (list, date,
  // time, values, then the note and flags) and what the summary tells after
  // its counts: sections left aside, readings at another offset, refusals.
  // `roles`, when given, replaces the guessed roles as --colonnes does.
  void meterAppFiles_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("roles");
    QTest::addColumn<QStringList>("filed");
    QTest::addColumn<QStringList>("told");
    const QString skipped = QStringLiteral("ce ne sont pas des mesures de tension");
    const QString ambiguous = QStringLiteral("Aucune date ne distingue le jour du mois : les dates "
                                             "sont lues dans l'ordre jour/mois.");
    const QByteArray beurer = "Date;Heure;Systolique (mmHg);Diastolique (mmHg);Pouls (bpm);"
                              "Commentaire\r\n"
                              "13/05/2024;07:05;131;84;66;-\r\n"
                              "13/05/2024;20:10;128;82;71;apr\xC3\xA8s le d\xC3\xAEner\r\n"
                              "\r\n"
                              "Date;Heure;Poids (kg);IMC;Graisse (%)\r\n"
                              "13/05/2024;07:00;96,0;31,5;35\r\n"
                              "14/05/2024;07:00;95,8;31,4;35\r\n";
    QTest::newRow("Beurer, a weight section")
        << beurer << ""
        << QStringList{"Matin 13/05/2024 07:05 131/84/66", "Soir 13/05/2024 20:10 128/82/71 "
                                                           "après le dîner"}
        << QStringList{"lignes 5 à 7 : section « Poids » ignorée, " + skipped};
    QTest::newRow("Beurer, the weights never read by the columns given")
        << beurer << "date heure systolique diastolique pouls remarque"
        << QStringList{"Matin 13/05/2024 07:05 131/84/66", "Soir 13/05/2024 20:10 128/82/71 "
                                                           "après le dîner"}
        << QStringList{"lignes 5 à 7 : section « Poids » ignorée, " + skipped};
    QTest::newRow("Beurer in German, a titled weight section, then blood pressures again")
        << QByteArray("Datum;Uhrzeit;Sys;Dia;Puls\n03.05.2024;07:05;131;84;66\n"
                      "Gewicht\nDatum;Uhrzeit;Gewicht;BMI;K\xC3\xB6rperfett\n"
                      "03.05.2024;07:00;96,0;31,5;35\n"
                      "Datum;Uhrzeit;Sys;Dia;Puls;Arrhythmie\n04.05.2024;21:30;135;88;72;x\n")
        << ""
        << QStringList{"Matin 03/05/2024 07:05 131/84/66",
                       "Soir 04/05/2024 21:30 135/88/72 | pouls irrégulier"}
        << QStringList{ambiguous, "lignes 3 à 5 : section « Gewicht » ignorée, " + skipped};
    QTest::newRow("OMRON connect, \"-\" for nothing, an activity section")
        << QByteArray("Date,Time,Systolic (mmHg),Diastolic (mmHg),Pulse (bpm),Symptoms,Consumed,"
                      "TruRead,Notes\n"
                      "May 03 2024,08:12,114,74,47,-,-,-,-\n"
                      "May 03 2024,19:49,116,71,-,-,-,-,\u2014\n"
                      "May 04 2024,08:02,118,75,N/A,-,-,-,NA\n"
                      "Date,Steps (steps),Total Calories (kcal),Distance (km)\n"
                      "May 03 2024,8120,2200,5.8\n")
        << "" << QStringList{"Matin 03/05/2024 08:12 114/74/47"}
        << QStringList{"lignes 5 à 6 : section « Steps » ignorée, " + skipped,
                       "ligne 3 : pouls absent", "ligne 4 : pouls absent"};
    QTest::newRow("UTC with the device's offset column, as -04:00 or minutes")
        << QByteArray("Timestamp (GMT),Timezone offset,Systolic,Diastolic,Pulse\n"
                      "2024-05-03 11:05:00,-04:00,131,84,66\n"
                      "2024-05-03 23:40:00,-240,128,82,71\n"
                      "2024-05-04 16:00:00,+02:00,120,80,60\n"
                      "2024-05-05 05:30:00,,121,79,61\n")
        << ""
        << QStringList{"Matin 03/05/2024 07:05 131/84/66", "Matin 05/05/2024 07:30 121/79/61",
                       "Jour 04/05/2024 18:00 120/80/60", "Soir 03/05/2024 19:40 128/82/71"}
        << QStringList{"2 relevés portaient un autre décalage horaire que celui de l'ordinateur : "
                       "ils sont classés à l'heure de leur lieu de mesure."};
    QTest::newRow("Garmin, Unix seconds and the offset in seconds")
        << QByteArray("MeasurementTimeInSeconds,MeasurementTimeOffsetInSeconds,Systolic,"
                      "Diastolic,Pulse\n1714748700,-14400,131,84,66\n")
        << "" << QStringList{"Matin 03/05/2024 11:05 131/84/66"}
        << QStringList{"1 relevé portait un autre décalage horaire que celui de l'ordinateur : "
                       "il est classé à l'heure de son lieu de mesure."};
    QTest::newRow("ISO times: their own offset kept, UTC converted, none as written")
        << QByteArray("Date,Systolic,Diastolic,Pulse\n2024-05-03T07:05:00-04:00,131,84,66\n"
                      "2024-05-03T05:05:00Z,128,82,71\n2024-05-03T09:05:00+00:00,120,80,60\n"
                      "2024-05-03T21:15:00+02:00,121,79,61\n2024-05-04T06:50:00,122,78,62\n")
        << ""
        << QStringList{"Matin 03/05/2024 07:05 131/84/66", "Matin 03/05/2024 07:05 128/82/71",
                       "Matin 03/05/2024 11:05 120/80/60", "Matin 04/05/2024 06:50 122/78/62",
                       "Soir 03/05/2024 21:15 121/79/61"}
        << QStringList{"1 relevé portait un autre décalage horaire que celui de l'ordinateur : "
                       "il est classé à l'heure de son lieu de mesure."};
    QTest::newRow("iBP, two-digit years")
        << QByteArray("Date,Time,Systolic,Diastolic,Heart Rate,Notes\n"
                      "03/05/24,07:05,131,84,66,\n13/05/24,20:10,128,82,71,repos\n")
        << ""
        << QStringList{"Matin 03/05/2024 07:05 131/84/66", "Soir 13/05/2024 20:10 128/82/71 repos"}
        << QStringList{};
    QTest::newRow("Withings, Comments is the note")
        << QByteArray("Date,\"Heart rate\",\"Systolic\",\"Diastolic\",\"Comments\"\n"
                      "\"2024-05-03 07:05:00\",66,131,84,\"bras gauche\"\n")
        << "" << QStringList{"Matin 03/05/2024 07:05 131/84/66 bras gauche"} << QStringList{};
    QTest::newRow("French spreadsheet in Windows-1252, the flags by name")
        << QByteArray("Date;Heure;Systolique;Diastolique;Fr\xE9quence cardiaque;Remarque;"
                      "Traitement pris;Mouvement;Brassard mal plac\xE9\r\n"
                      "13/05/2024;07:05;131;84;66;apr\xE8s caf\xE9;oui;;oui\r\n"
                      "13/05/2024;20:10;128;82;71;;;oui;\r\n")
        << ""
        << QStringList{"Matin 13/05/2024 07:05 131/84/66 après café | traitement pris, brassard "
                       "mal placé",
                       "Soir 13/05/2024 20:10 128/82/71 | mouvement"}
        << QStringList{};
  }
  void meterAppFiles() {
    QFETCH(QByteArray, file);
    QFETCH(QString, roles);
    QFETCH(QStringList, filed);
    QFETCH(QStringList, told);
    test::TempHome home;
    const QString path = home.path() + QStringLiteral("export.csv");
    QVERIFY(test::WriteFile(path, file));
    const CsvFileStart start = ReadCsvStart(path);
    ColumnMapping mapping = start.guess;
    if (!roles.isEmpty()) {
      mapping.roles.fill(ColumnRole::Ignore);
      const QStringList names = roles.split(u' ');
      for (qsizetype i = 0; i < names.size(); ++i) {
        for (int r = 0; r <= int(ColumnRole::OtherFlags); ++r) {
          if (Folded(ColumnRoleText(ColumnRole(r))) == names[i]) {
            mapping.roles[i] = ColumnRole(r);
          }
        }
      }
    }
    QVERIFY(mapping.complete());
    QString patient = QStringLiteral("Anne");
    StoragePaths paths = SetupStorage(home.path(), patient);
    Logbook book(patient, paths);
    const ImportOutcome outcome = AppendCsvFile(book, path, mapping, start.separator);
    QStringList readings = ReadingTexts(book.lists());
    qsizetype i = 0;
    for (DayPeriod p : kAllPeriods) {
      for (const Reading &r : book.list(p).readings()) {
        if (const ReadingContext *context = book.contexts().find(p, r)) {
          QString &text = readings[i];
          text += context->note.isEmpty() ? QString() : u' ' + context->note;
          text += context->flags == 0 ? QString() : QStringLiteral(" | ") + context->flagsText();
        }
        ++i;
      }
    }
    QCOMPARE(readings, filed);
    QCOMPARE(outcome.summary.split(u'\n').mid(1), told);
  }

  // Readings entered in date order, exported and imported into a new
  // patient, give the same measurement files, byte for byte: as CSV, as
  // FHIR, and from FHIR then CSV (the same CSV as straight from the lists).
  // A reading filed in a list its time does not match comes back to that
  // list through CSV. Imported again into the same lists they are all
  // duplicates.
  void roundTrip_data() {
    QTest::addColumn<QString>("via");
    QTest::addColumn<bool>("misfiled");
    QTest::newRow("CSV") << "csv" << false;
    QTest::newRow("CSV, a day filed in Soir") << "csv" << true;
    QTest::newRow("FHIR") << "fhir" << false;
    QTest::newRow("FHIR then CSV") << "fhir csv" << false;
  }
  void roundTrip() {
    QFETCH(QString, via);
    QFETCH(bool, misfiled);
    PeriodLists lists;
    AddEightyReadings(lists, misfiled);
    const auto importInto = [&](const PeriodLists &into, const QString &format,
                                const PeriodLists &from) {
      auto import = std::make_unique<CsvImport>(into, ColumnMapping{});
      if (format == u"fhir") {
        const FhirExport out = ExportFhir(from, QStringLiteral("Anne"), std::nullopt, std::nullopt);
        [&] { QVERIFY(!ReadFhir(out.json, *import).error); }();
        return import;
      }
      const QByteArray csv = ExportCsv(from, std::nullopt, std::nullopt);
      CsvReader reader(DetectCsvSeparator(csv));
      bool first = true;
      const auto record = [&](const QStringList &fields, qint64 line) {
        if (first) {
          first = false;
          import = std::make_unique<CsvImport>(into, GuessFileMapping({fields}));
        }
        import->add(fields, line);
        return true;
      };
      reader.feed(csv, record);
      reader.finish(record);
      return import;
    };
    const QString first = via.section(u' ', 0, 0);
    std::unique_ptr<CsvImport> import = importInto(PeriodLists(), first, lists);
    QCOMPARE(import->imported(), qint64(80));
    PeriodLists back;
    for (DayPeriod p : kAllPeriods) {
      QCOMPARE(SerializeMeasurementFile(import->accepted(p)),
               SerializeMeasurementFile(lists.list(p).readings()));
      back.list(p).appendReadings(import->takeAccepted(p));
    }
    if (via.contains(u' ')) {
      QCOMPARE(ExportCsv(back, std::nullopt, std::nullopt),
               ExportCsv(lists, std::nullopt, std::nullopt));
    }
    const std::unique_ptr<CsvImport> again = importInto(lists, first, lists);
    QCOMPARE(again->imported(), qint64(0));
    QCOMPARE(again->duplicates(), qint64(80));
  }

  // The context of a reading out and back in, through CSV and FHIR: the
  // note as it was (formula, separators, quotes, accents) and the flag; a
  // reading without context gets none. Through CSV every flag and the
  // flags of a later version too.
  void contextRoundTrip_data() {
    QTest::addColumn<QString>("via");
    QTest::addColumn<QString>("note");
    QTest::addColumn<bool>("irregular");
    QTest::addColumn<int>("flags"); // the other flags
    QTest::addColumn<QString>("others");
    const QString notes[] = {QStringLiteral("=1+1"),
                             QStringLiteral("après le café, bras gauche"),
                             QStringLiteral("dit \"assez\"; très fatigué"),
                             QStringLiteral("+33 6 12"),
                             QString(),
                             QStringLiteral("mal de tête")};
    const bool flags[] = {false, true, false, true, true, false};
    for (const char *via : {"csv", "fhir"}) {
      for (size_t i = 0; i < std::size(notes); ++i) {
        QTest::addRow("%s: %s%s", via, qPrintable(notes[i]), flags[i] ? ", irrégulier" : "")
            << QString::fromLatin1(via) << notes[i] << flags[i] << 0 << QString();
      }
    }
    for (ContextFlag flag : kAllContextFlags) {
      QTest::addRow("csv: %s", qPrintable(ContextFlagText(flag)))
          << "csv" << QString() << false << int(flag) << QString();
    }
    QTest::newRow("csv: every flag, a note, others")
        << "csv" << QStringLiteral("assis") << true << 0xE << QStringLiteral("=toux; repos");
  }
  void contextRoundTrip() {
    QFETCH(QString, via);
    QFETCH(QString, note);
    QFETCH(bool, irregular);
    QFETCH(int, flags);
    QFETCH(QString, others);
    PeriodLists lists;
    lists.list(DayPeriod::Matin).append(test::MakeReading("07:15", 131, 84, 66, "02/03/2026"));
    lists.list(DayPeriod::Soir).append(test::MakeReading("20:05", 128, 82, 71, "02/03/2026"));
    ReadingContext context{note, quint8(flags), others};
    context.set(ContextFlag::Irregular, irregular);
    ReadingContexts contexts;
    contexts.set(DayPeriod::Soir, lists.list(DayPeriod::Soir).readings()[0], context);

    CsvImport import(PeriodLists(), ColumnMapping{});
    std::unique_ptr<CsvImport> csvImport;
    CsvImport *into = &import;
    if (via == u"fhir") {
      const FhirExport out = ExportFhir(lists, QStringLiteral("Anne"), std::nullopt, std::nullopt,
                                        FhirBundleType::Collection, &contexts);
      QVERIFY(!ReadFhir(out.json, import).error);
      // Read in chunks of 5 bytes, the same.
      CsvImport trickled(PeriodLists(), ColumnMapping{});
      Trickle device(out.json, 5);
      QVERIFY(!ReadFhir(device, trickled, {}, {}).error);
      QCOMPARE(trickled.imported(), qint64(2));
      QCOMPARE(trickled.contexts(), import.contexts());
    } else {
      const QByteArray csv = ExportCsv(lists, std::nullopt, std::nullopt, nullptr, &contexts);
      CsvReader reader(';');
      const auto record = [&](const QStringList &fields, qint64 line) {
        if (!csvImport) {
          csvImport = std::make_unique<CsvImport>(PeriodLists(), GuessFileMapping({fields}));
        }
        csvImport->add(fields, line);
        return true;
      };
      reader.feed(csv, record, [&](std::span<const QByteArrayView> fields, qint64 line) {
        if (!csvImport) {
          QStringList texts;
          for (QByteArrayView f : fields) {
            texts << DecodeCsvField(f);
          }
          return record(texts, line);
        }
        csvImport->addPlain(fields, line);
        return true;
      });
      reader.finish(record);
      into = csvImport.get();
    }
    QCOMPARE(into->imported(), qint64(2));
    const std::vector<ContextRecord> expected{
        {ContextKey::of(DayPeriod::Soir, lists.list(DayPeriod::Soir).readings()[0]), context}};
    QCOMPARE(into->contexts(), context.isEmpty() ? std::vector<ContextRecord>() : expected);
  }

  // Readings out to FHIR and back in: the same dates, times, values and
  // context (the first reading's), collection or transaction; with
  // `rewrite` ("from>to") the export's text changed first.
  void fhirRoundTrips_data() {
    QTest::addColumn<QStringList>("readings"); // "dd/MM/yyyy hh:mm s/d/p", Matin then Soir
    QTest::addColumn<int>("flags");
    QTest::addColumn<QString>("other");
    QTest::addColumn<QString>("note");
    QTest::addColumn<QString>("rewrite");
    QTest::addColumn<bool>("transaction");
    const QStringList one{"02/03/2026 07:15 131/84/66"};
    for (ContextFlag flag : kAllContextFlags) {
      QTest::addRow("%s", qPrintable(ContextFlagText(flag))) << one << int(flag) << ""
                                                             << ""
                                                             << "" << false;
    }
    QTest::newRow("every flag, others, a note; transaction")
        << one << 15 << "position allongée, bras droit"
        << "après le café"
        << "" << true;
    QTest::newRow("others alone") << one << 0 << "stress"
                                  << ""
                                  << "" << false;
    QTest::newRow("two readings of one minute")
        << QStringList{"02/03/2026 07:15 127/80/66", "02/03/2026 07:15 131/84/62"} << 0 << ""
        << ""
        << "" << false;
    QTest::newRow("a time the clocks skip")
        << QStringList{"29/03/2026 02:30 128/82/71", "29/03/2026 03:30 129/83/72"} << 0 << ""
        << ""
        << "" << true;
    QTest::newRow("a time the clocks show twice")
        << QStringList{"25/10/2026 02:30 128/82/71"} << 0 << ""
        << ""
        << "" << false;
    QTest::newRow("a foreign offset") << one << 0 << ""
                                      << ""
                                      << "+01:00>-04:00" << false;
  }
  void fhirRoundTrips() {
    if (!ComputerOnParisTime()) {
      QSKIP(kNotParisTime);
    }
    QFETCH(QStringList, readings);
    QFETCH(int, flags);
    QFETCH(QString, other);
    QFETCH(QString, note);
    QFETCH(QString, rewrite);
    QFETCH(bool, transaction);
    PeriodLists lists;
    for (const QString &r : readings) {
      const QStringList v = r.section(u' ', 2).split(u'/');
      lists.list(PeriodOfTime(r.section(u' ', 1, 1)))
          .append(test::MakeReading(r.section(u' ', 1, 1), v[0].toInt(), v[1].toInt(), v[2].toInt(),
                                    r.section(u' ', 0, 0)));
    }
    const DayPeriod first = PeriodOfTime(readings[0].section(u' ', 1, 1));
    const ReadingContext context{note, quint8(flags), other};
    ReadingContexts contexts;
    contexts.set(first, lists.list(first).readings()[0], context);
    QByteArray json =
        ExportFhir(lists, QStringLiteral("Anne"), std::nullopt, std::nullopt,
                   transaction ? FhirBundleType::Transaction : FhirBundleType::Collection,
                   &contexts)
            .json;
    if (!rewrite.isEmpty()) {
      json.replace(rewrite.section(u'>', 0, 0).toLatin1(), rewrite.section(u'>', 1).toLatin1());
    }
    CsvImport import(PeriodLists(), ColumnMapping{});
    QVERIFY(!ReadFhir(json, import).error);
    QCOMPARE(Accepted(import), readings);
    QCOMPARE(import.contexts().size(), size_t(context.isEmpty() ? 0 : 1));
    if (!context.isEmpty()) {
      QCOMPARE(import.contexts()[0].context, context);
    }
  }

  // A text a spreadsheet would run gets an apostrophe before it; numbers
  // ("-5") stay numbers; the reader gives every text back as it was.
  void formulaCells_data() {
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<QByteArray>("row"); // after the date, time and period
    const auto row = [](const char *diagnosis) {
      return QStringList{"02/03/2026", "20:00", "128", "82", "71", QString::fromUtf8(diagnosis)};
    };
    QTest::newRow("equals") << row("=1+1") << QByteArray("128;82;71;'=1+1");
    QTest::newRow("hyperlink") << row("=HYPERLINK(\"http://x\")")
                               << QByteArray("128;82;71;\"'=HYPERLINK(\"\"http://x\"\")\"");
    QTest::newRow("plus") << row("+33 6") << QByteArray("128;82;71;'+33 6");
    QTest::newRow("at") << row("@SUM(A1)") << QByteArray("128;82;71;'@SUM(A1)");
    QTest::newRow("tab") << row("\tx") << QByteArray("128;82;71;'\tx");
    QTest::newRow("an apostrophe kept") << row("'=x") << QByteArray("128;82;71;''=x");
    QTest::newRow("apostrophe alone") << row("'x") << QByteArray("128;82;71;'x");
    QTest::newRow("negative number stays")
        << QStringList{"02/03/2026", "20:00", "-5", "82", "71", "d"} << QByteArray("-5;82;71;d");
    QTest::newRow("text value") << QStringList{"02/03/2026", "20:00", "+5", "82", "71", "d"}
                                << QByteArray("'+5;82;71;d");
  }
  void formulaCells() {
    QFETCH(QStringList, cells);
    QFETCH(QByteArray, row);
    PeriodLists lists;
    lists.list(DayPeriod::Soir).append(test::CellsReading(cells));
    lists.list(DayPeriod::Soir).append(test::CellsReading(cells));
    const QByteArray csv = ExportCsv(lists, std::nullopt, std::nullopt);
    const QByteArray line = "2026-03-02;20:00;Soir;" + row + ";;;;;;\r\n";
    QCOMPARE(csv.mid(csv.indexOf('\n') + 1), line + line);
    // Read back: the plain rows as bytes, the quoted ones as texts.
    CsvReader reader(';');
    QList<QStringList> records;
    const auto keep = [&](const QStringList &fields, qint64) {
      records << fields;
      return true;
    };
    reader.feed(csv, keep, [&](std::span<const QByteArrayView> fields, qint64) {
      QStringList texts;
      for (QByteArrayView f : fields) {
        texts << DecodeCsvField(f);
      }
      return keep(texts, 0);
    });
    QStringList expected = cells;
    expected[0] = QStringLiteral("2026-03-02");
    expected.insert(2, QStringLiteral("Soir"));
    expected += QStringList(6);
    QCOMPARE(records, QList<QStringList>({records.value(0), expected, expected}));
  }

  // FHIR in: the panels of a bundle or one observation, their pulse, units,
  // rounding, times, and the reasons of the readings refused.
  void readFhir_data() {
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QStringList>("readings");
    QTest::addColumn<QString>("summary"); // its lines after the counts, or the error
    const char *t = "2026-03-03T07:40:00+01:00";
    const auto one = [](const QJsonObject &o) { return QJsonDocument(o).toJson(); };
    const QStringList none;
    const QStringList normal{"03/03/2026 07:40 128/82/71"};
    QTest::newRow("bundle: panel and rate")
        << Bundle({Panel(t, 128, 82), Rate(t, 71)}) << normal << "";
    QTest::newRow("one observation, its own pulse")
        << one(Panel(t, 128, 82, "mm[Hg]", 71)) << normal << "";
    QTest::newRow("own pulse before a rate")
        << Bundle({Panel(t, 128, 82, "mm[Hg]", 71), Rate(t, 90)}) << normal << "";
    QTest::newRow("nearest rate within 5 min")
        << Bundle({Rate("2026-03-03T07:36:00+01:00", 60), Panel(t, 128, 82),
                   Rate("2026-03-03T07:42:00+01:00", 65), Rate("2026-03-03T07:39:00+01:00", 71)})
        << normal << "";
    QTest::newRow("rate of another patient")
        << Bundle({Panel(t, 128, 82, "mm[Hg]", 0, "Patient/a"), Rate(t, 60, "/min", "Patient/b"),
                   Rate("2026-03-03T07:43:00+01:00", 71, "/min", "Patient/a")})
        << normal << "";
    QTest::newRow("rate too far") << Bundle(
                                         {Panel(t, 128, 82), Rate("2026-03-03T07:45:01+01:00", 71)})
                                  << none << "entrée 1 : pouls absent";
    QTest::newRow("no pulse, place in the bundle")
        << Bundle({QJsonObject{{"resourceType", "Patient"}}, Panel(t, 128, 82)}) << none
        << "entrée 2 : pouls absent";
    QTest::newRow("kPa") << Bundle({Panel(t, 17.1, 10.9, "kPa"), Rate(t, 71)})
                         << QStringList{"03/03/2026 07:40 128/82/71"} << "";
    QTest::newRow("decimals half away from zero")
        << Bundle({Panel(t, 127.5, 82.49), Rate(t, 70.5)}) << normal << "";
    // Rounded from the digits written: 120.49999999999999999999 is 120.5 as a double.
    QTest::newRow("decimal text, not a double") << Bundle({Panel(t, 133, 82), Rate(t, 77)})
                                                       .replace("133", "120.49999999999999999999")
                                                       .replace("77", "70.50000000000000000001")
                                                << QStringList{"03/03/2026 07:40 120/82/71"} << "";
    QTest::newRow("exponent, kPa from its digits")
        << Bundle({Panel(t, 133, 10.9, "kPa"), Rate(t, 71)}).replace("133", "1.71e1")
        << QStringList{"03/03/2026 07:40 128/82/71"} << "";
    QTest::newRow("offset: the clock time where it was taken")
        << Bundle({Panel("2026-03-03T12:10:00+05:30", 128, 82), Rate("2026-03-03T06:40:00Z", 71)})
        << QStringList{"03/03/2026 12:10 128/82/71"} << kOtherOffset;
    QTest::newRow("fraction of a second, UTC")
        << Bundle({Panel("2026-03-03T06:40:59.999Z", 128, 82), Rate("2026-03-03T06:44:00Z", 71)})
        << normal << "";
    QTest::newRow("no offset: local")
        << Bundle({Panel("2026-03-03T07:40:00", 128, 82, "mm[Hg]", 71)}) << normal << "";
    QTest::newRow("summer time, a day with no 02:30")
        << Bundle({Panel("2026-03-29T00:30:00Z", 128, 82, "mm[Hg]", 71),
                   Panel("2026-03-29T01:30:00Z", 128, 82, "mm[Hg]", 72)})
        << QStringList{"29/03/2026 01:30 128/82/71", "29/03/2026 03:30 128/82/72"} << "";
    QTest::newRow("impossible day")
        << Bundle({Panel("2026-02-30T07:40:00+01:00", 128, 82, "mm[Hg]", 71)}) << none
        << "entrée 1 : date et heure illisibles";
    QTest::newRow("wrong unit") << Bundle({Panel(t, 128, 82, "cm[H2O]"), Rate(t, 71)}) << none
                                << "entrée 1 : unité inconnue : cm[H2O]";
    QTest::newRow("rate in a wrong unit") << Bundle({Panel(t, 128, 82), Rate(t, 71, "Hz")}) << none
                                          << "entrée 1 : unité inconnue : Hz";
    QTest::newRow("date only") << Bundle({Panel("2026-03-03", 128, 82, "mm[Hg]", 71)}) << none
                               << "entrée 1 : heure absente";
    QTest::newRow("implausible, duplicate")
        << Bundle({Panel(t, 82, 128, "mm[Hg]", 71), Panel(t, 128, 82, "mm[Hg]", 71),
                   Panel(t, 128, 82, "mm[Hg]", 71)})
        << normal << "entrée 1 : valeurs invraisemblables";
    // Files as other programs write them.
    const auto entry = [](const char *url, QJsonObject resource, const char *key = nullptr,
                          const char *reference = nullptr) {
      if (key) {
        resource.insert(QLatin1StringView(key), QJsonArray{QJsonObject{{"reference", reference}}});
      }
      return QJsonObject{{"fullUrl", url}, {"resource", resource}};
    };
    const auto bundle = [](QJsonObject top, const QList<QJsonObject> &entries) {
      QJsonArray list;
      for (const QJsonObject &e : entries) {
        list.append(e);
      }
      top.insert("resourceType", "Bundle");
      top.insert("entry", list);
      return QJsonDocument(top).toJson(QJsonDocument::Compact);
    };
    const auto identified = [](QJsonObject o, const char *value) {
      o.insert("identifier", QJsonArray{QJsonObject{{"system", "urn:meter"}, {"value", value}}});
      return QJsonObject{{"resource", o}};
    };
    QTest::newRow("older panel code 55284-4")
        << Bundle({Panel(t, 128, 82), Rate(t, 71)}).replace("85354-9", "55284-4") << normal << "";
    QTest::newRow("panel of an unknown code")
        << Bundle({Panel(t, 128, 82, "mm[Hg]", 71)}).replace("85354-9", "35094-2") << none
        << "entrée 1 : tension sous un code inconnu : 35094-2";
    QTest::newRow("a page of a search")
        << bundle(
               {{"type", "searchset"},
                {"total", 31},
                {"link", QJsonArray{QJsonObject{{"relation", "next"}, {"url", "https://x/p2"}}}}},
               {entry("https://x/Observation/1", Panel(t, 128, 82, "mm[Hg]", 71)),
                QJsonObject{{"resource", QJsonObject{{"resourceType", "Patient"}}},
                            {"search", QJsonObject{{"mode", "include"}}}}})
        << normal
        << "Ce fichier n'est qu'une page d'une recherche plus large : 31 résultats annoncés, "
           "1 présent.";
    QTest::newRow("a page, a next link only")
        << bundle({{"type", "searchset"}, {"link", QJsonArray{QJsonObject{{"relation", "next"}}}}},
                  {entry("https://x/Observation/1", Panel(t, 128, 82, "mm[Hg]", 71))})
        << normal
        << "Ce fichier n'est qu'une page d'une recherche plus large : les pages suivantes (lien "
           "« next ») ne sont pas importées.";
    QTest::newRow("offsets of a watch abroad")
        << Bundle({Panel("2024-05-03T07:05:00-04:00", 128, 82), Rate("2024-05-03T11:06:00Z", 71)})
        << QStringList{"03/05/2024 07:05 128/82/71"} << kOtherOffset;
    // The rate nearest in time and in the file is another panel's.
    QTest::newRow("rate named by hasMember, and by an id")
        << bundle({}, {entry("urn:uuid:p1", Panel(t, 128, 82), "hasMember", "urn:uuid:r2"),
                       entry("urn:uuid:r1",
                             [&] {
                               QJsonObject rate = Rate(t, 71);
                               rate.insert("id", "r1");
                               return rate;
                             }()),
                       entry("urn:uuid:p2", Panel(t, 131, 84), "derivedFrom",
                             "https://x/fhir/Observation/r1/_history/3"),
                       entry("urn:uuid:r2", Rate("2026-03-03T07:43:00+01:00", 66))})
        << QStringList{"03/03/2026 07:40 128/82/66", "03/03/2026 07:40 131/84/71"} << "";
    QTest::newRow("rate of the same identifier")
        << bundle({}, {identified(Panel(t, 128, 82), "r42-bp"), identified(Rate(t, 60), "r41-hr"),
                       identified(Rate(t, 71), "r42-hr")})
        << normal << "";
    QTest::newRow("each rate to one panel")
        << Bundle({Panel(t, 128, 82), Rate(t, 71), Panel(t, 131, 84)}) << normal
        << "entrée 3 : pouls absent";
    QTest::newRow("malformed") << QByteArray("\xEF\xBB\xBF{\"resourceType\": x}") << none
                               << "JSON illisible à l'octet 20";
    QTest::newRow("not FHIR") << QByteArray("{\"a\": 1}") << none
                              << "ce fichier JSON n'est ni un Bundle ni une Observation FHIR";
  }
  void readFhir() {
    if (!ComputerOnParisTime()) {
      QSKIP(kNotParisTime);
    }
    QFETCH(QByteArray, json);
    QFETCH(QStringList, readings);
    QFETCH(QString, summary);
    PeriodLists lists;
    CsvImport import(lists, ColumnMapping{});
    const FhirRead read = ReadFhir(json, import);
    QCOMPARE(Accepted(import), readings);
    if (read.error) {
      QCOMPARE(read.error.why(), summary);
    } else {
      QCOMPARE(import.summary().section(u'\n', 1), summary);
    }
  }

  // Many panels and heart rates at one instant: each panel finds its pulse
  // in logarithmic time (the time grew as their product), the nearest in
  // the file.
  void fhirPairingIsLinear() {
    QByteArray json = "{\"resourceType\":\"Bundle\",\"entry\":[";
    constexpr int kPairs = 80000;
    for (int i = 0; i < kPairs; ++i) {
      if (i > 0) {
        json += ',';
      }
      json += "{\"resource\":" +
              QJsonDocument(i % 2 == 0 ? Panel("2026-03-03T07:40:00+01:00", 100 + i % 97, 70)
                                       : Rate("2026-03-03T07:40:00+01:00", 50 + i % 89))
                  .toJson(QJsonDocument::Compact) +
              '}';
    }
    json += "]}";
    PeriodLists lists;
    CsvImport import(lists, ColumnMapping{});
    QElapsedTimer timer;
    timer.start();
    const FhirRead read = ReadFhir(json, import);
    QVERIFY2(timer.elapsed() < 8000, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(!read.error);
    // The first panel's pulse is the rate right after it.
    QVERIFY2(Accepted(import).value(0).endsWith(u"100/70/51"),
             qPrintable(Accepted(import).value(0)));
  }

  // The JSON grammar of RFC 8259 (stricter than QJsonDocument, which takes
  // "1." and unknown escapes): a fault is told at its first byte that
  // cannot be JSON, wherever the chunks end.
  void fhirJsonGrammar_data() {
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<qint64>("at"); // -1: JSON
    QTest::newRow("empty object") << QByteArray("{}") << qint64(-1);
    QTest::newRow("every kind of value")
        << QByteArray(" {\"a\" : [1, -0.5e+3, 0, 2E-2, true, false, null, {}, [],"
                      " \"\\u00e9\\ud83d\\ude00\\n\\\"\\/\", "
                      "\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\"]}\r\n")
        << qint64(-1);
    QTest::newRow("leading zero") << QByteArray("{\"a\":01}") << qint64(6);
    QTest::newRow("no digit after the point") << QByteArray("{\"a\":1.}") << qint64(7);
    QTest::newRow("bare minus") << QByteArray("{\"a\":-}") << qint64(6);
    QTest::newRow("unknown escape") << QByteArray("{\"a\":\"\\x\"}") << qint64(7);
    QTest::newRow("short unicode escape") << QByteArray("{\"a\":\"\\u12\"}") << qint64(10);
    QTest::newRow("cut UTF-8") << QByteArray("{\"a\":\"\xC3\"}") << qint64(7);
    QTest::newRow("overlong UTF-8") << QByteArray("{\"a\":\"\xC0\xAF\"}") << qint64(6);
    QTest::newRow("Latin-1 byte") << QByteArray("{\"a\":\"caf\xE9\"}") << qint64(10);
    QTest::newRow("raw line break") << QByteArray("{\"a\":\"a\nb\"}") << qint64(7);
    QTest::newRow("garbage after") << QByteArray("{\"a\":1} x") << qint64(8);
    QTest::newRow("trailing comma") << QByteArray("{\"a\":1,}") << qint64(7);
    QTest::newRow("missing colon") << QByteArray("{\"a\" 1}") << qint64(5);
    QTest::newRow("unquoted key") << QByteArray("{a:1}") << qint64(1);
    QTest::newRow("misspelt literal") << QByteArray("{\"a\":nul}") << qint64(8);
    QTest::newRow("cut short") << QByteArray("{\"resourceType\":\"Bundle\",\"entry\":[{")
                               << qint64(35);
    QTest::newRow("nothing") << QByteArray("") << qint64(0);
    QTest::newRow("byte-order mark alone") << QByteArray("\xEF\xBB\xBF") << qint64(3);
    QTest::newRow("1024 arrays within the object")
        << QByteArray("{\"a\":") + QByteArray(1024, '[') + QByteArray(1024, ']') + "}"
        << qint64(-1);
    QTest::newRow("1025 arrays") << QByteArray("{\"a\":") + QByteArray(1025, '[') +
                                        QByteArray(1025, ']') + "}"
                                 << qint64(5 + 1024);
  }
  void fhirJsonGrammar() {
    QFETCH(QByteArray, json);
    QFETCH(qint64, at);
    const QString expected =
        at < 0 ? QString() : QStringLiteral("JSON illisible à l'octet %1").arg(at);
    for (qint64 step : {qint64(0), qint64(1), qint64(3)}) {
      PeriodLists lists;
      CsvImport import(lists, ColumnMapping{});
      Trickle device(json, step);
      const FhirRead read = step == 0 ? ReadFhir(json, import) : ReadFhir(device, import, {}, {});
      QCOMPARE(read.error.reason == u"JSON illisible" ? read.error.why() : QString(), expected);
    }
  }

  // The context of a panel read back: its notes, and an irregular beat
  // coded as an interpretation or as a heart-rate-rhythm component.
  void fhirContexts_data() {
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("note");
    QTest::addColumn<bool>("irregular");
    const auto panel = [](const char *key, const QJsonValue &value) {
      QJsonObject o = Panel("2026-03-03T07:40:00+01:00", 128, 82, "mm[Hg]", 71);
      if (qstrcmp(key, "component") == 0) {
        QJsonArray members = o["component"].toArray();
        members.append(value);
        o.insert("component", members);
      } else {
        o.insert(QLatin1StringView(key), value);
      }
      return QJsonDocument(o).toJson(QJsonDocument::Compact);
    };
    const auto text = [](const char *t) { return QJsonObject{{"text", QString::fromUtf8(t)}}; };
    const auto snomed = [](const char *code, const char *system = "http://snomed.info/sct") {
      return QJsonObject{{"coding", QJsonArray{QJsonObject{{"system", system}, {"code", code}}}}};
    };
    const auto rhythm = [&](const char *code) {
      return QJsonObject{{"code", Loinc("8884-9")}, {"valueCodeableConcept", snomed(code)}};
    };
    QTest::newRow("a note") << panel("note", QJsonArray{text("après le café")}) << "après le café"
                            << false;
    QTest::newRow("two notes, a line break")
        << panel("note", QJsonArray{text("bras\ngauche"), text("assis")}) << "bras gauche assis"
        << false;
    QTest::newRow("interpretation")
        << panel("interpretation", QJsonArray{snomed("361137007")}) << "" << true;
    QTest::newRow("rhythm, irregularly irregular")
        << panel("component", rhythm("271637005")) << "" << true;
    QTest::newRow("rhythm, regular")
        << panel("component", rhythm("933506231000036108")) << "" << false;
    QTest::newRow("the code of another system")
        << panel("interpretation", QJsonArray{snomed("361137007", "http://loinc.org")}) << ""
        << false;
  }
  void fhirContexts() {
    QFETCH(QByteArray, json);
    QFETCH(QString, note);
    QFETCH(bool, irregular);
    PeriodLists lists;
    CsvImport import(lists, ColumnMapping{});
    QVERIFY(!ReadFhir(json, import).error);
    QCOMPARE(import.imported(), qint64(1));
    ReadingContext expected{note, 0};
    expected.set(ContextFlag::Irregular, irregular);
    QCOMPARE(import.contexts().size(), size_t(expected.isEmpty() ? 0 : 1));
    if (!expected.isEmpty()) {
      QCOMPARE(import.contexts()[0].context, expected);
    }
  }

  // A logbook exported to a file and imported into an empty one gives the
  // same measurement files; progress comes in steps and a cancel or a file
  // past the bound imports nothing.
  void fhirFiles() {
    test::TempHome home;
    QString zoe = QStringLiteral("Zoé"), marc = QStringLiteral("Marc");
    StoragePaths zoePaths = SetupStorage(home.path(), zoe);
    StoragePaths marcPaths = SetupStorage(home.path(), marc);
    Logbook source(zoe, zoePaths), other(marc, marcPaths);
    AddEightyReadings(source.lists());
    SaveLogbook(source);
    const QString json = home.path() + QStringLiteral("zoe.json");
    QVERIFY(!ExportLogbook(source, ExportFormat::FhirTransaction, json).error);
    int steps = 0;
    const ImportProgress count = [&](qint64, qint64) { return ++steps > 0; };
    ImportOutcome cancelled = AppendFhirFile(other, json, [](qint64, qint64) { return false; });
    QVERIFY(cancelled.cancelled);
    QCOMPARE(other.lists().totalCount(), qsizetype(0));
    ImportOutcome outcome = AppendFhirFile(other, json, count);
    SaveImport(other, outcome);
    QCOMPARE(outcome.imported, qint64(80));
    QVERIFY(steps >= 3);
    for (DayPeriod p : kAllPeriods) {
      QCOMPARE(test::ReadFile(marcPaths.measurementFile(p)),
               test::ReadFile(zoePaths.measurementFile(p)));
    }
    QCOMPARE(AppendFhirFile(source, json).duplicates, qint64(80));

    QFile big(home.path() + QStringLiteral("big.json"));
    QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(kMaxFhirFileBytes + 1));
    big.close();
    QVERIFY(AppendFhirFile(other, big.fileName()).error.reason.contains(u"512 Mio"));
  }

  // Local times with their offset, a time the clocks skip as the instant Qt
  // reads it as.
  void localTimes_data() {
    QTest::addColumn<QDate>("date");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<QString>("text");
    QTest::newRow("winter") << QDate(2026, 3, 28) << 7 * 60 + 10 << "2026-03-28T07:10:00+01:00";
    QTest::newRow("summer") << QDate(2026, 3, 29) << 7 * 60 + 15 << "2026-03-29T07:15:00+02:00";
    QTest::newRow("skipped") << QDate(2026, 3, 29) << 2 * 60 + 30 << "2026-03-29T02:30:00+01:00";
    QTest::newRow("twice") << QDate(2026, 10, 25) << 2 * 60 + 30 << "2026-10-25T02:30:00+01:00";
    QTest::newRow("after the change")
        << QDate(2026, 3, 29) << 3 * 60 << "2026-03-29T03:00:00+02:00";
  }
  void localTimes() {
    if (!ComputerOnParisTime()) {
      QSKIP(kNotParisTime);
    }
    QFETCH(QDate, date);
    QFETCH(int, minutes);
    QFETCH(QString, text);
    QCOMPARE(LocalDateTimeWithOffset(date, minutes), text);
  }

  // The transaction: every entry a conditional create on its own
  // identifier, its profile, the patient its subject.
  void fhirTransaction() {
    PeriodLists lists;
    AddEightyReadings(lists);
    const FhirExport out = ExportFhir(lists, QStringLiteral("Anne"), std::nullopt, std::nullopt,
                                      FhirBundleType::Transaction);
    const QJsonObject bundle = QJsonDocument::fromJson(out.json).object();
    QCOMPARE(bundle["type"].toString(), QStringLiteral("transaction"));
    const QJsonArray entries = bundle["entry"].toArray();
    QCOMPARE(entries.size(), 161);
    const QString patientUrl = entries[0]["fullUrl"].toString();
    for (qsizetype i = 0; i < entries.size(); ++i) {
      const QJsonObject resource = entries[i]["resource"].toObject();
      const QJsonObject request = entries[i]["request"].toObject();
      const QJsonObject id = resource["identifier"][0].toObject();
      const QString type = i == 0 ? "Patient" : "Observation";
      QCOMPARE(resource["resourceType"].toString(), type);
      QCOMPARE(id["system"].toString(), i == 0 ? QStringLiteral("urn:tensiolog:patient")
                                               : QStringLiteral("urn:tensiolog:reading"));
      QCOMPARE(id["value"].toString().size(), qsizetype(64));
      QCOMPARE(request["method"].toString(), QStringLiteral("POST"));
      QCOMPARE(request["url"].toString(), type);
      QCOMPARE(request["ifNoneExist"].toString(),
               "identifier=" + id["system"].toString() + u'|' + id["value"].toString());
      if (i > 0) {
        QCOMPARE(resource["subject"]["reference"].toString(), patientUrl);
        QCOMPARE(resource["meta"]["profile"][0].toString(),
                 i % 2 ? QStringLiteral("http://hl7.org/fhir/StructureDefinition/bp")
                       : QStringLiteral("http://hl7.org/fhir/StructureDefinition/heartrate"));
      }
    }
    // Unique fullUrls, the same resources as in the collection.
    const QMap<QString, QJsonObject> resources = ByUrl(out.json);
    QCOMPARE(resources.size(), 161);
    QCOMPARE(resources,
             ByUrl(ExportFhir(lists, QStringLiteral("Anne"), std::nullopt, std::nullopt).json));
  }

  // A reading added before the others leaves every fullUrl and identifier
  // of the others as it was; a reading twice is written once.
  void fhirStableIds() {
    PeriodLists lists;
    AddEightyReadings(lists);
    const QMap<QString, QJsonObject> before =
        ByUrl(ExportFhir(lists, QStringLiteral("Anne"), std::nullopt, std::nullopt).json);
    lists.list(DayPeriod::Matin).append(test::MakeReading("07:00", 120, 80, 60, "01/01/2026"));
    lists.list(DayPeriod::Matin).append(test::MakeReading("07:00", 120, 80, 60, "01/01/2026"));
    const FhirExport after = ExportFhir(lists, QStringLiteral("Anne"), std::nullopt, std::nullopt);
    QCOMPARE(after.exported, qsizetype(81));
    const QMap<QString, QJsonObject> now = ByUrl(after.json);
    QCOMPARE(now.size(), before.size() + 2);
    for (auto it = before.begin(); it != before.end(); ++it) {
      QCOMPARE(now.value(it.key()), it.value());
    }
  }

  // The bundle parsed back: the patient, then for each valid reading a
  // blood-pressure and a heart-rate observation with their codes, units and
  // local times with the offset in force that day; unreadable readings are
  // counted, not written.
  void fhirBundle() {
    // The offsets below hold where the computer is on Paris time.
    if (!ComputerOnParisTime()) {
      QSKIP(kNotParisTime);
    }
    PeriodLists lists;
    lists.list(DayPeriod::Matin).append(test::MakeReading("07:15", 131, 84, 66, "29/03/2026"));
    lists.list(DayPeriod::Matin).append(test::MakeReading("07:10", 128, 82, 71, "28/03/2026"));
    lists.list(DayPeriod::Soir)
        .append(test::CellsReading({"28/03/2026", "20:00", "abc", "80", "70", ""}));
    const FhirExport out =
        ExportFhir(lists, QStringLiteral("Zoé Martin"), std::nullopt, std::nullopt);
    QCOMPARE(out.exported, qsizetype(2));
    QCOMPARE(out.leftOut, qsizetype(1));

    const QJsonObject bundle = QJsonDocument::fromJson(out.json).object();
    QCOMPARE(bundle["resourceType"].toString(), QStringLiteral("Bundle"));
    QCOMPARE(bundle["type"].toString(), QStringLiteral("collection"));
    const QJsonArray entries = bundle["entry"].toArray();
    QCOMPARE(entries.size(), 5);
    const QJsonObject patient = entries[0].toObject()["resource"].toObject();
    QCOMPARE(patient["resourceType"].toString(), QStringLiteral("Patient"));
    QCOMPARE(patient["name"].toArray()[0].toObject()["text"].toString(),
             QStringLiteral("Zoé Martin"));
    const QString patientUrl = entries[0].toObject()["fullUrl"].toString();
    QVERIFY(patientUrl.startsWith(QStringLiteral("urn:uuid:")));

    const auto code = [](const QJsonObject &o) {
      return o["code"].toObject()["coding"].toArray()[0].toObject()["code"].toString();
    };
    const QString times[] = {"2026-03-28T07:10:00+01:00", "2026-03-29T07:15:00+02:00"};
    const qint64 values[][3] = {{128, 82, 71}, {131, 84, 66}};
    for (int i = 0; i < 2; ++i) {
      const QJsonObject bp = entries[1 + 2 * i].toObject()["resource"].toObject();
      const QJsonObject hr = entries[2 + 2 * i].toObject()["resource"].toObject();
      for (const QJsonObject &o : {bp, hr}) {
        QCOMPARE(o["resourceType"].toString(), QStringLiteral("Observation"));
        QCOMPARE(o["status"].toString(), QStringLiteral("final"));
        QCOMPARE(o["category"]
                     .toArray()[0]
                     .toObject()["coding"]
                     .toArray()[0]
                     .toObject()["code"]
                     .toString(),
                 QStringLiteral("vital-signs"));
        QCOMPARE(o["subject"].toObject()["reference"].toString(), patientUrl);
        QCOMPARE(o["effectiveDateTime"].toString(), times[i]);
      }
      QCOMPARE(code(bp), QStringLiteral("85354-9"));
      const QJsonArray parts = bp["component"].toArray();
      QCOMPARE(code(parts[0].toObject()), QStringLiteral("8480-6"));
      QCOMPARE(code(parts[1].toObject()), QStringLiteral("8462-4"));
      for (int c = 0; c < 2; ++c) {
        const QJsonObject q = parts[c].toObject()["valueQuantity"].toObject();
        QCOMPARE(q["value"].toInteger(), values[i][c]);
        QCOMPARE(q["unit"].toString(), QStringLiteral("mmHg"));
        QCOMPARE(q["system"].toString(), QStringLiteral("http://unitsofmeasure.org"));
        QCOMPARE(q["code"].toString(), QStringLiteral("mm[Hg]"));
      }
      QCOMPARE(code(hr), QStringLiteral("8867-4"));
      const QJsonObject rate = hr["valueQuantity"].toObject();
      QCOMPARE(rate["value"].toInteger(), values[i][2]);
      QCOMPARE(rate["unit"].toString(), QStringLiteral("/min"));
      QCOMPARE(rate["code"].toString(), QStringLiteral("/min"));
    }
    // The same logbook gives the same bundle.
    QCOMPARE(ExportFhir(lists, QStringLiteral("Zoé Martin"), std::nullopt, std::nullopt).json,
             out.json);
  }
  // A file into a logbook: appended after the readings there, in file order,
  // and saved; a dry run, a cancel or an unreadable file change nothing.
  void importFileIntoLogbook_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("appended");
    QTest::newRow("imported and saved") << "" << true;
    QTest::newRow("dry run") << "dry run" << false;
    QTest::newRow("cancelled") << "cancel" << false;
    QTest::newRow("no such file") << "missing" << false;
  }
  void importFileIntoLogbook() {
    QFETCH(QString, how);
    QFETCH(bool, appended);
    SavedLogbook saved;
    const QByteArray matinBefore = test::ReadFile(saved.file(DayPeriod::Matin));
    const QString csv = saved.home.path() + QStringLiteral("mesures.csv");
    QVERIFY(test::WriteFile(csv, "Date;Heure;Systolique;Diastolique;Pouls\r\n"
                                 "03/03/2026;07:40;128;82;71\r\n"
                                 "02/03/2026;07:15;131;84;66\r\n"
                                 "03/03/2026;20:05;128;82;71\r\n"
                                 "03/03/2026;07:50;abc;82;71"));
    const CsvFileStart start = ReadCsvStart(csv);
    QVERIFY(!start.error);
    QVERIFY(start.guess.complete());
    int calls = 0;
    const ImportOutcome outcome = ImportCsvFile(
        saved.book, how == u"missing" ? csv + QStringLiteral(".absent") : csv, start.guess,
        start.separator,
        [&](qint64 done, qint64 total) {
          ++calls;
          return how != u"cancel" || done < total;
        },
        how == u"dry run");
    QCOMPARE(outcome.appended, appended);
    QCOMPARE(outcome.cancelled, how == u"cancel");
    QCOMPARE(bool(outcome.error), how == u"missing");
    QCOMPARE(calls, how == u"missing" ? 0 : 1);
    if (how.isEmpty() || how == u"dry run") {
      QCOMPARE(outcome.summary,
               QStringLiteral("2 relevés importés, 1 doublon ignoré, 1 ligne rejetée.\n"
                              "Aucune date ne distingue le jour du mois : les dates sont lues "
                              "dans l'ordre jour/mois.\nligne 5 : systolique illisible"));
    }
    const PeriodListModel &matin = saved.book.list(DayPeriod::Matin);
    QCOMPARE(matin.size(), qsizetype(appended ? 2 : 1));
    if (appended) {
      QCOMPARE(matin.reading(1),
               MakeReadingFromValues(QDate(2026, 3, 3), 7 * 60 + 40, 128, 82, 71));
      QCOMPARE(test::ReadFile(saved.file(DayPeriod::Soir)), kSoirFile);
      QCOMPARE(test::ReadFile(saved.file(DayPeriod::Matin)),
               SerializeMeasurementFile(matin.readings()));
      QVERIFY(outcome.saved.failed.isEmpty());
    } else {
      QVERIFY(!QFileInfo::exists(saved.file(DayPeriod::Soir)));
      QCOMPARE(test::ReadFile(saved.file(DayPeriod::Matin)), matinBefore);
      QCOMPARE(saved.book.list(DayPeriod::Soir).size(), qsizetype(0));
    }
  }

  // Megabytes of junk (a line far past the record bound, then junk lines):
  // read chunk by chunk with the progress told between chunks, the reasons
  // kept to twenty; a cancel stops the reading where it is.
  void importJunkInChunks() {
    SavedLogbook saved;
    QByteArray junk(3 << 20, '\x9f');
    for (int i = 0; i < 100000; ++i) {
      junk += "\n\"\xff;;x\";7;";
    }
    const QString path = saved.home.path() + QStringLiteral("junk.csv");
    QVERIFY(test::WriteFile(path, junk));
    ColumnMapping mapping = GuessMapping({"Date", "Heure", "Systolique", "Diastolique", "Pouls"});
    mapping.header = false; // the junk line is a record too
    qint64 calls = 0, last = 0;
    const ImportOutcome read =
        ImportCsvFile(saved.book, path, mapping, ';', [&](qint64 done, qint64 total) {
          ++calls;
          last = done;
          return done <= total;
        });
    QVERIFY(calls > 4);
    QCOMPARE(last, qint64(junk.size()));
    QCOMPARE(read.imported, qint64(0));
    QCOMPARE(read.rejected, qint64(100001));
    QCOMPARE(read.summary.count(u'\n'), 20);
    QVERIFY(!read.appended);

    calls = 0;
    const ImportOutcome cancelled =
        ImportCsvFile(saved.book, path, mapping, ';', [&](qint64 done, qint64) {
          last = done;
          return ++calls < 2;
        });
    QVERIFY(cancelled.cancelled);
    QCOMPARE(calls, qint64(2));
    QVERIFY(last < junk.size());
    QCOMPARE(saved.book.lists().totalCount(), qsizetype(1));
  }

  // The preview's start of a file: no more records than asked, its
  // separator, and the roles its first record suggests.
  // The preview shows the lines of an unclosed quote refused, in their
  // place, as the import refuses them.
  void csvStartRefusedLines_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("rows"); // each shown row's first field
    const QByteArray header = "Date;Heure;Systolique;Diastolique;Pouls;Note\n";
    QTest::newRow("to the end") << header + "02/03/2026;07:15;131;84;66;ok\n"
                                            "02/03/2026;07:16;131;84;66;\"sans fin\n"
                                            "02/03/2026;20:05;128;82;71;ok\r\n"
                                            "03/03/2026;07:10;120;80;60;ok"
                                << QStringList{"Date", "02/03/2026",
                                               "ligne 3 : guillemet non fermé",
                                               "ligne 4 : guillemet non fermé",
                                               "ligne 5 : guillemet non fermé"};
    QTest::newRow("ended at the bound")
        << header + "02/03/2026;07:15;131;84;66;\"" +
               QByteArray(CsvReader::kMaxRecordBytes + 10, 'x') +
               "\n02/03/2026;20:05;128;82;71;ok\n"
        << QStringList{"Date", "ligne 2 : guillemet non fermé", "02/03/2026"};
    QStringList many{"Date"};
    for (int line = 2; line <= kPreviewRecords; ++line) {
      many << QStringLiteral("ligne %1 : guillemet non fermé").arg(line);
    }
    QTest::newRow("more lines than shown")
        << header + "02/03/2026;07:15;131;84;66;\"" + QByteArray(40, '\n') << many;
  }
  void csvStartRefusedLines() {
    QFETCH(QByteArray, file);
    QFETCH(QStringList, rows);
    test::TempHome home;
    const QString path = home.path() + QStringLiteral("q.csv");
    QVERIFY(test::WriteFile(path, file));
    const CsvFileStart start = ReadCsvStart(path);
    QStringList shown;
    for (const QStringList &row : start.shownRows()) {
      shown << row.value(0);
    }
    QCOMPARE(shown, rows);
    QCOMPARE(start.records.size() + start.rejected.size(), qsizetype(rows.size()));
    // The import refuses the same lines.
    SavedLogbook saved;
    const QStringList said = AppendCsvFile(saved.book, path, start.guess, start.separator, {}, true)
                                 .summary.split(u'\n');
    for (const QString &row : rows) {
      QVERIFY2(!row.startsWith(u"ligne") || said.contains(row), qPrintable(row));
    }
  }

  void csvStart() {
    test::TempHome home;
    QByteArray bytes = "timestamp,sys,dia,pulse\n";
    for (int i = 0; i < 30; ++i) {
      bytes += "2026-03-02 07:" + QByteArray::number(10 + i) + ",128,82,71\n";
    }
    QVERIFY(test::WriteFile(home.path() + QStringLiteral("a.csv"), bytes));
    const CsvFileStart start = ReadCsvStart(home.path() + QStringLiteral("a.csv"));
    QCOMPARE(start.records.size(), qsizetype(kPreviewRecords));
    QCOMPARE(start.separator, ',');
    QCOMPARE(start.columns(), qsizetype(4));
    QCOMPARE(start.guess.roles, QList<ColumnRole>({ColumnRole::DateTime, ColumnRole::Systolic,
                                                   ColumnRole::Diastolic, ColumnRole::Pulse}));
    QVERIFY(start.guess.header);
    QVERIFY(ReadCsvStart(home.path() + QStringLiteral("b.csv")).error);
  }

  // The export written whole, its summary; a file that cannot be written
  // leaves nothing.
  void exportFile_data() {
    QTest::addColumn<int>("format");
    QTest::addColumn<bool>("writable");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QByteArray>("starts");
    QTest::newRow("CSV") << int(ExportFormat::Csv) << true << "2 relevés exportés dans F."
                         << QByteArray("\xEF\xBB\xBF"
                                       "Date;Heure;");
    QTest::newRow("FHIR, one left out")
        << int(ExportFormat::Fhir) << true
        << "1 relevés exportés dans F, 1 laissés de côté (valeurs illisibles)." << QByteArray("{");
    QTest::newRow("folder missing") << int(ExportFormat::Csv) << false << "" << QByteArray();
  }
  void exportFile() {
    QFETCH(int, format);
    QFETCH(bool, writable);
    QFETCH(QString, summary);
    QFETCH(QByteArray, starts);
    SavedLogbook saved;
    saved.book.list(DayPeriod::Soir)
        .append(test::CellsReading({"02/03/2026", "20:00", "abc", "80", "70", ""}));
    const QString path =
        saved.home.path() + (writable ? QString() : QStringLiteral("absent/")) + "sortie";
    const ExportOutcome out = ExportLogbook(saved.book, ExportFormat(format), path);
    QCOMPARE(bool(out.error), !writable);
    QCOMPARE(QFileInfo::exists(path), writable);
    if (writable) {
      QCOMPARE(ExportSummary(out, QStringLiteral("F")), summary);
      QVERIFY(test::ReadFile(path).startsWith(starts));
    } else {
      QCOMPARE(out.error.path, path);
    }
  }
};

QTEST_MAIN(TestExchange)
#include "tst_exchange.moc"
