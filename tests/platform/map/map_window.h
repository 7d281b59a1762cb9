#pragma once

#include <QQuickWindow>
#include <memory>

#include "kavrano/qt_map/quick_map_view.h"
#include "map_test_support.h"

namespace kavrano::test {

/// A shown window holding only the map, with memory tiles for both map types.
struct MapWindow {
  explicit MapWindow(QSize size = {256, 256}) {
    window.resize(size);
    map = new QuickMapView(window.contentItem());
    map->setSize(size);
    auto owned = std::make_unique<MemoryTileSource>();
    tiles = owned.get();
    map->setTileSource(MapType::Satellite, std::move(owned));
    window.show();
  }
  QImage grab() { return window.grabWindow(); }

  QQuickWindow window;
  QuickMapView* map;
  MemoryTileSource* tiles;
};

inline QImage solid(const QColor& color) {
  QImage image(256, 256, QImage::Format_RGB32);
  image.fill(color);
  return image;
}

}  // namespace kavrano::test
