#pragma once

#include "common/control_ids.h"
#include "meter/meter_import.h"
#include "meter_link/meter_link.h"

#include <QDialog>
#include <QList>
#include <functional>
#include <memory>
#include <optional>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace tl {

// The meter links the window uses: Qt Bluetooth's where Qt has a backend,
// Windows' own API in the Windows build, none elsewhere. Tests install a factory of their own (an
// empty one restores the program's).
using MeterLinkFactory = std::function<std::unique_ptr<MeterLink>()>;
void SetMeterLinkFactory(MeterLinkFactory factory);
// A new link, or nullptr where this build cannot read a meter.
std::unique_ptr<MeterLink> MakeMeterLink();
// Whether MakeMeterLink gives one, without making it.
bool CanMakeMeterLink();

// "Lire le tensiomètre (Bluetooth)...": the meters found, a progress line,
// the meter's user number kept for the patient, and "Rechercher" / "Lire" /
// "Annuler". Once shown, it connects straight to the meter it remembers, or
// searches. A transfer that ends with records closes the window (accepted);
// one that fails says why on the progress line, and the person may search
// or read again.
class MeterWindow : public QDialog {
  Q_OBJECT
public:
  MeterWindow(MeterLink &link, const QString &patient, const QString &rememberedAddress,
              std::optional<quint8> user, QWidget *parent = nullptr);
  ~MeterWindow() override;

  // Any control of this window by its number, or nullptr.
  QWidget *control(ControlId id);

  // Once accepted: what the meter sent, which meter, and whose readings
  // are taken (nothing: every user's). A transfer that broke after some
  // records is accepted too, with its error as the interruption: the
  // records received are not lost.
  const QList<MeterIndication> &records() const { return records_; }
  FileError interruption() const { return interruption_; }
  QString address() const { return readAddress_; }
  QString meterName() const { return readName_; }
  // "name (address)", or the address of a meter that gave no name.
  QString meterLine() const;
  std::optional<quint8> user() const;

  void reject() override; // stops the link first

private:
  void buildWindow();
  void startSearch();
  void startRead();
  void addMeter(const QString &name, const QString &address);
  void setProgress(const QString &text, bool error = false);
  void setBusy(bool reading);
  void onFinished(bool ok, const FileError &error);

  MeterLink &link_;
  QString patient_;
  QString remembered_;
  bool reading_ = false;
  QList<MeterIndication> records_;
  QString readAddress_, readName_;
  FileError interruption_;
  QListWidget *meters_ = nullptr;
  QLabel *progress_ = nullptr;
  QComboBox *user_ = nullptr;
  QPushButton *search_ = nullptr;
  QPushButton *read_ = nullptr;
};

// Shows the window and tells whether it ended with records. The program
// runs it modal; tests install a runner of their own that works on the
// built window (an empty one restores the modal run).
using MeterWindowRunner = std::function<bool(MeterWindow &)>;
void SetMeterWindowRunner(MeterWindowRunner runner);
bool RunMeterWindow(MeterWindow &window);

} // namespace tl
