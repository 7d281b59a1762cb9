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

using test::photonAnswer;
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
  QList<PlaceSuggestion> suggestionsFor(PlaceSearchService& service, const QString& fragment) {
    auto completer = service.makeCompleter();
    RecordingCompleterDelegate delegate;
    completer->setDelegate(&delegate);
    completer->setQueryFragment(fragment);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !delegate.updates.isEmpty(); }, 5000));
    return delegate.updates.value(0);
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
  server_.setHandler([](const auto&) {
    return LocalHttpServer::Response{200, {}, photonAnswer({{"Zürich HB", "Zürich", "Switzerland", 47.378, 8.540}})};
  });
  auto service = onlineThenOffline();
  EXPECT_EQ(suggestionsFor(*service, "zur").value(0).title, "Zürich HB");
  EXPECT_DOUBLE_EQ(searchFor(*service, "Zürich HB Zürich, Switzerland")->value(0).latitude, 47.378);

  // "Nothing found" is an answer, not a failure.
  server_.setHandler([](const auto&) { return LocalHttpServer::Response{200, {}, photonAnswer({})}; });
  EXPECT_TRUE(suggestionsFor(*service, "zur").isEmpty());
  EXPECT_TRUE(searchFor(*service, "Zürich Zurich, Switzerland")->isEmpty());
}

TEST_F(FallbackPlaceSearch, TheGazetteerAnswersWhenTheServerFails) {
  server_.setHandler([](const auto&) { return LocalHttpServer::Response{500, {}, {}, 0}; });
  auto service = onlineThenOffline();
  const auto suggestions = suggestionsFor(*service, "sao p");
  ASSERT_FALSE(suggestions.isEmpty());
  EXPECT_EQ(suggestions.front(), (PlaceSuggestion{"São Paulo", "São Paulo, Brazil"}));

  // A server that swallows requests: the gazetteer answers once patience runs
  // out, long before the request's own timeout.
  server_.setHandler([](const auto&) { return LocalHttpServer::Response{200, {}, {}, 0, true}; });
  auto patient = onlineThenOffline(100ms, 60s);
  const auto matches = searchFor(*patient, "Zürich Zurich, Switzerland");
  ASSERT_TRUE(matches);
  ASSERT_FALSE(matches->isEmpty());
  EXPECT_NEAR(matches->front().latitude, 47.367, 1e-2);
}

TEST_F(FallbackPlaceSearch, ASlowServerIsCoveredByTheGazetteerUntilItAnswers) {
  server_.setHandler([](const auto&) {
    return LocalHttpServer::Response{
        200, {}, photonAnswer({{"Zürich HB", "Zürich", "Switzerland", 47.378, 8.540}}), 500};
  });
  auto service = onlineThenOffline(100ms, 5s);
  auto completer = service->makeCompleter();
  RecordingCompleterDelegate delegate;
  completer->setDelegate(&delegate);
  completer->setQueryFragment("zur");
  ASSERT_TRUE(QTest::qWaitFor([&] { return delegate.updates.size() == 2; }, 5000));
  EXPECT_EQ(delegate.updates[0].value(0).title, "Zürich") << "the gazetteer while waiting";
  EXPECT_EQ(delegate.updates[1].value(0).title, "Zürich HB") << "then the server's answer";
}

TEST(PlaceSearchServiceFactory, ChoosesFromTheOptionText) {
  EXPECT_TRUE(makePlaceSearchService("").service);
  EXPECT_TRUE(makePlaceSearchService("offline").service);
  EXPECT_TRUE(makePlaceSearchService("http://127.0.0.1:2322").service);
  EXPECT_TRUE(makePlaceSearchService("https://geocoder.example/photon/").service);
  for (const char* bad : {"ofline", "ftp://127.0.0.1/", "http://", "127.0.0.1:2322", "http://h/api?q=x"}) {
    const auto choice = makePlaceSearchService(bad);
    EXPECT_FALSE(choice.service) << bad;
    EXPECT_TRUE(choice.error.contains("--geocoder")) << bad;
  }
}

}  // namespace
}  // namespace kavrano
