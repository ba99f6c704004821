// The logbook workflows, without a window: adding, deleting and changing
// readings, saving and loading with their failures, changing patient,
// archiving and printing.
#include "fakes.h"
#include "readings.h"

#include "common/file_batch.h"
#include "common/file_io.h"
#include "exchange/csv_import.h"
#include "exchange/logbook_exchange.h"
#include "logbook/logbook.h"
#include "logbook/patient_file.h"
#include "logbook/patient_store.h"
#include "logbook/workflows.h"
#include "measurements/measurement_file.h"

#include <QDir>
#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace tl;
using namespace tl::test;

namespace {

QStringList Systolics(const PeriodListModel &list) {
  QStringList values;
  for (const Reading &r : list.readings()) {
    values << r[Reading::Systolic];
  }
  return values;
}

// The context records of a logbook as one line each: "Matin 08:00 128 | pouls irrégulier | café".
QStringList ContextLines(const Logbook &book) {
  QStringList lines;
  for (const ContextRecord &r : book.contexts().records()) {
    lines << PeriodInfo(r.key.period).name + u' ' + r.key.cells[1] + u' ' + r.key.cells[2] +
                 QStringLiteral(" | ") + r.context.flagsText() + QStringLiteral(" | ") +
                 r.context.note;
  }
  lines.sort();
  return lines;
}

ReadingContext Context(const QString &note, bool irregular) {
  ReadingContext c;
  c.note = note;
  c.set(ContextFlag::Irregular, irregular);
  return c;
}

// Cuts a batch at its n-th step, as a kill there would; 0 never does.
struct KillAtStep : BatchProbe {
  int at = 0, seen = 0;
  bool step(BatchStep, const QString &) override { return at == 0 || ++seen < at; }
};

// Everything a patient's store holds, as it is read at the next start: the
// readings of the lists and of the archives, and each note with its reading
// (or "sans relevé" when its reading is nowhere beside it).
QStringList StoreState(const StoragePaths &paths, const QString &patient) {
  QString name = patient;
  StoragePaths p = paths;
  Logbook book(name, p);
  LoadLogbook(book);
  QStringList state;
  const auto cells = [](const Reading &r) {
    return r[Reading::Date] + u' ' + r[Reading::Time] + u' ' + r[Reading::Systolic];
  };
  for (DayPeriod period : kAllPeriods) {
    for (const Reading &r : book.list(period).readings()) {
      state << PeriodInfo(period).name + u' ' + cells(r);
    }
  }
  for (const ContextRecord &record : book.contexts().records()) {
    const bool held = FindSameReading(book.list(record.key.period), record.key.cells) >= 0;
    state << QStringLiteral("note ") + cells(record.key.cells) + u' ' + record.context.note +
                 (held ? QString() : QStringLiteral(" sans relevé"));
  }
  const QDir archives(paths.archiveFolder);
  for (const QString &file : archives.entryList({"*ARTL_*.txt"}, QDir::Files)) {
    const bool notes = file.contains(QStringLiteral("Notes_"));
    const QByteArray bytes = ReadFile(archives.filePath(file));
    if (notes) {
      for (const ContextRecord &record : ParseContextFile(bytes)) {
        state << QStringLiteral("archive note ") + cells(record.key.cells) + u' ' +
                     record.context.note;
      }
    } else {
      for (const Reading &r : ParseMeasurementFile(bytes)) {
        state << QStringLiteral("archive ") + cells(r);
      }
    }
  }
  state.sort();
  return state;
}

} // namespace

class TestLogbook : public QObject {
  Q_OBJECT

  std::unique_ptr<TempHome> home_;
  QString patient_;
  StoragePaths paths_;
  std::unique_ptr<Logbook> book_;

  PeriodListModel &list(DayPeriod p) { return book_->list(p); }

private slots:
  void init() {
    home_ = std::make_unique<TempHome>();
    patient_ = QStringLiteral("Zoé Martin");
    paths_ = SetupStorage(home_->path(), patient_);
    book_ = std::make_unique<Logbook>(patient_, paths_);
  }
  void cleanup() {
    book_.reset();
    home_.reset();
  }

  // "Ajouter": the period from the time, the sentence from the classification;
  // an empty value, or one that is no whole number, refuses it all.
  void addReading_data() {
    QTest::addColumn<QString>("time");
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<int>("period"); // -1: refused
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<int>("firstEmpty");
    QTest::addColumn<int>("notANumber");
    const QStringList normal = {"128", "82", "71",
                                "La systole de 128 mmHg et la diastole de 82 mmHg, indiquent une "
                                "Pression artérielle normale"};
    const QStringList typed = {"128", "82", "71"};
    const auto row = [](const char *name, const char *time, QStringList typed, int period,
                        QStringList stored, int firstEmpty = -1, int notANumber = -1) {
      QTest::newRow(name) << QString::fromUtf8(time) << typed << period << stored << firstEmpty
                          << notANumber;
    };
    row("00:00 is Nuit", "00:00", typed, PeriodIndex(DayPeriod::Nuit), normal);
    row("06:00 is Nuit", "06:00", typed, PeriodIndex(DayPeriod::Nuit), normal);
    row("06:01 is Matin", "06:01", typed, PeriodIndex(DayPeriod::Matin), normal);
    row("12:00 is Matin", "12:00", typed, PeriodIndex(DayPeriod::Matin), normal);
    row("12:01 is Jour", "12:01", typed, PeriodIndex(DayPeriod::Jour), normal);
    row("18:00 is Jour", "18:00", typed, PeriodIndex(DayPeriod::Jour), normal);
    row("18:01 is Soir", "18:01", typed, PeriodIndex(DayPeriod::Soir), normal);
    row("23:59 is Soir", "23:59", typed, PeriodIndex(DayPeriod::Soir), normal);
    row("blanks around and a leading zero", "08:00", {"0120", " 78 ", "64"},
        PeriodIndex(DayPeriod::Matin),
        {"120", "78", "64",
         "La systole de 120 mmHg et la diastole de 78 mmHg, indiquent une Pression artérielle "
         "optimale"});
    row("a letter O for a zero", "08:00", {"14O", "95", "70"}, -1, {}, -1, 0);
    row("a unit after the number", "08:00", {"128", "82 mmHg", "71"}, -1, {}, -1, 1);
    row("hexadecimal", "08:00", {"128", "82", "$40"}, -1, {}, -1, 2);
    row("no pulse", "08:00", {"128", "82", ""}, -1, {}, 2);
    row("no diastolic", "08:00", {"128", "", "71"}, -1, {}, 1);
    row("nothing", "08:00", {"", "", ""}, -1, {}, 0);
  }
  void addReading() {
    QFETCH(QString, time);
    QFETCH(QStringList, typed);
    QFETCH(int, period);
    QFETCH(QStringList, stored);
    QFETCH(int, firstEmpty);
    QFETCH(int, notANumber);
    list(DayPeriod::Matin).append(MakeReading(QStringLiteral("07:00"), 110, 70, 60));

    const QTime at = QTime::fromString(time, QStringLiteral("hh:mm"));
    const AddOutcome added = AddReading(*book_, QDate(2026, 3, 14), at.hour() * 60 + at.minute(),
                                        typed[0], typed[1], typed[2]);

    if (period < 0) {
      QVERIFY(!added.period);
      QCOMPARE(added.firstEmptyField, firstEmpty);
      QCOMPARE(added.notANumberField, notANumber);
      QCOMPARE(book_->lists().totalCount(), 1);
      return;
    }
    const DayPeriod p = static_cast<DayPeriod>(period);
    QCOMPARE(added.period, std::optional(p));
    const Reading &r = list(p).reading(list(p).size() - 1); // after the rows already there
    QCOMPARE(QStringList({r[0], r[1]}), QStringList({QStringLiteral("14/03/2026"), time}));
    QCOMPARE(QStringList({r[2], r[3], r[4], r[5]}), stored);
    QCOMPARE(book_->lists().totalCount(), 2);
  }

  // Unusual values and a second copy are reported; the reading is filed
  // only once every finding is confirmed. Matin holds 110/70 at 07:00 and
  // 300/90 at 07:30.
  void addReadingFindings_data() {
    QTest::addColumn<QString>("time");
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<bool>("unusualYes");
    QTest::addColumn<bool>("duplicateYes");
    QTest::addColumn<QString>("found"); // "u" unusual, "d" duplicate
    QTest::addColumn<bool>("filed");
    const auto row = [](const char *name, const char *time, QStringList typed, bool unusualYes,
                        bool duplicateYes, const char *found, bool filed) {
      QTest::newRow(name) << QString::fromUtf8(time) << typed << unusualYes << duplicateYes
                          << QString::fromUtf8(found) << filed;
    };
    const QStringList copy = {"110", "70", "60"};
    const QStringList odd = {"14", "95", "70"};
    const QStringList oddCopy = {"300", "90", "60"};
    row("none", "08:00", {"128", "82", "71"}, false, false, "", true);
    row("unusual, no", "08:00", odd, false, false, "u", false);
    row("unusual, yes", "08:00", odd, true, false, "u", true);
    row("pulse too low, no", "08:00", {"128", "82", "29"}, false, false, "u", false);
    row("diastolic not below, no", "08:00", {"90", "90", "70"}, false, false, "u", false);
    row("duplicate, no", "07:00", copy, false, false, "d", false);
    row("duplicate, yes", "07:00", copy, false, true, "d", true);
    row("another minute is no duplicate", "07:01", copy, false, false, "", true);
    row("both, unusual only", "07:30", oddCopy, true, false, "ud", false);
    row("both, duplicate only", "07:30", oddCopy, false, true, "ud", false);
    row("both, yes", "07:30", oddCopy, true, true, "ud", true);
  }
  void addReadingFindings() {
    QFETCH(QString, time);
    QFETCH(QStringList, typed);
    QFETCH(bool, unusualYes);
    QFETCH(bool, duplicateYes);
    QFETCH(QString, found);
    QFETCH(bool, filed);
    list(DayPeriod::Matin).append(MakeReading(QStringLiteral("07:00"), 110, 70, 60));
    list(DayPeriod::Matin).append(MakeReading(QStringLiteral("07:30"), 300, 90, 60));
    const QTime at = QTime::fromString(time, QStringLiteral("hh:mm"));
    const AddAnswers answers{unusualYes, duplicateYes};

    const AddOutcome added = AddReading(*book_, QDate(2026, 3, 14), at.hour() * 60 + at.minute(),
                                        typed[0], typed[1], typed[2], answers);

    QCOMPARE(added.unusual, found.contains(u'u'));
    QCOMPARE(added.duplicate, found.contains(u'd'));
    QCOMPARE(added.period.has_value(), filed);
    QCOMPARE(added.awaitsAnswers(answers), !filed);
    QCOMPARE(added.list, DayPeriod::Matin);
    QCOMPARE(added.reading[Reading::Time], time);
    QCOMPARE(list(DayPeriod::Matin).size(), filed ? 3 : 2);
  }

  // Delete takes the rows confirmed, in any order; a list emptied this way
  // loses its file, read-only or not; no row confirmed keeps rows and file.
  void deleteReadings_data() {
    QTest::addColumn<QList<int>>("confirmed");
    QTest::addColumn<QStringList>("remaining");
    QTest::addColumn<bool>("readOnlyFile");
    QTest::newRow("unsorted and repeated")
        << QList<int>{3, 0, 3} << QStringList{"111", "112"} << false;
    QTest::newRow("past the end") << QList<int>{-1, 0, 4} << QStringList{"111", "112", "113"}
                                  << false;
    QTest::newRow("none") << QList<int>{} << QStringList{"110", "111", "112", "113"} << false;
    QTest::newRow("every row") << QList<int>{0, 1, 2, 3} << QStringList{} << false;
    QTest::newRow("every row, read-only file") << QList<int>{0, 1, 2, 3} << QStringList{} << true;
  }
  void deleteReadings() {
    QFETCH(QList<int>, confirmed);
    QFETCH(QStringList, remaining);
    QFETCH(bool, readOnlyFile);
    for (int i = 0; i < 4; ++i) {
      list(DayPeriod::Matin).append(MakeReading(QStringLiteral("08:00"), 110 + i, 80, 70));
    }
    list(DayPeriod::Soir).append(MakeReading(QStringLiteral("20:00"), 120, 80, 70));
    QCOMPARE(SaveLogbook(*book_).written, 2);
    const QString file = paths_.measurementFile(DayPeriod::Matin);
    if (readOnlyFile) {
      QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::ReadUser);
    }

    const int removed = DeleteReadings(*book_, DayPeriod::Matin, confirmed);

    QCOMPARE(removed, 4 - int(remaining.size()));
    QCOMPARE(Systolics(list(DayPeriod::Matin)), remaining);
    // An emptied list's file goes with the save that also drops its notes.
    QVERIFY(QFileInfo::exists(file));
    SaveLogbook(*book_);
    QCOMPARE(QFileInfo::exists(file), !remaining.isEmpty());
    QVERIFY(QFileInfo::exists(paths_.measurementFile(DayPeriod::Soir)));
  }

  // Two rows of which the first moves: the second is still the one changed.
  void modifyMovesRowsInOrder() {
    list(DayPeriod::Matin).append(MakeReading(QStringLiteral("08:00"), 128, 82, 71));
    list(DayPeriod::Matin).append(MakeReading(QStringLiteral("09:00"), 130, 84, 72));
    const QList<CellOutcome> done =
        ModifyReadings(*book_, DayPeriod::Matin, Reading::Time,
                       {{1, QStringLiteral("10:00")}, {0, QStringLiteral(" 13:00 ")}});
    QCOMPARE(done.size(), 2);
    QCOMPARE(done[0].row, 0);
    QCOMPARE(done[0].text, QStringLiteral("13:00"));
    QCOMPARE(done[0].movedTo, std::optional(DayPeriod::Jour));
    QVERIFY(done[1].changed && !done[1].movedTo);
    QCOMPARE(list(DayPeriod::Jour).reading(0)[Reading::Systolic], QStringLiteral("128"));
    QCOMPARE(list(DayPeriod::Matin).reading(0)[Reading::Time], QStringLiteral("10:00"));
  }

  // What is saved loads back the same; a file that cannot be written or read
  // is named with the system's reason, a missing file is no failure.
  void saveAndLoadWithTheirFailures() {
    list(DayPeriod::Matin).append(MakeReading(QStringLiteral("08:00"), 128, 82, 71));
    list(DayPeriod::Nuit).append(MakeReading(QStringLiteral("03:00"), 118, 72, 61));
    const SaveOutcome saved = SaveLogbook(*book_);
    QCOMPARE(saved.written, 2);
    QVERIFY(saved.failed.isEmpty());

    QString other = patient_;
    Logbook again(other, paths_);
    QVERIFY(LoadLogbook(again).isEmpty()); // Jour and Soir have no file: no failure
    for (DayPeriod p : kAllPeriods) {
      QCOMPARE(again.list(p).readings(), list(p).readings());
    }

    // A folder stands where the Jour file goes.
    QVERIFY(QDir().mkpath(paths_.measurementFile(DayPeriod::Jour)));
    list(DayPeriod::Jour).append(MakeReading(QStringLiteral("14:00"), 130, 85, 70));
    const SaveOutcome failed = SaveLogbook(*book_);
    QCOMPARE(failed.written, 2);
    QCOMPARE(failed.failed.size(), 1);
    QCOMPARE(failed.failed[0].period, DayPeriod::Jour);
    QCOMPARE(failed.failed[0].error.path, paths_.measurementFile(DayPeriod::Jour));
    QVERIFY(!failed.failed[0].error.reason.isEmpty());
    QCOMPARE(FailedPeriodNames(failed.failed), QStringLiteral("Jour"));
    QCOMPARE(FailureLines(failed.failed), failed.failed[0].error.text());

    const QList<PeriodFileError> unreadable = LoadLogbook(again);
    QCOMPARE(unreadable.size(), 1);
    QCOMPARE(unreadable[0].period, DayPeriod::Jour);
  }

  // Another program changes the Matin file (120, 121 when read) while the
  // lists are open; each way of writing then keeps what both sides hold.
  // Without a change here, the list takes up the file as it is; with one
  // (130 added here), the readings added there join it, nothing read is
  // lost, and a file holding no records is kept aside.
  void outsideChanges_data() {
    QTest::addColumn<QByteArray>("onDisk"); // the file as the other program leaves it, "" deleted
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QStringList>("expected"); // systolics in the file afterwards
    QTest::addColumn<int>("fromOutside");
    QTest::addColumn<int>("keptAside");
    struct Change {
      const char *name;
      QList<int> theirs; // empty: deleted; {-1}: junk
      QStringList unchanged, edited;
      int fromOutside, keptAside;
    };
    const Change changes[] = {
        {"reading added",
         {120, 121, 140},
         {"120", "121", "140"},
         {"120", "121", "130", "140"},
         1,
         0},
        {"reading removed", {120}, {"120"}, {"120", "121", "130"}, 0, 0},
        {"reading changed", {120, 125}, {"120", "125"}, {"120", "121", "130", "125"}, 1, 0},
        {"file deleted", {}, {"120", "121"}, {"120", "121", "130"}, 0, 0},
        {"file replaced by junk", {-1}, {"120", "121"}, {"120", "121", "130"}, 0, 1},
    };
    for (const Change &c : changes) {
      QByteArray bytes;
      if (c.theirs == QList<int>{-1}) {
        bytes = "[junk]\r\n\x01\x02";
      } else if (!c.theirs.isEmpty()) {
        std::vector<Reading> readings;
        for (int s : c.theirs) {
          readings.push_back(MakeReading(QStringLiteral("08:00"), s, 80, 70));
        }
        bytes = SerializeMeasurementFile(readings);
      }
      for (const char *op : {"save", "save edited", "switch edited", "archive edited"}) {
        const bool edited = QByteArrayView(op).endsWith("edited");
        QTest::addRow("%s, %s", c.name, op)
            << bytes << QString::fromLatin1(op) << (edited ? c.edited : c.unchanged)
            << c.fromOutside << c.keptAside;
      }
    }
  }
  void outsideChanges() {
    QFETCH(QByteArray, onDisk);
    QFETCH(QString, operation);
    QFETCH(QStringList, expected);
    QFETCH(int, fromOutside);
    QFETCH(int, keptAside);
    const QString matin = paths_.measurementFile(DayPeriod::Matin);
    list(DayPeriod::Matin).append(MakeReading(QStringLiteral("08:00"), 120, 80, 70));
    list(DayPeriod::Matin).append(MakeReading(QStringLiteral("08:00"), 121, 80, 70));
    QCOMPARE(SaveLogbook(*book_).written, 1);
    if (operation.endsWith(QStringLiteral("edited"))) {
      list(DayPeriod::Matin).append(MakeReading(QStringLiteral("08:00"), 130, 80, 70));
    }
    if (onDisk.isEmpty()) {
      QVERIFY(QFile::remove(matin));
    } else {
      QVERIFY(WriteFile(matin, onDisk));
    }

    SaveOutcome saved;
    QString file = matin;
    if (operation.startsWith(QStringLiteral("save"))) {
      saved = SaveLogbook(*book_);
    } else if (operation.startsWith(QStringLiteral("switch"))) {
      const SwitchOutcome switched = SwitchPatient(*book_, QStringLiteral("Autre"));
      QVERIFY(switched.switched);
      QCOMPARE(OutsideChangesText(switched.saved).isEmpty(), fromOutside + keptAside == 0);
    } else {
      const ArchiveRun run = ArchiveLogbook(*book_);
      QCOMPARE(run.outcome(DayPeriod::Matin), ArchiveOutcome::Archived);
      const QStringList archived =
          QDir(paths_.archiveFolder).entryList({QStringLiteral("*ARTL_Matin_*")}, QDir::Files);
      QCOMPARE(archived.size(), 1);
      file = paths_.archiveFolder + archived[0];
      QVERIFY(!QFileInfo::exists(matin));
    }
    QStringList onDiskAfter;
    for (const Reading &r : ParseMeasurementFile(ReadFile(file))) {
      onDiskAfter << r[Reading::Systolic];
    }
    QCOMPARE(onDiskAfter, expected);
    const QStringList aside =
        QDir(paths_.dataFolder).entryList({QStringLiteral("*.illisible-*")}, QDir::Files);
    QCOMPARE(aside.size(), keptAside);
    if (operation.startsWith(QStringLiteral("save"))) {
      QVERIFY(saved.failed.isEmpty());
      QCOMPARE(saved.fromOutside, fromOutside);
      QCOMPARE(Systolics(list(DayPeriod::Matin)), expected); // the list shows what is saved
      QCOMPARE(OutsideChangesText(saved).isEmpty(), fromOutside + keptAside == 0);
      // Saved again, nothing is rewritten.
      const QByteArray bytes = ReadFile(matin);
      const QDateTime modified = QFileInfo(matin).lastModified();
      QTest::qWait(5);
      QCOMPARE(SaveLogbook(*book_).written, 1);
      QCOMPARE(ReadFile(matin), bytes);
      QCOMPARE(QFileInfo(matin).lastModified(), modified);
    }
  }

  // A deletion made here is never undone by a merge: the readings deleted
  // stay deleted, while those another program added since stay too.
  void deletionSurvivesTheMerge() {
    const QString matin = paths_.measurementFile(DayPeriod::Matin);
    for (int s : {120, 121, 122}) {
      list(DayPeriod::Matin).append(MakeReading(QStringLiteral("08:00"), s, 80, 70));
    }
    QCOMPARE(SaveLogbook(*book_).written, 1);
    QCOMPARE(DeleteReadings(*book_, DayPeriod::Matin, {0, 1}), 2);
    std::vector<Reading> theirs;
    for (int s : {120, 121, 122, 140}) {
      theirs.push_back(MakeReading(QStringLiteral("08:00"), s, 80, 70));
    }
    QVERIFY(WriteFile(matin, SerializeMeasurementFile(theirs)));
    const SaveOutcome saved = SaveLogbook(*book_);
    QCOMPARE(saved.fromOutside, 1);
    QCOMPARE(Systolics(list(DayPeriod::Matin)), (QStringList{"122", "140"}));
    QCOMPARE(ParseMeasurementFile(ReadFile(matin)), list(DayPeriod::Matin).readings());

    // Every reading deleted after the file gained one: the file keeps that one.
    theirs.push_back(MakeReading(QStringLiteral("08:00"), 150, 80, 70));
    QVERIFY(WriteFile(matin, SerializeMeasurementFile({theirs[2], theirs[3], theirs[4]})));
    QCOMPARE(DeleteReadings(*book_, DayPeriod::Matin, {0, 1}), 2);
    QVERIFY(QFileInfo::exists(matin));
    SaveLogbook(*book_);
    QCOMPARE(Systolics(list(DayPeriod::Matin)), QStringList{"150"});
    QCOMPARE(ParseMeasurementFile(ReadFile(matin)).size(), size_t(1));
  }

  // Something stands at the Matin file that cannot be read: its list loads
  // empty with the reason, and no save ever writes over it.
  void unreadableFiles_data() {
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("reason");
    for (const char *state : {"no read permission", "over the limit", "folder", "FIFO",
                              "dangling link", "junk, nothing to save"}) {
      QTest::newRow(state) << QString::fromLatin1(state);
    }
  }
  void unreadableFiles() {
    QFETCH(QString, state);
    const QString matin = paths_.measurementFile(DayPeriod::Matin);
    const QByteArray bytes = SerializeMeasurementFile({MakeReading("08:00", 120, 80, 70)});
    if (state == u"no read permission") {
      QVERIFY(WriteFile(matin, bytes));
      if (!DenyReading(matin)) {
        QSKIP("this user reads every file");
      }
    } else if (state == u"over the limit") {
      QVERIFY(WriteFile(matin, bytes));
      QVERIFY(QFile::resize(matin, kMaxMeasurementFileBytes + 1)); // sparse: no disk used
    } else if (state == u"folder") {
      QVERIFY(QDir().mkpath(matin));
    } else if (state == u"FIFO") {
#ifdef Q_OS_UNIX
      QCOMPARE(::mkfifo(QFile::encodeName(matin).constData(), 0600), 0);
#else
      QSKIP("no FIFO on this system");
#endif
    } else if (state == u"dangling link") {
      if (const QString why = MakeLink(home_->path() + QStringLiteral("absent.txt"), matin);
          !why.isEmpty()) {
        QSKIP(qPrintable(why));
      }
    } else {
      QVERIFY(WriteFile(matin, "[junk]\r\n"));
    }
    const QFileInfo before(matin);

    const QList<PeriodFileError> unreadable = LoadLogbook(*book_);
    QCOMPARE(unreadable.size(), 1);
    QCOMPARE(unreadable[0].period, DayPeriod::Matin);
    QVERIFY(!unreadable[0].error.reason.isEmpty());
    QVERIFY(!UnreadableFilesText(unreadable, {}).isEmpty());
    QCOMPARE(list(DayPeriod::Matin).size(), 0);

    if (!state.startsWith(u"junk")) {
      list(DayPeriod::Matin).append(MakeReading(QStringLiteral("09:00"), 130, 85, 70));
    }
    list(DayPeriod::Soir).append(MakeReading(QStringLiteral("20:00"), 125, 80, 70));
    const SaveOutcome saved = SaveLogbook(*book_);
    QCOMPARE(saved.failed.size(), 1);
    QCOMPARE(saved.failed[0].period, DayPeriod::Matin);
    QCOMPARE(saved.written, 1); // the other lists are saved all the same
    const QFileInfo after(matin);
    QCOMPARE(after.isSymLink(), before.isSymLink());
    QCOMPARE(after.isFile(), before.isFile());
    QCOMPARE(after.size(), before.size());
    QCOMPARE(FailuresHoldingReadings(*book_, saved.failed).size(),
             state.startsWith(u"junk") ? 0 : 1);
  }

  // A full disk (here the file-size limit) changes no file: every list is
  // written beside its file first, and renamed only once all are whole.
  void saveIsAllOrNothing() {
#ifndef Q_OS_UNIX
    QSKIP("the file-size limit is a Unix one");
#else
    IgnoreFileSizeLimitSignal();
    list(DayPeriod::Matin).append(MakeReading(QStringLiteral("08:00"), 120, 80, 70));
    list(DayPeriod::Nuit).append(MakeReading(QStringLiteral("03:00"), 110, 70, 60));
    QCOMPARE(SaveLogbook(*book_).written, 2);
    const QByteArray matin = ReadFile(paths_.measurementFile(DayPeriod::Matin));
    const QByteArray nuit = ReadFile(paths_.measurementFile(DayPeriod::Nuit));
    list(DayPeriod::Nuit).append(MakeReading(QStringLiteral("03:30"), 111, 71, 61));
    for (int i = 0; i < 40; ++i) {
      list(DayPeriod::Matin).append(MakeReading(QStringLiteral("08:30"), 121, 81, 71));
    }
    struct rlimit old;
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit small = old;
    small.rlim_cur = 1024; // the Nuit file fits, the Matin file does not
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const SaveOutcome saved = SaveLogbook(*book_);
    ::setrlimit(RLIMIT_FSIZE, &old);
    QCOMPARE(saved.written, 0);
    QCOMPARE(saved.failed.size(), 2);
    QCOMPARE(saved.failed[0].error.reason,
             QStringLiteral("fichier trop volumineux pour le système"));
    QCOMPARE(ReadFile(paths_.measurementFile(DayPeriod::Matin)), matin);
    QCOMPARE(ReadFile(paths_.measurementFile(DayPeriod::Nuit)), nuit);
    QCOMPARE(QDir(paths_.dataFolder).entryList(QDir::Files).size(), 2); // no temporary left
    // Once there is room, the next save writes both.
    QCOMPARE(SaveLogbook(*book_).written, 2);
    QCOMPARE(ParseMeasurementFile(ReadFile(paths_.measurementFile(DayPeriod::Matin))).size(),
             size_t(41));
#endif
  }

  // Health data: the folders are private and every file written is the
  // owner's alone, whatever the umask.
  void filesArePrivate() {
#ifndef Q_OS_UNIX
    QSKIP("access rights come from the profile elsewhere");
#else
    const mode_t mask = ::umask(022);
    TempHome home;
    QVERIFY(QDir().mkdir(home.path() + QStringLiteral("Kestrune Arteline"),
                         QFile::Permissions(0x7755)));
    QString name = QStringLiteral("Zoé");
    StoragePaths paths = SetupStorage(home.path(), name);
    Logbook book(name, paths);
    book.list(DayPeriod::Matin).append(MakeReading(QStringLiteral("08:00"), 120, 80, 70));
    QCOMPARE(SaveLogbook(book).written, 1);
    ::umask(mask);
    const auto mode = [](const QString &path) {
      struct stat st;
      return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
    };
    for (const QString &folder : {paths.dataFolder, paths.archiveFolder, paths.printFolder}) {
      QCOMPARE(mode(folder), 0700);
    }
    QCOMPARE(mode(paths.measurementFile(DayPeriod::Matin)), 0600);
#endif
  }

  // The patient file changed by another program while the patient manager
  // was open (Anne, Marc when read; Anne's doctor changed here): profiles
  // are merged by name, and what cannot be merged is kept aside whole.
  void patientFileMerge_data() {
    QTest::addColumn<QStringList>("theirs"); // name:doctor, or "junk"
    QTest::addColumn<QStringList>("saved");
    QTest::addColumn<int>("fromOutside");
    QTest::addColumn<bool>("keptAside");
    QTest::newRow("unchanged") << QStringList{"Anne:", "Marc:"}
                               << QStringList{"Anne:Dr Roux", "Marc:"} << 0 << false;
    QTest::newRow("profile added") << QStringList{"Anne:", "Marc:", "Zoé:"}
                                   << QStringList{"Anne:Dr Roux", "Marc:", "Zoé:"} << 1 << false;
    QTest::newRow("other profile changed")
        << QStringList{"Anne:", "Marc:Dr Lin"} << QStringList{"Anne:Dr Roux", "Marc:Dr Lin"} << 1
        << false;
    QTest::newRow("profile deleted there")
        << QStringList{"Anne:"} << QStringList{"Anne:Dr Roux", "Marc:"} << 0 << false;
    QTest::newRow("same profile changed on both sides")
        << QStringList{"Anne:Dr Mas", "Marc:"} << QStringList{"Anne:Dr Roux", "Marc:"} << 0 << true;
    QTest::newRow("junk") << QStringList{"junk"} << QStringList{"Anne:Dr Roux", "Marc:"} << 0
                          << true;
  }
  void patientFileMerge() {
    QFETCH(QStringList, theirs);
    QFETCH(QStringList, saved);
    QFETCH(int, fromOutside);
    QFETCH(bool, keptAside);
    const auto profiles = [](const QStringList &list) {
      std::vector<Patient> patients;
      for (const QString &entry : list) {
        Patient p;
        p[Patient::Name] = entry.section(u':', 0, 0);
        p[Patient::Doctor] = entry.section(u':', 1);
        patients.push_back(p);
      }
      return patients;
    };
    const QString path = paths_.patientFile;
    QVERIFY(SavePatientFile(path, profiles({"Anne:", "Marc:"})).reason.isEmpty());
    const PatientFileContents loaded = LoadPatientFile(path);
    QVERIFY(WriteFile(path, theirs == QStringList{"junk"}
                                ? QByteArray("[Utilisateurs]\r\n")
                                : SerializePatientFile(profiles(theirs))));
    const PatientSave save =
        SavePatientFileMerged(path, loaded, profiles({"Anne:Dr Roux", "Marc:"}));
    QVERIFY(!save.error);
    QCOMPARE(LoadPatientFile(path).patients, profiles(saved));
    QCOMPARE(save.fromOutside, fromOutside);
    QCOMPARE(!save.keptAside.isEmpty(), keptAside);
    QCOMPARE(PatientSaveText(save).isEmpty(), fromOutside == 0 && !keptAside);
    if (keptAside) {
      QVERIFY(QFileInfo(save.keptAside).isFile());
    }
  }

  // Changing patient saves the outgoing lists first; when one cannot be
  // saved the user is told why and may stay.
  void switchPatient_data() {
    QTest::addColumn<bool>("saveFails");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("switched");
    QTest::newRow("saved, switched") << false << false << true;
    QTest::newRow("not saved, stays") << true << false << false;
    QTest::newRow("not saved, changes anyway") << true << true << true;
  }
  void switchPatient() {
    QFETCH(bool, saveFails);
    QFETCH(bool, answer);
    QFETCH(bool, switched);
    StoragePaths next = paths_;
    RebuildMeasurementPaths(next, QStringLiteral("Hélène"));
    QVERIFY(WriteFile(next.measurementFile(DayPeriod::Nuit),
                      "1\r\n01/03/2026\r\n01:00\r\n1\r\n2\r\n3\r\nx\r\n"));
    if (saveFails) {
      QVERIFY(QDir().mkpath(paths_.measurementFile(DayPeriod::Matin)));
    }
    list(DayPeriod::Matin).append(MakeReading(QStringLiteral("08:00"), 128, 82, 71));
    const QString matinFile = QDir::toNativeSeparators(paths_.measurementFile(DayPeriod::Matin));

    SwitchOutcome outcome = SwitchPatient(*book_, QStringLiteral("Hélène"));
    QCOMPARE(outcome.switched, !saveFails);
    if (saveFails) {
      // The list, its file and the system's reason, for the person to decide.
      QCOMPARE(outcome.unsaved.size(), 1);
      QCOMPARE(outcome.unsaved[0].period, DayPeriod::Matin);
      QVERIFY(outcome.unsaved[0].error.text().startsWith(matinFile + QStringLiteral(" : ")));
      if (answer) {
        outcome = SwitchPatient(*book_, QStringLiteral("Hélène"), true);
      }
    }
    QCOMPARE(outcome.switched, switched);
    QCOMPARE(book_->patient(), switched ? QStringLiteral("Hélène") : QStringLiteral("Zoé Martin"));
    QCOMPARE(patient_, book_->patient()); // the name is the caller's, by reference
    QCOMPARE(list(DayPeriod::Matin).size(), switched ? 0 : 1);
    QCOMPARE(list(DayPeriod::Nuit).size(), switched ? 1 : 0);
    QCOMPARE(QFileInfo(matinFile).isFile(), !saveFails); // saved under the outgoing name
  }

  // "Archiver": what the lists show is saved, then moved; the archived lists
  // are emptied. A list that cannot be saved keeps its list and its file; a
  // taken archive name keeps the file current.
  void archive() {
    FixedClock clock(QDateTime(QDate(2026, 12, 6), QTime(9, 5, 12)));
    QCOMPARE(ArchiveLogbook(*book_).report, QString()); // nothing to archive
    // The file on disk is older than the list: the list is what gets archived.
    QVERIFY(WriteFile(paths_.measurementFile(DayPeriod::Matin), "0\r\n"));
    list(DayPeriod::Matin).append(CellsReading({"06/12/2026", "07:15", "1", "2", "3", "x"}));
    list(DayPeriod::Nuit).append(CellsReading({"06/12/2026", "05:15", "4", "5", "6", "y"}));

    ArchiveRun run = ArchiveLogbook(*book_);
    QCOMPARE(run.report, QStringLiteral("ARTL_Matin_Zoé Martin.txt a été archivé.\r\n"
                                        "ARTL_Nuit_Zoé Martin.txt a été archivé.\r\n"));
    QCOMPARE(book_->lists().totalCount(), 0);
    QVERIFY(!QFileInfo::exists(paths_.measurementFile(DayPeriod::Matin)));
    QCOMPARE(
        ReadFile(paths_.archiveFolder + QStringLiteral("06122026_0905_ARTL_Matin_Zoé Martin.txt")),
        QByteArray("1\r\n06/12/2026\r\n07:15\r\n1\r\n2\r\n3\r\nx\r\n"));

    // Same minute again: the archive name is taken, the list keeps its row.
    list(DayPeriod::Nuit).append(CellsReading({"06/12/2026", "05:40", "7", "8", "9", "z"}));
    run = ArchiveLogbook(*book_);
    QCOMPARE(run.report, QStringLiteral("Une erreur est survenue lors de l'archivage de "
                                        "ARTL_Nuit_Zoé Martin.txt\r\n"));
    QCOMPARE(list(DayPeriod::Nuit).size(), 1);
    QVERIFY(QFileInfo::exists(paths_.measurementFile(DayPeriod::Nuit)));

    // A list that cannot be saved is neither archived nor emptied.
    QVERIFY(QDir().mkpath(paths_.measurementFile(DayPeriod::Jour)));
    list(DayPeriod::Jour).append(CellsReading({"a", "13:00", "1", "2", "3", "x"}));
    clock.advanceSeconds(60);
    run = ArchiveLogbook(*book_);
    QCOMPARE(run.outcome(DayPeriod::Jour), ArchiveOutcome::Failed);
    QCOMPARE(list(DayPeriod::Jour).size(), 1);
  }

  // The notes follow their readings through every workflow that changes or
  // moves one, on disk: what a fresh logbook loads back after the save.
  void contextFollowsReadings_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QStringList>("archived"); // beside the Matin archive
    const QString a = QStringLiteral("Matin 08:00 128 | pouls irrégulier | café");
    const QString b = QStringLiteral("Matin 09:00 130 |  | bras gauche");
    QTest::newRow("save and load") << "none" << QStringList{a, b} << QStringList();
    QTest::newRow("delete") << "delete" << QStringList{b} << QStringList();
    QTest::newRow("delete one of two identical")
        << "delete twin" << QStringList{a, b} << QStringList();
    QTest::newRow("new value")
        << "systolic 140"
        << QStringList{QStringLiteral("Matin 08:00 140 | pouls irrégulier | café"), b}
        << QStringList();
    QTest::newRow("new time, other list")
        << "time 20:30"
        << QStringList{QStringLiteral("Soir 20:30 128 | pouls irrégulier | café"), b}
        << QStringList();
    QTest::newRow("archive") << "archive" << QStringList() << QStringList{a, b};
    QTest::newRow("import the same reading with a flag")
        << "import" << QStringList{a, QStringLiteral("Matin 09:00 130 | mouvement | bras gauche")}
        << QStringList();
  }
  void contextFollowsReadings() {
    QFETCH(QString, action);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, archived);
    FixedClock clock(QDateTime(QDate(2026, 12, 6), QTime(9, 5, 12)));
    const Reading first = MakeReading(QStringLiteral("08:00"), 128, 82, 71);
    const Reading second = MakeReading(QStringLiteral("09:00"), 130, 84, 72);
    list(DayPeriod::Matin).append(first);
    list(DayPeriod::Matin).append(second);
    if (action == u"delete twin") {
      list(DayPeriod::Matin).append(first);
    }
    QCOMPARE(SaveLogbook(*book_).written, 1);
    const QByteArray measurements = ReadFile(paths_.measurementFile(DayPeriod::Matin));
    book_->contexts().set(DayPeriod::Matin, first, Context(QStringLiteral("café"), true));
    book_->contexts().set(DayPeriod::Matin, second, Context(QStringLiteral("bras gauche"), false));
    QCOMPARE(SaveLogbook(*book_).contextError.reason, QString());
    // Notes leave the measurement files as they were, byte for byte.
    QCOMPARE(ReadFile(paths_.measurementFile(DayPeriod::Matin)), measurements);

    QStringList archivedLines;
    if (action.startsWith(u"delete")) {
      QCOMPARE(DeleteReadings(*book_, DayPeriod::Matin, {0}), 1);
    } else if (action.startsWith(u"systolic") || action.startsWith(u"time")) {
      const QStringList words = action.split(u' ');
      const int cell = words[0] == u"time" ? Reading::Time : Reading::Systolic;
      QVERIFY(ModifyReadings(*book_, DayPeriod::Matin, cell, {{0, words[1]}}).value(0).changed);
    } else if (action == u"archive") {
      const ArchiveRun run = ArchiveLogbook(*book_);
      QCOMPARE(run.outcome(DayPeriod::Matin), ArchiveOutcome::Archived);
      const QString beside = ArchiveContextPath(run.archivedAs[0]);
      QCOMPARE(QFileInfo(beside).fileName(),
               QStringLiteral("06122026_0905_ARTL_Notes_Matin_Zoé Martin.txt"));
      Logbook view(patient_, paths_);
      view.contexts().setRecords(ParseContextFile(ReadFile(beside)));
      archivedLines = ContextLines(view);
      QVERIFY(!QFileInfo::exists(paths_.contextFile)); // nothing left to keep
    } else if (action == u"import") {
      CsvImport import(book_->lists(), ColumnMapping{});
      ReadingContext movement;
      movement.set(ContextFlag::Movement, true);
      import.addReading(QDate(2026, 3, 14), 9 * 60, 130, 84, 72, QString(), movement);
      ImportOutcome outcome;
      FinishImport(*book_, import, false, outcome);
      QVERIFY(outcome.appended); // a context alone is worth a save
      SaveImport(*book_, outcome);
    }
    QCOMPARE(SaveLogbook(*book_).contextError.reason, QString());

    Logbook reloaded(patient_, paths_);
    QVERIFY(LoadLogbook(reloaded).isEmpty());
    QVERIFY(!UnreadableContextFile(reloaded));
    expected.sort();
    QCOMPARE(ContextLines(reloaded), expected);
    QCOMPARE(archivedLines, archived);
  }

  // The context file meets other programs as the measurement files do: what
  // they add is taken up, what is changed here wins, a file that cannot be
  // read is never written over, one that holds no records is kept aside.
  void contextFileOutsideChanges() {
    const Reading first = MakeReading(QStringLiteral("08:00"), 128, 82, 71);
    const Reading second = MakeReading(QStringLiteral("09:00"), 130, 84, 72);
    list(DayPeriod::Matin).append(first);
    list(DayPeriod::Matin).append(second);
    book_->contexts().set(DayPeriod::Matin, first, Context(QStringLiteral("café"), false));
    QVERIFY(SaveLogbook(*book_).contextError.reason.isEmpty());

    // Another program notes the second reading and changes the first; this
    // side changes the first too: the first keeps both texts, the second is
    // taken.
    Logbook other(patient_, paths_);
    LoadLogbook(other);
    other.contexts().set(DayPeriod::Matin, first, Context(QStringLiteral("thé"), false));
    other.contexts().set(DayPeriod::Matin, second, Context(QString(), true));
    QTest::qWait(5); // a later modification time
    QVERIFY(SaveLogbook(other).contextError.reason.isEmpty());
    book_->contexts().set(DayPeriod::Matin, first, Context(QStringLiteral("café noir"), false));
    SaveOutcome saved = SaveLogbook(*book_);
    QCOMPARE(saved.contextsFromOutside, 1);
    QCOMPARE(saved.notesJoined, 1);
    QVERIFY(OutsideChangesText(saved).contains(QStringLiteral("1 remarque enregistrée")));
    QVERIFY(OutsideChangesText(saved).contains(QStringLiteral("séparés par « / »")));
    QCOMPARE(ContextLines(*book_),
             (QStringList{QStringLiteral("Matin 08:00 128 |  | café noir / thé"),
                          QStringLiteral("Matin 09:00 130 | pouls irrégulier | ")}));

    // Both sides again: the flag set there and the note changed here join;
    // two notes too long for one keep ours, and theirs in the file kept aside.
    LoadLogbook(other);
    other.contexts().set(DayPeriod::Matin, first, Context(QString(200, u'b'), true));
    QTest::qWait(5);
    QVERIFY(SaveLogbook(other).contextError.reason.isEmpty());
    book_->contexts().set(DayPeriod::Matin, first, Context(QStringLiteral("café"), false));
    saved = SaveLogbook(*book_);
    QCOMPARE(saved.keptAside.size(), 1);
    QVERIFY(test::ReadFile(saved.keptAside.front()).contains(QByteArray(200, 'b')));
    QCOMPARE(ContextLines(*book_).front(),
             QStringLiteral("Matin 08:00 128 | pouls irrégulier | café"));

    // Not a context file: a logbook loading it has no context and says so;
    // one holding contexts keeps it aside, then writes its own.
    QVERIFY(WriteFile(paths_.contextFile, "pas un nombre\r\n"));
    Logbook reloaded(patient_, paths_);
    LoadLogbook(reloaded);
    QVERIFY(reloaded.contexts().isEmpty());
    QVERIFY(UnreadableFilesText({}, {}, UnreadableContextFile(reloaded))
                .startsWith(QStringLiteral("Le fichier des remarques n'a pas pu être lu")));
    QVERIFY(SaveLogbook(reloaded).keptAside.isEmpty()); // nothing of its own to write
    // A note added there keeps the file aside too, rather than failing.
    reloaded.contexts().set(DayPeriod::Matin, first, Context(QStringLiteral("thé"), false));
    saved = SaveLogbook(reloaded);
    QCOMPARE(saved.keptAside.size(), 1);
    QVERIFY(!saved.contextError);
    QVERIFY(WriteFile(paths_.contextFile, "pas un nombre\r\n"));
    book_->contexts().set(DayPeriod::Matin, second, {});
    saved = SaveLogbook(*book_);
    QCOMPARE(saved.keptAside.size(), 1);
    QCOMPARE(ReadFile(saved.keptAside[0]), QByteArray("pas un nombre\r\n"));
    QCOMPARE(ParseContextFile(ReadFile(paths_.contextFile)).size(), size_t(1));

#ifdef Q_OS_UNIX
    // A file that cannot be read: not written over, and the save says so.
    if (::geteuid() != 0) {
      QFile::setPermissions(paths_.contextFile, QFileDevice::WriteOwner);
      book_->contexts().set(DayPeriod::Matin, second, Context(QStringLiteral("x"), false));
      saved = SaveLogbook(*book_);
      QVERIFY(saved.contextError);
      QVERIFY(FailureLines(saved.failed, saved.contextError).contains(QStringLiteral("remarques")));
      QFile::setPermissions(paths_.contextFile, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
      QCOMPARE(ParseContextFile(ReadFile(paths_.contextFile)).size(), size_t(1));
    }
#endif
  }

  // A batch cut at every step (after each temporary, after the journal,
  // after each rename, before the journal goes): once the next start has
  // finished or undone it, the store holds what it held before or what the
  // change made, each reading once, each note with its reading.
  void killAtEveryStep_data() {
    QTest::addColumn<QString>("change");
    QTest::newRow("move between lists") << "move";
    QTest::newRow("note of a new reading") << "note";
    QTest::newRow("archive") << "archive";
    QTest::newRow("import") << "import";
  }
  void killAtEveryStep() {
    QFETCH(QString, change);
    const Reading morning = MakeReading("07:00", 131, 84, 70);
    const Reading evening = MakeReading("20:00", 125, 80, 66);
    const auto setUp = [&] {
      init();
      list(DayPeriod::Matin).append(morning);
      list(DayPeriod::Soir).append(evening);
      book_->contexts().set(DayPeriod::Matin, morning, Context("café", true));
      QVERIFY(SaveLogbook(*book_).failed.isEmpty());
    };
    const auto makeChange = [&] {
      if (change == u"move") {
        Reading moved = morning;
        moved.set(Reading::Time, QStringLiteral("19:00"));
        list(DayPeriod::Matin).removeReading(0);
        list(DayPeriod::Soir).append(moved);
        book_->contexts().set(DayPeriod::Matin, morning, {});
        book_->contexts().set(DayPeriod::Soir, moved, Context("café", true));
        SaveLogbook(*book_);
      } else if (change == u"note") {
        const Reading added = MakeReading("08:00", 140, 90, 75);
        list(DayPeriod::Matin).append(added);
        book_->contexts().set(DayPeriod::Matin, added, Context("stress", false));
        SaveLogbook(*book_);
      } else if (change == u"archive") {
        ArchiveLogbook(*book_);
      } else {
        const QString csv = home_->path() + "import.csv";
        QVERIFY(WriteFile(csv, "Date;Heure;Systolique;Diastolique;Pouls\n"
                               "15/03/2026;07:30;150;95;80\n15/03/2026;21:00;118;76;60\n"));
        ImportCsvFile(*book_, csv, ReadCsvStart(csv).guess, ';');
      }
    };
    setUp();
    const QStringList before = StoreState(paths_, patient_);
    makeChange();
    const QStringList after = StoreState(paths_, patient_);
    QVERIFY(before != after);
    QVERIFY(!after.join(u'\n').contains(QStringLiteral("sans relevé")));
    cleanup();

    KillAtStep probe;
    for (probe.at = 1;; ++probe.at) {
      setUp();
      probe.seen = 0;
      SetBatchProbe(&probe);
      makeChange();
      SetBatchProbe(nullptr);
      const bool cut = probe.seen >= probe.at;
      // The next start.
      RecoverInterruptedBatch(paths_.dataFolder);
      RemoveInterruptedSaves(paths_.dataFolder);
      const QStringList state = StoreState(paths_, patient_);
      QVERIFY2(state == before || state == after,
               qPrintable(QStringLiteral("cut at step %1:\n").arg(probe.at) + state.join(u'\n')));
      const QStringList left =
          QDir(paths_.dataFolder).entryList({"*.tltmp-*", QString(kJournalName)}, QDir::Files);
      QVERIFY2(left.isEmpty(), qPrintable(left.join(u' ')));
      cleanup();
      if (!cut) {
        QVERIFY(probe.at > 3); // every change above takes several steps
        break;
      }
    }
  }

  // Files whose count line does not tell what they hold, or that another
  // program emptied: every whole record is read; the file is kept aside
  // whole before it is written over; the person is told.
  void fileStates_data() {
    QTest::addColumn<QByteArray>("bytes"); // empty: a good file, emptied after it was read
    QTest::addColumn<QString>("action");   // load, save, import
    const QByteArray records = "20/01/2026\r\n07:00\r\n120\r\n80\r\n60\r\nx\r\n"
                               "21/01/2026\r\n07:05\r\n121\r\n81\r\n61\r\nx\r\n"
                               "22/01/2026\r\n07:10\r\n122\r\n82\r\n62\r\nx\r\n";
    const QList<std::pair<const char *, QByteArray>> states = {
        {"count too small", "1\r\n" + records},
        {"count zero", "0\r\n" + records},
        {"count negative", "-3\r\n" + records},
        {"last record cut", "3\r\n" + records + "23/01/2026\r\n07:15\r\n12"},
        {"0-byte file read with readings", QByteArray()},
    };
    for (const auto &[name, bytes] : states) {
      for (const char *action : {"load", "save", "import"}) {
        QTest::addRow("%s, %s", name, action) << bytes << QString::fromLatin1(action);
      }
    }
  }
  void fileStates() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, action);
    const QString path = paths_.measurementFile(DayPeriod::Matin);
    const bool emptied = bytes.isEmpty();
    QVERIFY(WriteFile(path, emptied ? "3\r\n20/01/2026\r\n07:00\r\n120\r\n80\r\n60\r\nx\r\n"
                                      "21/01/2026\r\n07:05\r\n121\r\n81\r\n61\r\nx\r\n"
                                      "22/01/2026\r\n07:10\r\n122\r\n82\r\n62\r\nx\r\n"
                                    : bytes));
    QStringList notices;
    QVERIFY(LoadLogbook(*book_, &notices).isEmpty());
    QCOMPARE(list(DayPeriod::Matin).size(), 3); // the cut record is none
    QCOMPARE(notices.size(), emptied ? 0 : 1);
    if (emptied) {
      QVERIFY(WriteFile(path, QByteArray()));
    } else {
      QVERIFY(notices.first().contains(QStringLiteral(".illisible-")));
    }
    if (action == u"load") {
      QCOMPARE(ReadFile(path), bytes); // nothing written at load
      return;
    }
    qsizetype expected = 3;
    SaveOutcome saved;
    if (action == u"save") {
      saved = SaveLogbook(*book_);
    } else {
      const QString csv = home_->path() + "import.csv";
      QVERIFY(
          WriteFile(csv, "Date;Heure;Systolique;Diastolique;Pouls\n15/03/2026;07:30;150;95;80\n"));
      saved = ImportCsvFile(*book_, csv, ReadCsvStart(csv).guess, ';').saved;
      expected = 4;
    }
    QVERIFY(saved.failed.isEmpty());
    const QStringList aside = emptied ? saved.emptiedOutside : saved.keptAside;
    QCOMPARE(aside.size(), 1);
    QCOMPARE(saved.keptAside.size() + saved.emptiedOutside.size(), 1);
    QCOMPARE(ReadFile(aside.first()), bytes);
    QVERIFY(OutsideChangesText(saved).contains(QDir::toNativeSeparators(aside.first())));
    QCOMPARE(list(DayPeriod::Matin).size(), expected);
    QCOMPARE(ReadFile(path), SerializeMeasurementFile(list(DayPeriod::Matin).readings()));
    QVERIFY(ReadFile(path).startsWith(QByteArray::number(expected) + "\r\n"));
  }

  // A list that cannot be saved is written as a rescue copy beside the data
  // files when the session ends, or when the person changes patient anyway;
  // the start-up clean-up keeps it and names it. A switch whose copy cannot
  // be written does not happen.
  void rescueCopy_data() {
    QTest::addColumn<QString>("when");
    QTest::newRow("session end") << "end";
    QTest::newRow("patient switched anyway") << "switch";
    QTest::newRow("switch, copy refused") << "refused";
  }
  void rescueCopy() {
#ifndef Q_OS_UNIX
    QSKIP("a dangling link stands for a sync folder that is not mounted");
#else
    QFETCH(QString, when);
    FixedClock clock(QDateTime(QDate(2026, 12, 6), QTime(21, 7, 45)));
    list(DayPeriod::Soir).append(MakeReading("20:00", 125, 80, 66));
    const QByteArray soirBytes = SerializeMeasurementFile(list(DayPeriod::Soir).readings());
    const QString soir = paths_.measurementFile(DayPeriod::Soir);
    QVERIFY(QFile::link(home_->path() + "absent/soir.txt", soir));
    const QString rescue = soir + ".secours-20261206-210745";
    if (when == u"refused") {
      QVERIFY(QDir().mkpath(rescue));
    }
    QStringList written;
    if (when == u"end") {
      const SaveOutcome saved = SaveLogbook(*book_);
      QCOMPARE(saved.failed.size(), 1);
      written = WriteRescueCopies(*book_, saved);
    } else {
      QVERIFY(!SwitchPatient(*book_, "Autre").switched); // asked first
      const SwitchOutcome outcome = SwitchPatient(*book_, "Autre", true);
      QCOMPARE(outcome.switched, when == u"switch");
      QCOMPARE(outcome.rescueFailed.size(), when == u"switch" ? 0 : 1);
      QCOMPARE(list(DayPeriod::Soir).size(), when == u"switch" ? 0 : 1);
      written = outcome.rescueCopies;
    }
    if (when == u"refused") {
      QVERIFY(written.isEmpty());
      QCOMPARE(book_->patient(), QStringLiteral("Zoé Martin"));
      return;
    }
    QCOMPARE(written, QStringList{rescue});
    QCOMPARE(ReadFile(rescue), soirBytes);
    const StoreStartup startup = OpenStore(paths_);
    QCOMPARE(startup.rescueCopies, QStringList{rescue});
    QVERIFY(StoreStartupText(startup).contains(QDir::toNativeSeparators(rescue)));
#endif
  }

  // The meter's records kept by a trial read are a kind of the store: its
  // name is a record file's, start-up and saves leave it, and it is archived
  // with the lists.
  void meterRecordsFileIsAStoreKind() {
    FixedClock clock(QDateTime(QDate(2026, 12, 6), QTime(9, 5, 12)));
    const QString kept = paths_.dataFolder + "ARTL_Tensiometre_Zoé Martin.txt";
    QCOMPARE(MeterRecordsKind().path(paths_, patient_), kept);
    QVERIFY(IsStoreFileName(u"ARTL_Tensiometre_Zoé Martin.txt"));
    const QByteArray bytes = "1\r\n2026-12-05T08:00:00.000+01:00\r\n1e8000\r\n";
    QVERIFY(WriteFile(kept, bytes));
    QCOMPARE(OpenStore(paths_).temporariesRemoved, 0);
    list(DayPeriod::Matin).append(MakeReading("08:00", 125, 80, 66));
    QVERIFY(SaveLogbook(*book_).failed.isEmpty());
    QCOMPARE(ReadFile(kept), bytes);
    QCOMPARE(ArchiveLogbook(*book_).report,
             QStringLiteral("ARTL_Matin_Zoé Martin.txt a été archivé.\r\n"
                            "ARTL_Tensiometre_Zoé Martin.txt a été archivé.\r\n"));
    QVERIFY(!QFileInfo::exists(kept));
    QCOMPARE(ReadFile(paths_.archiveFolder + "06122026_0905_ARTL_Tensiometre_Zoé Martin.txt"),
             bytes);
  }

  // "Imprimer": one report per list holding readings, handed to the shell.
  // "Imprimer": one report per list holding readings, in the print folder.
  // The data destruction window may erase the archive and print folders
  // while the program runs: both are made again.
  void printAndFoldersErasedWhileRunning() {
    RecordingShell shell;
    FixedClock clock(QDateTime(QDate(2026, 12, 6), QTime(21, 7, 45)));
    QVERIFY(PrintLogbook(*book_).isEmpty());
    QVERIFY(QDir(paths_.archiveFolder).removeRecursively());
    QVERIFY(QDir(paths_.printFolder).removeRecursively());
    list(DayPeriod::Soir).append(CellsReading({"a", "20:00", "1", "2", "3", "x"}));

    const QString report = paths_.printFolder + "Imp_ARTL_Soir_Zoé Martin_06122026_210745.txt";
    QCOMPARE(PrintLogbook(*book_), QStringList{report});
    QVERIFY(shell.documents.isEmpty()); // the window opens it and says where it went
    QCOMPARE(ArchiveLogbook(*book_).report,
             QStringLiteral("ARTL_Soir_Zoé Martin.txt a été archivé.\r\n"));
    QVERIFY(QFileInfo::exists(paths_.archiveFolder + "06122026_2107_ARTL_Soir_Zoé Martin.txt"));
  }
};

QTEST_MAIN(TestLogbook)
#include "tst_logbook.moc"
