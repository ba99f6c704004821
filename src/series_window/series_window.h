#pragma once

// The window "Relevé d'automesure": the home-measurement series of the lists
// in memory (unsaved readings included) and, on its second page, the report
// for the doctor over a date range. Each page saves its document as PDF in
// the print folder or sends it to a printer.

#include "reports/document.h"
#include "series/report_data.h"
#include "series/series.h"

#include <QDialog>
#include <memory>
#include <optional>

class QComboBox;
class QDateEdit;
class QLabel;
class QPlainTextEdit;
class QTableWidget;
class QTabWidget;
class QTimeEdit;

namespace tl {

class DrawnButton;
class PeriodLists;
class ReadingContexts;

class SeriesWindow : public QDialog {
  Q_OBJECT
public:
  // `printFolder` receives the PDF files. With `contexts` (not owned), the
  // documents show the readings' notes and flags.
  SeriesWindow(const PeriodLists &lists, ReportIdentity who, QString printFolder,
               QWidget *parent = nullptr, const ReadingContexts *contexts = nullptr);
  ~SeriesWindow() override;

  QTabWidget *tabs() const { return tabs_; }
  QComboBox *protocolSelector() const { return protocol_; }
  QDateEdit *startPicker() const { return start_; }
  // "Matin à partir de" (04:00 to 06:01) and "Soir jusqu'à" (23:59 to
  // 01:59 the next day): the patient's session windows.
  QTimeEdit *morningStartPicker() const { return morningStart_; }
  QComboBox *eveningEndSelector() const { return eveningEnd_; }
  QLabel *windowsLabel() const { return windowsText_; }
  QDateEdit *fromPicker() const { return from_; }
  QDateEdit *toPicker() const { return to_; }
  QTableWidget *grid() const { return grid_; }
  QTableWidget *statistics() const { return statistics_; }
  QLabel *meansLabel() const { return means_; }
  QLabel *verdictLabel() const { return verdict_; }
  QLabel *emptyLabel() const { return empty_; }
  QLabel *reportNotes() const { return reportNotes_; }
  QPlainTextEdit *excludedList() const { return excluded_; }
  DrawnButton *pdfButton() const { return pdf_; }
  DrawnButton *printButton() const { return print_; }
  DrawnButton *previewButton() const { return preview_; }
  DrawnButton *closeButton() const { return close_; }

  const ReportIdentity &identity() const { return who_; }
  const SeriesResult &series() const { return series_; }
  // The protocol and the windows the controls show.
  SeriesSettings settings() const;
  const DoctorReportData &report() const { return report_; }

  // The document of the page shown.
  std::unique_ptr<PagedDocument> currentDocument() const;
  // "Enregistrer le PDF": the path written, "" when it failed (an "Erreur!"
  // box says why).
  QString savePdf();
  // "Imprimer...": the system print dialog, then the document.
  void print();
  // "Aperçu...": the pages in the print preview, printed from there.
  void preview();

protected:
  void showEvent(QShowEvent *event) override;

private:
  QWidget *buildSeriesPage();
  QWidget *buildReportPage();
  void showSettings(const SeriesSettings &settings);
  void settingsChanged(bool protocolChanged);
  void recomputeSeries();
  void recomputeReport();
  void fitGridColumns();
  void updateButtons();
  void applyDarkScheme();

  const PeriodLists &lists_;
  const ReadingContexts *contexts_ = nullptr;
  ReportIdentity who_;
  QString printFolder_;
  bool hasSeriesReadings_ = false;
  std::optional<QDate> defaultStart_; // of the settings shown
  bool hasReportReadings_ = false;
  SeriesResult series_;
  DoctorReportData report_;

  QTabWidget *tabs_ = nullptr;
  QComboBox *protocol_ = nullptr;
  QDateEdit *start_ = nullptr;
  QTimeEdit *morningStart_ = nullptr;
  QComboBox *eveningEnd_ = nullptr;
  QLabel *windowsText_ = nullptr;
  QDateEdit *from_ = nullptr;
  QDateEdit *to_ = nullptr;
  QTableWidget *grid_ = nullptr;
  QTableWidget *statistics_ = nullptr;
  QTableWidget *classes_ = nullptr;
  QLabel *means_ = nullptr;
  QLabel *verdict_ = nullptr;
  QLabel *empty_ = nullptr;
  QLabel *reportEmpty_ = nullptr;
  QLabel *reportNotes_ = nullptr;
  QPlainTextEdit *excluded_ = nullptr;
  QWidget *seriesContent_ = nullptr;
  QWidget *reportContent_ = nullptr;
  DrawnButton *pdf_ = nullptr;
  DrawnButton *print_ = nullptr;
  DrawnButton *preview_ = nullptr;
  DrawnButton *close_ = nullptr;
};

} // namespace tl
