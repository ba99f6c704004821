#pragma once

// The data destruction window: five kinds of stored data to tick, erased in
// their fixed order with one result line each.

#include <QDialog>

class QCheckBox;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace tl {

class DataDestructionWindow : public QDialog {
  Q_OBJECT
public:
  explicit DataDestructionWindow(QWidget *parent = nullptr);

  QCheckBox *itemBox(int item) const; // 1 to 5
  QPlainTextEdit *results() const { return results_; }
  QProgressBar *progress() const { return progress_; }
  QPushButton *deleteButton() const { return delete_; }
  QPushButton *closeButton() const { return close_; }

  // "Supprimer tous les éléments cochés".
  void deleteTicked();

private:
  void appendLine(const QString &line);

  QCheckBox *items_[5] = {};
  QPlainTextEdit *results_ = nullptr;
  QProgressBar *progress_ = nullptr;
  QPushButton *delete_ = nullptr;
  QPushButton *close_ = nullptr;
};

// Opens the window modally with `mainWindow` disabled, and returns once it
// has closed.
void RunDataDestruction(QWidget *mainWindow);

} // namespace tl
