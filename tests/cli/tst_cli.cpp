// tensiolog-cli: each command and each error path, with its exit code.
#include "fakes.h"
#include "readings.h"

#include "cli/cli.h"
#include "common/output_file.h"
#include "common/paths.h"
#include "logbook/logbook.h"
#include "logbook/workflows.h"
#include "platform/instance_lock.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

using namespace tl;

namespace {

const QByteArray kNormal = "La systole de 128 mmHg et la diastole de 82 mmHg, indiquent une "
                           "Pression art\xC3\xA9rielle normale\r\n";
const QByteArray kHeader = "Date;Heure;Systolique;Diastolique;Pouls\r\n";

} // namespace

class TestCli : public QObject {
  Q_OBJECT

  std::unique_ptr<test::TempHome> home_;
  QString folder_; // the data folder, with Anne's readings

  struct Run {
    int code;
    QString out, err;
  };
  Run run(QStringList args) {
    Run r;
    QTextStream out(&r.out), err(&r.err);
    r.code = RunCli(args, out, err);
    out.flush();
    err.flush();
    return r;
  }
  // The error stream against the one expected: whole, or its start after a
  // "*".
  static bool errorIs(const QString &err, const QString &expected) {
    return expected.startsWith(u'*') ? err.startsWith(expected.mid(1)) : err == expected;
  }
  // A run's exit code, its whole output and its error stream (see errorIs).
  static void expect(const Run &r, int code, const QString &out, const QString &err) {
    QCOMPARE(r.code, code);
    QCOMPARE(r.out, out);
    QVERIFY2(errorIs(r.err, err), qPrintable(r.err));
  }

private slots:
  void init() {
    home_ = std::make_unique<test::TempHome>();
    QString patient = QStringLiteral("Anne");
    StoragePaths paths = SetupStorage(home_->path(), patient);
    folder_ = paths.dataFolder;
    Logbook book(patient, paths);
    // Three days of the rule of 3 at 130/80, and one reading no series counts.
    for (int day = 0; day < 3; ++day) {
      const QDate date(2026, 3, 2 + day);
      const QString d = date.toString(QStringLiteral("dd/MM/yyyy"));
      for (const char *t : {"07:00", "07:05", "07:10"}) {
        book.list(DayPeriod::Matin).append(test::MakeReading(t, 130, 80, 70, d));
      }
      for (const char *t : {"20:00", "20:05", "20:10"}) {
        book.list(DayPeriod::Soir).append(test::MakeReading(t, 130, 80, 70, d));
      }
    }
    book.list(DayPeriod::Matin)
        .append(test::CellsReading({"03/03/2026", "08:00", "abc", "80", "70", ""}));
    QCOMPARE(SaveLogbook(book).written, 2);
  }
  void cleanup() { home_.reset(); }

  void commands_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("out"); // a line the output holds
    QTest::addColumn<QString>("err"); // the error stream, whole
    QTest::newRow("help") << QStringList{"--help"} << 0 << "Commandes :"
                          << "";
    // Each command's own help, after any other option.
    for (const auto &[command, line] :
         {std::pair{"releve", "  --protocole regle223|regle3|esh7"},
          std::pair{"rapport", "  --pdf FICHIER             le rapport écrit en PDF (obligatoire)"},
          std::pair{"export", "  --format csv|fhir         le format du fichier (obligatoire)"},
          std::pair{"import",
                    "  --ordre-dates jm|mj       dates comme 01/02/2026 lues jour/mois ou "
                    "mois/jour"},
          std::pair{"remarque", "  annote le relevé de cette date et de cette heure : la remarque "
                                "(200 caractères"},
          std::pair{"tensiometre", "  --utilisateur N           les mesures de l'utilisateur N du "
                                   "tensiomètre"}}) {
      QTest::addRow("help of %s", command) << QStringList{command, "--patient", "Anne", "--help"}
                                           << 0 << QString::fromUtf8(line) << "";
      QTest::addRow("help of %s, not a medical device", command)
          << QStringList{command, "-h", "--vite"} << 0
          << "Tensiolog n'est pas un dispositif médical : seul votre médecin peut interpréter"
          << "";
    }
    // How the options are read: a value joined with "=", the last of an
    // option given twice; what is no option of the command.
    QTest::newRow("values joined with =")
        << QStringList{"releve", "--patient=Anne", "--dossier=@", "--protocole=regle3"} << 0
        << "Règle des 3 : 3 jours, 3 mesures le matin et 3 le soir"
        << "";
    QTest::newRow("an option given twice: the last")
        << QStringList{"releve", "--patient", "Marc", "--dossier", "@", "--patient", "Anne"} << 0
        << "Relevé d'automesure de Anne"
        << "";
    QTest::newRow("each value checked")
        << QStringList{"releve",   "--patient", "Anne",      "--debut",
                       "2/3/2026", "--debut",   "02/03/2026"}
        << 2 << ""
        << "Date invalide : 2/3/2026 (attendu : JJ/MM/AAAA).\n";
    for (const char *stray : {"-patient", "--json=oui", "--", "x.csv"}) {
      QTest::addRow("not an option: %s", stray)
          << QStringList{"releve", "--json", stray, "Anne"} << 2 << ""
          << QStringLiteral("Option inconnue : %1.\n").arg(QLatin1StringView(stray));
    }
    QTest::newRow("a second file")
        << QStringList{"import", "--patient", "Anne", "a.csv", "b.csv"} << 2 << ""
        << "Option inconnue : b.csv.\n";
    QTest::newRow("series as text") << QStringList{"releve", "--patient", "Anne", "--dossier", "@"}
                                    << 0 << "Moyenne : 130,0 / 80,0 mmHg, pouls 70,0"
                                    << "";
    QTest::newRow("excluded with its reason")
        << QStringList{"releve", "--patient", "Anne", "--dossier", "@"} << 0
        << "  03/03/2026 08:00 (Matin) abc/80, pouls 70 : systolique illisible"
        << "";
    // From 01/03, unmeasured: day 1 is 02/03, the first day measured, and
    // only 03/03 and 04/03 count.
    const QStringList esh7 = {"releve",      "--patient", "Anne",    "--dossier", "@",
                              "--protocole", "esh7",      "--debut", "01/03/2026"};
    QTest::newRow("European protocol, chosen start")
        << esh7 << 0
        << "Mesures retenues : 8 sur 24 attendues (au moins 12 pour conclure, le matin et le soir)"
        << "";
    QTest::newRow("European protocol, too few")
        << esh7 << 0
        << "Relevé incomplet : 8 mesures retenues sur 24 attendues, il en faut au moins 12 pour "
           "conclure."
        << "";
    QTest::newRow("European protocol, the days missing")
        << esh7 << 0
        << "8 mesures sur 24 attendues; manquent : matin du 4e jour (2), soir du 4e jour (2), "
           "matin du 5e jour (2), soir du 5e jour (2), matin du 6e jour (2), soir du 6e jour (2), "
           "matin du 7e jour (2), soir du 7e jour (2)."
        << "";
    // 12 readings, mornings and evenings, are enough; the missing day is named.
    const QStringList lastDay = {"releve",  "--patient",  "Anne",        "--dossier", "@",
                                 "--debut", "03/03/2026", "--protocole", "regle3"};
    QTest::newRow("the last day unmeasured")
        << lastDay << 0
        << "12 mesures sur 18 attendues; manquent : matin du 3e jour (3), soir du 3e jour (3)."
        << "";
    QTest::newRow("the last day unmeasured, a verdict")
        << lastDay << 0 << "Moyenne inférieure au seuil de l'automesure (135/85 mmHg)."
        << "";
    QTest::newRow("no command") << QStringList{} << 2 << ""
                                << "*Utilisation :";
    QTest::newRow("unknown command") << QStringList{"exporter"} << 2 << ""
                                     << "Commande inconnue : exporter ; tensiolog-cli --help "
                                        "donne la liste des commandes.\n";
    QTest::newRow("no patient") << QStringList{"releve", "--dossier", "@"} << 2 << ""
                                << "Indiquez le patient avec --patient NOM.\n";
    QTest::newRow("patient without files")
        << QStringList{"releve", "--patient", "Marc", "--dossier", "@"} << 2 << ""
        << "*Aucun fichier de mesures pour le patient « Marc »";
    QTest::newRow("bad date") << QStringList{"releve", "--patient", "Anne", "--debut", "2/3/2026"}
                              << 2 << ""
                              << "Date invalide : 2/3/2026 (attendu : JJ/MM/AAAA).\n";
    QTest::newRow("bad protocol") << QStringList{"releve", "--patient", "Anne", "--protocole", "x"}
                                  << 2 << ""
                                  << "Protocole inconnu : x (regle223, regle3 ou esh7).\n";
    QTest::newRow("morning start too early")
        << QStringList{"releve", "--patient", "Anne", "--matin-des", "03:59"} << 2 << ""
        << "Début du matin invalide : 03:59 (attendu : HH:MM, de 04:00 à 06:01).\n";
    QTest::newRow("evening end too late")
        << QStringList{"releve", "--patient", "Anne", "--soir-jusqua", "02:00"} << 2 << ""
        << "Fin du soir invalide : 02:00 (attendu : HH:MM, de 23:59 à 01:59 le lendemain).\n";
    QTest::newRow("unknown option")
        << QStringList{"releve", "--patient", "Anne", "--vite"} << 2 << ""
        << "Option inconnue : --vite.\n";
    QTest::newRow("option without its value") << QStringList{"releve", "--patient"} << 2 << ""
                                              << "L'option --patient demande une valeur.\n";
    QTest::newRow("an option in the place of the value")
        << QStringList{"import", "--patient", "--dry-run", "x.csv"} << 2 << ""
        << "L'option --patient demande une valeur.\n";
    QTest::newRow("unusable name") << QStringList{"releve", "--patient", "../x"} << 2 << ""
                                   << "Nom de patient inutilisable : ../x.\n";
    QTest::newRow("name with blanks around: trimmed")
        << QStringList{"releve", "--patient", " Anne\t", "--dossier", "@"} << 0
        << "Relevé d'automesure de Anne"
        << "";
    QTest::newRow("name with a zero-width space")
        << QStringList{"releve", "--patient", "An\u200Bne", "--dossier", "@"} << 2 << ""
        << "Le nom contient un caractère invisible ou de contrôle (U+200B), qui le ferait paraître "
           "identique à un autre nom tout en désignant d'autres fichiers de mesures : retapez-le "
           "sans ce caractère.\n";
    const QStringList note = {"remarque", "--patient",  "Anne",    "--dossier", "@",
                              "--date",   "02/03/2026", "--heure", "07:00"};
    QTest::newRow("remarque: a note and the flag")
        << (note + QStringList{"--texte", "après le café", "--pouls-irregulier", "oui"}) << 0
        << "Matin 02/03/2026 07:00 : 130/80, pouls 70 : pouls irrégulier ; remarque : après le café"
        << "";
    QTest::newRow("remarque: no such reading")
        << QStringList{"remarque",   "--patient", "Anne",  "--dossier", "@", "--date",
                       "02/03/2026", "--heure",   "09:00", "--texte",   "x"}
        << 2 << ""
        << "Aucun relevé du 02/03/2026 à 09:00 pour le patient « Anne ».\n";
    QTest::newRow("remarque: nothing to set")
        << note << 2 << ""
        << "Indiquez la remarque avec --texte ou l'indicateur avec --pouls-irregulier oui|non.\n";
    QTest::newRow("remarque: no time")
        << QStringList{"remarque", "--patient", "Anne", "--date", "02/03/2026", "--texte", "x"} << 2
        << ""
        << "Indiquez le relevé avec --date JJ/MM/AAAA et --heure HH:MM.\n";
    QTest::newRow("remarque: bad flag value")
        << (note + QStringList{"--pouls-irregulier", "peut-être"}) << 2 << ""
        << "Valeur inconnue : peut-être (oui ou non).\n";
    QTest::newRow("remarque: bad time")
        << QStringList{"remarque", "--patient", "Anne", "--heure", "7h"} << 2 << ""
        << "Heure invalide : 7h (attendu : HH:MM).\n";
  }

  void commands() {
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, out);
    QFETCH(QString, err);
    args.replaceInStrings(QStringLiteral("@"), folder_);
    const Run r = run(args);
    QCOMPARE(r.code, code);
    QVERIFY2(errorIs(r.err, err), qPrintable(r.err));
    QVERIFY(!err.startsWith(u'*') || r.out.isEmpty());
    if (!out.isEmpty()) {
      QVERIFY2(r.out.split(u'\n').contains(out), qPrintable(r.out));
    }
  }

  // releve --pdf and rapport: the PDF written whole, then the lines; on
  // any error, neither.
  void documents_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("out"); // a line the output holds
    QTest::addColumn<QString>("err"); // the error stream, whole ("*": its start)
    QTest::newRow("filled form") << QStringList{"releve", "--patient", "Anne", "--pdf", "@f"} << 0
                                 << "Fiche enregistrée dans @f."
                                 << "";
    QTest::newRow("report")
        << QStringList{"rapport", "--patient", "Anne", "--pdf", "@f"} << 0
        << "Toutes : 18 mesures ; systolique 130,0 ± 0,0 (130 - 130) ; diastolique 80,0 ± 0,0 "
           "(80 - 80) ; pouls 70,0 ; pression pulsée 50,0 ; à 135/85 ou plus : 0 (0,0 %)"
        << "";
    QTest::newRow("report, the last complete series")
        << QStringList{"rapport", "--patient", "Anne", "--pdf", "@f"} << 0
        << "Dernier relevé d'automesure complet : du 02/03/2026 au 04/03/2026, moyenne 130,0 / "
           "80,0 mmHg, pouls 70,0"
        << "";
    QTest::newRow("report, the row not used")
        << QStringList{"rapport", "--patient", "Anne", "--pdf", "@f"} << 0
        << "  03/03/2026 08:00 (Matin) abc/80, pouls 70 : systolique illisible"
        << "";
    QTest::newRow("report of a range")
        << QStringList{"rapport", "--patient",  "Anne",  "--du", "03/03/2026",
                       "--au",    "03/03/2026", "--pdf", "@f"}
        << 0
        << "Matin (6h-12h) : 3 mesures ; systolique 130,0 ± "
           "0,0 (130 - 130) ; diastolique 80,0 ± 0,0 (80 - "
           "80) ; pouls 70,0 ; pression pulsée 50,0 ; à "
           "135/85 ou plus : 0 (0,0 %)"
        << "";
    QTest::newRow("report without its file")
        << QStringList{"rapport", "--patient", "Anne"} << 2 << ""
        << "Indiquez le fichier PDF à écrire avec --pdf FICHIER.\n";
    QTest::newRow("range backwards")
        << QStringList{"rapport", "--patient",  "Anne",  "--du", "04/03/2026",
                       "--au",    "02/03/2026", "--pdf", "@f"}
        << 2 << ""
        << "La date de début suit la date de fin.\n";
    QTest::newRow("report into a missing folder")
        << QStringList{"rapport", "--patient", "Anne", "--pdf", "@nowhere/r.pdf"} << 2 << ""
        << "*Écriture impossible : ";
    QTest::newRow("form into a missing folder")
        << QStringList{"releve", "--patient", "Anne", "--pdf", "@nowhere/f.pdf"} << 2 << ""
        << "*Écriture impossible : ";
    QTest::newRow("report of a patient without files")
        << QStringList{"rapport", "--patient", "Marc", "--pdf", "@f"} << 2 << ""
        << "*Aucun fichier de mesures pour le patient « Marc »";
  }
  void documents() {
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, out);
    QFETCH(QString, err);
    const QString pdf = home_->path() + QStringLiteral("document.pdf");
    const auto place = [&](QString text) {
      return text.replace(QStringLiteral("@nowhere"), home_->path() + QStringLiteral("nowhere"))
          .replace(QStringLiteral("@f"), pdf);
    };
    for (QString &arg : args) {
      arg = place(arg);
    }
    args << QStringLiteral("--dossier") << folder_;
    const Run r = run(args);
    QCOMPARE(r.code, code);
    QVERIFY2(errorIs(r.err, err), qPrintable(r.err));
    if (code != 0) {
      QVERIFY(r.out.isEmpty());
      QVERIFY(!QFileInfo::exists(pdf));
      QVERIFY(!QFileInfo::exists(home_->path() + QStringLiteral("nowhere")));
      return;
    }
    QVERIFY2(r.out.split(u'\n').contains(
                 QString(out).replace(QStringLiteral("@f"), QDir::toNativeSeparators(pdf))),
             qPrintable(r.out));
    QVERIFY(test::ReadFile(pdf).startsWith("%PDF-"));
  }

  void reportAsJson() {
    const QString pdf = home_->path() + QStringLiteral("r.pdf");
    const Run r =
        run({"rapport", "--patient", "Anne", "--dossier", folder_, "--pdf", pdf, "--json"});
    QCOMPARE(r.code, 0);
    const QJsonObject report = QJsonDocument::fromJson(r.out.toUtf8()).object();
    QCOMPARE(report.value("from").toString(), QStringLiteral("2026-02-03"));
    QCOMPARE(report.value("to").toString(), QStringLiteral("2026-03-04"));
    const QJsonObject overall = report.value("overall").toObject();
    QCOMPARE(overall.value("count").toInt(), 18);
    QCOMPARE(overall.value("systolic").toObject().value("mean").toDouble(), 130.0);
    QCOMPARE(overall.value("meanPulsePressure").toDouble(), 50.0);
    const QJsonObject morning = report.value("periods").toObject().value("morning").toObject();
    QCOMPARE(morning.value("count").toInt(), 9);
    QCOMPARE(morning.value("classes").toObject().value("Pression artérielle normale haute").toInt(),
             9);
    QVERIFY(report.value("periods").toObject().value("night").toObject().value("pulse").isNull());
    // The row the statistics cannot use, with its cells and reason.
    QCOMPARE(report.value("moved").toInt(), 0);
    const QJsonArray excluded = report.value("excluded").toArray();
    QCOMPARE(excluded.size(), 1);
    QCOMPARE(excluded[0].toObject().value("reason").toString(),
             QStringLiteral("systolique illisible"));
    QCOMPARE(excluded[0].toObject().value("date").toString(), QStringLiteral("03/03/2026"));
    // The last complete series, with the patient's protocol.
    const QJsonObject series = report.value("series").toObject();
    QCOMPARE(series.value("protocol").toString(), QStringLiteral("regle223"));
    QCOMPARE(series.value("category").toString(), QStringLiteral("elevated"));
  }

  // export: the file written whole, the summary on the output; nothing
  // written on any error.
  void exportFile_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::addColumn<QByteArray>("starts"); // the file's first bytes; empty: no file
    const QStringList base = {"export", "--patient", "Anne", "--dossier", "@", "-o", "#"};
    QTest::newRow("csv") << (base + QStringList{"--format", "csv"}) << 0
                         << "19 relevés exportés dans #.\n"
                         << ""
                         << QByteArray("\xEF\xBB\xBF"
                                       "Date;Heure;");
    QTest::newRow("csv, a range") << (base + QStringList{"--format", "csv", "--du", "03/03/2026",
                                                         "--au", "03/03/2026"})
                                  << 0 << "7 relevés exportés dans #.\n"
                                  << "" << QByteArray("\xEF\xBB\xBF");
    QTest::newRow("fhir, one left out")
        << (base + QStringList{"--format", "fhir"}) << 0
        << "18 relevés exportés dans #, 1 laissés de côté (valeurs illisibles).\n"
        << "" << QByteArray("{");
    QTest::newRow("fhir transaction")
        << (base + QStringList{"--format", "fhir", "--fhir-type", "transaction"}) << 0
        << "18 relevés exportés dans #, 1 laissés de côté (valeurs illisibles).\n"
        << "" << QByteArray("{");
    QTest::newRow("bad bundle type")
        << (base + QStringList{"--format", "fhir", "--fhir-type", "batch"}) << 2 << ""
        << "Type de Bundle inconnu : batch (collection ou transaction).\n"
        << QByteArray();
    QTest::newRow("bundle type for csv")
        << (base + QStringList{"--format", "csv", "--fhir-type", "transaction"}) << 2 << ""
        << "L'option --fhir-type ne vaut que pour --format fhir.\n"
        << QByteArray();
    QTest::newRow("no format") << base << 2 << ""
                               << "Indiquez le format avec --format csv ou --format fhir.\n"
                               << QByteArray();
    QTest::newRow("bad format") << (base + QStringList{"--format", "xml"}) << 2 << ""
                                << "Format inconnu : xml (csv ou fhir).\n"
                                << QByteArray();
    QTest::newRow("no file") << QStringList{"export", "--patient", "Anne", "--format", "csv"} << 2
                             << ""
                             << "Indiquez le fichier à écrire avec -o FICHIER.\n"
                             << QByteArray();
    QTest::newRow("range backwards")
        << (base + QStringList{"--format", "csv", "--du", "05/03/2026", "--au", "01/03/2026"}) << 2
        << ""
        << "La date de début suit la date de fin.\n"
        << QByteArray();
    QTest::newRow("unknown patient")
        << QStringList{"export", "--patient", "Marc",     "--dossier", "@",
                       "-o",     "#",         "--format", "csv"}
        << 2 << ""
        << "*Aucun fichier de mesures" << QByteArray();
    QTest::newRow("folder cannot be written")
        << QStringList{"export", "--patient",       "Anne",     "--dossier", "@",
                       "-o",     "#/no/such/x.csv", "--format", "csv"}
        << 2 << ""
        << "*Écriture impossible : " << QByteArray();
  }
  void exportFile() {
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(QByteArray, starts);
    const QString file = home_->path() + QStringLiteral("export.out");
    args.replaceInStrings(QStringLiteral("@"), folder_);
    args.replaceInStrings(QStringLiteral("#"), file);
    out.replace(u'#', QDir::toNativeSeparators(file)); // a path shown
    expect(run(args), code, out, err);
    QCOMPARE(QFileInfo::exists(file), !starts.isEmpty());
    if (!starts.isEmpty()) {
      QVERIFY(test::ReadFile(file).startsWith(starts));
    }
  }

  // -o and --pdf never write over the logbook, whatever the path goes
  // through, nor into anything but an ordinary file; each output is tried
  // with export -o, releve --pdf and rapport --pdf. "@" is the data folder
  // of the profile, "~" the profile, "%" a device.
  void outputsRefused_data() {
    QTest::addColumn<QString>("make"); // "link" (to `to`; a folder made first when `to`
                                       // ends in "/"), "hard link", "fifo", "folder" or ""
    QTest::addColumn<QString>("made"); // where
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("output"); // the file named
    QTest::addColumn<QString>("watched");
    QTest::addColumn<QString>("dossier");
    QTest::addColumn<QString>("reason"); // the end of the sentence; "": written; "!…":
                                         // refused by the writer (by file identity)
    const auto row = [](const char *name, const char *make, const char *made, const char *to,
                        const char *output, const char *watched, const char *reason,
                        const char *dossier = "@") {
      QTest::newRow(name) << make << made << to << output << watched << dossier << reason;
    };
    const char *logbook = "ce fichier fait partie des données de Tensiolog.";
    const char *type = "ce n'est pas un fichier ordinaire.";
    const char *link = "c'est un lien symbolique.";
    const char *matin = "@ARTL_Matin_Anne.txt";
    const char *users = "@ARTL_Users.ini";
    row("measurement file", "", "", "", matin, matin, logbook);
    row("patient file", "", "", "", users, users, logbook);
    row("preferences file", "", "", "", "@ARTL_Prefs.ini", "@ARTL_Prefs.ini", logbook);
    row("archive", "", "", "", "@Archives Arteline/ARTL_Matin_Anne_1.txt",
        "@Archives Arteline/ARTL_Matin_Anne_1.txt", logbook);
    row("new file in the data folder", "", "", "", "@rapport.pdf", "@rapport.pdf", logbook);
    row("the profile's logbook, --dossier elsewhere", "folder", "~autre", "", users, users, logbook,
        "~autre");
    row("link to a measurement file", "link", "~lien.txt", matin, "~lien.txt", matin, logbook);
    row("link to a file not yet in the data folder", "link", "~lien.pdf", "@nouveau.pdf",
        "~lien.pdf", "@nouveau.pdf", logbook);
    row("through a link to the data folder", "link", "~dossier", "@", "~dossier/ARTL_Users.ini",
        users, logbook);
    row("archive folder that is a link", "link", "@Archives Arteline", "~ailleurs/",
        "~ailleurs/a.txt", "~ailleurs/a.txt", logbook);
    row("folder", "folder", "~sortie", "", "~sortie", "~sortie", type);
#ifdef Q_OS_UNIX
    row("device", "", "", "", "%", "%", type);
    row("link to a device", "link", "~nul", "%", "~nul", "%", link);
    row("fifo", "fifo", "~tube", "", "~tube", "~tube", type);
#endif
    row("link to an ordinary file elsewhere", "link", "~lien.txt", "~ailleurs.txt", "~lien.txt",
        "~ailleurs.txt", link);
    row("hard link to a measurement file", "hard link", "~dur.txt", matin, "~dur.txt", matin,
        "!ce fichier fait partie des données de Tensiolog.");
    row("hard link to the patient file", "hard link", "~dur.ini", users, "~dur.ini", users,
        "!ce fichier fait partie des données de Tensiolog.");
    row("ordinary file elsewhere: written", "", "", "", "~ailleurs.txt", "~ailleurs.txt", "");
  }
  void outputsRefused() {
    QFETCH(QString, make);
    QFETCH(QString, made);
    QFETCH(QString, to);
    QFETCH(QString, output);
    QFETCH(QString, watched);
    QFETCH(QString, dossier);
    QFETCH(QString, reason);
    // A device of the test's own where the system lets it make one: a fault
    // that replaced /dev/null would harm the whole system, and only a user
    // allowed to make devices could replace it.
    QString device = home_->path() + QStringLiteral("peripherique");
#ifdef Q_OS_UNIX
    if (mknod(QFile::encodeName(device).constData(), S_IFCHR | 0600, makedev(1, 3)) != 0) {
      device = QStringLiteral("/dev/null");
    }
#endif
    const auto place = [&](QString path) {
      if (path == u"%") {
        return device;
      }
      if (path.startsWith(u'@')) {
        return folder_ + path.mid(1);
      }
      return path.startsWith(u'~') ? home_->path() + path.mid(1) : path;
    };
    // A symbolic link before the files are written (through it, for a
    // folder), a hard link to a file once it is there.
    if (make == u"link") {
      QDir().rmdir(place(made));
      if (to.endsWith(u'/')) {
        QVERIFY(QDir().mkpath(place(to)));
      }
      if (const QString why = test::MakeLink(place(to), place(made)); !why.isEmpty()) {
        QSKIP(qPrintable(why));
      }
    } else if (make == u"folder") {
      QVERIFY(QDir().mkpath(place(made)));
    }
#ifdef Q_OS_UNIX
    if (make == u"fifo") {
      QCOMPARE(mkfifo(QFile::encodeName(place(made)).constData(), 0600), 0);
    }
#endif
    QVERIFY(test::WriteFile(folder_ + "ARTL_Users.ini", "1\r\nAnne\r\n"));
    QVERIFY(test::WriteFile(folder_ + "ARTL_Prefs.ini", "\xEF\xBB\xBF\r\nDarkmode = 1\r\n"));
    QVERIFY(test::WriteFile(folder_ + "Archives Arteline/ARTL_Matin_Anne_1.txt", "0\r\n"));
    QVERIFY(test::WriteFile(home_->path() + "ailleurs.txt", "autre\r\n"));
    if (make == u"hard link") {
      if (const QString why = test::MakeLink(place(to), place(made), test::LinkKind::Hard);
          !why.isEmpty()) {
        QSKIP(qPrintable(why));
      }
    }
    const QFileInfo before(place(watched));
    const QByteArray bytes = before.isFile() ? test::ReadFile(before.filePath()) : QByteArray();
    const QString path = place(output);
    const QStringList base = {"--patient", "Anne", "--dossier", place(dossier)};
    const QList<std::pair<QString, QStringList>> commands = {
        {"-o", QStringList{"export", "--format", "csv", "-o", path} + base},
        {"--pdf", QStringList{"releve", "--pdf", path} + base},
        {"--pdf", QStringList{"rapport", "--pdf", path} + base}};
    for (const auto &[option, args] : commands) {
      const Run r = run(args);
      if (reason.isEmpty()) {
        QCOMPARE(r.code, 0);
        QVERIFY(test::ReadFile(path) != bytes);
        continue;
      }
      QCOMPARE(r.code, 2);
      QCOMPARE(r.out, QString());
      QCOMPARE(r.err, reason.startsWith(u'!')
                          ? QStringLiteral("Écriture impossible : %1 : %2\n")
                                .arg(QDir::toNativeSeparators(path), reason.mid(1))
                          : QStringLiteral("L'option %1 ne peut pas écrire sur %2 : %3\n")
                                .arg(option, QDir::toNativeSeparators(path), reason));
      const QFileInfo after(before.filePath());
      QCOMPARE(after.exists(), before.exists());
      QCOMPARE(after.isFile(), before.isFile());
      QCOMPARE(after.isSymLink(), before.isSymLink());
      if (after.isFile()) {
        QCOMPARE(test::ReadFile(after.filePath()), bytes);
      }
    }
  }

  // The output's path changed after the checks: swapped for a link to a
  // measurement file just before the rename, or a link planted beforehand
  // by another account in a shared folder. The logbook and the other
  // file keep their bytes.
  void outputRaces() {
    const QString list = folder_ + QStringLiteral("ARTL_Matin_Anne.txt");
    const QByteArray listBytes = test::ReadFile(list);
    const QString out = home_->path() + QStringLiteral("sortie.csv");
    SetOutputFileHookForTesting([&] {
      QFile::remove(out);
      QVERIFY(QFile::link(list, out));
    });
    const Run swapped =
        run({"export", "--patient", "Anne", "--dossier", folder_, "--format", "csv", "-o", out});
    SetOutputFileHookForTesting({});
    QCOMPARE(swapped.code, 0);
    QCOMPARE(test::ReadFile(list), listBytes);
    QVERIFY(!QFileInfo(out).isSymLink());
    QVERIFY2(test::ReadFile(out).contains("Date;"), test::ReadFile(out).left(80).constData());
#ifndef Q_OS_UNIX
    QSKIP("another account is made with useradd here");
#else
    if (::geteuid() != 0) {
      QSKIP("a second account can be used only when the tests run as root");
    }
    const QString other = QStringLiteral("tlautre");
    if (QProcess::execute(QStringLiteral("id"), {other}) != 0 &&
        QProcess::execute(QStringLiteral("useradd"), {QStringLiteral("-M"), other}) != 0) {
      QSKIP("no second account could be made");
    }
    QTemporaryDir shared(QStringLiteral("/tmp/tl-partage-XXXXXX"));
    QCOMPARE(::chmod(QFile::encodeName(shared.path()).constData(), 01777), 0);
    const QString victim = home_->path() + QStringLiteral(".bashrc");
    QVERIFY(test::WriteFile(victim, "alias ll='ls -l'\n"));
    const QString planted = shared.path() + QStringLiteral("/export.csv");
    QCOMPARE(QProcess::execute(QStringLiteral("runuser"),
                               {QStringLiteral("-u"), other, QStringLiteral("--"),
                                QStringLiteral("ln"), QStringLiteral("-s"), victim, planted}),
             0);
    const Run r = run(
        {"export", "--patient", "Anne", "--dossier", folder_, "--format", "csv", "-o", planted});
    QCOMPARE(r.code, 2);
    QVERIFY2(r.err.contains(QStringLiteral("c'est un lien symbolique")), qPrintable(r.err));
    QCOMPARE(test::ReadFile(victim), QByteArray("alias ll='ls -l'\n"));
#endif
  }

  // --json: one object with exactly the documented keys.
  // What import reads and where it writes: a FIFO is refused at once, never
  // waited on, and a folder whose lock another command holds is left alone.
  void importRefusals() {
#ifndef Q_OS_UNIX
    QSKIP("no FIFO on this system");
#else
    const QString fifo = home_->path() + QStringLiteral("mesures.csv");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const Run r = run({"import", "--patient", "Anne", "--dossier", folder_, fifo});
    QCOMPARE(r.code, 2);
    QVERIFY2(r.err.contains(QStringLiteral("ce n'est pas un fichier ordinaire")),
             qPrintable(r.err));

    const QString csv = home_->path() + QStringLiteral("releves.csv");
    QVERIFY(test::WriteFile(csv, "Date;Heure;Systolique;Diastolique;Pouls\r\n"
                                 "15/03/2026;08:10;125;80;66\r\n"));
    const QByteArray before = test::ReadFile(folder_ + QStringLiteral("ARTL_Matin_Anne.txt"));
    QLockFile other(DataFolderLockPath(folder_));
    QVERIFY(other.tryLock(0));
    const Run locked = run({"import", "--patient", "Anne", "--dossier", folder_, csv});
    QCOMPARE(locked.code, 3);
    QCOMPARE(test::ReadFile(folder_ + QStringLiteral("ARTL_Matin_Anne.txt")), before);
    other.unlock();
    QCOMPARE(run({"import", "--patient", "Anne", "--dossier", folder_, csv}).code, 0);
    QVERIFY(!QFileInfo::exists(DataFolderLockPath(folder_))); // let go once written
#endif
  }

  // A lock left by another computer: refused with who holds it and since
  // when (exit 3), written with --forcer-verrou, and the lock is then ours
  // until the command ends.
  void lockOfAnotherComputer() {
    const QString lock = DataFolderLockPath(folder_);
    QVERIFY(test::WriteFile(lock, "4242\ntensiolog\nsalon\nm\nb\nbob\n2026-03-14T08:15:00Z\n"));
    QStringList args = {"remarque",   "--patient", "Anne",  "--dossier", folder_,      "--date",
                        "03/03/2026", "--heure",   "20:05", "--texte",   "bras gauche"};
    const Run refused = run(args);
    QCOMPARE(refused.code, 3);
    QCOMPARE(refused.err,
             QStringLiteral("Le dossier de données est ouvert sur un autre ordinateur : "
                            "tensiolog (processus 4242) sur l'ordinateur « salon », compte « bob "
                            "», depuis le %1. Si Tensiolog n'y tourne plus (une panne, une "
                            "coupure), relancez la commande avec --forcer-verrou.\n")
                 .arg(QDateTime(QDate(2026, 3, 14), QTime(8, 15), Qt::UTC)
                          .toLocalTime()
                          .toString(QStringLiteral("dd/MM/yyyy à HH:mm"))));
    QVERIFY(!QFileInfo::exists(folder_ + QStringLiteral("ARTL_Notes_Anne.txt")));
    args << "--forcer-verrou";
    QCOMPARE(run(args).code, 0);
    QVERIFY(QFileInfo::exists(folder_ + QStringLiteral("ARTL_Notes_Anne.txt")));
    QVERIFY(!QFileInfo::exists(lock));
  }

  // "remarque" writes the context file alone, never while the folder is held.
  void remarqueWritesTheContextFile() {
    const QByteArray before = test::ReadFile(folder_ + QStringLiteral("ARTL_Matin_Anne.txt"));
    const QStringList args = {"remarque", "--patient", "Anne",         "--dossier",
                              folder_,    "--date",    "03/03/2026",   "--heure",
                              "20:05",    "--texte",   "--bras gauche"};
    QLockFile other(DataFolderLockPath(folder_));
    QVERIFY(other.tryLock(0));
    QCOMPARE(run(args).code, 3);
    QVERIFY(!QFileInfo::exists(folder_ + QStringLiteral("ARTL_Notes_Anne.txt")));
    other.unlock();
    const Run r = run(args);
    QCOMPARE(r.code, 0);
    QCOMPARE(test::ReadFile(folder_ + QStringLiteral("ARTL_Matin_Anne.txt")), before);
    QCOMPARE(test::ReadFile(folder_ + QStringLiteral("ARTL_Notes_Anne.txt")),
             QByteArray("1\r\nSoir\r\n03/03/2026\r\n20:05\r\n130\r\n80\r\n70\r\n\r\n"
                        "--bras gauche\r\n"));
    // The flag reaches the series, as a count and a sentence.
    QStringList flag = args.mid(0, 9);
    flag << "--pouls-irregulier"
         << "oui";
    QCOMPARE(run(flag).code, 0);
    const Run series = run({"releve", "--patient", "Anne", "--dossier", folder_});
    QVERIFY2(series.out.contains(QStringLiteral("Pouls irrégulier noté pour 1 mesure sur ")),
             qPrintable(series.out));
    const Run json = run({"releve", "--patient", "Anne", "--dossier", folder_, "--json"});
    QCOMPARE(QJsonDocument::fromJson(json.out.toUtf8())["irregular"].toInt(), 1);
    QCOMPARE(run(flag.mid(0, 9) << "--pouls-irregulier"
                                << "non")
                 .code,
             0);
    // An empty text takes the note away, and the file with it.
    QStringList clear = args;
    clear.last() = QString();
    QCOMPARE(run(clear).code, 0);
    QVERIFY(!QFileInfo::exists(folder_ + QStringLiteral("ARTL_Notes_Anne.txt")));
  }

  void seriesAsJson() {
    const Run r = run(
        {"releve", "--patient", "Anne", "--dossier", folder_, "--json", "--protocole", "regle3"});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.err, QString());
    const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
    QStringList keys = o.keys();
    keys.sort();
    QCOMPARE(keys, QStringList({"category", "compliance", "counted", "end", "evening", "excluded",
                                "expected", "extend", "irregular", "mean", "minimum", "missing",
                                "morning", "protocol", "start", "verdict", "windows"}));
    QCOMPARE(o["protocol"].toString(), QStringLiteral("regle3"));
    QCOMPARE(o["start"].toString(), QStringLiteral("2026-03-02"));
    QCOMPARE(o["end"].toString(), QStringLiteral("2026-03-04"));
    QCOMPARE(o["counted"].toInt(), 18);
    QCOMPARE(o["verdict"].toString(), QStringLiteral("below"));
    QCOMPARE(o["mean"].toObject()["systolic"].toDouble(), 130.0);
    QCOMPARE(o["excluded"].toArray().size(), 1);
    const QJsonObject excluded = o["excluded"].toArray()[0].toObject();
    QCOMPARE(excluded["reason"].toString(), QStringLiteral("systolique illisible"));
    QCOMPARE(excluded["systolic"].toString(), QStringLiteral("abc")); // as it stands
    QCOMPARE(excluded["pulse"].toString(), QStringLiteral("70"));
    QCOMPARE(o["missing"].toArray().size(), 0);
    // A day unmeasured: its morning and evening, numbered as the form does.
    const QJsonArray missing =
        QJsonDocument::fromJson(run({"releve", "--patient", "Anne", "--dossier", folder_, "--debut",
                                     "03/03/2026", "--json", "--protocole", "regle3"})
                                    .out.toUtf8())
            .object()["missing"]
            .toArray();
    QCOMPARE(missing.size(), 2);
    QCOMPARE(
        missing[1].toObject(),
        (QJsonObject{{"day", 3}, {"date", "2026-03-05"}, {"moment", "evening"}, {"count", 3}}));
  }
  // The series' settings: --protocole, else the patient's in the preferences
  // file, else the 2-2-3 rule; --matin-des and --soir-jusqua widen the
  // sessions for one run. Anne gets a reading at 05:30 on 03/03, counted only
  // in a wider morning, and a flag on the first reading of 02/03, day 1 of
  // the European protocol: shown, and so among the readings the flag is out of.
  void seriesSettings_data() {
    QTest::addColumn<QByteArray>("prefs"); // the preferences file; empty: none
    QTest::addColumn<QStringList>("args"); // after releve --patient Anne
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<QString>("category"); // "": absent
    QTest::addColumn<bool>("extend");
    QTest::addColumn<QString>("windows"); // morning and evening
    QTest::addColumn<int>("outside");     // readings "hors des plages matin/soir"
    QTest::addColumn<QString>("line");    // the start of a line of the text output
    QTest::newRow("2-2-3 by default")
        << QByteArray() << QStringList() << "regle223"
        << "elevated" << true << "06:01-12:00 18:01-23:59" << 1
        << "Plages des séances : matin 06:01-12:00, soir 18:01-23:59.";
    QTest::newRow("the patient's settings")
        << QByteArray("SeriesProtocol=esh7\r\nSeriesPatients=Bob:esh7,0400,0159|"
                      "Anne:regle3,0500,0100\r\n")
        << QStringList() << "regle3"
        << "elevated" << false << "05:00-12:00 18:01-01:00" << 0
        << "Plages des séances : matin 05:00-12:00, soir 18:01-01:00 le lendemain.";
    QTest::newRow("--protocole before the patient's, their sessions kept")
        << QByteArray("SeriesPatients=Anne:regle3,0500,0100\r\n")
        << QStringList{"--protocole", "regle223"} << "regle223"
        << "elevated" << true << "05:00-12:00 18:01-01:00" << 0 << "Moyenne : 131,7 / 81,3 mmHg";
    // Day 1 is not counted: too few readings, no category; the flag is out
    // of the 12 readings of the grid and the 8 not counted.
    QTest::newRow("the protocol chosen before settings per patient")
        << QByteArray("SeriesProtocol=esh7\r\n") << QStringList() << "esh7"
        << "" << false << "06:01-12:00 18:01-23:59" << 1
        << "Pouls irrégulier noté pour 1 mesure sur 20 :";
    QTest::newRow("sessions widened for this run")
        << QByteArray() << QStringList{"--matin-des", "05:00", "--soir-jusqua", "01:30"}
        << "regle223"
        << "elevated" << true << "05:00-12:00 18:01-01:30" << 0
        << "Plages des séances : matin 05:00-12:00, soir 18:01-01:30 le lendemain.";
  }
  void seriesSettings() {
    QFETCH(QByteArray, prefs);
    QFETCH(QStringList, args);
    QFETCH(QString, protocol);
    QFETCH(QString, category);
    QFETCH(bool, extend);
    QFETCH(QString, windows);
    QFETCH(int, outside);
    QFETCH(QString, line);
    QString patient = QStringLiteral("Anne");
    StoragePaths paths = SetupStorage(home_->path(), patient);
    Logbook book(patient, paths);
    QVERIFY(LoadLogbook(book).isEmpty());
    book.list(DayPeriod::Matin).append(test::MakeReading("05:30", 150, 95, 70, "03/03/2026"));
    QCOMPARE(SaveLogbook(book).written, 2);
    QCOMPARE(run({"remarque", "--patient", "Anne", "--dossier", folder_, "--date", "02/03/2026",
                  "--heure", "07:00", "--pouls-irregulier", "oui"})
                 .code,
             0);
    if (!prefs.isEmpty()) {
      QVERIFY(test::WriteFile(folder_ + QStringLiteral("ARTL_Prefs.ini"), prefs));
    }
    args = QStringList{"releve", "--patient", "Anne", "--dossier", folder_} + args;
    const Run json = run(args + QStringList{"--json"});
    QCOMPARE(json.code, 0);
    const QJsonObject o = QJsonDocument::fromJson(json.out.toUtf8()).object();
    QCOMPARE(o["protocol"].toString(), protocol);
    QCOMPARE(o.contains("category"), !category.isEmpty());
    QCOMPARE(o["category"].toString(), category);
    QVERIFY(o["extend"].isBool());
    QCOMPARE(o["extend"].toBool(), extend);
    const QJsonObject w = o["windows"].toObject();
    QCOMPARE(w["morning"].toString() + u' ' + w["evening"].toString(), windows);
    const QJsonArray excluded = o["excluded"].toArray();
    QCOMPARE(std::count_if(excluded.begin(), excluded.end(),
                           [](const QJsonValue &e) {
                             return e["reason"].toString() ==
                                    QStringLiteral("hors des plages matin/soir");
                           }),
             outside);
    const Run text = run(args);
    const QStringList lines = text.out.split(u'\n');
    QVERIFY2(std::any_of(lines.begin(), lines.end(),
                         [&](const QString &l) { return l.startsWith(line); }),
             qPrintable(text.out));
  }

  // import: the summary; a new name gets a profile; rejected rows and
  // duplicates are no failure; nothing is written on a dry run, on any
  // error, or while the program runs.
  void importFile_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("csv"); // empty: no file
    QTest::addColumn<QByteArray>("profilesBefore");
    QTest::addColumn<bool>("running");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::addColumn<QByteArray>("marcMatin"); // empty: no file
    QTest::addColumn<bool>("anneChanged");
    QTest::addColumn<QByteArray>("profiles"); // empty: no patient file

    const QStringList marc = {"import", "--patient", "Marc", "#", "--dossier", "@"};
    const QStringList anne = {"import", "--patient", "Anne", "--dossier", "@", "#"};
    const QByteArray twoRows = kHeader + "03/03/2026;07:40;128;82;71\r\n03/03/2026;07:45;128;82;71";
    const QByteArray marcFile = "2\r\n03/03/2026\r\n07:40\r\n128\r\n82\r\n71\r\n" + kNormal +
                                "03/03/2026\r\n07:45\r\n128\r\n82\r\n71\r\n" + kNormal;
    const QByteArray marcProfile = "1\r\nMarc\r\n\r\n\r\n\r\n\r\n\r\n\r\n14/03/2026\r\n";
    const QByteArray otherProfile = "1\r\nMarc\r\n67\r\n\r\n\r\n\r\n\r\n\r\n02/01/2026\r\n";
    // Dates of days 12 and less: read day first, and said so.
    const QString assumed =
        "Aucune date ne distingue le jour du mois : les dates sont lues dans l'ordre jour/mois.\n";
    const QString two = "2 relevés importés, 0 doublon ignoré, 0 ligne rejetée.\n" + assumed;
    const QString dry = "Essai : aucun fichier n'a été écrit.\n";
    const QByteArray none;

    QTest::newRow("new name: files and a profile")
        << marc << twoRows << none << false << 0 << two << "" << marcFile << false << marcProfile;
    QTest::newRow("FHIR bundle, a panel without pulse")
        << marc
        << QByteArray(
               R"({"resourceType": "Bundle", "entry": [{"resource": {"resourceType": )"
               R"("Observation", "code": {"coding": [{"code": "85354-9"}]}, "component": [)"
               R"({"code": {"coding": [{"code": "8480-6"}]}, "valueQuantity": {"value": 128, )"
               R"("code": "mm[Hg]"}}, {"code": {"coding": [{"code": "8462-4"}]}, )"
               R"("valueQuantity": {"value": 82, "code": "mm[Hg]"}}, {"code": {"coding": [)"
               R"({"code": "8867-4"}]}, "valueQuantity": {"value": 71, "code": "/min"}}], )"
               R"("effectiveDateTime": "2026-03-03T07:40:00"}}, {"resource": {"resourceType": )"
               R"("Observation", "code": {"coding": [{"code": "85354-9"}]}}}]})")
        << none << false << 0
        << "1 relevé importé, 0 doublon ignoré, 1 ligne rejetée.\n"
           "entrée 2 : date et heure absentes\n"
        << "" << QByteArray("1\r\n03/03/2026\r\n07:40\r\n128\r\n82\r\n71\r\n") + kNormal << false
        << marcProfile;
    QTest::newRow("name with a profile: the profile kept")
        << marc << twoRows << otherProfile << false << 0 << two << "" << marcFile << false
        << otherProfile;
    QTest::newRow("known by files: appended, rejects and duplicates told")
        << anne
        << kHeader + "05/03/2026;07:00;128;82;71\n02/03/2026;07:00;130;80;70\n05/03/2026;8:00;1;2;x"
        << none << false << 0
        << "1 relevé importé, 1 doublon ignoré, 1 ligne rejetée.\n" + assumed +
               "ligne 4 : pouls illisible\n"
        << "" << none << true << none;
    QTest::newRow("a known export: its name told")
        << anne
        << QByteArray("Date,Heart rate,Systolic,Diastolic,Comments\n"
                      "2026-03-05 07:00:00,71,128,82,\n2026-03-05 20:00:00,,128,82,\n")
        << none << false << 0
        << "Format reconnu : Withings\n"
           "1 relevé importé, 0 doublon ignoré, 1 ligne rejetée.\n"
           "ligne 3 : pouls absent\n"
        << "" << none << true << none;
    QTest::newRow("--colonnes: a weight section left aside, never read by them")
        << anne + QStringList{"--colonnes", "date=1,heure=2,systolique=3,diastolique=4,pouls=5"}
        << QByteArray("Date;Heure;Sys;Dia;Pouls\n13/03/2026;07:00;128;82;71\n"
                      "Date;Heure;Poids (kg);IMC;Graisse (%)\n13/03/2026;07:05;96;31,5;35\n")
        << none << false << 0
        << "1 relevé importé, 0 doublon ignoré, 0 ligne rejetée.\n"
           "lignes 3 à 4 : section « Poids » ignorée, ce ne sont pas des mesures de tension\n"
        << "" << none << true << none;
    QTest::newRow("duplicates only")
        << anne << kHeader + "02/03/2026;07:00;130;80;70" << none << false << 0
        << "0 relevé importé, 1 doublon ignoré, 0 ligne rejetée.\n" + assumed << "" << none << false
        << none;
    QTest::newRow("dry run") << marc + QStringList{"--dry-run"} << twoRows << none << false << 0
                             << two + "Essai : aucun fichier n'a été écrit.\n"
                             << "" << none << false << none;
    QTest::newRow("dry run while the program runs")
        << anne + QStringList{"--dry-run"} << twoRows << none << true << 0
        << two + "Essai : aucun fichier n'a été écrit.\n"
        << "" << none << false << none;
    QTest::newRow("program running")
        << marc << twoRows << none << true << 3 << ""
        << "Tensiolog est ouvert : fermez-le avant d'importer des relevés, sinon il remplacera "
           "les fichiers en se fermant.\n"
        << none << false << none;
    // Apple Health's export.xml (the name aside, its first bytes tell it).
    const auto apple = [](const QByteArray &records) {
      return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<HealthData locale=\"fr_FR\">\n" +
             records + "</HealthData>\n";
    };
    const auto at = [](const char *time) {
      const QDateTime local(QDate(2026, 3, 3), QTime::fromString(QString::fromLatin1(time)));
      const int offset = local.offsetFromUtc() / 60;
      return "startDate=\"" +
             (local.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) +
              QString::asprintf("%c%02d%02d", offset < 0 ? '-' : '+', qAbs(offset) / 60,
                                qAbs(offset) % 60))
                 .toLatin1() +
             '"';
    };
    const auto pressure = [&](const char *time) {
      return "<Correlation type=\"HKCorrelationTypeIdentifierBloodPressure\" " + at(time) +
             ">\n<Record type=\"HKQuantityTypeIdentifierBloodPressureSystolic\" unit=\"mmHg\" " +
             at(time) +
             " value=\"128\"/>\n<Record type=\"HKQuantityTypeIdentifierBloodPressureDiastolic\" "
             "unit=\"mmHg\" " +
             at(time) + " value=\"82\"/>\n</Correlation>\n";
    };
    const QByteArray pulse =
        "<Record type=\"HKQuantityTypeIdentifierHeartRate\" unit=\"count/min\" " + at("07:43") +
        " value=\"71\"/>\n";
    QTest::newRow("Apple Health export")
        << marc << apple(pressure("07:40") + pressure("07:45") + pulse) << none << false << 0
        << "2 relevés importés, 0 doublon ignoré, 0 ligne rejetée.\n"
        << "" << marcFile << false << marcProfile;
    QTest::newRow("Apple Health export without blood pressure")
        << marc << apple(pulse) << none << false << 2 << ""
        << "Lecture impossible : # : aucune mesure de tension dans ce fichier Apple Santé.\n"
        << none << false << none;
    QTest::newRow("file missing") << marc << none << none << false << 2 << ""
                                  << "*Lecture impossible : " << none << false << none;
    QTest::newRow("empty file") << marc << QByteArray("\r\n") << none << false << 2 << ""
                                << "Aucun relevé importable dans #.\n"
                                << none << false << none;
    QTest::newRow("every row rejected: the reasons told")
        << anne << kHeader + "05/03/2026;07:00;x;82;71\n05/03/2026;07:00;82;128;71" << none << false
        << 2 << ""
        << "Aucun relevé importable dans #.\n" + assumed +
               "ligne 2 : systolique illisible\nligne 3 : valeurs invraisemblables\n"
        << none << false << none;
    QTest::newRow("columns not recognised")
        << marc << QByteArray("a;b;c\nx;y;z\n") << none << false << 2 << ""
        << "Colonnes non reconnues dans # : il faut la date, l'heure, la systolique, la "
           "diastolique et le pouls.\n"
        << none << false << none;
    // The order and the columns given: a date of the other order refused
    // with its line; roles by number or by header, the other columns left.
    const QStringList dryMarc = marc + QStringList{"--dry-run"};
    QTest::newRow("--ordre-dates mj")
        << dryMarc + QStringList{"--ordre-dates", "mj"}
        << kHeader + "03/04/2026;07:40;128;82;71\n13/04/2026;07:45;128;82;71" << none << false << 0
        << "1 relevé importé, 0 doublon ignoré, 1 ligne rejetée.\n"
           "ligne 3 : date contraire à l'ordre mois/jour du fichier\n" +
               dry
        << "" << none << false << none;
    QTest::newRow("--ordre-dates of another value")
        << dryMarc + QStringList{"--ordre-dates", "md"} << twoRows << none << false << 2 << ""
        << "Ordre des dates inconnu : md (jm ou mj).\n"
        << none << false << none;
    const QByteArray shuffled = "Pouls;Quand;Heure;Haut;Bas\n71;03/15/2026;07:40;128;82\n"
                                "72;03/16/2026;7:40 PM;128;82\n";
    QTest::newRow("--colonnes by number and by header")
        << dryMarc +
               QStringList{"--colonnes", "date=Quand,heure=3,systolique=4,diastolique=bas,pouls=1"}
        << shuffled << none << false << 0
        << "2 relevés importés, 0 doublon ignoré, 0 ligne rejetée.\n"
           "Dates lues dans l'ordre mois/jour, d'après la ligne 2.\n" +
               dry
        << "" << none << false << none;
    QTest::newRow("--colonnes, unknown role")
        << dryMarc + QStringList{"--colonnes", "date=2,tension=4"} << shuffled << none << false << 2
        << ""
        << "Rôle de colonne inconnu : tension (date, heure, dateheure, systolique, diastolique, "
           "pouls, periode, fuseau, remarque, pouls-irregulier, traitement, mouvement, brassard "
           "ou autres-indications).\n"
        << none << false << none;
    QTest::newRow("--colonnes, index out of range")
        << dryMarc + QStringList{"--colonnes", "date=6"} << shuffled << none << false << 2 << ""
        << "Colonne 6 hors du fichier : il a 5 colonnes.\n"
        << none << false << none;
    QTest::newRow("--colonnes, unknown header")
        << dryMarc + QStringList{"--colonnes", "date=Jour"} << shuffled << none << false << 2 << ""
        << "Colonne introuvable dans l'en-tête du fichier : Jour.\n"
        << none << false << none;
    QTest::newRow("unreadable patient file")
        << marc << twoRows << QByteArray("abc\r\n") << false << 2 << ""
        << "*Fichier des patients illisible : " << none << false << QByteArray("abc\r\n");
    QTest::newRow("no file named")
        << QStringList{"import", "--patient", "Marc"} << none << none << false << 2 << ""
        << "Indiquez le fichier à importer.\n"
        << none << false << none;
    QTest::newRow("data folder missing")
        << QStringList{"import", "--patient", "Marc", "--dossier", "@/absent", "#"} << twoRows
        << none << false << 2 << ""
        << "*Dossier de données introuvable : " << none << false << none;
  }
  void importFile() {
    QFETCH(QStringList, args);
    QFETCH(QByteArray, csv);
    QFETCH(QByteArray, profilesBefore);
    QFETCH(bool, running);
    QFETCH(int, code);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(QByteArray, marcMatin);
    QFETCH(bool, anneChanged);
    QFETCH(QByteArray, profiles);
    test::FixedClock clock(QDateTime(QDate(2026, 3, 14), QTime(9, 30)));
    const QString file = home_->path() + QStringLiteral("import.csv");
    if (!csv.isEmpty()) {
      QVERIFY(test::WriteFile(file, csv));
    }
    const QString patients = folder_ + QStringLiteral("ARTL_Users.ini");
    if (!profilesBefore.isEmpty()) {
      QVERIFY(test::WriteFile(patients, profilesBefore));
    }
    const QByteArray anneBefore = test::ReadFile(folder_ + QStringLiteral("ARTL_Matin_Anne.txt"));
    QLockFile program(DataFolderLockPath(folder_));
    if (running) {
      QVERIFY(program.tryLock(0));
    }
    args.replaceInStrings(QStringLiteral("@/"), folder_);
    args.replaceInStrings(QStringLiteral("@"), folder_);
    args.replaceInStrings(QStringLiteral("#"), file);
    err.replace(u'#', QDir::toNativeSeparators(file)); // a path shown
    expect(run(args), code, out, err);
    const QString marcFile = folder_ + QStringLiteral("ARTL_Matin_Marc.txt");
    QCOMPARE(QFileInfo::exists(marcFile), !marcMatin.isEmpty());
    if (!marcMatin.isEmpty()) {
      QCOMPARE(test::ReadFile(marcFile), marcMatin);
    }
    QCOMPARE(test::ReadFile(folder_ + QStringLiteral("ARTL_Matin_Anne.txt")) != anneBefore,
             anneChanged);
    QCOMPARE(QFileInfo::exists(patients), !profiles.isEmpty());
    if (!profiles.isEmpty()) {
      QCOMPARE(test::ReadFile(patients), profiles);
    }
  }
};

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
