#include <gtest/gtest.h>

#include "fake_map_view.h"
#include "kavrano/map/point_annotation.h"

namespace kavrano {
namespace {

// Screen tests rely on the fake asking and reusing as the real map does.
class LabelDelegate : public MapViewDelegate {
 public:
  std::shared_ptr<OverlayRenderer> rendererForOverlay(MapView&, const std::shared_ptr<Overlay>&) override {
    return std::make_shared<PolygonRenderer>();
  }
  std::shared_ptr<AnnotationView> viewForAnnotation(MapView& map, const std::shared_ptr<Annotation>& a) override {
    if (!a->title()) return nullptr;
    auto view = map.dequeueReusableAnnotationView(QStringLiteral("custom"));
    if (!view) view = std::make_shared<AnnotationView>(a, QStringLiteral("custom"));
    view->setAnnotation(a);
    return view;
  }
};

TEST(FakeMapView, AsksTheDelegateReusesViewsAndForwardsTaps) {
  FakeMapView map;
  LabelDelegate delegate;
  map.setDelegate(&delegate);
  auto label = std::make_shared<PointAnnotation>(Coordinate{1, 2}, QString());
  auto vertex = std::make_shared<PointAnnotation>(Coordinate{3, 4});
  map.addAnnotation(label);
  map.addAnnotation(vertex);
  const auto firstView = map.viewFor(label.get());
  ASSERT_NE(firstView, nullptr) << "an empty title is still a title";
  EXPECT_EQ(map.viewFor(vertex.get()), nullptr);
  map.removeAnnotations(map.annotations());
  auto next = std::make_shared<PointAnnotation>(Coordinate{5, 6}, QStringLiteral("2 m"));
  map.addAnnotation(next);
  EXPECT_EQ(map.viewFor(next.get()), firstView);
  EXPECT_EQ(firstView->annotation(), next);

  std::vector<Coordinate> tapped;
  map.addGestureRecognizer(std::make_shared<TapGestureRecognizer>(
      [&](const TapGestureRecognizer& r) { tapped.push_back(map.convertPointToCoordinate(r.locationInView())); }));
  map.tap({100, 200});
  ASSERT_EQ(tapped.size(), 1u);
  EXPECT_DOUBLE_EQ(tapped[0].longitude, 0.01);
  EXPECT_TRUE(map.calls.contains(QStringLiteral("removeAnnotations 2")));
}

}  // namespace
}  // namespace kavrano
