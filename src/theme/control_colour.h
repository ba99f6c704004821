#pragma once

// The colouring routine: gives any control a text and a background colour,
// or takes it back to its default look. Controls are reached by their number
// (the registry of ui/controls.h) or directly by widget. Colours are applied through
// palettes; borders are painted by a hook after the control's own painting.

#include "common/control_ids.h"
#include "ui/controls.h"

#include <QColor>

class QWidget;

namespace tl {

// Colour kinds.
inline constexpr int kTextColour = 1;
inline constexpr int kBackgroundColour = 2;
inline constexpr int kDefaultLook = -1;

// How the routine treats a control.
enum class PaintClass {
  OwnColours,   // labels, links, progress bars: only the colours passed are applied
  NativeBorder, // text fields, lists, editors, spin fields, scroll areas, canvases: likewise, plus
                // a border
  FullyPainted, // every other control: drawn with the recorded text and background
};

// What the routine keeps for one coloured control.
struct ColourRecord {
  int control = -1;       // its number, -1 when coloured by widget only
  QColor text;            // invalid while not set
  QColor background;      // invalid while not set
  bool textGiven = false; // the text colour was passed (not chosen automatically)
  bool backgroundGiven = false;
  QColor softBorder;
  QColor hotBorder;
  int borderMode = 0; // BorderBit set
  bool hot = false;   // the mouse is over the control
  bool lightLook = true;
  PaintClass paintClass = PaintClass::FullyPainted;
};

// Set control colour. kind 1 = text, 2 = background, -1 = back to the
// default look; an invalid colour removes that colour. Other kinds do
// nothing. Returns false when no control has that number.
bool SetControlColour(int number, int kind, const QColor &colour = QColor());
inline bool SetControlColour(ControlId id, int kind, const QColor &colour = QColor()) {
  return SetControlColour(ToInt(id), kind, colour);
}
void SetControlColour(QWidget *widget, int kind, const QColor &colour = QColor());

// The record of a coloured control, or nullptr when it has its default look.
const ColourRecord *ColourRecordOf(const QWidget *widget);

PaintClass PaintClassOf(const QWidget *widget);

} // namespace tl
