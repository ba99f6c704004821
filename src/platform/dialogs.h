#pragma once

#include <QString>

class QWidget;

namespace tl {

// Every message the program shows goes through this interface, so that the
// tests can answer and record each box instead of blocking on a modal one.
// Texts are always shown as plain text: they may quote cells, profile fields
// and file names, which must never be read as markup.
class Dialogs {
public:
  enum class Icon { Information, Warning, Error, Question };

  virtual ~Dialogs() = default;

  // A box with one "OK" button.
  virtual void message(QWidget *parent, Icon icon, const QString &title, const QString &text) = 0;
  // A box with "Oui" and "Non"; true for "Oui".
  virtual bool askYesNo(QWidget *parent, Icon icon, const QString &title, const QString &text) = 0;
  // The one-line input box: prompt, one text field filled with `initial`
  // and an OK button. Enter confirms; Escape or closing cancels and gives "".
  virtual QString inputText(QWidget *parent, const QString &title, const QString &prompt,
                            const QString &initial) = 0;

  void information(QWidget *parent, const QString &title, const QString &text) {
    message(parent, Icon::Information, title, text);
  }
  void warning(QWidget *parent, const QString &title, const QString &text) {
    message(parent, Icon::Warning, title, text);
  }
  void error(QWidget *parent, const QString &title, const QString &text) {
    message(parent, Icon::Error, title, text);
  }
};

// The dialogs in use: the real ones unless a test installed its own.
Dialogs &dialogs();
// Installs `d` (not owned) in place of the real dialogs; nullptr restores them.
void setDialogs(Dialogs *d);

// Message boxes and the input box built with Qt widgets, French buttons.
class QtDialogs : public Dialogs {
public:
  void message(QWidget *parent, Icon icon, const QString &title, const QString &text) override;
  bool askYesNo(QWidget *parent, Icon icon, const QString &title, const QString &text) override;
  QString inputText(QWidget *parent, const QString &title, const QString &prompt,
                    const QString &initial) override;
};

} // namespace tl
