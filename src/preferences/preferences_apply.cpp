#include "preferences/preferences_apply.h"

#include "common/app_state.h"
#include "common/control_ids.h"
#include "common/file_io.h"
#include "common/paths.h"
#include "common/patient_name.h"
#include "common/preferences_file.h"
#include "ui/main_window_api.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalBlocker>
#include <QWidget>
#include <limits>

namespace tl {

namespace {

// Stored numbers are 64-bit; window calls and the curve style take int.
int ToIntClamped(qint64 v) {
  return int(
      qBound(qint64(std::numeric_limits<int>::min()), v, qint64(std::numeric_limits<int>::max())));
}

// Whether a window placed at `at` with `size` could be seen and grabbed: its
// top band (where the title bar is) must meet the free area of some screen.
// A position stored while a screen now gone was attached would otherwise
// open the main window where nobody can see it.
bool ReachablePosition(const QPoint &at, const QSize &size) {
  const QList<QScreen *> screens = QGuiApplication::screens();
  if (screens.isEmpty()) {
    return true; // nothing to measure against
  }
  const QRect band(at, QSize(qMax(size.width(), 1), 30));
  for (const QScreen *screen : screens) {
    if (screen->availableGeometry().intersects(band)) {
      return true;
    }
  }
  return false;
}

} // namespace

void ApplyPreferences(MainWindowApi &main) {
  const QString path = Paths().preferencesFile;
  if (!QFileInfo::exists(path)) {
    return;
  }
  // A file that cannot be read gives every key as 0 or empty, but leaves
  // the curve style as it is: only a stored choice replaces it.
  bool opened = false;
  const Preferences p = ReadPreferences(PreferencesReader::fromFile(path, &opened));
  if (opened) {
    State().curveStyle = ToIntClamped(p.graphCourbe);
  }

  QWidget *window = main.window();
  const int w = ToIntClamped(p.windowWidth);
  const int h = ToIntClamped(p.windowHeight);
  const QPoint at(ToIntClamped(p.windowPosX), ToIntClamped(p.windowPosY));
  switch (ChooseGeometryRule(p.windowHeight, p.windowWidth, p.windowPosX, p.windowPosY)) {
  case GeometryRule::Resize:
    window->resize(w, h);
    break;
  case GeometryRule::Move:
    if (ReachablePosition(at, window->size())) {
      window->move(at);
    }
    break;
  case GeometryRule::MoveAndResize:
    if (ReachablePosition(at, QSize(w, h))) {
      window->move(at);
    }
    window->resize(w, h);
    break;
  case GeometryRule::Leave:
    break;
  }

  if (p.windowMax == 1) {
    window->setWindowState(window->windowState() | Qt::WindowMaximized);
  } else {
    window->setWindowState(window->windowState() & ~Qt::WindowMaximized);
  }

  State().pinned = p.stickyWindow == 1;
  main.setPinned(State().pinned);

  const int tab = TabOfPanel(p.openPanel);
  if (tab >= 0) {
    main.setCurrentTab(tab);
  }

  if (p.graphCourbe >= 1 && p.graphCourbe <= 3) {
    if (auto *selector = qobject_cast<QComboBox *>(main.control(ControlId::CurveStyleSelector))) {
      // The style is already set: the selector only has to show it.
      const QSignalBlocker quiet(selector);
      selector->setCurrentIndex(int(p.graphCourbe) - 1);
    }
  }

  if (p.darkmode == 1) {
    State().darkAppearance = true;
  } else if (p.darkmode == 0) {
    State().darkAppearance = false;
  }

  // A stored name that could not be a file name would send the measurement
  // files outside the data folder: the patient manager opens instead.
  const QString name = IsUsablePatientName(p.username) ? p.username : QString();
  State().currentPatient = name;
  RebuildMeasurementPaths(Paths(), name);
}

FileError WriteClosingPreferences(MainWindowApi &main) {
  if (!State().readOnlyReason.isEmpty()) {
    return {}; // a folder opened read-only: nothing is written there
  }
  const QString path = Paths().preferencesFile;
  // A file that cannot be read may still hold the user's settings: it is
  // kept aside rather than written over.
  if (IsUnreadablePreferencesFile(path)) {
    KeepFileAside(path);
  }
  bool opened = false;
  Preferences p = ReadPreferences(PreferencesReader::fromFile(path, &opened));
  if (opened) {
    State().curveStyle = ToIntClamped(p.graphCourbe);
  }

  const QWidget *window = main.window();
  if (p.keepWindowSize == 1) {
    p.windowHeight = window->height();
    p.windowWidth = window->width();
  } else {
    p.keepWindowSize = p.windowHeight = p.windowWidth = 0;
  }
  if (p.keepWindowPos == 1) {
    p.windowPosX = window->x();
    p.windowPosY = window->y();
  } else {
    p.keepWindowPos = p.windowPosX = p.windowPosY = 0;
  }

  if (p.currentUser == 1) {
    p.username = State().currentPatient;
  } else if (p.currentUser == 0) {
    p.username.clear();
  }
  p.graphCourbe = State().curveStyle;
  return WritePreferencesFile(path, SerializeClosingPreferences(p));
}

} // namespace tl
