#pragma once

#include <QFuture>
#include <QImage>
#include <functional>
#include <memory>

#include "kavrano/qt_images/animated_image.h"
#include "kavrano/ui/image_source.h"

namespace kavrano {

/// The still picture `name` of `directory` (PNG, else SVG drawn `longestSide`
/// pixels long); a null image when there is none.
[[nodiscard]] QImage stillImageNamed(const QString& name, const QString& directory = kAppImageDirectory,
                                     int longestSide = 512);

/// A picture decoded on a worker thread once it is first asked for. The intro's
/// pictures are made with the screen at every start but shown only at the
/// first, and a GIF takes longer to decode than a frame.
class PendingPicture {
 public:
  PendingPicture() = default;
  explicit PendingPicture(std::function<AnimatedImage()> decode);
  /// Starts the decoding at the first call (main thread only).
  [[nodiscard]] QFuture<AnimatedImage> picture() const;

 private:
  struct State {
    std::function<AnimatedImage()> decode;
    QFuture<AnimatedImage> decoding;
    bool started = false;
  };
  std::shared_ptr<State> state_;
};

/// The picture a value of this source holds (waiting for one being decoded); an
/// empty picture for anything else.
[[nodiscard]] AnimatedImage pictureOf(const QVariant& value);

/// The app's pictures for the screens, as PendingPicture values. A name without
/// a file is known at once and gives an invalid value (an empty slot).
class ResourceImageSource final : public ImageSource {
 public:
  explicit ResourceImageSource(QString directory = kAppImageDirectory) : directory_(std::move(directory)) {}
  [[nodiscard]] QVariant image(const QString& name) override;
  [[nodiscard]] QVariant animatedImage(const QString& name) override;

 private:
  QString directory_;
};

}  // namespace kavrano

Q_DECLARE_METATYPE(kavrano::PendingPicture)
