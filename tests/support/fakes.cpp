#include "fakes.h"

#include "platform/profile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTest>
#include <cstdlib>
#include <cstring>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <string>
#include <windows.h>
#include <winioctl.h>
#endif

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

#ifdef Q_OS_WIN

namespace {

std::wstring NativePath(const QString &path) {
  return QDir::toNativeSeparators(QDir::cleanPath(path)).toStdWString();
}

bool IsReparsePoint(const QString &path) {
  const DWORD attributes = ::GetFileAttributesW(NativePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// A junction: an empty folder given a mount-point reparse point.
bool MakeJunction(const QString &target, const QString &link) {
  const std::wstring name = NativePath(link);
  if (!::CreateDirectoryW(name.c_str(), nullptr)) {
    return false;
  }
  const std::wstring printed = NativePath(QFileInfo(target).absoluteFilePath());
  const std::wstring substitute = L"\\??\\" + printed;
  struct Header {
    DWORD tag;
    WORD length, reserved;
    WORD substituteOffset, substituteLength, printOffset, printLength;
  };
  const WORD substituteBytes = WORD(substitute.size() * sizeof(wchar_t));
  const WORD printBytes = WORD(printed.size() * sizeof(wchar_t));
  std::string buffer(sizeof(Header) + substituteBytes + printBytes + 2 * sizeof(wchar_t), '\0');
  Header header{IO_REPARSE_TAG_MOUNT_POINT,
                WORD(buffer.size() - 8),
                0,
                0,
                substituteBytes,
                WORD(substituteBytes + sizeof(wchar_t)),
                printBytes};
  std::memcpy(buffer.data(), &header, sizeof header);
  std::memcpy(buffer.data() + sizeof header, substitute.data(), substituteBytes);
  std::memcpy(buffer.data() + sizeof header + substituteBytes + sizeof(wchar_t), printed.data(),
              printBytes);
  const HANDLE folder =
      ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  DWORD returned = 0;
  const bool made = folder != INVALID_HANDLE_VALUE &&
                    ::DeviceIoControl(folder, FSCTL_SET_REPARSE_POINT, buffer.data(),
                                      DWORD(buffer.size()), nullptr, 0, &returned, nullptr);
  if (folder != INVALID_HANDLE_VALUE) {
    ::CloseHandle(folder);
  }
  if (!made || !IsReparsePoint(link)) {
    ::RemoveDirectoryW(name.c_str());
    return false;
  }
  return true;
}

} // namespace

#endif

QString MakeLink(const QString &target, const QString &link, LinkKind kind) {
#if defined(Q_OS_UNIX)
  const QByteArray from = QFile::encodeName(QDir::cleanPath(target));
  const QByteArray to = QFile::encodeName(QDir::cleanPath(link));
  const int made = kind == LinkKind::Hard ? ::link(from.constData(), to.constData())
                                          : ::symlink(from.constData(), to.constData());
  return made == 0 ? QString()
                   : QStringLiteral("no link could be made here: ") +
                         QString::fromLocal8Bit(std::strerror(errno));
#elif defined(Q_OS_WIN)
  if (kind == LinkKind::Hard) {
    return ::CreateHardLinkW(NativePath(link).c_str(), NativePath(target).c_str(), nullptr)
               ? QString()
               : QStringLiteral("this system makes no hard link here (error %1)")
                     .arg(::GetLastError());
  }
#ifndef SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
#define SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE 0x2
#endif
  const bool folder = QFileInfo(target).isDir();
  const DWORD flags =
      SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE | (folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0);
  // Wine reports a symbolic link made and makes none: what stands there tells.
  if (::CreateSymbolicLinkW(NativePath(link).c_str(), NativePath(target).c_str(), flags) &&
      IsReparsePoint(link)) {
    return {};
  }
  if (folder && MakeJunction(target, link)) {
    return {};
  }
  return folder ? QStringLiteral("this system makes neither a symbolic link nor a junction here "
                                 "(symbolic links need developer mode or the privilege to make "
                                 "them; Wine makes neither)")
                : QStringLiteral("this system makes no symbolic link here (it needs developer "
                                 "mode or the privilege to make them; Wine makes none)");
#else
  Q_UNUSED(target);
  Q_UNUSED(link);
  Q_UNUSED(kind);
  return QStringLiteral("no links on this system");
#endif
}

bool DenyReading(const QString &path) {
  QFile::setPermissions(path, QFileDevice::Permissions());
  return !QFile(path).open(QIODevice::ReadOnly);
}

} // namespace tl::test
