#include "app/import_preview_window.h"

#include "common/identity.h"
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

const ColumnRole kRoles[] = {ColumnRole::Date,     ColumnRole::Time,      ColumnRole::DateTime,
                             ColumnRole::Systolic, ColumnRole::Diastolic, ColumnRole::Pulse,
                             ColumnRole::Ignore};

const QColor kMissingColour(200, 0, 0);
const QColor kHeaderRowColour(128, 128, 128);

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
    : QDialog(parent), patient_(patient) {
  buildWindow(path, start);
  mappingChanged();
  FollowDarkAppearance(this);
}

QWidget *ImportPreviewWindow::control(ControlId id) { return FindControl(this, ToInt(id)); }

QComboBox *ImportPreviewWindow::roleSelector(int column) const {
  return column >= 0 && column < selectors_.size() ? selectors_[column] : nullptr;
}

void ImportPreviewWindow::buildWindow(const QString &path, const CsvFileStart &start) {
  setWindowTitle(ProgramTitle() + QStringLiteral(" Importation de relevés"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(kWidth, kHeight);
  setModal(true);

  auto *banner = new Banner(this);
  banner->setColours(QColor(0, 153, 204), QColor(0, 70, 140));
  banner->setGradient(Gradient::Vertical);
  banner->setLines(ProgramTitle() + QStringLiteral(" - Importation"),
                   QStringLiteral("Vérifiez le rôle de chaque colonne avant d'importer les "
                                  "relevés."));
  banner->setRightText(AuthorLabel());
  banner->setLeftImage(SystemIcon(269));
  banner->setGeometry(0, 0, kWidth, 40);
  SetControlNumber(banner, ControlId::ImportBanner);

  const int inner = kWidth - 2 * kMargin;
  QLabel *file = MakeLabel(this, ControlId::ImportFileLabel, QRect(kMargin, 48, inner, 20));
  const QString native = QDir::toNativeSeparators(path);
  file->setText(file->fontMetrics().elidedText(QStringLiteral("Fichier : ") + native,
                                               Qt::ElideMiddle, inner - 4));
  file->setAccessibleName(QStringLiteral("Fichier : ") + QFileInfo(path).fileName());

  QLabel *instruction =
      MakeLabel(this, ControlId::ImportInstruction, QRect(kMargin, 68, inner, 20));
  const qsizetype shown = start.records.size();
  instruction->setText(
      QStringLiteral("Choisissez le rôle de chaque colonne. ") +
      (shown == 1 ? QStringLiteral("Aperçu de la première ligne du fichier :")
                  : QStringLiteral("Aperçu des %1 premières lignes du fichier :").arg(shown)));

  const int columns = int(std::clamp<qsizetype>(start.columns(), 1, kMaxColumns));
  table_ = new QTableWidget(int(shown) + 1, columns, this);
  table_->setGeometry(kMargin, 92, inner, 372);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionMode(QAbstractItemView::NoSelection);
  table_->setTabKeyNavigation(false); // Tab leaves the table
  table_->setWordWrap(false);
  table_->setAccessibleName(QStringLiteral("Premières lignes du fichier"));
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
  table_->horizontalHeader()->setHighlightSections(false);
  table_->horizontalHeader()->setStretchLastSection(false);
  SetListHeaderFont(table_->horizontalHeader());
  QStringList rowNames{QStringLiteral("Rôle")};
  for (qsizetype r = 1; r <= shown; ++r) {
    rowNames << QString::number(r);
  }
  table_->setVerticalHeaderLabels(rowNames);
  SetControlNumber(table_, ControlId::ImportTable);

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
    const QStringList &record = start.records[r];
    for (int c = 0; c < record.size() && c < columns; ++c) {
      auto *item = new QTableWidgetItem(ShownField(record[c]));
      item->setFlags(Qt::ItemIsEnabled);
      item->setToolTip(record[c].left(1000));
      table_->setItem(r + 1, c, item);
    }
  }

  header_ = new QCheckBox(
      QStringLiteral("La première ligne donne le nom des colonnes (elle n'est pas importée)"),
      this);
  header_->setGeometry(kMargin, 472, inner, 22);
  header_->setChecked(start.guess.header);
  connect(header_, &QCheckBox::toggled, this, [this] { mappingChanged(); });
  SetControlNumber(header_, ControlId::ImportHeaderBox);

  hint_ = MakeLabel(this, ControlId::ImportHint, QRect(kMargin, 500, 560, 48));
  hint_->setWordWrap(true);

  auto makeButton = [this](ControlId id, const QString &caption, int x, const QString &tip,
                           int icon) {
    auto *button = new QPushButton(caption, this);
    button->setGeometry(x, 516, 100, 28);
    button->setAutoDefault(false);
    AttachBalloonTip(button, caption, tip, SystemIcon(icon));
    SetControlNumber(button, id);
    return button;
  };
  import_ = makeButton(
      ControlId::ImportButtonImport, QStringLiteral("Importer"), kWidth - 2 * kMargin - 200,
      QStringLiteral("Lire tout le fichier et ajouter ses relevés à la liste de leur période."),
      258);
  QPushButton *cancel =
      makeButton(ControlId::ImportButtonCancel, QStringLiteral("Annuler"), kWidth - kMargin - 100,
                 QStringLiteral("Fermer la fenêtre sans rien importer."), 109);
  import_->setDefault(true);
  connect(import_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

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
  chain(import_);
  chain(cancel);
  selectors_.first()->setFocus();
}

void ImportPreviewWindow::setRoleOf(QComboBox *selector, ColumnRole role) {
  selector->setCurrentIndex(selector->findData(int(role)));
}

ColumnMapping ImportPreviewWindow::mapping() const {
  ColumnMapping mapping;
  for (const QComboBox *selector : selectors_) {
    mapping.roles.append(ColumnRole(selector->currentData().toInt()));
  }
  mapping.header = header_->isChecked();
  return mapping;
}

void ImportPreviewWindow::setRole(int column, ColumnRole role) {
  if (QComboBox *selector = roleSelector(column)) {
    setRoleOf(selector, role);
  }
}

void ImportPreviewWindow::setHeader(bool header) { header_->setChecked(header); }

void ImportPreviewWindow::mappingChanged() {
  if (!import_) {
    return; // still being built
  }
  const ColumnMapping chosen = mapping();
  const bool complete = chosen.complete();
  import_->setEnabled(complete);
  QPalette palette = hint_->palette();
  palette.setColor(QPalette::WindowText,
                   complete ? this->palette().color(QPalette::WindowText) : kMissingColour);
  hint_->setPalette(palette);
  hint_->setText(
      complete ? QStringLiteral("Les relevés lus seront ajoutés à ceux de « %1 », après les "
                                "relevés déjà enregistrés.")
                     .arg(patient_)
               : QStringLiteral("Il faut une colonne pour la date et une pour l'heure (ou une "
                                "colonne « Date et heure »), la systolique, la diastolique et le "
                                "pouls."));
  // The names of the columns are no reading: shown greyed.
  for (int c = 0; c < table_->columnCount(); ++c) {
    if (QTableWidgetItem *item = table_->item(1, c)) {
      QFont font = item->font();
      font.setItalic(chosen.header);
      item->setFont(font);
      item->setForeground(chosen.header ? QBrush(kHeaderRowColour) : QBrush());
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
