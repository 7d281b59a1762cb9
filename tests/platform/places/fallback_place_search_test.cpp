#include "kavrano/qt_places/fallback_place_search_service.h"

#include <gtest/gtest.h>
#include <QTest>

#include "qt_printers.h"

#include "kavrano/qt_places/gazetteer_place_search_service.h"
#include "kavrano/qt_places/http_place_search_service.h"
#include "kavrano/qt_places/place_search_service_factory.h"
#include "kavrano/qt_places/shipped_gazetteer.h"
#include "local_http_server.h"
#include "photon_answer.h"
#include "recording_completer_delegate.h"

namespace kavrano {
namespace {

using test::always;
using test::photonServes;
using test::RecordingCompleterDelegate;
using namespace std::chrono_literals;

class FallbackPlaceSearch : public ::testing::Test {
 protected:
  std::shared_ptr<PlaceSearchService> onlineThenOffline(std::chrono::milliseconds patience = 2s,
                                                        std::chrono::milliseconds timeout = 300ms) {
    HttpGeocoderOptions options;
    options.baseUrl = QUrl(QString::fromLatin1(server_.baseUrl()));
    options.timeout = timeout;
    options.debounce = 10ms;
    return std::make_shared<FallbackPlaceSearchService>(
        std::make_shared<HttpPlaceSearchService>(options),
        std::make_shared<GazetteerPlaceSearchService>(shippedGazetteer()), patience);
  }
  // The first `count` reports of a completer typing `fragment`.
  QList<QList<PlaceSuggestion>> updatesFor(PlaceSearchService& service, const QString& fragment, int count = 1) {
    auto completer = service.makeCompleter();
    RecordingCompleterDelegate delegate;
    completer->setDelegate(&delegate);
    completer->setQueryFragment(fragment);
    EXPECT_TRUE(QTest::qWaitFor([&] { return delegate.updates.size() >= count; }, 5000));
    return delegate.updates;
  }
  std::optional<QList<Coordinate>> searchFor(PlaceSearchService& service, const QString& query) {
    std::optional<std::optional<QList<Coordinate>>> answer;
    service.search(query, [&](auto matches) { answer = std::move(matches); });
    EXPECT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 5000));
    return answer.value_or(std::nullopt);
  }

  LocalHttpServer server_;
};

TEST_F(FallbackPlaceSearch, OnlineAnswersWinWhileTheServerWorks) {
  server_.setHandler(photonServes({{"Zürich HB", "Zürich", "Switzerland", 47.378, 8.540}}));
  auto service = onlineThenOffline();
  EXPECT_EQ(updatesFor(*service, "zur").value(0).value(0).title, "Zürich HB");
  EXPECT_DOUBLE_EQ(searchFor(*service, "Zürich HB Zürich, Switzerland")->value(0).latitude, 47.378);

  // "Nothing found" is an answer, not a failure.
  server_.setHandler(photonServes({}));
  EXPECT_TRUE(updatesFor(*service, "zur").value(0).isEmpty());
  EXPECT_TRUE(searchFor(*service, "Zürich Zurich, Switzerland")->isEmpty());
}

TEST_F(FallbackPlaceSearch, TheGazetteerAnswersWhenTheServerFailsOrIsSlow) {
  server_.setHandler(always({500, {}, {}}));
  auto service = onlineThenOffline();
  const auto suggestions = updatesFor(*service, "sao p").value(0);
  ASSERT_FALSE(suggestions.isEmpty());
  EXPECT_EQ(suggestions.front(), (PlaceSuggestion{"São Paulo", "São Paulo, Brazil"}));

  // A server that swallows requests: the gazetteer answers once patience runs
  // out, long before the request's own timeout.
  server_.setHandler(always({200, {}, {}, 0, true}));
  auto patient = onlineThenOffline(100ms, 60s);
  const auto matches = searchFor(*patient, "Zürich Zurich, Switzerland");
  ASSERT_TRUE(matches);
  ASSERT_FALSE(matches->isEmpty());
  EXPECT_NEAR(matches->front().latitude, 47.367, 1e-2);

  // A slow server is covered by the gazetteer until it answers.
  server_.setHandler(photonServes({{"Zürich HB", "Zürich", "Switzerland", 47.378, 8.540}}, 500));
  const auto updates = updatesFor(*onlineThenOffline(100ms, 5s), "zur", 2);
  ASSERT_EQ(updates.size(), 2);
  EXPECT_EQ(updates[0].value(0).title, "Zürich") << "the gazetteer while waiting";
  EXPECT_EQ(updates[1].value(0).title, "Zürich HB") << "then the server's answer";
}

TEST(PlaceSearchServiceFactory, ChoosesFromTheOptionText) {
  for (const char* good : {"", "offline", "http://127.0.0.1:2322", "https://geocoder.example/photon/"})
    EXPECT_TRUE(makePlaceSearchService(good).service) << good;
  for (const char* bad : {"ofline", "ftp://127.0.0.1/", "http://", "127.0.0.1:2322", "http://h/api?q=x"}) {
    const auto choice = makePlaceSearchService(bad);
    EXPECT_FALSE(choice.service) << bad;
    EXPECT_TRUE(choice.error.contains("--geocoder")) << bad;
  }
}

}  // namespace
}  // namespace kavrano
