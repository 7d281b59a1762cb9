#include "kavrano/qt_ui/plain_button_accessible.h"

#include <QAccessibleObject>
#include <QQuickItem>
#include <QQuickWindow>

namespace kavrano {
namespace {

/// What the view's `Accessible` group says (name, role, the press action),
/// read from that group's object, which is the item's child.
QObject* accessibleGroup(QObject* item) {
  for (QObject* child : item->children()) {
    if (qstrcmp(child->metaObject()->className(), "QQuickAccessibleAttached") == 0) return child;
  }
  return nullptr;
}

class PlainButtonAccessible final : public QAccessibleObject, public QAccessibleActionInterface {
 public:
  explicit PlainButtonAccessible(QQuickItem* item) : QAccessibleObject(item) {}

  [[nodiscard]] QQuickItem* item() const { return static_cast<QQuickItem*>(object()); }

  QWindow* window() const override { return item()->window(); }
  QAccessibleInterface* parent() const override {
    QQuickItem* up = item()->parentItem();
    if (!up) return nullptr;
    if (QQuickWindow* w = item()->window(); w && up == w->contentItem())
      return QAccessible::queryAccessibleInterface(w);
    return QAccessible::queryAccessibleInterface(up);
  }
  // Its pictures and texts are decoration: the button is one thing to hear.
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }

  QString text(QAccessible::Text t) const override {
    QObject* group = accessibleGroup(item());
    if (!group) return {};
    if (t == QAccessible::Name) return group->property("name").toString();
    if (t == QAccessible::Description) return group->property("description").toString();
    return {};
  }
  QAccessible::Role role() const override {
    QObject* group = accessibleGroup(item());
    return group ? static_cast<QAccessible::Role>(group->property("role").toInt()) : QAccessible::Button;
  }
  QAccessible::State state() const override {
    QAccessible::State state;
    state.disabled = !item()->isEnabled();
    state.focusable = item()->isEnabled() && item()->activeFocusOnTab();
    state.focused = item()->hasActiveFocus();
    state.invisible = !item()->isVisible() || !item()->window() || !item()->window()->isVisible();
    state.pressed = item()->property("down").toBool();
    return state;
  }
  QRect rect() const override {
    if (!item()->window()) return {};
    const QRectF scene = item()->mapRectToScene(QRectF(0, 0, item()->width(), item()->height()));
    return {item()->window()->mapToGlobal(scene.topLeft().toPoint()), scene.size().toSize()};
  }

  void* interface_cast(QAccessible::InterfaceType type) override {
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
  }
  QStringList actionNames() const override { return item()->isEnabled() ? QStringList{pressAction()} : QStringList{}; }
  void doAction(const QString& action) override {
    QObject* group = accessibleGroup(item());
    if (action == pressAction() && group && item()->isEnabled()) QMetaObject::invokeMethod(group, "pressAction");
  }
  QStringList keyBindingsForAction(const QString&) const override { return {}; }
};

bool isPlainButton(const QMetaObject* type) {
  for (; type; type = type->superClass()) {
    if (qstrncmp(type->className(), "PlainButton_QML", 15) == 0) return true;
  }
  return false;
}

QAccessibleInterface* plainButtonFactory(const QString&, QObject* object) {
  auto* item = qobject_cast<QQuickItem*>(object);
  return item && isPlainButton(item->metaObject()) ? new PlainButtonAccessible(item) : nullptr;
}

}  // namespace

void installPlainButtonAccessibility() {
  // Asked before the factories installed earlier, Qt Quick's among them.
  QAccessible::installFactory(plainButtonFactory);
}

}  // namespace kavrano
