#include "kavrano/qt_map/map_accessibility.h"

#include <QPointer>
#include <QQuickWindow>

#include "kavrano/qt_map/quick_map_view.h"

namespace kavrano {

std::vector<QuickMapView::ShownText> QuickMapView::shownTexts() const {
  std::vector<ShownText> texts;
  const QRectF bounds(QPointF(0, 0), size());
  for (const Shown& shown : shown_) {
    if (!shown.view) continue;
    const QPointF at = camera_.toView(shown.world);
    for (const auto& label : shown.view->subviews()) {
      if (!label || label->text.isEmpty()) continue;
      const QRectF frame = label->frame.translated(at);
      // Only what is on screen: a label panned away is not read out.
      if (frame.intersects(bounds)) texts.push_back({label->text, frame});
    }
  }
  return texts;
}

namespace {

/// One label on the map, by its position among the map's labels.
class MapLabelAccessibility final : public QAccessibleInterface {
 public:
  MapLabelAccessibility(QuickMapView* map, int index) : map_(map), index_(index) {}

  [[nodiscard]] bool isValid() const override { return map_ && owner() && owner()->label(index_).has_value(); }
  [[nodiscard]] QObject* object() const override { return nullptr; }
  [[nodiscard]] QWindow* window() const override { return map_ ? map_->window() : nullptr; }
  [[nodiscard]] QAccessibleInterface* parent() const override { return owner(); }
  [[nodiscard]] QAccessibleInterface* child(int) const override { return nullptr; }
  [[nodiscard]] int childCount() const override { return 0; }
  [[nodiscard]] int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  [[nodiscard]] QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  [[nodiscard]] QAccessible::Role role() const override { return QAccessible::StaticText; }
  [[nodiscard]] QAccessible::State state() const override {
    QAccessible::State s;
    s.invisible = !isValid();
    s.readOnly = true;
    return s;
  }
  [[nodiscard]] QString text(QAccessible::Text kind) const override {
    if (kind != QAccessible::Name || !owner()) return {};
    const auto label = owner()->label(index_);
    return label ? label->first : QString();
  }
  void setText(QAccessible::Text, const QString&) override {}
  [[nodiscard]] QRect rect() const override {
    const auto label = owner() ? owner()->label(index_) : std::nullopt;
    return label ? label->second : QRect();
  }

 private:
  [[nodiscard]] MapAccessibility* owner() const {
    return map_ ? static_cast<MapAccessibility*>(QAccessible::queryAccessibleInterface(map_.data())) : nullptr;
  }
  QPointer<QuickMapView> map_;
  int index_;
};

}  // namespace

MapAccessibility::MapAccessibility(QuickMapView* map) : QAccessibleObject(map) {}

MapAccessibility::~MapAccessibility() {
  for (QAccessible::Id id : children_) QAccessible::deleteAccessibleInterface(id);
}

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

int MapAccessibility::childCount() const { return map() ? static_cast<int>(map()->shownTexts().size()) : 0; }

QAccessibleInterface* MapAccessibility::child(int index) const {
  if (index < 0 || index >= childCount()) return nullptr;
  while (static_cast<int>(children_.size()) <= index) {
    const int next = static_cast<int>(children_.size());
    children_.push_back(QAccessible::registerAccessibleInterface(new MapLabelAccessibility(map(), next)));
  }
  return QAccessible::accessibleInterface(children_[static_cast<std::size_t>(index)]);
}

int MapAccessibility::indexOfChild(const QAccessibleInterface* child) const {
  for (std::size_t i = 0; i < children_.size(); ++i) {
    if (QAccessible::accessibleInterface(children_[i]) == child) return static_cast<int>(i);
  }
  return -1;
}

std::optional<std::pair<QString, QRect>> MapAccessibility::label(int index) const {
  QuickMapView* m = map();
  if (!m || !m->window()) return std::nullopt;
  const auto texts = m->shownTexts();
  if (index < 0 || index >= static_cast<int>(texts.size())) return std::nullopt;
  const QRectF scene = m->mapRectToScene(texts[static_cast<std::size_t>(index)].frame);
  return std::pair{texts[static_cast<std::size_t>(index)].text,
                   QRect(m->window()->mapToGlobal(scene.topLeft().toPoint()), scene.size().toSize())};
}

}  // namespace kavrano
