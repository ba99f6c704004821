#include "app/meter_window.h"

#include "app/import_preview_window.h"
#include "common/error_text.h"

#include "common/identity.h"
#include "common/paths.h"
#include "common/preferences_file.h"
#include "meter/meter_pending.h"
#include "theme/colour_rules.h"
#include "theme/dark_scheme.h"
#include "ui/assets/assets.h"
#include "ui/drawing.h"

#ifdef TENSIOLOG_HAS_BLUETOOTH
#include "bluetooth/bluetooth_meter_link.h"
#elif defined(TENSIOLOG_HAS_WIN_GATT)
#include "win_gatt/win_gatt_meter_link.h"
#endif

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

namespace tl {

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 356;
constexpr int kMargin = 10;

const QColor kErrorColour(200, 0, 0);

MeterLinkFactory &Factory() {
  static MeterLinkFactory factory;
  return factory;
}

MeterWindowRunner &Runner() {
  static MeterWindowRunner runner;
  return runner;
}

QLabel *MakeLabel(QWidget *parent, ControlId id, const QRect &rect, const QString &text) {
  auto *label = new QLabel(text, parent);
  label->setGeometry(rect);
  label->setTextFormat(Qt::PlainText); // a meter names itself
  SetControlNumber(label, id);
  return label;
}

QString MeterLine(const QString &name, const QString &address) {
  return name.isEmpty() ? address : QStringLiteral("%1 (%2)").arg(name, address);
}

constexpr int kAddressRole = Qt::UserRole;
constexpr int kNameRole = Qt::UserRole + 1;

} // namespace

void SetMeterLinkFactory(MeterLinkFactory factory) { Factory() = std::move(factory); }

std::unique_ptr<MeterLink> MakeMeterLink() {
  if (Factory()) {
    return Factory()();
  }
#ifdef TENSIOLOG_HAS_BLUETOOTH
  return std::make_unique<BluetoothMeterLink>();
#elif defined(TENSIOLOG_HAS_WIN_GATT)
  return std::make_unique<WinGattMeterLink>();
#else
  return nullptr;
#endif
}

bool CanMakeMeterLink() {
#ifdef TENSIOLOG_HAS_METER_LINK
  return true;
#else
  return bool(Factory());
#endif
}

MeterWindow::MeterWindow(MeterLink &link, const QString &patient, const QString &rememberedAddress,
                         std::optional<quint8> user, QWidget *parent)
    : QDialog(parent), link_(link), patient_(patient), remembered_(rememberedAddress) {
  buildWindow();
  if (user) {
    user_->setCurrentIndex(std::max(0, user_->findData(int(*user))));
  }
  FollowDarkAppearance(this);

  connect(&link_, &MeterLink::meterFound, this, &MeterWindow::addMeter);
  connect(&link_, &MeterLink::progress, this, [this](const QString &text) { setProgress(text); });
  connect(&link_, &MeterLink::measurementReceived, this,
          [this](const QByteArray &value, const QDateTime &received) {
            records_.append({value, received});
            setProgress(records_.size() == 1
                            ? QStringLiteral("1 mesure reçue…")
                            : QStringLiteral("%1 mesures reçues…").arg(records_.size()));
          });
  connect(&link_, &MeterLink::finished, this, &MeterWindow::onFinished);

  // From the event loop, once the window is up: the remembered meter
  // directly, otherwise a search.
  QTimer::singleShot(0, this, [this] {
    if (remembered_.isEmpty()) {
      startSearch();
    } else {
      addMeter(QString(), remembered_);
      startRead();
    }
  });
}

MeterWindow::~MeterWindow() { link_.disconnect(this); }

QWidget *MeterWindow::control(ControlId id) { return FindControl(this, ToInt(id)); }

QString MeterWindow::meterLine() const { return MeterLine(readName_, readAddress_); }

std::optional<quint8> MeterWindow::user() const {
  const int user = user_->currentData().toInt();
  return user > 0 ? std::optional<quint8>(quint8(user)) : std::nullopt;
}

void MeterWindow::buildWindow() {
  SetUpImportDialog(*this, QStringLiteral(" Lecture du tensiomètre"), QSize(kWidth, kHeight),
                    QStringLiteral(" - Tensiomètre Bluetooth"),
                    QStringLiteral("Allumez le tensiomètre et lancez son transfert."),
                    ControlId::MeterBanner);

  const int inner = kWidth - 2 * kMargin;
  QLabel *listLabel = MakeLabel(this, ControlId::MeterListLabel, QRect(kMargin, 48, inner, 20),
                                QStringLiteral("Tensiomètres trouvés :"));
  meters_ = new QListWidget(this);
  meters_->setGeometry(kMargin, 68, inner, 120);
  meters_->setAccessibleName(QStringLiteral("Tensiomètres trouvés"));
  listLabel->setBuddy(meters_);
  SetControlNumber(meters_, ControlId::MeterList);
  connect(meters_, &QListWidget::currentRowChanged, this, [this] { setBusy(reading_); });
  connect(meters_, &QListWidget::itemActivated, this, [this] {
    if (read_->isEnabled()) {
      startRead();
    }
  });

  progress_ = MakeLabel(this, ControlId::MeterProgress, QRect(kMargin, 192, inner, 40), {});
  progress_->setWordWrap(true);
  progress_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  progress_->setAccessibleName(QStringLiteral("État de la lecture"));

  QLabel *userLabel = MakeLabel(this, ControlId::MeterUserLabel, QRect(kMargin, 238, 170, 24),
                                QStringLiteral("Utilisateur du tensiomètre :"));
  user_ = new QComboBox(this);
  user_->setGeometry(kMargin + 174, 238, 80, 24);
  user_->addItem(QStringLiteral("Tous"), 0);
  for (int n = 1; n <= kMeterUserCount; ++n) {
    user_->addItem(QString::number(n), n);
  }
  user_->setAccessibleName(QStringLiteral("Utilisateur du tensiomètre"));
  userLabel->setBuddy(user_);
  SetControlNumber(user_, ControlId::MeterUser);
  QLabel *userHint = MakeLabel(
      this, ControlId::MeterUserHint, QRect(kMargin, 264, inner, 48),
      QStringLiteral("Sur un tensiomètre à plusieurs utilisateurs, seules les mesures de ce numéro "
                     "sont prises. Le choix est retenu pour « %1 » à l'importation.")
          .arg(patient_));
  userHint->setWordWrap(true);
  userHint->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  auto makeButton = [this](ControlId id, const QString &caption, int x, const QString &tip,
                           int icon) {
    return TipButton(this, id, caption, QRect(x, kHeight - 10 - 28, 100, 28), tip, icon);
  };
  search_ = makeButton(ControlId::MeterButtonSearch, QStringLiteral("Rechercher"), kMargin,
                       QStringLiteral("Chercher les tensiomètres Bluetooth allumés."), 23);
  read_ = makeButton(ControlId::MeterButtonRead, QStringLiteral("Lire"), kWidth - kMargin - 210,
                     QStringLiteral("Se connecter au tensiomètre choisi et recevoir ses mesures."),
                     258);
  QPushButton *cancel =
      makeButton(ControlId::MeterButtonCancel, QStringLiteral("Annuler"), kWidth - kMargin - 100,
                 QStringLiteral("Fermer la fenêtre sans rien importer."), 109);
  read_->setDefault(true);
  connect(search_, &QPushButton::clicked, this, &MeterWindow::startSearch);
  connect(read_, &QPushButton::clicked, this, &MeterWindow::startRead);
  connect(cancel, &QPushButton::clicked, this, &MeterWindow::reject);

  setTabOrder(meters_, user_);
  setTabOrder(user_, search_);
  setTabOrder(search_, read_);
  setTabOrder(read_, cancel);
  meters_->setFocus();
  setBusy(false);
}

void MeterWindow::startSearch() {
  reading_ = false;
  // The meters found before stay listed; a new search adds those it finds.
  records_.clear();
  setProgress(QStringLiteral("Recherche des tensiomètres…"));
  setBusy(false);
  link_.search();
}

void MeterWindow::startRead() {
  const QListWidgetItem *item = meters_->currentItem();
  if (!item) {
    return;
  }
  readAddress_ = item->data(kAddressRole).toString();
  readName_ = item->data(kNameRole).toString();
  records_.clear();
  interruption_ = {};
  reading_ = true;
  setBusy(true);
  setProgress(
      QStringLiteral("Connexion au tensiomètre %1…").arg(MeterLine(readName_, readAddress_)));
  link_.read(readAddress_);
}

void MeterWindow::addMeter(const QString &name, const QString &address) {
  for (int row = 0; row < meters_->count(); ++row) {
    QListWidgetItem *item = meters_->item(row);
    if (item->data(kAddressRole).toString() == address) {
      if (!name.isEmpty()) { // the remembered meter, now found with its name
        item->setData(kNameRole, name);
        item->setText(MeterLine(name, address));
      }
      return;
    }
  }
  auto *item =
      new QListWidgetItem(name.isEmpty() && address == remembered_
                              ? QStringLiteral("Dernier tensiomètre utilisé (%1)").arg(address)
                              : MeterLine(name, address),
                          meters_);
  item->setData(kAddressRole, address);
  item->setData(kNameRole, name);
  if (!meters_->currentItem()) {
    meters_->setCurrentItem(item);
  }
}

void MeterWindow::setProgress(const QString &text, bool error) {
  QPalette palette = progress_->palette();
  palette.setColor(QPalette::WindowText,
                   error ? ReadableOn(kErrorColour, this->palette().color(QPalette::Window))
                         : this->palette().color(QPalette::WindowText));
  progress_->setPalette(palette);
  progress_->setText(text);
  progress_->setAccessibleDescription(text);
}

void MeterWindow::setBusy(bool reading) {
  // While a meter is read, nothing else may start; searching leaves "Lire"
  // to the person, who may pick a meter already listed.
  meters_->setEnabled(!reading);
  user_->setEnabled(!reading);
  search_->setEnabled(!reading);
  read_->setEnabled(!reading && meters_->currentItem() != nullptr);
}

void MeterWindow::onFinished(bool ok, const FileError &error) {
  const bool wasReading = reading_;
  reading_ = false;
  // Records a trial read kept for the patient are offered too, even when
  // the meter sent nothing new.
  if (wasReading && (!records_.isEmpty() || HasPendingMeterRecords(Paths().dataFolder, patient_))) {
    interruption_ = ok ? FileError() : error;
    accept();
    return;
  }
  setBusy(false);
  setProgress(ok ? QStringLiteral("Aucune mesure n'a été reçue du tensiomètre.")
                 : ErrorStatusText(error),
              true);
}

void MeterWindow::reject() {
  link_.cancel();
  QDialog::reject();
}

void SetMeterWindowRunner(MeterWindowRunner runner) { Runner() = std::move(runner); }

bool RunMeterWindow(MeterWindow &window) {
  if (Runner()) {
    return Runner()(window);
  }
  return window.exec() == QDialog::Accepted;
}

} // namespace tl
