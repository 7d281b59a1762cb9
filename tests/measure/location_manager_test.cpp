#include "kavrano/measure/location_manager.h"

#include <gtest/gtest.h>

#include "qt_printers.h"

#include "fake_place_search_service.h"

namespace kavrano {
namespace {

using test::FakePlaceSearchService;

struct Calls {
  int count = 0;
  std::optional<Coordinate> last;
};

class LocationManagerLookup : public ::testing::Test {
 protected:
  // Starts a lookup with a manager that is released at once, as the view model does.
  void fetch(const PlaceSuggestion& suggestion) {
    LocationManager manager(places_);
    manager.fetchCoordinate(suggestion, [this](std::optional<Coordinate> c) {
      ++calls_.count;
      calls_.last = c;
    });
  }
  std::shared_ptr<FakePlaceSearchService> places_ = std::make_shared<FakePlaceSearchService>();
  Calls calls_;
};

TEST_F(LocationManagerLookup, AsksForTitleSpaceSubtitle) {
  fetch({"Zürich", "Zurich, Switzerland"});
  fetch({"Zürich", ""});
  ASSERT_EQ(places_->searches.size(), 2u);
  EXPECT_EQ(places_->searches[0].query, "Zürich Zurich, Switzerland");
  EXPECT_EQ(places_->searches[1].query, "Zürich ");
}

TEST_F(LocationManagerLookup, TheFirstMatchOrNoneIsAnsweredOnceAndAFailureNotAtAll) {
  fetch({"Springfield", "United States"});  // the manager is gone before the answer
  fetch({"Nowhere", ""});
  fetch({"Bern", "Switzerland"});
  ASSERT_EQ(places_->searches.size(), 3u);
  places_->searches[0].completion(QList<Coordinate>{{39.8, -89.6}, {37.2, -93.3}, {42.1, -72.6}});
  ASSERT_EQ(calls_.count, 1);
  ASSERT_TRUE(calls_.last);
  EXPECT_DOUBLE_EQ(calls_.last->latitude, 39.8);
  EXPECT_DOUBLE_EQ(calls_.last->longitude, -89.6);

  places_->searches[1].completion(QList<Coordinate>{});
  EXPECT_EQ(calls_.count, 2);
  EXPECT_FALSE(calls_.last);

  places_->searches[2].completion(std::nullopt);
  EXPECT_EQ(calls_.count, 2);
}

TEST(LocationManagerCompletion, ReportsTheCompletersListsOnceItIsTheDelegate) {
  auto places = std::make_shared<FakePlaceSearchService>();
  LocationManager manager(places);
  ASSERT_EQ(places->completers.size(), 1u);
  auto& completer = *places->completers[0];
  EXPECT_EQ(&manager.searchCompleter(), &completer);
  EXPECT_EQ(completer.delegate(), nullptr) << "the user of the service makes it the delegate";

  completer.setDelegate(&manager);
  completer.answer({{"Dropped", ""}});  // before a completion is assigned: nowhere to go, no crash

  QList<QList<PlaceSuggestion>> lists;
  manager.setSearchCompletion([&](const QList<PlaceSuggestion>& s) { lists.push_back(s); });
  const QList<PlaceSuggestion> bern{{"Bern", "Bern, Switzerland"}, {"Berlin", "Berlin, Germany"}};
  completer.answer(bern);
  completer.fail();  // a failing completer reports nothing
  ASSERT_EQ(lists.size(), 1);
  EXPECT_EQ(lists[0], bern);
}

}  // namespace
}  // namespace kavrano
