#pragma once

#include <QAccessibleObject>
#include <optional>
#include <utility>
#include <vector>

namespace kavrano {

class QuickMapView;

/// How assistive technology sees the map: one graphic with a name and a
/// description of what a tap does, and a static text child per label the map
/// shows (the sides' lengths), so that a measurement can be read without
/// seeing it. The map is built in C++, so it cannot take QML's Accessible
/// attached properties; this interface is found through a factory installed
/// once by the first map.
class MapAccessibility : public QAccessibleObject {
 public:
  explicit MapAccessibility(QuickMapView* map);
  ~MapAccessibility() override;

  static void installFactory();

  [[nodiscard]] QWindow* window() const override;
  [[nodiscard]] QRect rect() const override;
  [[nodiscard]] QString text(QAccessible::Text kind) const override;
  [[nodiscard]] QAccessible::Role role() const override { return QAccessible::Graphic; }
  [[nodiscard]] QAccessible::State state() const override;
  [[nodiscard]] QAccessibleInterface* parent() const override;
  [[nodiscard]] QAccessibleInterface* child(int index) const override;
  [[nodiscard]] int childCount() const override;
  [[nodiscard]] int indexOfChild(const QAccessibleInterface* child) const override;

  /// The label `index` in the map's order now, or nothing once it is gone.
  [[nodiscard]] std::optional<std::pair<QString, QRect>> label(int index) const;

 private:
  [[nodiscard]] QuickMapView* map() const;
  // A child per position, made when first asked for and kept in Qt's cache:
  // the same label index answers with the same interface.
  mutable std::vector<QAccessible::Id> children_;
};

}  // namespace kavrano
