#include "app/commands.h"

#include "app/feature_calls.h"
#include "app/main_window.h"
#include "app/series_companion.h"
#include "common/app_state.h"
#include "common/paths.h"
#include "logbook/workflows.h"
#include "platform/dialogs.h"
#include "readings/reading_commands.h"
#include "ui/documents.h"
#include "ui/drawing.h"
#include "ui/read_only.h"

#include <QComboBox>
#include <QCursor>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QStringList>
#include <QTableView>

namespace tl {

namespace {

const QString kSaveTitle = QStringLiteral("Sauvegarde");
const QString kArchiveTitle = QStringLiteral("Archivage");

// The menu of a drawn button opens at the mouse cursor; when the button was
// pressed from the keyboard (the cursor is elsewhere), just under the button.
void OpenPopup(MainWindow &main, ControlId menu, ControlId button) {
  QMenu *m = main.menu(menu);
  if (!m) {
    return;
  }
  QPoint at = QCursor::pos();
  if (DrawnButton *b = main.button(button)) {
    if (!b->rect().contains(b->mapFromGlobal(at))) {
      at = b->mapToGlobal(b->rect().bottomLeft());
    }
  }
  m->popup(at);
}

// The list menu's actions without the mouse: Delete deletes the marked
// readings as the menu's "Supprimer les données" does; the Menu key and
// Shift+F10 open the menu at the current row.
void ConnectListKeys(MainWindow &main, QTableView *view) {
  auto *remove = new QShortcut(QKeySequence(Qt::Key_Delete), view);
  remove->setContext(Qt::WidgetShortcut);
  QObject::connect(remove, &QShortcut::activated, &main,
                   [&main] { RunMenuCommand(main, ToInt(ControlId::MenuDelete)); });
  for (const QKeySequence &keys :
       {QKeySequence(Qt::Key_Menu), QKeySequence(Qt::SHIFT | Qt::Key_F10)}) {
    auto *open = new QShortcut(keys, view);
    open->setContext(Qt::WidgetShortcut);
    QObject::connect(open, &QShortcut::activated, view, [view] {
      QRect row = view->visualRect(view->currentIndex());
      if (!row.isValid()) {
        row = QRect(0, 0, 1, 1);
      }
      emit view->customContextMenuRequested(row.center()); // viewport coordinates
    });
  }
}

void OpenPatientManager(MainWindow &main) {
  // Closing the patient manager with no patient in use ends the program,
  // without saving (there is nothing of a patient to save).
  if (!RunPatientManager(main, false) && State().currentPatient.isEmpty()) {
    main.closeWithoutSaving();
  }
}

} // namespace

int ButtonMenuId(ControlId button) {
  switch (button) {
  case ControlId::ButtonQuit:
    return ToInt(ShortcutId::Quit);
  case ControlId::ButtonPatient:
    return ToInt(ShortcutId::Patient);
  case ControlId::ButtonSave:
    return ToInt(ShortcutId::Save);
  case ControlId::ButtonPrint:
    return ToInt(ShortcutId::Print);
  case ControlId::ButtonAbout:
    return ToInt(ShortcutId::About);
  case ControlId::ButtonSettings:
    return ToInt(ShortcutId::Preferences);
  case ControlId::ButtonPin:
    return ToInt(ShortcutId::Pin);
  case ControlId::ButtonDelete:
    return ToInt(ShortcutId::Destruction);
  default:
    return 0;
  }
}

namespace {

// Whether a command changes the data folder's files. The series commands,
// reached from the tray and the series line too, guard themselves.
bool ChangesFiles(int id) {
  switch (id) {
  case ToInt(ControlId::ButtonAdd):
  case ToInt(ControlId::MenuDelete):
  case ToInt(ControlId::MenuModifyDate):
  case ToInt(ControlId::MenuModifyTime):
  case ToInt(ControlId::MenuModifySystolic):
  case ToInt(ControlId::MenuModifyDiastolic):
  case ToInt(ControlId::MenuModifyPulse):
  case ToInt(ControlId::MenuNote):
  case ToInt(ControlId::MenuImportCsv):
  case ToInt(ShortcutId::ImportCsv):
  case ToInt(ControlId::MenuReadMeter):
  case ToInt(ShortcutId::ReadMeter):
  case ToInt(ControlId::MenuArchiveLists):
  case ToInt(ShortcutId::Archive):
  case ToInt(ShortcutId::Save):
  case ToInt(ShortcutId::Print): // the reports go to the print folder
  case ToInt(ShortcutId::Preferences):
  case ToInt(ShortcutId::Destruction):
    return true;
  default:
    return false;
  }
}

// Refuses, with a word, a command that would change the files of a data
// folder opened read-only.
bool RefusedReadOnly(MainWindow &main, int id) {
  return ChangesFiles(id) && RefusedWhileReadOnly(main.window());
}

} // namespace

void RunButtonCommand(MainWindow &main, ControlId button) {
  if (RefusedReadOnly(main, ToInt(button))) {
    return;
  }
  switch (button) {
  case ControlId::ButtonArchive:
    OpenPopup(main, ControlId::ArchiveMenu, ControlId::ButtonArchive);
    return;
  case ControlId::ButtonHelp:
    OpenPopup(main, ControlId::HelpMenu, ControlId::ButtonHelp);
    return;
  case ControlId::ButtonAdd:
    AddReadingCommand(main);
    return;
  case ControlId::ButtonClear:
    ClearInputCommand(main);
    return;
  default:
    if (const int id = ButtonMenuId(button)) {
      RunMenuCommand(main, id);
    }
  }
}

// The command alone, without the focus afterwards.
void RunMenuCommandOnly(MainWindow &main, int id);

namespace {

// Whether the command opens a window or box of its own, after which typing
// goes on in the first value field (never on a command button, where Enter
// would press it). The About window stays open beside the main window and
// keeps the keyboard; "Quitter" and "Epingler" open nothing.
bool OpensSecondaryWindow(int id) {
  switch (id) {
  case ToInt(ShortcutId::Quit):
  case ToInt(ShortcutId::About):
  case ToInt(ShortcutId::Pin):
  case ToInt(ShortcutId::Copy):
    return false;
  default:
    return true;
  }
}

void ReturnToFirstValueField(MainWindow &main) {
  if (main.isShutDown()) {
    return;
  }
  if (QWidget *field = main.control(ControlId::SystolicField)) {
    field->setFocus(Qt::OtherFocusReason);
  }
}

} // namespace

void RunMenuCommand(MainWindow &main, int id) {
  RunMenuCommandOnly(main, id);
  // Whatever changed the notes and flags (a note, a change of cells, an
  // import, another patient), the lists show it.
  main.refreshContextMarks();
  if (OpensSecondaryWindow(id)) {
    ReturnToFirstValueField(main);
  }
}

void RunMenuCommandOnly(MainWindow &main, int id) {
  if (RefusedReadOnly(main, id)) {
    return;
  }
  switch (id) {
  case ToInt(ControlId::MenuDelete):
    DeleteMarkedReadings(main);
    break;
  case ToInt(ControlId::MenuShow):
    ShowReadingDetails(main);
    break;
  case ToInt(ControlId::MenuModifyDate):
  case ToInt(ControlId::MenuModifyTime):
  case ToInt(ControlId::MenuModifySystolic):
  case ToInt(ControlId::MenuModifyDiastolic):
  case ToInt(ControlId::MenuModifyPulse):
    ModifyReadingCell(main, id - ToInt(ControlId::MenuModifyDate));
    break;
  case ToInt(ControlId::MenuNote):
    EditReadingContexts(main);
    break;
  case ToInt(ControlId::MenuOpenHelp):
  case ToInt(ShortcutId::Help):
    OpenHelpFile(&main);
    break;
  case ToInt(ControlId::MenuOpenForm):
  case ToInt(ShortcutId::Form):
    OpenReferenceForm(&main);
    break;
  case ToInt(ControlId::MenuSeries):
  case ToInt(ShortcutId::Series):
    OpenSeriesWindow(main);
    break;
  case ToInt(ControlId::MenuExportCsv):
  case ToInt(ShortcutId::ExportCsv):
    ExportReadingsCommand(main, ExportFormat::Csv);
    break;
  case ToInt(ControlId::MenuExportFhir):
    ExportReadingsCommand(main, ExportFormat::Fhir);
    break;
  case ToInt(ControlId::MenuImportCsv):
  case ToInt(ShortcutId::ImportCsv):
    ImportReadingsCommand(main);
    break;
  case ToInt(ControlId::MenuReadMeter):
  case ToInt(ShortcutId::ReadMeter):
    ReadMeterCommand(main);
    break;
  case ToInt(ControlId::MenuArchiveLists):
  case ToInt(ShortcutId::Archive):
    ArchiveWithConfirmation(main);
    break;
  case ToInt(ControlId::MenuArchiveManager):
  case ToInt(ShortcutId::ArchiveManager):
    OpenArchiveManager(main);
    break;
  case ToInt(ShortcutId::Quit):
    main.quit();
    break;
  case ToInt(ShortcutId::Patient):
    OpenPatientManager(main);
    break;
  case ToInt(ShortcutId::Save):
    SaveNow(main);
    break;
  case ToInt(ShortcutId::Print):
    PrintCurrentLists(main);
    break;
  case ToInt(ShortcutId::Preferences):
    OpenPreferencesWindow(main);
    break;
  case ToInt(ShortcutId::About):
    OpenAboutWindow(main);
    break;
  case ToInt(ShortcutId::Pin):
    TogglePin(main);
    break;
  case ToInt(ShortcutId::Destruction):
    OpenDataDestruction(main);
    break;
  case ToInt(ShortcutId::MeasureNow):
  case ToInt(ControlId::MenuSeriesStart):
  case ToInt(ControlId::MenuSeriesStop):
  case ToInt(ControlId::MenuSeriesKeepInTray):
    if (SeriesCompanion *series = SeriesCompanion::of(main)) {
      if (id == ToInt(ControlId::MenuSeriesKeepInTray)) {
        series->keepInTrayCommand();
      } else if (id == ToInt(ShortcutId::MeasureNow)) {
        series->measureNow();
      } else if (id == ToInt(ControlId::MenuSeriesStart)) {
        series->startSeriesCommand();
      } else {
        series->stopSeriesCommand();
      }
    }
    break;
  default: // 188 (Ctrl+C) and anything else: nothing
    break;
  }
}

// The lists' revisions summed: a change tells that a save took up readings.
quint64 ListRevisions(MainWindow &main) {
  quint64 sum = 0;
  for (DayPeriod period : kAllPeriods) {
    sum += main.logbook().list(period).revision();
  }
  return sum;
}

bool SaveSucceeded(const SaveOutcome &saved) {
  // A list that could not be written is a failure, even when the other
  // lists were saved; lists with nothing to write (every reading deleted)
  // are saved as they are.
  return saved.failed.isEmpty() && !saved.contextError;
}

void WarnSaveFailed(QWidget *parent, const SaveOutcome &saved) {
  QString text = QStringLiteral("La sauvegarde de vos données n'a pu se faire.");
  if (!saved.failed.isEmpty() || saved.contextError) {
    text += QStringLiteral("\n\n") + FailureLines(saved.failed, saved.contextError);
  }
  dialogs().warning(parent, kSaveTitle, text);
}

// What another program changed in the files since they were read: the
// lists took it up, so what they show is redrawn, and the user is told.
void ShowOutsideChanges(MainWindow &main, const SaveOutcome &saved, quint64 revisionsBefore) {
  if (ListRevisions(main) != revisionsBefore) {
    main.updateStatusCounts();
    main.refreshAveragesAndGraphs();
  }
  if (const QString text = OutsideChangesText(saved); !text.isEmpty()) {
    dialogs().information(&main, kSaveTitle, text);
  }
}

void SaveNow(MainWindow &main) {
  const quint64 before = ListRevisions(main);
  const SaveOutcome saved = SaveLogbook(main.logbook());
  ShowOutsideChanges(main, saved, before);
  main.setUnsavedNote(UnsavedNote(main, saved));
  if (!SaveSucceeded(saved)) {
    WarnSaveFailed(&main, saved);
  } else {
    dialogs().information(&main, kSaveTitle,
                          QStringLiteral("La sauvegarde de vos données a été correctement "
                                         "effectuée."));
  }
}

void TogglePin(MainWindow &main) { main.setPinned(!State().pinned); }

void ArchiveWithConfirmation(MainWindow &main) {
  const bool yes = dialogs().askYesNo(
      &main, Dialogs::Icon::Question, kArchiveTitle,
      QStringLiteral("Êtes-vous sûr(e) de vouloir archiver les fichiers de relevés de cet "
                     "utilisateur ? Si oui, vous ne pourrez consulter ces données que dans le "
                     "module d'archives."),
      Dialogs::Default::No);
  if (!yes) {
    dialogs().information(&main, kArchiveTitle,
                          QStringLiteral("Vous avez annulé l'archivage des données."));
    return;
  }
  // Saves the lists first, moves the files, then empties the lists whose
  // files went to the archive (see ArchiveCurrentLists).
  const QString report = ArchiveCurrentLists(main);
  dialogs().information(&main, kArchiveTitle,
                        report.isEmpty() ? QStringLiteral("Il n'y a rien à archiver.") : report);
}

bool SaveForQuit(MainWindow &main, bool mayAsk) {
  const quint64 before = ListRevisions(main);
  const SaveOutcome saved = SaveLogbook(main.logbook());
  if (mayAsk) {
    ShowOutsideChanges(main, saved, before);
  }
  // Only lists holding readings lose anything when the program ends.
  const QList<PeriodFileError> lost = FailuresHoldingReadings(main.logbook(), saved.failed);
  if ((!lost.isEmpty() || saved.contextError) && mayAsk) {
    const QString what =
        lost.isEmpty() ? QStringLiteral("Les remarques des relevés n'ont pas pu être enregistrées.")
                       : QStringLiteral("Les relevés suivants n'ont pas pu être enregistrés : %1.")
                             .arg(FailedPeriodNames(lost));
    const bool quit = dialogs().askYesNo(
        &main, Dialogs::Icon::Warning, kSaveTitle,
        what + QStringLiteral("\n\n%1\n\nSi vous quittez maintenant, ils seront perdus. "
                              "Voulez-vous quitter quand même ?")
                   .arg(FailureLines(lost, saved.contextError)),
        Dialogs::Default::No);
    if (!quit) {
      return false;
    }
  }
  if (!lost.isEmpty() || saved.contextError) {
    // What could not be saved is not lost with the window: a rescue copy
    // beside the data files, named at the next start.
    WriteRescueCopies(main.logbook(), saved);
  }
  SaveClosingPreferences(main);
  return true;
}

void ConnectCommands(MainWindow &main) {
  const ControlId buttons[] = {
      ControlId::ButtonQuit,    ControlId::ButtonPatient,  ControlId::ButtonSave,
      ControlId::ButtonArchive, ControlId::ButtonPrint,    ControlId::ButtonAbout,
      ControlId::ButtonHelp,    ControlId::ButtonSettings, ControlId::ButtonPin,
      ControlId::ButtonDelete,  ControlId::ButtonAdd,      ControlId::ButtonClear,
  };
  for (ControlId id : buttons) {
    if (DrawnButton *button = main.button(id)) {
      QObject::connect(button, &DrawnButton::clicked, &main,
                       [&main, id] { RunButtonCommand(main, id); });
    }
  }

  QObject::connect(&main, &MainWindow::menuEvent, &main,
                   [&main](int id) { RunMenuCommand(main, id); });

  for (DayPeriod period : kAllPeriods) {
    QTableView *view = main.listView(period);
    QObject::connect(view, &QWidget::customContextMenuRequested, &main,
                     [&main, view, period](const QPoint &pos) {
                       // The menu opens over a list whose selected row is marked:
                       // at the mouse cursor for a right click, at the current row
                       // for the menu key.
                       if (!main.selectedRows(period).isEmpty()) {
                         if (QMenu *menu = main.menu(ControlId::ListMenu)) {
                           menu->popup(view->viewport()->mapToGlobal(pos));
                         }
                       }
                     });
    ConnectListKeys(main, view);
  }

  if (auto *refresh = qobject_cast<QPushButton *>(main.control(ControlId::ButtonRefresh))) {
    QObject::connect(refresh, &QPushButton::clicked, &main, [&main] { RefreshAverages(main); });
  }
  if (auto *period = qobject_cast<QComboBox *>(main.control(ControlId::GraphPeriodSelector))) {
    QObject::connect(period, &QComboBox::activated, &main,
                     [&main](int index) { GraphPeriodChosen(main, index); });
  }
  if (auto *style = qobject_cast<QComboBox *>(main.control(ControlId::CurveStyleSelector))) {
    QObject::connect(style, &QComboBox::activated, &main,
                     [&main](int index) { CurveStyleChosen(main, index); });
  }

  // Enter in any value field or in the note adds the reading, as "Ajouter" does.
  for (ControlId id : {ControlId::SystolicField, ControlId::DiastolicField, ControlId::PulseField,
                       ControlId::NoteField}) {
    if (auto *field = qobject_cast<QLineEdit *>(main.control(id))) {
      QObject::connect(field, &QLineEdit::returnPressed, &main,
                       [&main] { RunButtonCommand(main, ControlId::ButtonAdd); });
    }
  }

  main.setQuitHandler([&main] { return SaveForQuit(main, true); });
  // The series line, its buttons, the reminders and the tray.
  (new SeriesCompanion(main))->refresh();
}

} // namespace tl
