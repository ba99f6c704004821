#include "platform/dialogs.h"

namespace tl {

namespace {

// Shows nothing and agrees to nothing: what runs without the program's own
// dialogs (a command-line tool, a test without a fake) must not destroy data.
class NoDialogs : public Dialogs {
public:
  void message(QWidget *, Icon, const QString &, const QString &) override {}
  bool askYesNo(QWidget *, Icon, const QString &, const QString &,
                Default = Default::Yes) override {
    return false;
  }
  QString inputText(QWidget *, const QString &, const QString &, const QString &) override {
    return QString();
  }
  bool editNote(QWidget *, const QString &, NoteForm &) override { return false; }
  QString openFileName(QWidget *, const QString &, const QString &, const QString &) override {
    return QString();
  }
  QString saveFileName(QWidget *, const QString &, const QString &, const QString &) override {
    return QString();
  }
  bool choosePrinter(QWidget *, QPrinter *) override { return false; }
  bool messageWithAction(QWidget *, Icon, const QString &, const QString &,
                         const QString &) override {
    return false;
  }
  bool previewPrint(QWidget *, const QString &, QPrinter *,
                    const std::function<void(QPrinter *)> &) override {
    return false;
  }
};

Dialogs *g_override = nullptr;
Dialogs *g_default = nullptr;

} // namespace

Dialogs &dialogs() {
  static NoDialogs none;
  if (g_override) {
    return *g_override;
  }
  return g_default ? *g_default : none;
}

void setDialogs(Dialogs *d) { g_override = d; }

void setDefaultDialogs(Dialogs *d) { g_default = d; }

} // namespace tl
