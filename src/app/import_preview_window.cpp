#include "app/import_preview_window.h"

#include "common/error_text.h"
#include "common/identity.h"
#include "common/text.h"
#include "measurements/context_texts.h"
#include "meter/blood_pressure.h"
#include "theme/colour_rules.h"
#include "theme/dark_scheme.h"
#include "ui/assets/assets.h"
#include "ui/drawing.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTime>
#include <algorithm>

namespace tl {

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 560;
constexpr int kMargin = 10;
// Cells show no more of a field than this (a field of junk may be long),
// and no more columns than this; the columns past it are ignored.
constexpr qsizetype kShownChars = 120;
constexpr qsizetype kMaxColumns = 40;

const ColumnRole kRoles[] = {
    ColumnRole::Date,          ColumnRole::Time,       ColumnRole::DateTime,   ColumnRole::Systolic,
    ColumnRole::Diastolic,     ColumnRole::Pulse,      ColumnRole::Period,     ColumnRole::TimeZone,
    ColumnRole::Note,          ColumnRole::Irregular,  ColumnRole::Medication, ColumnRole::Movement,
    ColumnRole::CuffMisplaced, ColumnRole::OtherFlags, ColumnRole::Ignore};

const QColor kMissingColour(200, 0, 0);
const QColor kHeaderRowColour(128, 128, 128);
const QColor kWarningColour(150, 75, 0);

// The text of rows left out: grey, yet darker than the plain 4.5:1, since it
// is set in italics, whose thin strokes some systems (Windows' font
// smoothing) draw lighter than their colour.
QColor LeftRowText(const QPalette &palette) {
  return ReadableOn(kHeaderRowColour, palette.color(QPalette::Base), 7.0);
}

QLabel *MakeLabel(QWidget *parent, ControlId id, const QRect &rect) {
  auto *label = new QLabel(parent);
  label->setGeometry(rect);
  label->setTextFormat(Qt::PlainText); // may quote a file name
  SetControlNumber(label, id);
  return label;
}

QString ShownField(const QString &field) {
  QString shown = field.left(kShownChars);
  shown.replace(u'\r', u' ');
  shown.replace(u'\n', u' ');
  return field.size() > kShownChars ? shown + QStringLiteral("…") : shown;
}

ImportPreviewRunner &Runner() {
  static ImportPreviewRunner runner;
  return runner;
}

} // namespace

ImportPreviewWindow::ImportPreviewWindow(const QString &path, const CsvFileStart &start,
                                         const QString &patient, QWidget *parent)
    : QDialog(parent), patient_(patient), guess_(start.guess), detected_(start.dateOrder) {
  buildWindow(path, start);
  mappingChanged();
  FollowDarkAppearance(this);
}

ImportPreviewWindow::ImportPreviewWindow(const MeterPreview &meter, const QString &patient,
                                         QWidget *parent)
    : QDialog(parent), patient_(patient) {
  buildMeterWindow(meter);
  FollowDarkAppearance(this);
}

QWidget *ImportPreviewWindow::control(ControlId id) { return FindControl(this, ToInt(id)); }

QComboBox *ImportPreviewWindow::roleSelector(int column) const {
  return column >= 0 && column < selectors_.size() ? selectors_[column] : nullptr;
}

void SetUpImportDialog(QDialog &dialog, const QString &title, QSize size, const QString &heading,
                       const QString &subtitle, ControlId bannerId) {
  dialog.setWindowTitle(ProgramTitle() + title);
  dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                        Qt::WindowCloseButtonHint);
  dialog.setFixedSize(size);
  dialog.setModal(true);

  AddBanner(&dialog, bannerId, size.width(), QColor(0, 153, 204), QColor(0, 70, 140),
            SystemIcon(269), ProgramTitle() + heading, subtitle);
}

void ImportPreviewWindow::buildFrame(const QString &subtitle, const QString &source,
                                     const QString &sourceName) {
  SetUpImportDialog(*this, QStringLiteral(" Importation de relevés"), QSize(kWidth, kHeight),
                    QStringLiteral(" - Importation"), subtitle, ControlId::ImportBanner);

  const int inner = kWidth - 2 * kMargin;
  QLabel *file = MakeLabel(this, ControlId::ImportFileLabel, QRect(kMargin, 48, inner, 20));
  file->setText(file->fontMetrics().elidedText(source, Qt::ElideMiddle, inner - 4));
  file->setAccessibleName(sourceName);
}

void ImportPreviewWindow::buildTable() {
  table_ = new QTableWidget(this);
  table_->setGeometry(kMargin, 92, kWidth - 2 * kMargin, 300);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionMode(QAbstractItemView::NoSelection);
  table_->setTabKeyNavigation(false); // Tab leaves the table
  table_->setWordWrap(false);
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
  table_->horizontalHeader()->setHighlightSections(false);
  table_->horizontalHeader()->setStretchLastSection(false);
  SetListHeaderFont(table_->horizontalHeader());
  SetControlNumber(table_, ControlId::ImportTable);
}

// Created last, so that a screen reader meets the hint and the buttons
// after what they conclude.
void ImportPreviewWindow::buildButtons(const QString &importTip) {
  hint_ = MakeLabel(this, ControlId::ImportHint, QRect(kMargin, 500, 560, 52));
  hint_->setWordWrap(true);

  auto makeButton = [this](ControlId id, const QString &caption, int x, const QString &tip,
                           int icon) {
    return TipButton(this, id, caption, QRect(x, 516, 100, 28), tip, icon);
  };
  import_ = makeButton(ControlId::ImportButtonImport, QStringLiteral("Importer"),
                       kWidth - 2 * kMargin - 200, importTip, 258);
  cancel_ =
      makeButton(ControlId::ImportButtonCancel, QStringLiteral("Annuler"), kWidth - kMargin - 100,
                 QStringLiteral("Fermer la fenêtre sans rien importer."), 109);
  import_->setDefault(true);
  connect(import_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

QString ImportPreviewWindow::addedText() const {
  return QStringLiteral("Les relevés lus seront ajoutés à ceux de « %1 », chacun à sa place "
                        "par date et heure.")
      .arg(patient_);
}

void ImportPreviewWindow::buildWindow(const QString &path, const CsvFileStart &start) {
  buildFrame(QStringLiteral("Vérifiez le rôle de chaque colonne avant d'importer les relevés."),
             QStringLiteral("Fichier : ") + ShownPath(path),
             QStringLiteral("Fichier : ") + QFileInfo(path).fileName());

  const int inner = kWidth - 2 * kMargin;
  constexpr int kFormatWidth = 300;
  QLabel *instruction = MakeLabel(this, ControlId::ImportInstruction,
                                  QRect(kMargin, 68, inner - kFormatWidth - 8, 20));
  QLabel *format = MakeLabel(this, ControlId::ImportFormatLabel,
                             QRect(kMargin + inner - kFormatWidth, 68, kFormatWidth, 20));
  format->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  if (!start.guess.format.isEmpty()) {
    format->setText(
        format->fontMetrics().elidedText(QStringLiteral("Format reconnu : ") + start.guess.format,
                                         Qt::ElideRight, kFormatWidth - 4));
    format->setAccessibleName(QStringLiteral("Format reconnu : ") + start.guess.format);
    QFont bold = format->font();
    bold.setBold(true);
    format->setFont(bold);
  }
  buildTable();
  // The records, and the lines of an unclosed quote refused in their place.
  const QList<QStringList> rows = start.shownRows();
  const qsizetype shown = rows.size();
  instruction->setText(
      QStringLiteral("Choisissez le rôle de chaque colonne. ") +
      (shown == 1 ? QStringLiteral("Aperçu de la première ligne du fichier :")
                  : QStringLiteral("Aperçu des %1 premières lignes du fichier :").arg(shown)));

  const int columns = int(std::clamp<qsizetype>(start.columns(), 1, kMaxColumns));
  table_->setRowCount(int(shown) + 1);
  table_->setColumnCount(columns);
  table_->setAccessibleName(QStringLiteral("Premières lignes du fichier"));
  QStringList rowNames{QStringLiteral("Rôle")};
  for (qsizetype r = 1; r <= shown; ++r) {
    rowNames << QString::number(r);
  }
  table_->setVerticalHeaderLabels(rowNames);

  for (int c = 0; c < columns; ++c) {
    table_->setHorizontalHeaderItem(c,
                                    new QTableWidgetItem(QStringLiteral("Colonne %1").arg(c + 1)));
    auto *selector = new QComboBox;
    for (ColumnRole role : kRoles) {
      selector->addItem(ColumnRoleText(role), int(role));
    }
    selector->setAccessibleName(QStringLiteral("Rôle de la colonne %1").arg(c + 1));
    selector->setObjectName(QStringLiteral("role%1").arg(c + 1));
    setRoleOf(selector, start.guess.roles.value(c, ColumnRole::Ignore));
    connect(selector, &QComboBox::currentIndexChanged, this, [this] { mappingChanged(); });
    table_->setCellWidget(0, c, selector);
    table_->setColumnWidth(c, std::max(120, selector->sizeHint().width() + 4));
    selectors_.append(selector);
  }
  table_->setRowHeight(0, selectors_.first()->sizeHint().height() + 4);
  for (int r = 0; r < int(shown); ++r) {
    const QStringList &record = rows[r];
    for (int c = 0; c < record.size() && c < columns; ++c) {
      auto *item = new QTableWidgetItem(ShownField(record[c]));
      item->setFlags(Qt::ItemIsEnabled);
      item->setToolTip(PlainToolTip(record[c].left(1000)));
      table_->setItem(r + 1, c, item);
    }
  }

  // Under a title or an export's metadata line, the header is further down.
  const int headerLine = start.guess.skipRecords + 1;
  header_ = new QCheckBox(
      headerLine == 1
          ? QStringLiteral("La première ligne donne le nom des colonnes (elle n'est pas importée)")
          : QStringLiteral("La ligne %1 donne le nom des colonnes (ni elle ni celles au-dessus "
                           "ne sont importées)")
                .arg(headerLine),
      this);
  header_->setGeometry(kMargin, 442, inner, 22);
  header_->setChecked(start.guess.header);
  connect(header_, &QCheckBox::toggled, this, [this] { mappingChanged(); });
  SetControlNumber(header_, ControlId::ImportHeaderBox);

  warnings_ = MakeLabel(this, ControlId::ImportWarnings, QRect(kMargin, 396, inner, 42));
  warnings_->setWordWrap(true);
  warnings_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  QPalette warningPalette = warnings_->palette();
  warningPalette.setColor(QPalette::WindowText, kWarningColour);
  warnings_->setPalette(warningPalette);

  QLabel *orderLabel =
      MakeLabel(this, ControlId::ImportDateOrderLabel, QRect(kMargin, 468, 110, 24));
  orderLabel->setText(QStringLiteral("Ordre des dates :"));
  dateOrder_ = new QComboBox(this);
  dateOrder_->setGeometry(kMargin + 114, 468, 120, 24);
  dateOrder_->addItem(QStringLiteral("jour/mois"), int(DateOrder::DayMonth));
  dateOrder_->addItem(QStringLiteral("mois/jour"), int(DateOrder::MonthDay));
  dateOrder_->setCurrentIndex(dateOrder_->findData(int(start.guess.dateOrder)));
  dateOrder_->setAccessibleName(QStringLiteral("Ordre des dates"));
  orderLabel->setBuddy(dateOrder_);
  connect(dateOrder_, &QComboBox::currentIndexChanged, this, [this] { mappingChanged(); });
  SetControlNumber(dateOrder_, ControlId::ImportDateOrder);

  buildButtons(
      QStringLiteral("Lire tout le fichier et ajouter ses relevés à la liste de leur période."));

  // Keyboard order: the selectors from left to right, the lines, the
  // header choice, then the two buttons.
  QWidget *previous = nullptr;
  const auto chain = [&previous](QWidget *next) {
    if (previous) {
      setTabOrder(previous, next);
    }
    previous = next;
  };
  for (QComboBox *selector : selectors_) {
    chain(selector);
  }
  chain(table_);
  chain(header_);
  chain(dateOrder_);
  chain(import_);
  chain(cancel_);
  selectors_.first()->setFocus();
}

void ImportPreviewWindow::buildMeterWindow(const MeterPreview &meter) {
  buildFrame(QStringLiteral("Vérifiez les mesures reçues avant de les importer."),
             QStringLiteral("Tensiomètre : ") + meter.meter,
             QStringLiteral("Tensiomètre : ") + meter.meter);
  const int inner = kWidth - 2 * kMargin;
  const qsizetype count = meter.readings.size();
  QLabel *instruction =
      MakeLabel(this, ControlId::ImportInstruction, QRect(kMargin, 68, inner, 20));
  instruction->setText(count == 1
                           ? QStringLiteral("1 mesure reçue du tensiomètre :")
                           : QStringLiteral("%1 mesures reçues du tensiomètre :").arg(count));
  buildTable();

  const QStringList names{QStringLiteral("Date"),       QStringLiteral("Heure"),
                          QStringLiteral("Systolique"), QStringLiteral("Diastolique"),
                          QStringLiteral("Pouls"),      QStringLiteral("Utilisateur"),
                          QStringLiteral("Remarque")};
  table_->setRowCount(int(count));
  table_->setColumnCount(int(names.size()));
  table_->setHorizontalHeaderLabels(names);
  table_->setAccessibleName(QStringLiteral("Mesures reçues du tensiomètre"));
  const QBrush grey(LeftRowText(table_->palette()));
  qsizetype filed = 0, duplicates = 0, others = 0, refused = 0;
  for (int r = 0; r < int(count); ++r) {
    const MeterReading &reading = meter.readings[r];
    // What the record gives, whatever becomes of it.
    QStringList cells(names.size());
    if (reading.date.isValid()) {
      cells[0] = reading.date.toString(QStringLiteral("dd/MM/yyyy"));
      cells[1] = QTime(reading.minutes / 60, reading.minutes % 60).toString(u"hh:mm");
      cells[2] = QString::number(reading.systolic);
      cells[3] = QString::number(reading.diastolic);
      cells[4] = QString::number(reading.pulse);
      cells[6] = ContextSummary(reading.context);
    }
    if (reading.user) {
      cells[5] = *reading.user == kUnknownMeterUser ? QStringLiteral("inconnu")
                                                    : QString::number(*reading.user);
    }
    // What becomes of it.
    if (reading.otherUser) {
      cells[6] = QStringLiteral("Autre utilisateur : non importée");
      ++others;
    } else if (!reading.ok()) {
      cells[6] = QStringLiteral("Mesure refusée : ") + reading.reason;
      ++refused;
    } else if (reading.duplicate) {
      cells[6] = QStringLiteral("Déjà enregistrée : non ajoutée");
      ++duplicates;
    } else {
      ++filed;
    }
    const bool left = reading.otherUser || !reading.ok() || reading.duplicate;
    for (int c = 0; c < int(names.size()); ++c) {
      auto *item = new QTableWidgetItem(ShownField(cells[c]));
      item->setFlags(Qt::ItemIsEnabled);
      item->setToolTip(PlainToolTip(cells[c]));
      if (c >= 2 && c <= 5) {
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      }
      if (left) {
        QFont font = item->font();
        font.setItalic(true);
        item->setFont(font);
        item->setForeground(grey);
      }
      table_->setItem(r, c, item);
    }
  }
  table_->resizeColumnsToContents();
  for (int c = 0; c < int(names.size()) - 1; ++c) {
    table_->setColumnWidth(c, std::max(table_->columnWidth(c), 90));
  }
  table_->horizontalHeader()->setStretchLastSection(true);

  warnings_ = MakeLabel(this, ControlId::ImportWarnings, QRect(kMargin, 396, inner, 42));
  warnings_->setWordWrap(true);
  warnings_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  QStringList counts{QStringLiteral("Mesures à importer : %1.").arg(filed)};
  const std::pair<qsizetype, QString> leftOut[] = {
      {duplicates, QStringLiteral("Déjà enregistrées : %1.")},
      {refused, QStringLiteral("Refusées : %1.")},
      {others, QStringLiteral("D'un autre utilisateur : %1.")}};
  for (const auto &[n, text] : leftOut) {
    if (n > 0) {
      counts << text.arg(n);
    }
  }
  if (meter.kept > 0) {
    counts << QStringLiteral("Gardées lors de l'essai (tensiometre --dry-run), en tête de "
                             "liste : %1.")
                  .arg(meter.kept);
  }
  QString warning = counts.join(u' ');
  if (meter.interruption) {
    // The records received before the link broke are kept: the meter may
    // not send them again.
    warning = ErrorSentence(QString(), meter.interruption,
                            meter.kept == count
                                ? QStringLiteral(" ; voici les mesures gardées lors de l'essai")
                                : QStringLiteral(" : voici les mesures reçues avant")) +
              u'\n' + warning;
    QPalette palette = warnings_->palette();
    palette.setColor(QPalette::WindowText,
                     ReadableOn(kWarningColour, this->palette().color(QPalette::Window)));
    warnings_->setPalette(palette);
  }
  warnings_->setText(warning);

  buildButtons(QStringLiteral("Ajouter les mesures reçues à la liste de leur période."));
  import_->setEnabled(filed > 0);
  if (filed > 0) {
    hint_->setText(addedText());
  } else {
    QPalette palette = hint_->palette();
    palette.setColor(QPalette::WindowText,
                     ReadableOn(kMissingColour, this->palette().color(QPalette::Window)));
    hint_->setPalette(palette);
    hint_->setText(QStringLiteral("Aucune mesure reçue ne sera importée."));
  }
  setTabOrder(table_, import_);
  setTabOrder(import_, cancel_);
  (filed > 0 ? static_cast<QWidget *>(import_) : cancel_)->setFocus();
}

void ImportPreviewWindow::setRoleOf(QComboBox *selector, ColumnRole role) {
  selector->setCurrentIndex(selector->findData(int(role)));
}

ColumnMapping ImportPreviewWindow::mapping() const {
  ColumnMapping mapping = guess_;
  if (!header_) {
    return mapping; // a meter's records: no column to choose
  }
  mapping.roles.clear();
  for (const QComboBox *selector : selectors_) {
    mapping.roles.append(ColumnRole(selector->currentData().toInt()));
  }
  mapping.header = header_->isChecked();
  mapping.serialDates = guess_.serialDates;
  mapping.format = guess_.format;
  mapping.dateOrder = DateOrder(dateOrder_->currentData().toInt());
  // Left as preset, the order is the import's to decide from the whole
  // file, which the first dates agree with when they decided it.
  mapping.dateOrderGiven = mapping.dateOrder != guess_.dateOrder;
  return mapping;
}

void ImportPreviewWindow::setRole(int column, ColumnRole role) {
  if (QComboBox *selector = roleSelector(column)) {
    setRoleOf(selector, role);
  }
}

void ImportPreviewWindow::setHeader(bool header) {
  if (header_) {
    header_->setChecked(header);
  }
}

void ImportPreviewWindow::setDateOrder(DateOrder order) {
  if (dateOrder_) {
    dateOrder_->setCurrentIndex(dateOrder_->findData(int(order)));
  }
}

void ImportPreviewWindow::mappingChanged() {
  if (!hint_ || !header_) {
    return; // still being built
  }
  const ColumnMapping chosen = mapping();
  const bool complete = chosen.complete();
  import_->setEnabled(complete);
  QPalette palette = hint_->palette();
  // Set after the scheme was applied: the red is made readable on the
  // window's own colour (a dark scheme's base).
  palette.setColor(QPalette::WindowText,
                   complete ? this->palette().color(QPalette::WindowText)
                            : ReadableOn(kMissingColour, this->palette().color(QPalette::Window)));
  hint_->setPalette(palette);
  hint_->setText(
      complete ? addedText()
               : QStringLiteral("Il faut une colonne pour la date et une pour l'heure (ou une "
                                "colonne « Date et heure »), la systolique, la diastolique et le "
                                "pouls."));
  // The columns ignored for a role an earlier column has, and the date order
  // when no date of the first lines told it.
  QStringList warnings;
  QList<ColumnRole> kept = chosen.roles;
  KeepFirstRoles(kept);
  for (qsizetype c = 0; c < chosen.roles.size(); ++c) {
    if (kept[c] != chosen.roles[c]) {
      warnings << QStringLiteral("La colonne %1 a le même rôle qu'une colonne avant elle : elle "
                                 "est ignorée.")
                      .arg(c + 1);
    }
  }
  for (const ColumnWarning &warning : guess_.warnings) {
    // A guess's warning stands while its column is still ignored.
    if (chosen.roles.value(warning.column) == ColumnRole::Ignore) {
      warnings << warning.text;
    }
  }
  if (detected_.basis == DateOrderDecision::Basis::AllAmbiguous &&
      chosen.dateOrder == DateOrder::DayMonth) {
    warnings << QStringLiteral("Aucune date des premières lignes ne distingue le jour du mois : "
                               "l'ordre jour/mois, l'ordre français, est proposé.");
  }
  warnings_->setText(warnings.join(u'\n'));
  warnings_->setToolTip(PlainToolTip(warnings.join(u'\n')));

  // The lines above the readings (a title, the names of the columns) are
  // no reading: shown greyed.
  const int skipped = chosen.skipRecords + (chosen.header ? 1 : 0);
  const QBrush grey(LeftRowText(table_->palette()));
  for (int r = 1; r < table_->rowCount(); ++r) {
    const bool greyed = r <= skipped;
    for (int c = 0; c < table_->columnCount(); ++c) {
      if (QTableWidgetItem *item = table_->item(r, c)) {
        QFont font = item->font();
        font.setItalic(greyed);
        item->setFont(font);
        item->setForeground(greyed ? grey : QBrush());
      }
    }
  }
}

void SetImportPreviewRunner(ImportPreviewRunner runner) { Runner() = std::move(runner); }

std::optional<ColumnMapping> RunImportPreview(ImportPreviewWindow &window) {
  if (Runner()) {
    return Runner()(window);
  }
  if (window.exec() != QDialog::Accepted) {
    return std::nullopt;
  }
  return window.mapping();
}

} // namespace tl
