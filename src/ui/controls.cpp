#include "ui/controls.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QWidget>

namespace tl {

namespace {

const char *const kControlProperty = "tl_control";

// Number -> the widgets registered under it, oldest first. Entries of
// destroyed widgets are dropped as they are met.
QHash<int, QList<QPointer<QWidget>>> &Registry() {
  static QHash<int, QList<QPointer<QWidget>>> registry;
  return registry;
}

// The live widgets of a number, pruned.
QList<QPointer<QWidget>> *Entries(int number) {
  auto &registry = Registry();
  const auto it = registry.find(number);
  if (it == registry.end()) {
    return nullptr;
  }
  it->removeIf([](const QPointer<QWidget> &w) { return w.isNull(); });
  if (it->isEmpty()) {
    registry.erase(it);
    return nullptr;
  }
  return &*it;
}

// Whether `owner` is `widget` or one of its parents, across window bounds
// (a popup menu belongs to the window that made it).
bool Owns(const QObject *owner, const QObject *widget) {
  for (const QObject *o = widget; o; o = o->parent()) {
    if (o == owner) {
      return true;
    }
  }
  return false;
}

} // namespace

void SetControlNumber(QWidget *widget, int number) {
  if (!widget) {
    return;
  }
  const int previous = ControlNumber(widget);
  if (previous == number) {
    return;
  }
  if (previous >= 0) {
    if (QList<QPointer<QWidget>> *old = Entries(previous)) {
      old->removeAll(widget);
    }
  }
  widget->setProperty(kControlProperty, number);
  Registry()[number].append(widget);
}

int ControlNumber(const QWidget *widget) {
  const QVariant v = widget ? widget->property(kControlProperty) : QVariant();
  return v.isValid() ? v.toInt() : -1;
}

QWidget *FindControl(QWidget *window, int number) {
  const QList<QPointer<QWidget>> *entries = window ? Entries(number) : nullptr;
  if (!entries) {
    return nullptr;
  }
  for (auto it = entries->crbegin(); it != entries->crend(); ++it) {
    if (Owns(window, it->data())) {
      return it->data();
    }
  }
  return nullptr;
}

QWidget *FindControl(int number) {
  const QList<QPointer<QWidget>> *entries = Entries(number);
  return entries ? entries->last().data() : nullptr;
}

} // namespace tl
