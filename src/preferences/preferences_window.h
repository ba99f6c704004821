#pragma once

#include "common/control_ids.h"
#include "common/file_io.h"

#include <QDialog>
#include <array>

class QAbstractButton;
class QCheckBox;
class QLabel;
class QRadioButton;

namespace tl {

class MainWindowApi;

// The preferences window: every setting of the preferences file as check
// boxes and option buttons, "Défaut", "Enregistrer" and "Fermer", and a
// status bar with the file's dates.
class PreferencesWindow : public QDialog {
  Q_OBJECT
public:
  explicit PreferencesWindow(QWidget *parent = nullptr);

  // Any control of this window by its number, or nullptr.
  QWidget *control(ControlId id);
  // Status field 1 or 2.
  QString statusText(int field) const;

  // Sets the controls from the file (a missing file leaves them as built).
  void loadPreferencesIntoWindow();
  // Writes the file from the controls; false when it cannot be created.
  FileError writePreferencesFromWindow();
  // Puts the controls in the default state (without saving).
  void setDefaults();

  // The three buttons.
  void restoreDefaultsAndSave(); // "Défaut"
  void save();                   // "Enregistrer"

private:
  void buildWindow();
  void showFileDates();
  void choosePatientMode(bool reopen);

  std::array<QCheckBox *, 4> windowBoxes_{}; // size, position, maximise, pin
  std::array<QRadioButton *, 5> tabs_{};     // Matin ... Moyennes
  QCheckBox *reopen_ = nullptr;
  QCheckBox *choose_ = nullptr;
  std::array<QRadioButton *, 3> curves_{}; // styles 1 to 3
  QRadioButton *darkOn_ = nullptr;
  QRadioButton *darkOff_ = nullptr;
  std::array<QLabel *, 2> status_{};
};

// Opens the window with the main window disabled and waits until it closes.
void OpenPreferences(MainWindowApi &main);

} // namespace tl
