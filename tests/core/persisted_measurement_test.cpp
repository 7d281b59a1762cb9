#include "kavrano/core/persisted_measurement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

namespace kavrano {
namespace {

std::string fixture(const std::string& name) {
  std::ifstream in(std::string(KAVRANO_FIXTURES) + "/" + name, std::ios::binary);
  EXPECT_TRUE(in) << name;
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(MeasurementJson, ReadsTheSavedGarden) {
  const auto list = decodeMeasurements(fixture("garden.json"));
  ASSERT_TRUE(list);
  ASSERT_EQ(list->size(), 1u);
  const auto& m = list->front();
  EXPECT_EQ(m.id, "5F0C2A4E-9B1D-4C3A-8E2F-7A6B5C4D3E21");
  EXPECT_EQ(m.date, 730987200.0);
  EXPECT_EQ(m.title, "Garden");
  ASSERT_EQ(m.annotations.size(), 3u);
  EXPECT_EQ(m.annotations[0].latitude, -23.551);
  EXPECT_EQ(m.annotations[2].longitude, -46.634);
  EXPECT_EQ(m.center.latitude, -23.552);
  EXPECT_EQ(m.center.longitude, -46.633);
}

TEST(MeasurementJson, ToleratesOtherMembersOrderAndNumberForms) {
  const auto list = decodeMeasurements(fixture("tolerant_forms.json"));
  ASSERT_TRUE(list);
  ASSERT_EQ(list->size(), 2u);
  const auto& a = (*list)[0];
  EXPECT_EQ(a.id, "A");
  EXPECT_EQ(a.date, 730987200.25);
  EXPECT_TRUE(a.title.empty());
  EXPECT_TRUE(a.annotations.empty());
  EXPECT_EQ(a.center.latitude, -0.001);
  EXPECT_EQ(a.center.longitude, 25.0);
  const auto& b = (*list)[1];
  EXPECT_EQ(b.date, -150.0);
  EXPECT_EQ(b.title, "Caf\u00e9 \"north\"\n");
  ASSERT_EQ(b.annotations.size(), 1u);
  EXPECT_TRUE(std::signbit(b.annotations[0].latitude));
}

TEST(MeasurementJson, AnyFaultFailsTheWholeList) {
  for (const char* name : {"missing_center.json", "string_for_number.json", "number_for_string.json", "null_title.json",
                           "vertex_without_longitude.json", "top_level_object.json", "truncated.json",
                           "overflowing_number.json", "annotations_as_object.json"}) {
    EXPECT_FALSE(decodeMeasurements(fixture(name))) << name;
  }
  for (const char* text : {"", "[", "[]]", "[] x", "null", "\"[]\"", "[[]]", "[{}]", "[1]",
                           "[{\"id\":\"A\",\"date\":1,\"annotations\":[],\"title\":\"t\",\"center\":[1,2]}]",
                           "[{\"id\":\"\xFF\",\"date\":1,\"annotations\":[],\"title\":\"t\","
                           "\"center\":{\"latitude\":1,\"longitude\":2}}]"}) {
    EXPECT_FALSE(decodeMeasurements(text)) << text;
  }
  EXPECT_TRUE(decodeMeasurements(" [ ] \n")) << "an empty list with spacing is a list";
}

TEST(MeasurementJson, RoundTripKeepsEveryBitAndTheOrder) {
  std::mt19937_64 random(20260101);
  std::uniform_real_distribution<double> lat(-90, 90), lon(-180, 180), date(-1e9, 1e9);
  std::vector<PersistedMeasurement> list;
  for (int r = 0; r < 50; ++r) {
    PersistedMeasurement m{"ID-" + std::to_string(r), date(random), {}, "t\t\"\\/\x01" + std::to_string(r), {}};
    for (int v = 0; v < r % 7; ++v) m.annotations.push_back({lat(random), lon(random)});
    m.center = {lat(random), lon(random)};
    list.push_back(m);
  }
  list[0].annotations = {
      {std::nextafter(0.0, 1.0), -std::numeric_limits<double>::max()}, {-0.0, 1e-300}, {0.1, 1.0 / 3.0}};
  list[1].title = "Z\u00fcrich \u2013 S\u00e3o Paulo \U0001F30D";

  const auto json = encodeMeasurements(list);
  ASSERT_TRUE(json);
  EXPECT_TRUE(nlohmann::json::accept(*json)) << "the writer's text is plain JSON";
  const auto back = decodeMeasurements(*json);
  ASSERT_TRUE(back);
  ASSERT_EQ(back->size(), list.size());
  for (std::size_t i = 0; i < list.size(); ++i) {
    const auto &a = list[i], &b = (*back)[i];
    EXPECT_EQ(a.id, b.id);
    EXPECT_EQ(a.date, b.date);
    EXPECT_EQ(a.title, b.title);
    EXPECT_EQ(a.center.latitude, b.center.latitude);
    EXPECT_EQ(a.center.longitude, b.center.longitude);
    ASSERT_EQ(a.annotations.size(), b.annotations.size());
    for (std::size_t v = 0; v < a.annotations.size(); ++v) {
      EXPECT_EQ(a.annotations[v].latitude, b.annotations[v].latitude);
      EXPECT_EQ(std::signbit(a.annotations[v].latitude), std::signbit(b.annotations[v].latitude));
      EXPECT_EQ(a.annotations[v].longitude, b.annotations[v].longitude);
    }
  }
}

TEST(MeasurementJson, WritesExactlyTheFiveMembers) {
  const auto json = encodeMeasurements({{"X", 730987200, {{1, 2}}, "", {3, 4}}});
  ASSERT_TRUE(json);
  const auto doc = nlohmann::json::parse(*json);
  ASSERT_TRUE(doc.is_array());
  std::vector<std::string> keys;
  for (const auto& [key, value] : doc[0].items()) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<std::string>{"annotations", "center", "date", "id", "title"}));
  EXPECT_EQ(doc[0]["title"], "");
  EXPECT_EQ(doc[0]["center"], (nlohmann::json{{"latitude", 3}, {"longitude", 4}}));
  EXPECT_EQ(encodeMeasurements({}), "[]");
}

TEST(MeasurementJson, NonFiniteNumbersOrBrokenTextFailTheWholeEncoding) {
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  const PersistedMeasurement good{"A", 1, {{1, 2}}, "t", {1, 2}};
  std::vector<PersistedMeasurement> bad(5, good);
  bad[0].date = nan;
  bad[1].annotations[0].latitude = inf;
  bad[2].center.longitude = -inf;
  bad[3].title = "\xC3";       // truncated UTF-8
  bad[4].id = "\xED\xA0\x80";  // an encoded surrogate
  for (std::size_t i = 0; i < bad.size(); ++i) EXPECT_FALSE(encodeMeasurements({good, bad[i]})) << i;
}

}  // namespace
}  // namespace kavrano
