// The reading commands on the main window's controls: "Ajouter", "Effacer",
// the list menu (delete, details, modify), the averages and "Actualiser", the
// graph selectors, and snapshots of the averages page.
#include "driven_main_window.h"
#include "fakes.h"
#include "readings.h"

#include "common/app_state.h"
#include "common/paths.h"
#include "graphs/graph_canvas.h"
#include "graphs/graph_painter.h"
#include "logbook/workflows.h"
#include "measurements/classification.h"
#include "measurements/measurement_file.h"
#include "readings/reading_commands.h"
#include "ui/drawing.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTest>
#include <QTimeEdit>
#include <memory>

using namespace tl;
using namespace tl::test;

namespace {

using test::MakeReading;

const QString kIncomplete = QStringLiteral(
    "Vous n'avez pas rempli tous les champs de saisie pour ajouter les données au registre.");
// Every average value and count line.
const QList<ControlId> kAverageLabels = {
    ControlId::AverageValueMatin,  ControlId::AverageValueJour,    ControlId::AverageValueSoir,
    ControlId::AverageValueNuit,   ControlId::AverageValueOverall, ControlId::AverageCountMatin,
    ControlId::AverageCountJour,   ControlId::AverageCountSoir,    ControlId::AverageCountNuit,
    ControlId::AverageCountOverall};

const QString kDeleteQuestion =
    QStringLiteral("Êtes-vous sûr(e) de vouloir supprimer définitivement ces données ?");

} // namespace

class TestReadings : public QObject {
  Q_OBJECT

  std::unique_ptr<TempHome> home_;
  std::unique_ptr<FakeDialogs> dialogs_;
  std::unique_ptr<DrivenMainWindow> main_;
  std::unique_ptr<FixedClock> clock_;

  QString text(ControlId id) { return main_->get<QLabel>(id)->text(); }
  QString field(ControlId id) { return main_->get<QLineEdit>(id)->text(); }
  PeriodListModel &list(DayPeriod p) { return main_->lists().list(p); }
  QImage picture(ControlId id) { return main_->get<GraphCanvas>(id)->picture(); }
  QComboBox *combo(ControlId id) { return main_->get<QComboBox>(id); }
  // A choice the user makes in a selector: the window reacts to `activated`,
  // as its dispatch wires it, not to a change made by the program.
  void choose(ControlId id, int index) {
    combo(id)->setCurrentIndex(index);
    emit combo(id)->activated(index);
  }

private slots:
  void init() {
    home_ = std::make_unique<TempHome>();
    Paths() = SetupStorage(home_->path(), QStringLiteral("Jeanne Test"));
    dialogs_ = std::make_unique<FakeDialogs>();
    State() = AppState();
    clock_ = std::make_unique<FixedClock>(QDateTime(QDate(2026, 3, 14), QTime(8, 30)));
    main_ = std::make_unique<DrivenMainWindow>();
  }
  void cleanup() {
    QVERIFY(dialogs_->allAnswersUsed());
    main_.reset();
    clock_.reset();
    dialogs_.reset();
    home_.reset();
  }

  // Every change is on disk as soon as it is made: "Ajouter", a note, a
  // deletion. A list whose file cannot be written keeps its readings, and
  // the status bar says so until a save succeeds.
  void everyChangeSavedAtOnce() {
    const QString matin = Paths().measurementFile(DayPeriod::Matin);
    const QString soir = Paths().measurementFile(DayPeriod::Soir);
    const auto onDisk = [&](DayPeriod p) {
      return ReadFile(Paths().measurementFile(p)) == SerializeMeasurementFile(list(p).readings());
    };
    main_->typeReading("08:00", "128", "82", "71");
    AddReadingCommand(*main_);
    QVERIFY(onDisk(DayPeriod::Matin));

    main_->setCurrentTab(0);
    main_->selectRows(DayPeriod::Matin, {0});
    dialogs_->answerNote(QStringLiteral("café"), {true, false, false, false});
    EditReadingContexts(*main_);
    QVERIFY(QString::fromUtf8(ReadFile(Paths().contextFile)).contains(QStringLiteral("café")));

    QVERIFY(QDir().mkpath(soir)); // a folder where the Soir file goes
    main_->typeReading("20:00", "120", "80", "60");
    AddReadingCommand(*main_);
    QCOMPARE(list(DayPeriod::Soir).size(), 1);
    QCOMPARE(main_->statusText(5), QStringLiteral("Non enregistré : Soir"));
    QVERIFY(QDir().rmdir(soir));
    main_->typeReading("08:05", "130", "85", "70");
    AddReadingCommand(*main_);
    QVERIFY(onDisk(DayPeriod::Soir));
    QVERIFY(onDisk(DayPeriod::Matin));
    QVERIFY(!main_->statusText(5).startsWith(QStringLiteral("Non enregistré")));

    main_->selectRows(DayPeriod::Matin, {0, 1});
    dialogs_->answerYes();
    dialogs_->answerYes();
    DeleteMarkedReadings(*main_);
    QVERIFY(!QFileInfo::exists(matin));
    QVERIFY(!QFileInfo::exists(Paths().contextFile)); // the note went with its reading
  }

  // "Ajouter" on the window (the rules are the logbook's): the reading in
  // its list, the counts, emptied fields and refreshed averages and graphs.
  void addReading_data() {
    QTest::addColumn<QString>("time");
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<int>("period");
    QTest::addColumn<QStringList>("stored"); // systolic, diastolic, pulse, sentence
    const auto row = [](const char *name, const char *time, QStringList typed, DayPeriod p,
                        QStringList stored) {
      QTest::newRow(name) << QString::fromUtf8(time) << typed << PeriodIndex(p) << stored;
    };
    const QString normal = QStringLiteral(
        "La systole de 128 mmHg et la diastole de 82 mmHg, indiquent une Pression artérielle "
        "normale");
    row("05:40 is Nuit", "05:40", {"128", "82", "71"}, DayPeriod::Nuit,
        {"128", "82", "71", normal});
    row("numbers are stored as numbers", "08:00", {"0120", " 78 ", "64"}, DayPeriod::Matin,
        {"120", "78", "64",
         "La systole de 120 mmHg et la diastole de 78 mmHg, indiquent une Pression artérielle "
         "optimale"});
  }
  void addReading() {
    QFETCH(QString, time);
    QFETCH(QStringList, typed);
    QFETCH(int, period);
    QFETCH(QStringList, stored);
    dialogs_->setStrictMessages(true);
    const DayPeriod p = static_cast<DayPeriod>(period);

    main_->typeReading(time, typed[0], typed[1], typed[2]);
    AddReadingCommand(*main_);

    QCOMPARE(list(p).size(), 1);
    const Reading &r = list(p).reading(0);
    QCOMPARE(r[Reading::Date], QStringLiteral("14/03/2026"));
    QCOMPARE(r[Reading::Time], time);
    QCOMPARE(QStringList({r[2], r[3], r[4], r[5]}), stored);
    QCOMPARE(main_->lists().totalCount(), 1);

    QStringList counts = {"Matin : 0", "Jour : 0", "Soir : 0", "Nuit : 0"};
    counts[period] = PeriodInfo(p).statusLabel + QStringLiteral("1");
    QCOMPARE(main_->statusFields(), counts);

    for (ControlId id :
         {ControlId::SystolicField, ControlId::DiastolicField, ControlId::PulseField}) {
      QVERIFY(field(id).isEmpty());
    }
    const QString average =
        stored[0] + QStringLiteral(" / ") + stored[1] + QStringLiteral("\r\n") + stored[2];
    QCOMPARE(text(PeriodInfo(p).averageValue), average);
    QCOMPARE(text(PeriodInfo(p).averageCount), QStringLiteral("Base de 1 mesures"));
    QCOMPARE(text(ControlId::AverageValueOverall), average);
    QCOMPARE(text(ControlId::AverageCountOverall), QStringLiteral("Base de 1 mesures"));
    // The refresh draws the Matin graphs whatever the period of the reading.
    QVERIFY(!picture(ControlId::SystolicGraph).isNull());
    QCOMPARE(text(ControlId::SystolicGraphTitle), QStringLiteral("Relevés systoliques du matin"));
  }

  // An empty value field, or one that is no number, refuses the reading and
  // keeps what was typed.
  void addRefusesIncompleteInput_data() {
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<int>("focusField");
    QTest::addColumn<QString>("message");
    QTest::newRow("no pulse") << QStringList{"128", "82", ""} << ToInt(ControlId::PulseField)
                              << kIncomplete;
    QTest::newRow("no systolic") << QStringList{"", "82", "71"} << ToInt(ControlId::SystolicField)
                                 << kIncomplete;
    QTest::newRow("no diastolic") << QStringList{"128", "", "71"}
                                  << ToInt(ControlId::DiastolicField) << kIncomplete;
    QTest::newRow("nothing") << QStringList{"", "", ""} << ToInt(ControlId::SystolicField)
                             << kIncomplete;
    QTest::newRow("a letter O") << QStringList{"14O", "95", "70"} << ToInt(ControlId::SystolicField)
                                << QStringLiteral("La mesure systolique « 14O » n'est pas un "
                                                  "nombre : tapez seulement des chiffres pour "
                                                  "ajouter les données au registre.");
    QTest::newRow("a unit") << QStringList{"128", "82", "71 bpm"} << ToInt(ControlId::PulseField)
                            << QStringLiteral("La mesure du pouls « 71 bpm » n'est pas un "
                                              "nombre : tapez seulement des chiffres pour "
                                              "ajouter les données au registre.");
  }
  void addRefusesIncompleteInput() {
    QFETCH(QStringList, typed);
    QFETCH(int, focusField);
    QFETCH(QString, message);
    main_->show();
    QVERIFY(QTest::qWaitForWindowActive(main_.get()));
    SetLabelsToMarker();
    main_->typeReading(QStringLiteral("08:00"), typed[0], typed[1], typed[2]);
    AddReadingCommand(*main_);

    QCOMPARE(dialogs_->shown.size(), 1);
    const ShownBox box = dialogs_->shown.front();
    QCOMPARE(box.kind, ShownBox::Message);
    QCOMPARE(box.icon, Dialogs::Icon::Information);
    QCOMPARE(box.title, QStringLiteral("Erreur!"));
    QCOMPARE(box.text, message);
    QCOMPARE(main_->lists().totalCount(), 0);
    QCOMPARE(main_->statusUpdates, 0);
    QCOMPARE(QStringList({field(ControlId::SystolicField), field(ControlId::DiastolicField),
                          field(ControlId::PulseField)}),
             typed);
    QCOMPARE(QApplication::focusWidget(), main_->control(static_cast<ControlId>(focusField)));
    // The averages and graphs are refreshed all the same.
    QCOMPARE(text(ControlId::AverageCountMatin), QStringLiteral("Base de 0 mesures"));
    QVERIFY(!picture(ControlId::SystolicGraph).isNull());
  }

  // Entering a reading: Enter adds it as "Ajouter" does; the pickers come
  // back to now after each one and after ten minutes away; a reading of
  // another day is named; unusual values and a second copy are asked about.
  void entryCases_data() {
    QTest::addColumn<QString>("how"); // "Ajouter", "Enter" in a field, or "away" N minutes
    QTest::addColumn<int>("minutes");
    QTest::addColumn<QString>("pickers"); // date and time set before, "" to leave
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<int>("filed"); // readings in the lists afterwards (one is there)
    QTest::addColumn<QString>("pickersAfter");
    QTest::addColumn<QString>("note");
    QTest::addColumn<QString>("question"); // asked with "Non" by default, or ""
    const QString rights = RightsNotice(2026);
    const QString now = QStringLiteral("14/03/2026 08:30");
    const auto row = [](const char *name, const char *how, int minutes, const char *pickers,
                        QStringList typed, QList<bool> answers, int filed, QString after,
                        QString note, QString question = QString()) {
      QTest::newRow(name) << QString::fromUtf8(how) << minutes << QString::fromUtf8(pickers)
                          << typed << answers << filed << after << note << question;
    };
    const QString unusual =
        QStringLiteral("Valeurs inhabituelles : 14/95. Enregistrer quand même ?");
    const QString copy = QStringLiteral(
        "Le relevé du 14/03/2026 à 07:00 (110/70, pouls 60) est déjà dans la liste Matin. "
        "L'ajouter une seconde fois ?");
    const QStringList usual = {"128", "82", "71"};
    row("Enter in the systolic field", "Enter", ToInt(ControlId::SystolicField), "", usual, {}, 2,
        now, rights);
    row("Enter in the pulse field", "Enter", ToInt(ControlId::PulseField), "", usual, {}, 2, now,
        rights);
    row("the evening before", "Ajouter", 0, "13/03/2026 20:15", usual, {}, 2, now,
        "Relevé enregistré au 13/03/2026, pas aujourd'hui");
    row("pickers back to now", "Ajouter", 0, "14/03/2026 07:50", usual, {}, 2, now, rights);
    row("bounds are usual", "Ajouter", 0, "", {"260", "30", "220"}, {}, 2, now, rights);
    row("lowest bounds", "Ajouter", 0, "", {"60", "30", "30"}, {}, 2, now, rights);
    row("unusual, Non", "Ajouter", 0, "", {"14", "95", "70"}, {false}, 1, now, rights, unusual);
    row("unusual, Oui", "Ajouter", 0, "", {"14", "95", "70"}, {true}, 2, now, rights, unusual);
    row("pulse too low", "Ajouter", 0, "", {"128", "82", "29"}, {false}, 1, now, rights,
        QStringLiteral("Valeurs inhabituelles : 128/82. Enregistrer quand même ?"));
    row("diastolic not below", "Ajouter", 0, "", {"90", "90", "70"}, {false}, 1, now, rights,
        QStringLiteral("Valeurs inhabituelles : 90/90. Enregistrer quand même ?"));
    row("a second copy, Non", "Ajouter", 0, "14/03/2026 07:00", {"110", "70", "60"}, {false}, 1,
        "14/03/2026 07:00", rights, copy);
    row("a second copy, Oui", "Ajouter", 0, "14/03/2026 07:00", {"110", "70", "60"}, {true}, 2, now,
        rights, copy);
    row("another minute is no copy", "Ajouter", 0, "14/03/2026 07:01", {"110", "70", "60"}, {}, 2,
        now, rights);
    row("eleven minutes away", "away", 11, "13/03/2026 20:15", {}, {}, 1, "14/03/2026 08:41",
        rights);
    row("nine minutes away", "away", 9, "13/03/2026 20:15", {}, {}, 1, "13/03/2026 20:15", rights);
  }
  void entryCases() {
    QFETCH(QString, how);
    QFETCH(int, minutes);
    QFETCH(QString, pickers);
    QFETCH(QStringList, typed);
    QFETCH(QList<bool>, answers);
    QFETCH(int, filed);
    QFETCH(QString, pickersAfter);
    QFETCH(QString, note);
    QFETCH(QString, question);
    list(DayPeriod::Matin).append(MakeReading(QStringLiteral("07:00"), 110, 70, 60));
    auto *date = main_->get<QDateEdit>(ControlId::DateField);
    auto *time = main_->get<QTimeEdit>(ControlId::TimeField);
    const auto shown = [&] {
      return date->date().toString(QStringLiteral("dd/MM/yyyy")) + u' ' +
             time->time().toString(QStringLiteral("HH:mm"));
    };
    const auto setPickers = [&](const QString &at) {
      const QDateTime when = QDateTime::fromString(at, QStringLiteral("dd/MM/yyyy HH:mm"));
      date->setDate(when.date());
      time->setTime(when.time());
    };
    setPickers(pickers.isEmpty() ? QStringLiteral("14/03/2026 08:30") : pickers);
    for (bool yes : answers) {
      yes ? dialogs_->answerYes() : dialogs_->answerNo();
    }
    main_->show();
    QVERIFY(QTest::qWaitForWindowActive(main_.get()));

    if (how == QStringLiteral("away")) {
      QWidget elsewhere;
      elsewhere.show();
      elsewhere.activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
      clock_->advanceSeconds(minutes * 60);
      elsewhere.hide();
      main_->activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(main_.get()));
    } else {
      main_->get<QLineEdit>(ControlId::SystolicField)->setText(typed[0]);
      main_->get<QLineEdit>(ControlId::DiastolicField)->setText(typed[1]);
      main_->get<QLineEdit>(ControlId::PulseField)->setText(typed[2]);
      if (how == QStringLiteral("Enter")) {
        QWidget *field = main_->control(static_cast<ControlId>(minutes));
        field->setFocus();
        QTest::keyClick(field, Qt::Key_Return);
      } else {
        emit main_->button(ControlId::ButtonAdd)->clicked();
      }
    }

    QVERIFY(dialogs_->allAnswersUsed());
    QCOMPARE(dialogs_->shown.size(), question.isEmpty() ? 0 : 1);
    if (!question.isEmpty()) {
      QCOMPARE(dialogs_->shown[0].text, question);
      QCOMPARE(dialogs_->shown[0].byDefault, Dialogs::Default::No);
    }
    QCOMPARE(main_->lists().totalCount(), filed);
    QCOMPARE(shown(), pickersAfter);
    QCOMPARE(main_->statusText(5), note);
    // Typing goes on in the first value field; a declined reading is still there.
    QCOMPARE(QApplication::focusWidget(), main_->control(ControlId::SystolicField));
    if (!typed.isEmpty()) {
      QCOMPARE(field(ControlId::SystolicField).isEmpty(), filed == 2);
    }
  }

  void clearEmptiesValuesOnly() {
    main_->typeReading(QStringLiteral("20:15"), "128", "82", "71");
    const QDate day = main_->get<QDateEdit>(ControlId::DateField)->date();
    ClearInputCommand(*main_);
    QVERIFY(field(ControlId::SystolicField).isEmpty());
    QVERIFY(field(ControlId::DiastolicField).isEmpty());
    QVERIFY(field(ControlId::PulseField).isEmpty());
    QCOMPARE(main_->get<QDateEdit>(ControlId::DateField)->date(), day);
    QCOMPARE(main_->get<QTimeEdit>(ControlId::TimeField)->time(), QTime(20, 15));
    QVERIFY(dialogs_->shown.isEmpty());
  }

  // Delete asks once per marked row, in list order; each answer counts.
  void deleteAsksPerMarkedRow_data() {
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QList<int>>("checked");
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<QStringList>("remaining"); // systolic cells left
    QTest::newRow("yes no yes") << QList<int>{0, 2} << QList<int>{3}
                                << QList<bool>{true, false, true} << QStringList{"111", "112"};
    QTest::newRow("two adjacent selected, both yes")
        << QList<int>{1, 2} << QList<int>{} << QList<bool>{true, true} << QStringList{"110", "113"};
    QTest::newRow("checked but not selected")
        << QList<int>{} << QList<int>{1} << QList<bool>{true} << QStringList{"110", "112", "113"};
    QTest::newRow("selected and checked asks once")
        << QList<int>{3} << QList<int>{3} << QList<bool>{true} << QStringList{"110", "111", "112"};
    QTest::newRow("all no") << QList<int>{0, 1} << QList<int>{} << QList<bool>{false, false}
                            << QStringList{"110", "111", "112", "113"};
  }
  void deleteAsksPerMarkedRow() {
    QFETCH(QList<int>, selected);
    QFETCH(QList<int>, checked);
    QFETCH(QList<bool>, answers);
    QFETCH(QStringList, remaining);
    for (int i = 0; i < 4; ++i) {
      list(DayPeriod::Matin).append(MakeReading(QStringLiteral("08:00"), 110 + i, 80, 70));
    }
    for (int r : checked) {
      list(DayPeriod::Matin).setChecked(r, true);
    }
    main_->selectRows(DayPeriod::Matin, selected);
    main_->setCurrentTab(0);
    SetLabelsToMarker();
    for (bool yes : answers) {
      yes ? dialogs_->answerYes() : dialogs_->answerNo();
    }

    DeleteMarkedReadings(*main_);

    QCOMPARE(dialogs_->shown.size(), answers.size());
    for (const ShownBox &box : dialogs_->shown) {
      QCOMPARE(box.kind, ShownBox::YesNo);
      QCOMPARE(box.icon, Dialogs::Icon::Warning);
      QCOMPARE(box.title, QStringLiteral("Suppression"));
      QCOMPARE(box.text, kDeleteQuestion);
    }
    QStringList left;
    for (const Reading &r : list(DayPeriod::Matin).readings()) {
      left << r[Reading::Systolic];
    }
    QCOMPARE(left, remaining);
    const bool anyDeleted = answers.contains(true);
    if (anyDeleted) {
      QCOMPARE(main_->statusFields()[0],
               QStringLiteral("Matin : ") + QString::number(remaining.size()));
    } else {
      QCOMPARE(main_->statusUpdates, 0);
    }
    QCOMPARE(text(ControlId::AverageCountMatin),
             anyDeleted ? QStringLiteral("Base de %1 mesures").arg(remaining.size())
                        : QStringLiteral("marker"));
  }

  // Deleting a list's only reading removes its file, read-only or not; a
  // refused deletion keeps both.
  void deletingTheOnlyReadingRemovesItsFile_data() {
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<bool>("yes");
    QTest::newRow("plain file") << false << true;
    QTest::newRow("read-only file") << true << true;
    QTest::newRow("refused") << false << false;
  }
  void deletingTheOnlyReadingRemovesItsFile() {
    QFETCH(bool, readOnly);
    QFETCH(bool, yes);
    list(DayPeriod::Nuit).append(MakeReading(QStringLiteral("05:40"), 128, 82, 71));
    list(DayPeriod::Soir).append(MakeReading(QStringLiteral("20:00"), 128, 82, 71));
    QCOMPARE(SaveLogbook(main_->logbook()).written, 2);
    const QString nuit = Paths().measurementFile(DayPeriod::Nuit);
    const QString soir = Paths().measurementFile(DayPeriod::Soir);
    QVERIFY(nuit.endsWith(QStringLiteral("/ARTL_Nuit_Jeanne Test.txt")));
    if (readOnly) {
      QFile::setPermissions(nuit, QFileDevice::ReadOwner | QFileDevice::ReadUser);
    }
    main_->setCurrentTab(3);
    main_->selectRows(DayPeriod::Nuit, {0});
    yes ? dialogs_->answerYes() : dialogs_->answerNo();

    DeleteMarkedReadings(*main_);

    QCOMPARE(list(DayPeriod::Nuit).size(), yes ? 0 : 1);
    QCOMPARE(QFile::exists(nuit), !yes);
    QVERIFY(QFile::exists(soir));
    if (!yes) {
      return;
    }
    QCOMPARE(main_->statusFields()[3], QStringLiteral("Nuit : 0"));
    QCOMPARE(text(ControlId::AverageValueNuit), QString());
    QCOMPARE(text(ControlId::AverageCountNuit), QStringLiteral("Base de 0 mesures"));
    QCOMPARE(text(ControlId::AverageCountOverall), QStringLiteral("Base de 1 mesures"));
  }

  void detailsOfSelectedRows() {
    list(DayPeriod::Jour).append(MakeReading(QStringLiteral("14:05"), 135, 70, 66));
    list(DayPeriod::Jour).append(MakeReading(QStringLiteral("15:10"), 121, 70, 60));
    list(DayPeriod::Jour).append(MakeReading(QStringLiteral("16:20"), 90, 60, 58));
    list(DayPeriod::Jour).setChecked(0, true); // a check mark alone does not count
    main_->setCurrentTab(1);
    main_->selectRows(DayPeriod::Jour, {2, 1});

    ShowReadingDetails(*main_);

    QCOMPARE(dialogs_->shown.size(), 2);
    const ShownBox box = dialogs_->shown[0];
    QCOMPARE(box.kind, ShownBox::Message);
    QCOMPARE(box.icon, Dialogs::Icon::Information);
    QCOMPARE(box.title, QStringLiteral("Détails tension"));
    QCOMPARE(box.text, QStringLiteral("Date : 14/03/2026  Heure : 15:10\n\r"
                                      "Systolique : 121\n\r"
                                      "Diastolique : 70\n\r"
                                      "Pouls : 60\n\r"
                                      "Diagnostic : La systole de 121 mmHg et la diastole de 70 "
                                      "mmHg, indiquent une Pression artérielle normale\n\r"));
    QVERIFY(dialogs_->shown[1].text.startsWith(QStringLiteral("Date : 14/03/2026  Heure : 16:20")));
  }

  // View and modify ignore rows that are only checked.
  void checkedOnlyRowsIgnoredByViewAndModify() {
    list(DayPeriod::Soir).append(MakeReading(QStringLiteral("19:00"), 128, 82, 71));
    list(DayPeriod::Soir).setChecked(0, true);
    main_->setCurrentTab(2);
    ShowReadingDetails(*main_);
    ModifyReadingCell(*main_, Reading::Systolic);
    QVERIFY(dialogs_->shown.isEmpty());
    QCOMPARE(list(DayPeriod::Soir).reading(0)[Reading::Systolic], QStringLiteral("128"));
  }

  // Each row is asked and told about in turn: the first moves, the second is
  // still the one asked about; a refused text says why.
  void modifyAsksRowByRow() {
    list(DayPeriod::Matin).append(MakeReading(QStringLiteral("08:00"), 128, 82, 71));
    list(DayPeriod::Matin).append(MakeReading(QStringLiteral("09:00"), 130, 84, 72));
    main_->setCurrentTab(0);
    main_->selectRows(DayPeriod::Matin, {1, 0});
    dialogs_->answerText(QStringLiteral("13:00"));
    dialogs_->answerText(QStringLiteral("9h"));

    ModifyReadingCell(*main_, Reading::Time);

    QCOMPARE(dialogs_->shown.size(), 4);
    QCOMPARE(dialogs_->shown[0].initial, QStringLiteral("08:00"));
    QCOMPARE(dialogs_->shown[1].text,
             QStringLiteral("Le relevé de 13:00 a été déplacé dans la liste « Jour, entre 12h00 "
                            "et 18h00 »."));
    QCOMPARE(dialogs_->shown[2].initial, QStringLiteral("09:00"));
    QCOMPARE(dialogs_->shown[3].text,
             QStringLiteral("« 9h » n'est pas une heure : écrivez les heures et les minutes sous "
                            "la forme hh:mm, par exemple 08:30.\n\nLe relevé n'a pas changé."));
    QCOMPARE(list(DayPeriod::Jour).size(), 1);
  }

  // "Modifier..." on the window: what is accepted reaches the list, the
  // sentence, the counts, the averages and the graphs at once; what is
  // refused changes nothing.
  void corrections_data() {
    QTest::addColumn<int>("cell");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("matinAverage"); // "": no reading left in Matin
    QTest::addColumn<QString>("diagnosis");    // of the corrected reading
    QTest::addColumn<QStringList>("counts");
    QTest::addColumn<bool>("curveChanges"); // the Matin diastolic curve
    const QString before = QStringLiteral("120 / 68\r\n70");
    const QString optimal = DiagnosisSentence(120, 68);
    const QStringList stay = {"Matin : 2", "Jour : 0", "Soir : 0", "Nuit : 0"};
    const auto row = [](const char *name, int cell, const char *answer, QString average,
                        QString diagnosis, QStringList counts, bool curve = false) {
      QTest::newRow(name) << cell << QString::fromUtf8(answer) << average << diagnosis << counts
                          << curve;
    };
    row("diastolic 86", Reading::Diastolic, "86", "120 / 77\r\n70", DiagnosisSentence(120, 86),
        stay, true);
    row("diastolic typed after the old one", Reading::Diastolic, "6886", before, optimal, stay);
    row("systolic 160", Reading::Systolic, "160", "140 / 68\r\n70", DiagnosisSentence(160, 68),
        stay);
    row("systolic no number", Reading::Systolic, "16O", before, optimal, stay);
    row("pulse", Reading::Pulse, "80", "120 / 68\r\n75", optimal, stay);
    row("date", Reading::Date, "13/03/2026", before, optimal, stay);
    row("short date", Reading::Date, "8/12/26", before, optimal, stay);
    row("time to the evening", Reading::Time, "19:30", "120 / 68\r\n70", optimal,
        {"Matin : 1", "Jour : 0", "Soir : 1", "Nuit : 0"}, true);
    row("no such time", Reading::Time, "9h30", before, optimal, stay);
    row("no such day", Reading::Date, "31/02/2026", before, optimal, stay);
    row("pulse out of range", Reading::Pulse, "250", before, optimal, stay);
    row("cancelled", Reading::Systolic, "", before, optimal, stay);
  }
  void corrections() {
    QFETCH(int, cell);
    QFETCH(QString, answer);
    QFETCH(QString, matinAverage);
    QFETCH(QString, diagnosis);
    QFETCH(QStringList, counts);
    QFETCH(bool, curveChanges);
    list(DayPeriod::Matin).append(MakeReading(QStringLiteral("08:00"), 120, 68, 70));
    list(DayPeriod::Matin).append(MakeReading(QStringLiteral("09:00"), 120, 68, 70));
    RefreshAveragesAndGraphs(*main_);
    main_->updateStatusCounts();
    const QImage graph = picture(ControlId::DiastolicGraph);

    main_->setCurrentTab(0);
    main_->selectRows(DayPeriod::Matin, {1});
    dialogs_->answerText(answer);
    ModifyReadingCell(*main_, cell);

    const ShownBox input = dialogs_->shown.value(0);
    QCOMPARE(input.title, QStringLiteral("Modifier ") + ReadingColumnTitles()[size_t(cell)]);
    QCOMPARE(input.initial, MakeReading(QStringLiteral("09:00"), 120, 68, 70)[cell]);
    QCOMPARE(text(ControlId::AverageValueMatin), matinAverage);
    QCOMPARE(main_->statusFields(), counts);
    const Reading &corrected = counts[2] == QStringLiteral("Soir : 1")
                                   ? list(DayPeriod::Soir).reading(0)
                                   : list(DayPeriod::Matin).reading(1);
    QCOMPARE(corrected[Reading::Diagnosis], diagnosis);
    // The curves are redrawn through the same refresh as "Ajouter".
    QCOMPARE(picture(ControlId::DiastolicGraph) != graph, curveChanges);
  }

  void averageTexts() {
    list(DayPeriod::Matin).append(MakeReading(QStringLiteral("08:00"), 120, 80, 70));
    list(DayPeriod::Matin).append(MakeReading(QStringLiteral("09:00"), 121, 81, 71));
    for (int i = 0; i < 4; ++i) {
      list(DayPeriod::Soir).append(MakeReading(QStringLiteral("20:00"), 100, 60, 60));
    }
    list(DayPeriod::Nuit).append(MakeReading(QStringLiteral("03:00"), 160, 90, 90));
    RefreshAverages(*main_);
    QCOMPARE(text(ControlId::AverageValueMatin), QStringLiteral("120 / 80\r\n70"));
    QCOMPARE(text(ControlId::AverageCountMatin), QStringLiteral("Base de 2 mesures"));
    QCOMPARE(text(ControlId::AverageValueJour), QString());
    QCOMPARE(text(ControlId::AverageCountJour), QStringLiteral("Base de 0 mesures"));
    QCOMPARE(text(ControlId::AverageValueSoir), QStringLiteral("100 / 60\r\n60"));
    QCOMPARE(text(ControlId::AverageValueNuit), QStringLiteral("160 / 90\r\n90"));
    QCOMPARE(text(ControlId::AverageCountNuit), QStringLiteral("Base de 1 mesures"));
    // (120 + 121 + 400 + 160) / 7 = 114.4: weighted by readings, truncated.
    QCOMPARE(text(ControlId::AverageValueOverall), QStringLiteral("114 / 70\r\n67"));
    QCOMPARE(text(ControlId::AverageCountOverall), QStringLiteral("Base de 7 mesures"));

    // The refresh after an add or delete writes the same texts.
    QStringList texts;
    for (ControlId id : kAverageLabels) {
      texts << text(id);
    }
    SetLabelsToMarker();
    RefreshAveragesAndGraphs(*main_);
    for (qsizetype i = 0; i < kAverageLabels.size(); ++i) {
      QCOMPARE(text(kAverageLabels[i]), texts[i]);
    }
  }

  void refreshBringsTheGraphsBackToMatin() {
    list(DayPeriod::Soir).append(MakeReading(QStringLiteral("20:00"), 130, 85, 75));
    choose(ControlId::GraphPeriodSelector, 2);
    QCOMPARE(State().graphPeriod, DayPeriod::Soir);
    QCOMPARE(text(ControlId::PulseGraphTitle), QStringLiteral("Relevés du pouls du soir"));

    RefreshAveragesAndGraphs(*main_);
    QCOMPARE(combo(ControlId::GraphPeriodSelector)->currentIndex(), 0);
    QCOMPARE(State().graphPeriod, DayPeriod::Matin);
    QCOMPARE(text(ControlId::SystolicGraphTitle), QStringLiteral("Relevés systoliques du matin"));
    QCOMPARE(text(ControlId::DiastolicGraphTitle), QStringLiteral("Relevés diastoliques du matin"));
    QCOMPARE(text(ControlId::PulseGraphTitle), QStringLiteral("Relevés du pouls du matin"));
    // The empty Matin list still gives background, axes and grid.
    const QImage graph = picture(ControlId::PulseGraph);
    QCOMPARE(graph.pixelColor(2, 2), QColor(255, 255, 255));
  }

  // The period selector draws a period that has readings, and leaves the
  // graphs and titles of the previous one for an empty period.
  void periodSelector_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("redrawn");
    QTest::addColumn<QString>("pulseTitle");
    QTest::newRow("Jour has readings") << 1 << true << "Relevés du pouls de l'après-midi";
    QTest::newRow("Soir is empty") << 2 << false << "Relevés du pouls de la nuit";
    QTest::newRow("Matin is empty") << 0 << false << "Relevés du pouls de la nuit";
  }
  void periodSelector() {
    QFETCH(int, index);
    QFETCH(bool, redrawn);
    QFETCH(QString, pulseTitle);
    list(DayPeriod::Jour).append(MakeReading(QStringLiteral("14:00"), 150, 95, 80));
    list(DayPeriod::Nuit).append(MakeReading(QStringLiteral("03:00"), 110, 70, 60));
    list(DayPeriod::Nuit).append(MakeReading(QStringLiteral("04:00"), 115, 75, 62));
    choose(ControlId::GraphPeriodSelector, 3);
    const QImage nuit = picture(ControlId::SystolicGraph);
    QVERIFY(!nuit.isNull());
    QCOMPARE(text(ControlId::SystolicGraphTitle),
             QStringLiteral("Relevés systoliques de la nuit "));

    GraphPeriodChosen(*main_, index);
    QCOMPARE(State().graphPeriod, static_cast<DayPeriod>(index));
    QCOMPARE(picture(ControlId::SystolicGraph) != nuit, redrawn);
    QCOMPARE(text(ControlId::PulseGraphTitle), pulseTitle);
  }

  void curveStyleSelector() {
    list(DayPeriod::Jour).append(MakeReading(QStringLiteral("14:00"), 150, 95, 80));
    list(DayPeriod::Jour).append(MakeReading(QStringLiteral("15:00"), 140, 85, 70));
    choose(ControlId::GraphPeriodSelector, 1);
    const QImage circled = picture(ControlId::DiastolicGraph);

    choose(ControlId::CurveStyleSelector, 0);
    QCOMPARE(State().curveStyle, 1);
    const QImage lines = picture(ControlId::DiastolicGraph);
    QVERIFY(lines != circled);
    QCOMPARE(text(ControlId::DiastolicGraphTitle),
             QStringLiteral("Relevés diastoliques de l'après-midi"));

    // With the selector on an empty period the style changes, nothing is drawn.
    {
      const QSignalBlocker quiet(combo(ControlId::GraphPeriodSelector));
      combo(ControlId::GraphPeriodSelector)->setCurrentIndex(2);
    }
    choose(ControlId::CurveStyleSelector, 1);
    QCOMPARE(State().curveStyle, 2);
    QCOMPARE(State().graphPeriod, DayPeriod::Soir);
    QCOMPARE(picture(ControlId::DiastolicGraph), lines);
    CurveStyleChosen(*main_, -1);
    QCOMPARE(State().curveStyle, 2);
  }

  // With no style stored, the graphs use the style the selector shows.
  void noStoredStyleDrawsTheSelectorsStyle_data() {
    QTest::addColumn<int>("selectorIndex");
    QTest::newRow("selector on its default third entry") << 2;
    QTest::newRow("selector on lines only") << 0;
  }
  void noStoredStyleDrawsTheSelectorsStyle() {
    QFETCH(int, selectorIndex);
    {
      const QSignalBlocker quiet(combo(ControlId::CurveStyleSelector));
      combo(ControlId::CurveStyleSelector)->setCurrentIndex(selectorIndex);
    }
    list(DayPeriod::Matin).append(MakeReading(QStringLiteral("08:00"), 120, 80, 70));
    list(DayPeriod::Matin).append(MakeReading(QStringLiteral("09:00"), 140, 90, 75));
    State().curveStyle = 0;
    RefreshAveragesAndGraphs(*main_);
    const QImage expected = PaintGraph(std::vector<qint64>{120, 140}, QSize(752, 150), 1.0,
                                       SystolicCurveColour(), selectorIndex + 1, false);
    QCOMPARE(picture(ControlId::SystolicGraph), expected);
    QCOMPARE(State().curveStyle, 0); // what the preferences stored is left alone
  }

  void darkAppearanceBackground() {
    State().darkAppearance = true;
    list(DayPeriod::Matin).append(MakeReading(QStringLiteral("08:00"), 120, 80, 70));
    RefreshAveragesAndGraphs(*main_);
    for (ControlId id :
         {ControlId::SystolicGraph, ControlId::DiastolicGraph, ControlId::PulseGraph}) {
      QCOMPARE(picture(id).pixelColor(2, 2), QColor(32, 32, 32));
      QCOMPARE(picture(id).pixelColor(10, 75), QColor(0, 0, 0));
    }
  }

  // The averages page as a user sees it, in each curve style and dark.
  void snapshots_data() {
    QTest::addColumn<int>("style");
    QTest::addColumn<bool>("dark");
    QTest::newRow("lines") << 1 << false;
    QTest::newRow("values") << 2 << false;
    QTest::newRow("circled") << 3 << false;
    QTest::newRow("circled-dark") << 3 << true;
  }
  void snapshots() {
    QFETCH(int, style);
    QFETCH(bool, dark);
    State().curveStyle = style;
    State().darkAppearance = dark;
    {
      const QSignalBlocker quiet(combo(ControlId::CurveStyleSelector));
      combo(ControlId::CurveStyleSelector)->setCurrentIndex(style - 1);
    }
    const qint64 s[] = {128, 135, 121, 142, 118, 131, 125, 139, 122, 147, 127, 133};
    const qint64 d[] = {82, 88, 76, 91, 74, 85, 80, 87, 79, 95, 81, 84};
    const qint64 p[] = {71, 68, 75, 80, 66, 72, 70, 77, 69, 83, 73, 74};
    for (int i = 0; i < 12; ++i) {
      list(DayPeriod::Matin)
          .append(MakeReading(QStringLiteral("%1:15").arg(7 + i % 5, 2, 10, QLatin1Char('0')), s[i],
                              d[i], p[i]));
    }
    list(DayPeriod::Nuit).append(MakeReading(QStringLiteral("05:40"), 128, 82, 71));
    main_->setCurrentTab(4);
    main_->show();
    QVERIFY(QTest::qWaitForWindowExposed(main_.get()));
    RefreshAveragesAndGraphs(*main_);
    const QString name = QStringLiteral("readings-averages-%1.png").arg(QTest::currentDataTag());
    QVERIFY(main_->averagesPage()->grab().save(SnapshotFolder() + name));
  }

private:
  void SetLabelsToMarker() {
    for (ControlId id : kAverageLabels) {
      main_->get<QLabel>(id)->setText(QStringLiteral("marker"));
    }
  }
};

QTEST_MAIN(TestReadings)
#include "tst_readings.moc"
