#include "kavrano/qt_places/http_place_search_service.h"

#include <gtest/gtest.h>
#include <QTest>
#include <QUrlQuery>

#include "qt_printers.h"

#include "local_http_server.h"
#include "photon_answer.h"
#include "recording_completer_delegate.h"

namespace kavrano {
namespace {

using test::always;
using test::photonAnswer;
using test::photonServes;
using test::RecordingCompleterDelegate;
using namespace std::chrono_literals;

class HttpPlaceSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.listening());
    options_.baseUrl = QUrl(QString::fromLatin1(server_.baseUrl()));
    options_.timeout = 300ms;
    options_.debounce = 20ms;
  }

  // Runs a search to its end; fails the test if no completion comes.
  std::optional<QList<Coordinate>> searchFor(const QString& query) {
    HttpPlaceSearchService service(options_);
    int calls = 0;
    std::optional<QList<Coordinate>> answer;
    service.search(query, [&](auto matches) {
      ++calls;
      answer = std::move(matches);
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return calls > 0; }, 5000)) << "no completion";
    QTest::qWait(50);  // a second completion would come now
    EXPECT_EQ(calls, 1);
    return answer;
  }

  // A completer on a fresh service, reporting to `delegate_`.
  std::unique_ptr<PlaceCompleter> typing() {
    service_ = std::make_unique<HttpPlaceSearchService>(options_);
    auto completer = service_->makeCompleter();
    completer->setDelegate(&delegate_);
    return completer;
  }
  bool answered() {
    return QTest::qWaitFor([&] { return !delegate_.updates.isEmpty(); }, 5000);
  }

  LocalHttpServer server_;
  HttpGeocoderOptions options_;
  std::unique_ptr<HttpPlaceSearchService> service_;
  RecordingCompleterDelegate delegate_;
};

TEST_F(HttpPlaceSearch, SuggestionsComeFromThePhotonApi) {
  server_.setHandler(
      photonServes({{"Zürich", "Zürich", "Switzerland", 47.37, 8.54}, {"Zurich", "Zurich", "Canada", 43.42, -81.62}}));
  auto completer = typing();
  completer->setQueryFragment(QStringLiteral("zür & co, 5%2"));
  ASSERT_TRUE(answered());

  ASSERT_EQ(server_.requests.size(), 1);
  const QUrl url = server_.requests.front().url();
  EXPECT_EQ(url.path(), "/api");
  const QUrlQuery query(url);
  EXPECT_EQ(query.queryItemValue("q", QUrl::FullyDecoded), QStringLiteral("zür & co, 5%2"));
  EXPECT_EQ(query.queryItemValue("limit"), "10");
  EXPECT_TRUE(server_.requests.front().headers.value("user-agent").startsWith("Kavrano/"));

  const QList<PlaceSuggestion> expected{{"Zürich", "Switzerland"}, {"Zurich", "Canada"}};
  EXPECT_EQ(delegate_.updates.front(), expected);
  EXPECT_EQ(completer->results(), expected);
}

TEST_F(HttpPlaceSearch, TypingInABurstSendsOneRequestForTheLastFragmentAndABlankNone) {
  server_.setHandler(photonServes({{"Bern", "Bern", "Switzerland", 46.95, 7.45}}));
  options_.debounce = 150ms;
  auto completer = typing();
  for (const char* typed : {"b", "be", "ber", "bern"}) completer->setQueryFragment(QString::fromLatin1(typed));
  ASSERT_TRUE(answered());
  ASSERT_EQ(server_.requests.size(), 1);
  EXPECT_EQ(QUrlQuery(server_.requests.front().url()).queryItemValue("q"), "bern");

  // Clearing the field asks nobody and empties the list.
  completer->setQueryFragment(QStringLiteral("   "));
  ASSERT_TRUE(QTest::qWaitFor([&] { return delegate_.updates.size() == 2; }, 5000));
  QTest::qWait(200);
  EXPECT_EQ(server_.requests.size(), 1);
  EXPECT_EQ(delegate_.updates.size(), 2);
  EXPECT_TRUE(delegate_.updates.back().isEmpty());
}

TEST_F(HttpPlaceSearch, SlowAnswerOvertakenByANewerFragmentIsNeverShown) {
  server_.setHandler([](const LocalHttpServer::Request& r) {
    const bool old = QUrlQuery(r.url()).queryItemValue("q") == "ba";
    return old ? LocalHttpServer::Response{200, {}, photonAnswer({{"Bangkok", "", "Thailand", 13.75, 100.5}}), 400}
               : LocalHttpServer::Response{200, {}, photonAnswer({{"Basel", "", "Switzerland", 47.56, 7.57}}), 0};
  });
  auto completer = typing();
  completer->setQueryFragment(QStringLiteral("ba"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return server_.requests.size() == 1; }, 5000));
  completer->setQueryFragment(QStringLiteral("bas"));
  ASSERT_TRUE(answered());
  QTest::qWait(600);  // past the slow answer
  ASSERT_EQ(delegate_.updates.size(), 1);
  EXPECT_EQ(delegate_.updates.front(), (QList<PlaceSuggestion>{{"Basel", "Switzerland"}}));
  EXPECT_EQ(delegate_.failures, 0);
}

TEST_F(HttpPlaceSearch, LookupGivesEveryMatchInTheServersOrder) {
  server_.setHandler(photonServes({{"Springfield", "", "United States", 39.8, -89.64},
                                   {"Springfield", "", "United States", 37.21, -93.29},
                                   {"Springfield", "", "United States", 42.1, -72.59}}));
  const auto matches = searchFor(QStringLiteral("Springfield Illinois, United States"));
  ASSERT_TRUE(matches);
  ASSERT_EQ(matches->size(), 3);
  EXPECT_DOUBLE_EQ(matches->front().latitude, 39.8);
  EXPECT_DOUBLE_EQ(matches->front().longitude, -89.64);
  EXPECT_EQ(QUrlQuery(server_.requests.front().url()).queryItemValue("q", QUrl::FullyDecoded),
            "Springfield Illinois, United States");

  server_.setHandler(photonServes({}));
  const auto none = searchFor(QStringLiteral("Nowhere"));
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->isEmpty());
}

// Every way the network or the server can let us down is a failure, never a crash or a list.
TEST_F(HttpPlaceSearch, BadAnswersAreFailures) {
  const QByteArray huge = R"({"features":[)" + QByteArray(2 << 20, ' ') + "]}";
  const struct {
    const char* what;
    LocalHttpServer::Response response;
  } cases[] = {
      {"server error", {500, {}, photonAnswer({{"Bern", "", "Switzerland", 46.95, 7.45}}), 0}},
      {"not found", {404, {}, {}, 0}},
      {"timeout", {200, {}, {}, 0, true}},
      {"garbage", {200, {}, "<html>busy</html>", 0}},
      {"truncated", {200, {}, photonAnswer({{"Bern", "", "Switzerland", 46.95, 7.45}}).chopped(5), 0}},
      {"wrong type", {200, {}, R"({"features":{"0":1}})", 0}},
      {"array at top", {200, {}, "[1,2,3]", 0}},
      {"over the size cap", {200, {}, huge, 0}},
  };
  for (const auto& c : cases) {
    server_.setHandler(always(c.response));
    EXPECT_FALSE(searchFor(QStringLiteral("Bern"))) << c.what;
  }

  server_.setHandler(always({503, {}, {}}));
  auto completer = typing();
  completer->setQueryFragment(QStringLiteral("bern"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return delegate_.failures > 0; }, 5000));
  EXPECT_TRUE(delegate_.updates.isEmpty());
}

}  // namespace
}  // namespace kavrano
