#include "fakes.h"

#include "platform/profile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTest>
#include <cstdlib>

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

bool FakeDialogs::askYesNo(QWidget *, Icon icon, const QString &title, const QString &text,
                           Default byDefault) {
  shown.append({ShownBox::YesNo, icon, title, text, {}, byDefault});
  return nextBool(QStringLiteral("question: ") + title + u' ' + text);
}

QString FakeDialogs::inputText(QWidget *, const QString &title, const QString &prompt,
                               const QString &initial) {
  shown.append({ShownBox::Input, Icon::Question, title, prompt, initial});
  return nextText(QStringLiteral("input box: ") + title);
}

bool FakeDialogs::editNote(QWidget *, const QString &title, NoteForm &form) {
  ShownBox box{ShownBox::Note, Icon::Question, title, form.heading, form.text};
  box.form = form;
  shown.append(box);
  if (!answers_.empty() && std::holds_alternative<NoteAnswer>(answers_.front())) {
    const NoteAnswer answer = std::get<NoteAnswer>(answers_.front());
    answers_.pop_front();
    // What the form lets through: one line of at most maxLength characters.
    form.text = form.maxLength > 0 ? answer.text.left(form.maxLength) : answer.text;
    form.checked = answer.checked;
    return true;
  }
  return nextBool(QStringLiteral("note form: ") + title);
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

bool FakeDialogs::messageWithAction(QWidget *, Icon icon, const QString &title, const QString &text,
                                    const QString &action) {
  shown.append({ShownBox::Message, icon, title, text, action});
  if (!answers_.empty() && std::holds_alternative<bool>(answers_.front())) {
    return nextBool(QStringLiteral("action: ") + action);
  }
  return false;
}

bool FakeDialogs::previewPrint(QWidget *, const QString &title, QPrinter *,
                               const std::function<void(QPrinter *)> &) {
  shown.append({ShownBox::Preview, Icon::Question, title, {}, {}});
  return nextBool(QStringLiteral("print preview: ") + title);
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

bool IsProfileFolder(const QString &folder) {
  const QFileInfo seen(ProfileFolder());
  const QFileInfo wanted(folder);
  return seen.exists() && wanted.exists() && seen.canonicalFilePath() == wanted.canonicalFilePath();
}

namespace {

// Sets an environment variable to any text: Windows takes it as UTF-16, so
// names outside the ANSI code page survive.
void SetVariable(const char *name, const QString &value) {
#ifdef Q_OS_WIN
  _wputenv_s(reinterpret_cast<const wchar_t *>(QString::fromLatin1(name).utf16()),
             reinterpret_cast<const wchar_t *>(value.utf16()));
#else
  qputenv(name, QFile::encodeName(value));
#endif
}

} // namespace

TempHome::TempHome(const QString &name)
    : hadOld_(qEnvironmentVariableIsSet(ProfileVariable())),
      old_(qEnvironmentVariable(ProfileVariable())) {
  path_ = dir_.path() + u'/';
  if (!name.isEmpty()) {
    path_ += name + u'/';
    QDir().mkpath(path_);
  }
  SetVariable(ProfileVariable(), QDir::toNativeSeparators(path_.chopped(1)));
  if (!dir_.isValid() || !IsProfileFolder(path_)) {
    // Nothing may run on: the next write would go to the real profile.
    qFatal("The temporary profile %s is not the one the program sees (%s, from %s): "
           "stopping before any test touches the real profile.",
           qPrintable(path_), qPrintable(ProfileFolder()), ProfileVariable());
  }
}

TempHome::~TempHome() {
  if (hadOld_) {
    SetVariable(ProfileVariable(), old_);
  } else {
    qunsetenv(ProfileVariable());
  }
}

QString TempHome::path() const { return path_; }

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
