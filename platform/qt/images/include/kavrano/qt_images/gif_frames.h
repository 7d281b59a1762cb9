#pragma once

#include <QByteArray>
#include <cstddef>
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

/// What a GIF's blocks say before any pixel is decoded.
struct GifLayout {
  int canvasWidth = 0;  ///< the logical screen, pixels
  int canvasHeight = 0;
  int largestImageSide = 0;  ///< the widest or tallest image descriptor, pixels
  /// One entry per image, as readGifFrameProperties() gives them; at most
  /// kMaxGifFrames + 1, so that a file past the bound shows it without a long list.
  std::vector<std::optional<GifFrameProperties>> frames;
};

/// Bounds on a GIF, checked on its layout before decoding. Every frame is decoded
/// to the whole canvas at 4 bytes a pixel and kept for the loop; the app's own
/// pictures are 300 × 171 pixels in 11 and 21 frames (under 5 MB decoded).
inline constexpr int kMaxGifSide = 4096;                                    ///< pixels, canvas and each image
inline constexpr std::size_t kMaxGifFrames = 1000;                          ///< images in one file
inline constexpr std::size_t kMaxGifDecodedBytes = std::size_t{256} << 20;  ///< frames × canvas × 4
/// Entries of a loop (a frame repeated for its share of the common step): past
/// this the loop steps on a coarser clock instead (see animatedImageWithFrames()).
inline constexpr std::size_t kMaxLoopImages = 10000;

/// The layout of the GIF in `bytes`, or none when they are not a GIF; frames as
/// readGifFrameProperties() gives them.
[[nodiscard]] std::optional<GifLayout> readGifLayout(const QByteArray& bytes);

/// Why `layout` is past a bound (a sentence for the console), or none.
[[nodiscard]] std::optional<QByteArray> gifBoundExceeded(const GifLayout& layout);

/// One entry per image of the file, in order; no value for an image that has
/// no control extension before it; at most kMaxGifFrames + 1 entries. No value
/// at all when the bytes are not a GIF. A truncated file gives the images whose
/// descriptor is complete.
/// The bytes are untrusted: every read is bounds-checked.
[[nodiscard]] std::optional<std::vector<std::optional<GifFrameProperties>>> readGifFrameProperties(
    const QByteArray& bytes);

}  // namespace kavrano
