#pragma once

#include "platform/dialogs.h"

namespace tl {

// Message boxes, the input box, the file choosers and the print dialog
// built with Qt widgets, French buttons.
class QtDialogs : public Dialogs {
public:
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
  bool messageWithAction(QWidget *parent, Icon icon, const QString &title, const QString &text,
                         const QString &action) override;
  bool previewPrint(QWidget *parent, const QString &title, QPrinter *printer,
                    const std::function<void(QPrinter *)> &draw) override;
};

} // namespace tl
