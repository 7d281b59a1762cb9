#include "kavrano/qt_map/map_accessibility.h"

#include <QQuickWindow>

#include "kavrano/qt_map/quick_map_view.h"

namespace kavrano {

MapAccessibility::MapAccessibility(QuickMapView* map) : QAccessibleObject(map) {}

void MapAccessibility::installFactory() {
  static const bool installed = [] {
    QAccessible::installFactory([](const QString& className, QObject* object) -> QAccessibleInterface* {
      if (className != QLatin1String(QuickMapView::staticMetaObject.className())) return nullptr;
      return new MapAccessibility(static_cast<QuickMapView*>(object));
    });
    return true;
  }();
  Q_UNUSED(installed);
}

QuickMapView* MapAccessibility::map() const { return static_cast<QuickMapView*>(object()); }

QWindow* MapAccessibility::window() const { return map() ? map()->window() : nullptr; }

QRect MapAccessibility::rect() const {
  QuickMapView* m = map();
  if (!m || !m->window()) return {};
  const QRectF scene = m->mapRectToScene(QRectF(0, 0, m->width(), m->height()));
  return QRect(m->window()->mapToGlobal(scene.topLeft().toPoint()), scene.size().toSize());
}

QString MapAccessibility::text(QAccessible::Text kind) const {
  if (!map()) return {};
  if (kind == QAccessible::Name) return map()->accessibleName();
  if (kind == QAccessible::Description) return map()->accessibleDescription();
  return {};
}

QAccessible::State MapAccessibility::state() const {
  QAccessible::State s;
  s.invisible = !map() || !map()->isVisible();
  return s;
}

QAccessibleInterface* MapAccessibility::parent() const {
  QuickMapView* m = map();
  if (!m) return nullptr;
  if (QQuickItem* up = m->parentItem(); up && (!m->window() || up != m->window()->contentItem()))
    return QAccessible::queryAccessibleInterface(up);
  return m->window() ? QAccessible::queryAccessibleInterface(m->window()) : nullptr;
}

}  // namespace kavrano
