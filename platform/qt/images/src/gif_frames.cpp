#include "kavrano/qt_images/gif_frames.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace kavrano {

namespace {

constexpr unsigned char kExtension = 0x21;
constexpr unsigned char kImageDescriptor = 0x2C;
constexpr unsigned char kGraphicControl = 0xF9;

std::size_t colorTableBytes(unsigned char packed) { return (packed & 0x80) ? 3u * (1u << ((packed & 0x07) + 1)) : 0; }

GifFrameProperties fromCentiseconds(int centiseconds) {
  const double stored = centiseconds / 100.0;
  return {stored, centiseconds <= 1 ? 0.1 : stored};
}

}  // namespace

std::optional<GifLayout> readGifLayout(const QByteArray& bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
  const std::size_t n = static_cast<std::size_t>(bytes.size());
  // Signature and logical screen descriptor.
  if (n < 13 || (std::memcmp(p, "GIF87a", 6) != 0 && std::memcmp(p, "GIF89a", 6) != 0)) return std::nullopt;
  GifLayout layout;
  layout.canvasWidth = p[6] | p[7] << 8;
  layout.canvasHeight = p[8] | p[9] << 8;
  std::size_t at = 13 + colorTableBytes(p[10]);

  auto& frames = layout.frames;
  std::optional<GifFrameProperties> pending;
  // Data sub-blocks: a length byte, that many bytes, until a length of 0.
  auto skipSubBlocks = [&] {
    while (at < n) {
      const std::size_t length = p[at++];
      if (length == 0) return true;
      at += length;
    }
    return false;
  };
  while (at < n) {
    const unsigned char introducer = p[at++];
    if (introducer == kExtension) {
      if (at >= n) break;
      const unsigned char label = p[at++];
      // Block size (4), packed fields, delay (little-endian centiseconds), transparent index.
      if (label == kGraphicControl && at + 5 <= n && p[at] >= 4) pending = fromCentiseconds(p[at + 2] | p[at + 3] << 8);
      if (!skipSubBlocks()) break;
    } else if (introducer == kImageDescriptor) {
      // Left, top, width, height (2 bytes each), packed fields; then the LZW code size.
      if (at + 10 > n) break;
      layout.largestImageSide =
          std::max({layout.largestImageSide, p[at + 4] | p[at + 5] << 8, p[at + 6] | p[at + 7] << 8});
      at += 9 + colorTableBytes(p[at + 8]);
      if (at >= n) break;
      ++at;
      frames.push_back(pending);
      pending.reset();                           // a control extension governs the one image after it
      if (frames.size() > kMaxGifFrames) break;  // already refused; the list need not grow
      if (!skipSubBlocks()) break;
    } else {
      break;  // the trailer, or bytes that are no block: what came before stands
    }
  }
  return layout;
}

std::optional<QByteArray> gifBoundExceeded(const GifLayout& layout) {
  if (layout.frames.size() > kMaxGifFrames)
    return QByteArray("more than ") + QByteArray::number(kMaxGifFrames) + " frames";
  const int width = std::max(layout.canvasWidth, layout.largestImageSide);
  const int height = std::max(layout.canvasHeight, layout.largestImageSide);
  if (width > kMaxGifSide || height > kMaxGifSide) {
    return QByteArray::number(width) + " x " + QByteArray::number(height) + " pixels, more than " +
           QByteArray::number(kMaxGifSide) + " a side";
  }
  const auto decoded = layout.frames.size() * static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
  if (decoded > kMaxGifDecodedBytes) {
    return QByteArray::number(static_cast<qulonglong>(decoded >> 20)) + " MiB decoded, more than " +
           QByteArray::number(static_cast<qulonglong>(kMaxGifDecodedBytes >> 20));
  }
  return std::nullopt;
}

std::optional<std::vector<std::optional<GifFrameProperties>>> readGifFrameProperties(const QByteArray& bytes) {
  auto layout = readGifLayout(bytes);
  if (!layout) return std::nullopt;
  return std::move(layout->frames);
}

}  // namespace kavrano
