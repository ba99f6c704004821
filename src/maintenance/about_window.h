#pragma once

// The About window: borderless, beside the main window (not modal), with
// the program's texts and two links.

#include <QLabel>
#include <QWidget>

class QPushButton;

namespace tl {

class InformationPanel;

// A hyperlink-style label: underlined, hand cursor, red while the mouse is
// over it; reached with Tab and followed with Enter or Space.
class LinkLabel : public QLabel {
  Q_OBJECT
public:
  explicit LinkLabel(const QString &text, QWidget *parent = nullptr);
  bool isHovered() const { return hovered_; }

signals:
  void activated();

protected:
  void enterEvent(QEnterEvent *event) override;
  void leaveEvent(QEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
  void paintEvent(QPaintEvent *event) override;

private:
  void setHovered(bool hovered);
  bool hovered_ = false;
};

class AboutWindow : public QWidget {
  Q_OBJECT
public:
  explicit AboutWindow(QWidget *parent = nullptr);

  InformationPanel *panel() const { return panel_; }
  LinkLabel *siteLink() const { return site_; }
  LinkLabel *licenceLink() const { return licence_; }
  QPushButton *closeButton() const { return close_; }

private:
  InformationPanel *panel_ = nullptr;
  LinkLabel *site_ = nullptr;
  LinkLabel *licence_ = nullptr;
  QPushButton *close_ = nullptr;
};

// Opens the About window beside `mainWindow` and returns at once. While one
// is open, it is brought to the front instead of opening a second one.
AboutWindow *ShowAboutWindow(QWidget *mainWindow);

} // namespace tl
