#include "kavrano/qt_images/resource_image_source.h"

#include <QFile>
#include <QImageReader>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

namespace kavrano {

namespace {

// Pictures decode when nothing else wants the processor: at start the window's
// first frame comes first.
QThreadPool& idlePool() {
  static QThreadPool* pool = [] {
    auto* p = new QThreadPool;
    p->setMaxThreadCount(1);
    p->setThreadPriority(QThread::IdlePriority);
    return p;
  }();
  return *pool;
}

}  // namespace

QImage stillImageNamed(const QString& name, const QString& directory, int longestSide) {
  const QString base = directory + QLatin1Char('/') + name;
  if (QFile::exists(base + QStringLiteral(".png"))) return QImage(base + QStringLiteral(".png"));
  QImageReader svg(base + QStringLiteral(".svg"));
  if (!svg.canRead()) return {};
  // Drawn at the size it is shown at, not at the drawing's own size.
  svg.setScaledSize(svg.size().scaled(longestSide, longestSide, Qt::KeepAspectRatio));
  return svg.read();
}

PendingPicture::PendingPicture(std::function<AnimatedImage()> decode)
    : state_(std::make_shared<State>(State{std::move(decode), {}, false})) {}

QFuture<AnimatedImage> PendingPicture::picture() const {
  if (!state_) return QtFuture::makeReadyFuture(AnimatedImage{});
  if (!state_->started) {
    state_->started = true;
    state_->decoding = QtConcurrent::run(&idlePool(), std::move(state_->decode));
  }
  return state_->decoding;
}

AnimatedImage pictureOf(const QVariant& value) {
  if (value.canConvert<PendingPicture>()) return value.value<PendingPicture>().picture().result();
  return value.canConvert<AnimatedImage>() ? value.value<AnimatedImage>() : AnimatedImage{};
}

QVariant ResourceImageSource::image(const QString& name) {
  const QString base = directory_ + QLatin1Char('/') + name;
  if (!QFile::exists(base + QStringLiteral(".png")) && !QFile::exists(base + QStringLiteral(".svg"))) return {};
  return QVariant::fromValue(PendingPicture([name, directory = directory_] {
    const QImage picture = stillImageNamed(name, directory);
    return picture.isNull() ? AnimatedImage{} : AnimatedImage{{picture}, 0};
  }));
}

QVariant ResourceImageSource::animatedImage(const QString& name) {
  if (!QFile::exists(directory_ + QLatin1Char('/') + name + QStringLiteral(".gif"))) {
    (void)animatedImageNamed(name, directory_);  // says so on standard output
    return {};
  }
  return QVariant::fromValue(PendingPicture(
      [name, directory = directory_] { return animatedImageNamed(name, directory).value_or(AnimatedImage{}); }));
}

}  // namespace kavrano
