#include "logbook/reports.h"

#include "common/file_io.h"
#include "measurements/period_list_model.h"
#include "platform/clock.h"

namespace tl {

namespace {

QString TwoDigits(int value) { return QString::number(value).rightJustified(2, u'0'); }

void AppendLine(QByteArray &out, const QString &text) {
  out.append(text.toUtf8());
  out.append("\r\n", 2);
}

void AppendLine(QByteArray &out, QByteArrayView ascii) {
  out.append(ascii);
  out.append("\r\n", 2);
}

constexpr char kEquals50[] = "==================================================";
constexpr char kHyphens50[] = "--------------------------------------------------";
constexpr char kHyphens42[] = "------------------------------------------";
constexpr char kHyphens82[] =
    "----------------------------------------------------------------------------------";

// The order in which the report files are written.
constexpr std::array<DayPeriod, 4> kWriteOrder = {DayPeriod::Nuit, DayPeriod::Matin,
                                                  DayPeriod::Jour, DayPeriod::Soir};

} // namespace

QString ReportStamp(const QDateTime &at) {
  const QDate d = at.date();
  const QTime t = at.time();
  return TwoDigits(d.day()) + TwoDigits(d.month()) +
         QString::number(d.year()).rightJustified(4, u'0') + u'_' + TwoDigits(t.hour()) +
         TwoDigits(t.minute()) + TwoDigits(t.second());
}

QString ReportFileName(DayPeriod period, const QString &patient, const QDateTime &at) {
  return QStringLiteral("Imp_") + PeriodInfo(period).filePrefix + patient + u'_' + ReportStamp(at) +
         QStringLiteral(".txt");
}

QString ReportHeading(DayPeriod period) {
  switch (period) {
  case DayPeriod::Nuit:
    return QStringLiteral("Relevés de mesures effectués la nuit entre 00h00 et 06h00 : ");
  case DayPeriod::Matin:
    return QStringLiteral("Relevés de mesures effectués le matin entre 06h00 et 12h00 : ");
  case DayPeriod::Jour:
    return QStringLiteral("Relevés de mesures effectués l'après-midi entre 12h00 et 18h00 : ");
  case DayPeriod::Soir:
    break;
  }
  return QStringLiteral("Relevés de mesures effectués en soirée entre 18h00 et 24h00 : ");
}

void AppendReadingBlock(QByteArray &out, const Reading &r) {
  AppendLine(out, QStringLiteral("Date et heure de la mesure : le ") + r[Reading::Date] +
                      QStringLiteral(" à ") + r[Reading::Time]);
  AppendLine(out, QStringLiteral("Systolique : ") + r[Reading::Systolic] +
                      QStringLiteral(" / Diastolique : ") + r[Reading::Diastolic] +
                      QStringLiteral(" / Pouls : ") + r[Reading::Pulse]);
  AppendLine(out, QStringLiteral("Diagnostic : ") + r[Reading::Diagnosis]);
  AppendLine(out, QByteArrayView(kHyphens82));
}

QByteArray PeriodReport(DayPeriod period, const QString &patient,
                        const std::vector<Reading> &readings) {
  QByteArray out;
  AppendLine(out, QByteArrayView(kEquals50));
  AppendLine(out, ReportHeading(period) + QString::number(qulonglong(readings.size())));
  AppendLine(out, QStringLiteral("Patient : ") + patient);
  const bool wide = period == DayPeriod::Nuit || period == DayPeriod::Matin;
  AppendLine(out, QByteArrayView(wide ? kHyphens50 : kHyphens42));
  for (const Reading &r : readings) {
    AppendReadingBlock(out, r);
  }
  return out;
}

QByteArray PrintableArchive(const QString &fileName, const std::vector<Reading> &readings) {
  QByteArray out;
  AppendLine(out, QStringLiteral("Le fichier archivé : ") + fileName);
  AppendLine(out, QStringLiteral("Contient ") + QString::number(qulonglong(readings.size())) +
                      QStringLiteral(" relevés de mesures."));
  AppendLine(out, QByteArrayView(kEquals50));
  for (const Reading &r : readings) {
    AppendReadingBlock(out, r);
  }
  return out;
}

QStringList PrintPeriodReports(const std::array<const std::vector<Reading> *, 4> &periods,
                               const QString &printFolder, const QString &patient) {
  std::array<QString, 4> names;
  for (DayPeriod period : kAllPeriods) {
    names[size_t(PeriodIndex(period))] = ReportFileName(period, patient, clock().now());
  }
  QStringList written;
  for (DayPeriod period : kWriteOrder) {
    const std::vector<Reading> *readings = periods[size_t(PeriodIndex(period))];
    if (!readings || readings->empty()) {
      continue;
    }
    const QString path = printFolder + names[size_t(PeriodIndex(period))];
    if (WriteWholeFile(path, PeriodReport(period, patient, *readings))) {
      continue;
    }
    written.append(path);
  }
  return written;
}

QStringList PrintPeriodLists(const PeriodLists &lists, const QString &printFolder,
                             const QString &patient) {
  std::array<const std::vector<Reading> *, 4> periods{};
  for (DayPeriod period : kAllPeriods) {
    periods[size_t(PeriodIndex(period))] = &lists.list(period).readings();
  }
  return PrintPeriodReports(periods, printFolder, patient);
}

QString PrintArchive(const QString &printFolder, const QString &fileName,
                     const std::vector<Reading> &readings) {
  if (readings.empty()) {
    return QString();
  }
  const QString path = printFolder + fileName;
  if (WriteWholeFile(path, PrintableArchive(fileName, readings))) {
    return QString();
  }
  return path;
}

} // namespace tl
