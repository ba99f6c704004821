#include "theme/control_colour.h"

#include "theme/colour_rules.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QEvent>
#include <QGroupBox>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionGroupBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTextEdit>
#include <QTreeView>

#include <cmath>

namespace tl {

namespace {

// The control shapes the border rules tell apart.
enum class Shape {
  Label,
  Progress,
  LineEdit,
  MultiLine,
  SpinField,
  DatePicker,
  ListBox,
  ScrollArea,
  Canvas,
  ReportList,
  Calendar,
  Container,
  GroupFrame,
  TabPanel,
  Button, // push buttons and drop-down lists: drawn in full, with a thin border
  Other,
};

enum class Edge { None, Sunken, Static, Plain, Etched };

Shape ShapeOf(const QWidget *w) {
  // The first class of this list that the widget is, or derives from, gives
  // its shape.
  static const std::pair<const QMetaObject *, Shape> kShapeOfClass[] = {
      {&QLabel::staticMetaObject, Shape::Label},
      {&QProgressBar::staticMetaObject, Shape::Progress},
      {&QLineEdit::staticMetaObject, Shape::LineEdit},
      {&QTextEdit::staticMetaObject, Shape::MultiLine},
      {&QPlainTextEdit::staticMetaObject, Shape::MultiLine},
      {&QDateTimeEdit::staticMetaObject, Shape::DatePicker},
      {&QAbstractSpinBox::staticMetaObject, Shape::SpinField},
      {&QCalendarWidget::staticMetaObject, Shape::Calendar},
      {&QTableView::staticMetaObject, Shape::ReportList},
      {&QTreeView::staticMetaObject, Shape::ReportList},
      {&QHeaderView::staticMetaObject, Shape::ReportList},
      {&QListView::staticMetaObject, Shape::ListBox},
      {&QAbstractScrollArea::staticMetaObject, Shape::ScrollArea},
      {&QGroupBox::staticMetaObject, Shape::GroupFrame},
      {&QTabWidget::staticMetaObject, Shape::TabPanel},
      {&QPushButton::staticMetaObject, Shape::Button},
      {&QComboBox::staticMetaObject, Shape::Button},
      {&QAbstractButton::staticMetaObject, Shape::Other},
      {&QAbstractSlider::staticMetaObject, Shape::Other},
      {&QTabBar::staticMetaObject, Shape::Other},
  };
  const QMetaObject *meta = w->metaObject();
  for (const auto &[cls, shape] : kShapeOfClass) {
    if (meta->inherits(cls)) {
      return shape;
    }
  }
  if (meta == &QFrame::staticMetaObject || meta == &QWidget::staticMetaObject) {
    return Shape::Container;
  }
  // Widgets of our own that paint themselves (graph canvases, drawn
  // buttons) and the remaining frames.
  if (qobject_cast<const QFrame *>(w) || meta->superClass() == &QWidget::staticMetaObject) {
    return Shape::Canvas;
  }
  return Shape::Other;
}

PaintClass ClassOf(Shape shape) {
  switch (shape) {
  case Shape::Label:
  case Shape::Progress:
    return PaintClass::OwnColours;
  case Shape::LineEdit:
  case Shape::MultiLine:
  case Shape::SpinField:
  case Shape::ListBox:
  case Shape::ScrollArea:
  case Shape::Canvas:
    return PaintClass::NativeBorder;
  default:
    return PaintClass::FullyPainted;
  }
}

Edge EdgeOf(const QWidget *w) {
  if (auto edit = qobject_cast<const QLineEdit *>(w)) {
    return edit->hasFrame() ? Edge::Sunken : Edge::None;
  }
  if (auto spin = qobject_cast<const QAbstractSpinBox *>(w)) {
    return spin->hasFrame() ? Edge::Sunken : Edge::None;
  }
  if (auto group = qobject_cast<const QGroupBox *>(w)) {
    return group->isFlat() ? Edge::None : Edge::Etched;
  }
  if (auto frame = qobject_cast<const QFrame *>(w)) {
    switch (frame->frameShape()) {
    case QFrame::NoFrame:
      return Edge::None;
    case QFrame::HLine:
    case QFrame::VLine:
      return Edge::Etched;
    default:
      break;
    }
    switch (frame->frameShadow()) {
    case QFrame::Sunken:
      return Edge::Sunken;
    case QFrame::Raised:
      return Edge::Static;
    default:
      return Edge::Plain;
    }
  }
  return Edge::None;
}

// Border mode decided from the control's kind and its edge.
int BorderModeOf(Shape shape, Edge edge) {
  const int reactingThin = BorderReacts | BorderThin;
  switch (shape) {
  case Shape::MultiLine:
    return reactingThin;
  case Shape::ScrollArea:
  case Shape::Canvas:
    switch (edge) {
    case Edge::Static:
    case Edge::Etched:
      return reactingThin;
    case Edge::Sunken:
      return BorderReacts | BorderSunken;
    case Edge::Plain:
      return BorderReacts | BorderInText;
    default:
      return 0;
    }
  case Shape::ReportList:
  case Shape::Calendar:
  case Shape::ListBox:
  case Shape::LineEdit:
  case Shape::SpinField:
    return edge == Edge::None ? 0 : reactingThin;
  case Shape::DatePicker:
    return BorderThin;
  case Shape::Button:
    // The style's own outline is a shade of the background, lost on a dark one.
    return reactingThin;
  case Shape::Container:
    switch (edge) {
    case Edge::Sunken:
      return BorderSunken;
    case Edge::Static:
      return BorderThin;
    case Edge::Plain:
      return BorderInText;
    default:
      return 0;
    }
  case Shape::GroupFrame:
    switch (edge) {
    case Edge::Sunken:
      return BorderSunken;
    case Edge::Static:
      return BorderThin;
    case Edge::Etched:
      return BorderEtched;
    case Edge::None:
      return 0;
    default:
      return BorderInText;
    }
  default:
    return 0;
  }
}

bool SameRgb(const QColor &a, const QColor &b) { return a.isValid() && a.rgb() == b.rgb(); }

QColor SystemWindowText() {
  return QGuiApplication::palette().color(QPalette::Active, QPalette::WindowText);
}
QColor SystemButtonFace() {
  return QGuiApplication::palette().color(QPalette::Active, QPalette::Button);
}

// Where the native style ignores palettes (the Windows styles), coloured
// controls are drawn with Fusion, which honours every palette role.
QStyle *PaletteStyle() {
  static QPointer<QStyle> fusion;
  if (!fusion) {
    const QString current = QApplication::style() ? QApplication::style()->name() : QString();
    if (current.compare(QStringLiteral("fusion"), Qt::CaseInsensitive) == 0) {
      return nullptr;
    }
    fusion = QStyleFactory::create(QStringLiteral("Fusion"));
    if (fusion) {
      fusion->setParent(qApp);
    }
  }
  return fusion;
}

// The record of one control, kept as a child object of the control so that
// it goes with it. It also paints the border and follows the mouse.
class ColourKeeper : public QObject {
  Q_OBJECT
public:
  explicit ColourKeeper(QWidget *widget)
      : QObject(widget), widget_(widget), originalPalette_(widget->palette()),
        originalAutoFill_(widget->autoFillBackground()) {
    setObjectName(QStringLiteral("tl_colour_record"));
    shape_ = ShapeOf(widget);
    record.paintClass = ClassOf(shape_);
    widget->installEventFilter(this);
  }

  ColourRecord record;

  // Puts the control back as it was before its first colouring.
  void restore() {
    widget_->removeEventFilter(this);
    widget_->setPalette(originalPalette_);
    widget_->setAutoFillBackground(originalAutoFill_);
    // A style that someone else put on the control since is theirs: it stays.
    QStyle *ours = PaletteStyle();
    for (const QPointer<QWidget> &w : restyled_) {
      if (w && ours && w->style() == ours) {
        w->setStyle(nullptr);
      }
    }
    for (const QPointer<QScrollBar> &bar : darkBars_) {
      if (bar) {
        bar->setPalette(QPalette());
      }
    }
    widget_->update();
  }

  void apply() {
    ColourRecord &r = record;
    r.borderMode = BorderModeOf(shape_, EdgeOf(widget_));
    const QColor text = r.text.isValid() ? r.text : SystemWindowText();
    const QColor back = r.background.isValid() ? r.background : SystemButtonFace();
    r.softBorder = SoftBorderColour(text, back);
    r.hotBorder = HotBorderColour(text, back);
    r.lightLook = UsesLightLook(r.background, SystemButtonFace());

    const bool full = r.paintClass == PaintClass::FullyPainted;
    const QColor drawText = full || r.textGiven ? r.text : QColor();
    const QColor drawBack = full || r.backgroundGiven ? r.background : QColor();

    QPalette p = originalPalette_;
    if (drawText.isValid()) {
      for (QPalette::ColorRole role :
           {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        p.setColor(role, drawText);
        p.setColor(QPalette::Disabled, role, Blend(drawText, back, 0.5));
      }
      p.setColor(QPalette::PlaceholderText, Blend(drawText, back, 0.5));
    }
    if (drawBack.isValid()) {
      switch (r.paintClass) {
      case PaintClass::OwnColours:
        p.setColor(QPalette::Window, drawBack);
        if (shape_ == Shape::Progress) {
          p.setColor(QPalette::Base, drawBack);
          p.setColor(QPalette::Button, drawBack);
        }
        break;
      case PaintClass::NativeBorder:
        p.setColor(QPalette::Base, drawBack);
        p.setColor(QPalette::Window, drawBack);
        p.setColor(QPalette::AlternateBase, drawBack);
        break;
      case PaintClass::FullyPainted:
        SetSurfaceRoles(p, drawBack, text);
        break;
      }
    }
    if (!r.lightLook) {
      // The system's selection colour is too light for white text; on a dark
      // control the selection takes a deep blue.
      p.setColor(QPalette::Highlight, QColor(38, 79, 120));
      p.setColor(QPalette::HighlightedText, QColor(255, 255, 255));
    }
    widget_->setPalette(p);
    const bool fills =
        drawBack.isValid() && (r.paintClass == PaintClass::OwnColours ||
                               shape_ == Shape::Container || shape_ == Shape::GroupFrame ||
                               shape_ == Shape::TabPanel || qobject_cast<QStatusBar *>(widget_));
    widget_->setAutoFillBackground(originalAutoFill_ || fills);
    if (shape_ == Shape::TabPanel) {
      // The pages take the panel's background.
      if (auto tabs = qobject_cast<QTabWidget *>(widget_)) {
        for (int i = 0; i < tabs->count(); ++i) {
          if (QWidget *page = tabs->widget(i); page && drawBack.isValid()) {
            page->setAutoFillBackground(true);
          }
        }
      }
    }
    if (full) {
      UsePaletteStyle(widget_);
    }
    applyScrollLook(back, text);
    widget_->update();
  }

  bool eventFilter(QObject *watched, QEvent *event) override {
    if (watched != widget_) {
      return false;
    }
    switch (event->type()) {
    case QEvent::Enter:
      record.hot = true;
      widget_->update();
      break;
    case QEvent::Leave:
      record.hot = false;
      widget_->update();
      break;
    case QEvent::EnabledChange:
      widget_->update();
      break;
    case QEvent::Paint:
      if (BorderWidth(record.borderMode) > 0) {
        // The control paints itself first, then the border goes on top.
        static_cast<QObject *>(widget_)->event(event);
        paintBorder();
        return true;
      }
      break;
    default:
      break;
    }
    return false;
  }

private:
  static void SetSurfaceRoles(QPalette &p, const QColor &back, const QColor &text) {
    p.setColor(QPalette::Window, back);
    p.setColor(QPalette::Base, back);
    p.setColor(QPalette::Button, back);
    p.setColor(QPalette::AlternateBase, Blend(text, back, 0.06));
    p.setColor(QPalette::Light, Blend(text, back, 0.35));
    p.setColor(QPalette::Midlight, Blend(text, back, 0.2));
    p.setColor(QPalette::Mid, Blend(text, back, 0.25));
    p.setColor(QPalette::Dark, Blend(QColor(0, 0, 0), back, 0.35));
    p.setColor(QPalette::Shadow, Blend(QColor(0, 0, 0), back, 0.6));
  }

  void UsePaletteStyle(QWidget *w) {
    QStyle *style = PaletteStyle();
    if (!style) {
      return;
    }
    const auto restyle = [this, style](QWidget *target) {
      if (target->style() != style) {
        target->setStyle(style);
        restyled_.append(target);
      }
    };
    restyle(w);
    for (QWidget *inner : w->findChildren<QWidget *>()) {
      // Parts of the control itself (headers, tab rows, scroll bars, the
      // editor of a spin field), not the controls a container holds.
      if (qobject_cast<QHeaderView *>(inner) || qobject_cast<QTabBar *>(inner) ||
          qobject_cast<QScrollBar *>(inner) || inner->parentWidget() == w) {
        if (shape_ != Shape::Container && shape_ != Shape::GroupFrame) {
          restyle(inner);
        }
      }
    }
  }

  // Light or dark scroll bars, by the luminance of the background.
  void applyScrollLook(const QColor &back, const QColor &text) {
    QList<QScrollBar *> bars;
    if (auto area = qobject_cast<QAbstractScrollArea *>(widget_)) {
      bars << area->horizontalScrollBar() << area->verticalScrollBar();
    } else if (auto combo = qobject_cast<QComboBox *>(widget_); combo && combo->view()) {
      bars << combo->view()->horizontalScrollBar() << combo->view()->verticalScrollBar();
    }
    for (QScrollBar *bar : bars) {
      if (!bar) {
        continue;
      }
      if (record.lightLook) {
        if (darkBars_.removeAll(bar) > 0) {
          bar->setPalette(QPalette());
        }
        continue;
      }
      QPalette p = bar->palette();
      const QColor barText = record.text.isValid() ? text : AutomaticTextColour(back);
      SetSurfaceRoles(p, back, barText);
      p.setColor(QPalette::WindowText, barText);
      p.setColor(QPalette::ButtonText, barText);
      bar->setPalette(p);
      if (!darkBars_.contains(bar)) {
        darkBars_.append(bar);
      }
      if (QStyle *style = PaletteStyle(); style && bar->style() != style) {
        bar->setStyle(style);
        restyled_.append(bar);
      }
    }
  }

  void paintBorder() {
    const ColourRecord &r = record;
    const int width = BorderWidth(r.borderMode);
    const QColor text = r.text.isValid() ? r.text : SystemWindowText();
    const QColor colour = BorderColour(r.borderMode, r.hot, text, r.softBorder, r.hotBorder);
    QRect rect = widget_->rect();
    if (shape_ == Shape::GroupFrame) {
      const double scale = widget_->logicalDpiY() / 96.0;
      rect.setTop(static_cast<int>(std::lround(10 * scale)) - 3);
    }
    QPainter painter(widget_);
    if (auto *group = qobject_cast<QGroupBox *>(widget_); group && !group->title().isEmpty()) {
      // The frame stops short of the title, as the style's own frame does.
      QStyleOptionGroupBox option;
      option.initFrom(group);
      option.text = group->title();
      option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
      if (group->isCheckable()) {
        option.subControls |= QStyle::SC_GroupBoxCheckBox;
      }
      const QRect label = group->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                         QStyle::SC_GroupBoxLabel, group);
      painter.setClipRegion(QRegion(group->rect()).subtracted(label.adjusted(-2, 0, 2, 0)));
    }
    painter.setPen(QPen(colour, 1));
    painter.setBrush(Qt::NoBrush);
    for (int i = 0; i < width; ++i) {
      painter.drawRect(rect.adjusted(i, i, -1 - i, -1 - i));
    }
  }

  QWidget *widget_;
  Shape shape_ = Shape::Other;
  QPalette originalPalette_;
  bool originalAutoFill_ = false;
  QList<QPointer<QWidget>> restyled_;
  QList<QPointer<QScrollBar>> darkBars_;
};

ColourKeeper *KeeperOf(const QWidget *widget) {
  return widget ? widget->findChild<ColourKeeper *>(QStringLiteral("tl_colour_record"),
                                                    Qt::FindDirectChildrenOnly)
                : nullptr;
}

// Rule of the automatic background: the recorded background of the
// container holding the control, else the colour the container shows.
QColor ContainerBackground(const QWidget *widget) {
  const QWidget *parent = widget->parentWidget();
  if (!parent) {
    return QColor();
  }
  if (const ColourKeeper *k = KeeperOf(parent); k && k->record.background.isValid()) {
    return k->record.background;
  }
  return parent->palette().color(parent->backgroundRole());
}

void BackToDefault(QWidget *widget) {
  if (ColourKeeper *k = KeeperOf(widget)) {
    k->restore();
    k->setParent(nullptr);
    delete k;
  }
}

} // namespace

bool SetControlColour(int number, int kind, const QColor &colour) {
  QWidget *widget = FindControl(number);
  if (!widget) {
    return false;
  }
  SetControlColour(widget, kind, colour);
  if (ColourKeeper *k = KeeperOf(widget)) {
    k->record.control = number;
  }
  return true;
}

void SetControlColour(QWidget *widget, int kind, const QColor &colour) {
  if (!widget) {
    return;
  }
  if (kind == kDefaultLook) {
    BackToDefault(widget);
    return;
  }
  if (kind != kTextColour && kind != kBackgroundColour) {
    return; // no other colour kind exists for Qt controls
  }
  ColourKeeper *k = KeeperOf(widget);
  if (!k) {
    k = new ColourKeeper(widget);
  }
  ColourRecord &r = k->record;
  const QColor value = colour.isValid() ? colour.toRgb() : QColor();
  if (kind == kTextColour) {
    r.text = value;
    r.textGiven = value.isValid();
    if (value.isValid() && !r.backgroundGiven) {
      r.background = ContainerBackground(widget);
    }
  } else {
    r.background = value;
    r.backgroundGiven = value.isValid();
    if (value.isValid() && !r.textGiven) {
      r.text = AutomaticTextColour(value);
    }
    if (!value.isValid() && !r.textGiven) {
      r.text = QColor();
    }
  }
  if (!r.backgroundGiven && !r.textGiven) {
    r.background = QColor();
    r.text = QColor();
  }
  const bool textIsDefault = !r.text.isValid() || SameRgb(r.text, SystemWindowText());
  const bool backIsDefault = !r.background.isValid() || SameRgb(r.background, SystemButtonFace());
  if (textIsDefault && backIsDefault) {
    BackToDefault(widget);
    return;
  }
  k->apply();
}

const ColourRecord *ColourRecordOf(const QWidget *widget) {
  const ColourKeeper *k = KeeperOf(widget);
  return k ? &k->record : nullptr;
}

PaintClass PaintClassOf(const QWidget *widget) { return ClassOf(ShapeOf(widget)); }

} // namespace tl

#include "control_colour.moc"
