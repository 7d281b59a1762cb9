#include "kavrano/measure/map_data_source.h"

#include <gtest/gtest.h>

#include "fake_map_view.h"
#include "fake_scheduler.h"
#include "kavrano/core/measurement_manager.h"
#include "kavrano/core/memory_preference_store.h"
#include "kavrano/core/number_text.h"
#include "kavrano/core/unit_converter.h"
#include "kavrano/map/overlay_renderer.h"
#include "kavrano/map/point_annotation.h"
#include "kavrano/map/user_location_annotation.h"
#include "kavrano/measure/title_annotation_view.h"

namespace kavrano {
namespace {

using Annotations = std::vector<std::shared_ptr<Annotation>>;

class MapDataSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PreferenceStore::installStandard(std::make_shared<MemoryPreferenceStore>());
    setUserNumberLocaleOverride("en_US");
    // 1 px = 1e-4° (about 11 m), y down: (x, y) → (−y, x) × 1e-4.
    source = std::make_unique<MapDataSource>(
        map, scheduler,
        [this](double seconds, std::function<void()> changes) {
          transitions.push_back(seconds);
          changes();
        },
        [this](const Annotations& list) { reports.push_back(list.size()); });
    map.calls.clear();
  }
  void TearDown() override { setUserNumberLocaleOverride(std::nullopt); }

  std::vector<QString> labelTexts() const {
    std::vector<QString> texts;
    for (const auto& a : map.annotations())
      if (a->title()) texts.push_back(*a->title());
    return texts;
  }
  std::size_t vertexCount() const {
    const auto shown = map.annotations();
    return std::count_if(shown.begin(), shown.end(), [](auto& a) { return !a->title(); });
  }

  FakeMapView map;
  FakeScheduler scheduler;
  std::vector<double> transitions;
  std::vector<std::size_t> reports;
  std::unique_ptr<MapDataSource> source;
};

TEST(MapDataSourceSetUp, ConfiguresTheMapThenEndsTheFollowAfterOneSecond) {
  FakeMapView map;
  FakeScheduler scheduler;
  map.centre = {47.37, 8.54};
  MapDataSource source(map, scheduler, [](double, std::function<void()> f) { f(); }, {});
  EXPECT_EQ(map.calls, (QStringList{"setMapType 1", "setShowsUserLocation 1", "setUserTrackingMode 1", "setDelegate",
                                    "addGestureRecognizer", "setCameraZoomRange 10 1"}));
  ASSERT_EQ(map.gestureRecognizers().size(), 1u);
  EXPECT_FALSE(map.gestureRecognizers()[0]->cancelsTouchesInView);
  EXPECT_EQ(map.delegate(), &source);

  map.calls.clear();
  scheduler.advance(std::chrono::milliseconds(999));
  EXPECT_TRUE(map.calls.isEmpty());
  scheduler.advance(std::chrono::milliseconds(1));
  EXPECT_EQ(map.calls, (QStringList{"setShowsUserLocation 0", "setUserTrackingMode 0", "setRegion"}));
  ASSERT_EQ(map.regions.size(), 1u);
  EXPECT_EQ(map.regions[0].centre.latitude, 47.37);
  EXPECT_EQ(map.regions[0].metresNorthSouth, 200.0);
  EXPECT_EQ(map.regions[0].metresEastWest, 200.0);
  EXPECT_TRUE(map.regions[0].animated);
}

TEST(MapDataSourceSetUp, TheDelayedStepDoesNothingOnceTheSourceIsGone) {
  FakeMapView map;
  FakeScheduler scheduler;
  {
    MapDataSource source(map, scheduler, [](double, std::function<void()> f) { f(); }, {});
  }
  map.calls.clear();
  scheduler.advance(std::chrono::seconds(2));
  EXPECT_TRUE(map.calls.isEmpty());
  EXPECT_EQ(map.delegate(), nullptr);
}

TEST_F(MapDataSourceTest, TapsGrowAMarkerALineAndARegionWithALabelOnEverySideAndClearEmptiesIt) {
  map.tap({0, 0});
  EXPECT_EQ(vertexCount(), 1u);
  EXPECT_TRUE(map.overlays().empty());
  EXPECT_TRUE(labelTexts().empty());
  EXPECT_EQ(reports, (std::vector<std::size_t>{1}));
  EXPECT_EQ(transitions, (std::vector<double>{0.2}));

  map.tap({100, 0});  // 0.01° east along the equator
  ASSERT_EQ(map.overlays().size(), 1u);
  EXPECT_TRUE(dynamic_cast<PolylineOverlay*>(map.overlays()[0].get()));
  const double side = MeasurementManager().distance({0, 0}, {0, 0.01});
  EXPECT_EQ(labelTexts(), (std::vector<QString>{QString::fromStdString(UnitConverter::shared().lengthText(side))}));
  const auto shown = map.annotations();
  const auto label = std::find_if(shown.begin(), shown.end(), [](auto& a) { return a->title().has_value(); });
  EXPECT_NEAR((*label)->coordinate().longitude, 0.005, 1e-12);

  map.tap({100, -100});  // 0.01° north of it
  ASSERT_EQ(map.overlays().size(), 1u);
  EXPECT_TRUE(dynamic_cast<PolygonOverlay*>(map.overlays()[0].get()));
  EXPECT_EQ(map.overlays()[0]->coordinates().size(), 3u);
  EXPECT_EQ(vertexCount(), 3u);
  const auto texts = labelTexts();
  ASSERT_EQ(texts.size(), 3u);
  const double closing = MeasurementManager().distance({0.01, 0.01}, {0, 0});
  EXPECT_EQ(texts[2], QString::fromStdString(UnitConverter::shared().lengthText(closing)));
  EXPECT_EQ(reports, (std::vector<std::size_t>{1, 2, 3}));

  source->clear();  // empties the map without a report
  EXPECT_TRUE(map.annotations().empty());
  EXPECT_TRUE(map.overlays().empty());
  EXPECT_TRUE(source->annotations.empty());
  EXPECT_EQ(reports.size(), 3u);

  map.tap({5, 5});  // two taps on one spot: two vertices and a zero label
  map.tap({5, 5});
  EXPECT_EQ(source->annotations.size(), 2u);
  EXPECT_EQ(labelTexts(), (std::vector<QString>{"0 m"}));
}

TEST_F(MapDataSourceTest, AnAssignedListIsDrawnOnRedrawAndUnitsApplyFromTheNextRebuild) {
  source->annotations = {std::make_shared<PointAnnotation>(Coordinate{0, 0}),
                         std::make_shared<PointAnnotation>(Coordinate{0, 0.001}),
                         std::make_shared<PointAnnotation>(Coordinate{0.001, 0.001}),
                         std::make_shared<PointAnnotation>(Coordinate{0.001, 0})};
  source->redraw();
  EXPECT_EQ(reports, (std::vector<std::size_t>{4}));
  EXPECT_EQ(labelTexts().size(), 4u);
  EXPECT_EQ(labelTexts()[0], "111.32 m");

  UnitConverter::shared().setLengthUnit("ft");
  EXPECT_EQ(labelTexts()[0], "111.32 m") << "texts on the map stay until the next rebuild";
  source->redraw();
  EXPECT_EQ(labelTexts()[0], "365.22 ft");
  UnitConverter::shared().setLengthUnit("m");
}

TEST_F(MapDataSourceTest, RenderersAndViews) {
  const auto polygon = std::make_shared<PolygonOverlay>(std::vector<Coordinate>{{0, 0}, {0, 1}, {1, 0}});
  auto fill = std::dynamic_pointer_cast<PolygonRenderer>(source->rendererForOverlay(map, polygon));
  ASSERT_TRUE(fill);
  EXPECT_EQ(fill->strokeColor, MapColor::white());
  EXPECT_EQ(fill->lineWidth, 2.0);
  EXPECT_EQ(fill->fillColor, MapColor::lightGray().withAlpha(0.25));
  auto line = std::dynamic_pointer_cast<PolylineRenderer>(
      source->rendererForOverlay(map, std::make_shared<PolylineOverlay>(std::vector<Coordinate>{{0, 0}, {1, 1}})));
  ASSERT_TRUE(line);
  EXPECT_EQ(line->strokeColor, MapColor::white());
  EXPECT_FALSE(line->fillColor);

  EXPECT_EQ(source->viewForAnnotation(map, std::make_shared<UserLocationAnnotation>()), nullptr);
  EXPECT_EQ(source->viewForAnnotation(map, std::make_shared<PointAnnotation>(Coordinate{1, 1})), nullptr)
      << "vertices get the standard marker";

  auto view = std::dynamic_pointer_cast<TitleAnnotationView>(
      source->viewForAnnotation(map, std::make_shared<PointAnnotation>(Coordinate{1, 1}, QString("12 m"))));
  ASSERT_TRUE(view && view->label);
  EXPECT_EQ(view->reuseIdentifier(), "custom");
  EXPECT_TRUE(view->enabled);
  EXPECT_FALSE(view->canShowCallout);
  EXPECT_EQ(view->label->text, "12 m");
  EXPECT_EQ(view->label->frame, QRectF(-22, -32, 44, 44));
  EXPECT_EQ(view->label->font, MapFont::boldSystem(20));
  EXPECT_EQ(view->label->alignment, TextAlignment::Center);
  EXPECT_EQ(view->label->textColor, MapColor::white());
  EXPECT_TRUE(view->label->adjustsFontSizeToFitWidth);
  EXPECT_EQ(view->label->shadowColor, MapColor::black());
  EXPECT_EQ(view->label->shadowOffset, QPointF(1, 1));

  view->image = QStringLiteral("stale.png");
  map.offerReusableView(view);
  const auto next = std::make_shared<PointAnnotation>(Coordinate{2, 2}, QString());
  auto reused = std::dynamic_pointer_cast<TitleAnnotationView>(source->viewForAnnotation(map, next));
  EXPECT_EQ(reused, view) << "a kept view is reused";
  EXPECT_EQ(reused->annotation(), next);
  EXPECT_FALSE(reused->image);
  EXPECT_EQ(reused->label->text, "") << "an empty title still gets a label view";
  EXPECT_EQ(reused->subviews().size(), 1u) << "the label is made once, with the view";
}

}  // namespace
}  // namespace kavrano
