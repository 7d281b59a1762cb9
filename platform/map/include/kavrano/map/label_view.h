#pragma once

#include <QPointF>
#include <QRectF>
#include <QString>
#include <optional>

#include "kavrano/map/map_color.h"
#include "kavrano/map/map_font.h"

namespace kavrano {

enum class TextAlignment { Left, Center, Right };

/// A line of text inside an annotation view. The frame is in points in the
/// annotation view's own coordinates, whose origin stands on the coordinate.
struct LabelView {
  QRectF frame;
  QString text;
  MapFont font;
  MapColor textColor = MapColor::black();
  TextAlignment alignment = TextAlignment::Left;
  /// Shrinks the font (down to a quarter of its size, then elides) until the text
  /// fits the frame's width.
  bool adjustsFontSizeToFitWidth = false;
  std::optional<MapColor> shadowColor;
  QPointF shadowOffset{0.0, -1.0};
};

}  // namespace kavrano
