#pragma once

#include <QString>
#include <QVariant>

namespace kavrano {

/// Pictures that ship with the app, looked up by name. The values are opaque to
/// the screens, so they stay QtCore-only: only the platform's image view shows
/// them. An invalid value is an empty image slot.
class ImageSource {
 public:
  virtual ~ImageSource() = default;
  /// A still picture of the app's image assets.
  [[nodiscard]] virtual QVariant image(const QString& name) = 0;
  /// A looping picture made from the app's GIF resource of that name.
  [[nodiscard]] virtual QVariant animatedImage(const QString& name) = 0;
};

}  // namespace kavrano
