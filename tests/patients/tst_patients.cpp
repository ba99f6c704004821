// The patient file, the change of patient and the patient manager window.
#include "fakes.h"
#include "readings.h"
#include "stub_main_window.h"

#include "common/app_state.h"
#include "common/paths.h"
#include "common/patient_name.h"
#include "logbook/patient_file.h"
#include "measurements/measurement_file.h"
#include "measurements/period_list_model.h"
#include "patients/patient_manager.h"
#include "patients/patient_switch.h"
#include "ui/assets/assets.h"
#include "ui/drawing.h"
#include "ui/main_window_api.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace tl;

namespace {

// Just enough of the main window: the lists, and a record of what was asked.
using FakeMain = test::StubMainWindow;

// Two profiles, accented, as the program writes them.
const QByteArray kTwoProfiles = "2\r\n"
                                "H\xC3\xA9l\xC3\xA8ne Dupr\xC3\xA9\r\n"
                                "67\r\n"
                                "58 kg\r\n"
                                "Dr L\xC3\xA9on\r\n"
                                "3 rue de l'\xC3\x89glise, S\xC3\xA8te\r\n"
                                "leon@exemple.fr\r\n"
                                "04 67 00 00 00\r\n"
                                "02/03/2026\r\n"
                                "Marc\r\n"
                                "\r\n"
                                "\r\n"
                                "\r\n"
                                "\r\n"
                                "\r\n"
                                "\r\n"
                                "05/03/2026\r\n";

Reading OneReading(const QString &time) { return test::MakeReading(time, 128, 82, 71); }

QLineEdit *Field(PatientManagerWindow &w, ControlId id) {
  return qobject_cast<QLineEdit *>(w.control(id));
}

QPushButton *Button(PatientManagerWindow &w, ControlId id) {
  return qobject_cast<QPushButton *>(w.control(id));
}

QString StatusText(PatientManagerWindow &w) {
  return w.control(ControlId::PatientStatusBar)->findChild<QLabel *>()->text();
}

void AddProfile(PatientManagerWindow &w, const QString &name, const QString &age = {}) {
  Field(w, ControlId::PatientNameField)->setText(name);
  Field(w, ControlId::PatientAgeField)->setText(age);
  QTest::mouseClick(Button(w, ControlId::PatientButtonAdd), Qt::LeftButton);
}

void SelectOnly(PatientManagerWindow &w, int row) {
  w.list()->clearSelection();
  w.list()->topLevelItem(row)->setSelected(true);
}

void Tick(PatientManagerWindow &w, int row) {
  w.list()->topLevelItem(row)->setCheckState(0, Qt::Checked);
}

} // namespace

class TestPatients : public QObject {
  Q_OBJECT

  test::TempHome *home_ = nullptr;
  test::FixedClock *clock_ = nullptr;
  std::unique_ptr<test::FakeDialogs> dialogs_;

private slots:
  void initTestCase() { LoadSharedAssets(); } // the program's fonts in the snapshots

  void init() {
    home_ = new test::TempHome;
    clock_ = new test::FixedClock(QDateTime(QDate(2026, 3, 14), QTime(9, 30)));
    Paths() = SetupStorage(home_->path());
    State() = AppState();
    dialogs_ = std::make_unique<test::FakeDialogs>();
  }
  void cleanup() {
    dialogs_.reset();
    delete clock_;
    delete home_;
  }

  // --- The patient file -------------------------------------------------

  void fileRoundTripIsByteExact() {
    const std::vector<Patient> patients = ParsePatientFile(kTwoProfiles);
    QCOMPARE(patients.size(), size_t(2));
    QCOMPARE(patients[0][Patient::Name], QStringLiteral("Hélène Dupré"));
    QCOMPARE(patients[0][Patient::PracticeAddress], QStringLiteral("3 rue de l'Église, Sète"));
    QCOMPARE(patients[0][Patient::CreatedOn], QStringLiteral("02/03/2026"));
    QCOMPARE(patients[1][Patient::Name], QStringLiteral("Marc"));
    QCOMPARE(patients[1][Patient::Doctor], QString());
    QCOMPARE(patients[1][Patient::CreatedOn], QStringLiteral("05/03/2026"));

    QVERIFY(!SavePatientFile(Paths().patientFile, patients));
    QCOMPARE(test::ReadFile(Paths().patientFile), kTwoProfiles);
    QCOMPARE(LoadPatientFile(Paths().patientFile).patients, patients);
  }

  void shortAndJunkFiles_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("lastName");
    QTest::newRow("3 announced, one block")
        << QByteArray("3\r\nA\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n") << 1 << "A";
    QTest::newRow("block cut in the middle") << QByteArray("1\r\nA\r\n1") << 1 << "A";
    QTest::newRow("count not a number") << QByteArray("deux\r\nA\r\n") << 0 << QString();
    QTest::newRow("empty file") << QByteArray() << 0 << QString();
    QTest::newRow("lines beyond the count ignored")
        << QByteArray("1\nA\n\n\n\n\n\n\nB\nC\n") << 1 << "A";
    QTest::newRow("LF and CR line ends") << QByteArray("2\nA\r\r\r\r\r\r\r\rB\n") << 2 << "B";
    QTest::newRow("count claims millions") << QByteArray("9999999\r\nA\r\n") << 1 << "A";
  }
  void shortAndJunkFiles() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, rows);
    QFETCH(QString, lastName);
    const std::vector<Patient> patients = ParsePatientFile(bytes);
    QCOMPARE(int(patients.size()), rows);
    if (rows > 0) {
      QCOMPARE(patients.back()[Patient::Name], lastName);
    }
  }

  void lineBreaksInFieldsBecomeBlanks() {
    Patient p;
    p[Patient::Name] = QStringLiteral("Anne\r\nMarie");
    p[Patient::Doctor] = QStringLiteral("Dr\nX");
    const QByteArray bytes = SerializePatientFile({p, p});
    QCOMPARE(bytes.count("\r\n"), 17);
    const std::vector<Patient> back = ParsePatientFile(bytes);
    QCOMPARE(back.size(), size_t(2));
    QCOMPARE(back[1][Patient::Name], QStringLiteral("Anne Marie"));
    QCOMPARE(back[1][Patient::Doctor], QStringLiteral("Dr X"));
  }

  void missingEmptyAndReadOnlyFiles() {
    const QString path = Paths().patientFile;
    QVERIFY(!LoadPatientFile(path).exists);
    QVERIFY(SavePatientFile(path, {}));
    QVERIFY(!QFile::exists(path));

    QVERIFY(test::WriteFile(path, kTwoProfiles));
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadUser);
    QVERIFY(DeletePatientFile(path));
    QVERIFY(!QFile::exists(path));
    QVERIFY(DeletePatientFile(path));
  }

  void usableNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("usable");
    QTest::newRow("accents and blanks") << "Jean-Noël d'Aubigné" << true;
    QTest::newRow("blanks only count as a name") << "   " << true;
    QTest::newRow("dots inside") << "J. R." << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("dot") << "." << false;
    QTest::newRow("dot dot") << ".." << false;
    const char *refused[] = {"a\\b", "a/b", "a:b", "a*b",  "a?b", "a\"b",
                             "a<b",  "a>b", "a|b", "a\tb", "a\nb"};
    for (const char *name : refused) {
      QTest::newRow(name) << QString::fromUtf8(name) << false;
    }
    QTest::newRow("leaves the folder") << "../../x" << false;
    QTest::newRow("zero-width space: a saved name stays usable") << "Anne\u200B" << true;
  }
  void usableNames() {
    QFETCH(QString, name);
    QFETCH(bool, usable);
    QCOMPARE(IsUsablePatientName(name), usable);
  }

  // --- Change of patient ------------------------------------------------

  void changeOfPatientSavesThenReloads() {
    FakeMain main;
    State().currentPatient = QStringLiteral("Ancien");
    RebuildMeasurementPaths(Paths(), State().currentPatient);
    main.lists().list(DayPeriod::Nuit).append(OneReading(QStringLiteral("05:40")));

    const QString dir = Paths().dataFolder;
    QVERIFY(test::WriteFile(dir + "ARTL_Matin_Hélène.txt",
                            SerializeMeasurementFile({OneReading("07:00"), OneReading("08:00")})));
    QVERIFY(test::WriteFile(dir + "ARTL_Nuit_Hélène.txt",
                            SerializeMeasurementFile({OneReading("01:00")})));

    dialogs_->setStrictMessages(true);
    QVERIFY(SwitchToPatient(main, QStringLiteral("Hélène"), nullptr));

    QCOMPARE(ParseMeasurementFile(test::ReadFile(dir + "ARTL_Nuit_Ancien.txt")).size(), size_t(1));
    QCOMPARE(State().currentPatient, QStringLiteral("Hélène"));
    QCOMPARE(Paths().measurementFile(DayPeriod::Soir), dir + "ARTL_Soir_Hélène.txt");
    QCOMPARE(main.patientLines, QStringList{QStringLiteral("Hélène")});
    QCOMPARE(main.lists().list(DayPeriod::Matin).size(), 2);
    QCOMPARE(main.lists().list(DayPeriod::Jour).size(), 0);
    QCOMPARE(main.lists().list(DayPeriod::Nuit).reading(0)[Reading::Time], QStringLiteral("01:00"));
    QCOMPARE(main.statusUpdates, 1);
    QCOMPARE(main.refreshes, 1);
  }

  void failedSaveLetsTheUserStay_data() {
    QTest::addColumn<bool>("change");
    QTest::newRow("stays") << false;
    QTest::newRow("changes anyway") << true;
  }
  void failedSaveLetsTheUserStay() {
    QFETCH(bool, change);
    FakeMain main;
    State().currentPatient = QStringLiteral("Ancien");
    RebuildMeasurementPaths(Paths(), State().currentPatient);
    // A folder where the Matin file should be: that list cannot be saved.
    QVERIFY(QDir().mkpath(Paths().measurementFile(DayPeriod::Matin)));
    main.lists().list(DayPeriod::Matin).append(OneReading(QStringLiteral("07:00")));
    const QString matin = QDir::toNativeSeparators(Paths().measurementFile(DayPeriod::Matin));

    change ? dialogs_->answerYes() : dialogs_->answerNo();
    QCOMPARE(SwitchToPatient(main, QStringLiteral("Nouveau"), nullptr), change);
    QCOMPARE(dialogs_->shown.size(), 1);
    QCOMPARE(dialogs_->shown[0].title, QStringLiteral("Sauvegarde"));
    QCOMPARE(dialogs_->shown[0].byDefault, Dialogs::Default::No); // Enter keeps the readings
    // The period, then the file and the system's reason on a line of its own.
    QVERIFY(dialogs_->shown[0].text.startsWith(
        QStringLiteral("Les mesures de « Ancien » n'ont pas pu être enregistrées (Matin).\n\n") +
        matin + QStringLiteral(" : ")));
    // Where the readings will be: a rescue copy in the data folder, written
    // only when the person changes patient.
    QVERIFY2(dialogs_->shown[0].text.contains(QDir::toNativeSeparators(Paths().dataFolder) +
                                              "\nARTL_Matin_Ancien.txt.secours-…"),
             qPrintable(dialogs_->shown[0].text));
    QCOMPARE(State().currentPatient, change ? QStringLiteral("Nouveau") : QStringLiteral("Ancien"));
    QCOMPARE(main.lists().list(DayPeriod::Matin).size(), change ? 0 : 1);
    const QStringList copies =
        QDir(Paths().dataFolder).entryList({QStringLiteral("ARTL_Matin_Ancien.txt.secours-*")});
    QCOMPARE(copies.size(), change ? 1 : 0);
  }

  // --- The window -------------------------------------------------------

  // Every way of leaving the window at the first start: the profiles typed
  // are kept (as "Fermer" says), a chosen one becomes the patient of the
  // main window, a stray Escape leaves nothing.
  void firstStartExits_data() {
    QTest::addColumn<QString>("way");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<QString>("patient"); // in use afterwards
    QTest::newRow("Fermer") << "Fermer" << true << "";
    QTest::newRow("window close") << "close" << true << "";
    QTest::newRow("Escape") << "Escape" << false << "";
    QTest::newRow("double-click") << "double-click" << true << "Marc";
  }
  void firstStartExits() {
    QFETCH(QString, way);
    QFETCH(bool, closes);
    QFETCH(QString, patient);
    FakeMain main;
    PatientManagerWindow w(main, main.window());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    QVERIFY(!w.patientFileExisted());
    const QString instruction =
        qobject_cast<QLabel *>(w.control(ControlId::PatientInstruction))->text();
    QVERIFY(instruction.startsWith(
        QStringLiteral("☞ Au premier lancement vous devez créer un profil.")));
    QCOMPARE(StatusText(w), QStringLiteral("Utilisateurs enregistrés : 0"));
    QCOMPARE(QApplication::focusWidget(), w.control(ControlId::PatientNameField));
    QCOMPARE(w.size(), QSize(600, 475));

    AddProfile(w, QStringLiteral("Hélène"), QStringLiteral("67"));
    AddProfile(w, QStringLiteral("Marc"));
    QCOMPARE(StatusText(w), QStringLiteral("Utilisateurs enregistrés : 2"));
    if (way == QStringLiteral("Fermer")) {
      QTest::mouseClick(Button(w, ControlId::PatientButtonClose), Qt::LeftButton);
    } else if (way == QStringLiteral("close")) {
      w.close();
    } else if (way == QStringLiteral("Escape")) {
      QTest::keyClick(&w, Qt::Key_Escape);
    } else {
      QTreeWidget *list = w.list();
      const QRect rect = list->visualItemRect(list->topLevelItem(1));
      QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
      QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    }

    QCOMPARE(w.isVisible(), !closes);
    QCOMPARE(State().currentPatient, patient);
    QCOMPARE(main.patientLines, patient.isEmpty() ? QStringList() : QStringList{patient});
    const QByteArray both = "2\r\nH\xC3\xA9l\xC3\xA8ne\r\n67\r\n\r\n\r\n\r\n\r\n\r\n14/03/2026\r\n"
                            "Marc\r\n\r\n\r\n\r\n\r\n\r\n\r\n14/03/2026\r\n";
    QCOMPARE(test::ReadFile(Paths().patientFile), closes ? both : QByteArray());
    QVERIFY(!QFile::exists(Paths().preferencesFile));
  }

  void runPatientManagerAtStartupReturnsFalse() {
    FakeMain main;
    QTimer::singleShot(0, [] {
      auto *w = qobject_cast<PatientManagerWindow *>(QApplication::activeModalWidget());
      QVERIFY(w);
      w->close();
    });
    QVERIFY(!OpenPatientManager(main));
    QVERIFY(!QFile::exists(Paths().patientFile));
  }

  void addRefusesMissingAndUnusableNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString()
                           << "Pour enregistrer un nouveau patient vous devez saisir un nom, une "
                              "identité.";
    QTest::newRow("slash") << "a/b" << UnusableNameMessage();
    QTest::newRow("dot dot") << ".." << UnusableNameMessage();
  }
  void addRefusesMissingAndUnusableNames() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    FakeMain main;
    PatientManagerWindow w(main);
    w.show();
    Field(w, ControlId::PatientDoctorField)->setText(QStringLiteral("Dr X"));
    AddProfile(w, name);
    QCOMPARE(w.rowCount(), 0);
    QCOMPARE(dialogs_->shown.size(), 1);
    QCOMPARE(dialogs_->shown[0].title, QStringLiteral("Nouveau patient"));
    QCOMPARE(dialogs_->shown[0].text, text);
    QCOMPARE(Field(w, ControlId::PatientDoctorField)->text(), QStringLiteral("Dr X"));
  }

  // A name is stored trimmed and composed (NFC), so that the next start
  // and the next typing name the same files; a character that shows
  // nothing or steers the text is refused. The same through "Modifier...".
  void typedNames_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored"); // "": refused
    QTest::addColumn<QString>("text");   // the box that refuses it
    const auto hidden = [](const char *code) {
      return QStringLiteral("Le nom contient un caractère invisible ou de contrôle (U+%1), qui le "
                            "ferait paraître identique à un autre nom tout en désignant d'autres "
                            "fichiers de mesures : retapez-le sans ce caractère.")
          .arg(QLatin1String(code));
    };
    const auto row = [](const char *name, const QString &typed, const QString &stored,
                        const QString &text) { QTest::newRow(name) << typed << stored << text; };
    const QString helene = QStringLiteral("H\u00E9l\u00E8ne");
    row("blanks and tab around", " \tAnne Marie  ", "Anne Marie", "");
    row("no-break spaces around", "\u00A0Anne\u3000", "Anne", "");
    row("line break at the end", "Anne\r\n", "Anne", "");
    row("decomposed accents", "He\u0301le\u0300ne", helene, "");
    row("composed accents", helene, helene, "");
    row("blanks only: no name", "   ", "",
        "Pour enregistrer un nouveau patient vous devez saisir un nom, une identité.");
    row("zero-width space", "Anne\u200B", "", hidden("200B"));
    row("zero-width joiner", "An\u200Dne", "", hidden("200D"));
    row("right-to-left mark", "\u200FAnne", "", hidden("200F"));
    row("right-to-left override", "An\u202Ene", "", hidden("202E"));
    row("left-to-right isolate", "\u2066Anne\u2069", "", hidden("2066"));
    row("zero-width no-break space", QStringLiteral("An\uFEFFne"), "", hidden("FEFF"));
    row("soft hyphen", "An\u00ADne", "", hidden("00AD"));
    row("tag beyond 16 bits", "Anne\U000E0041", "", hidden("E0041"));
    row("bell", "An\x07ne", "", hidden("0007"));
  }
  void typedNames() {
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(QString, text);
    FakeMain main;
    PatientManagerWindow w(main);
    AddProfile(w, QStringLiteral("Marc"));
    AddProfile(w, typed);
    QCOMPARE(w.rowCount(), stored.isEmpty() ? 1 : 2);
    if (!stored.isEmpty()) {
      QCOMPARE(w.patientAt(1)[Patient::Name], stored);
    }
    QCOMPARE(dialogs_->shown.size(), text.isEmpty() ? 0 : 1);
    if (!text.isEmpty()) {
      QCOMPARE(dialogs_->shown[0].title, QStringLiteral("Nouveau patient"));
      QCOMPARE(dialogs_->shown[0].text, text);
    }

    dialogs_->clear();
    SelectOnly(w, 0);
    dialogs_->answerText(typed);
    w.action(ControlId::PatientMenuModifyFirst)->trigger();
    QCOMPARE(w.patientAt(0)[Patient::Name], stored.isEmpty() ? QStringLiteral("Marc") : stored);
    // Blanks alone are an empty answer there, which changes nothing.
    const QString refusal = typed.trimmed().isEmpty() ? QString() : text;
    QCOMPARE(dialogs_->shown.size(), refusal.isEmpty() ? 1 : 2);
    if (!refusal.isEmpty()) {
      QCOMPARE(dialogs_->shown[1].title, QStringLiteral("Modifier nom & prénom"));
      QCOMPARE(dialogs_->shown[1].text, refusal);
    }
  }

  void addStoresTheFieldsOnOneLine() {
    FakeMain main;
    dialogs_->setStrictMessages(true);
    PatientManagerWindow w(main);
    Field(w, ControlId::PatientNameField)->setText(QStringLiteral("Anne\nMarie"));
    Field(w, ControlId::PatientWeightField)->setText(QStringLiteral("60"));
    Field(w, ControlId::PatientEmailField)->setText(QStringLiteral("dr@x.fr"));
    Field(w, ControlId::PatientPhoneField)->setText(QStringLiteral("0102"));
    Field(w, ControlId::PatientAddressField)->setText(QStringLiteral("1 rue\r\nParis"));
    w.addPatient();
    QCOMPARE(w.rowCount(), 1);
    const Patient p = w.patientAt(0);
    QCOMPARE(p[Patient::Name], QStringLiteral("Anne Marie"));
    QCOMPARE(p[Patient::Weight], QStringLiteral("60"));
    QCOMPARE(p[Patient::DoctorEmail], QStringLiteral("dr@x.fr"));
    QCOMPARE(p[Patient::DoctorPhone], QStringLiteral("0102"));
    QCOMPARE(p[Patient::PracticeAddress], QStringLiteral("1 rue Paris"));
    QCOMPARE(p[Patient::CreatedOn], QStringLiteral("14/03/2026"));
    QCOMPARE(Field(w, ControlId::PatientNameField)->text(), QString());
    QCOMPARE(Field(w, ControlId::PatientAddressField)->text(), QString());
  }

  // The list from the keyboard alone: the cursor starts on the first
  // patient, the arrows move it and Enter chooses the row under it, marked
  // or not, whatever the number of patients.
  void arrowsAndEnterChoose_data() {
    QTest::addColumn<int>("patients");
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<int>("chosen");
    const int down = Qt::Key_Down, up = Qt::Key_Up;
    QTest::newRow("one, Down") << 1 << QList<int>{down} << 0;
    QTest::newRow("one, Up") << 1 << QList<int>{up} << 0;
    QTest::newRow("one, Enter alone") << 1 << QList<int>{} << 0;
    QTest::newRow("three, Down") << 3 << QList<int>{down} << 1;
    QTest::newRow("three, past the end") << 3 << QList<int>{down, down, down} << 2;
    QTest::newRow("three, Down then Up") << 3 << QList<int>{down, up} << 0;
  }
  void arrowsAndEnterChoose() {
    QFETCH(int, patients);
    QFETCH(QList<int>, keys);
    QFETCH(int, chosen);
    const QStringList names = {QStringLiteral("Hélène"), QStringLiteral("Marc"),
                               QStringLiteral("Zoé")};
    QByteArray file = QByteArray::number(patients) + "\r\n";
    for (int i = 0; i < patients; ++i) {
      file += names[i].toUtf8() + "\r\n\r\n\r\n\r\n\r\n\r\n\r\n14/03/2026\r\n";
    }
    QVERIFY(test::WriteFile(Paths().patientFile, file));
    FakeMain main;
    PatientManagerWindow w(main, main.window());
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QCOMPARE(w.rowCount(), patients);
    QTRY_VERIFY(w.list()->hasFocus());
    for (int key : keys) {
      QTest::keyClick(w.list(), Qt::Key(key));
    }
    QTest::keyClick(w.list(), Qt::Key_Return);
    QCOMPARE(State().currentPatient, names[chosen]);
    QVERIFY(!w.isVisible());
  }

  void selectByMenuTakesTheLastMarkedRow() {
    QVERIFY(test::WriteFile(Paths().patientFile, kTwoProfiles));
    FakeMain main;
    PatientManagerWindow w(main);
    QCOMPARE(w.rowCount(), 2);
    QCOMPARE(StatusText(w), QStringLiteral("Utilisateurs enregistrés : 2"));
    QVERIFY(qobject_cast<QLabel *>(w.control(ControlId::PatientInstruction))
                ->text()
                .startsWith(QStringLiteral("☞ Pour activer et démarrer le programme")));

    w.action(ControlId::PatientMenuSelect)->trigger(); // nothing marked: nothing happens
    QCOMPARE(State().currentPatient, QString());

    SelectOnly(w, 0);
    Tick(w, 1);
    w.show();
    w.action(ControlId::PatientMenuSelect)->trigger();
    QCOMPARE(State().currentPatient, QStringLiteral("Marc"));
    QVERIFY(!w.isVisible());
    QCOMPARE(test::ReadFile(Paths().patientFile), kTwoProfiles);
  }

  void popupOnlyForMarkedRows_data() {
    QTest::addColumn<int>("mark"); // 0 none, 1 selected, 2 ticked
    QTest::addColumn<bool>("shown");
    QTest::newRow("neither selected nor ticked") << 0 << false;
    QTest::newRow("selected") << 1 << true;
    QTest::newRow("ticked") << 2 << true;
  }
  void popupOnlyForMarkedRows() {
    QFETCH(int, mark);
    QFETCH(bool, shown);
    QVERIFY(test::WriteFile(Paths().patientFile, kTwoProfiles));
    FakeMain main;
    PatientManagerWindow w(main);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    SelectOnly(w, 0);
    if (mark == 1) {
      w.list()->topLevelItem(1)->setSelected(true);
    } else if (mark == 2) {
      Tick(w, 1);
    }
    bool popped = false;
    QTimer::singleShot(50, [&] {
      if (QWidget *popup = QApplication::activePopupWidget()) {
        popped = popup == w.popupMenu();
        popup->close();
      }
    });
    QWidget *viewport = w.list()->viewport();
    const QPoint at = w.list()->visualItemRect(w.list()->topLevelItem(1)).center();
    QTest::mousePress(viewport, Qt::RightButton, {}, at);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
    QApplication::sendEvent(viewport, &event);
    QTest::qWait(100); // lets the timer run when no menu loop was entered
    QCOMPARE(popped, shown);
    // The right press did not select the row.
    QCOMPARE(w.list()->topLevelItem(1)->isSelected(), mark == 1);
  }

  void deleteAsksOncePerTickedRow_data() {
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<QStringList>("left");
    QTest::newRow("yes, yes") << QList<bool>{true, true} << QStringList{"C"};
    QTest::newRow("no, yes") << QList<bool>{false, true} << QStringList{"A", "C"};
    QTest::newRow("yes, no") << QList<bool>{true, false} << QStringList{"B", "C"};
  }
  void deleteAsksOncePerTickedRow() {
    QFETCH(QList<bool>, answers);
    QFETCH(QStringList, left);
    FakeMain main;
    PatientManagerWindow w(main);
    for (const char *name : {"A", "B", "C"}) {
      AddProfile(w, QString::fromLatin1(name));
    }
    Tick(w, 0);
    Tick(w, 1);
    SelectOnly(w, 2); // selected rows do not count for "Supprimer"
    for (bool yes : answers) {
      yes ? dialogs_->answerYes() : dialogs_->answerNo();
    }
    QTest::mouseClick(Button(w, ControlId::PatientButtonDelete), Qt::LeftButton);
    QVERIFY(dialogs_->allAnswersUsed());
    QCOMPARE(dialogs_->shown.size(), 2);
    QCOMPARE(dialogs_->shown[0].title, QStringLiteral("Suppression"));
    QCOMPARE(dialogs_->shown[0].text,
             QStringLiteral(
                 "Êtes-vous sûr(e) de vouloir supprimer définitivement cet utilisateur/patient ?"));
    QStringList names;
    for (const Patient &p : w.patients()) {
      names.append(p[Patient::Name]);
    }
    QCOMPARE(names, left);
    QCOMPARE(StatusText(w),
             QStringLiteral("Utilisateurs enregistrés : ") + QString::number(left.size()));
  }

  void deletingTheLastProfileRemovesTheFile() {
    QVERIFY(test::WriteFile(Paths().patientFile, kTwoProfiles));
    FakeMain main;
    PatientManagerWindow w(main);
    SelectOnly(w, 0);
    Tick(w, 1);
    dialogs_->answerYes();
    dialogs_->answerYes();
    w.action(ControlId::PatientMenuDelete)->trigger();
    QCOMPARE(w.rowCount(), 0);
    QVERIFY(!QFile::exists(Paths().patientFile));
    w.reject(); // no patient in use: nothing written
    QVERIFY(!QFile::exists(Paths().patientFile));

    PatientManagerWindow again(main);
    QVERIFY(!again.patientFileExisted());
  }

  // A file whose profiles cannot be read is renamed aside, whole, before the
  // window can write over it; a file that says "0 profiles" is no loss, and
  // "Supprimer" on the empty list then removes it.
  void unreadableFileKeptAside_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("denyReading");
    QTest::addColumn<bool>("kept");
    QTest::newRow("junk") << QByteArray("\x01\xFFjunk\r\nmore") << false << true;
    QTest::newRow("count line no number") << QByteArray("deux\r\nAnne\r\n") << false << true;
    QTest::newRow("cannot be read") << kTwoProfiles << true << true;
    QTest::newRow("zero profiles") << QByteArray("0\r\n") << false << false;
  }
  void unreadableFileKeptAside() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, denyReading);
    QFETCH(bool, kept);
    const QString path = Paths().patientFile;
    QVERIFY(test::WriteFile(path, bytes));
    if (denyReading && !test::DenyReading(path)) {
      QSKIP("this user reads every file");
    }
    test::FixedClock now(QDateTime(QDate(2026, 12, 8), QTime(10, 11, 12)));
    FakeMain main;
    PatientManagerWindow w(main);
    QCOMPARE(w.rowCount(), 0);
    const QString aside = path + QStringLiteral(".illisible-20261208-101112");
    QCOMPARE(QFileInfo::exists(aside), kept);
    QCOMPARE(QFileInfo::exists(path), !kept);
    const QString status = w.findChild<QStatusBar *>()->findChild<QLabel *>()->text();
    if (kept) {
      QFile::setPermissions(aside, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
      QCOMPARE(test::ReadFile(aside), bytes);
      QCOMPARE(status, QStringLiteral("Fichier des patients illisible : conservé sous "
                                      "ARTL_Users.ini.illisible-20261208-101112"));
      w.show();
      QVERIFY(w.grab().save(test::SnapshotFolder() + "patient_manager_kept_aside.png"));
    }
    QTest::mouseClick(Button(w, ControlId::PatientButtonDelete), Qt::LeftButton);
    QVERIFY(!QFileInfo::exists(path));
    QVERIFY(dialogs_->shown.isEmpty());
    PatientManagerWindow again(main);
    QVERIFY(!again.patientFileExisted()); // the first-launch instruction again
  }

  void modifyField_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("title");
    QTest::newRow("empty answer keeps the name") << 0 << ""
                                                 << "Marc"
                                                 << "Modifier nom & prénom";
    QTest::newRow("new name") << 0 << "Marc Aurèle"
                              << "Marc Aurèle"
                              << "Modifier nom & prénom";
    QTest::newRow("unusable name refused") << 0 << "Marc/2"
                                           << "Marc"
                                           << "Modifier nom & prénom";
    QTest::newRow("age") << 1 << "70"
                         << "70"
                         << "Modifier l'âge";
    QTest::newRow("line break") << 4 << "1 rue\nParis"
                                << "1 rue Paris"
                                << "Modifier l'adresse du cabinet médical";
    QTest::newRow("date") << 7 << "01/01/2020"
                          << "01/01/2020"
                          << "Modifier la date d'enregistrement";
  }
  void modifyField() {
    QFETCH(int, column);
    QFETCH(QString, answer);
    QFETCH(QString, expected);
    QFETCH(QString, title);
    QVERIFY(test::WriteFile(Paths().patientFile, kTwoProfiles));
    FakeMain main;
    PatientManagerWindow w(main);
    Tick(w, 0); // ticked rows are not modified
    SelectOnly(w, 1);
    const QString before = w.patientAt(1)[column];
    dialogs_->answerText(answer);
    w.action(ControlId(ToInt(ControlId::PatientMenuModifyFirst) + column))->trigger();
    QVERIFY(dialogs_->allAnswersUsed());
    QCOMPARE(dialogs_->shown[0].title, title);
    QCOMPARE(dialogs_->shown[0].text, QStringLiteral("Nouvelles données :"));
    QCOMPARE(dialogs_->shown[0].initial, before);
    // A refused name is explained in a box named after the same modification.
    for (qsizetype i = 1; i < dialogs_->shown.size(); ++i) {
      QCOMPARE(dialogs_->shown[i].title, title);
    }
    QCOMPARE(w.patientAt(1)[column], expected);
    QCOMPARE(w.patientAt(0), ParsePatientFile(kTwoProfiles)[0]);
  }

  void detailsOfEachSelectedRow() {
    QVERIFY(test::WriteFile(Paths().patientFile, kTwoProfiles));
    FakeMain main;
    PatientManagerWindow w(main);
    w.list()->topLevelItem(0)->setSelected(true);
    w.list()->topLevelItem(1)->setSelected(true);
    w.action(ControlId::PatientMenuShow)->trigger();
    QCOMPARE(dialogs_->shown.size(), 2);
    QCOMPARE(dialogs_->shown[0].title, QStringLiteral("Détails utilisateur"));
    QCOMPARE(dialogs_->shown[0].text,
             QStringLiteral("Patient : Hélène Dupré\n\rÂge : 67 ans  -  Poids : 58 kg\n\r"
                            "Médecin : Dr Léon\n\rCabinet situé : 3 rue de l'Église, Sète\n\r"
                            "E-mail du médecin : leon@exemple.fr\n\r"
                            "N° de tel du médecin : 04 67 00 00 00\n\r"
                            "Enregistré/modifié le : 02/03/2026\n\r"));
    QVERIFY(dialogs_->shown[1].text.startsWith(QStringLiteral("Patient : Marc\n\r")));
  }

  void closingWithAPatientSavesTheList() {
    FakeMain main;
    State().currentPatient = QStringLiteral("Anne");
    PatientManagerWindow w(main);
    w.show();
    AddProfile(w, QStringLiteral("Anne"));
    QTest::keyClick(&w, Qt::Key_Escape);
    QVERIFY(!w.isVisible());
    QCOMPARE(ParsePatientFile(test::ReadFile(Paths().patientFile)).size(), size_t(1));
  }

  void failedListSaveAsksBeforeClosing_data() {
    QTest::addColumn<bool>("leave");
    QTest::newRow("stays open") << false;
    QTest::newRow("closes") << true;
  }
  void failedListSaveAsksBeforeClosing() {
    QFETCH(bool, leave);
    QVERIFY(QDir().mkpath(Paths().patientFile)); // a folder where the file goes
    FakeMain main;
    State().currentPatient = QStringLiteral("Anne");
    PatientManagerWindow w(main);
    w.show();
    AddProfile(w, QStringLiteral("Anne"));
    leave ? dialogs_->answerYes() : dialogs_->answerNo();
    QTest::mouseClick(Button(w, ControlId::PatientButtonClose), Qt::LeftButton);
    QCOMPARE(dialogs_->shown.size(), 1);
    QCOMPARE(dialogs_->shown[0].title, QStringLiteral("Sauvegarde"));
    QCOMPARE(dialogs_->shown[0].byDefault, Dialogs::Default::No); // Enter keeps the profiles
    QCOMPARE(w.isVisible(), !leave);
    QCOMPARE(w.rowCount(), 1);
  }

  void buttonTipsAndMenuTexts_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("tip");
    QTest::newRow("Ajouter") << ToInt(ControlId::PatientButtonAdd) << "Ajouter"
                             << "Ajouter les données saisies à la liste des utilisateurs";
    QTest::newRow("Effacer") << ToInt(ControlId::PatientButtonClear) << "Effacer"
                             << "Réinitialiser tous les champs de saisie";
    QTest::newRow("Supprimer") << ToInt(ControlId::PatientButtonDelete) << "Supprimer"
                               << "Supprimer tous les utilisateurs cochés dans la liste";
    QTest::newRow("Fermer") << ToInt(ControlId::PatientButtonClose) << "Fermer"
                            << "Sauvegarder la liste et les données et fermer la fenêtre";
  }
  void buttonTipsAndMenuTexts() {
    QFETCH(int, button);
    QFETCH(QString, caption);
    QFETCH(QString, tip);
    FakeMain main;
    PatientManagerWindow w(main);
    QPushButton *b = Button(w, ControlId(button));
    QCOMPARE(b->text(), caption);
    const std::optional<BalloonTipContent> content = BalloonTipOf(b);
    QVERIFY(content);
    QCOMPARE(content->title, caption);
    QCOMPARE(content->text, tip);

    QStringList entries;
    for (QAction *a : w.popupMenu()->actions()) {
      entries.append(a->isSeparator() ? QStringLiteral("-") : a->text());
    }
    QCOMPARE(entries, (QStringList{"Sélectionner l'utilisateur", "-", "Supprimer l'utilisateur",
                                   "-", "Afficher les informations", "-", "Modifier..."}));
    QStringList titles;
    for (int c = 0; c < w.list()->columnCount(); ++c) {
      titles.append(w.list()->headerItem()->text(c));
    }
    QCOMPARE(titles, (QStringList{"Nom et prénom", "Âge", "Poids", "Médecin", "Cabinet médical",
                                  "E-mail médecin", "Tél. médecin", "Fiche créée"}));
    QCOMPARE(w.windowTitle(), QStringLiteral("Gestion des patients"));
  }

  void snapshot() {
    QVERIFY(test::WriteFile(Paths().patientFile, kTwoProfiles));
    FakeMain main;
    PatientManagerWindow w(main);
    w.list()->topLevelItem(0)->setSelected(true);
    w.list()->topLevelItem(1)->setCheckState(0, Qt::Checked);
    Field(w, ControlId::PatientNameField)->setText(QStringLiteral("Jean Martin"));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(w.grab().save(test::SnapshotFolder() + "patient_manager.png"));

    QVERIFY(QFile::remove(Paths().patientFile));
    PatientManagerWindow first(main);
    first.show();
    QVERIFY(QTest::qWaitForWindowExposed(&first));
    QVERIFY(first.grab().save(test::SnapshotFolder() + "patient_manager_first_launch.png"));
  }
};

QTEST_MAIN(TestPatients)
#include "tst_patients.moc"
