#pragma once

#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "kavrano/map/annotation.h"
#include "kavrano/map/label_view.h"

namespace kavrano {

/// How an annotation is shown. Its origin stands on the annotation's coordinate;
/// the image (if any) is centred there, subviews are placed by their frames.
/// Views are kept by the map for reuse under their identifier once their
/// annotation is removed. Subclass to keep fields of your own.
class AnnotationView {
 public:
  AnnotationView(std::shared_ptr<Annotation> annotation, QString reuseIdentifier)
      : annotation_(std::move(annotation)), reuseIdentifier_(std::move(reuseIdentifier)) {}
  virtual ~AnnotationView() = default;

  [[nodiscard]] const std::shared_ptr<Annotation>& annotation() const { return annotation_; }
  void setAnnotation(std::shared_ptr<Annotation> annotation) { annotation_ = std::move(annotation); }
  [[nodiscard]] const QString& reuseIdentifier() const { return reuseIdentifier_; }

  /// Disabled views ignore touches; enabled ones only show their callout, if allowed.
  bool enabled = true;
  bool canShowCallout = false;
  /// A resource path or file name of the image; none means no image.
  std::optional<QString> image;

  void addSubview(std::shared_ptr<LabelView> label) { subviews_.push_back(std::move(label)); }
  [[nodiscard]] const std::vector<std::shared_ptr<LabelView>>& subviews() const { return subviews_; }

 private:
  std::shared_ptr<Annotation> annotation_;
  QString reuseIdentifier_;
  std::vector<std::shared_ptr<LabelView>> subviews_;
};

}  // namespace kavrano
