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
};

// Reads the patient file at `path`; a missing or unreadable file gives no profile.
PatientFileContents LoadPatientFile(const QString &path);
// Rewrites the file whole. Nothing is written for an empty list (an error);
// a file that cannot be written keeps its previous content.
FileError SavePatientFile(const QString &path, const std::vector<Patient> &patients);
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
