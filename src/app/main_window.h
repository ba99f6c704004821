#pragma once

#include "ui/main_window_api.h"

#include <QDateTime>
#include <QHash>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class QShortcut;
class QTabWidget;
class QTableView;

namespace tl {

class Banner;
class DrawnButton;
class InformationPanel;
class PeriodLists;
class ShareRowLayout;

// The program's one permanent window: banner, command buttons, input panel,
// tab panel with the four period lists and the averages page, status bar.
// Every control is registered under its number; what the controls do is
// wired by commands.cpp.
class MainWindow : public QWidget, public MainWindowApi {
  Q_OBJECT
public:
  // The size the window is laid out for; smaller only on a screen too small
  // for it (see FittedWindowSize).
  static constexpr int kMinimumWidth = 1024;
  static constexpr int kMinimumHeight = 768;
  // The least height at which every control shows whole: the input panel,
  // the information panel and the picture at its smallest above the status
  // bar. Below the starting height the picture, the lists and the graphs
  // give up their room first.
  static constexpr int kSmallestHeight = 620;
  // Input fields back to now when the window comes back after this long away.
  static constexpr qint64 kAwaySeconds = 10 * 60;

  explicit MainWindow(QWidget *parent = nullptr);
  ~MainWindow() override;

  // MainWindowApi
  QWidget *window() override { return this; }
  QWidget *control(ControlId id) override;
  Logbook &logbook() override { return *logbook_; }
  void updateStatusCounts() override;
  void setPatientLine(const QString &patient) override;
  void refreshAveragesAndGraphs() override;
  void setPinned(bool pinned) override;
  int currentTab() const override;
  void setCurrentTab(int tab) override;
  QList<int> selectedRows(DayPeriod period) const override;
  QList<int> markedRows(DayPeriod period) const override;
  void setStatusNote(const QString &note) override;
  void setUnsavedNote(const QString &note) override;

  // The lists' marks, tooltips and accessible texts drawn again when a
  // command changed the notes and flags of the readings.
  void refreshContextMarks();

  // Minimum and starting size for the screen the window is on.
  void fitToScreen();
  // A window that is not maximised, with the usual frame, brought inside
  // the screen's free area: shrunk first when it is larger (a size kept
  // from a larger screen), then moved.
  void keepFrameInside();

  QTableView *listView(DayPeriod period) const { return views_[size_t(PeriodIndex(period))]; }
  DrawnButton *button(ControlId id) const;
  QMenu *menu(ControlId id) const;
  // The menu item of this id (35 to 41, 73 to 75, 150 to 155), or nullptr.
  QAction *menuAction(int id) const { return actions_.value(id); }
  const QList<QShortcut *> &shortcuts() const { return shortcuts_; }
  QString statusText(int field) const;
  int statusFieldWidth(int field) const;

  // Timer 0: the information text rotation, every 10 seconds.
  void startInformationTimer();
  QTimer &informationTimer() { return informationTimer_; }
  // Shows information text 1 to 5 in the information panel.
  void showInformationText(int number);
  // One tick of timer 0: the next text, 1 to 5, then 1 again.
  void advanceInformationText();

  // The close request is put to this test before the window closes: it runs
  // the save steps and may refuse (the window then stays). Without one the
  // window closes.
  void setQuitHandler(std::function<bool()> handler) { quitHandler_ = std::move(handler); }
  // Closes the window without asking the quit handler (the saves are done,
  // or must not be done).
  void closeWithoutSaving();
  bool isShutDown() const { return shutDown_; }
  // Closing the window (its title bar's button, Alt+F4) first asks this
  // test: true keeps the program running in the tray, the window hidden.
  void setCloseToTray(std::function<bool()> handler) { closeToTray_ = std::move(handler); }
  // Ends the program, the saves done, never into the tray ("Quitter", Ctrl+Q).
  void quit();

signals:
  // The window has accepted to close: the program ends.
  void quitAccepted();
  // Emitted for every menu event (menu item or shortcut), with its id.
  void menuEvent(int id);

protected:
  void resizeEvent(QResizeEvent *event) override;
  void closeEvent(QCloseEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;
  void changeEvent(QEvent *event) override;
  void showEvent(QShowEvent *event) override;

private:
  void registerControl(QWidget *widget, ControlId id);
  QWidget *buildBanner();
  QLayout *buildButtons();
  QWidget *buildLeftPanel();
  QWidget *buildRightPanel();
  QTableView *buildList(DayPeriod period);
  QWidget *buildSeriesStrip(QWidget *panel);
  QWidget *buildAveragesPage();
  QWidget *buildStatusBar();
  void buildMenus();
  void buildShortcuts();
  void orderTabChain();
  // What the layout leaves to the window after a resize: the command
  // buttons' icons, the picture shown or not, the tabs' texts shortened.
  void followSize();

  std::unique_ptr<Logbook> logbook_;
  QHash<int, QAction *> actions_;
  QList<QShortcut *> shortcuts_;
  std::array<QTableView *, 4> views_{};
  std::array<QLabel *, 6> statusFields_{};
  QString statusNote_, unsavedNote_; // the last field's texts, the unsaved one first
  Banner *banner_ = nullptr;
  InformationPanel *information_ = nullptr;
  QTabWidget *tabs_ = nullptr;
  ShareRowLayout *buttonRow_ = nullptr;
  QTimer informationTimer_;
  std::function<bool()> quitHandler_;
  std::function<bool()> closeToTray_;
  bool quitting_ = false;
  bool shutDown_ = false;
  bool screenWatched_ = false;
  QDateTime leftAt_; // when the window last stopped being the active one
  bool tabsNarrow_ = false;
  bool placed_ = false;      // brought inside the screen at its first showing
  double buttonShare_ = 0;   // of their full widths the command buttons take (0: not yet placed)
  quint64 contextsSeen_ = 0; // the revision of the contexts the lists show
};

// The window's minimum (and starting) size on a screen whose free area is
// `available`, the frame around the window taking `frame`: 1024 × 768 where
// it fits, never more than the free area.
QSize FittedWindowSize(const QRect &available, const QMargins &frame);
// The window's minimum size there: as wide as FittedWindowSize, and no
// higher than kSmallestHeight, so that a window manager can always fit the
// window into the free area, maximised or not, whatever frame it draws.
QSize MinimumWindowSize(const QRect &available, const QMargins &frame);
// The room taken around the window by its title bar and borders before the
// window system tells it.
QMargins DefaultFrameMargins();

// The banner's second line, without a patient or naming one.
QString BannerLine2(const QString &patient);
// The rights notice of the status bar, with the year of `today`.
QString RightsNotice(int year);

} // namespace tl
