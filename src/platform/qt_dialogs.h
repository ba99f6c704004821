#pragma once

#include "platform/dialogs.h"

namespace tl {

// Message boxes and the input box built with Qt widgets, French buttons.
class QtDialogs : public Dialogs {
public:
  void message(QWidget *parent, Icon icon, const QString &title, const QString &text) override;
  bool askYesNo(QWidget *parent, Icon icon, const QString &title, const QString &text) override;
  QString inputText(QWidget *parent, const QString &title, const QString &prompt,
                    const QString &initial) override;
};

} // namespace tl
