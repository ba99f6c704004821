#pragma once

#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/shell.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <variant>

namespace tl::test {

// One box the program showed.
struct ShownBox {
  enum Kind { Message, YesNo, Input, OpenFile, SaveFile, Print, Note, Preview } kind;
  Dialogs::Icon icon = Dialogs::Icon::Information;
  QString title;
  QString text;    // the prompt for an input box, the filter for a chooser
  QString initial; // the starting text or path
  Dialogs::Default byDefault = Dialogs::Default::Yes; // yes/no boxes
  Dialogs::NoteForm form = {};                        // note forms, as they opened
};

// Scripted dialogs: each box takes the next queued answer (a bool for
// yes/no and the print dialog, a QString for the input box and the file
// choosers, "" to cancel; a NoteAnswer for the note form, or a bool: false
// cancels, true confirms it unchanged; messages need none). A box with no
// answer queued for it fails the running test. Installs itself while alive.
// What the note form is given back: the line's text and the boxes ticked.
struct NoteAnswer {
  QString text;
  QList<bool> checked;
};

class FakeDialogs : public Dialogs {
public:
  FakeDialogs();
  ~FakeDialogs() override;

  void answerYes() { answers_.push_back(true); }
  void answerNo() { answers_.push_back(false); }
  void answerText(const QString &text) { answers_.push_back(text); }
  void answerNote(const QString &text, const QList<bool> &checked) {
    answers_.push_back(NoteAnswer{text, checked});
  }
  // Message boxes are accepted silently unless strict.
  void setStrictMessages(bool strict) { strictMessages_ = strict; }

  QList<ShownBox> shown;
  bool allAnswersUsed() const { return answers_.empty(); }
  void clear() {
    shown.clear();
    answers_.clear();
  }

  void message(QWidget *parent, Icon icon, const QString &title, const QString &text) override;
  bool askYesNo(QWidget *parent, Icon icon, const QString &title, const QString &text,
                Default byDefault = Default::Yes) override;
  QString inputText(QWidget *parent, const QString &title, const QString &prompt,
                    const QString &initial) override;
  bool editNote(QWidget *parent, const QString &title, NoteForm &form) override;
  QString openFileName(QWidget *parent, const QString &title, const QString &start,
                       const QString &filter) override;
  QString saveFileName(QWidget *parent, const QString &title, const QString &start,
                       const QString &filter) override;
  bool choosePrinter(QWidget *parent, QPrinter *printer) override;
  // Recorded as a message whose `initial` names the action; the action is
  // chosen only when a yes is queued for it.
  bool messageWithAction(QWidget *parent, Icon icon, const QString &title, const QString &text,
                         const QString &action) override;
  // Recorded as a Preview box (nothing drawn: the printer is the caller's);
  // the next queued bool answers.
  bool previewPrint(QWidget *parent, const QString &title, QPrinter *printer,
                    const std::function<void(QPrinter *)> &draw) override;

private:
  bool nextBool(const QString &what);
  QString nextText(const QString &what);

  std::deque<std::variant<bool, QString, NoteAnswer>> answers_;
  bool strictMessages_ = false;
};

// Records every document and address handed to the shell.
class RecordingShell : public Shell {
public:
  RecordingShell();
  ~RecordingShell() override;
  bool openDocument(const QString &path) override;
  bool hasHandler(const QString &path) override;
  bool openAddress(const QString &address) override;

  QStringList documents;
  QStringList addresses;
  bool result = true;
  QStringList unhandledSuffixes; // file types no program opens
};

// A clock that stands still unless moved.
class FixedClock : public Clock {
public:
  explicit FixedClock(QDateTime at);
  ~FixedClock() override;
  QDateTime now() const override { return at_; }
  void set(QDateTime at) { at_ = std::move(at); }
  void advanceSeconds(qint64 s) { at_ = at_.addSecs(s); }

private:
  QDateTime at_;
};

// A temporary profile (home) folder for one test: the variable the program
// reads it from (USERPROFILE on Windows, HOME elsewhere) points at it while
// alive. `name` names the folder inside the temporary one (for accented or
// spaced profile names). The test program stops at once, before anything is
// written, when the profile the program sees is not this folder: a test never
// touches the real profile.
class TempHome {
public:
  explicit TempHome(const QString &name = QString());
  ~TempHome();
  TempHome(const TempHome &) = delete;
  TempHome &operator=(const TempHome &) = delete;
  QString path() const; // ends in "/"
  bool isValid() const { return dir_.isValid(); }

private:
  QTemporaryDir dir_;
  QString path_;
  bool hadOld_ = false;
  QString old_;
};

// Whether `folder` is the profile folder the program sees (same folder, even
// when spelt differently).
bool IsProfileFolder(const QString &folder);

// Takes every permission from the file at `path`; false when this user can
// read it all the same (root can), so that the test has nothing to check.
bool DenyReading(const QString &path);

// The links a test makes where the system has them.
enum class LinkKind {
  Symbolic, // a symbolic link; on Windows to a folder, else a junction there
  Hard,     // a second name of the same file
};
// Makes `link` a link of `kind` to `target` (which need not exist for a
// symbolic link). Empty when made; else why this system cannot make it here,
// for QSKIP.
QString MakeLink(const QString &target, const QString &link, LinkKind kind = LinkKind::Symbolic);

// Writes `bytes` to `path`, creating parent folders.
bool WriteFile(const QString &path, QByteArrayView bytes);
QByteArray ReadFile(const QString &path);

// The folder that receives offscreen snapshots (created on demand).
QString SnapshotFolder();

} // namespace tl::test
