#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class QPrinter;
class QWidget;

namespace tl {

// Every message the program shows goes through this interface, so that the
// tests can answer and record each box instead of blocking on a modal one.
// Texts are always shown as plain text: they may quote cells, profile fields
// and file names, which must never be read as markup.
class Dialogs {
public:
  enum class Icon { Information, Warning, Error, Question };
  // The button Enter presses in a yes/no box.
  enum class Default { Yes, No };

  // A small form: a heading, one line of text and a check box per label.
  struct NoteForm {
    QString heading;     // what the form is about, above the line
    QString lineLabel;   // "Remarque :", the line's label and name
    QString text;        // the line's text
    int maxLength = 0;   // at most this many characters typed, 0: no limit
    QStringList labels;  // one check box per label
    QList<bool> checked; // one per label
  };

  virtual ~Dialogs() = default;

  // A box with one "OK" button.
  virtual void message(QWidget *parent, Icon icon, const QString &title, const QString &text) = 0;
  // A box with "Oui" and "Non"; true for "Oui". `byDefault` is "Non" where
  // "Oui" would lose data, so that Enter keeps it.
  virtual bool askYesNo(QWidget *parent, Icon icon, const QString &title, const QString &text,
                        Default byDefault = Default::Yes) = 0;
  // The one-line input box: prompt, one text field filled with `initial`
  // and an OK button. Enter confirms; Escape or closing cancels and gives "".
  virtual QString inputText(QWidget *parent, const QString &title, const QString &prompt,
                            const QString &initial) = 0;
  // The form filled with `form`, "OK" and "Annuler". On "OK" (or Enter),
  // true, with what was typed and ticked in `form`; false, `form` as it
  // was, on "Annuler", Escape or closing.
  virtual bool editNote(QWidget *parent, const QString &title, NoteForm &form) = 0;
  // File choosers: the path chosen, "" when cancelled. `start` is a folder or
  // a proposed file path; `filter` as Qt writes it ("Fichiers CSV (*.csv)").
  virtual QString openFileName(QWidget *parent, const QString &title, const QString &start,
                               const QString &filter) = 0;
  virtual QString saveFileName(QWidget *parent, const QString &title, const QString &start,
                               const QString &filter) = 0;
  // The system print dialog over `printer`; true when the user chose to print.
  virtual bool choosePrinter(QWidget *parent, QPrinter *printer) = 0;
  // A box with "OK" and a second button named `action` ("Ouvrir le
  // dossier"); true when the action was chosen.
  virtual bool messageWithAction(QWidget *parent, Icon icon, const QString &title,
                                 const QString &text, const QString &action) = 0;
  // The print preview of what `draw` paints on `printer`, pages side by
  // side, with its own print button; true when the user printed from it.
  virtual bool previewPrint(QWidget *parent, const QString &title, QPrinter *printer,
                            const std::function<void(QPrinter *)> &draw) = 0;

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

// The dialogs in use: those a test installed, else the program's own
// (installed at start-up), else none: without either, nothing is shown,
// questions are answered "Non", the input box and the choosers give "" and
// nothing is printed.
Dialogs &dialogs();
// Installs `d` (not owned) in place of the program's dialogs; nullptr removes it.
void setDialogs(Dialogs *d);
// Installs the program's own dialogs (not owned).
void setDefaultDialogs(Dialogs *d);

} // namespace tl
