#include "logbook/patient_file.h"

#include "common/text.h"
#include "measurements/measurement_file.h"
#include "measurements/parse.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace tl {

const std::array<QString, Patient::kFieldCount> &PatientColumnTitles() {
  static const std::array<QString, Patient::kFieldCount> titles = {
      QStringLiteral("Nom et prénom"),   QStringLiteral("Âge"),
      QStringLiteral("Poids"),           QStringLiteral("Médecin"),
      QStringLiteral("Cabinet médical"), QStringLiteral("E-mail médecin"),
      QStringLiteral("Tél. médecin"),    QStringLiteral("Fiche créée")};
  return titles;
}

std::vector<Patient> ParsePatientFile(QByteArrayView bytes) {
  const std::vector<QStringList> records = ParseRecordFile(bytes, Patient::kFieldCount);
  std::vector<Patient> patients;
  patients.reserve(records.size());
  for (const QStringList &record : records) {
    Patient p;
    for (int i = 0; i < Patient::kFieldCount && i < record.size(); ++i) {
      p[i] = record[i];
    }
    patients.push_back(std::move(p));
  }
  return patients;
}

QByteArray SerializePatientFile(const std::vector<Patient> &patients) {
  QByteArray out = QByteArray::number(qulonglong(patients.size()));
  out.append("\r\n");
  for (const Patient &p : patients) {
    for (const QString &field : p.fields) {
      out.append(SingleLine(field).toUtf8());
      out.append("\r\n");
    }
  }
  return out;
}

PatientFileContents LoadPatientFile(const QString &path) {
  PatientFileContents contents;
  contents.exists = QFileInfo::exists(path);
  if (!contents.exists) {
    return contents;
  }
  QByteArray bytes;
  const FileError error = ReadWholeFile(path, kMaxSmallFileBytes, &bytes);
  if (error || !HasUsableCountLine(bytes)) {
    contents.unreadable = QFileInfo(path).isFile(); // a folder there holds no profile
    return contents;
  }
  contents.patients = ParsePatientFile(bytes);
  return contents;
}

FileError SavePatientFile(const QString &path, const std::vector<Patient> &patients) {
  if (patients.empty()) {
    return {path, QStringLiteral("aucun profil à enregistrer")};
  }
  return WriteWholeFile(path, SerializePatientFile(patients));
}

bool DeletePatientFile(const QString &path) {
  QFile file(path);
  if (!file.exists()) {
    return true;
  }
  // A read-only file is made writable first so that it can be removed everywhere.
  file.setPermissions(file.permissions() | QFileDevice::WriteOwner | QFileDevice::WriteUser);
  return file.remove();
}

Patient NewPatientProfile(Patient typed, QDate today) {
  for (QString &field : typed.fields) {
    field = SingleLine(field);
  }
  typed[Patient::CreatedOn] = today.toString(QStringLiteral("dd/MM/yyyy"));
  return typed;
}

bool HasPatientProfile(const std::vector<Patient> &patients, const QString &name) {
  return std::any_of(patients.begin(), patients.end(),
                     [&](const Patient &p) { return p[Patient::Name] == name; });
}

FileError AddPatientProfile(const QString &path, const QString &name, QDate today) {
  PatientFileContents contents = LoadPatientFile(path);
  if (contents.unreadable) {
    return {path, QStringLiteral("fichier des patients illisible")};
  }
  Patient typed;
  typed[Patient::Name] = name;
  contents.patients.push_back(NewPatientProfile(typed, today));
  return SavePatientFile(path, contents.patients);
}

} // namespace tl
