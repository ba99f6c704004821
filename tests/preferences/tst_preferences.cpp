// The preferences file: reading rules, writers, start-up and shut-down, and
// the preferences window.
#include "fakes.h"
#include "stub_main_window.h"

#include "common/app_state.h"
#include "common/identity.h"
#include "common/paths.h"
#include "common/preferences_file.h"
#include "measurements/period_list_model.h"
#include "preferences/preferences_apply.h"
#include "preferences/preferences_window.h"
#include "ui/assets/assets.h"
#include "ui/drawing.h"
#include "ui/main_window_api.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <limits>

using namespace tl;

namespace {

// The stand-in main window with its curve style selector.
class FakeMain : public test::StubMainWindow {
public:
  FakeMain() {
    selector_ = new QComboBox(window());
    selector_->addItems({"Lignes uniquement", "Lignes + valeurs", "Lignes + valeurs encerclées"});
    selector_->setCurrentIndex(2);
    QObject::connect(selector_, &QComboBox::currentIndexChanged, [this] { ++selectorSignals; });
    window()->resize(1024, 768);
    addControl(ControlId::CurveStyleSelector, selector_);
  }
  QComboBox *selector() { return selector_; }
  int selectorSignals = 0;

private:
  QComboBox *selector_;
};

const QByteArray kBom = "\xEF\xBB\xBF";

QByteArray PrefsFile(const QByteArray &lines) { return kBom + "\r\n" + lines; }

template <typename T> T *Control(PreferencesWindow &w, ControlId id) {
  return qobject_cast<T *>(w.control(id));
}

} // namespace

class TestPreferences : public QObject {
  Q_OBJECT

  test::TempHome *home_ = nullptr;

private slots:
  void initTestCase() { LoadSharedAssets(); } // the program's fonts in the snapshots

  void init() {
    home_ = new test::TempHome;
    Paths() = SetupStorage(home_->path());
    State() = AppState();
  }
  void cleanup() { delete home_; }

  // --- Reading rules ----------------------------------------------------

  void readingRules_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("number");
    QTest::newRow("as written") << PrefsFile("OpenPanel = Jour\r\n") << "OpenPanel"
                                << "Jour" << qint64(0);
    QTest::newRow("key in capitals") << PrefsFile("OPENPANEL = Nuit\r\n") << "OpenPanel"
                                     << "Nuit" << qint64(0);
    QTest::newRow("asked in another case") << PrefsFile("Darkmode = 1\r\n") << "DARKMODE"
                                           << "1" << qint64(1);
    QTest::newRow("blanks and tabs around")
        << PrefsFile(" \tOpenPanel\t =  Jour  \t\r\n") << "OpenPanel"
        << "Jour" << qint64(0);
    QTest::newRow("no blanks") << PrefsFile("WindowWidth=1000\r\n") << "WindowWidth"
                               << "1000" << qint64(1000);
    QTest::newRow("comment skipped")
        << PrefsFile("  ;OpenPanel = Soir\r\nOpenPanel = Matin\r\n") << "OpenPanel"
        << "Matin" << qint64(0);
    QTest::newRow("key after a group not found")
        << PrefsFile("[Fenetre]\r\nOpenPanel = Soir\r\n") << "OpenPanel"
        << "" << qint64(0);
    QTest::newRow("key before a group found")
        << PrefsFile("Darkmode = 1\r\n[Fenetre]\r\nOpenPanel = Soir\r\n") << "Darkmode"
        << "1" << qint64(1);
    QTest::newRow("blank lines, LF ends") << QByteArray("\n\n  \nWindowMax = 1\n") << "WindowMax"
                                          << "1" << qint64(1);
    QTest::newRow("no byte-order mark: 8-bit code page")
        << QByteArray("Username = H\xE9l\xE8ne\r\n") << "Username"
        << "Hélène" << qint64(0);
    QTest::newRow("no byte-order mark, valid UTF-8: UTF-8")
        << QByteArray("\r\nUsername = \xC3\x89mile Dupr\xC3\xA9\r\n") << "Username"
        << "Émile Dupré" << qint64(0);
    QTest::newRow("no byte-order mark, UTF-8 cut short: 8-bit code page")
        << QByteArray("Username = Dupr\xC3") << "Username"
        << "DuprÃ" << qint64(0);
    QTest::newRow("no byte-order mark, one 8-bit letter among UTF-8 ones: 8-bit code page")
        << QByteArray("Username = \xC3\x89mile Dupr\xE9") << "Username"
        << "Ã‰mile Dupré" << qint64(0);
    QTest::newRow("byte-order mark: UTF-8")
        << PrefsFile("Username = H\xC3\xA9l\xC3\xA8ne\r\n") << "Username"
        << "Hélène" << qint64(0);
    QTest::newRow("equals sign in the value") << PrefsFile("Username = a=b\r\n") << "Username"
                                              << "a=b" << qint64(0);
    QTest::newRow("first of two wins")
        << PrefsFile("Darkmode = 1\r\nDarkmode = 0\r\n") << "Darkmode"
        << "1" << qint64(1);
    QTest::newRow("absent") << PrefsFile("Darkmode = 1\r\n") << "Username"
                            << "" << qint64(0);
    QTest::newRow("negative") << PrefsFile("WindowPosX = -8\r\n") << "WindowPosX"
                              << "-8" << qint64(-8);
    QTest::newRow("not a number") << PrefsFile("WindowHeight = abc\r\n") << "WindowHeight"
                                  << "abc" << qint64(0);
    QTest::newRow("number then letters") << PrefsFile("WindowHeight = 700px\r\n") << "WindowHeight"
                                         << "700px" << qint64(700);
    QTest::newRow("hexadecimal is not read") << PrefsFile("GraphCourbe = $3\r\n") << "GraphCourbe"
                                             << "$3" << qint64(0);
    QTest::newRow("beyond 64 bits saturates")
        << PrefsFile("WindowWidth = 99999999999999999999\r\n") << "WindowWidth"
        << "99999999999999999999" << std::numeric_limits<qint64>::max();
    QTest::newRow("line without equals sign ignored")
        << PrefsFile("Darkmode\r\nDarkmode = 1\r\n") << "Darkmode"
        << "1" << qint64(1);
  }
  void readingRules() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, key);
    QFETCH(QString, text);
    QFETCH(qint64, number);
    const PreferencesReader reader(bytes);
    QCOMPARE(reader.text(key), text);
    QCOMPARE(reader.integer(key), number);
  }

  // The patients' meter user numbers: read, tied, untied, moved.
  void meterUserTies_data() {
    QTest::addColumn<QString>("ties");
    QTest::addColumn<QString>("patient");
    QTest::addColumn<int>("user"); // MeterUserOf(ties, patient); 0: none
    QTest::addColumn<QString>("tied");
    QTest::addColumn<int>("tiedTo"); // 0: untied
    QTest::addColumn<QString>("after");
    QTest::newRow("found, then untied") << "Anne:1|Jean%20Dupont:2"
                                        << "Jean Dupont" << 2 << "Jean Dupont" << 0 << "Anne:1";
    QTest::newRow("name with the separators") << ""
                                              << "A:b|c" << 0 << "A:b|c" << 3 << "A%3Ab%7Cc:3";
    QTest::newRow("accented name") << "H%C3%A9l%C3%A8ne:1"
                                   << "Hélène" << 1 << "Hélène" << 4 << "H%C3%A9l%C3%A8ne:4";
    QTest::newRow("a name written by hand, not encoded")
        << "Hélène:2"
        << "Hélène" << 2 << "Bob" << 1 << "H%C3%A9l%C3%A8ne:2|Bob:1";
    QTest::newRow("entries that cannot be read are dropped")
        << "x|Anne:9|Anne:0|:2|Bob:1|Anne:b"
        << "Anne" << 0 << "Anne" << 2 << "Bob:1|Anne:2";
    QTest::newRow("a number leaves the patient it was tied to")
        << "Anne:1|Bob:2"
        << "Bob" << 2 << "Carl" << 1 << "Bob:2|Carl:1";
  }
  void meterUserTies() {
    QFETCH(QString, ties);
    QFETCH(QString, patient);
    QFETCH(int, user);
    QFETCH(QString, tied);
    QFETCH(int, tiedTo);
    QFETCH(QString, after);
    const auto number = [](int n) { return n ? std::optional<quint8>(quint8(n)) : std::nullopt; };
    QCOMPARE(MeterUserOf(ties, patient), number(user));
    QCOMPARE(TieMeterUser(ties, tied, number(tiedTo)), after);
    QCOMPARE(MeterUserOf(after, tied), number(tiedTo));
  }

  // One value per patient (series settings, meter names): read, set, removed.
  void patientEntries_data() {
    QTest::addColumn<QString>("entries");
    QTest::addColumn<QString>("patient");
    QTest::addColumn<QString>("value"); // PatientEntryOf(entries, patient)
    QTest::addColumn<QString>("set");
    QTest::addColumn<QString>("to"); // "": removed
    QTest::addColumn<QString>("after");
    QTest::newRow("found, then removed") << "Anne:a|Jean%20Dupont:regle3%2C0500%2C0130"
                                         << "Jean Dupont"
                                         << "regle3,0500,0130"
                                         << "Jean Dupont"
                                         << ""
                                         << "Anne:a";
    QTest::newRow("set again goes last, separators encoded") << "Anne:a|Bob:b"
                                                             << "Bob"
                                                             << "b"
                                                             << "Anne"
                                                             << "x:y|z"
                                                             << "Bob:b|Anne:x%3Ay%7Cz";
    QTest::newRow("entries that cannot be read are dropped")
        << "x|:v|Anne:|Bob:b|Bob:c"
        << "Anne"
        << ""
        << "Hélène"
        << "Omron M7"
        << "Bob:b|Bob:c|H%C3%A9l%C3%A8ne:Omron%20M7";
  }
  void patientEntries() {
    QFETCH(QString, entries);
    QFETCH(QString, patient);
    QFETCH(QString, value);
    QFETCH(QString, set);
    QFETCH(QString, to);
    QFETCH(QString, after);
    QCOMPARE(PatientEntryOf(entries, patient), value);
    QCOMPARE(WithPatientEntry(entries, set, to), after);
    QCOMPARE(PatientEntryOf(after, set), to);
  }

  void writersUseTheirOrder() {
    Preferences p;
    p.keepWindowSize = 1;
    p.windowHeight = 700;
    p.windowWidth = 1000;
    p.windowPosX = -8;
    p.openPanel = QStringLiteral("Jour");
    p.username = QStringLiteral("Hélène");
    p.currentUser = 1;
    p.graphCourbe = 2;
    QCOMPARE(SerializeClosingPreferences(p),
             PrefsFile("KeepWindowSize = 1\r\nWindowHeight = 700\r\nWindowWidth = 1000\r\n"
                       "KeepWindowPos = 0\r\nWindowPosX = -8\r\nWindowPosY = 0\r\n"
                       "WindowMax = 0\r\nStickyWindow = 0\r\nOpenPanel = Jour\r\n"
                       "Username = H\xC3\xA9l\xC3\xA8ne\r\nCurrentUser = 1\r\nGraphCourbe = 2\r\n"
                       "Darkmode = 0\r\n"));
    QCOMPARE(SerializeWindowPreferences(p),
             PrefsFile("KeepWindowSize = 1\r\nKeepWindowPos = 0\r\nWindowMax = 0\r\n"
                       "StickyWindow = 0\r\nOpenPanel = Jour\r\n"
                       "Username = H\xC3\xA9l\xC3\xA8ne\r\nCurrentUser = 1\r\nGraphCourbe = 2\r\n"
                       "Darkmode = 0\r\n"));
    QCOMPARE(ReadPreferences(PreferencesReader(SerializeClosingPreferences(p))), p);
  }

  // --- Start-up ---------------------------------------------------------

  void geometryRules_data() {
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("pos");
    const QPoint built(10, 20);
    QTest::newRow("size only") << QByteArray("WindowHeight = 700\r\nWindowWidth = 1000\r\n")
                               << QSize(1000, 700) << built;
    QTest::newRow("position only") << QByteArray("WindowPosX = 30\r\nWindowPosY = 40\r\n")
                                   << QSize(1024, 768) << QPoint(30, 40);
    QTest::newRow("both") << QByteArray("WindowHeight = 700\r\nWindowWidth = 1000\r\n"
                                        "WindowPosX = 30\r\nWindowPosY = 40\r\n")
                          << QSize(1000, 700) << QPoint(30, 40);
    QTest::newRow("X = 0 with size: nothing")
        << QByteArray("WindowHeight = 700\r\nWindowWidth = 1000\r\nWindowPosX = 0\r\n"
                      "WindowPosY = 40\r\n")
        << QSize(1024, 768) << built;
    QTest::newRow("height only: nothing")
        << QByteArray("WindowHeight = 700\r\n") << QSize(1024, 768) << built;
    QTest::newRow("none") << QByteArray() << QSize(1024, 768) << built;
    // A position on no screen (a screen since removed) keeps the window in view.
    QTest::newRow("position off every screen")
        << QByteArray("WindowPosX = 30000\r\nWindowPosY = 40\r\n") << QSize(1024, 768) << built;
    QTest::newRow("size kept, position off every screen")
        << QByteArray("WindowHeight = 700\r\nWindowWidth = 1000\r\n"
                      "WindowPosX = 40\r\nWindowPosY = -30000\r\n")
        << QSize(1000, 700) << built;
    QTest::newRow("frame just left of the screen edge")
        << QByteArray("WindowPosX = -8\r\nWindowPosY = -8\r\n") << QSize(1024, 768)
        << QPoint(-8, -8);
  }
  void geometryRules() {
    QFETCH(QByteArray, lines);
    QFETCH(QSize, size);
    QFETCH(QPoint, pos);
    QVERIFY(test::WriteFile(Paths().preferencesFile, PrefsFile(lines)));
    FakeMain main;
    main.window()->move(10, 20);
    ApplyPreferences(main);
    QCOMPARE(main.window()->size(), size);
    QCOMPARE(main.window()->pos(), pos);
  }

  void applyEverySetting() {
    QVERIFY(test::WriteFile(Paths().preferencesFile,
                            PrefsFile("WindowMax = 1\r\nStickyWindow = 1\r\nOpenPanel =  Jour \r\n"
                                      "Username = Hélène\r\nCurrentUser = 0\r\n"
                                      "GraphCourbe = 1\r\nDarkmode = 1\r\n")));
    FakeMain main;
    ApplyPreferences(main);
    QVERIFY(main.window()->windowState() & Qt::WindowMaximized);
    QCOMPARE(main.pinned, QList<bool>{true});
    QVERIFY(State().pinned);
    QCOMPARE(main.tab, 1);
    QCOMPARE(State().curveStyle, 1);
    QCOMPARE(main.selector()->currentIndex(), 0);
    QCOMPARE(main.selectorSignals, 0);
    QVERIFY(State().darkAppearance);
    // The name is taken whatever CurrentUser holds.
    QCOMPARE(State().currentPatient, QStringLiteral("Hélène"));
    QCOMPARE(Paths().measurementFile(DayPeriod::Nuit),
             Paths().dataFolder + QStringLiteral("ARTL_Nuit_Hélène.txt"));
  }

  // What a start applies from other files: a value it does not know leaves
  // the controls as they are (the stored style is carried as read, for the
  // next write); a missing file applies nothing; a file that cannot be read
  // applies zeros but keeps the curve style in use.
  void applyOtherValues_data() {
    QTest::addColumn<QByteArray>("lines"); // null: no file; "/": a folder stands there
    QTest::addColumn<bool>("dark");
    QTest::addColumn<int>("tab");
    QTest::addColumn<int>("style"); // State().curveStyle after; 3 before
    QTest::addColumn<int>("selector");
    QTest::addColumn<QString>("patient");
    QTest::addColumn<QList<bool>>("pinned");
    const QList<bool> unpinned{false};
    QTest::newRow("unknown values leave things")
        << QByteArray("Darkmode = 2\r\nOpenPanel = jour\r\n"
                      "GraphCourbe = 7\r\nUsername = Anne\r\n")
        << true << 3 << 7 << 2 << "Anne" << unpinned;
    QTest::newRow("dark off") << QByteArray("Darkmode = 0\r\n") << false << 3 << 0 << 2 << ""
                              << unpinned;
    // An absent Darkmode reads 0 and clears the flag.
    QTest::newRow("unusable stored name")
        << QByteArray("Username = ../../x\r\n") << false << 3 << 0 << 2 << "" << unpinned;
    QTest::newRow("tab Moyennes") << QByteArray("OpenPanel = Moyennes\r\nGraphCourbe = 2\r\n")
                                  << false << 4 << 2 << 1 << "" << unpinned;
    QTest::newRow("missing file") << QByteArray() << true << 3 << 3 << 2 << "" << QList<bool>();
    QTest::newRow("unreadable file") << QByteArray("/") << false << 3 << 3 << 2 << "" << unpinned;
  }
  void applyOtherValues() {
    QFETCH(QByteArray, lines);
    QFETCH(bool, dark);
    QFETCH(int, tab);
    QFETCH(int, style);
    QFETCH(int, selector);
    QFETCH(QString, patient);
    QFETCH(QList<bool>, pinned);
    if (lines == "/") {
      QVERIFY(QDir().mkpath(Paths().preferencesFile)); // exists, cannot be read
    } else if (!lines.isNull()) {
      QVERIFY(test::WriteFile(Paths().preferencesFile, PrefsFile(lines)));
    }
    FakeMain main;
    main.tab = 3;
    State().curveStyle = 3;
    State().darkAppearance = true;
    ApplyPreferences(main);
    QCOMPARE(State().darkAppearance, dark);
    QCOMPARE(main.tab, tab);
    QCOMPARE(State().curveStyle, style);
    QCOMPARE(main.selector()->currentIndex(), selector);
    QCOMPARE(State().currentPatient, patient);
    QCOMPARE(main.pinned, pinned);
  }

  // --- Shut-down --------------------------------------------------------

  void firstRunFileWrittenAtQuit() {
    FakeMain main;
    State().curveStyle = 3;
    State().currentPatient = QStringLiteral("Anne");
    QVERIFY(!WriteClosingPreferences(main));
    QCOMPARE(test::ReadFile(Paths().preferencesFile),
             PrefsFile("KeepWindowSize = 0\r\nWindowHeight = 0\r\nWindowWidth = 0\r\n"
                       "KeepWindowPos = 0\r\nWindowPosX = 0\r\nWindowPosY = 0\r\n"
                       "WindowMax = 0\r\nStickyWindow = 0\r\nOpenPanel = \r\nUsername = \r\n"
                       "CurrentUser = 0\r\nGraphCourbe = 3\r\nDarkmode = 0\r\n"));
    // The next start opens the patient manager again.
    State() = AppState();
    ApplyPreferences(main);
    QCOMPARE(State().currentPatient, QString());
  }

  void currentUserDecidesTheStoredName_data() {
    QTest::addColumn<QByteArray>("currentUser");
    QTest::addColumn<QString>("stored");
    QTest::newRow("0: empty") << QByteArray("0") << "";
    QTest::newRow("1: the patient in use") << QByteArray("1") << "Patient1";
    QTest::newRow("other: kept as read") << QByteArray("5") << "Ancien";
  }
  void currentUserDecidesTheStoredName() {
    QFETCH(QByteArray, currentUser);
    QFETCH(QString, stored);
    QVERIFY(test::WriteFile(Paths().preferencesFile,
                            PrefsFile("Username = Ancien\r\nCurrentUser = " + currentUser +
                                      "\r\nGraphCourbe = 1\r\n")));
    FakeMain main;
    State().currentPatient = QStringLiteral("Patient1");
    State().curveStyle = 3; // chosen in the selector: the stored style wins
    QVERIFY(!WriteClosingPreferences(main));
    const Preferences p = ReadPreferences(PreferencesReader::fromFile(Paths().preferencesFile));
    QCOMPARE(p.username, stored);
    QCOMPARE(p.currentUser, currentUser.toLongLong());
    QCOMPARE(p.graphCourbe, qint64(1));
  }

  void keptSizeAndPatientComeBack() {
    QVERIFY(test::WriteFile(Paths().preferencesFile,
                            PrefsFile("KeepWindowSize = 1\r\nWindowMax = 1\r\nStickyWindow = 1\r\n"
                                      "OpenPanel = Soir\r\nCurrentUser = 1\r\nDarkmode = 1\r\n")));
    {
      FakeMain main;
      main.window()->resize(1000, 700);
      main.window()->move(50, 60);
      State().currentPatient = QStringLiteral("Patient1");
      QVERIFY(!WriteClosingPreferences(main));
    }
    const Preferences p = ReadPreferences(PreferencesReader::fromFile(Paths().preferencesFile));
    QCOMPARE(p.windowWidth, qint64(1000));
    QCOMPARE(p.windowHeight, qint64(700));
    QCOMPARE(p.keepWindowPos, qint64(0));
    QCOMPARE(p.windowPosX, qint64(0));
    QCOMPARE(p.windowMax, qint64(1)); // copied
    QCOMPARE(p.stickyWindow, qint64(1));
    QCOMPARE(p.openPanel, QStringLiteral("Soir"));
    QCOMPARE(p.darkmode, qint64(1));

    State() = AppState();
    FakeMain next;
    ApplyPreferences(next);
    QCOMPARE(next.window()->size(), QSize(1000, 700));
    QCOMPARE(State().currentPatient, QStringLiteral("Patient1"));
  }

  void unwritableFileAtQuitWritesNothing() {
    QVERIFY(QDir().mkpath(Paths().preferencesFile));
    FakeMain main;
    QVERIFY(WriteClosingPreferences(main));
  }

  // A file that cannot be read may hold the user's settings: it is kept
  // aside, whole, before the quit or the window writes a new one.
  void unreadableFileKeptAside_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("denyReading");
    QTest::addColumn<bool>("kept");
    QTest::addColumn<bool>("atQuit"); // or by the window
    QTest::newRow("junk, quit") << QByteArray("\x01\xFFjunk") << false << true << true;
    QTest::newRow("junk, window") << QByteArray("\x01\xFFjunk") << false << true << false;
    QTest::newRow("no key line, quit") << QByteArray("quelques mots\r\n") << false << true << true;
    QTest::newRow("cannot be read, quit") << PrefsFile("Darkmode = 1\r\n") << true << true << true;
    QTest::newRow("cannot be read, window")
        << PrefsFile("Darkmode = 1\r\n") << true << true << false;
    QTest::newRow("only the header, quit") << PrefsFile("") << false << false << true;
    QTest::newRow("usable, window") << PrefsFile("Darkmode = 1\r\n") << false << false << false;
  }
  void unreadableFileKeptAside() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, denyReading);
    QFETCH(bool, kept);
    QFETCH(bool, atQuit);
    const QString path = Paths().preferencesFile;
    QVERIFY(test::WriteFile(path, bytes));
    if (denyReading && !test::DenyReading(path)) {
      QSKIP("this user reads every file");
    }
    test::FixedClock now(QDateTime(QDate(2026, 12, 8), QTime(10, 11, 12)));
    const QString aside = path + QStringLiteral(".illisible-20261208-101112");
    if (atQuit) {
      FakeMain main;
      QVERIFY(!WriteClosingPreferences(main));
    } else {
      PreferencesWindow w;
      if (kept) {
        QCOMPARE(w.statusText(1), QStringLiteral("Fichier de préférences illisible : conservé "
                                                 "sous ARTL_Prefs.ini.illisible-20261208-101112"));
        w.show();
        QVERIFY(w.grab().save(test::SnapshotFolder() + "preferences_kept_aside.png"));
      } else {
        QVERIFY(w.statusText(1).startsWith(QStringLiteral("Fichier de préférences créé le ")));
      }
      w.show();
      QTest::mouseClick(Control<QPushButton>(w, ControlId::PrefButtonSave), Qt::LeftButton);
      QVERIFY(!w.isVisible());
    }
    QCOMPARE(QFileInfo::exists(aside), kept);
    if (kept) {
      QFile::setPermissions(aside, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
      QCOMPARE(test::ReadFile(aside), bytes);
    }
    QVERIFY(test::ReadFile(path).contains("Darkmode = "));
  }

  // --- The window -------------------------------------------------------

  // A real first start: the program's initial state, and the start-up
  // reads no file; the curve style shown is the one in use, if any.
  void builtStateWithoutFile_data() {
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("shown");
    QTest::newRow("no style in use") << 0 << ToInt(ControlId::PrefCurveLines) + 1;
    QTest::newRow("style in use") << 3 << ToInt(ControlId::PrefCurveCircled);
  }
  void builtStateWithoutFile() {
    QFETCH(int, style);
    QFETCH(int, shown);
    State().curveStyle = style;
    FakeMain main;
    ApplyPreferences(main);
    PreferencesWindow w;
    QCOMPARE(w.size(), QSize(500, 500));
    QCOMPARE(w.windowTitle(), ProgramTitle() + " Gestion des Préférences d'utilisation");
    QCOMPARE(w.statusText(1), QStringLiteral("Fichier de préférences non créé"));
    QCOMPARE(w.statusText(2), QString());
    for (int i = 0; i < 4; ++i) {
      QVERIFY(!Control<QCheckBox>(w, ControlId(ToInt(ControlId::PrefKeepSize) + i))->isChecked());
    }
    QVERIFY(Control<QRadioButton>(w, ControlId::PrefTabMoyennes)->isChecked());
    QVERIFY(!Control<QCheckBox>(w, ControlId::PrefReopenPatient)->isChecked());
    QVERIFY(Control<QCheckBox>(w, ControlId::PrefChoosePatient)->isChecked());
    QVERIFY(Control<QRadioButton>(w, ControlId(shown))->isChecked());
    QVERIFY(Control<QRadioButton>(w, ControlId::PrefDarkOff)->isChecked());
  }

  void saveUntouchedWritesTheBuiltState() {
    FakeMain main;
    ApplyPreferences(main); // a first start: no file
    State().currentPatient = QStringLiteral("Anne");
    PreferencesWindow w;
    w.show();
    QTest::mouseClick(Control<QPushButton>(w, ControlId::PrefButtonSave), Qt::LeftButton);
    QVERIFY(!w.isVisible());
    QCOMPARE(w.result(), int(QDialog::Accepted));
    QCOMPARE(test::ReadFile(Paths().preferencesFile),
             PrefsFile("KeepWindowSize = 0\r\nKeepWindowPos = 0\r\nWindowMax = 0\r\n"
                       "StickyWindow = 0\r\nOpenPanel = Moyennes\r\nUsername = \r\n"
                       "CurrentUser = 0\r\nGraphCourbe = 2\r\nDarkmode = 0\r\n"));
    QCOMPARE(State().curveStyle, 2);
    QVERIFY(w.statusText(1).startsWith(QStringLiteral("Fichier de préférences créé le ")));
    QVERIFY(w.statusText(2).startsWith(QStringLiteral("Modifié le ")));
  }

  // The keys the window does not show survive its save.
  void saveKeepsTheKeysItDoesNotShow() {
    const QByteArray optional = "SeriesProtocol = esh7\r\nMeterAddress = 00:11:22:33:44:55\r\n"
                                "MeterUsers = Anne:1|Jean%20Dupont:2\r\n"
                                "SeriesPatients = Anne:regle3%2C0500%2C0130\r\n"
                                "MeterNames = Anne:Omron%20M7\r\n";
    QVERIFY(test::WriteFile(Paths().preferencesFile, PrefsFile("Darkmode = 0\r\n" + optional)));
    PreferencesWindow w;
    w.show();
    QTest::mouseClick(Control<QPushButton>(w, ControlId::PrefButtonSave), Qt::LeftButton);
    QCOMPARE(w.result(), int(QDialog::Accepted));
    QVERIFY(test::ReadFile(Paths().preferencesFile).endsWith("Darkmode = 0\r\n" + optional));
  }

  void defaultsSaveThePatientInUse() {
    QVERIFY(test::WriteFile(Paths().preferencesFile,
                            PrefsFile("WindowMax = 1\r\nStickyWindow = 1\r\nOpenPanel = Nuit\r\n"
                                      "GraphCourbe = 3\r\nDarkmode = 1\r\n")));
    State().currentPatient = QStringLiteral("Patient1");
    PreferencesWindow w;
    w.show();
    QTest::mouseClick(Control<QPushButton>(w, ControlId::PrefButtonDefault), Qt::LeftButton);
    QVERIFY(!w.isVisible());
    QCOMPARE(test::ReadFile(Paths().preferencesFile),
             PrefsFile("KeepWindowSize = 1\r\nKeepWindowPos = 1\r\nWindowMax = 0\r\n"
                       "StickyWindow = 0\r\nOpenPanel = Moyennes\r\nUsername = Patient1\r\n"
                       "CurrentUser = 1\r\nGraphCourbe = 2\r\nDarkmode = 0\r\n"));
  }

  void fileSetsTheControls() {
    QVERIFY(
        test::WriteFile(Paths().preferencesFile,
                        PrefsFile("KeepWindowPos = 1\r\nStickyWindow = 1\r\nOpenPanel = Soir\r\n"
                                  "CurrentUser = 1\r\nGraphCourbe = 3\r\nDarkmode = 1\r\n")));
    PreferencesWindow w;
    QVERIFY(!Control<QCheckBox>(w, ControlId::PrefKeepSize)->isChecked());
    QVERIFY(Control<QCheckBox>(w, ControlId::PrefKeepPos)->isChecked());
    QVERIFY(Control<QCheckBox>(w, ControlId::PrefSticky)->isChecked());
    QVERIFY(Control<QRadioButton>(w, ControlId(ToInt(ControlId::PrefTabMatin) + 2))->isChecked());
    QVERIFY(Control<QCheckBox>(w, ControlId::PrefReopenPatient)->isChecked());
    QVERIFY(!Control<QCheckBox>(w, ControlId::PrefChoosePatient)->isChecked());
    QVERIFY(Control<QRadioButton>(w, ControlId::PrefCurveCircled)->isChecked());
    QVERIFY(Control<QRadioButton>(w, ControlId::PrefDarkOn)->isChecked());
    QCOMPARE(State().curveStyle, 3);
    const QString today = QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"));
    QCOMPARE(w.statusText(1), QStringLiteral("Fichier de préférences créé le ") + today);
    QVERIFY(w.statusText(2).startsWith(QStringLiteral("Modifié le ") + today + " à "));
  }

  // The scheme chosen is the one in force as soon as it is saved: the main
  // window applies it then (see the window test's "main, switched").
  void savedSchemeIsInForceAtOnce() {
    for (bool dark : {true, false}) {
      PreferencesWindow w;
      Control<QRadioButton>(w, dark ? ControlId::PrefDarkOn : ControlId::PrefDarkOff)->click();
      w.save();
      QCOMPARE(State().darkAppearance, dark);
    }
  }

  void patientPairBehavesLikeOptions_data() {
    QTest::addColumn<bool>("clickReopen");
    QTest::addColumn<int>("clicks");
    QTest::newRow("click the unticked box") << true << 1;
    QTest::newRow("click the ticked box") << false << 1;
    QTest::newRow("click the same box twice") << true << 2;
  }
  void patientPairBehavesLikeOptions() {
    QFETCH(bool, clickReopen);
    QFETCH(int, clicks);
    PreferencesWindow w;
    w.show();
    auto *reopen = Control<QCheckBox>(w, ControlId::PrefReopenPatient);
    auto *choose = Control<QCheckBox>(w, ControlId::PrefChoosePatient);
    for (int i = 0; i < clicks; ++i) {
      QTest::mouseClick(clickReopen ? reopen : choose, Qt::LeftButton, {}, QPoint(8, 10));
    }
    QCOMPARE(reopen->isChecked(), clickReopen);
    QCOMPARE(choose->isChecked(), !clickReopen);
  }

  void closeLeavesTheFileButKeepsTheStyleRead() {
    const QByteArray bytes = PrefsFile("GraphCourbe = 1\r\n");
    QVERIFY(test::WriteFile(Paths().preferencesFile, bytes));
    State().curveStyle = 3;
    PreferencesWindow w;
    w.show();
    Control<QCheckBox>(w, ControlId::PrefMaximise)->setChecked(true);
    Control<QRadioButton>(w, ControlId::PrefCurveCircled)->setChecked(true);
    QTest::mouseClick(Control<QPushButton>(w, ControlId::PrefButtonClose), Qt::LeftButton);
    QVERIFY(!w.isVisible());
    QCOMPARE(test::ReadFile(Paths().preferencesFile), bytes);
    QCOMPARE(State().curveStyle, 1);
  }

  void unwritableFileKeepsTheWindowOpen() {
    QVERIFY(QDir().mkpath(Paths().preferencesFile)); // a folder stands where the file goes
    PreferencesWindow w;
    w.show();
    Control<QCheckBox>(w, ControlId::PrefSticky)->setChecked(true);
    QTest::mouseClick(Control<QPushButton>(w, ControlId::PrefButtonSave), Qt::LeftButton);
    QVERIFY(w.isVisible());
    QCOMPARE(w.statusText(1), QStringLiteral("Erreur! Fichier de préférences non créé"));
    QCOMPARE(w.statusText(2), QString());
    QVERIFY(Control<QCheckBox>(w, ControlId::PrefSticky)->isChecked());
  }

  void mainWindowDisabledWhileOpen() {
    FakeMain main;
    main.window()->show();
    bool mainEnabled = true;
    bool windowEnabled = false;
    QTimer::singleShot(0, [&] {
      auto *w = qobject_cast<PreferencesWindow *>(QApplication::activeModalWidget());
      QVERIFY(w);
      mainEnabled = main.window()->isEnabled();
      windowEnabled = w->isEnabled();
      QTest::keyClick(w, Qt::Key_Escape);
    });
    OpenPreferences(main);
    QVERIFY(!mainEnabled);
    QVERIFY(windowEnabled);
    QVERIFY(main.window()->isEnabled());
    QVERIFY(!QFile::exists(Paths().preferencesFile));
  }

  void buttonTips_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("tip");
    QTest::newRow("Défaut")
        << ToInt(ControlId::PrefButtonDefault) << "Défaut"
        << "Réinitialiser toutes les options par défaut, enregistrer et fermer la fenêtre.";
    QTest::newRow("Enregistrer")
        << ToInt(ControlId::PrefButtonSave) << "Enregistrer"
        << "Les choix de l'utilisateur sont sauvegardés et la fenêtre est fermée.";
    QTest::newRow("Fermer")
        << ToInt(ControlId::PrefButtonClose) << "Fermer"
        << "La fenêtre est fermée sans prendre en compte les modifications apportées.";
  }
  void buttonTips() {
    QFETCH(int, button);
    QFETCH(QString, caption);
    QFETCH(QString, tip);
    PreferencesWindow w;
    auto *b = Control<QPushButton>(w, ControlId(button));
    QCOMPARE(b->text(), caption);
    const std::optional<BalloonTipContent> content = BalloonTipOf(b);
    QVERIFY(content);
    QCOMPARE(content->title, caption);
    QCOMPARE(content->text, tip);
  }

  void snapshot() {
    QVERIFY(
        test::WriteFile(Paths().preferencesFile,
                        PrefsFile("KeepWindowSize = 1\r\nOpenPanel = Jour\r\nCurrentUser = 1\r\n"
                                  "GraphCourbe = 3\r\n")));
    PreferencesWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(w.grab().save(test::SnapshotFolder() + "preferences_window.png"));
  }
};

QTEST_MAIN(TestPreferences)
#include "tst_preferences.moc"
