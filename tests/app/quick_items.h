// Finding and pressing the app's items the way a user sees them: by object
// name, by what assistive technology reads.
#pragma once

#include <QAccessible>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>

namespace kavrano::test {

inline QQuickItem* findItem(QQuickItem* root, const QString& name) {
  if (!root) return nullptr;
  if (root->objectName() == name) return root;
  for (QQuickItem* child : root->childItems()) {
    if (QQuickItem* found = findItem(child, name)) return found;
  }
  return nullptr;
}

/// The first item of that name (and text, when given) that is on screen:
/// stacks keep covered screens.
inline QQuickItem* findShownItem(QQuickItem* root, const QString& name, const QString& text = {}) {
  if (!root || !root->isVisible()) return nullptr;
  if (root->objectName() == name && (text.isNull() || root->property("text").toString() == text)) return root;
  for (QQuickItem* child : root->childItems()) {
    if (QQuickItem* found = findShownItem(child, name, text)) return found;
  }
  return nullptr;
}

inline QString accessibleName(QObject* item) {
  QAccessibleInterface* a = QAccessible::queryAccessibleInterface(item);
  return a ? a->text(QAccessible::Name) : QString();
}

inline void click(QQuickWindow* window, QQuickItem* item, Qt::MouseButton button = Qt::LeftButton) {
  const QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
  QTest::mouseClick(window, button, Qt::NoModifier, centre.toPoint());
}

}  // namespace kavrano::test
