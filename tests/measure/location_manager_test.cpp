#include "kavrano/measure/location_manager.h"

#include <gtest/gtest.h>

#include "qt_printers.h"

#include "fake_place_search_service.h"

namespace kavrano {
namespace {

using test::FakePlaceSearchService;

// Lookups (query text, first match, none, failure, the manager gone before the
// answer) are driven through the view model in map_measure_view_model_test.cpp.

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
