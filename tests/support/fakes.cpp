#include "fakes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTest>

namespace tl::test {

FakeDialogs::FakeDialogs() { setDialogs(this); }
FakeDialogs::~FakeDialogs() { setDialogs(nullptr); }

void FakeDialogs::message(QWidget *, Icon icon, const QString &title, const QString &text) {
  shown.append({ShownBox::Message, icon, title, text, {}});
  if (strictMessages_) {
    QTest::qFail(qPrintable(QStringLiteral("unexpected message box: ") + title + u' ' + text),
                 __FILE__, __LINE__);
  }
}

bool FakeDialogs::nextBool(const QString &what) {
  if (answers_.empty() || !std::holds_alternative<bool>(answers_.front())) {
    QTest::qFail(qPrintable(QStringLiteral("unexpected ") + what), __FILE__, __LINE__);
    return false;
  }
  const bool yes = std::get<bool>(answers_.front());
  answers_.pop_front();
  return yes;
}

QString FakeDialogs::nextText(const QString &what) {
  if (answers_.empty() || !std::holds_alternative<QString>(answers_.front())) {
    QTest::qFail(qPrintable(QStringLiteral("unexpected ") + what), __FILE__, __LINE__);
    return QString();
  }
  QString text = std::get<QString>(answers_.front());
  answers_.pop_front();
  return text;
}

bool FakeDialogs::askYesNo(QWidget *, Icon icon, const QString &title, const QString &text) {
  shown.append({ShownBox::YesNo, icon, title, text, {}});
  return nextBool(QStringLiteral("question: ") + title + u' ' + text);
}

QString FakeDialogs::inputText(QWidget *, const QString &title, const QString &prompt,
                               const QString &initial) {
  shown.append({ShownBox::Input, Icon::Question, title, prompt, initial});
  return nextText(QStringLiteral("input box: ") + title);
}

QString FakeDialogs::openFileName(QWidget *, const QString &title, const QString &start,
                                  const QString &filter) {
  shown.append({ShownBox::OpenFile, Icon::Question, title, filter, start});
  return nextText(QStringLiteral("file chooser: ") + title);
}

QString FakeDialogs::saveFileName(QWidget *, const QString &title, const QString &start,
                                  const QString &filter) {
  shown.append({ShownBox::SaveFile, Icon::Question, title, filter, start});
  return nextText(QStringLiteral("file chooser: ") + title);
}

bool FakeDialogs::choosePrinter(QWidget *, QPrinter *) {
  shown.append({ShownBox::Print, Icon::Question, QStringLiteral("Imprimer"), {}, {}});
  return nextBool(QStringLiteral("print dialog"));
}

RecordingShell::RecordingShell() { setShell(this); }
RecordingShell::~RecordingShell() { setShell(nullptr); }

bool RecordingShell::openDocument(const QString &path) {
  documents.append(path);
  return result;
}

bool RecordingShell::hasHandler(const QString &path) {
  return !unhandledSuffixes.contains(QFileInfo(path).suffix());
}

bool RecordingShell::openAddress(const QString &address) {
  addresses.append(address);
  return result;
}

FixedClock::FixedClock(QDateTime at) : at_(std::move(at)) { setClock(this); }
FixedClock::~FixedClock() { setClock(nullptr); }

TempHome::TempHome() : oldHome_(qgetenv("HOME")) {
  qputenv("HOME", QFile::encodeName(dir_.path()));
}

TempHome::~TempHome() { qputenv("HOME", oldHome_); }

QString TempHome::path() const { return dir_.path() + u'/'; }

bool WriteFile(const QString &path, QByteArrayView bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    return false;
  }
  return f.write(bytes.data(), bytes.size()) == bytes.size();
}

QByteArray ReadFile(const QString &path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) {
    return QByteArray();
  }
  return f.readAll();
}

QString SnapshotFolder() {
  QString dir = qEnvironmentVariable("TENSIOLOG_SNAPSHOT_DIR");
  if (dir.isEmpty()) {
    dir = QDir::currentPath() + QStringLiteral("/snapshots");
  }
  QDir().mkpath(dir);
  return dir + u'/';
}

bool DenyReading(const QString &path) {
  QFile::setPermissions(path, QFileDevice::Permissions());
  return !QFile(path).open(QIODevice::ReadOnly);
}

} // namespace tl::test
