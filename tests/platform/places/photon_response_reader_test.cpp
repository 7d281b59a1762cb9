#include "kavrano/qt_places/photon_response_reader.h"

#include <gtest/gtest.h>

#include "qt_printers.h"

namespace kavrano {
namespace {

QByteArray feature(const QByteArray& properties, const QByteArray& coordinates = "[8.54, 47.37]") {
  return R"({"type":"Feature","geometry":{"type":"Point","coordinates":)" + coordinates + R"(},"properties":)" +
         properties + "}";
}
QByteArray collection(const QList<QByteArray>& features) {
  QByteArray joined;
  for (const auto& f : features) joined += (joined.isEmpty() ? "" : ",") + f;
  return R"({"type":"FeatureCollection","features":[)" + joined + "]}";
}

// How OSM fields become title over subtitle, nearest part of the address first.
TEST(PhotonResponseReader, TitlesAndSubtitlesFromTheAddressFields) {
  const struct {
    QByteArray properties;
    PlaceSuggestion expected;
  } cases[] = {
      {R"({"name":"Zürich","state":"Zurich","country":"Switzerland"})", {"Zürich", "Zurich, Switzerland"}},
      {R"({"name":"Zürich","city":"Zürich","state":"Zürich","country":"Switzerland"})", {"Zürich", "Switzerland"}},
      {R"({"name":"Kunsthaus","street":"Heimplatz","housenumber":"1","city":"Zürich","country":"Switzerland"})",
       {"Kunsthaus", "Heimplatz 1, Zürich, Switzerland"}},
      {R"({"street":"Bahnhofstrasse","housenumber":"12","city":"Zürich","country":"Switzerland"})",
       {"Bahnhofstrasse 12", "Zürich, Switzerland"}},
      {R"({"country":"Switzerland"})", {"Switzerland", ""}},
      {R"({"name":"  Bern \n","country":7,"state":null})", {"Bern", ""}},  // wrong types count as absent
  };
  for (const auto& c : cases) {
    const auto places = PhotonResponseReader::read(collection({feature(c.properties)}));
    ASSERT_TRUE(places) << c.properties.constData();
    ASSERT_EQ(places->size(), 1) << c.properties.constData();
    EXPECT_EQ(places->front().suggestion, c.expected) << c.properties.constData();
  }
  const auto bern = PhotonResponseReader::read(collection({feature(R"({"name":"Bern"})", "[7.45, 46.95]")}));
  EXPECT_DOUBLE_EQ(bern->front().coordinate.latitude, 46.95);
  EXPECT_DOUBLE_EQ(bern->front().coordinate.longitude, 7.45);
}

TEST(PhotonResponseReader, UnusableFeaturesAreSkipped) {
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
  ASSERT_TRUE(places);
  ASSERT_EQ(places->size(), 1);
  EXPECT_EQ(places->front().suggestion.title, "Kept");
}

}  // namespace
}  // namespace kavrano
