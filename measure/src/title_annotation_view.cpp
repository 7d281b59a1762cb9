#include "kavrano/measure/title_annotation_view.h"

namespace kavrano {

std::shared_ptr<TitleAnnotationView> TitleAnnotationView::make(std::shared_ptr<Annotation> annotation) {
  auto view = std::make_shared<TitleAnnotationView>(std::move(annotation), kReuseIdentifier);
  view->enabled = true;
  view->canShowCallout = false;
  // The view has no image and so no size: its origin is the point, which puts the
  // label's middle 10 points above it.
  auto label = std::make_shared<LabelView>();
  label->frame = QRectF(-22, -32, 44, 44);
  label->font = MapFont::boldSystem(20);
  label->alignment = TextAlignment::Center;
  label->textColor = MapColor::white();
  label->adjustsFontSizeToFitWidth = true;
  label->shadowColor = MapColor::black();
  label->shadowOffset = QPointF(1.0, 1.0);
  view->label = label;
  view->addSubview(std::move(label));
  return view;
}

}  // namespace kavrano
