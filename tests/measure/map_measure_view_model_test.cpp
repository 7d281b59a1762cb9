#include "kavrano/measure/map_measure_view_model.h"

#include <gtest/gtest.h>

#include "fake_map_view.h"
#include "fake_place_search_service.h"
#include "kavrano/core/analytics.h"
#include "kavrano/core/measurement_manager.h"
#include "kavrano/core/memory_preference_store.h"
#include "kavrano/core/uuid.h"
#include "kavrano/map/point_annotation.h"

namespace kavrano {
namespace {

class EventRecorder final : public AnalyticsService {
 public:
  void logEvent(const std::string& name) override { names.push_back(name); }
  std::vector<std::string> names;
};

class MapMeasureViewModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PreferenceStore::installStandard(store);
    AnalyticsService::configure(events);
  }
  void TearDown() override { AnalyticsService::configure(nullptr); }

  std::vector<std::shared_ptr<Annotation>> vertices(std::initializer_list<Coordinate> points) {
    std::vector<std::shared_ptr<Annotation>> list;
    for (const auto& p : points) list.push_back(std::make_shared<PointAnnotation>(p));
    return list;
  }

  std::shared_ptr<MemoryPreferenceStore> store = std::make_shared<MemoryPreferenceStore>();
  std::shared_ptr<EventRecorder> events = std::make_shared<EventRecorder>();
  std::shared_ptr<test::FakePlaceSearchService> places = std::make_shared<test::FakePlaceSearchService>();
  MapMeasureViewModel model{places};
  FakeMapView map;
};

TEST_F(MapMeasureViewModelTest, AreaIsTheRingsAreaInListOrder) {
  EXPECT_EQ(model.measuredArea(vertices({})), 0.0);
  EXPECT_EQ(model.measuredArea(vertices({{1, 1}, {2, 2}})), 0.0);
  const std::vector<Coordinate> ring{{0, 0}, {0, 0.001}, {0.001, 0.001}, {0.001, 0}};
  EXPECT_EQ(model.measuredArea(vertices({ring[0], ring[1], ring[2], ring[3]})), MeasurementManager().polygonArea(ring));
}

TEST_F(MapMeasureViewModelTest, SavingStoresTheVerticesTitleAndCameraCentre) {
  map.centre = {-23.552, -46.633};
  const auto points = vertices({{-23.551, -46.633}, {-23.552, -46.632}, {-23.553, -46.634}});
  model.saveMeasurement(points, "Garden", map);
  model.saveMeasurement(points, "", map);

  const auto saved = model.persistanceManager.loadMeasurements();
  ASSERT_EQ(saved.size(), 2u);
  EXPECT_NE(saved[0].id, saved[1].id);
  EXPECT_EQ(saved[0].id.size(), 36u);
  EXPECT_EQ(saved[0].title, "Garden");
  EXPECT_EQ(saved[1].title, "") << "an empty title stays empty";
  EXPECT_LE(saved[0].date, saved[1].date);
  EXPECT_EQ(saved[0].center.latitude, -23.552);
  ASSERT_EQ(saved[0].annotations.size(), 3u);
  EXPECT_EQ(saved[0].annotations[2].longitude, -46.634);

  const auto back = model.annotations(saved[0]);
  ASSERT_EQ(back.size(), 3u);
  for (std::size_t i = 0; i < back.size(); ++i) {
    EXPECT_FALSE(back[i]->title());
    EXPECT_EQ(back[i]->coordinate().latitude, points[i]->coordinate().latitude);
  }
  EXPECT_TRUE(model.annotations(PersistedMeasurement{}).empty());
}

TEST_F(MapMeasureViewModelTest, AChosenSuggestionIsLoggedLookedUpAndAnsweredOnce) {
  std::vector<std::optional<Coordinate>> answers;
  model.onSearchFetched = [&](std::optional<Coordinate> c) { answers.push_back(c); };

  model.didSelectCompletion({"Zürich", "Zurich, Switzerland"});
  model.didSelectCompletion({"Nowhere", ""});
  model.didSelectCompletion({"Offline", "Place"});
  EXPECT_EQ(events->names, (std::vector<std::string>{"selected_address", "selected_address", "selected_address"}));
  ASSERT_EQ(places->searches.size(), 3u);
  EXPECT_EQ(places->searches[0].query, "Zürich Zurich, Switzerland");
  EXPECT_EQ(places->searches[1].query, "Nowhere ");

  // The managers that started the lookups are gone; the answers still arrive.
  places->searches[0].completion(QList<Coordinate>{{47.37, 8.54}, {1, 1}, {2, 2}});
  places->searches[1].completion(QList<Coordinate>{});
  places->searches[2].completion(std::nullopt);
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_EQ(answers[0]->latitude, 47.37);
  EXPECT_FALSE(answers[1]);
}

TEST_F(MapMeasureViewModelTest, NoEventWhileUsageDataIsOff) {
  store->setBool(false, "SEND_USAGE_DATA");
  model.didSelectCompletion({"A", "B"});
  EXPECT_TRUE(events->names.empty());
  EXPECT_EQ(places->searches.size(), 1u) << "the lookup happens all the same";
}

}  // namespace
}  // namespace kavrano
