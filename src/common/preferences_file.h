#pragma once

#include "common/file_io.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <functional>
#include <optional>

namespace tl {

// The keys of the preferences file as read: parsed once, looked up by
// case-insensitive key name. Keys after the first group line are not seen.
class PreferencesReader {
public:
  PreferencesReader() = default; // every key absent
  // Parses the whole file: UTF-8 after a byte-order mark or when the bytes
  // are valid UTF-8, otherwise the system's 8-bit code page.
  explicit PreferencesReader(QByteArrayView bytes);

  // Reads the file at `path`; `opened` tells whether it could be read.
  static PreferencesReader fromFile(const QString &path, bool *opened = nullptr);

  // Whether any key line was read.
  bool hasKeys() const { return !values_.isEmpty(); }

  // The value without its leading and trailing blanks and tabs; "" if absent.
  QString text(const QString &key) const;
  // The signed decimal number at the start of the value (after blanks);
  // 0 when absent or not a number.
  qint64 integer(const QString &key) const;

private:
  QHash<QString, QString> values_; // key in lower case -> raw value
};

// Whether a file (not a folder) at `path` exists but cannot be read, or holds text
// without a single key line: what it holds is unknown, so it must be kept
// aside (KeepFileAside) before it is written over.
bool IsUnreadablePreferencesFile(const QString &path);
// Writes the preferences file, never over one that cannot be read (keep it
// aside first): that one may still hold the user's settings.
FileError WritePreferencesFile(const QString &path, QByteArrayView bytes);

// The number at the start of a value: optional blanks and tabs, an optional
// sign, decimal digits; saturates at the 64-bit limits; 0 without digits.
qint64 ParseDecimalValue(QStringView value);

// The keys of the preferences file, in the order the shut-down writes them.
struct Preferences {
  qint64 keepWindowSize = 0;
  qint64 windowHeight = 0;
  qint64 windowWidth = 0;
  qint64 keepWindowPos = 0;
  qint64 windowPosX = 0;
  qint64 windowPosY = 0;
  qint64 windowMax = 0;
  qint64 stickyWindow = 0;
  QString openPanel;
  QString username;
  qint64 currentUser = 0;
  qint64 graphCourbe = 0;
  qint64 darkmode = 0;
  QString seriesProtocol; // the series window's last protocol, "" before any
  QString meterAddress;   // the last meter read ("AA:BB:CC:DD:EE:FF"), "" before any
  QString meterUsers;     // the patients' meter user numbers (see MeterUserOf)
  QString seriesPatients; // the patients' series settings (see PatientEntryOf)
  QString meterNames;     // the name of the meter last read for each patient
  QString seriesRuns;     // the patients' series under way (see SeriesRunText)
  QString keepInTray;     // closing the window during a series: "1" tray, "0" quit, "" not asked

  bool operator==(const Preferences &other) const = default;
};

Preferences ReadPreferences(const PreferencesReader &reader);

// The file as the shut-down writes it: every key, geometry included.
QByteArray SerializeClosingPreferences(const Preferences &prefs);
// The file as the preferences window writes it: no geometry keys.
QByteArray SerializeWindowPreferences(const Preferences &prefs);

// Changes some keys of the preferences file, every other key as it is there.
// Nothing is written when the change leaves the keys as they were, nor over
// a file that cannot be read.
void UpdatePreferencesFile(const std::function<void(Preferences &)> &change);
// The same on the file at `path` (the command line's, in its data folder).
void UpdatePreferencesFile(const QString &path, const std::function<void(Preferences &)> &change);

// The value of `patient` in `entries` (entries "NAME:VALUE" joined by '|',
// both percent-encoded as UTF-8), "" when none. Entries that cannot be read
// are passed over; the first entry of a name counts.
QString PatientEntryOf(const QString &entries, const QString &patient);
// `entries` with `patient`'s value set (removed when `value` is empty), last;
// entries that cannot be read are dropped.
QString WithPatientEntry(const QString &entries, const QString &patient, const QString &value);
// Keeps the meter last read for `patient` in `MeterNames`: its name as the
// list of meters shows it, or its address when it gave no name.
void KeepMeterName(Preferences &prefs, const QString &patient, const QString &name,
                   const QString &address);

// The user number of a multi-user meter tied to `patient` in `ties` (the
// `MeterUsers` value: patient entries whose value is the number N), or
// nothing. Entries that cannot be read are passed over.
inline constexpr int kMeterUserCount = 8; // the numbers offered: 1 to 8
std::optional<quint8> MeterUserOf(const QString &ties, const QString &patient);
// `ties` with `patient` tied to `user` (untied when nothing); the number
// leaves any other patient it was tied to.
QString TieMeterUser(const QString &ties, const QString &patient, std::optional<quint8> user);

// What the stored window geometry asks for at start-up (first matching rule).
enum class GeometryRule { Leave, Resize, Move, MoveAndResize };
GeometryRule ChooseGeometryRule(qint64 height, qint64 width, qint64 x, qint64 y);

// The tab named by `OpenPanel` ("Matin" 0 ... "Moyennes" 4, exact), or -1.
int TabOfPanel(const QString &panel);
// The panel name of a tab 0 to 4.
QString PanelOfTab(int tab);

} // namespace tl
