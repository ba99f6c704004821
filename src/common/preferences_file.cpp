#include "common/preferences_file.h"

#include "common/app_state.h"
#include "common/file_io.h"
#include "common/paths.h"
#include "common/text.h"

#include <QFileInfo>
#include <QStringDecoder>
#include <QStringList>
#include <QUrl>
#include <array>
#include <limits>
#include <vector>

namespace tl {

namespace {

bool IsBlank(QChar c) { return c == u' ' || c == u'\t'; }

QStringView TrimBlanks(QStringView s) {
  qsizetype begin = 0;
  qsizetype end = s.size();
  while (begin < end && IsBlank(s[begin])) {
    ++begin;
  }
  while (end > begin && IsBlank(s[end - 1])) {
    --end;
  }
  return s.sliced(begin, end - begin);
}

QString DecodePreferences(QByteArrayView bytes) {
  if (bytes.startsWith("\xEF\xBB\xBF")) {
    return QString::fromUtf8(bytes.sliced(3));
  }
  // Without a byte-order mark, bytes that are valid UTF-8 are read as UTF-8:
  // a file saved again by an editor that drops the mark keeps its accents.
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString text = utf8.decode(bytes);
  if (!utf8.hasError()) {
    return text;
  }
  // Anything else is in the system's 8-bit code page: the ANSI code page on
  // Windows; elsewhere there is no such thing, and Windows-1252 (the Western
  // European ANSI page) stands in for it.
#ifdef Q_OS_WIN
  QStringDecoder decoder(QStringDecoder::System);
#else
  QStringDecoder decoder("windows-1252");
  if (!decoder.isValid()) {
    decoder = QStringDecoder(QStringDecoder::Latin1);
  }
#endif
  return decoder.decode(bytes);
}

struct Line {
  const char *key;
  QString value;
};

QByteArray Serialize(const std::vector<Line> &lines) {
  QByteArray out("\xEF\xBB\xBF\r\n");
  for (const Line &line : lines) {
    out.append(line.key);
    out.append(" = ");
    out.append(SingleLine(line.value).toUtf8());
    out.append("\r\n");
  }
  return out;
}

QString Num(qint64 v) { return QString::number(v); }

// Keys written only once set, so that a file without them stays as it was.
QByteArray OptionalKeys(const Preferences &p) {
  QByteArray out;
  const Line optional[] = {
      {"SeriesProtocol", p.seriesProtocol}, {"MeterAddress", p.meterAddress},
      {"MeterUsers", p.meterUsers},         {"SeriesPatients", p.seriesPatients},
      {"MeterNames", p.meterNames},         {"SeriesRuns", p.seriesRuns},
      {"KeepInTray", p.keepInTray}};
  for (const Line &line : optional) {
    if (!line.value.isEmpty()) {
      out += Serialize({line}).sliced(5); // without the byte-order mark and blank line
    }
  }
  return out;
}

} // namespace

qint64 ParseDecimalValue(QStringView value) {
  qsizetype i = 0;
  while (i < value.size() && IsBlank(value[i])) {
    ++i;
  }
  bool negative = false;
  if (i < value.size() && (value[i] == u'+' || value[i] == u'-')) {
    negative = value[i] == u'-';
    ++i;
  }
  // Accumulated as a negative number so that the 64-bit minimum fits.
  constexpr qint64 kMin = std::numeric_limits<qint64>::min();
  qint64 acc = 0;
  for (; i < value.size(); ++i) {
    const char16_t c = value[i].unicode();
    if (c < u'0' || c > u'9') {
      break;
    }
    const int digit = c - u'0';
    if (acc < (kMin + digit) / 10) {
      acc = kMin;
    } else {
      acc = acc * 10 - digit;
    }
  }
  if (negative) {
    return acc;
  }
  return acc == kMin ? std::numeric_limits<qint64>::max() : -acc;
}

PreferencesReader::PreferencesReader(QByteArrayView bytes) {
  const QString text = DecodePreferences(bytes);
  const QStringView all(text);
  qsizetype p = 0;
  while (p < all.size()) {
    qsizetype q = p;
    while (q < all.size() && all[q] != u'\r' && all[q] != u'\n') {
      ++q;
    }
    const QStringView line = all.sliced(p, q - p);
    p = q + 1;
    if (q < all.size() && all[q] == u'\r' && q + 1 < all.size() && all[q + 1] == u'\n') {
      ++p;
    }

    const QStringView trimmed = TrimBlanks(line);
    if (trimmed.isEmpty() || trimmed.startsWith(u';')) {
      continue;
    }
    if (trimmed.startsWith(u'[')) {
      break; // a group: the keys this program uses all stand before the first one
    }
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0) {
      continue;
    }
    const QString key = TrimBlanks(line.first(eq)).toString().toLower();
    if (!key.isEmpty() && !values_.contains(key)) {
      values_.insert(key, line.sliced(eq + 1).toString());
    }
  }
}

PreferencesReader PreferencesReader::fromFile(const QString &path, bool *opened) {
  QByteArray bytes;
  const bool ok = !ReadWholeFile(path, kMaxSmallFileBytes, &bytes);
  if (opened) {
    *opened = ok;
  }
  return ok ? PreferencesReader(bytes) : PreferencesReader();
}

bool IsUnreadablePreferencesFile(const QString &path) {
  if (!QFileInfo(path).isFile()) {
    return false; // nothing, or a folder: nothing to keep
  }
  QByteArray bytes;
  if (ReadWholeFile(path, kMaxSmallFileBytes, &bytes)) {
    return true;
  }
  QByteArrayView text(bytes);
  if (text.startsWith("\xEF\xBB\xBF")) {
    text = text.sliced(3);
  }
  return !text.trimmed().isEmpty() && !PreferencesReader(bytes).hasKeys();
}

FileError WritePreferencesFile(const QString &path, QByteArrayView bytes) {
  if (IsUnreadablePreferencesFile(path)) {
    return {path, QStringLiteral("fichier des préférences illisible, qui n'a pas pu être mis de "
                                 "côté : il n'est pas remplacé")};
  }
  return WriteWholeFile(path, bytes);
}

QString PreferencesReader::text(const QString &key) const {
  const auto it = values_.constFind(key.toLower());
  return it == values_.constEnd() ? QString() : TrimBlanks(*it).toString();
}

qint64 PreferencesReader::integer(const QString &key) const {
  const auto it = values_.constFind(key.toLower());
  return it == values_.constEnd() ? 0 : ParseDecimalValue(*it);
}

Preferences ReadPreferences(const PreferencesReader &r) {
  Preferences p;
  p.keepWindowSize = r.integer(QStringLiteral("KeepWindowSize"));
  p.windowHeight = r.integer(QStringLiteral("WindowHeight"));
  p.windowWidth = r.integer(QStringLiteral("WindowWidth"));
  p.keepWindowPos = r.integer(QStringLiteral("KeepWindowPos"));
  p.windowPosX = r.integer(QStringLiteral("WindowPosX"));
  p.windowPosY = r.integer(QStringLiteral("WindowPosY"));
  p.windowMax = r.integer(QStringLiteral("WindowMax"));
  p.stickyWindow = r.integer(QStringLiteral("StickyWindow"));
  p.openPanel = r.text(QStringLiteral("OpenPanel"));
  p.username = r.text(QStringLiteral("Username"));
  p.currentUser = r.integer(QStringLiteral("CurrentUser"));
  p.graphCourbe = r.integer(QStringLiteral("GraphCourbe"));
  p.darkmode = r.integer(QStringLiteral("Darkmode"));
  p.seriesProtocol = r.text(QStringLiteral("SeriesProtocol"));
  p.meterAddress = r.text(QStringLiteral("MeterAddress"));
  p.meterUsers = r.text(QStringLiteral("MeterUsers"));
  p.seriesPatients = r.text(QStringLiteral("SeriesPatients"));
  p.meterNames = r.text(QStringLiteral("MeterNames"));
  p.seriesRuns = r.text(QStringLiteral("SeriesRuns"));
  p.keepInTray = r.text(QStringLiteral("KeepInTray"));
  return p;
}

namespace {

// The file's keys in their order; the shut-down writes the window's size and
// place among them, the preferences window does not.
QByteArray SerializePreferences(const Preferences &p, bool geometry) {
  std::vector<Line> lines{{"KeepWindowSize", Num(p.keepWindowSize)}};
  if (geometry) {
    lines.push_back({"WindowHeight", Num(p.windowHeight)});
    lines.push_back({"WindowWidth", Num(p.windowWidth)});
  }
  lines.push_back({"KeepWindowPos", Num(p.keepWindowPos)});
  if (geometry) {
    lines.push_back({"WindowPosX", Num(p.windowPosX)});
    lines.push_back({"WindowPosY", Num(p.windowPosY)});
  }
  lines.insert(lines.end(), {{"WindowMax", Num(p.windowMax)},
                             {"StickyWindow", Num(p.stickyWindow)},
                             {"OpenPanel", p.openPanel},
                             {"Username", p.username},
                             {"CurrentUser", Num(p.currentUser)},
                             {"GraphCourbe", Num(p.graphCourbe)},
                             {"Darkmode", Num(p.darkmode)}});
  return Serialize(lines) + OptionalKeys(p);
}

} // namespace

QByteArray SerializeClosingPreferences(const Preferences &p) {
  return SerializePreferences(p, true);
}

QByteArray SerializeWindowPreferences(const Preferences &p) {
  return SerializePreferences(p, false);
}

void UpdatePreferencesFile(const std::function<void(Preferences &)> &change) {
  UpdatePreferencesFile(Paths().preferencesFile, change);
}

void UpdatePreferencesFile(const QString &path, const std::function<void(Preferences &)> &change) {
  if (path.isEmpty()) {
    return;
  }
  bool opened = false;
  const Preferences before = ReadPreferences(PreferencesReader::fromFile(path, &opened));
  Preferences prefs = before;
  change(prefs);
  if (prefs == before) {
    return;
  }
  if (!opened) {
    // A new file: the curve style chosen so far, as the shut-down would write it.
    prefs.graphCourbe = State().curveStyle;
  }
  (void)WritePreferencesFile(path, SerializeClosingPreferences(prefs));
}

namespace {

struct PatientEntry {
  QString name, value;
};

// The entries of a "NAME:VALUE|..." value that can be read, decoded. Both
// sides are percent-encoded, so neither holds ':' or '|'; a name written by
// hand may hold ':', and the value begins after the last one.
QList<PatientEntry> PatientEntries(const QString &entries) {
  QList<PatientEntry> read;
  for (QStringView entry : QStringView(entries).split(u'|', Qt::SkipEmptyParts)) {
    const qsizetype colon = entry.lastIndexOf(u':');
    if (colon > 0 && colon + 1 < entry.size()) {
      read.append({QUrl::fromPercentEncoding(entry.first(colon).toUtf8()),
                   QUrl::fromPercentEncoding(entry.sliced(colon + 1).toUtf8())});
    }
  }
  return read;
}

QString EntryText(const QString &name, const QString &value) {
  return QString::fromLatin1(QUrl::toPercentEncoding(name)) + u':' +
         QString::fromLatin1(QUrl::toPercentEncoding(value));
}

std::optional<quint8> MeterUserNumber(const QString &value) {
  bool ok = false;
  const int user = value.toInt(&ok);
  return ok && user >= 1 && user <= kMeterUserCount ? std::optional<quint8>(quint8(user))
                                                    : std::nullopt;
}

} // namespace

QString PatientEntryOf(const QString &entries, const QString &patient) {
  for (const PatientEntry &entry : PatientEntries(entries)) {
    if (entry.name == patient) {
      return entry.value;
    }
  }
  return QString();
}

QString WithPatientEntry(const QString &entries, const QString &patient, const QString &value) {
  QStringList kept;
  for (const PatientEntry &entry : PatientEntries(entries)) {
    if (entry.name != patient) {
      kept << EntryText(entry.name, entry.value);
    }
  }
  if (!value.isEmpty() && !patient.isEmpty()) {
    kept << EntryText(patient, value);
  }
  return kept.join(u'|');
}

void KeepMeterName(Preferences &prefs, const QString &patient, const QString &name,
                   const QString &address) {
  const QString meter = name.isEmpty() ? address : name;
  if (!meter.isEmpty()) {
    prefs.meterNames = WithPatientEntry(prefs.meterNames, patient, meter);
  }
}

std::optional<quint8> MeterUserOf(const QString &ties, const QString &patient) {
  for (const PatientEntry &entry : PatientEntries(ties)) {
    if (const std::optional<quint8> user = MeterUserNumber(entry.value)) {
      if (entry.name == patient) {
        return user;
      }
    }
  }
  return std::nullopt;
}

QString TieMeterUser(const QString &ties, const QString &patient, std::optional<quint8> user) {
  QStringList kept;
  for (const PatientEntry &entry : PatientEntries(ties)) {
    const std::optional<quint8> number = MeterUserNumber(entry.value);
    if (number && entry.name != patient && number != user) {
      kept << EntryText(entry.name, QString::number(*number));
    }
  }
  if (user) {
    kept << EntryText(patient, QString::number(*user));
  }
  return kept.join(u'|');
}

GeometryRule ChooseGeometryRule(qint64 h, qint64 w, qint64 x, qint64 y) {
  if (h != 0 && w != 0 && x == 0 && y == 0) {
    return GeometryRule::Resize;
  }
  if (h == 0 && w == 0 && x != 0 && y != 0) {
    return GeometryRule::Move;
  }
  if (h != 0 && w != 0 && x != 0 && y != 0) {
    return GeometryRule::MoveAndResize;
  }
  return GeometryRule::Leave;
}

namespace {
const std::array<QString, 5> &PanelNames() {
  static const std::array<QString, 5> names = {QStringLiteral("Matin"), QStringLiteral("Jour"),
                                               QStringLiteral("Soir"), QStringLiteral("Nuit"),
                                               QStringLiteral("Moyennes")};
  return names;
}
} // namespace

int TabOfPanel(const QString &panel) {
  for (int i = 0; i < int(PanelNames().size()); ++i) {
    if (panel == PanelNames()[size_t(i)]) {
      return i;
    }
  }
  return -1;
}

QString PanelOfTab(int tab) {
  return tab >= 0 && tab < int(PanelNames().size()) ? PanelNames()[size_t(tab)] : QString();
}

} // namespace tl
