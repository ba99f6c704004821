#include "ui/drawing.h"

#include "common/identity.h"
#include "ui/assets/assets.h"
#include "ui/fit_text.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QEnterEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTextLayout>
#include <QToolTip>
#include <algorithm>
#include <cmath>

namespace tl {

ButtonColours NormalButtonColours() { return {{231, 234, 238}, {55, 71, 98}, {0, 0, 0}}; }
ButtonColours HoverButtonColours() { return {{231, 234, 238}, {55, 71, 98}, {231, 234, 238}}; }
ButtonColours PinnedButtonColours() { return {{237, 201, 63}, {237, 124, 63}, {231, 234, 238}}; }

void FillGradient(QPainter &painter, const QRectF &rect, const QColor &a, const QColor &b,
                  Gradient kind) {
  QLinearGradient gradient = kind == Gradient::Vertical
                                 ? QLinearGradient(rect.bottomLeft(), rect.topLeft())
                                 : QLinearGradient(rect.topLeft(), rect.bottomRight());
  gradient.setColorAt(0, a);
  gradient.setColorAt(1, b);
  painter.fillRect(rect, gradient);
}

void PaintButton(QPainter &painter, const QRect &rect, const ButtonColours &colours,
                 const QString &label, const QIcon &icon, IconSide side, Gradient kind,
                 std::optional<QColor> border, const std::optional<QFont> &font) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  FillGradient(painter, rect, colours.bottom, colours.top, kind);
  if (!icon.isNull()) {
    const int x = side == IconSide::Left ? rect.left() + 10 : rect.right() + 1 - 21;
    icon.paint(&painter, QRect(x, rect.top() + 5, 16, 16));
  }
  if (!label.isEmpty()) {
    painter.setFont(font ? *font : SharedFont(0));
    painter.setPen(colours.label);
    painter.drawText(rect, Qt::AlignCenter | Qt::TextSingleLine, label);
  }
  if (border) {
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(*border);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
  }
  painter.restore();
}

// ---------------------------------------------------------------------------
// DrawnButton

namespace {

// What screen readers see of a drawn button: a push button named by its
// label that they can press, or, for headings and bands, static text.
class DrawnButtonAccessible : public QAccessibleWidget {
public:
  explicit DrawnButtonAccessible(DrawnButton *button) : QAccessibleWidget(button) {}

  QAccessible::Role role() const override {
    return button()->isInteractive() ? QAccessible::Button : QAccessible::StaticText;
  }

  QString text(QAccessible::Text kind) const override {
    if (kind == QAccessible::Name && widget()->accessibleName().isEmpty()) {
      return SpokenText(button()->label());
    }
    return QAccessibleWidget::text(kind);
  }

  QStringList actionNames() const override {
    QStringList names = QAccessibleWidget::actionNames();
    if (button()->isInteractive()) {
      names.prepend(pressAction());
    }
    return names;
  }

  void doAction(const QString &action) override {
    if (action == pressAction()) {
      button()->click();
      return;
    }
    QAccessibleWidget::doAction(action);
  }

private:
  DrawnButton *button() const { return static_cast<DrawnButton *>(widget()); }
};

QAccessibleInterface *DrawnButtonAccessibleFactory(const QString &className, QObject *object) {
  if (className == QLatin1String(DrawnButton::staticMetaObject.className()) && object &&
      object->isWidgetType()) {
    return new DrawnButtonAccessible(static_cast<DrawnButton *>(object));
  }
  return nullptr;
}

} // namespace

DrawnButton::DrawnButton(const QString &label, const QIcon &icon, QWidget *parent)
    : QWidget(parent), label_(label), icon_(icon), normal_(NormalButtonColours()),
      hover_(HoverButtonColours()) {
  static const bool factoryInstalled = [] {
    QAccessible::installFactory(DrawnButtonAccessibleFactory);
    return true;
  }();
  Q_UNUSED(factoryInstalled);
  setAttribute(Qt::WA_Hover);
  setFocusPolicy(Qt::TabFocus);
  setCursor(Qt::ArrowCursor);
  setFont(SharedFont(0));
}

void DrawnButton::setLabel(const QString &label) {
  label_ = label;
  update();
  if (accessibleName().isEmpty()) {
    QAccessibleEvent event(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
  }
}

void DrawnButton::setIcon(const QIcon &icon) {
  icon_ = icon;
  update();
}

void DrawnButton::setColours(const ButtonColours &normal) {
  normal_ = normal;
  update();
}

void DrawnButton::setHoverColours(const ButtonColours &hover) {
  hover_ = hover;
  update();
}

void DrawnButton::setHeldColours(std::optional<ButtonColours> held) {
  held_ = held;
  update();
}

void DrawnButton::setGradient(Gradient kind) {
  gradient_ = kind;
  update();
}

void DrawnButton::setIconSide(IconSide side) {
  side_ = side;
  update();
}

void DrawnButton::setBorder(std::optional<QColor> border) {
  border_ = border;
  update();
}

int DrawnButton::labelRoom() const {
  constexpr int kIconEnd = 10 + 16 + 2; // the icon and a gap after it
  constexpr int kEdge = 3;
  return width() - 2 * (icon_.isNull() ? kEdge : kIconEnd);
}

void DrawnButton::click() {
  if (interactive_) {
    emit clicked();
  }
}

void DrawnButton::setInteractive(bool interactive) {
  interactive_ = interactive;
  setFocusPolicy(interactive ? Qt::TabFocus : Qt::NoFocus);
  if (!interactive) {
    hovered_ = false;
    unsetCursor();
  }
  update();
}

ButtonColours DrawnButton::currentColours() const {
  if (held_) {
    return *held_;
  }
  return hovered_ ? hover_ : normal_;
}

void DrawnButton::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  PaintButton(painter, rect(), currentColours(), label_, icon_, side_, gradient_, border_, font());
  if (hasFocus()) {
    QPen pen(currentColours().label, 1, Qt::DotLine);
    painter.setPen(pen);
    painter.drawRect(rect().adjusted(2, 2, -3, -3));
  }
}

void DrawnButton::enterEvent(QEnterEvent *event) {
  QWidget::enterEvent(event);
  if (!interactive_) {
    return;
  }
  hovered_ = true;
  setCursor(Qt::PointingHandCursor);
  update();
}

void DrawnButton::leaveEvent(QEvent *event) {
  QWidget::leaveEvent(event);
  if (!interactive_) {
    return;
  }
  hovered_ = false;
  pressed_ = false;
  setCursor(Qt::ArrowCursor);
  update();
}

void DrawnButton::mousePressEvent(QMouseEvent *event) {
  if (interactive_ && event->button() == Qt::LeftButton) {
    pressed_ = true;
    event->accept();
    return;
  }
  QWidget::mousePressEvent(event);
}

void DrawnButton::mouseReleaseEvent(QMouseEvent *event) {
  if (interactive_ && event->button() == Qt::LeftButton && pressed_) {
    pressed_ = false;
    event->accept();
    // The nudge may have moved the button by a pixel; a release anywhere on
    // it (or just at its edge) still counts.
    if (rect().adjusted(-2, -2, 2, 2).contains(event->position().toPoint())) {
      emit clicked();
    }
    return;
  }
  QWidget::mouseReleaseEvent(event);
}

void DrawnButton::keyPressEvent(QKeyEvent *event) {
  if (interactive_ && (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return ||
                       event->key() == Qt::Key_Enter)) {
    event->accept();
    // A held key acts once, not at the keyboard's repeat rate.
    if (!event->isAutoRepeat()) {
      emit clicked();
    }
    return;
  }
  QWidget::keyPressEvent(event);
}

// ---------------------------------------------------------------------------
// Banner

Banner::Banner(QWidget *parent) : QWidget(parent), left_(ImageIcon(0)) {}

void Banner::setColours(const QColor &a, const QColor &b) {
  a_ = a;
  b_ = b;
  update();
}

void Banner::setGradient(Gradient kind) {
  gradient_ = kind;
  update();
}

void Banner::setLines(const QString &line1, const QString &line2) {
  line1_ = line1;
  setAccessibleName(line1.simplified());
  setLine2(line2);
}

void Banner::setLine2(const QString &line2) {
  line2_ = line2;
  setAccessibleDescription(line2.simplified());
  update();
}

void Banner::setRightText(const QString &text) {
  rightText_ = text;
  update();
}

void Banner::setLeftImage(const QIcon &image) {
  left_ = image;
  update();
}

Banner *AddBanner(QWidget *window, ControlId id, int width, const QColor &a, const QColor &b,
                  const QIcon &left, const QString &line1, const QString &line2) {
  auto *banner = new Banner(window);
  banner->setGeometry(0, 0, width, kBannerHeight);
  banner->setColours(a, b);
  banner->setGradient(Gradient::Vertical);
  banner->setLines(line1, line2);
  banner->setRightText(AuthorLabel());
  banner->setLeftImage(left);
  SetControlNumber(banner, id);
  return banner;
}

Banner::TextPlaces Banner::textPlaces() const {
  TextPlaces places;
  places.font = SharedFont(0);
  const QFontMetrics metrics(places.font);
  const auto box = [](const QFontMetrics &m, int x, int y, const QString &text) {
    return text.isEmpty() ? QRect() : QRect(x, y, m.horizontalAdvance(text), m.height());
  };
  places.line1 = box(metrics, 70, 5, line1_);
  places.right = box(metrics, width() - metrics.horizontalAdvance(rightText_) - 40, 20, rightText_);
  const int end = rightText_.isEmpty() ? width() - 4 : places.right.left() - 8;
  places.line2Font = places.font;
  for (int i = 0; i < 20; ++i) {
    const QFontMetrics m(places.line2Font);
    if (70 + m.horizontalAdvance(line2_) <= end || places.line2Font.pointSizeF() <= 6) {
      break;
    }
    places.line2Font.setPointSizeF(places.line2Font.pointSizeF() - 0.5);
  }
  const QFontMetrics m2(places.line2Font);
  places.line2 = box(m2, 70, std::min(25, height() - m2.height()), line2_);
  return places;
}

namespace {

// Relative luminance and contrast ratio as WCAG 2 defines them.
double RelativeLight(const QColor &colour) {
  const auto channel = [](int value) {
    const double c = value / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel(colour.red()) + 0.7152 * channel(colour.green()) +
         0.0722 * channel(colour.blue());
}

double Contrast(const QColor &a, const QColor &b) {
  const double la = RelativeLight(a), lb = RelativeLight(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// `background` darkened towards black, 5 % a step, until the light `text`
// reads on it at 4.5:1: a band keeps its hue, and its texts can be read
// wherever the gradient puts them.
QColor UnderLightText(const QColor &background, const QColor &text) {
  QColor shade = background;
  for (int step = 1; step <= 20 && Contrast(shade, text) < 4.5; ++step) {
    const double keep = 1.0 - 0.05 * step;
    shade = QColor(int(std::lround(background.red() * keep)),
                   int(std::lround(background.green() * keep)),
                   int(std::lround(background.blue() * keep)));
  }
  return shade;
}

} // namespace

void Banner::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  const QColor text(231, 234, 238);
  FillGradient(painter, rect(), UnderLightText(a_, text), UnderLightText(b_, text), gradient_);
  if (!left_.isNull()) {
    left_.paint(&painter, QRect(10, 4, 32, 32));
  }
  const TextPlaces places = textPlaces();
  painter.setPen(text);
  // Texts are placed by their top edge, as the layout tables give them.
  auto drawAt = [&](const QRect &at, const QFont &font, const QString &text) {
    painter.setFont(font);
    painter.drawText(QPoint(at.x(), at.y() + QFontMetrics(font).ascent()), text);
  };
  if (!line1_.isEmpty()) {
    drawAt(places.line1, places.font, line1_);
  }
  if (!line2_.isEmpty()) {
    drawAt(places.line2, places.line2Font, line2_);
  }
  if (!rightText_.isEmpty()) {
    drawAt(places.right, places.font, rightText_);
    const QImage emblem = SharedImage(2);
    painter.drawImage(QRect(width() - 38, 4, 32, 32), emblem);
  }
}

// ---------------------------------------------------------------------------
// InformationPanel

InformationPanel::InformationPanel(QWidget *parent) : QWidget(parent) {}

void InformationPanel::setColours(const QColor &a, const QColor &b) {
  a_ = a;
  b_ = b;
  update();
}

void InformationPanel::setGradient(Gradient kind) {
  gradient_ = kind;
  update();
}

void InformationPanel::setTitle(const QString &title) {
  title_ = title;
  setAccessibleName(title.simplified());
  update();
}

void InformationPanel::setText(const QString &text) {
  text_ = text;
  setAccessibleDescription(text);
  update();
}

void InformationPanel::setIcon(const QIcon &icon, int width, int height) {
  icon_ = icon;
  iconWidth_ = width;
  iconHeight_ = height;
  update();
}

void InformationPanel::setTextColours(const QColor &title, const QColor &text) {
  titleColour_ = title;
  textColour_ = text;
  update();
}

void InformationPanel::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  FillGradient(painter, rect(), a_, b_, gradient_);
  if (!icon_.isNull()) {
    icon_.paint(&painter, QRect(10, 10, std::max(iconWidth_, 24), std::max(iconHeight_, 24)));
  }
  if (!title_.isEmpty()) {
    const QFont font = SharedFont(0);
    painter.setFont(font);
    painter.setPen(titleColour_);
    painter.drawText(QPoint(iconWidth_ + 30, 30 + QFontMetrics(font).ascent()), title_);
  }
  if (!text_.isEmpty()) {
    painter.setFont(font());
    painter.setPen(textColour_);
    const QRect area(10, iconHeight_ + 30, width() - 20, height() - iconHeight_ - 30);
    painter.drawText(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text_);
  }
}

// ---------------------------------------------------------------------------
// PictureBox

PictureBox::PictureBox(const QImage &image, QWidget *parent) : QWidget(parent), image_(image) {}

void PictureBox::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.fillRect(rect(), Qt::white);
  painter.drawImage(rect(), image_);
}

// ---------------------------------------------------------------------------
// Balloon tooltips

namespace {

constexpr int kBalloonWidth = 200;
constexpr int kBalloonMargin = 8;

// The one balloon window, shared by every tooltip of the program.
class BalloonTip : public QWidget {
public:
  BalloonTip() : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setPalette(QToolTip::palette());
    setFont(QToolTip::font());
  }

  void showFor(const BalloonTipContent &content, const QPoint &globalPos) {
    content_ = content;
    const QSize size = layoutSize();
    resize(size);
    QPoint pos = globalPos + QPoint(-16, 20);
    if (QScreen *screen = QGuiApplication::screenAt(globalPos)) {
      const QRect area = screen->availableGeometry();
      pos.setX(std::clamp(pos.x(), area.left(), std::max(area.left(), area.right() - width())));
      if (pos.y() + height() > area.bottom()) {
        pos.setY(globalPos.y() - height() - 4);
      }
    }
    move(pos);
    show();
    raise();
    update();
  }

  const BalloonTipContent &content() const { return content_; }

protected:
  void paintEvent(QPaintEvent *) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QPainterPath outline;
    outline.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    painter.fillPath(outline, palette().color(QPalette::ToolTipBase));
    painter.setPen(palette().color(QPalette::ToolTipText));
    painter.drawPath(outline);

    int y = kBalloonMargin;
    const int inner = kBalloonWidth - 2 * kBalloonMargin;
    if (!content_.title.isEmpty()) {
      int x = kBalloonMargin;
      if (!content_.icon.isNull()) {
        content_.icon.paint(&painter, QRect(x, y, 16, 16));
        x += 22;
      }
      QFont bold = font();
      bold.setBold(true);
      painter.setFont(bold);
      const QRect titleRect(x, y, kBalloonMargin + inner - x, titleHeight());
      painter.drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap,
                       content_.title);
      y += titleHeight() + 6;
    }
    painter.setFont(font());
    painter.drawText(QRect(kBalloonMargin, y, inner, height() - y),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, content_.text);
  }

private:
  int titleHeight() const {
    QFont bold = font();
    bold.setBold(true);
    const int x = kBalloonMargin + (content_.icon.isNull() ? 0 : 22);
    const QRect r = QFontMetrics(bold).boundingRect(
        QRect(0, 0, kBalloonWidth - kBalloonMargin - x, 10000), Qt::TextWordWrap, content_.title);
    return std::max(16, r.height());
  }

  QSize layoutSize() const {
    const int inner = kBalloonWidth - 2 * kBalloonMargin;
    int h = kBalloonMargin;
    if (!content_.title.isEmpty()) {
      h += titleHeight() + 6;
    }
    h += QFontMetrics(font())
             .boundingRect(QRect(0, 0, inner, 10000), Qt::TextWordWrap, content_.text)
             .height();
    h += kBalloonMargin;
    return QSize(kBalloonWidth, h);
  }

  BalloonTipContent content_;
};

QPointer<BalloonTip> g_balloon;

BalloonTip &Balloon() {
  if (!g_balloon) {
    g_balloon = new BalloonTip;
    // Gone with the application, not before.
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, g_balloon.data(), &QObject::deleteLater);
  }
  return *g_balloon;
}

class BalloonTipFilter : public QObject {
public:
  BalloonTipFilter(QWidget *owner, BalloonTipContent content)
      : QObject(owner), content_(std::move(content)) {
    setObjectName(QStringLiteral("tl_balloon_tip"));
  }

  const BalloonTipContent &content() const { return content_; }
  void setContent(BalloonTipContent content) { content_ = std::move(content); }

protected:
  bool eventFilter(QObject *watched, QEvent *event) override {
    switch (event->type()) {
    case QEvent::ToolTip:
      Balloon().showFor(content_, static_cast<QHelpEvent *>(event)->globalPos());
      return true;
    case QEvent::Leave:
    case QEvent::MouseButtonPress:
    case QEvent::Hide:
    case QEvent::WindowDeactivate:
      if (g_balloon && g_balloon->isVisible()) {
        g_balloon->hide();
      }
      break;
    default:
      break;
    }
    return QObject::eventFilter(watched, event);
  }

private:
  BalloonTipContent content_;
};

BalloonTipFilter *FilterOf(const QWidget *widget) {
  return widget ? widget->findChild<BalloonTipFilter *>(QStringLiteral("tl_balloon_tip"),
                                                        Qt::FindDirectChildrenOnly)
                : nullptr;
}

class HoverNudge : public QObject {
public:
  HoverNudge(QWidget *widget, QPoint rest, NudgeMode mode)
      : QObject(widget), widget_(widget), rest_(rest), mode_(mode) {}

  void setRest(QPoint rest) { rest_ = rest; }

protected:
  bool eventFilter(QObject *watched, QEvent *event) override {
    if (event->type() == QEvent::Enter) {
      widget_->move(rest_ + NudgeOffset(mode_));
    } else if (event->type() == QEvent::Leave) {
      widget_->move(rest_);
    }
    return QObject::eventFilter(watched, event);
  }

private:
  QWidget *widget_;
  QPoint rest_;
  NudgeMode mode_;
};

} // namespace

void AttachBalloonTip(QWidget *widget, const QString &title, const QString &text,
                      const QIcon &icon) {
  BalloonTipContent content{title, text, icon};
  // Screen readers cannot hover: they read the balloon's text as the
  // control's description.
  widget->setAccessibleDescription(text);
  if (BalloonTipFilter *existing = FilterOf(widget)) {
    existing->setContent(std::move(content));
    return;
  }
  widget->installEventFilter(new BalloonTipFilter(widget, std::move(content)));
}

DrawnButton *AddDrawnButton(QWidget *parent, ControlId id, const QRect &place, int icon,
                            const QString &label, const QString &tip) {
  const QIcon image = SystemIcon(icon);
  auto *button = new DrawnButton(label, image, parent);
  button->setGeometry(place);
  AttachBalloonTip(button, label, tip, image);
  FitLabelToButton(button);
  SetControlNumber(button, id);
  return button;
}

void AddDrawnButtons(QWidget *parent, int top, int height,
                     std::span<const DrawnButtonEntry> entries) {
  for (const DrawnButtonEntry &entry : entries) {
    *entry.button = AddDrawnButton(parent, entry.id, QRect(entry.x, top, entry.width, height),
                                   entry.icon, entry.label, entry.tip);
  }
}

QPushButton *TipButton(QWidget *parent, ControlId id, const QString &caption, const QRect &place,
                       const QString &tip, int icon) {
  auto *button = new QPushButton(caption, parent);
  button->setGeometry(place);
  button->setAutoDefault(false);
  AttachBalloonTip(button, caption, tip, SystemIcon(icon));
  SetControlNumber(button, id);
  return button;
}

std::optional<BalloonTipContent> BalloonTipOf(const QWidget *widget) {
  if (BalloonTipFilter *filter = FilterOf(widget)) {
    return filter->content();
  }
  return std::nullopt;
}

QWidget *VisibleBalloonTip() {
  return g_balloon && g_balloon->isVisible() ? g_balloon.data() : nullptr;
}

QString SpokenText(QString text) {
  text.remove(QChar(0x2207)); // "∇": the button opens a menu
  text.remove(QChar(0x21E8)); // "⇨"
  static const QRegularExpression trailer(QStringLiteral("(\\s*(\\.{2,}|:))+\\s*$"));
  text.remove(trailer);
  return text.simplified();
}

void SetListHeaderFont(QHeaderView *header) {
  if (header) {
    header->setFont(SharedFont(1));
  }
}

QPoint NudgeOffset(NudgeMode mode) {
  switch (mode) {
  case NudgeMode::UpRight:
    return {2, -2};
  case NudgeMode::Down:
    return {0, 1};
  case NudgeMode::Up:
    return {0, -2};
  }
  return {};
}

void AttachHoverNudge(QWidget *widget, QPoint rest, NudgeMode mode) {
  // Attached again (the widget has a new place to rest): the one filter
  // takes the new place.
  for (QObject *child : widget->children()) {
    if (auto *nudge = dynamic_cast<HoverNudge *>(child)) {
      nudge->setRest(rest);
      return;
    }
  }
  widget->installEventFilter(new HoverNudge(widget, rest, mode));
}

QIcon ImageIcon(int sharedImage) { return QIcon(QPixmap::fromImage(SharedImage(sharedImage))); }

} // namespace tl
