#include "logbook/patient_file.h"

#include "common/error_text.h"
#include "common/text.h"
#include "measurements/measurement_file.h"
#include "measurements/parse.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QPair>
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
  contents.file = ReadFileSnapshot(path, kMaxSmallFileBytes);
  contents.exists = contents.file.state != FileSnapshot::State::Missing;
  if (!contents.exists) {
    return contents;
  }
  if (!contents.file.isRead() || !HasUsableCountLine(contents.file.bytes)) {
    contents.unreadable = QFileInfo(path).isFile(); // a folder there holds no profile
    return contents;
  }
  contents.patients = ParsePatientFile(contents.file.bytes);
  return contents;
}

namespace {

// Where each profile stands by name: the k-th profile of a name is matched
// with the k-th of the same name on the other side.
QHash<QPair<QString, int>, qsizetype> IndexByName(const std::vector<Patient> &patients) {
  QHash<QPair<QString, int>, qsizetype> index;
  QHash<QString, int> seen;
  for (size_t i = 0; i < patients.size(); ++i) {
    const QString &name = patients[i][Patient::Name];
    index.insert({name, seen[name]++}, qsizetype(i));
  }
  return index;
}

} // namespace

PatientSave SavePatientFileMerged(const QString &path, const PatientFileContents &loaded,
                                  std::vector<Patient> ours) {
  PatientSave save;
  bool changed = false;
  const FileSnapshot now = RefreshFileSnapshot(path, loaded.file, kMaxSmallFileBytes, &changed);
  if (now.isUnreadable()) {
    save.error = now.error;
    return save;
  }
  // A file that holds no records is kept aside, changed or not.
  bool keepAside = now.isRead() && !HasUsableCountLine(now.bytes);
  if (changed && now.isRead() && !keepAside) {
    {
      const std::vector<Patient> theirs = ParsePatientFile(now.bytes);
      const std::vector<Patient> &base = loaded.patients;
      const auto inBase = IndexByName(base);
      const auto inOurs = IndexByName(ours);
      QHash<QString, int> seen;
      for (const Patient &t : theirs) {
        const QPair<QString, int> key{t[Patient::Name], seen[t[Patient::Name]]++};
        const qsizetype b = inBase.value(key, -1);
        const qsizetype o = inOurs.value(key, -1);
        if (b >= 0 && base[size_t(b)] == t) {
          continue; // as read: whatever happened here stands
        }
        if (o >= 0 && ours[size_t(o)] == t) {
          continue; // both sides agree
        }
        if (b < 0 && o < 0) {
          ours.push_back(t); // added there
          ++save.fromOutside;
        } else if (b >= 0 && o >= 0 && ours[size_t(o)] == base[size_t(b)]) {
          ours[size_t(o)] = t; // changed there only
          ++save.fromOutside;
        } else {
          keepAside = true; // changed on both sides, or changed there and deleted here
        }
      }
    }
  }
  if (keepAside) {
    save.keptAside = KeepFileAside(path);
    if (save.keptAside.isEmpty()) {
      save.error = {path, QStringLiteral("fichier modifié par un autre programme, qui n'a pas "
                                         "pu être mis de côté")};
      return save;
    }
  }
  save.error = SavePatientFile(path, ours);
  if (!save.error) {
    save.saved = std::move(ours);
  }
  return save;
}

QString PatientSaveText(const PatientSave &save) {
  QStringList parts;
  if (save.fromOutside > 0) {
    parts << (save.fromOutside == 1
                  ? QStringLiteral("1 profil ajouté ou modifié par un autre programme depuis "
                                   "l'ouverture de la liste a été repris.")
                  : QStringLiteral("%1 profils ajoutés ou modifiés par un autre programme depuis "
                                   "l'ouverture de la liste ont été repris.")
                        .arg(save.fromOutside));
  }
  if (!save.keptAside.isEmpty()) {
    parts << QStringLiteral("Le fichier des patients, modifié entre-temps par un autre programme, "
                            "a été conservé sous le nom :\n") +
                 ShownPath(save.keptAside);
  }
  return parts.join(QStringLiteral("\n\n"));
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
