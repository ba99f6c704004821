// Apple Health's export.xml, bare and in the zip Apple exports: the
// readings paired with their pulses, the refusals, and the archives and
// files that cannot be read.
#include "fakes.h"

#include "exchange/logbook_exchange.h"
#include "logbook/logbook.h"
#include "measurements/period_list_model.h"

#include <QTest>
#include <ctime>
#include <zlib.h>

using namespace tl;

namespace {

// Apple's layout: a DOCTYPE with an internal subset, then one element a
// line (8 lines up to the first record).
const QByteArray kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE HealthData [\n"
    "<!ELEMENT HealthData (ExportDate,Me,(Record|Correlation|Workout|ActivitySummary)*)>\n"
    "<!ATTLIST HealthData locale CDATA #REQUIRED>\n"
    "]>\n"
    "<HealthData locale=\"fr_FR\">\n"
    " <ExportDate value=\"2026-12-08 09:00:00 +0100\"/>\n"
    " <Me HKCharacteristicTypeIdentifierBiologicalSex=\"HKBiologicalSexFemale\"/>\n";
const QByteArray kFooter = "</HealthData>\n";

QByteArray Dates(const char *at) {
  return QByteArray(" creationDate=\"") + at + "\" startDate=\"" + at + "\" endDate=\"" + at + '"';
}

QByteArray Quantity(const char *type, const char *unit, const char *at, const char *value,
                    const char *indent = " ") {
  return QByteArray(indent) + "<Record type=\"HKQuantityTypeIdentifier" + type +
         "\" sourceName=\"Tensiomètre\" unit=\"" + unit + '"' + Dates(at) + " value=\"" + value +
         "\"/>\n";
}

// One line.
QByteArray Pulse(const char *at, const char *value) {
  return Quantity("HeartRate", "count/min", at, value);
}
QByteArray Steps(const char *at) { return Quantity("StepCount", "count", at, "412"); }

// Five lines, the correlation's start tag on the first; a null value
// leaves its record out.
QByteArray Pressure(const char *at, const char *s, const char *d, const char *unit = "mmHg") {
  QByteArray xml = QByteArray(" <Correlation type=\"HKCorrelationTypeIdentifierBloodPressure\" "
                              "sourceName=\"Tensiomètre\"") +
                   Dates(at) + ">\n  <MetadataEntry key=\"HKWasUserEntered\" value=\"0\"/>\n";
  xml += d ? Quantity("BloodPressureDiastolic", unit, at, d, "  ") : "  <!-- -->\n";
  xml += s ? Quantity("BloodPressureSystolic", unit, at, s, "  ") : "  <!-- -->\n";
  return xml + " </Correlation>\n";
}

// A zip of `entries` (name, bytes) as Apple's exporter or another archiver
// writes it: deflated or stored, with ZIP64 records or without, and a
// flag and method as given.
struct ZipEntry {
  QByteArray name, data;
};
enum class Packing { Deflate, Store, Zip64 };

void Le(QByteArray &out, quint64 v, int bytes) {
  for (int i = 0; i < bytes; ++i) {
    out += char(i < 8 ? v >> (8 * i) & 0xFF : 0);
  }
}

QByteArray Deflated(const QByteArray &data) {
  z_stream z{};
  deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  QByteArray out(int(deflateBound(&z, uLong(data.size()))), '\0');
  z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
  z.avail_in = uInt(data.size());
  z.next_out = reinterpret_cast<Bytef *>(out.data());
  z.avail_out = uInt(out.size());
  deflate(&z, Z_FINISH);
  out.resize(qsizetype(z.total_out));
  deflateEnd(&z);
  return out;
}

QByteArray Zip(const QList<ZipEntry> &entries, Packing packing, quint16 flags = 0,
               int method = -1) {
  QByteArray out, directory;
  for (const ZipEntry &e : entries) {
    const bool store = packing == Packing::Store;
    const QByteArray body = store ? e.data : Deflated(e.data);
    const quint16 how = method >= 0 ? quint16(method) : store ? 0 : 8;
    const quint32 crc =
        quint32(crc32(0, reinterpret_cast<const Bytef *>(e.data.constData()), uInt(e.data.size())));
    const quint64 at = quint64(out.size());
    const bool zip64 = packing == Packing::Zip64;
    QByteArray fixed; // from the version needed to the name's length
    Le(fixed, zip64 ? 45 : 20, 2);
    Le(fixed, flags, 2);
    Le(fixed, how, 2);
    Le(fixed, 0x5021, 4); // time and date
    Le(fixed, crc, 4);
    Le(fixed, zip64 ? 0xFFFFFFFF : body.size(), 4);
    Le(fixed, zip64 ? 0xFFFFFFFF : e.data.size(), 4);
    Le(fixed, e.name.size(), 2);
    QByteArray extra;
    if (zip64) {
      Le(extra, 1, 2);
      Le(extra, 24, 2);
      Le(extra, e.data.size(), 8);
      Le(extra, body.size(), 8);
      Le(extra, at, 8);
    }
    out += "PK\x03\x04" + fixed;
    Le(out, 0, 2);
    out += e.name + body;
    directory += "PK\x01\x02";
    Le(directory, 45, 2);
    directory += fixed;
    Le(directory, extra.size(), 2);
    Le(directory, 0, 10); // comment, disk, attributes
    Le(directory, zip64 ? 0xFFFFFFFF : at, 4);
    directory += e.name + extra;
  }
  const quint64 directoryAt = quint64(out.size());
  out += directory;
  if (packing == Packing::Zip64) {
    const quint64 recordAt = quint64(out.size());
    out += "PK\x06\x06";
    Le(out, 44, 8);
    Le(out, 45, 2);
    Le(out, 45, 2);
    Le(out, 0, 8);
    Le(out, entries.size(), 8);
    Le(out, entries.size(), 8);
    Le(out, directory.size(), 8);
    Le(out, directoryAt, 8);
    out += "PK\x06\x07";
    Le(out, 0, 4);
    Le(out, recordAt, 8);
    Le(out, 1, 4);
  }
  const bool zip64 = packing == Packing::Zip64;
  out += "PK\x05\x06";
  Le(out, 0, 4);
  Le(out, zip64 ? 0xFFFF : entries.size(), 2);
  Le(out, zip64 ? 0xFFFF : entries.size(), 2);
  Le(out, zip64 ? 0xFFFFFFFF : directory.size(), 4);
  Le(out, zip64 ? 0xFFFFFFFF : directoryAt, 4);
  Le(out, 0, 2);
  return out;
}

QList<ZipEntry> AppleZip(const QByteArray &xml) {
  return {{"apple_health_export/export_cda.xml", "<ClinicalDocument/>"},
          {"apple_health_export/export.xml", xml}};
}

// The readings of the four lists, one "date time s/d p" each.
QStringList Readings(const Logbook &book) {
  QStringList lines;
  for (DayPeriod period : kAllPeriods) {
    for (const Reading &r : book.lists().list(period).readings()) {
      lines << r[Reading::Date] + u' ' + r[Reading::Time] + u' ' + r[Reading::Systolic] + u'/' +
                   r[Reading::Diastolic] + u' ' + r[Reading::Pulse];
    }
  }
  return lines;
}

struct Home {
  test::TempHome home;
  QString patient = QStringLiteral("Anne");
  StoragePaths paths = SetupStorage(home.path(), patient);
  Logbook book{patient, paths};
  QString write(const QByteArray &bytes) {
    const QString path = home.path() + QStringLiteral("export");
    return test::WriteFile(path, bytes) ? path : QString();
  }
};

} // namespace

class TestAppleHealth : public QObject {
  Q_OBJECT

private slots:
  // Paris time: +01:00 in winter, +02:00 in summer.
  void initTestCase() {
    qputenv("TZ", "Europe/Paris");
    tzset();
  }

  // Each sample bare, deflated, stored and with ZIP64 records: the same
  // readings, summary or reason.
  void samples_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("readings");
    QTest::addColumn<QString>("summary"); // or the reason nothing was read

    const QString one = QStringLiteral("1 relevé importé, 0 doublon ignoré, 0 ligne rejetée.");
    QTest::newRow("nearest pulse, after it")
        << Pressure("2026-12-08 08:05:00 +0100", "128", "82") +
               Pulse("2026-12-08 08:02:00 +0100", "70") + Pulse("2026-12-08 08:06:30 +0100", "75")
        << QStringList{"08/12/2026 08:05 128/82 75"} << one;
    QTest::newRow("five minutes is near, a second more is not")
        << Pulse("2026-12-08 08:00:00 +0100", "66") +
               Pressure("2026-12-08 08:05:00 +0100", "128", "82") +
               Pressure("2026-12-08 07:54:59 +0100", "131", "84")
        << QStringList{"08/12/2026 08:05 128/82 66"}
        << QStringLiteral("1 relevé importé, 0 doublon ignoré, 1 ligne rejetée.\n"
                          "ligne 15 : pouls absent");
    QTest::newRow("heart rates grouped after the correlations")
        << Pressure("2026-12-08 20:10:00 +0100", "135", "88") + Steps("2026-12-08 20:00:00 +0100") +
               Pulse("2026-12-08 20:30:00 +0100", "90") + Pulse("2026-12-08 20:12:00 +0100", "72")
        << QStringList{"08/12/2026 20:10 135/88 72"} << one;
    QTest::newRow("kPa and decimals rounded half away from zero")
        << Pressure("2026-12-08 08:05:00 +0100", "17", "10.6", "kPa") +
               Pressure("2026-12-08 08:15:00 +0100", "120.5", "79.49") +
               Pulse("2026-12-08 08:10:00 +0100", "70.5")
        << QStringList{"08/12/2026 08:05 128/80 71", "08/12/2026 08:15 121/79 71"}
        << QStringLiteral("2 relevés importés, 0 doublon ignoré, 0 ligne rejetée.");
    QTest::newRow("UTC converted, another offset at its clock time")
        << Pressure("2026-12-08 07:05:00 +0000", "128", "82") +
               Pulse("2026-12-08 08:05:00 +0100", "70") +
               Pressure("2026-07-01 01:30:00 -0500", "131", "84") +
               Pulse("2026-07-01 06:30:00 +0000", "64")
        << QStringList{"08/12/2026 08:05 128/82 70", "01/07/2026 01:30 131/84 64"}
        << QStringLiteral("2 relevés importés, 0 doublon ignoré, 0 ligne rejetée.\n1 relevé "
                          "portait un autre décalage horaire que celui de l'ordinateur : il est "
                          "classé à l'heure de son lieu de mesure.");
    QTest::newRow("refusals, duplicates, bare records")
        << Pulse("2026-12-08 08:05:00 +0100", "70") +
               Pressure("2026-12-08 08:05:00 +0100", "128", nullptr) +
               Pressure("2026-12-08 08:05:00 +0100", "128", "82", "cmHg") +
               Pressure("2026-12-08 08:05:00 +0100", "128", "82") +
               Pressure("2026-12-08 08:05:00 +0100", "128", "82") +
               Pressure("2026-12-08 08:05:00 +0100", "82", "128") +
               Pressure("08/12/2026", "128", "82") +
               Quantity("BloodPressureSystolic", "mmHg", "2026-12-08 08:07:00 +0100", "140") +
               Quantity("BloodPressureDiastolic", "mmHg", "2026-12-08 08:07:00 +0100", "90")
        << QStringList{"08/12/2026 08:05 128/82 70"}
        << QStringLiteral("1 relevé importé, 1 doublon ignoré, 4 lignes rejetées.\n"
                          "ligne 10 : diastolique absente\n"
                          "ligne 15 : unité de tension inconnue\n"
                          "ligne 30 : valeurs invraisemblables\n"
                          "ligne 35 : date et heure illisibles");
    QTest::newRow("no correlation")
        << Quantity("BloodPressureSystolic", "mmHg", "2026-12-08 08:07:00 +0100", "140") +
               Pulse("2026-12-08 08:05:00 +0100", "70")
        << QStringList{} << QStringLiteral("aucune mesure de tension dans ce fichier Apple Santé");
    QTest::newRow("XML error at its line")
        << Pressure("2026-12-08 08:05:00 +0100", "128", "82") + " <Record type=\"a\" b=c/>\n"
        << QStringList{} << QStringLiteral("XML illisible à la ligne 14 : balisage incorrect");
  }
  void samples() {
    QFETCH(QByteArray, body);
    QFETCH(QStringList, readings);
    QFETCH(QString, summary);
    const QByteArray xml = kHeader + body + kFooter;
    const QList<QPair<const char *, QByteArray>> files = {
        {"export.xml", xml},
        {"deflated", Zip(AppleZip(xml), Packing::Deflate)},
        {"stored", Zip(AppleZip(xml), Packing::Store)},
        {"ZIP64", Zip(AppleZip(xml), Packing::Zip64)},
    };
    for (const auto &[kind, bytes] : files) {
      Home home;
      const QString path = home.write(bytes);
      const ImportOutcome outcome = AppendAppleHealthFile(home.book, path);
      QVERIFY2(!outcome.cancelled, kind);
      QCOMPARE(outcome.error ? outcome.error.why() : outcome.summary, summary);
      QCOMPARE(Readings(home.book), readings);
    }
  }

  // Archives that cannot be read, an attribute that never ends and a
  // DOCTYPE entity that would expand to gigabytes: a reason each, nothing
  // imported, no crash, hang or memory filled.
  void unreadable_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("reason");
    const QByteArray xml = kHeader + Pressure("2026-12-08 08:05:00 +0100", "128", "82") +
                           Pulse("2026-12-08 08:05:00 +0100", "70") + kFooter;
    const QByteArray zip = Zip(AppleZip(xml), Packing::Deflate);
    const qsizetype data = zip.indexOf("export.xml", zip.indexOf("PK\x03\x04", 4)) + 10;
    QByteArray flipped = zip;
    flipped[data + 40] = char(flipped[data + 40] ^ 0x55);
    QTest::newRow("truncated") << zip.first(zip.size() / 2)
                               << QStringLiteral(
                                      "archive zip endommagée : répertoire central introuvable");
    QTest::newRow("compressed bytes changed") << flipped << "*archive zip endommagée : ";
    QTest::newRow("no export")
        << Zip({{"apple_health_export/export_cda.xml", "<ClinicalDocument/>"},
                {"apple_health_export/workout-routes/route.xml", xml},
                {"apple_health_export/notes.xml", "pas du XML"}},
               Packing::Deflate)
        << QStringLiteral(
               "l'archive zip ne contient pas l'export d'Apple Santé : aucun fichier XML "
               "dont l'élément racine est HealthData (export.xml, ou son nom dans la "
               "langue du téléphone : exportar.xml, Export.xml…)");
    QTest::newRow("encrypted")
        << Zip(AppleZip(xml), Packing::Deflate, 1)
        << QStringLiteral("apple_health_export/export.xml est chiffré dans l'archive zip : "
                          "exportez-le sans mot de passe");
    QTest::newRow("bzip2")
        << Zip(AppleZip(xml), Packing::Deflate, 0, 12)
        << QStringLiteral("apple_health_export/export.xml est compressé dans l'archive zip par "
                          "une méthode que Tensiolog ne lit pas (méthode 12)");
    QByteArray laughs = "<?xml version=\"1.0\"?>\n<!DOCTYPE HealthData [\n<!ENTITY l0 \"lol\">\n";
    for (int i = 1; i < 10; ++i) {
      laughs += QStringLiteral("<!ENTITY l%1 \"%2\">\n")
                    .arg(i)
                    .arg(QStringLiteral("&l%1;").arg(i - 1).repeated(10))
                    .toUtf8();
    }
    laughs += "]>\n<HealthData locale=\"&l9;\">\n" +
              Pressure("2026-12-08 08:05:00 +0100", "128", "82") + kFooter;
    QTest::newRow("attribute without its end")
        << "<?xml version=\"1.0\"?>\n<HealthData locale=\"" + QByteArray(20 << 20, 'a')
        << QStringLiteral("XML illisible à la ligne 2 : élément démesuré");
    QTest::newRow("billion laughs") << laughs << "XML illisible à la ligne 14 : balisage incorrect";
    // Refused before the XML reader, which compares each attribute with all
    // those before it; quotes, comments and "=" in the DOCTYPE and in values
    // are not counted.
    QByteArray many = kHeader + "<!-- \"a=b' --><Record x=\"a=b>c\" ";
    for (int i = 0; i < 200000; ++i) {
      many += "a" + QByteArray::number(i) + "='1' ";
    }
    QTest::newRow("an element with 200 000 attributes")
        << many + "/>" + kFooter << "XML illisible : un élément a plus de 1000 attributs";
  }
  void unreadable() {
    QFETCH(QByteArray, file);
    QFETCH(QString, reason);
    Home home;
    const ImportOutcome outcome = AppendAppleHealthFile(home.book, home.write(file));
    if (reason.startsWith(u'*')) {
      QVERIFY2(outcome.error.why().startsWith(reason.mid(1)), qPrintable(outcome.error.why()));
    } else {
      QCOMPARE(outcome.error.why(), reason);
    }
    QVERIFY(!outcome.appended);
    QCOMPARE(home.book.lists().totalCount(), qsizetype(0));
  }

  // The export named in the phone's language, beside the clinical document
  // (listed first, as another archiver may): found by its root element.
  void exportInAnyLanguage_data() {
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("Spanish") << QByteArray("apple_health_export/exportar.xml");
    QTest::newRow("German") << QByteArray("apple_health_export/Export.xml");
    QTest::newRow("French, at the root") << QByteArray("exporter.xml");
  }
  void exportInAnyLanguage() {
    QFETCH(QByteArray, name);
    const QByteArray xml = kHeader + Pressure("2026-12-08 08:05:00 +0100", "128", "82") +
                           Pulse("2026-12-08 08:05:00 +0100", "70") + kFooter;
    Home home;
    const ImportOutcome outcome = AppendAppleHealthFile(
        home.book, home.write(Zip({{"apple_health_export/exportar_cda.xml", "<ClinicalDocument/>"},
                                   {name, xml}},
                                  Packing::Deflate)));
    QVERIFY2(!outcome.error, qPrintable(outcome.error.reason));
    QCOMPARE(Readings(home.book), QStringList{"08/12/2026 08:05 128/82 70"});
  }

  // A cancel between chunks of a long export, bare or zipped: nothing
  // imported, the progress told against the file's size.
  void cancelled() {
    QByteArray body;
    for (int i = 0; i < 20000; ++i) {
      body += Steps("2026-12-08 08:00:00 +0100");
    }
    const QByteArray xml = kHeader + Pressure("2026-12-08 08:05:00 +0100", "128", "82") +
                           Pulse("2026-12-08 08:05:00 +0100", "70") + body + kFooter;
    for (const QByteArray &bytes : {xml, Zip(AppleZip(xml), Packing::Deflate)}) {
      Home home;
      const QString path = home.write(bytes);
      qint64 calls = 0, last = 0;
      const ImportOutcome done =
          AppendAppleHealthFile(home.book, path, [&](qint64 at, qint64 total) {
            ++calls;
            last = at;
            return at <= total;
          });
      QCOMPARE(done.imported, qint64(1));
      QVERIFY(calls >= 2);
      QVERIFY(last <= bytes.size());
      Home other;
      const ImportOutcome stopped = AppendAppleHealthFile(other.book, other.write(bytes),
                                                          [](qint64, qint64) { return false; });
      QVERIFY(stopped.cancelled);
      QVERIFY(!stopped.appended);
      QCOMPARE(other.book.lists().totalCount(), qsizetype(0));
    }
  }
};

QTEST_MAIN(TestAppleHealth)
#include "tst_apple_health.moc"
