#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QMetaType>
#include <QString>
#include <optional>
#include <vector>

#include "kavrano/qt_images/gif_frames.h"

namespace kavrano {

/// A looping picture: `images` shown one after the other, each for the same
/// time, the whole loop lasting `duration` seconds. One image and no duration
/// is a still picture.
struct AnimatedImage {
  QList<QImage> images;  // repeats share their pixels
  double duration = 0;
};

/// A decoded frame with the GIF timing that came with it.
struct GifFrame {
  QImage image;  // null when the frame did not decode
  std::optional<GifFrameProperties> properties;
};

/// Where the app's pictures are: its resources.
inline const QString kAppImageDirectory = QStringLiteral(":/kavrano/intro");

/// The GIF named `name` ("<directory>/<name>.gif") as a looping picture. A file
/// that is missing or cannot be read gives a line on standard output and no image.
[[nodiscard]] std::optional<AnimatedImage> animatedImageNamed(const QString& name,
                                                              const QString& directory = kAppImageDirectory);

/// The GIF in `data`. Bytes that are not a GIF, or a GIF past the bounds of
/// gif_frames.h (checked before decoding), give a line on standard output and
/// no image; a GIF without frames gives an empty picture of no duration.
[[nodiscard]] std::optional<AnimatedImage> animatedImageWithData(const QByteArray& data);

/// Builds the loop: every delay in whole milliseconds (truncated), g their
/// greatest common divisor, each frame repeated delay ÷ g times, the duration
/// their sum. A frame that did not decode is left out with its delay. When that
/// makes more than kMaxLoopImages entries, g becomes total ÷ kMaxLoopImages
/// (rounded up) and each frame is repeated its delay ÷ g times, rounded, at least once.
[[nodiscard]] AnimatedImage animatedImageWithFrames(const std::vector<GifFrame>& frames);

/// A frame's delay in seconds: the stored value, else the played one when the
/// stored one is 0, and never below 0.1 s (browsers' floor). A frame without
/// timing plays for 0.1 s.
[[nodiscard]] double frameDelay(const std::optional<GifFrameProperties>& properties);

/// Euclid's algorithm folded over `values`; 1 for none.
[[nodiscard]] int greatestCommonDivisor(const std::vector<int>& values);

}  // namespace kavrano

Q_DECLARE_METATYPE(kavrano::AnimatedImage)
