#pragma once

#include <QAccessibleObject>

namespace kavrano {

class QuickMapView;

/// How assistive technology sees the map: one graphic with a name and a
/// description of what a tap does. The map is built in C++, so it cannot take
/// QML's Accessible attached properties; this interface is found through a
/// factory installed once by the first map.
class MapAccessibility : public QAccessibleObject {
 public:
  explicit MapAccessibility(QuickMapView* map);

  static void installFactory();

  [[nodiscard]] QWindow* window() const override;
  [[nodiscard]] QRect rect() const override;
  [[nodiscard]] QString text(QAccessible::Text kind) const override;
  [[nodiscard]] QAccessible::Role role() const override { return QAccessible::Graphic; }
  [[nodiscard]] QAccessible::State state() const override;
  [[nodiscard]] QAccessibleInterface* parent() const override;
  [[nodiscard]] QAccessibleInterface* child(int) const override { return nullptr; }
  [[nodiscard]] int childCount() const override { return 0; }
  [[nodiscard]] int indexOfChild(const QAccessibleInterface*) const override { return -1; }

 private:
  [[nodiscard]] QuickMapView* map() const;
};

}  // namespace kavrano
