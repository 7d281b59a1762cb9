#pragma once

#include <QHash>
#include <QImage>
#include <functional>
#include <list>

#include "kavrano/map/label_view.h"

namespace kavrano {

/// Label pictures by everything that shows in them, rendered at first use and
/// bounded by their bytes: the least recently drawn go first, but never one
/// drawn in the current frame, so a frame with more labels than the budget
/// holds still renders each of them once.
class LabelPictureCache {
 public:
  /// 32 MiB: a 44 × 44-point label is 68 KiB at a pixel ratio of 3 (7.6 KiB at
  /// 1), so this keeps about 480 labels on a dense phone screen — more than fit
  /// on one — and 4,300 at a pixel ratio of 1. Hardware back ends hold each
  /// kept picture once more as a texture.
  static constexpr qint64 kDefaultMaxBytes = 32LL * 1024 * 1024;

  explicit LabelPictureCache(qint64 maxBytes = kDefaultMaxBytes) : maxBytes_(maxBytes) {}

  /// The label's picture; valid until the next call.
  [[nodiscard]] const QImage& picture(const LabelView& label, qreal dpr);
  /// A new frame begins: what it draws is kept.
  void nextFrame() { ++frame_; }
  void clear();
  [[nodiscard]] qint64 bytes() const { return bytes_; }
  [[nodiscard]] qsizetype count() const { return entries_.size(); }

  /// Told of every picture dropped, so that its texture can go with it.
  std::function<void(const QImage&)> onDropped;

  struct Key {
    QString text;
    double width, height, size;
    bool bold, shrink, shadow;
    int alignment;
    MapColor color, shadowColor;
    QPointF shadowOffset;
    bool operator==(const Key&) const = default;
  };

 private:
  struct Entry {
    Key key;
    QImage image;
    quint64 frame;
  };
  void trim();

  qint64 maxBytes_;
  qint64 bytes_ = 0;
  quint64 frame_ = 0;
  std::list<Entry> entries_;  // most recently drawn first
  QHash<Key, std::list<Entry>::iterator> index_;
};

size_t qHash(const LabelPictureCache::Key& key, size_t seed = 0);

}  // namespace kavrano
