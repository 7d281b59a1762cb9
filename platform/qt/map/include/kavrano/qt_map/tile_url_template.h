#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include "kavrano/qt_map/tile_id.h"

namespace kavrano {

/// A raster tile address such as "https://{s}.example.org/{z}/{x}/{y}.png".
/// {z}, {x} and {y} are required; {s} takes one of the subdomains, chosen by the
/// tile so that the same tile always comes from the same host (and its cache).
class TileUrlTemplate {
 public:
  /// Invalid when a placeholder is missing or the result is not an http(s) URL,
  /// for the first tile or for the deepest (zoom 30, the largest x and y).
  explicit TileUrlTemplate(QString text, QStringList subdomains = {"a", "b", "c"});

  [[nodiscard]] bool isValid() const { return valid_; }
  [[nodiscard]] const QString& text() const { return text_; }
  [[nodiscard]] QUrl url(const TileId& tile) const;

 private:
  QString text_;
  QStringList subdomains_;
  bool valid_ = false;
};

}  // namespace kavrano
