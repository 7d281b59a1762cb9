#pragma once

#include <QByteArray>
#include <optional>
#include <vector>

namespace kavrano {

/// The timing a GIF gives one frame (its Graphic Control Extension), in seconds.
struct GifFrameProperties {
  /// As stored: centiseconds ÷ 100, 0 included.
  double unclampedDelayTime = 0;
  /// As browsers play it: 0 and 1 centisecond become 0.1 s.
  double delayTime = 0;
};

/// One entry per image of the file, in order; no value for an image that has
/// no control extension before it. No value at all when the bytes are not a
/// GIF. A truncated file gives the images whose descriptor is complete.
/// The bytes are untrusted: every read is bounds-checked.
[[nodiscard]] std::optional<std::vector<std::optional<GifFrameProperties>>> readGifFrameProperties(
    const QByteArray& bytes);

}  // namespace kavrano
