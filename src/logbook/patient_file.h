#pragma once

#include "common/file_io.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QString>
#include <array>
#include <vector>

namespace tl {

// One patient profile: eight single-line texts, in file line and list column order.
struct Patient {
  enum Field {
    Name = 0,
    Age = 1,
    Weight = 2,
    Doctor = 3,
    PracticeAddress = 4,
    DoctorEmail = 5,
    DoctorPhone = 6,
    CreatedOn = 7
  };
  static constexpr int kFieldCount = 8;

  std::array<QString, kFieldCount> fields;

  const QString &operator[](int field) const { return fields[size_t(field)]; }
  QString &operator[](int field) { return fields[size_t(field)]; }
  bool operator==(const Patient &other) const = default;
};

// The column titles of the patient list, in field order.
const std::array<QString, Patient::kFieldCount> &PatientColumnTitles();

// The profiles held by the bytes of a patient file: a count line, then eight
// lines per profile. A file that ends early still yields the announced count,
// the missing fields empty; a count line that is not a number yields none.
std::vector<Patient> ParsePatientFile(QByteArrayView bytes);
// The bytes of a patient file (UTF-8 without byte-order mark, CR LF). Line
// breaks inside a field become blanks so that no profile can shift the next.
QByteArray SerializePatientFile(const std::vector<Patient> &patients);

struct PatientFileContents {
  bool exists = false; // false: the first-launch state
  // A file (not a folder) is there but could not be read, or its count line is no number:
  // what it holds is unknown, so it must not be written over.
  bool unreadable = false;
  std::vector<Patient> patients;
  FileSnapshot file; // the version read
};

// Reads the patient file at `path`; a missing or unreadable file gives no profile.
PatientFileContents LoadPatientFile(const QString &path);
// Rewrites the file whole. Nothing is written for an empty list (an error);
// a file that cannot be written keeps its previous content.
FileError SavePatientFile(const QString &path, const std::vector<Patient> &patients);
// What a merged save of the patient file did.
struct PatientSave {
  FileError error;            // nothing was written
  std::vector<Patient> saved; // the profiles now in the file
  int fromOutside = 0;        // profiles another program added or changed, taken up
  QString keptAside;          // the other program's file, kept whole under this name
};

// Writes `ours`, the profiles of the list that was read as `loaded`, over the
// patient file at `path`. When another program changed the file since, its
// profiles are merged by name (the k-th profile of a name with the k-th):
// those it added or changed while the list kept them as read are taken up,
// those deleted here stay deleted; when both sides changed the same profile,
// or the file holds no records, the file is kept aside whole under a dated
// name before the list is written. A file that cannot be read is never
// written over.
PatientSave SavePatientFileMerged(const QString &path, const PatientFileContents &loaded,
                                  std::vector<Patient> ours);

// The box telling what a merged save took up or kept aside, or "".
QString PatientSaveText(const PatientSave &save);

// Removes the file, read-only or not. True when no file is left.
bool DeletePatientFile(const QString &path);

// A profile as the patient manager creates it: the fields typed, each made
// one line, and "Fiche créée" set to `today` (dd/MM/yyyy).
Patient NewPatientProfile(Patient typed, QDate today);

// Whether one of `patients` bears `name`.
bool HasPatientProfile(const std::vector<Patient> &patients, const QString &name);

// Adds a profile of `name` alone, created `today`, after the profiles of the
// patient file at `path` (a missing file is made). A file that cannot be read
// is left as it is: what it holds is unknown.
FileError AddPatientProfile(const QString &path, const QString &name, QDate today);

} // namespace tl
