#include "archives/archive_manager_window.h"

#include "archives/archive_file_model.h"
#include "archives/archive_readings_model.h"
#include "common/control_ids.h"
#include "common/identity.h"
#include "logbook/archiving.h"
#include "logbook/reports.h"
#include "measurements/context_texts.h"
#include "measurements/measurement_file.h"
#include "platform/dialogs.h"
#include "theme/control_colour.h"
#include "theme/dark_scheme.h"
#include "ui/assets/assets.h"
#include "ui/documents.h"
#include "ui/drawing.h"
#include "ui/fit_text.h"
#include "ui/read_only.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QRegularExpression>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QTreeView>
#include <algorithm>

namespace tl {

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr int kFileListWidth = 200;
constexpr int kStripTop = 40;
constexpr int kStripHeight = 30;
constexpr int kListsTop = 70;
constexpr int kStatusHeight = 25;

const QString kBlanks20(20, u' ');

// Larger files are no archive the program wrote: they are not opened.
constexpr qint64 kMaxArchiveBytes = qint64(64) * 1024 * 1024;

// The lists take the colours of the scheme in force (the dark scheme colours
// them with the window); the selection stays drawn when a list loses the
// focus.
void ColourArchiveList(QAbstractItemView *view) {
  QPalette pal = view->palette();
  pal.setColor(QPalette::Inactive, QPalette::Highlight,
               pal.color(QPalette::Active, QPalette::Highlight));
  pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
               pal.color(QPalette::Active, QPalette::HighlightedText));
  view->setPalette(pal);
}

QLabel *StatusField(QWidget *parent) {
  auto *label = new QLabel(parent);
  label->setFont(SharedFont(0));
  label->setFrameStyle(QFrame::Panel | QFrame::Raised);
  label->setTextFormat(Qt::PlainText);
  return label;
}

// Deletes a file, read-only or not; a file left in place keeps its attributes.
bool RemoveArchiveFile(const QString &path) {
  QFile file(path);
  const QFileDevice::Permissions before = file.permissions();
  const QFileDevice::Permissions writable =
      before | QFileDevice::WriteOwner | QFileDevice::WriteUser;
  const bool changed = file.exists() && before != writable && file.setPermissions(writable);
  if (file.remove()) {
    return true;
  }
  if (changed) {
    file.setPermissions(before);
  }
  return false;
}

} // namespace

ArchiveManagerWindow::ArchiveManagerWindow(const QString &archiveFolder, const QString &printFolder,
                                           QWidget *parent)
    : QDialog(parent), folder_(archiveFolder), printFolder_(printFolder) {
  buildWindow();
  refreshArchiveCount();
  showReadingsCount();
  FollowDarkAppearance(this);
}

ArchiveManagerWindow::~ArchiveManagerWindow() = default;

void ArchiveManagerWindow::buildWindow() {
  setWindowTitle(ProgramTitle() + QStringLiteral(" Archives"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(kWidth, kHeight);

  banner_ =
      AddBanner(this, ControlId::ArchiveBanner, kWidth, QColor(71, 233, 25), QColor(61, 162, 25),
                SystemIcon(265), ProgramTitle() + QStringLiteral(" - Archives"),
                QStringLiteral("Relevés d'automesures tensionnelles archivés"));

  const DrawnButtonEntry buttons[] = {
      {&quit_, ControlId::ArchiveButtonQuit, 0, 100, 27, QStringLiteral("Quitter"),
       QStringLiteral("Fermer la fenêtre et quitter les archives")},
      {&delete_, ControlId::ArchiveButtonDelete, 100, 110, 131, QStringLiteral("Supprimer"),
       QStringLiteral("Supprimer définitivement les archives sélectionnées")},
      {&print_, ControlId::ArchiveButtonPrint, 210, 110, 225, QStringLiteral("Imprimer"),
       QStringLiteral("Créer un fichier texte et l'ouvrir pour impression des relevés de "
                      "mesures actuellement affichés.")},
  };
  AddDrawnButtons(this, kStripTop, kStripHeight, buttons);
  band_ = new DrawnButton(QString(), QIcon(), this);
  band_->setInteractive(false);
  band_->setFocusPolicy(Qt::NoFocus);
  band_->setGeometry(320, kStripTop, kWidth - 320, kStripHeight);
  SetControlNumber(band_, ControlId::ArchiveOpenedFile);

  splitter_ = new QSplitter(Qt::Horizontal, this);
  splitter_->setGeometry(0, kListsTop, kWidth, kHeight - kListsTop - kStatusHeight);
  splitter_->setChildrenCollapsible(false);
  SetControlNumber(splitter_, ControlId::ArchiveSplitter);

  // The file list follows the archive folder: files only, no parent entry.
  files_ = new ArchiveFileModel(this);
  files_->setFilter(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
  files_->setReadOnly(true);
  const QString root = folder_.isEmpty() ? QDir::currentPath() : folder_;
  const QModelIndex rootIndex = files_->setRootPath(root);

  fileList_ = new QTableView(splitter_);
  fileList_->setModel(files_);
  fileList_->setRootIndex(rootIndex);
  fileList_->setSelectionBehavior(QAbstractItemView::SelectRows);
  fileList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  fileList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  fileList_->setShowGrid(true);
  fileList_->setWordWrap(false);
  fileList_->setDragEnabled(false);
  fileList_->setTabKeyNavigation(false); // rows are chosen whole: Tab leaves the list
  fileList_->verticalHeader()->hide();
  fileList_->verticalHeader()->setDefaultSectionSize(fileList_->fontMetrics().height() + 6);
  fileList_->horizontalHeader()->setHighlightSections(false);
  fileList_->horizontalHeader()->setStretchLastSection(false);
  // The name and the size of every file in view in the 200-pixel list, a
  // vertical scroll bar included: a wider name column pushed the sizes,
  // drawn flush right, past the list's edge. Whole names show on hover.
  const int sizeWidth = 80;
  const int nameWidth =
      kFileListWidth - sizeWidth - 2 * fileList_->frameWidth() -
      fileList_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, fileList_);
  const int fileWidths[] = {nameWidth, sizeWidth, 80, 80};
  for (int c = 0; c < 4; ++c) {
    fileList_->setColumnWidth(c, fileWidths[c]);
  }
  ColourArchiveList(fileList_);
  fileList_->setAccessibleName(QStringLiteral("Fichiers archivés"));
  SetControlNumber(fileList_, ControlId::ArchiveFileList);

  readings_ = new ArchiveReadingsModel(this);
  readingsList_ = new QTreeView(splitter_);
  readingsList_->setModel(readings_);
  readingsList_->setRootIsDecorated(false);
  readingsList_->setItemsExpandable(false);
  readingsList_->setUniformRowHeights(true);
  readingsList_->setAllColumnsShowFocus(true);
  readingsList_->setSelectionBehavior(QAbstractItemView::SelectRows);
  readingsList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  readingsList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  readingsList_->header()->setStretchLastSection(false);
  readingsList_->header()->setSectionsMovable(false);
  SetListHeaderFont(readingsList_->header());
  const int readingWidths[] = {100, 60, 70, 70, 70, 500};
  for (int c = 0; c < Reading::kCellCount; ++c) {
    readingsList_->setColumnWidth(c, readingWidths[c]);
  }
  ColourArchiveList(readingsList_);
  readingsList_->setAccessibleName(QStringLiteral("Relevés d'automesures tensionnelles archivés"));
  SetControlNumber(readingsList_, ControlId::ArchiveReadingsList);

  splitter_->addWidget(fileList_);
  splitter_->addWidget(readingsList_);
  splitter_->setStretchFactor(1, 1);
  splitter_->setSizes({kFileListWidth, kWidth - kFileListWidth - splitter_->handleWidth()});

  auto *status = new QStatusBar(this);
  status->setSizeGripEnabled(false);
  status->setGeometry(0, kHeight - kStatusHeight, kWidth, kStatusHeight);
  archiveCount_ = StatusField(status);
  readingsCount_ = StatusField(status);
  status->addWidget(archiveCount_, 1);
  status->addWidget(readingsCount_, 1);
  SetControlNumber(status, ControlId::ArchiveStatusBar);

  connect(quit_, &DrawnButton::clicked, this, &QDialog::reject);
  connect(delete_, &DrawnButton::clicked, this, &ArchiveManagerWindow::deleteSelectedArchives);
  connect(print_, &DrawnButton::clicked, this, &ArchiveManagerWindow::printOpenedArchive);
  connect(fileList_, &QAbstractItemView::doubleClicked, this,
          [this](const QModelIndex &) { openCurrentArchive(); });
  fileList_->installEventFilter(this);

  // The count follows the folder as files appear and vanish.
  connect(files_, &QFileSystemModel::directoryLoaded, this,
          &ArchiveManagerWindow::refreshArchiveCount);
  connect(files_, &QAbstractItemModel::rowsInserted, this,
          &ArchiveManagerWindow::refreshArchiveCount);
  connect(files_, &QAbstractItemModel::rowsRemoved, this,
          &ArchiveManagerWindow::refreshArchiveCount);
  connect(files_, &QAbstractItemModel::modelReset, this,
          &ArchiveManagerWindow::refreshArchiveCount);

  setTabOrder(quit_, delete_);
  setTabOrder(delete_, print_);
  setTabOrder(print_, fileList_);
  setTabOrder(fileList_, readingsList_);
  fileList_->setFocus();

  if (QScreen *screen =
          parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

QString ArchiveManagerWindow::ArchiveCountText(int count, bool afterDeletion) {
  if (afterDeletion) {
    return QString::number(count) + QStringLiteral(" fichiers archivés.");
  }
  if (count == 0) {
    return QStringLiteral("Il n'y a aucun fichier archivé pour le moment.");
  }
  return QStringLiteral("     ") + QString::number(count) + QStringLiteral(" fichiers archivés.");
}

QString ArchiveManagerWindow::ReadingsCountText(qsizetype rows) {
  if (rows == 0) {
    return QStringLiteral("Il n'y a aucun relevé de mesures à afficher pour le moment.");
  }
  return QStringLiteral("Il y a ") + QString::number(rows) +
         QStringLiteral(" relevés de mesures dans ce fichier.");
}

QString ArchiveManagerWindow::OpenedBandText(const QString &name) {
  if (name.isEmpty()) {
    return kBlanks20;
  }
  return kBlanks20 + QStringLiteral("Fichier ouvert : ") + name;
}

const std::vector<Reading> &ArchiveManagerWindow::readings() const { return readings_->readings(); }

QString ArchiveManagerWindow::archiveCountText() const { return archiveCount_->text(); }
QString ArchiveManagerWindow::readingsCountText() const { return readingsCount_->text(); }
QString ArchiveManagerWindow::openedBandText() const { return band_->label(); }

int ArchiveManagerWindow::visibleFileCount() {
  // Files deleted here no longer count, even before the list has caught up
  // with the folder; a name is forgotten once its row is gone or the file is
  // back under that name.
  const QModelIndex root = fileList_->rootIndex();
  int count = files_->rowCount(root);
  for (auto it = deletedNames_.begin(); it != deletedNames_.end();) {
    const QString path = files_->rootPath() + u'/' + *it;
    if (files_->index(path).isValid() && !QFileInfo::exists(path)) {
      --count;
      ++it;
    } else {
      it = deletedNames_.erase(it);
    }
  }
  return qMax(count, 0);
}

void ArchiveManagerWindow::refreshArchiveCount() { showArchiveCount(visibleFileCount()); }

void ArchiveManagerWindow::showArchiveCount(int count) {
  archiveCount_->setText(ArchiveCountText(count, afterDeletion_));
  const bool centred = afterDeletion_ || count == 0;
  archiveCount_->setAlignment((centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter);
}

void ArchiveManagerWindow::showReadingsCount() {
  readingsCount_->setText(ReadingsCountText(qsizetype(readings_->readings().size())));
  readingsCount_->setAlignment(Qt::AlignCenter);
}

void ArchiveManagerWindow::setOpenedBand(const QString &name) {
  band_->setLabel(OpenedBandText(name));
  FitLabelToButton(band_); // a long file name gets a smaller font, not cut
}

namespace {

// The notes kept beside an archive, one text per reading (none when the
// archive kept none).
std::vector<QString> ArchiveRemarks(const QString &archivePath,
                                    const std::vector<Reading> &readings) {
  const QString beside = ArchiveContextPath(archivePath);
  if (beside.isEmpty() || !QFileInfo(beside).isFile()) {
    return {};
  }
  QFile file(beside);
  if (file.size() > kMaxArchiveBytes || !file.open(QIODevice::ReadOnly)) {
    return {};
  }
  ReadingContexts contexts;
  std::vector<ContextRecord> records = ParseContextFile(file.readAll());
  for (ContextRecord &r : records) {
    r.key.period = DayPeriod::Matin; // one archive, one period
  }
  contexts.setRecords(std::move(records));
  if (contexts.isEmpty()) {
    return {};
  }
  std::vector<QString> remarks;
  remarks.reserve(readings.size());
  for (const Reading &r : readings) {
    const ReadingContext *context = contexts.find(DayPeriod::Matin, r);
    remarks.push_back(context ? ContextSummary(*context) : QString());
  }
  return remarks;
}

// Whether a file name is that of the notes kept beside an archive.
bool IsArchiveContextName(const QString &name) {
  static const QRegularExpression notes(QStringLiteral("^[0-9]{8}_[0-9]{4}_ARTL_Notes_.+\\.txt$"));
  return notes.match(name).hasMatch();
}

} // namespace

void ArchiveManagerWindow::loadArchive(const QString &path) {
  readings_->clear();
  QFile file(path);
  if (file.size() > kMaxArchiveBytes) {
    readingsCount_->setText(
        QStringLiteral("Ce fichier est trop volumineux pour être affiché (plus de 64 Mo)."));
    readingsCount_->setAlignment(Qt::AlignCenter);
    return;
  }
  if (file.open(QIODevice::ReadOnly) && file.size() > 0) {
    if (IsArchiveContextName(QFileInfo(path).fileName())) {
      // The notes file itself: its readings as its records name them.
      std::vector<Reading> rows;
      std::vector<QString> remarks;
      for (const ContextRecord &r : ParseContextFile(file.read(kMaxArchiveBytes))) {
        rows.push_back(r.key.cells);
        remarks.push_back(ContextSummary(r.context));
      }
      readings_->setReadings(std::move(rows), std::move(remarks));
      showReadingsCount();
      return;
    }
    std::vector<Reading> rows;
    // Mapped rather than read: parsing stops after the records the count
    // line announces, so only those pages of the file are ever touched.
    if (const uchar *data = file.map(0, file.size())) {
      rows =
          ParseMeasurementFile(QByteArrayView(reinterpret_cast<const char *>(data), file.size()));
      file.unmap(const_cast<uchar *>(data));
    } else {
      rows = ParseMeasurementFile(file.read(kMaxArchiveBytes));
    }
    std::vector<QString> remarks = ArchiveRemarks(path, rows);
    readings_->setReadings(std::move(rows), std::move(remarks));
    if (readings_->hasRemarks()) {
      readingsList_->setColumnWidth(Reading::kCellCount, 300);
    }
  }
  showReadingsCount();
}

void ArchiveManagerWindow::openCurrentArchive() {
  const QModelIndex current = fileList_->currentIndex();
  if (!current.isValid() || current.parent() != fileList_->rootIndex() ||
      !fileList_->selectionModel()->isRowSelected(current.row(), current.parent()) ||
      files_->isDir(current)) {
    return;
  }
  const QString name = files_->fileName(current);
  loadArchive(files_->filePath(current));
  openedName_ = name;
  setOpenedBand(name);
}

void ArchiveManagerWindow::deleteSelectedArchives() {
  if (RefusedWhileReadOnly(this)) {
    return;
  }
  if (!dialogs().askYesNo(
          this, Dialogs::Icon::Warning, QStringLiteral("Suppression"),
          QStringLiteral(
              "Êtes-vous sûr(e) de vouloir supprimer tous les fichiers sélectionnés ?"))) {
    return;
  }
  // The names are taken first: the list may change under us while a box is open.
  QModelIndexList selected = fileList_->selectionModel()->selectedRows();
  std::sort(selected.begin(), selected.end(),
            [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
  QStringList names;
  for (const QModelIndex &index : selected) {
    if (index.parent() == fileList_->rootIndex() && !files_->isDir(index)) {
      names.append(files_->fileName(index));
    }
  }
  for (const QString &name : names) {
    if (name == u"." || name == u".." ||
        (deletedNames_.contains(name) && !QFileInfo::exists(folder_ + name))) {
      continue; // the notes of an archive deleted just before
    }
    const QString beside = ArchiveContextPath(folder_ + name);
    if (!RemoveArchiveFile(folder_ + name)) {
      dialogs().error(
          this, QStringLiteral("Erreur!"),
          name + u'\n' +
              QStringLiteral("n'a pu être supprimé. Il est peut-être en cours d'utilisation"));
      continue;
    }
    // The notes kept beside an archive go with it.
    if (!beside.isEmpty() && QFileInfo(beside).isFile() && RemoveArchiveFile(beside)) {
      deletedNames_.insert(QFileInfo(beside).fileName());
    }
    afterDeletion_ = true;
    deletedNames_.insert(name);
    refreshArchiveCount();
    if (name == openedName_) {
      readings_->clear();
      setOpenedBand(QString());
      showReadingsCount();
    }
  }
}

void ArchiveManagerWindow::printOpenedArchive() {
  const std::vector<Reading> &rows = readings_->readings();
  if (rows.empty() || openedName_.isEmpty() || RefusedWhileReadOnly(this)) {
    return;
  }
  // When the print folder is the archive folder (both fell back to the
  // current directory), the printout would overwrite the archive itself.
  const QFileInfo printout(printFolder_ + openedName_);
  const QFileInfo archive((folder_.isEmpty() ? QDir::currentPath() + u'/' : folder_) + openedName_);
  if (printout.absoluteFilePath() == archive.absoluteFilePath() ||
      (printout.exists() && archive.exists() &&
       printout.canonicalFilePath() == archive.canonicalFilePath())) {
    return;
  }
  const QString written = PrintArchive(printFolder_, openedName_, rows);
  if (!written.isEmpty()) {
    ShowWrittenFiles(this, QStringLiteral("Imprimer"), {written});
  }
}

void ArchiveManagerWindow::done(int result) {
  openedName_.clear();
  QDialog::done(result);
}

bool ArchiveManagerWindow::eventFilter(QObject *watched, QEvent *event) {
  if (watched == fileList_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent *>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      openCurrentArchive();
      return true;
    }
    if (key == Qt::Key_Delete) {
      deleteSelectedArchives();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

} // namespace tl
