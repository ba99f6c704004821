#pragma once

#include "common/control_ids.h"
#include "logbook/patient_file.h"

#include <QDialog>
#include <QHash>
#include <QTreeWidget>
#include <array>
#include <vector>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

namespace tl {

class MainWindowApi;

// The patient list: right presses do not change the selection, so the popup
// menu can tell whether the row under the mouse was already marked; Enter
// asks for the current row to be chosen.
class PatientListView : public QTreeWidget {
  Q_OBJECT
public:
  using QTreeWidget::QTreeWidget;

signals:
  void menuRequested(QTreeWidgetItem *item, const QPoint &globalPos);
  void enterPressed(QTreeWidgetItem *item);

protected:
  void mousePressEvent(QMouseEvent *event) override;
  void contextMenuEvent(QContextMenuEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
};

// The patient manager: profiles are created, changed, shown and deleted
// here, and one is chosen as the current patient. The list is read from the
// patient file when the window is built and written back when it closes
// with a patient in use.
class PatientManagerWindow : public QDialog {
  Q_OBJECT
public:
  PatientManagerWindow(MainWindowApi &main, QWidget *parent = nullptr);

  // Any control of this window by its number, or nullptr.
  QWidget *control(ControlId id);
  // A popup menu entry by its number, or nullptr.
  QAction *action(ControlId id) const { return actions_.value(ToInt(id)); }
  PatientListView *list() const { return list_; }
  QMenu *popupMenu() const { return menu_; }
  bool patientFileExisted() const { return fileExisted_; }

  int rowCount() const;
  Patient patientAt(int row) const;
  std::vector<Patient> patients() const;
  bool isTicked(int row) const;
  bool isMarked(int row) const; // selected or ticked

  // "Ajouter": appends a profile from the input fields.
  void addPatient();
  // "Effacer": empties the seven input fields.
  void clearPatientFields();
  // "Supprimer" (ticked rows) and the popup's delete entry (selected or ticked rows).
  void deleteTickedRows();
  void deleteMarkedRows();
  // Makes the row's profile the current patient and closes; false when
  // nothing changed (empty or unusable name, or the user chose to stay).
  bool selectPatient(int row);
  // The popup's select entry: the last selected or ticked row.
  void selectLastMarkedRow();
  // One box per selected row with the profile's fields.
  void showPatientDetails();
  // Asks for a new text of `column` for each selected row; `label` names it.
  void modifyPatientField(const QString &label, int column);

  // The popup menu's entries, in order, and the sub-menu's (label, column) pairs.
  struct ModifyEntry {
    QString entry;
    QString label;
  };
  static const std::array<ModifyEntry, Patient::kFieldCount> &ModifyEntries();

  // The closing: a list holding profiles is saved, with or without a
  // patient in use (without one, the caller then ends the program).
  void reject() override;

protected:
  void keyPressEvent(QKeyEvent *event) override;
  void showEvent(QShowEvent *event) override;

private:
  // The list's keyboard cursor on a row, so that the arrow keys and Enter
  // work from the first key.
  void placeListCursor();
  void buildWindow();
  void loadPatients();
  void appendRow(const Patient &patient);
  void updateStatusCount();
  void deleteRows(bool includeSelected);
  void showMenu(QTreeWidgetItem *item, const QPoint &globalPos);
  void chooseFromList(QTreeWidgetItem *item);
  bool acceptName(const QString &name);
  bool refusedReadOnly();
  QLabel *addLabel(ControlId id, const QString &text, int x, int y, int width);
  QLineEdit *addField(ControlId id, int x, int y, int width);

  MainWindowApi &main_;
  QHash<int, QAction *> actions_;
  PatientListView *list_ = nullptr;
  QMenu *menu_ = nullptr;
  QLabel *status_ = nullptr;
  std::array<QLineEdit *, 7> fields_{}; // Name to DoctorPhone, in field order
  bool fileExisted_ = false;
  PatientFileContents loaded_; // the patient file as the list was read from it
};

// Opens the patient manager and waits until it closes. True when a patient
// is in use afterwards; false means the program must end without saving.
bool OpenPatientManager(MainWindowApi &main);

} // namespace tl
