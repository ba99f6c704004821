#pragma once

#include "common/control_ids.h"
#include "measurements/reading_context.h"
#include "meter/meter_import.h"
#include "meter_link/meter_link.h"
#include "series/guided_session.h"

#include <QDialog>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;

namespace tl {

// A reading typed in the guided session.
struct GuidedReading {
  QString systolic, diastolic, pulse;
  ReadingContext context;
};

// Files a reading at the present time and saves it; true when filed (a
// box has said why not otherwise). `filed` receives its line for the end
// of the session ("09:35 : 128/82, pouls 66").
using GuidedFiler = std::function<bool(const GuidedReading &reading, QString *filed)>;

// "Mesurer maintenant": the conditions to check, five minutes of rest, then
// each reading typed with its note and flags and filed at once, one minute
// apart; at the end the session's readings and the series' progress.
// Everything works by keyboard; the countdown's state is the accessible
// name of the countdown, which takes the focus while it runs.
class GuidedDialog : public QDialog {
  Q_OBJECT
public:
  // `readings` of the session; `notice`, when not empty, is shown above the
  // conditions (the time is in no session of the series...); `progress`
  // gives the series' lines for the end.
  GuidedDialog(int readings, const QString &notice, GuidedFiler filer,
               std::function<QString()> progress, QWidget *parent = nullptr,
               const Clock &clock = tl::clock());
  ~GuidedDialog() override;

  GuidedSession &session() { return session_; }
  QWidget *control(ControlId id) const;
  // One beat of the countdown (the dialog's timer runs it every quarter second).
  void tick();
  // The reading typed, filed: what "Enregistrer la mesure" and Enter do.
  void fileReading();
  const QStringList &filed() const { return filed_; }
  // Offers to take each reading from the meter at `address` (its newest
  // record of `user`'s), through a link `makeLink` makes; without an
  // address, the readings are typed only.
  void offerMeter(std::function<std::unique_ptr<MeterLink>()> makeLink, const QString &address,
                  std::optional<quint8> user);
  // What the meter sent: the newest reading fills the fields.
  void meterRead(const QList<MeterIndication> &records, const FileError &error);

private:
  void showStep();
  void updateCountdown();

  GuidedSession session_;
  GuidedFiler filer_;
  std::function<QString()> progress_;
  QTimer timer_;
  QStringList filed_;
  QLabel *heading_ = nullptr;
  QStackedWidget *pages_ = nullptr;
  QLabel *countdown_ = nullptr;
  QLabel *waitHint_ = nullptr;
  QPushButton *skip_ = nullptr;
  QLabel *dateTime_ = nullptr;
  std::array<QLineEdit *, 3> values_{};
  QLineEdit *note_ = nullptr;
  std::array<QCheckBox *, 4> flags_{};
  QLabel *error_ = nullptr;
  QPushButton *readMeter_ = nullptr;
  QLabel *meterStatus_ = nullptr;
  std::function<std::unique_ptr<MeterLink>()> makeLink_;
  QString meterAddress_;
  std::optional<quint8> meterUser_;
  std::unique_ptr<MeterLink> link_;
  QList<MeterIndication> received_;
  QLabel *summary_ = nullptr;
  QPushButton *close_ = nullptr;
};

// The conditions of a home measurement (ESC 2024), one per line.
QStringList MeasurementConditions();

} // namespace tl
