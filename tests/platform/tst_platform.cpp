// The real message boxes and input box: French buttons whatever the system
// language, Windows line breaks shown as line breaks, Enter and Escape; and
// the running copy's lock as the command line sees it.
#include "fakes.h"

#include "platform/desktop_shell.h"
#include "platform/instance_lock.h"
#include "platform/qt_dialogs.h"
#include "platform/single_instance.h"
#include "platform/system_theme.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QOperatingSystemVersion>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#ifdef Q_OS_UNIX
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace tl;
using namespace Qt::StringLiterals;

namespace {

// Runs `check` on the modal window once it is open.
void WhenModalOpens(std::function<void(QWidget *)> check) {
  QTimer::singleShot(0, [check] {
    QTRY_VERIFY(QApplication::activeModalWidget() != nullptr);
    check(QApplication::activeModalWidget());
  });
}

QStringList ButtonTexts(QMessageBox *box) {
  QStringList texts;
  for (QAbstractButton *b : box->buttons()) {
    texts.append(b->text());
  }
  texts.sort();
  return texts;
}

} // namespace

class TestPlatform : public QObject {
  Q_OBJECT

private slots:
  void messageBoxes_data() {
    QTest::addColumn<bool>("question");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<QString>("shown");
    QTest::newRow("message") << false << "Une ligne" << QStringList{"OK"} << "Une ligne";
    QTest::newRow("question") << true << "Oui ou non ?" << QStringList{"Non", "Oui"}
                              << "Oui ou non ?";
    QTest::newRow("CR LF") << false << "a\r\nb\r\n" << QStringList{"OK"} << "a\nb\n";
    QTest::newRow("LF CR") << false << "Date : x\n\rPouls : 70\n\r" << QStringList{"OK"}
                           << "Date : x\nPouls : 70\n";
    // Cells and profile fields may hold anything: markup stays text, and the
    // line breaks stay line breaks.
    QTest::newRow("markup in a cell")
        << false << "Date : <b>01/02/2026</b>\n\rPouls : 70\n\r" << QStringList{"OK"}
        << "Date : <b>01/02/2026</b>\nPouls : 70\n";
    QTest::newRow("markup in a profile, question")
        << true << "Patient : <i>Anne</i> &amp; Co\r\nSûr ?" << QStringList{"Non", "Oui"}
        << "Patient : <i>Anne</i> &amp; Co\nSûr ?";
  }
  void messageBoxes() {
    QFETCH(bool, question);
    QFETCH(QString, text);
    QFETCH(QStringList, buttons);
    QFETCH(QString, shown);
    QtDialogs real;
    bool checked = false;
    WhenModalOpens([&](QWidget *w) {
      auto *box = qobject_cast<QMessageBox *>(w);
      QVERIFY(box);
      QCOMPARE(box->windowTitle(), QStringLiteral("Titre"));
      QCOMPARE(box->text(), shown);
      QCOMPARE(box->textFormat(), Qt::PlainText);
      QCOMPARE(ButtonTexts(box), buttons);
      checked = true;
      QTest::keyClick(box, Qt::Key_Escape);
    });
    if (question) {
      QVERIFY(!real.askYesNo(nullptr, Dialogs::Icon::Question, "Titre", text)); // Escape: Non
    } else {
      real.message(nullptr, Dialogs::Icon::Information, "Titre", text);
    }
    QVERIFY(checked);
  }

  void questionYes() {
    QtDialogs real;
    WhenModalOpens([](QWidget *w) {
      auto *box = qobject_cast<QMessageBox *>(w);
      for (QAbstractButton *b : box->buttons()) {
        if (b->text() == QStringLiteral("Oui")) {
          b->click();
        }
      }
    });
    QVERIFY(real.askYesNo(nullptr, Dialogs::Icon::Warning, "Suppression", "Sûr ?"));
  }

  // Enter presses the default button: "Non" where "Oui" would lose data.
  void questionDefault_data() {
    QTest::addColumn<int>("byDefault");
    QTest::addColumn<bool>("answer");
    QTest::newRow("Oui") << int(Dialogs::Default::Yes) << true;
    QTest::newRow("Non") << int(Dialogs::Default::No) << false;
  }
  void questionDefault() {
    QFETCH(int, byDefault);
    QFETCH(bool, answer);
    QtDialogs real;
    QString pressed;
    WhenModalOpens([&pressed](QWidget *w) {
      auto *box = qobject_cast<QMessageBox *>(w);
      pressed = box->defaultButton()->text();
      QTest::keyClick(box, Qt::Key_Return);
    });
    QCOMPARE(real.askYesNo(nullptr, Dialogs::Icon::Warning, "Sauvegarde", "Quitter ?",
                           Dialogs::Default(byDefault)),
             answer);
    QCOMPARE(pressed, answer ? QStringLiteral("Oui") : QStringLiteral("Non"));
  }

  void inputBox_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("answer");
    QTest::newRow("Enter confirms") << int(Qt::Key_Return) << "128 mmHg";
    QTest::newRow("Escape cancels") << int(Qt::Key_Escape) << "";
  }
  void inputBox() {
    QFETCH(int, key);
    QFETCH(QString, answer);
    QtDialogs real;
    WhenModalOpens([key](QWidget *w) {
      QCOMPARE(w->windowTitle(), QStringLiteral("Modifier Systolique"));
      auto *edit = w->findChild<QLineEdit *>();
      QVERIFY(edit);
      QCOMPARE(edit->text(), QStringLiteral("120"));
      QCOMPARE(w->findChild<QLabel *>()->textFormat(), Qt::PlainText);
      edit->setText(QStringLiteral("128 mmHg"));
      QTest::keyClick(edit, Qt::Key(key));
    });
    QCOMPARE(real.inputText(nullptr, "Modifier Systolique", "Nouvelles données :", "120"), answer);
  }

  // The lock belongs to the data folder: another folder is another lock,
  // another temporary folder is the same one, and a later copy on the same
  // folder is handed over to the first, which is asked to show itself.
  void lockBelongsToTheDataFolder() {
    QTemporaryDir a, b;
    const QString folderA = a.path() + u'/';
    const QString folderB = b.path() + u'/';
    QVERIFY(DataFolderLockHolder(folderA).isEmpty());
    {
      SingleInstance running(folderA);
      QCOMPARE(running.acquire(), SingleInstance::Outcome::Primary);
      QSignalSpy shown(&running, &SingleInstance::showRequested);
      QVERIFY(QFileInfo::exists(folderA + QStringLiteral(".tensiolog.lock")));
      QCOMPARE(DataFolderLockHolder(folderA), QCoreApplication::applicationName());
      QVERIFY(DataFolderLockHolder(folderB).isEmpty());
      const QByteArray tmp = qgetenv("TMPDIR");
      qputenv("TMPDIR", b.path().toUtf8());
      SingleInstance second(folderA);
      QCOMPARE(second.acquire(), SingleInstance::Outcome::HandedOver);
      QTRY_COMPARE(shown.count(), 1);
      DataFolderLock command(folderA);
      QCOMPARE(command.take(), DataFolderLock::Result::Held);
      qputenv("TMPDIR", tmp);
      SingleInstance other(folderB);
      QCOMPARE(other.acquire(), SingleInstance::Outcome::Primary);
    }
    QVERIFY(DataFolderLockHolder(folderA).isEmpty());
    // A folder where no lock can be made says why.
    DataFolderLock missing(a.path() + QStringLiteral("/absent/"));
    QCOMPARE(missing.take(), DataFolderLock::Result::Failed);
    QVERIFY(missing.reason().contains(QStringLiteral("n'existe pas")));
  }

  // A lock found in the folder, as its file tells who holds it: taken over
  // when its holder is gone from this computer, told with who and since
  // when otherwise.
  void lockFoundInTheFolder_data() {
    QTest::addColumn<QString>("pid");      // "self": this process; "gone": a finished one
    QTest::addColumn<QString>("program");  // "self": this executable's name
    QTest::addColumn<QString>("computer"); // "self": this computer's name
    QTest::addColumn<QString>("boot");     // "self": this boot's id
    QTest::addColumn<int>("ageSeconds");   // the file's age
    QTest::addColumn<int>("result");       // DataFolderLock::Result
    QTest::addColumn<bool>("otherComputer");
    const int taken = int(DataFolderLock::Result::Taken);
    const int held = int(DataFolderLock::Result::Held);
    QTest::newRow("process gone") << "gone"
                                  << "self"
                                  << "self"
                                  << "self" << 0 << taken << false;
    QTest::newRow("process alive") << "self"
                                   << "self"
                                   << "self"
                                   << "self" << 0 << held << false;
    QTest::newRow("number reused by another program") << "self"
                                                      << "autre-programme"
                                                      << "self"
                                                      << "self" << 0 << taken << false;
    QTest::newRow("an earlier boot") << "self"
                                     << "self"
                                     << "self"
                                     << "ancien" << 0 << taken << false;
    QTest::newRow("another computer") << "999999"
                                      << "tensiolog"
                                      << "salon"
                                      << "x" << 0 << held << true;
    QTest::newRow("written by an older copy: three lines") << "gone"
                                                           << "self"
                                                           << "self"
                                                           << "" << 0 << taken << false;
    QTest::newRow("empty, being written") << ""
                                          << ""
                                          << ""
                                          << "" << 0 << held << false;
    QTest::newRow("empty, long left") << ""
                                      << ""
                                      << ""
                                      << "" << 120 << taken << false;
  }
  void lockFoundInTheFolder() {
#ifndef Q_OS_UNIX
    QSKIP("a finished process's number and file times are set with POSIX calls here");
#else
    QFETCH(QString, pid);
    QFETCH(QString, program);
    QFETCH(QString, computer);
    QFETCH(QString, boot);
    QFETCH(int, ageSeconds);
    QFETCH(int, result);
    QFETCH(bool, otherComputer);
    QTemporaryDir dir;
    const QString folder = dir.path() + u'/';
    const QString path = DataFolderLockPath(folder);
    if (pid == u"gone") {
      // A child that has ended and been reaped: its number names no process.
      const pid_t child = ::fork();
      if (child == 0) {
        ::_exit(0);
      }
      QVERIFY(child > 0);
      QCOMPARE(::waitpid(child, nullptr, 0), child);
      pid = QString::number(child);
    } else if (pid == u"self") {
      pid = QString::number(QCoreApplication::applicationPid());
    }
    program.replace(u"self"_s, QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    computer.replace(u"self"_s, QSysInfo::machineHostName());
    boot.replace(u"self"_s, QString::fromLatin1(QSysInfo::bootUniqueId()));
    QByteArray bytes;
    if (!pid.isEmpty()) {
      bytes = (pid + u'\n' + program + u'\n' + computer + u'\n').toUtf8();
      if (!boot.isEmpty()) {
        bytes += (computer == QSysInfo::machineHostName() ? QSysInfo::machineUniqueId()
                                                          : QByteArray("autre")) +
                 '\n' + boot.toUtf8() + "\nbob\n2026-03-14T08:15:00Z\n";
      }
    }
    QVERIFY(test::WriteFile(path, bytes));
    if (ageSeconds > 0) {
      const struct timeval old[2] = {{time(nullptr) - ageSeconds, 0},
                                     {time(nullptr) - ageSeconds, 0}};
      QCOMPARE(::utimes(QFile::encodeName(path).constData(), old), 0);
    }
    DataFolderLock lock(folder);
    QCOMPARE(int(lock.take()), result);
    QCOMPARE(lock.holderInfo().otherComputer, otherComputer);
    if (result == int(DataFolderLock::Result::Taken)) {
      // Ours now, saying who holds it.
      const QList<QByteArray> lines = test::ReadFile(path).split('\n');
      QCOMPARE(lines.value(0).toLongLong(), QCoreApplication::applicationPid());
      QCOMPARE(lines.value(2), QSysInfo::machineHostName().toUtf8());
      QVERIFY(QDateTime::fromString(QString::fromLatin1(lines.value(6)), Qt::ISODate).isValid());
      lock.release();
      QVERIFY(!QFileInfo::exists(path));
    } else if (otherComputer) {
      // Opened anyway: the lock is replaced, and the other holder, closing,
      // leaves it in place.
      DataFolderLock other(folder);
      QCOMPARE(lock.takeOver(), DataFolderLock::Result::Taken);
      QCOMPARE(other.takeOver(), DataFolderLock::Result::Taken);
      lock.release();
      QVERIFY(QFileInfo::exists(path));
      other.release();
      QVERIFY(!QFileInfo::exists(path));
    } else {
      QCOMPARE(test::ReadFile(path), bytes); // left as it was
    }
#endif
  }

  // A lock file that another account owns says so, with that account.
  void lockOfAnotherAccount() {
#ifndef Q_OS_UNIX
    QSKIP("file owners are POSIX here");
#else
    if (::geteuid() != 0) {
      QSKIP("giving a file to another account needs root");
    }
    QTemporaryDir dir;
    const QString folder = dir.path() + u'/';
    const QString path = DataFolderLockPath(folder);
    QVERIFY(test::WriteFile(
        path, QByteArray::number(QCoreApplication::applicationPid()) + '\n' +
                  QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUtf8() + '\n' +
                  QSysInfo::machineHostName().toUtf8() + '\n'));
    QCOMPARE(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
    SingleInstance instance(folder);
    QCOMPARE(instance.acquire(), SingleInstance::Outcome::Failed);
    QVERIFY2(instance.reason().contains(QStringLiteral("un autre compte")),
             qPrintable(instance.reason()));
    QVERIFY2(instance.reason().contains(QStringLiteral("nobody")), qPrintable(instance.reason()));
#endif
  }

  // The compiled help opens through the shell, which hands it to the
  // system's viewer (hh.exe); a folder with an accent and blanks goes through.
  void compiledHelpThroughTheShell() {
#ifdef Q_OS_WIN
    test::TempHome home;
    const QString chm = home.path() + QStringLiteral("Aide élève/Kestrune TNV Help.chm");
    QVERIFY(QDir().mkpath(QFileInfo(chm).path()));
    QVERIFY(test::WriteFile(chm, "ITSF"));
    DesktopShell shell;
    QVERIFY(shell.hasHandler(chm));
    QVERIFY(shell.openDocument(chm));
#else
    QSKIP("the compiled help has a viewer on Windows only");
#endif
  }

  // Windows' "apps use dark mode" as the registry holds it: the DWORD 0 is
  // dark; 1, no value, or a value of another type read as light. The test
  // writes a key of its own and removes it, never the user's setting.
  void darkSettingFromTheRegistry_data() {
    QTest::addColumn<QVariant>("value"); // invalid: no value
    QTest::addColumn<bool>("dark");
    QTest::newRow("0: dark") << QVariant(0) << true;
    QTest::newRow("1: light") << QVariant(1) << false;
    QTest::newRow("no value") << QVariant() << false;
    QTest::newRow("text") << QVariant(QStringLiteral("sombre")) << false;
  }
  void darkSettingFromTheRegistry() {
    QFETCH(QVariant, value);
    QFETCH(bool, dark);
#ifdef Q_OS_WIN
    const QString parent = QStringLiteral("HKEY_CURRENT_USER\\Software");
    const QString own =
        QStringLiteral("Tensiolog tests %1").arg(QCoreApplication::applicationPid());
    const QString key = parent + u'\\' + own + QStringLiteral("\\Personalize");
    {
      QSettings settings(key, QSettings::NativeFormat);
      if (value.isValid()) {
        settings.setValue(QStringLiteral("AppsUseLightTheme"), value);
      }
      settings.sync();
      QCOMPARE(settings.status(), QSettings::NoError);
    }
    const bool read = AppsUseDarkThemeIn(key);
    QSettings(parent, QSettings::NativeFormat).remove(own);
    QCOMPARE(read, dark);
    QVERIFY(!QSettings(parent, QSettings::NativeFormat).childGroups().contains(own));
#else
    Q_UNUSED(value);
    Q_UNUSED(dark);
    QVERIFY(!AppsUseDarkThemeIn(QStringLiteral("HKEY_CURRENT_USER\\Software")));
    QVERIFY(!SystemAppsUseDarkTheme());
#endif
  }

  // The dark title bar: asked of the window manager for a real window on
  // Windows 10 and later; refused for no window, and everywhere else.
  void darkTitleBar() {
    QVERIFY(!DarkenTitleBar(nullptr));
    QWidget window;
    window.resize(200, 100);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const bool done = DarkenTitleBar(&window);
#ifdef Q_OS_WIN
    if (QGuiApplication::platformName() == QStringLiteral("windows") &&
        QOperatingSystemVersion::current() >= QOperatingSystemVersion::Windows10) {
      QVERIFY(done);
    }
#else
    QVERIFY(!done);
#endif
  }
};

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
