#pragma once

#include "common/control_ids.h"
#include "common/file_io.h"
#include "exchange/csv_import.h"
#include "exchange/logbook_exchange.h"
#include "meter/meter_import.h"

#include <QDialog>
#include <QList>
#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace tl {

// The import preview: the first records of a CSV file, a role selector over
// each column (set from the guess), whether the first record names the
// columns, the export the file was recognised as ("Format reconnu : OMRON
// connect"), the order of day and month (preset to the one the first dates
// give), the columns ignored because an earlier one has their role, and
// "Importer" / "Annuler". "Importer" is only offered while a date, a time and
// the three values each have a column.
//
// For the records a meter sent, the same window shows them as the import
// takes them (date, time, values, user, flags and note; or why a record is
// refused, left to another user or already there), with no column to
// choose; "Importer" is offered while one of them will be filed.
struct MeterPreview {
  QString meter;                // "name (address)"
  QList<MeterReading> readings; // each record as MeterImport::add read it
  FileError interruption;       // why the transfer ended early, none when it did not
  qsizetype kept = 0;           // the first readings: records a trial read kept
};

class ImportPreviewWindow : public QDialog {
  Q_OBJECT
public:
  ImportPreviewWindow(const QString &path, const CsvFileStart &start, const QString &patient,
                      QWidget *parent = nullptr);
  ImportPreviewWindow(const MeterPreview &meter, const QString &patient, QWidget *parent = nullptr);

  // Any control of this window by its number, or nullptr.
  QWidget *control(ControlId id);
  // The selector over column `column`, or nullptr.
  QComboBox *roleSelector(int column) const;
  int columnCount() const { return int(selectors_.size()); }

  // The roles, the header choice and the date order as they stand (with
  // what the guess knew besides: the format, the records before the header,
  // the units).
  ColumnMapping mapping() const;
  void setRole(int column, ColumnRole role);
  void setHeader(bool header);
  void setDateOrder(DateOrder order);

private:
  void buildFrame(const QString &subtitle, const QString &source, const QString &sourceName);
  void buildTable();
  void buildButtons(const QString &importTip);
  void buildWindow(const QString &path, const CsvFileStart &start);
  void buildMeterWindow(const MeterPreview &meter);
  QString addedText() const;
  static void setRoleOf(QComboBox *selector, ColumnRole role);
  void mappingChanged();

  QString patient_;
  ColumnMapping guess_;
  DateOrderDecision detected_;
  QList<QComboBox *> selectors_;
  QTableWidget *table_ = nullptr;
  QCheckBox *header_ = nullptr;
  QLabel *hint_ = nullptr;
  QLabel *warnings_ = nullptr;
  QComboBox *dateOrder_ = nullptr;
  QPushButton *import_ = nullptr;
  QPushButton *cancel_ = nullptr;
};

// The frame the import windows share: a modal window of fixed `size`
// titled after the program, and its blue banner along the top.
void SetUpImportDialog(QDialog &dialog, const QString &title, QSize size, const QString &heading,
                       const QString &subtitle, ControlId bannerId);

// Shows the preview and gives the mapping chosen, or nothing when it was
// cancelled. The program runs the window modal; tests install a runner of
// their own that works on the built window (an empty one restores the
// modal run).
using ImportPreviewRunner = std::function<std::optional<ColumnMapping>(ImportPreviewWindow &)>;
void SetImportPreviewRunner(ImportPreviewRunner runner);
std::optional<ColumnMapping> RunImportPreview(ImportPreviewWindow &window);

} // namespace tl
