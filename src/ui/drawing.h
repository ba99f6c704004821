#pragma once

// The drawing routines every window shares: drawn buttons, the banner, the
// information panel, balloon tooltips, the list header font and the hover
// nudge. Every length is in device-independent pixels (96-DPI pixels); the
// widgets paint through Qt's high-DPI backing store, so they stay sharp at
// any screen scale.

#include "common/control_ids.h"
#include "ui/controls.h"

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPoint>
#include <QString>
#include <QWidget>
#include <optional>
#include <span>

class QHeaderView;
class QPushButton;
class QPainter;

namespace tl {

// How a canvas is filled: vertical runs from colour A at the bottom edge to
// colour B at the top edge; diagonal from colour A at the top-left corner to
// colour B at the bottom-right corner.
enum class Gradient { Vertical, Diagonal };
enum class IconSide { Left, Right };

// The three colours of a drawn button: the two gradient ends and the label.
struct ButtonColours {
  QColor bottom; // colour A
  QColor top;    // colour B
  QColor label;
  bool operator==(const ButtonColours &) const = default;
};

// The button colour table of the main window.
ButtonColours NormalButtonColours(); // label black
ButtonColours HoverButtonColours();  // label light grey
ButtonColours PinnedButtonColours(); // orange, while "Epingler" is on

// Fills `rect` with the two-colour gradient.
void FillGradient(QPainter &painter, const QRectF &rect, const QColor &a, const QColor &b,
                  Gradient kind);

// The button routine: gradient, 16x16 icon at (10, 5) or (width - 21, 5),
// label centred in `font` (font 0 when none is given), and the outline when
// `border` is set.
void PaintButton(QPainter &painter, const QRect &rect, const ButtonColours &colours,
                 const QString &label, const QIcon &icon, IconSide side = IconSide::Left,
                 Gradient kind = Gradient::Vertical, std::optional<QColor> border = std::nullopt,
                 const std::optional<QFont> &font = std::nullopt);

// A canvas drawn by the button routine, its label in the widget's font (font
// 0 as built). Interactive buttons (the default) take the hand cursor and the
// hover colours while the mouse is over them, can be reached with Tab and
// pressed with Space or Enter, and emit clicked() on a left click. A "held"
// look (the pinned "Epingler") replaces both the normal and the hover colours
// while it is set. Screen readers see an interactive one as a button named
// by its label (which they can press) and a heading as static text.
class DrawnButton : public QWidget {
  Q_OBJECT
public:
  explicit DrawnButton(const QString &label = QString(), const QIcon &icon = QIcon(),
                       QWidget *parent = nullptr);

  void setLabel(const QString &label);
  QString label() const { return label_; }
  void setIcon(const QIcon &icon);
  bool hasIcon() const { return !icon_.isNull(); }
  // The width the centred label may take without running into the icon (on
  // either side, since it is centred) or the edges.
  int labelRoom() const;
  void setColours(const ButtonColours &normal);
  void setHoverColours(const ButtonColours &hover);
  void setHeldColours(std::optional<ButtonColours> held);
  void setGradient(Gradient kind);
  void setIconSide(IconSide side);
  void setBorder(std::optional<QColor> border);
  // Non-interactive canvases (headings) keep their look and ignore the mouse
  // and the keyboard.
  void setInteractive(bool interactive);
  bool isInteractive() const { return interactive_; }
  // What a click does, for the keyboard and screen readers: emits clicked()
  // when the button is interactive.
  void click();

  bool isHovered() const { return hovered_; }
  bool isHeld() const { return held_.has_value(); }
  // The colours the button is drawn with right now.
  ButtonColours currentColours() const;

signals:
  void clicked();

protected:
  void paintEvent(QPaintEvent *event) override;
  void enterEvent(QEnterEvent *event) override;
  void leaveEvent(QEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;

private:
  QString label_;
  QIcon icon_;
  ButtonColours normal_;
  ButtonColours hover_;
  std::optional<ButtonColours> held_;
  Gradient gradient_ = Gradient::Vertical;
  IconSide side_ = IconSide::Left;
  std::optional<QColor> border_;
  bool interactive_ = true;
  bool hovered_ = false;
  bool pressed_ = false;
};

// The banner routine: gradient, left image 32x32 at (10, 4), lines 1 and 2 at
// (70, 5) and (70, 25) in font 0, and the right text ending 40 pixels before
// the right edge with the emblem (shared image 2) after it. Line 1 is its
// accessible name, line 2 its description.
class Banner : public QWidget {
  Q_OBJECT
public:
  explicit Banner(QWidget *parent = nullptr);

  void setColours(const QColor &a, const QColor &b);
  void setGradient(Gradient kind);
  void setLines(const QString &line1, const QString &line2);
  void setLine2(const QString &line2);
  void setRightText(const QString &text);
  void setLeftImage(const QIcon &image);

  QString line1() const { return line1_; }
  QString line2() const { return line2_; }
  QString rightText() const { return rightText_; }

  // Where the painting puts its texts, and in which font: the first line at
  // (70, 5), the second under it at (70, 25) and lifted as far as needed for
  // its lowest pixel to stay inside the banner, the right text at the right
  // end. A second line that would run under the right text is written
  // smaller until it clears it.
  struct TextPlaces {
    QRect line1, line2, right;
    QFont font, line2Font;
  };
  TextPlaces textPlaces() const;

protected:
  void paintEvent(QPaintEvent *event) override;

private:
  QColor a_{99, 184, 255};
  QColor b_{0, 0, 128};
  Gradient gradient_ = Gradient::Vertical;
  QString line1_, line2_, rightText_;
  QIcon left_;
};

// The height of the banner across the top of a window.
inline constexpr int kBannerHeight = 40;

// A window's banner at its top left, `width` wide and kBannerHeight high: two
// lines on the vertical gradient from a to b, the image on the left and the
// author's name on the right, registered under its control number.
Banner *AddBanner(QWidget *window, ControlId id, int width, const QColor &a, const QColor &b,
                  const QIcon &left, const QString &line1, const QString &line2);

// The information panel routine: gradient, icon at (10, 10) at least 24x24,
// the title in font 0 and red at (icon width + 30, 30), then the text in
// black, wrapped to the width - 20, from (10, icon height + 30). The title is
// its accessible name, the text its description.
class InformationPanel : public QWidget {
  Q_OBJECT
public:
  explicit InformationPanel(QWidget *parent = nullptr);

  void setColours(const QColor &a, const QColor &b);
  void setGradient(Gradient kind);
  void setTitle(const QString &title);
  void setText(const QString &text);
  void setIcon(const QIcon &icon, int width, int height);
  // The title is red and the text black unless set otherwise (a dark scheme).
  void setTextColours(const QColor &title, const QColor &text);

  QString title() const { return title_; }
  QString text() const { return text_; }
  QColor topColour() const { return a_; }
  QColor titleColour() const { return titleColour_; }
  QColor textColour() const { return textColour_; }

protected:
  void paintEvent(QPaintEvent *event) override;

private:
  QColor a_{231, 234, 238};
  QColor b_{55, 71, 98};
  Gradient gradient_ = Gradient::Diagonal;
  QColor titleColour_{255, 0, 0};
  QColor textColour_{Qt::black};
  QString title_, text_;
  QIcon icon_;
  int iconWidth_ = 32;
  int iconHeight_ = 32;
};

// An image drawn at full opacity, scaled to the widget's size, over white.
class PictureBox : public QWidget {
  Q_OBJECT
public:
  explicit PictureBox(const QImage &image, QWidget *parent = nullptr);

protected:
  void paintEvent(QPaintEvent *event) override;

private:
  QImage image_;
};

// The tooltip routine: a balloon with the title (after its icon, when the
// title is not empty) over the text, in the system's tooltip colours, at most
// 200 pixels wide. It appears when the mouse rests on `widget` and goes when
// the mouse leaves or clicks. Calling it again replaces the texts. The text
// is also the control's accessible description.
void AttachBalloonTip(QWidget *widget, const QString &title, const QString &text,
                      const QIcon &icon = QIcon());

// A drawn button at `place` with system icon `icon`: a balloon titled by its
// label over `tip`, the label fitted to the button, registered under its
// control number.
DrawnButton *AddDrawnButton(QWidget *parent, ControlId id, const QRect &place, int icon,
                            const QString &label, const QString &tip);

// One button of a row of drawn buttons, and where the button made is kept.
struct DrawnButtonEntry {
  DrawnButton **button;
  ControlId id;
  int x, width, icon;
  QString label, tip;
};
// The row's buttons, `height` high at `top`, each as AddDrawnButton makes it.
void AddDrawnButtons(QWidget *parent, int top, int height,
                     std::span<const DrawnButtonEntry> entries);

// A dialog's push button at `place`, with a balloon titled by its caption
// over `tip` with system icon `icon`, registered under its control number.
// It does not become the default button when it takes the focus.
QPushButton *TipButton(QWidget *parent, ControlId id, const QString &caption, const QRect &place,
                       const QString &tip, int icon);

struct BalloonTipContent {
  QString title;
  QString text;
  QIcon icon;
};
// What AttachBalloonTip gave `widget`, or nothing.
std::optional<BalloonTipContent> BalloonTipOf(const QWidget *widget);
// The balloon on show, if any (tests look at it).
QWidget *VisibleBalloonTip();

// A visible text as a screen reader should say it, for accessible names:
// without the menu mark "∇", the arrow "⇨", leader dots and a closing colon,
// with single blanks ("Mesure Systolique ......" gives "Mesure Systolique").
QString SpokenText(QString text);

// The list header routine: font 1 on the header of a list.
void SetListHeaderFont(QHeaderView *header);

// The hover nudge: on mouse-enter `widget` moves by the mode, on mouse-leave
// it goes back to `rest`.
enum class NudgeMode {
  UpRight = 0, // 2 right and 2 up
  Down = 1,    // 1 down
  Up = 2,      // 2 up
};
void AttachHoverNudge(QWidget *widget, QPoint rest, NudgeMode mode);
QPoint NudgeOffset(NudgeMode mode);

// A shared image as an icon (scaled sharply to any size asked).
QIcon ImageIcon(int sharedImage);

} // namespace tl
