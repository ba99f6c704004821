#pragma once

#include <QWidget>

namespace tl {

// The small window shown while the lists of a known patient are loaded:
// the program title, an icon and "Chargement des données", kept above every
// other window, with no close box.
class SplashWindow : public QWidget {
  Q_OBJECT
public:
  explicit SplashWindow(QWidget *parent = nullptr);
  QString text() const;
};

} // namespace tl
