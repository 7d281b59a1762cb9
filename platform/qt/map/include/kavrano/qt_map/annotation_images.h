#pragma once

#include <QImage>
#include <QString>

#include "kavrano/map/label_view.h"

namespace kavrano {

/// Pictures the map draws for annotations, rendered once and kept as textures.
/// All sizes are in points; `dpr` is the device pixel ratio of the window.

/// A label exactly as its view describes it, as an image of the frame's size:
/// text centred vertically, aligned horizontally, shrunk to fit when asked, with
/// its shadow.
[[nodiscard]] QImage renderLabelImage(const LabelView& label, qreal dpr);

/// The standard marker for annotations without a view of their own: a red pin
/// whose tip is at the bottom centre of the image.
[[nodiscard]] QImage renderStandardMarker(qreal dpr);

/// The own position: a blue dot with a white ring and a soft shadow, centred.
[[nodiscard]] QImage renderUserDot(qreal dpr);

/// The imagery's credit line on a translucent plate.
[[nodiscard]] QImage renderAttribution(const QString& text, qreal dpr);

}  // namespace kavrano
