#include "logbook/archiving.h"

#include "platform/clock.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

namespace tl {

namespace {

QString TwoDigits(int value) { return QString::number(value).rightJustified(2, u'0'); }

QString MeasurementFileName(DayPeriod period, const QString &patient) {
  return PeriodInfo(period).filePrefix + patient + QStringLiteral(".txt");
}

} // namespace

QString ArchiveStamp(const QDateTime &at) {
  const QDate d = at.date();
  const QTime t = at.time();
  return TwoDigits(d.day()) + TwoDigits(d.month()) +
         QString::number(d.year()).rightJustified(4, u'0') + u'_' + TwoDigits(t.hour()) +
         TwoDigits(t.minute()) + u'_';
}

QString ArchivedLine(DayPeriod period, const QString &patient) {
  return MeasurementFileName(period, patient) + QStringLiteral(" a été archivé.\r\n");
}

QString ArchiveErrorLine(DayPeriod period, const QString &patient) {
  return QStringLiteral("Une erreur est survenue lors de l'archivage de ") +
         MeasurementFileName(period, patient) + QStringLiteral("\r\n");
}

QString ArchiveContextPath(const QString &archivePath) {
  static const QRegularExpression archive = [] {
    QStringList names;
    for (DayPeriod period : kAllPeriods) {
      names.append(QRegularExpression::escape(PeriodInfo(period).name));
    }
    return QRegularExpression(QStringLiteral("^([0-9]{8}_[0-9]{4}_ARTL_)((") + names.join(u'|') +
                              QStringLiteral(")_.+\\.txt)$"));
  }();
  const QFileInfo info(archivePath);
  const QRegularExpressionMatch m = archive.match(info.fileName());
  if (!m.hasMatch()) {
    return QString();
  }
  const qsizetype folder = archivePath.size() - info.fileName().size();
  return archivePath.left(folder) + m.captured(1) + QStringLiteral("Notes_") + m.captured(2);
}

ArchiveRun ArchiveMeasurementFiles(const QString &dataFolder, const QString &archiveFolder,
                                   const QString &patient, const std::array<bool, 4> &refused) {
  ArchiveRun run;
  for (DayPeriod period : kAllPeriods) {
    const QString name = MeasurementFileName(period, patient);
    const QString source = dataFolder + name;
    ArchiveOutcome &outcome = run.outcomes[size_t(PeriodIndex(period))];
    if (refused[size_t(PeriodIndex(period))]) {
      outcome = ArchiveOutcome::Failed;
      run.report += ArchiveErrorLine(period, patient);
      continue;
    }
    const QFileInfo info(source);
    if (!info.exists() || info.isDir()) {
      outcome = ArchiveOutcome::Missing;
      continue;
    }
    const QString destination = archiveFolder + ArchiveStamp(clock().now()) + name;
    // QFile::rename refuses an existing destination and never overwrites it.
    if (!QFileInfo::exists(destination) && QFile::rename(source, destination)) {
      outcome = ArchiveOutcome::Archived;
      run.archivedAs[size_t(PeriodIndex(period))] = destination;
      run.report += ArchivedLine(period, patient);
    } else {
      outcome = ArchiveOutcome::Failed;
      run.report += ArchiveErrorLine(period, patient);
    }
  }
  return run;
}

} // namespace tl
