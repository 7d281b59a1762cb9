#pragma once

#include <memory>

#include "kavrano/map/annotation_view.h"
#include "kavrano/map/label_view.h"

namespace kavrano {

/// Shows a side's length as bare text at the side's middle.
class TitleAnnotationView final : public AnnotationView {
 public:
  /// Reuse identifier of every label view.
  static inline const QString kReuseIdentifier = QStringLiteral("custom");

  using AnnotationView::AnnotationView;

  /// None until the code that makes the view gives it one; it stays on reuse.
  std::shared_ptr<LabelView> label;

  /// A new label view for `annotation`: enabled, no callout, and its label 44 points
  /// wide centred above the point (bold 20 pt white, shrinking to fit, black shadow).
  [[nodiscard]] static std::shared_ptr<TitleAnnotationView> make(std::shared_ptr<Annotation> annotation);
};

}  // namespace kavrano
