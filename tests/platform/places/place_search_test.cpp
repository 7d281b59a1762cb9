// Place search: against a local Photon server, the gazetteer behind it, the
// reader of Photon's answers, the choice of service from the option text, and
// the gazetteer itself with the folding of names it is keyed by.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <QUrlQuery>
#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

#include "qt_printers.h"

#include "kavrano/qt_places/fallback_place_search_service.h"
#include "kavrano/qt_places/gazetteer_format.h"
#include "kavrano/qt_places/gazetteer_index.h"
#include "kavrano/qt_places/gazetteer_index_writer.h"
#include "kavrano/qt_places/gazetteer_place_search_service.h"
#include "kavrano/qt_places/http_place_search_service.h"
#include "kavrano/qt_places/photon_response_reader.h"
#include "kavrano/qt_places/place_name_folder.h"
#include "kavrano/qt_places/place_search_service_factory.h"
#include "kavrano/qt_places/shipped_gazetteer.h"
#include "local_http_server.h"
#include "process_probe.h"

namespace kavrano {
namespace {

using namespace std::chrono_literals;
using ms = std::chrono::milliseconds;
using Response = LocalHttpServer::Response;

QByteArray feature(const QByteArray& properties, const QByteArray& coordinates = "[8.54, 47.37]") {
  return R"({"type":"Feature","geometry":{"type":"Point","coordinates":)" + coordinates + R"(},"properties":)" +
         properties + "}";
}
QByteArray collection(const QByteArrayList& features) {
  return R"({"type":"FeatureCollection","features":[)" + features.join(',') + "]}";
}
struct Place {
  const char *name, *city, *country;
  double latitude, longitude;
};
QByteArray photon(std::initializer_list<Place> places) {
  QByteArrayList features;
  for (const Place& p : places)
    features << feature(
        QString::asprintf(R"({"name":"%s","city":"%s","country":"%s"})", p.name, p.city, p.country).toUtf8(),
        QString::asprintf("[%g, %g]", p.longitude, p.latitude).toUtf8());
  return collection(features);
}
LocalHttpServer::Handler always(const Response& r) {
  return [r](const LocalHttpServer::Request&) { return r; };
}
LocalHttpServer::Handler serves(std::initializer_list<Place> places, int delayMs = 0) {
  return always({200, {}, photon(places), delayMs});
}

class PlaceSearch : public ::testing::Test, public PlaceCompleterDelegate {
 protected:
  void completerDidUpdateResults(PlaceCompleter& completer) override { updates << completer.results(); }
  void completerDidFail(PlaceCompleter&) override { ++failures; }

  std::shared_ptr<PlaceSearchService> online(ms debounce = 20ms, ms timeout = 300ms) {
    return std::make_shared<HttpPlaceSearchService>(
        HttpGeocoderOptions{QUrl(QString::fromLatin1(server_.baseUrl())), timeout, debounce});
  }
  std::shared_ptr<PlaceSearchService> onlineThenOffline(ms patience = 2s, ms timeout = 300ms) {
    return std::make_shared<FallbackPlaceSearchService>(
        online(10ms, timeout), std::make_shared<GazetteerPlaceSearchService>(GazetteerIndexSource(&shippedGazetteer)),
        patience);
  }
  // A new completer reporting here, with its reports so far forgotten.
  PlaceCompleter& completer(std::shared_ptr<PlaceSearchService> service) {
    updates.clear();
    completer_.reset();
    service_ = std::move(service);
    completer_ = service_->makeCompleter();
    completer_->setDelegate(this);
    return *completer_;
  }
  bool reported(qsizetype n = 1) {
    return QTest::qWaitFor([&] { return updates.size() >= n; }, 5000);
  }
  QList<PlaceSuggestion> suggestionsFor(std::shared_ptr<PlaceSearchService> service, const QString& fragment) {
    completer(std::move(service)).setQueryFragment(fragment);
    EXPECT_TRUE(reported());
    return updates.value(0);
  }
  // Runs a search to its one completion.
  std::optional<QList<Coordinate>> searchFor(PlaceSearchService& service, const QString& query) {
    // Shared: a faulty second completion may come after this returns.
    auto answers = std::make_shared<QList<std::optional<QList<Coordinate>>>>();
    service.search(query, [answers](auto matches) { *answers << matches; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return !answers->isEmpty(); }, 5000)) << "no completion";
    QTest::qWait(50);  // a second completion would come now
    EXPECT_EQ(answers->size(), 1);
    return answers->value(0);
  }

  LocalHttpServer server_;
  std::shared_ptr<PlaceSearchService> service_;
  std::unique_ptr<PlaceCompleter> completer_;
  QList<QList<PlaceSuggestion>> updates;
  int failures = 0;
};

// Through the fallback, which must pass the server's answers on untouched.
TEST_F(PlaceSearch, SuggestionsAndLookupsComeFromThePhotonApiAndNothingFoundIsAnAnswer) {
  server_.setHandler(
      serves({{"Zürich", "Zürich", "Switzerland", 47.37, 8.54}, {"Zurich", "Zurich", "Canada", 43.42, -81.62}}));
  auto service = onlineThenOffline();
  const QList<PlaceSuggestion> expected{{"Zürich", "Switzerland"}, {"Zurich", "Canada"}};
  EXPECT_EQ(suggestionsFor(service, QStringLiteral("zür & co, 5%2")), expected);
  ASSERT_EQ(server_.requests.size(), 1);
  const QUrl url = server_.requests.front().url();
  EXPECT_EQ(url.path(), "/api");
  EXPECT_EQ(QUrlQuery(url).queryItemValue("q", QUrl::FullyDecoded), QStringLiteral("zür & co, 5%2"));
  EXPECT_EQ(QUrlQuery(url).queryItemValue("limit"), "10");
  EXPECT_TRUE(server_.requests.front().headers.value("user-agent").startsWith("Kavrano/"));

  server_.setHandler(serves({{"Springfield", "", "United States", 39.8, -89.64},
                             {"Springfield", "", "United States", 37.21, -93.29},
                             {"Springfield", "", "United States", 42.1, -72.59}}));
  const auto matches = searchFor(*service, QStringLiteral("Springfield Illinois, United States"));
  ASSERT_TRUE(matches && matches->size() == 3);
  EXPECT_DOUBLE_EQ(matches->front().latitude, 39.8) << "the server's order";
  EXPECT_DOUBLE_EQ(matches->front().longitude, -89.64);
  EXPECT_EQ(QUrlQuery(server_.requests.last().url()).queryItemValue("q", QUrl::FullyDecoded),
            "Springfield Illinois, United States");

  server_.setHandler(serves({}));
  EXPECT_TRUE(suggestionsFor(service, "zur").isEmpty());
  EXPECT_TRUE(searchFor(*service, "Nowhere Lane 7, Atlantis")->isEmpty());
}

TEST_F(PlaceSearch, TypingAsksOnceForTheLastFragmentABlankAsksNobodyAndOvertakenAnswersAreNeverShown) {
  server_.setHandler([](const LocalHttpServer::Request& r) {
    const QString q = QUrlQuery(r.url()).queryItemValue("q");
    if (q == "bern") return Response{200, {}, photon({{"Bern", "Bern", "Switzerland", 46.95, 7.45}})};
    return q == "ba" ? Response{200, {}, photon({{"Bangkok", "", "Thailand", 13.75, 100.5}}), 400}
                     : Response{200, {}, photon({{"Basel", "", "Switzerland", 47.56, 7.57}})};
  });
  PlaceCompleter& typing = completer(online(150ms));
  for (const char* typed : {"b", "be", "ber", "bern"}) typing.setQueryFragment(QString::fromLatin1(typed));
  ASSERT_TRUE(reported());
  ASSERT_EQ(server_.requests.size(), 1);
  EXPECT_EQ(QUrlQuery(server_.requests.front().url()).queryItemValue("q"), "bern");
  typing.setQueryFragment(QStringLiteral("   "));
  ASSERT_TRUE(reported(2));
  QTest::qWait(200);
  EXPECT_EQ(server_.requests.size(), 1);
  EXPECT_EQ(updates, (QList<QList<PlaceSuggestion>>{{{"Bern", "Switzerland"}}, {}}));

  // The slow answer for "ba" comes after the one for "bas".
  typing.setQueryFragment(QStringLiteral("ba"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return server_.requests.size() == 2; }, 5000));
  typing.setQueryFragment(QStringLiteral("bas"));
  ASSERT_TRUE(reported(3));
  QTest::qWait(600);
  EXPECT_EQ(updates.mid(2), (QList<QList<PlaceSuggestion>>{{{"Basel", "Switzerland"}}}));
  EXPECT_EQ(failures, 0);
}

// Every way the network or the server can let us down is a failure, never a crash or a list.
TEST_F(PlaceSearch, BadAnswersAreFailures) {
  const QByteArray bern = photon({{"Bern", "", "Switzerland", 46.95, 7.45}});
  const std::pair<const char*, Response> cases[] = {
      {"server error", {500, {}, bern}},
      {"not found", {404, {}, {}}},
      {"timeout", {200, {}, {}, 0, true}},
      {"garbage", {200, {}, "<html>busy</html>"}},
      {"truncated", {200, {}, bern.chopped(5)}},
      {"wrong type", {200, {}, R"({"features":{"0":1}})"}},
      {"array at top", {200, {}, "[1,2,3]"}},
      {"over the size cap", {200, {}, R"({"features":[)" + QByteArray(2 << 20, ' ') + "]}"}},
  };
  auto service = online();
  for (const auto& [what, response] : cases) {
    server_.setHandler(always(response));
    EXPECT_FALSE(searchFor(*service, QStringLiteral("Bern"))) << what;
  }
  server_.setHandler(always({503, {}, {}}));
  completer(service).setQueryFragment(QStringLiteral("bern"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return failures > 0; }, 5000));
  EXPECT_TRUE(updates.isEmpty());
}

// Whatever a server does, a search fails and suggestions fail: memory stays
// within a bound and the UI thread keeps serving events.
TEST_F(PlaceSearch, HostileServersCostBoundedMemoryWhileTheUiThreadKeepsServingEvents) {
  auto service = online();
  for (const auto mode : LocalHttpServer::kEveryHostile) {
    SCOPED_TRACE(LocalHttpServer::name(mode));
    (void)LocalHttpServer::hostile(mode, {});  // the bombs are made once, before the clock runs
    server_.setHandler([mode](const LocalHttpServer::Request& r) { return LocalHttpServer::hostile(mode, r); });
    const qint64 before = residentBytes();
    const Heartbeat heart;
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(searchFor(*service, QStringLiteral("Bern")));
    failures = 0;
    completer(service).setQueryFragment(QStringLiteral("bern"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return failures > 0; }, 5000));
    EXPECT_TRUE(updates.isEmpty());
    EXPECT_LE(residentBytes() - before, 50LL << 20);
    // A free UI thread beats every 10 ms, a held-up one hardly ever; the margin
    // is for a busy machine.
    EXPECT_GE(heart.beats(), clock.elapsed() / 200) << "in " << clock.elapsed() << " ms";
  }
}

TEST_F(PlaceSearch, TheGazetteerAnswersWhenTheServerFailsOrIsSlow) {
  server_.setHandler(always({500, {}, {}}));
  EXPECT_EQ(suggestionsFor(onlineThenOffline(), "sao p").value(0), (PlaceSuggestion{"São Paulo", "São Paulo, Brazil"}));

  // A server that swallows requests: the gazetteer answers once patience runs
  // out, long before the request's own timeout.
  server_.setHandler(always({200, {}, {}, 0, true}));
  const auto matches = searchFor(*onlineThenOffline(100ms, 60s), "Zürich Zurich, Switzerland");
  ASSERT_TRUE(matches && !matches->isEmpty());
  EXPECT_NEAR(matches->front().latitude, 47.367, 1e-2);

  // A slow server is covered by the gazetteer until it answers.
  server_.setHandler(serves({{"Zürich HB", "Zürich", "Switzerland", 47.378, 8.540}}, 500));
  completer(onlineThenOffline(100ms, 5s)).setQueryFragment("zur");
  ASSERT_TRUE(reported(2));
  EXPECT_EQ(updates[0].value(0).title, "Zürich") << "the gazetteer while waiting";
  EXPECT_EQ(updates[1].value(0).title, "Zürich HB") << "then the server's answer";
}

// "no answer", or the matches as "[lat lon, ...]".
std::string described(const std::optional<QList<Coordinate>>& matches) {
  if (!matches) return "no answer";
  std::string out = "[";
  for (const Coordinate& c : *matches) out += std::to_string(c.latitude) + " " + std::to_string(c.longitude) + ", ";
  return out + "]";
}

/// A place source with one answer, given after a pause.
class ScriptedSearch : public PlaceSearchService {
 public:
  ScriptedSearch(std::optional<QList<Coordinate>> answer, int delayMs)
      : answer_(std::move(answer)), delayMs_(delayMs) {}
  std::unique_ptr<PlaceCompleter> makeCompleter() override { return nullptr; }
  void search(const QString&, SearchCompletion completion) override {
    QTimer::singleShot(delayMs_, [answer = answer_, completion] { completion(answer); });
  }

 private:
  std::optional<QList<Coordinate>> answer_;
  int delayMs_;
};

// The online answer is 300 ms late (patience: 100 ms); the offline one comes at once.
TEST_F(PlaceSearch, ALookupTakesTheFirstAnswerThatFoundSomethingAndNoMatchWaitsForBoth) {
  const QList<Coordinate> street{{47.3717, 8.5393}}, town{{47.37, 8.54}};
  struct Case {
    const char* what;
    Response online;
    std::optional<QList<Coordinate>> offline;
    std::optional<QList<Coordinate>> expected;
  };
  const Response slowStreet{200, {}, photon({{"Bahnhofstrasse 12", "Zürich", "Switzerland", 47.3717, 8.5393}}), 300};
  const Case cases[] = {
      {"online slow and found, offline empty", slowStreet, QList<Coordinate>{}, street},
      {"online slow and found, offline failing", slowStreet, std::nullopt, street},
      {"online slow, offline found first", slowStreet, town, town},
      {"online slow and empty, offline empty", {200, {}, photon({}), 300}, QList<Coordinate>{}, QList<Coordinate>{}},
      {"online failing, offline empty", {503, {}, {}}, QList<Coordinate>{}, QList<Coordinate>{}},
      {"both failing", {503, {}, {}, 300}, std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    server_.setHandler(always(c.online));
    FallbackPlaceSearchService service(online(10ms, 2s), std::make_shared<ScriptedSearch>(c.offline, 0), 100ms);
    EXPECT_EQ(described(searchFor(service, QStringLiteral("Bahnhofstrasse 12 Zürich"))), described(c.expected))
        << c.what;
  }
}

TEST(PlaceSearchServiceFactory, ChoosesFromTheOptionText) {
  for (const char* good : {"", "offline", "http://127.0.0.1:2322", "https://geocoder.example/photon/"})
    EXPECT_TRUE(makePlaceSearchService(good).service) << good;
  for (const char* bad : {"ofline", "ftp://127.0.0.1/", "http://", "127.0.0.1:2322", "http://h/api?q=x"}) {
    const auto choice = makePlaceSearchService(bad);
    EXPECT_TRUE(!choice.service && choice.error.contains("--geocoder")) << bad << ": " << choice.error.toStdString();
  }
}

// OSM fields become title over subtitle, nearest part of the address first;
// features that cannot be shown are skipped.
TEST(PhotonResponseReader, TitlesAndSubtitlesFromTheAddressFieldsAndUnusableFeaturesSkipped) {
  const std::pair<QByteArray, PlaceSuggestion> cases[] = {
      {R"({"name":"Zürich","state":"Zurich","country":"Switzerland"})", {"Zürich", "Zurich, Switzerland"}},
      {R"({"name":"Zürich","city":"Zürich","state":"Zürich","country":"Switzerland"})", {"Zürich", "Switzerland"}},
      {R"({"name":"Kunsthaus","street":"Heimplatz","housenumber":"1","city":"Zürich","country":"Switzerland"})",
       {"Kunsthaus", "Heimplatz 1, Zürich, Switzerland"}},
      {R"({"street":"Bahnhofstrasse","housenumber":"12","city":"Zürich","country":"Switzerland"})",
       {"Bahnhofstrasse 12", "Zürich, Switzerland"}},
      {R"({"country":"Switzerland"})", {"Switzerland", ""}},
      {R"({"name":"  Bern \n","country":7,"state":null})", {"Bern", ""}},  // wrong types count as absent
  };
  for (const auto& [properties, expected] : cases) {
    const auto places = PhotonResponseReader::read(collection({feature(properties)}));
    ASSERT_TRUE(places && places->size() == 1) << properties.constData();
    EXPECT_EQ(places->front().suggestion, expected) << properties.constData();
  }
  const auto places = PhotonResponseReader::read(collection({
      feature(R"({"name":"No point"})", "[]"),
      feature(R"({"name":"Text point"})", R"(["8.5", "47.3"])"),
      feature(R"({"name":"Off the globe"})", "[8.5, 91]"),
      feature(R"({"name":"Past the antimeridian"})", "[180.5, 10]"),
      feature(R"({"osm_key":"place"})"),
      feature(R"("not an object")"),
      "42",
      feature(R"({"name":"Kept"})"),
  }));
  ASSERT_TRUE(places && places->size() == 1);
  EXPECT_EQ(places->front().suggestion.title, "Kept");
}

// "name, subtitle" of a place, or of the first of some, or "none".
std::string titled(const GazetteerPlace& p) { return std::string(p.name) + ", " + std::string(p.subtitle); }
std::string first(const std::vector<GazetteerPlace>& places) { return places.empty() ? "none" : titled(places[0]); }

std::span<const std::byte> bytesOf(const std::string& s) { return std::as_bytes(std::span(s)); }

// The index that ships: what users get when they type.
TEST(ShippedGazetteer, PrefixesIgnoreAccentsAndCaseMostPopulousFirstAndLookupsFindTheSuggestedPlace) {
  const auto index = shippedGazetteer();
  ASSERT_NE(index, nullptr) << "the gazetteer resource is missing or unreadable";
  EXPECT_GT(index->size(), 125'000u) << "the world's towns of a thousand";
  const auto zur = index->suggestions("zur", 10);
  ASSERT_EQ(first(zur), "Zürich, Zurich, Switzerland");
  EXPECT_LT(std::hypot(zur.front().coordinate.latitude - 47.36667, zur.front().coordinate.longitude - 8.55), 1e-3);
  for (const char* typed : {"sao p", "SÃO P"})
    EXPECT_EQ(first(index->suggestions(typed, 10)), "São Paulo, São Paulo, Brazil") << typed;
  // A country code alone would fail here: subtitles name the country.
  EXPECT_EQ(first(index->suggestions("paris", 1)), "Paris, Île-de-France, France");
  for (const char* nothing : {"", "  -  ", "qxqzv"}) EXPECT_TRUE(index->suggestions(nothing, 10).empty()) << nothing;
  EXPECT_TRUE(index->suggestions("zur", 0).empty());

  // Title, space, subtitle: what the place search asks for.
  const auto zurich = index->lookUp("Zürich Zurich, Switzerland", 5);
  EXPECT_EQ(zurich.size(), 1u);
  EXPECT_EQ(first(zurich), "Zürich, Zurich, Switzerland");
  // "Paris Texas" style: the subtitle picks the smaller namesake.
  const auto texan = index->lookUp("Paris Texas, United States", 5);
  ASSERT_FALSE(texan.empty());
  EXPECT_NEAR(texan.front().coordinate.longitude, -95.55, 0.05);
  // A bare name, or one with a subtitle from another source, takes the biggest place of that name.
  EXPECT_EQ(first(index->lookUp("Paris ", 5)), "Paris, Île-de-France, France");
  EXPECT_EQ(first(index->lookUp("São Paulo Centro, SP, Brasil", 5)), "São Paulo, São Paulo, Brazil");
  EXPECT_EQ(first(index->lookUp("Nowhere-at-all Moon", 5)), "none");
  EXPECT_EQ(first(index->lookUp("", 5)), "none");
}

// Indexes built here, for the orders and edges the real data cannot pin down.
TEST(GazetteerIndex, MergesDuplicatesAndKeepsTheMostPopulous) {
  GazetteerIndexWriter writer;
  writer.add("Springfield", "Illinois, United States", {39.8, -89.64}, 114'000);
  writer.add("Springfield", "Illinois, United States", {39.9, -89.70}, 1'200);  // a second GeoNames entry
  writer.add("Springfield", "Missouri, United States", {37.21, -93.29}, 169'000);
  writer.add("Springvale", "Victoria, Australia", {-37.95, 145.15}, 20'000);
  writer.add("Spring", "Texas, United States", {30.08, -95.42}, 62'000);
  const std::string bytes = writer.build();
  const auto index = GazetteerIndex::open(bytesOf(bytes));
  ASSERT_TRUE(index);
  EXPECT_EQ(index->size(), 4u);

  const auto spring = index->suggestions("spring", 10);
  std::vector<std::string> order;
  for (const auto& p : spring) order.push_back(titled(p));
  ASSERT_EQ(order,
            (std::vector<std::string>{"Springfield, Missouri, United States", "Springfield, Illinois, United States",
                                      "Spring, Texas, United States", "Springvale, Victoria, Australia"}));
  EXPECT_EQ(spring[1].population, 114'000u);
  EXPECT_NEAR(spring[1].coordinate.latitude, 39.8, 1e-5);  // the index's resolution
  EXPECT_EQ(index->suggestions("spring", 2).size(), 2u);

  // The exact name comes before longer names that start with it.
  const auto exact = index->lookUp("Spring", 10);
  EXPECT_EQ(exact.size(), 1u);
  EXPECT_EQ(first(exact), "Spring, Texas, United States");
}

TEST(GazetteerIndex, RefusesBytesThatAreNotAnIndex) {
  GazetteerIndexWriter writer;
  writer.add("Bern", "Bern, Switzerland", {46.95, 7.45}, 121'000);
  writer.add("Basel", "Basel-City, Switzerland", {47.56, 7.57}, 164'000);
  const std::string good = writer.build();
  const auto opens = [&](const std::function<void(std::string&)>& damage) {
    std::string bytes = good;
    damage(bytes);
    return GazetteerIndex::open(bytesOf(bytes)).has_value();
  };
  const std::size_t r = gazetteer_format::kHeaderSize, n = gazetteer_format::kRecordSize;
  EXPECT_TRUE(opens([](std::string&) {}));
  EXPECT_FALSE(GazetteerIndex::open({}));
  EXPECT_FALSE(opens([](std::string& b) { b.pop_back(); })) << "texts cut short";
  EXPECT_FALSE(opens([](std::string& b) { b[4] = 2; })) << "a newer version";
  // 1,000,000 as the first name's offset, little-endian.
  EXPECT_FALSE(opens([&](std::string& b) {
    b.replace(r + gazetteer_format::field::kNameOffset, 4, "\x40\x42\x0f\0", 4);
  })) << "a name outside the texts";
  // Swapped records break the key order binary search needs.
  EXPECT_FALSE(opens([&](std::string& b) { std::swap_ranges(b.begin() + r, b.begin() + r + n, b.begin() + r + n); }));
}

// What people type | how places are spelt: every pair must fold alike. Other
// scripts keep their letters, case folded; invalid UTF-8 bytes are dropped.
TEST(PlaceNameFolder, FoldsSpellingsTogether) {
  for (const std::string_view c :
       {"Zürich|zurich", "São Paulo|sao paulo", "Saint-Étienne|saint etienne", "Łódź|lodz", "Straße|strasse",
        "Đà Nẵng|da nang", "Ærøskøbing|aeroskobing", "N'Djamena|ndjamena", "St. Louis|st louis", "İstanbul|istanbul",
        "  new   york  |new york", "Москва|москва", "|", " - ' . |", "\xff\xfe|", "Z\xffurich|zurich"})
    EXPECT_EQ(PlaceNameFolder::fold(c.substr(0, c.find('|'))), c.substr(c.find('|') + 1)) << c;
}

}  // namespace
}  // namespace kavrano

// The network and queued answers need an event loop.
int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
