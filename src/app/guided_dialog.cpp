#include "app/guided_dialog.h"

#include "common/error_text.h"
#include "logbook/workflows.h"
#include "measurements/context_texts.h"
#include "ui/controls.h"
#include "ui/drawing.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace tl {

namespace {

// A meter's reading older than this is not the one just taken.
constexpr qint64 kMeterReadingFreshSeconds = 15 * 60;

enum Page { ConditionsPage, WaitPage, ReadingPage, DonePage };

QLabel *PlainLabel(const QString &text, QWidget *parent) {
  auto *label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  return label;
}

// A page of the steps: its widgets top to bottom, with no margin of its own.
QVBoxLayout *PageLayout(QWidget *page) {
  auto *layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  return layout;
}

// A bold font the given times larger than the label's own.
void SetBoldScaled(QLabel *label, qreal factor) {
  QFont font = label->font();
  font.setPointSizeF(font.pointSizeF() * factor);
  font.setBold(true);
  label->setFont(font);
}

} // namespace

QStringList MeasurementConditions() {
  return {
      QStringLiteral("Assis depuis 5 minutes, le dos appuyé, les jambes décroisées."),
      QStringLiteral("Le bras posé sur la table, le brassard à hauteur du cœur, sur le bras nu."),
      QStringLiteral("Ni café, ni tabac, ni effort dans les 30 minutes qui précèdent."),
      QStringLiteral("La vessie vidée ; sans parler pendant la mesure."),
      QStringLiteral("Le matin : avant le petit déjeuner et avant les médicaments, pas juste au "
                     "saut du lit."),
      QStringLiteral("Le soir : avant le coucher."),
  };
}

GuidedDialog::GuidedDialog(int readings, const QString &notice, GuidedFiler filer,
                           std::function<QString()> progress, QWidget *parent, const Clock &clock)
    : QDialog(parent), session_(readings, clock), filer_(std::move(filer)),
      progress_(std::move(progress)) {
  setWindowTitle(QStringLiteral("Mesurer maintenant"));
  setWindowIcon(ImageIcon(0));
  auto *layout = new QVBoxLayout(this);

  heading_ = PlainLabel(QString(), this);
  SetBoldScaled(heading_, 1.5);
  SetControlNumber(heading_, ControlId::GuidedHeading);
  layout->addWidget(heading_);

  pages_ = new QStackedWidget(this);
  SetControlNumber(pages_, ControlId::GuidedPages);
  layout->addWidget(pages_, 1);

  // A button that moves the session on, then shows the step it comes to.
  const auto moveOnWith = [this](QPushButton *button, void (GuidedSession::*step)()) {
    connect(button, &QPushButton::clicked, this, [this, step] {
      (session_.*step)();
      showStep();
    });
  };

  // The conditions.
  auto *conditions = new QWidget;
  QVBoxLayout *conditionsLayout = PageLayout(conditions);
  if (!notice.isEmpty()) {
    QLabel *warning = PlainLabel(notice, conditions);
    SetControlNumber(warning, ControlId::GuidedNotice);
    conditionsLayout->addWidget(warning);
  }
  QStringList lines;
  for (const QString &line : MeasurementConditions()) {
    lines << QStringLiteral("•  ") + line;
  }
  QLabel *list = PlainLabel(lines.join(u'\n'), conditions);
  list->setAccessibleName(QStringLiteral("Conditions de la mesure"));
  list->setAccessibleDescription(MeasurementConditions().join(u' '));
  list->setFocusPolicy(Qt::TabFocus);
  SetControlNumber(list, ControlId::GuidedConditions);
  conditionsLayout->addWidget(list);
  conditionsLayout->addStretch(1);
  auto *startRest = new QPushButton(QStringLiteral("Commencer les 5 minutes de repos"), conditions);
  SetControlNumber(startRest, ControlId::GuidedStartRest);
  conditionsLayout->addWidget(startRest, 0, Qt::AlignRight);
  moveOnWith(startRest, &GuidedSession::startRest);
  pages_->addWidget(conditions);

  // The rest and the minute between readings.
  auto *wait = new QWidget;
  QVBoxLayout *waitLayout = PageLayout(wait);
  countdown_ = new QLabel(wait);
  SetBoldScaled(countdown_, 3);
  countdown_->setAlignment(Qt::AlignCenter);
  // Focused while it runs: a screen reader reads its state when asked.
  countdown_->setFocusPolicy(Qt::StrongFocus);
  SetControlNumber(countdown_, ControlId::GuidedCountdown);
  waitLayout->addWidget(countdown_, 1);
  waitHint_ = PlainLabel(QString(), wait);
  waitHint_->setAlignment(Qt::AlignCenter);
  waitLayout->addWidget(waitHint_);
  skip_ = new QPushButton(QStringLiteral("Mesurer sans attendre"), wait);
  // Wide enough for either of its texts, whichever comes first.
  const int skipWidth = skip_->sizeHint().width();
  skip_->setText(QStringLiteral("Écourter le repos"));
  skip_->setMinimumWidth(std::max(skipWidth, skip_->sizeHint().width()));
  SetControlNumber(skip_, ControlId::GuidedSkipWait);
  waitLayout->addWidget(skip_, 0, Qt::AlignRight);
  moveOnWith(skip_, &GuidedSession::skipWait);
  pages_->addWidget(wait);

  // One reading.
  auto *reading = new QWidget;
  QVBoxLayout *readingLayout = PageLayout(reading);
  dateTime_ = PlainLabel(QString(), reading);
  SetControlNumber(dateTime_, ControlId::GuidedDateTime);
  readingLayout->addWidget(dateTime_);
  auto *form = new QFormLayout;
  const std::pair<ControlId, const char *> fields[] = {
      {ControlId::GuidedSystolic, "Systolique (mmHg) :"},
      {ControlId::GuidedDiastolic, "Diastolique (mmHg) :"},
      {ControlId::GuidedPulse, "Pouls (par minute) :"},
  };
  for (size_t i = 0; i < values_.size(); ++i) {
    auto *edit = new QLineEdit(reading);
    edit->setMaxLength(3);
    edit->setMaximumWidth(80);
    const QString label = QString::fromUtf8(fields[i].second);
    edit->setAccessibleName(label.chopped(2));
    SetControlNumber(edit, fields[i].first);
    form->addRow(label, edit);
    values_[i] = edit;
  }
  note_ = new QLineEdit(reading);
  note_->setMaxLength(int(kMaxNoteLength));
  note_->setAccessibleName(QStringLiteral("Remarque"));
  SetControlNumber(note_, ControlId::GuidedNote);
  form->addRow(QStringLiteral("Remarque :"), note_);
  readingLayout->addLayout(form);
  auto *flagRow = new QHBoxLayout;
  for (size_t i = 0; i < flags_.size(); ++i) {
    flags_[i] = new QCheckBox(ContextFlagLabel(kAllContextFlags[i]), reading);
    SetControlNumber(flags_[i], ToInt(ControlId::GuidedFlagFirst) + int(i));
    flagRow->addWidget(flags_[i]);
  }
  flagRow->addStretch(1);
  readingLayout->addLayout(flagRow);
  error_ = PlainLabel(QString(), reading);
  QPalette red = error_->palette();
  red.setColor(QPalette::WindowText, QColor(170, 0, 0));
  error_->setPalette(red);
  SetControlNumber(error_, ControlId::GuidedError);
  readingLayout->addWidget(error_);
  meterStatus_ = PlainLabel(QString(), reading);
  meterStatus_->setWordWrap(true);
  // Room for its longest sentence: the page does not grow with its text.
  meterStatus_->setMinimumHeight(3 * meterStatus_->fontMetrics().lineSpacing() + 4);
  SetControlNumber(meterStatus_, ControlId::GuidedMeterStatus);
  readingLayout->addWidget(meterStatus_);
  readingLayout->addStretch(1);
  auto *buttons = new QHBoxLayout;
  readMeter_ = new QPushButton(QStringLiteral("Lire la mesure du tensiomètre"), reading);
  readMeter_->setVisible(false);
  SetControlNumber(readMeter_, ControlId::GuidedReadMeter);
  connect(readMeter_, &QPushButton::clicked, this, [this] {
    if (!makeLink_ || link_) {
      return;
    }
    link_ = makeLink_();
    if (!link_) {
      return;
    }
    received_.clear();
    readMeter_->setEnabled(false);
    meterStatus_->setText(QStringLiteral("Lecture du tensiomètre…"));
    connect(link_.get(), &MeterLink::measurementReceived, this,
            [this](const QByteArray &value, const QDateTime &received) {
              received_.append({value, received});
            });
    connect(link_.get(), &MeterLink::finished, this, [this](bool, const FileError &error) {
      // The link is done with once this returns.
      link_.release()->deleteLater();
      meterRead(received_, error);
    });
    link_->read(meterAddress_);
  });
  buttons->addWidget(readMeter_);
  buttons->addStretch(1);
  auto *file = new QPushButton(QStringLiteral("Enregistrer la mesure"), reading);
  SetControlNumber(file, ControlId::GuidedFile);
  connect(file, &QPushButton::clicked, this, &GuidedDialog::fileReading);
  buttons->addWidget(file);
  readingLayout->addLayout(buttons);
  pages_->addWidget(reading);

  // The end.
  summary_ = PlainLabel(QString(), this);
  summary_->setFocusPolicy(Qt::StrongFocus);
  summary_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  SetControlNumber(summary_, ControlId::GuidedSummary);
  pages_->addWidget(summary_);

  close_ = new QPushButton(QStringLiteral("Fermer"), this);
  close_->setAutoDefault(false);
  SetControlNumber(close_, ControlId::GuidedClose);
  connect(close_, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(close_, 0, Qt::AlignRight);

  resize(560, 400);
  timer_.setInterval(250);
  connect(&timer_, &QTimer::timeout, this, &GuidedDialog::tick);
  timer_.start();
  showStep();
}

GuidedDialog::~GuidedDialog() {
  if (link_) {
    link_->cancel();
  }
}

void GuidedDialog::offerMeter(std::function<std::unique_ptr<MeterLink>()> makeLink,
                              const QString &address, std::optional<quint8> user) {
  makeLink_ = std::move(makeLink);
  meterAddress_ = address;
  meterUser_ = user;
  readMeter_->setVisible(makeLink_ && !address.isEmpty());
}

void GuidedDialog::meterRead(const QList<MeterIndication> &records, const FileError &error) {
  readMeter_->setEnabled(true);
  // The newest reading of this patient's user that the meter could give.
  std::optional<MeterReading> newest;
  for (const MeterIndication &record : records) {
    MeterReading r = ReadMeterRecord(record.value, record.received);
    if (r.ok() && !OfOtherMeterUser(r, meterUser_) &&
        (!newest || std::pair(r.date, r.minutes) >= std::pair(newest->date, newest->minutes))) {
      newest = std::move(r);
    }
  }
  if (!newest) {
    meterStatus_->setText(
        error ? ErrorSentence(QStringLiteral("Le tensiomètre n'a pas pu être lu"), error)
              : QStringLiteral("Le tensiomètre n'a envoyé aucune mesure de ce patient : "
                               "tapez la mesure."));
    return;
  }
  const QDateTime taken(newest->date, QTime(newest->minutes / 60, newest->minutes % 60));
  const QString when = QStringLiteral("du %1 à %2")
                           .arg(taken.toString(QStringLiteral("dd/MM/yyyy")),
                                taken.toString(QStringLiteral("HH:mm")));
  // Only a reading of these last minutes is this one: an older one is the
  // meter's last reading of another time.
  if (taken.secsTo(session_.clockNow()) > kMeterReadingFreshSeconds) {
    meterStatus_->setText(QStringLiteral("La dernière mesure du tensiomètre date %1 : ce n'est "
                                         "pas celle de maintenant. Mesurez, puis lisez-la à "
                                         "nouveau ou tapez-la.")
                              .arg(when));
    return;
  }
  values_[0]->setText(QString::number(newest->systolic));
  values_[1]->setText(QString::number(newest->diastolic));
  values_[2]->setText(newest->pulse > 0 ? QString::number(newest->pulse) : QString());
  for (size_t i = 0; i < flags_.size(); ++i) {
    if (newest->context.has(kAllContextFlags[i])) {
      flags_[i]->setChecked(true);
    }
  }
  meterStatus_->setText(
      QStringLiteral("Mesure du tensiomètre %1 : %2/%3%4. Vérifiez-la, puis "
                     "enregistrez-la.")
          .arg(when, values_[0]->text(), values_[1]->text(),
               newest->pulse > 0 ? QStringLiteral(", pouls %1").arg(newest->pulse) : QString()));
  values_[newest->pulse > 0 ? 0 : 2]->setFocus();
}

QWidget *GuidedDialog::control(ControlId id) const {
  return FindControl(const_cast<GuidedDialog *>(this), id);
}

void GuidedDialog::tick() {
  if (session_.tick()) {
    // The wait is over: a beep calls the patient back.
    QApplication::beep();
    showStep();
  } else {
    updateCountdown();
  }
}

void GuidedDialog::updateCountdown() {
  const QString spoken = session_.spokenState();
  if (countdown_->text() != session_.countdownText()) {
    countdown_->setText(session_.countdownText());
  }
  if (countdown_->accessibleName() != spoken) {
    countdown_->setAccessibleName(spoken);
    heading_->setAccessibleDescription(spoken);
  }
  if (session_.step() == GuidedSession::Step::Reading) {
    dateTime_->setText(QStringLiteral("Date et heure de la mesure : maintenant, %1")
                           .arg(session_.clockNow().toString(QStringLiteral("dd/MM/yyyy HH:mm"))));
  }
}

void GuidedDialog::showStep() {
  heading_->setText(session_.heading());
  heading_->setAccessibleName(session_.heading());
  switch (session_.step()) {
  case GuidedSession::Step::Conditions:
    pages_->setCurrentIndex(ConditionsPage);
    control(ControlId::GuidedStartRest)->setFocus();
    static_cast<QPushButton *>(control(ControlId::GuidedStartRest))->setDefault(true);
    break;
  case GuidedSession::Step::Rest:
  case GuidedSession::Step::Pause: {
    const bool rest = session_.step() == GuidedSession::Step::Rest;
    pages_->setCurrentIndex(WaitPage);
    waitHint_->setText(rest ? QStringLiteral("Restez assis, le dos appuyé, sans parler. La "
                                             "première mesure viendra à la fin du repos.")
                            : QStringLiteral("Gardez le brassard en place, le bras détendu. "
                                             "La mesure suivante viendra dans une minute."));
    skip_->setText(rest ? QStringLiteral("Écourter le repos")
                        : QStringLiteral("Mesurer sans attendre"));
    skip_->setDefault(true);
    countdown_->setFocus();
    break;
  }
  case GuidedSession::Step::Reading:
    pages_->setCurrentIndex(ReadingPage);
    for (QLineEdit *edit : values_) {
      edit->clear();
    }
    note_->clear();
    for (QCheckBox *box : flags_) {
      box->setChecked(false);
    }
    error_->clear();
    meterStatus_->clear();
    // Enter in any field files the reading.
    static_cast<QPushButton *>(control(ControlId::GuidedFile))->setDefault(true);
    values_[0]->setFocus();
    break;
  case GuidedSession::Step::Done: {
    pages_->setCurrentIndex(DonePage);
    QString text = QStringLiteral("Mesures de la séance :\n");
    for (const QString &line : filed_) {
      text += QStringLiteral("•  ") + line + u'\n';
    }
    if (progress_) {
      text += u'\n' + progress_();
    }
    summary_->setText(text);
    summary_->setAccessibleName(text);
    close_->setDefault(true);
    summary_->setFocus();
    break;
  }
  }
  updateCountdown();
}

void GuidedDialog::fileReading() {
  if (session_.step() != GuidedSession::Step::Reading) {
    return;
  }
  const QString names[] = {QStringLiteral("la systolique"), QStringLiteral("la diastolique"),
                           QStringLiteral("le pouls")};
  for (size_t i = 0; i < values_.size(); ++i) {
    if (!TypedNumber(values_[i]->text())) {
      error_->setText(values_[i]->text().trimmed().isEmpty()
                          ? QStringLiteral("Tapez %1.").arg(names[i])
                          : QStringLiteral("%1 « %2 » n'est pas un nombre entier.")
                                .arg(QString(names[i]).replace(0, 1, names[i][0].toUpper()),
                                     values_[i]->text()));
      values_[i]->setFocus();
      values_[i]->selectAll();
      return;
    }
  }
  GuidedReading reading;
  reading.systolic = values_[0]->text().trimmed();
  reading.diastolic = values_[1]->text().trimmed();
  reading.pulse = values_[2]->text().trimmed();
  for (size_t i = 0; i < flags_.size(); ++i) {
    reading.context.set(kAllContextFlags[i], flags_[i]->isChecked());
  }
  QStringList note{note_->text().trimmed()};
  note << session_.restNote();
  note.removeAll(QString());
  reading.context.note = CleanNote(note.join(QStringLiteral(" ; ")));
  QString line;
  if (!filer_ || !filer_(reading, &line)) {
    values_[0]->setFocus();
    return;
  }
  filed_ << line;
  session_.readingFiled();
  showStep();
}

} // namespace tl
