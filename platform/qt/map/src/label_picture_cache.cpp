#include "kavrano/qt_map/label_picture_cache.h"

#include "kavrano/qt_map/annotation_images.h"

namespace kavrano {

namespace {

LabelPictureCache::Key keyOf(const LabelView& l) {
  return {l.text,
          l.frame.width(),
          l.frame.height(),
          l.font.pointSize,
          l.font.bold,
          l.adjustsFontSizeToFitWidth,
          l.shadowColor.has_value(),
          static_cast<int>(l.alignment),
          l.textColor,
          l.shadowColor.value_or(MapColor{}),
          l.shadowOffset};
}

}  // namespace

size_t qHash(const LabelPictureCache::Key& k, size_t seed) {
  return qHashMulti(seed, k.text, k.width, k.height, k.size);
}

const QImage& LabelPictureCache::picture(const LabelView& label, qreal dpr) {
  const Key key = keyOf(label);
  if (auto it = index_.constFind(key); it != index_.cend()) {
    entries_.splice(entries_.begin(), entries_, *it);
    entries_.front().frame = frame_;
    return entries_.front().image;
  }
  entries_.push_front({key, renderLabelImage(label, dpr), frame_});
  index_.insert(key, entries_.begin());
  bytes_ += entries_.front().image.sizeInBytes();
  trim();
  return entries_.front().image;
}

void LabelPictureCache::trim() {
  while (bytes_ > maxBytes_ && !entries_.empty() && entries_.back().frame != frame_) {
    Entry& gone = entries_.back();
    bytes_ -= gone.image.sizeInBytes();
    if (onDropped) onDropped(gone.image);
    index_.remove(gone.key);
    entries_.pop_back();
  }
}

void LabelPictureCache::clear() {
  if (onDropped)
    for (const Entry& e : entries_) onDropped(e.image);
  entries_.clear();
  index_.clear();
  bytes_ = 0;
}

}  // namespace kavrano
