#include "kavrano/qt_images/animated_image.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <algorithm>
#include <cstdio>

namespace kavrano {

namespace {

// The console, as the rest of the app's diagnostics: standard output, at once.
void diagnostic(const QString& line) {
  std::printf("%s\n", qPrintable(line));
  std::fflush(stdout);
}

}  // namespace

std::optional<AnimatedImage> animatedImageNamed(const QString& name, const QString& directory) {
  QFile file(directory + QLatin1Char('/') + name + QStringLiteral(".gif"));
  if (!file.exists()) {
    diagnostic(QStringLiteral("The image \"%1\" does not exist").arg(name));
    return std::nullopt;
  }
  if (!file.open(QIODevice::ReadOnly)) {
    diagnostic(QStringLiteral("The image \"%1\" cannot be turned into data").arg(name));
    return std::nullopt;
  }
  const QByteArray data = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    diagnostic(QStringLiteral("The image \"%1\" cannot be turned into data").arg(name));
    return std::nullopt;
  }
  return animatedImageWithData(data);
}

std::optional<AnimatedImage> animatedImageWithData(const QByteArray& data) {
  const auto layout = readGifLayout(data);
  if (!layout) {
    diagnostic(QStringLiteral("image doesn't exist"));
    return std::nullopt;
  }
  // A few bytes can describe gigabytes of pixels; refuse before Qt decodes any.
  if (const auto problem = gifBoundExceeded(*layout)) {
    diagnostic(QStringLiteral("image too large: %1").arg(QString::fromLatin1(*problem)));
    return std::nullopt;
  }
  const auto& properties = layout->frames;
  QBuffer buffer;
  buffer.setData(data);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "gif");
  std::vector<GifFrame> frames;
  frames.reserve(properties.size());
  for (const auto& frame : properties) {
    // Qt's reader gives each frame drawn over the ones before, as shown.
    frames.push_back({reader.read(), frame});
  }
  return animatedImageWithFrames(frames);
}

AnimatedImage animatedImageWithFrames(const std::vector<GifFrame>& frames) {
  std::vector<QImage> images;
  std::vector<int> delays;
  for (const GifFrame& frame : frames) {
    if (frame.image.isNull()) continue;
    images.push_back(frame.image);
    delays.push_back(static_cast<int>(frameDelay(frame.properties) * 1000.0));
  }
  qint64 total = 0;  // a GIF may hold thousands of frames of up to 655 s each
  for (int delay : delays) total += delay;
  qint64 step = greatestCommonDivisor(delays);
  qint64 steps = 0;
  for (int delay : delays) steps += delay / step;
  // 655.35 s beside 0.11 s would be 65,546 entries for two frames: past the bound
  // the loop steps on a coarser clock, each frame kept at least once.
  const bool coarse = steps > static_cast<qint64>(kMaxLoopImages);
  if (coarse) step = (total + static_cast<qint64>(kMaxLoopImages) - 1) / static_cast<qint64>(kMaxLoopImages);

  AnimatedImage result;
  for (std::size_t i = 0; i < images.size(); ++i) {
    const qint64 repeats = coarse ? std::max<qint64>(1, (delays[i] + step / 2) / step) : delays[i] / step;
    for (qint64 k = 0; k < repeats; ++k) result.images.push_back(images[i]);
  }
  result.duration = static_cast<double>(total) / 1000.0;
  return result;
}

double frameDelay(const std::optional<GifFrameProperties>& properties) {
  constexpr double kFloor = 0.1;
  if (!properties) return kFloor;
  double delay = properties->unclampedDelayTime;
  if (delay == 0) delay = properties->delayTime;
  return delay < kFloor ? kFloor : delay;
}

int greatestCommonDivisor(const std::vector<int>& values) {
  if (values.empty()) return 1;
  int result = values.front();
  for (int value : values) {
    int a = std::max(result, value);
    int b = std::min(result, value);
    while (b != 0) {
      const int remainder = a % b;
      a = b;
      b = remainder;
    }
    result = a;
  }
  return result;
}

}  // namespace kavrano
