// The archive command's save-move-empty sequence, printing from the lists,
// and the archive manager window: live file list, opening, deleting,
// printing an archive, and an offscreen snapshot.
#include "fakes.h"
#include "readings.h"
#include "stub_main_window.h"

#include "archives/archive_commands.h"
#include "archives/archive_manager_window.h"
#include "common/control_ids.h"
#include "common/identity.h"
#include "logbook/archiving.h"
#include "logbook/reports.h"
#include "measurements/period_list_model.h"
#include "theme/control_colour.h"
#include "ui/assets/assets.h"
#include "ui/drawing.h"
#include "ui/main_window_api.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <QTableView>
#include <QTest>
#include <QTreeView>
#include <memory>

using namespace tl;

namespace {

using FakeMainWindow = test::StubMainWindow;

const QByteArray kTwoReadings = "2\r\n"
                                "06/12/2026\r\n"
                                "07:15\r\n"
                                "131\r\n"
                                "85\r\n"
                                "68\r\n"
                                "La systole de 131 mmHg et la diastole de 85 mmHg, indiquent une "
                                "Pression art\xC3\xA9rielle normale haute\r\n"
                                "06/12/2026\r\n"
                                "08:02\r\n"
                                "118\r\n"
                                "76\r\n"
                                "64\r\n"
                                "La systole de 118 mmHg et la diastole de 76 mmHg, indiquent une "
                                "Pression art\xC3\xA9rielle optimale\r\n";

const QString kNoArchive = QStringLiteral("Il n'y a aucun fichier archivé pour le moment.");
const QString kNoReading =
    QStringLiteral("Il n'y a aucun relevé de mesures à afficher pour le moment.");
const QString kDeleteQuestion =
    QStringLiteral("Êtes-vous sûr(e) de vouloir supprimer tous les fichiers sélectionnés ?");

QStringList FilesIn(const QString &folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// The file list's row of `name`, once the list shows it.
QModelIndex RowOf(ArchiveManagerWindow &w, const QString &name) {
  return w.fileModel()->index(w.folderPath() + name);
}

void SelectFiles(ArchiveManagerWindow &w, const QStringList &names) {
  QItemSelectionModel *selection = w.fileList()->selectionModel();
  selection->clearSelection();
  for (const QString &name : names) {
    const QModelIndex index = RowOf(w, name);
    QVERIFY2(index.isValid(), qPrintable(name));
    selection->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
  }
}

int ListedRows(ArchiveManagerWindow &w) {
  return w.fileModel()->rowCount(w.fileList()->rootIndex());
}

} // namespace

class TestArchiveManager : public QObject {
  Q_OBJECT

  std::unique_ptr<test::TempHome> home_;
  StoragePaths paths_;

private slots:
  // The program's own fonts, so that the snapshots look as the user sees them.
  void initTestCase() { LoadSharedAssets(); }

  // Each test's own home; the program-wide patient and paths are those the
  // stand-in main window's logbook works on.
  void init() {
    home_ = std::make_unique<test::TempHome>();
    State().currentPatient = QStringLiteral("Zoé Martin");
    paths_ = Paths() = SetupStorage(home_->path(), State().currentPatient);
  }
  void cleanup() { home_.reset(); }

  // The rules of archiving and printing are the logbook's; the command
  // refreshes the window only when a list was emptied.
  void archiveRefreshesOnlyWhatChanged() {
    test::FixedClock clock(QDateTime(QDate(2026, 12, 6), QTime(9, 5)));
    FakeMainWindow main;
    QCOMPARE(ArchiveShownLists(main), QString());
    QCOMPARE(main.refreshes, 0);
    main.lists()
        .list(DayPeriod::Nuit)
        .append(test::CellsReading({"06/12/2026", "05:15", "4", "5", "6", "y"}));
    QCOMPARE(ArchiveShownLists(main),
             QStringLiteral("ARTL_Nuit_Zoé Martin.txt a été archivé.\r\n"));
    QCOMPARE(main.lists().totalCount(), 0);
    QCOMPARE(main.statusUpdates, 1);
    QCOMPARE(main.refreshes, 1);
  }

  // An empty archive folder, or one erased by the data destruction window
  // (it comes back only at the next start): the list stays empty, never the
  // drives or the file system's root, and "Supprimer" only asks.
  void emptyFolder_data() {
    QTest::addColumn<bool>("missing");
    QTest::newRow("empty") << false;
    QTest::newRow("missing") << true;
  }
  void emptyFolder() {
    QFETCH(bool, missing);
    test::FakeDialogs dialogs;
    if (missing) {
      QVERIFY(QDir(paths_.archiveFolder).removeRecursively());
    }
    ArchiveManagerWindow w(paths_.archiveFolder, paths_.printFolder);
    QCOMPARE(w.windowTitle(), ProgramTitle() + " Archives");
    QCOMPARE(w.size(), QSize(800, 600));
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QTRY_COMPARE(w.archiveCountText(), kNoArchive);
    QCOMPARE(w.readingsCountText(), kNoReading);
    QCOMPARE(w.openedBandText(), QString());
    QCOMPARE(w.openedFileName(), QString());

    dialogs.answerYes();
    w.deleteSelectedArchives();
    QCOMPARE(dialogs.shown.size(), 1);
    QCOMPARE(dialogs.shown[0].kind, test::ShownBox::YesNo);
    QCOMPARE(dialogs.shown[0].icon, Dialogs::Icon::Warning);
    QCOMPARE(dialogs.shown[0].title, QStringLiteral("Suppression"));
    QCOMPARE(dialogs.shown[0].text, kDeleteQuestion);
    QCOMPARE(w.archiveCountText(), kNoArchive);

    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(w.fileList()->rootIndex().isValid());
    QCOMPARE(ListedRows(w), 0);
    if (!missing) {
      QVERIFY(w.grab().save(test::SnapshotFolder() + "archive_manager_empty.png"));
    }
  }

  void fileListFollowsTheFolder() {
    QVERIFY(test::WriteFile(paths_.archiveFolder + "06122026_0905_ARTL_Matin_P.txt", kTwoReadings));
    QVERIFY(test::WriteFile(paths_.archiveFolder + "notes.txt", "hello"));
    QVERIFY(QDir().mkpath(paths_.archiveFolder + "a folder"));
    ArchiveManagerWindow w(paths_.archiveFolder, paths_.printFolder);
    QTRY_COMPARE(w.archiveCountText(), QStringLiteral("     2 fichiers archivés."));
    QCOMPARE(ListedRows(w), 2); // files only: the folder is not listed

    QVERIFY(test::WriteFile(paths_.archiveFolder + "07122026_1000_ARTL_Soir_P.txt", "0\r\n"));
    QTRY_COMPARE(ListedRows(w), 3);
    QTRY_COMPARE(w.archiveCountText(), QStringLiteral("     3 fichiers archivés."));
    QVERIFY(QFile::remove(paths_.archiveFolder + "notes.txt"));
    QTRY_COMPARE(ListedRows(w), 2);
    QTRY_COMPARE(w.archiveCountText(), QStringLiteral("     2 fichiers archivés."));
  }

  void loadArchive_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QStringList>("lastRow");
    QTest::addColumn<qint64>("grownTo"); // the file made this long (zeros) after its bytes
    QTest::newRow("two readings")
        << kTwoReadings << 2 << "Il y a 2 relevés de mesures dans ce fichier."
        << QStringList{"06/12/2026",
                       "08:02",
                       "118",
                       "76",
                       "64",
                       "La systole de 118 mmHg et la diastole de 76 mmHg, indiquent une Pression "
                       "artérielle optimale"}
        << qint64(0);
    QTest::newRow("count zero") << QByteArray("0\r\n06/12/2026\r\n") << 0 << kNoReading
                                << QStringList() << qint64(0);
    QTest::newRow("junk file") << QByteArray("[section]\nkey=value\n") << 0 << kNoReading
                               << QStringList() << qint64(0);
    QTest::newRow("empty file") << QByteArray() << 0 << kNoReading << QStringList() << qint64(0);
    QTest::newRow("announces more than it holds")
        << QByteArray("3\n01/01/2026\n07:00\n120\n80\n60\nx\n02/01/2026\n07:05") << 2
        << "Il y a 2 relevés de mesures dans ce fichier."
        << QStringList{"02/01/2026", "07:05", "", "", "", ""} << qint64(0);
    QTest::newRow("announces millions")
        << QByteArray("99999999\n01/01/2026\n") << 1
        << "Il y a 1 relevés de mesures dans ce fichier."
        << QStringList{"01/01/2026", "", "", "", "", ""} << qint64(0);
    // Only the announced records are read, whatever follows them.
    QTest::newRow("one record, then a large unrelated tail")
        << QByteArray("1\n01/01/2026\n07:00\n120\n80\n60\nx\n") << 1
        << "Il y a 1 relevés de mesures dans ce fichier."
        << QStringList{"01/01/2026", "07:00", "120", "80", "60", "x"} << qint64(60) * 1024 * 1024;
    QTest::newRow("over 64 MiB: not opened")
        << QByteArray("1\n01/01/2026\n07:00\n120\n80\n60\nx\n") << 0
        << "Ce fichier est trop volumineux pour être affiché (plus de 64 Mo)." << QStringList()
        << qint64(64) * 1024 * 1024 + 1;
  }
  void loadArchive() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, rows);
    QFETCH(QString, status);
    QFETCH(QStringList, lastRow);
    QFETCH(qint64, grownTo);
    QVERIFY(test::WriteFile(paths_.archiveFolder + "a.txt", bytes));
    if (grownTo > 0) {
      QVERIFY(QFile::resize(paths_.archiveFolder + "a.txt", grownTo)); // sparse: no disk used
    }
    ArchiveManagerWindow w(paths_.archiveFolder, paths_.printFolder);
    // Both models keep Qt's model contract through every change below.
    QAbstractItemModelTester files(w.fileModel(),
                                   QAbstractItemModelTester::FailureReportingMode::QtTest);
    QAbstractItemModelTester readings(w.readingsList()->model(),
                                      QAbstractItemModelTester::FailureReportingMode::QtTest);
    w.loadArchive(paths_.archiveFolder + "a.txt");
    QCOMPARE(int(w.readings().size()), rows);
    QCOMPARE(w.readingsList()->model()->rowCount(), rows);
    QCOMPARE(w.readingsCountText(), status);
    if (rows > 0) {
      QStringList cells;
      for (int c = 0; c < Reading::kCellCount; ++c) {
        cells.append(w.readings().back()[c]);
      }
      QCOMPARE(cells, lastRow);
    }
    // A vanished file empties the list again.
    w.loadArchive(paths_.archiveFolder + "gone.txt");
    QCOMPARE(int(w.readings().size()), 0);
    QCOMPARE(w.readingsCountText(), kNoReading);
  }

  void doubleClickOpens() {
    const QString name = "06122026_0905_ARTL_Matin_P.txt";
    QVERIFY(test::WriteFile(paths_.archiveFolder + name, kTwoReadings));
    ArchiveManagerWindow w(paths_.archiveFolder, paths_.printFolder);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTRY_VERIFY(RowOf(w, name).isValid() && ListedRows(w) == 1);
    const QPoint at = w.fileList()->visualRect(RowOf(w, name)).center();

    QTest::mouseClick(w.fileList()->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(w.openedFileName(), QString()); // a single click only selects
    QCOMPARE(int(w.readings().size()), 0);

    QTest::mouseDClick(w.fileList()->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(w.openedFileName(), name);
    QCOMPARE(int(w.readings().size()), 2);
    QCOMPARE(w.openedBandText(), QString(20, u' ') + "Fichier ouvert : " + name);
    QCOMPARE(w.readingsCountText(), QStringLiteral("Il y a 2 relevés de mesures dans ce fichier."));

    // The keyboard reaches the same commands: Enter opens, Delete deletes.
    test::FakeDialogs dialogs;
    w.loadArchive(QString());
    QTest::keyClick(w.fileList(), Qt::Key_Return);
    QCOMPARE(int(w.readings().size()), 2);
    dialogs.answerNo();
    QTest::keyClick(w.fileList(), Qt::Key_Delete);
    QCOMPARE(dialogs.shown.size(), 1);
    QCOMPARE(dialogs.shown[0].text, kDeleteQuestion);

    QTest::keyClick(&w, Qt::Key_Escape);
    QVERIFY(!w.isVisible());
    QCOMPARE(w.openedFileName(), QString());
  }

  void deleteSelected() {
    test::FakeDialogs dialogs;
    const QStringList names{"a.txt", "b.txt", "c.txt", "d.txt"};
    for (const QString &n : names) {
      QVERIFY(test::WriteFile(paths_.archiveFolder + n, kTwoReadings));
    }
    QVERIFY(QFile::setPermissions(paths_.archiveFolder + "b.txt", QFile::ReadOwner));
    ArchiveManagerWindow w(paths_.archiveFolder, paths_.printFolder);
    QTRY_COMPARE(ListedRows(w), 4);
    SelectFiles(w, {"b.txt"});
    w.openCurrentArchive();
    QCOMPARE(w.openedFileName(), QStringLiteral("b.txt"));

    // "No" keeps everything.
    SelectFiles(w, {"a.txt", "b.txt", "c.txt"});
    dialogs.answerNo();
    w.deleteSelectedArchives();
    QCOMPARE(FilesIn(paths_.archiveFolder), names);

    // One of the selected files vanished meanwhile: the others go, one box.
    QVERIFY(QFile::remove(paths_.archiveFolder + "c.txt"));
    dialogs.clear();
    dialogs.answerYes();
    w.deleteSelectedArchives();
    QCOMPARE(FilesIn(paths_.archiveFolder), QStringList{"d.txt"});
    QCOMPARE(dialogs.shown.size(), 2);
    QCOMPARE(dialogs.shown[1].kind, test::ShownBox::Message);
    QCOMPARE(dialogs.shown[1].icon, Dialogs::Icon::Error);
    QCOMPARE(dialogs.shown[1].title, QStringLiteral("Erreur!"));
    QCOMPARE(
        dialogs.shown[1].text,
        QStringLiteral("c.txt\nn'a pu être supprimé. Il est peut-être en cours d'utilisation"));
    // The vanished file counts until the list has caught up with the folder.
    QTRY_COMPARE(w.archiveCountText(), QStringLiteral("1 fichiers archivés."));
    // The archive on display was deleted: its readings go at once.
    QCOMPARE(int(w.readings().size()), 0);
    QCOMPARE(w.readingsCountText(), kNoReading);
    QCOMPARE(w.openedBandText(), QString(20, u' '));
    QTRY_COMPARE(ListedRows(w), 1);
    QCOMPARE(w.archiveCountText(), QStringLiteral("1 fichiers archivés."));

    // Printing after deleting the opened archive finds no row.
    test::RecordingShell shell;
    w.printOpenedArchive();
    QVERIFY(shell.documents.isEmpty());
    QVERIFY(FilesIn(paths_.printFolder).isEmpty());
  }

  // The notes kept beside an archive: shown in a "Remarque" column of its
  // readings, readable on their own, deleted with their archive.
  void archiveNotes() {
    test::FakeDialogs dialogs;
    const QString archive = "06122026_0905_ARTL_Matin_P.txt";
    const QString notes = "06122026_0905_ARTL_Notes_Matin_P.txt";
    QCOMPARE(ArchiveContextPath(paths_.archiveFolder + archive), paths_.archiveFolder + notes);
    QVERIFY(test::WriteFile(paths_.archiveFolder + archive, kTwoReadings));
    QVERIFY(test::WriteFile(paths_.archiveFolder + notes,
                            "1\r\nMatin\r\n06/12/2026\r\n08:02\r\n118\r\n76\r\n64\r\n"
                            "pouls irr\xC3\xA9gulier\r\napr\xC3\xA8s le caf\xC3\xA9\r\n"));
    ArchiveManagerWindow w(paths_.archiveFolder, paths_.printFolder);
    const QAbstractItemModel *model = w.readingsList()->model();
    for (const QString &name : {archive, notes}) {
      w.loadArchive(paths_.archiveFolder + name);
      QCOMPARE(model->columnCount(), Reading::kCellCount + 1);
      QCOMPARE(model->headerData(Reading::kCellCount, Qt::Horizontal).toString(), "Remarque");
      const int row = model->rowCount() - 1;
      QCOMPARE(model->index(row, Reading::Time).data().toString(), "08:02");
      QCOMPARE(model->index(row, Reading::kCellCount).data().toString(),
               QStringLiteral("pouls irrégulier ; remarque : après le café"));
      QCOMPARE(model->index(row, 0).data(Qt::ToolTipRole).toString(),
               QStringLiteral("pouls irrégulier ; remarque : après le café"));
    }
    QVERIFY(test::WriteFile(paths_.archiveFolder + "a.txt", kTwoReadings));
    w.loadArchive(paths_.archiveFolder + "a.txt");
    QCOMPARE(model->columnCount(), Reading::kCellCount);

    QTRY_COMPARE(ListedRows(w), 3);
    SelectFiles(w, {archive, notes});
    dialogs.answerYes();
    w.deleteSelectedArchives();
    QCOMPARE(FilesIn(paths_.archiveFolder), QStringList{"a.txt"});
    QCOMPARE(dialogs.shown.size(), 1); // the question, no error box
  }

  void printOpenedArchive() {
    test::RecordingShell shell;
    const QString name = "06122026_0905_ARTL_Matin_P.txt";
    QVERIFY(test::WriteFile(paths_.archiveFolder + name, kTwoReadings));
    ArchiveManagerWindow w(paths_.archiveFolder, paths_.printFolder);
    w.printOpenedArchive(); // nothing opened
    QVERIFY(shell.documents.isEmpty());

    QTRY_COMPARE(ListedRows(w), 1);
    SelectFiles(w, {name});
    w.openCurrentArchive();
    QVERIFY(test::WriteFile(paths_.printFolder + name, "an earlier printout, longer than this"));
    w.printOpenedArchive();
    const QByteArray hyphens(82, '-');
    const QByteArray expected =
        "Le fichier archiv\xC3\xA9 : 06122026_0905_ARTL_Matin_P.txt\r\n"
        "Contient 2 relev\xC3\xA9s de mesures.\r\n"
        "==================================================\r\n"
        "Date et heure de la mesure : le 06/12/2026 \xC3\xA0 07:15\r\n"
        "Systolique : 131 / Diastolique : 85 / Pouls : 68\r\n"
        "Diagnostic : La systole de 131 mmHg et la diastole de 85 mmHg, indiquent une Pression "
        "art\xC3\xA9rielle normale haute\r\n" +
        hyphens +
        "\r\n"
        "Date et heure de la mesure : le 06/12/2026 \xC3\xA0 08:02\r\n"
        "Systolique : 118 / Diastolique : 76 / Pouls : 64\r\n"
        "Diagnostic : La systole de 118 mmHg et la diastole de 76 mmHg, indiquent une Pression "
        "art\xC3\xA9rielle optimale\r\n" +
        hyphens + "\r\n";
    QCOMPARE(test::ReadFile(paths_.printFolder + name), expected);
    QCOMPARE(shell.documents, QStringList{paths_.printFolder + name});
    QCOMPARE(test::ReadFile(paths_.archiveFolder + name), kTwoReadings);
  }

  void printNeverOverwritesTheArchive() {
    test::RecordingShell shell;
    QVERIFY(test::WriteFile(home_->path() + "x.txt", kTwoReadings));
    ArchiveManagerWindow w(home_->path(), home_->path());
    QTRY_COMPARE(ListedRows(w), 1);
    SelectFiles(w, {"x.txt"});
    w.openCurrentArchive();
    QCOMPARE(int(w.readings().size()), 2);
    w.printOpenedArchive();
    QCOMPARE(test::ReadFile(home_->path() + "x.txt"), kTwoReadings);
    QVERIFY(shell.documents.isEmpty());
  }

  // Every cell of every row, as the views and a screen reader ask for them:
  // scrolled, widened, measured and read through the accessibility interface.
  // Each file shows its own size, type and date.
  void everyCellReadable() {
    const struct {
      QString name;
      qint64 size;
      QString sizeText, typeText;
    } files[] = {
        {"06122026_0905_ARTL_Matin_Patient1.txt", 262, "262 octets", "Fichier TXT"},
        {"07122026_2110_ARTL_Soir_Patient1.txt", 2000, "2 Ko", "Fichier TXT"},
        {"empty", 0, "0 octets", "Fichier"},
        {"large.bin", qint64(3) << 20, "3,0 Mo", "Fichier BIN"},
    };
    for (const auto &f : files) {
      QVERIFY(test::WriteFile(paths_.archiveFolder + f.name, QByteArray()));
      QVERIFY(QFile::resize(paths_.archiveFolder + f.name, f.size));
    }
    ArchiveManagerWindow w(paths_.archiveFolder, paths_.printFolder);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTableView *view = w.fileList();
    QFileSystemModel *model = w.fileModel();
    QTRY_COMPARE(ListedRows(w), int(std::size(files)));

    // Widened and scrolled to the last column: the view paints every cell.
    view->resizeColumnsToContents();
    w.findChild<QSplitter *>()->setSizes({600, 200});
    view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->maximum());
    view->scrollTo(model->index(model->rowCount(view->rootIndex()) - 1, 3, view->rootIndex()));
    QCoreApplication::processEvents();
    QVERIFY(w.grab().save(test::SnapshotFolder() + "archive_manager_columns.png"));

    QAccessibleInterface *table = QAccessible::queryAccessibleInterface(view);
    QVERIFY(table && table->tableInterface());
    // Qt 6.4 counts the rows of the model's top level here, not of the
    // folder shown; the cells themselves are those of the folder.
    QVERIFY(table->tableInterface()->rowCount() >= 1);
    QCOMPARE(table->tableInterface()->columnCount(), 4);
    for (const auto &f : files) {
      const QModelIndex row = RowOf(w, f.name);
      QVERIFY2(row.isValid(), qPrintable(f.name));
      for (int c = 0; c < 4; ++c) {
        const QModelIndex cell = row.siblingAtColumn(c);
        for (int role : {int(Qt::DisplayRole), int(Qt::ToolTipRole), int(Qt::DecorationRole),
                         int(Qt::AccessibleTextRole), int(Qt::SizeHintRole)}) {
          model->data(cell, role);
        }
        view->visualRect(cell);
      }
      QCOMPARE(model->data(row).toString(), f.name);
      QCOMPARE(model->data(row, Qt::ToolTipRole).toString(), f.name);
      QCOMPARE(model->data(row.siblingAtColumn(1)).toString(), f.sizeText);
      QCOMPARE(model->data(row.siblingAtColumn(2)).toString(), f.typeText);
      QCOMPARE(model->data(row.siblingAtColumn(3)).toString(),
               QFileInfo(paths_.archiveFolder + f.name)
                   .lastModified()
                   .toString(QStringLiteral("dd/MM/yyyy HH:mm")));

      // A screen reader reads the same texts, cell by cell.
      const QStringList expected{f.name, f.sizeText, f.typeText,
                                 model->data(row.siblingAtColumn(3)).toString()};
      for (int c = 0; c < 4; ++c) {
        QAccessibleInterface *cell = table->tableInterface()->cellAt(row.row(), c);
        QVERIFY(cell);
        QCOMPARE(cell->text(QAccessible::Name), expected[c]);
        cell->text(QAccessible::Description);
        cell->rect();
      }
    }
    for (int i = 0; i < table->childCount(); ++i) {
      QAccessibleInterface *child = table->child(i);
      QVERIFY(child);
      child->text(QAccessible::Name);
      child->role();
    }
  }

  void lookAndSnapshot() {
    const QString name = "06122026_0905_ARTL_Matin_Patient1.txt";
    QVERIFY(test::WriteFile(paths_.archiveFolder + name, kTwoReadings));
    QVERIFY(test::WriteFile(paths_.archiveFolder + "07122026_2110_ARTL_Soir_Patient1.txt",
                            "1\r\n07/12/2026\r\n21:10\r\n142\r\n91\r\n75\r\nx\r\n"));
    ArchiveManagerWindow w(paths_.archiveFolder, paths_.printFolder);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTRY_COMPARE(ListedRows(w), 2);
    SelectFiles(w, {name});
    w.openCurrentArchive();

    QCOMPARE(FindControl(&w, ToInt(ControlId::ArchiveFileList)), w.fileList());
    QCOMPARE(FindControl(&w, ToInt(ControlId::ArchiveReadingsList)), w.readingsList());
    QCOMPARE(w.fileList()->geometry().width(), 200);
    QCOMPARE(w.fileList()->mapTo(&w, QPoint(0, 0)).y(), 70);
    for (QWidget *list :
         {static_cast<QWidget *>(w.fileList()), static_cast<QWidget *>(w.readingsList())}) {
      // The lists follow the light scheme: no colours of their own.
      QVERIFY(!ColourRecordOf(list));
    }
    const QStringList tips{"Fermer la fenêtre et quitter les archives",
                           "Supprimer définitivement les archives sélectionnées",
                           "Créer un fichier texte et l'ouvrir pour impression des relevés de "
                           "mesures actuellement affichés."};
    const ControlId buttons[] = {ControlId::ArchiveButtonQuit, ControlId::ArchiveButtonDelete,
                                 ControlId::ArchiveButtonPrint};
    for (int i = 0; i < 3; ++i) {
      auto *button = qobject_cast<DrawnButton *>(FindControl(&w, ToInt(buttons[i])));
      QVERIFY(button);
      const auto tip = BalloonTipOf(button);
      QVERIFY(tip);
      QCOMPARE(tip->title, button->label());
      QCOMPARE(tip->text, tips[i]);
    }
    QCOMPARE(w.readingsList()->header()->sectionSize(5), 500);
    // Name and size in view in the list, even with a vertical scroll bar.
    const QHeaderView *fileHeader = w.fileList()->horizontalHeader();
    QVERIFY(fileHeader->sectionSize(0) + fileHeader->sectionSize(1) <=
            w.fileList()->width() - 2 * w.fileList()->frameWidth() -
                w.fileList()->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    QCOMPARE(w.fileModel()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Nom"));
    QCOMPARE(w.fileModel()->headerData(3, Qt::Horizontal).toString(), QStringLiteral("Modifié le"));

    QCoreApplication::processEvents();
    const QString file = test::SnapshotFolder() + "archive_manager.png";
    QVERIFY(w.grab().save(file));
  }
};

QTEST_MAIN(TestArchiveManager)
#include "tst_archive_manager.moc"
