// The saved list's reader and writer. nlohmann-json is the reference reader: on
// fixtures and on thousands of damaged variants of them, both must accept and
// reject the same texts and read the same values.
#include "kavrano/core/persisted_measurement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <random>
#include <set>
#include <sstream>

namespace kavrano {
namespace {

using Json = nlohmann::json;

std::string fixture(const std::string& name) {
  std::ifstream in(std::string(KAVRANO_FIXTURES) + "/" + name, std::ios::binary);
  EXPECT_TRUE(in) << name;
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// With `bitwise`, -0 and 0 differ too.
void expectSameList(const std::vector<PersistedMeasurement>& ours, const std::vector<PersistedMeasurement>& theirs,
                    const std::string& context, bool bitwise = false) {
  auto same = [&](double a, double b) { return a == b && (!bitwise || std::signbit(a) == std::signbit(b)); };
  ASSERT_EQ(ours.size(), theirs.size()) << context;
  for (std::size_t i = 0; i < ours.size(); ++i) {
    const auto &a = ours[i], &b = theirs[i];
    EXPECT_EQ(a.id, b.id) << context;
    EXPECT_EQ(a.title, b.title) << context;
    EXPECT_TRUE(same(a.date, b.date)) << context;
    EXPECT_TRUE(same(a.center.latitude, b.center.latitude) && same(a.center.longitude, b.center.longitude)) << context;
    ASSERT_EQ(a.annotations.size(), b.annotations.size()) << context;
    for (std::size_t v = 0; v < a.annotations.size(); ++v) {
      EXPECT_TRUE(same(a.annotations[v].latitude, b.annotations[v].latitude) &&
                  same(a.annotations[v].longitude, b.annotations[v].longitude))
          << context << " vertex " << v;
    }
  }
}

bool readPoint(const Json& j, double& latitude, double& longitude) {
  if (!j.is_object() || !j.contains("latitude") || !j.contains("longitude")) return false;
  const Json &lat = j["latitude"], &lon = j["longitude"];
  if (!lat.is_number() || !lon.is_number()) return false;
  latitude = lat.get<double>();
  longitude = lon.get<double>();
  return std::isfinite(latitude) && std::isfinite(longitude);
}

std::optional<std::vector<PersistedMeasurement>> referenceDecode(std::string_view text) {
  const Json doc = Json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (doc.is_discarded() || !doc.is_array()) return std::nullopt;
  std::vector<PersistedMeasurement> list;
  for (const Json& r : doc) {
    if (!r.is_object()) return std::nullopt;
    for (const char* key : {"id", "date", "annotations", "title", "center"})
      if (!r.contains(key)) return std::nullopt;
    if (!r["id"].is_string() || !r["title"].is_string() || !r["date"].is_number() || !r["annotations"].is_array())
      return std::nullopt;
    PersistedMeasurement m{r["id"], r["date"].get<double>(), {}, r["title"], {}};
    if (!std::isfinite(m.date) || !readPoint(r["center"], m.center.latitude, m.center.longitude)) return std::nullopt;
    for (const Json& a : r["annotations"]) {
      PersistedAnnotation p;
      if (!readPoint(a, p.latitude, p.longitude)) return std::nullopt;
      m.annotations.push_back(p);
    }
    list.push_back(std::move(m));
  }
  return list;
}

// The reference keeps only the last of repeated members; the reader checks each
// as it comes. Such texts are left out of the comparison.
bool hasRepeatedMember(std::string_view text) {
  std::vector<std::set<std::string>> open;
  bool repeated = false;
  const Json ignored = Json::parse(
      text,
      [&](int, Json::parse_event_t event, Json& parsed) {
        if (event == Json::parse_event_t::object_start) open.emplace_back();
        if (event == Json::parse_event_t::object_end && !open.empty()) open.pop_back();
        if (event == Json::parse_event_t::key && !open.empty() && !open.back().insert(parsed.get<std::string>()).second)
          repeated = true;
        return true;
      },
      false);
  (void)ignored;
  return repeated;
}

void expectSameDecoding(const std::string& text) {
  const auto ours = decodeMeasurements(text);
  const auto reference = referenceDecode(text);
  if (ours.has_value() != reference.has_value() && hasRepeatedMember(text)) return;
  ASSERT_EQ(ours.has_value(), reference.has_value()) << "text: " << text;
  if (ours) expectSameList(*ours, *reference, text);
}

TEST(MeasurementJson, ReadsTheFixturesAsTheReferenceDoes) {
  for (const auto& [name, size] : {std::pair{"garden.json", 1u}, {"tolerant_forms.json", 2u}}) {
    const auto list = decodeMeasurements(fixture(name));
    ASSERT_TRUE(list) << name;
    EXPECT_EQ(list->size(), size) << name;
    expectSameDecoding(fixture(name));
  }
  EXPECT_TRUE(std::signbit(decodeMeasurements(fixture("tolerant_forms.json"))->at(1).annotations.at(0).latitude));
}

TEST(MeasurementJson, AnyFaultFailsTheWholeList) {
  for (const char* name : {"missing_center.json", "string_for_number.json", "number_for_string.json", "null_title.json",
                           "vertex_without_longitude.json", "top_level_object.json", "truncated.json",
                           "overflowing_number.json", "annotations_as_object.json"}) {
    EXPECT_FALSE(decodeMeasurements(fixture(name))) << name;
  }
  std::string deep = R"([{"id":"a","date":0,"annotations":[],"title":"","center":{"latitude":0,"longitude":0},"x":)";
  deep += std::string(100000, '[') + std::string(100000, ']') + "}]";
  EXPECT_FALSE(decodeMeasurements(deep));  // and does not run out of stack
}

TEST(MeasurementJson, AgreesWithTheReferenceOnEdgeTexts) {
  const char* texts[] = {
      "",
      "[",
      "[]]",
      "[] x",
      "null",
      "\"[]\"",
      "[[]]",
      "[1]",
      "[]",
      " \t\r\n[ \n]\n",
      "[,]",
      "[{}]",
      R"([{"id":"A","date":1,"annotations":[],"title":"t","center":[1,2]}])",
      "[{\"id\":\"\xFF\",\"date\":1,\"annotations\":[],\"title\":\"t\",\"center\":{\"latitude\":1,\"longitude\":2}}]",
      R"([{"id":"\u0041\ud83c\udf0d","date":0,"annotations":[],"title":"","center":{"latitude":0,"longitude":0}}])",
      R"([{"id":"\ud83c","date":0,"annotations":[],"title":"","center":{"latitude":0,"longitude":0}}])",
      R"([{"id":"\udf0d","date":0,"annotations":[],"title":"","center":{"latitude":0,"longitude":0}}])",
      R"([{"\u0069d":"escaped key","date":0,"annotations":[],"title":"","center":{"latitude":0,"longitude":0}}])",
      R"([{"id":"a","date":-0,"annotations":[],"title":"\u0000","center":{"latitude":1E+2,"longitude":-1e-2}}])",
      R"([{"id":"a","date":01,"annotations":[],"title":"","center":{"latitude":0,"longitude":0}}])",
      R"([{"id":"a","date":1.,"annotations":[],"title":"","center":{"latitude":0,"longitude":0}}])",
      R"([{"id":"a","date":.5,"annotations":[],"title":"","center":{"latitude":0,"longitude":0}}])",
      R"([{"id":"a","date":+1,"annotations":[],"title":"","center":{"latitude":0,"longitude":0}}])",
      R"([{"id":"a","date":1e-400,"annotations":[],"title":"","center":{"latitude":0,"longitude":0}}])",
      R"([{"id":"a","date":123456789012345678901234567890,"annotations":[],"title":"","center":{"latitude":0,"longitude":0}}])",
      R"([{"id":"a","date":9007199254740993,"annotations":[],"title":"","center":{"latitude":0,"longitude":0}}])",
      R"([{"id":"a","date":0,"annotations":[],"title":"tab	inside","center":{"latitude":0,"longitude":0}}])",
      R"([{"id":"a","date":0,"annotations":[],"title":"\x","center":{"latitude":0,"longitude":0}}])",
      R"([{"id":"a","date":0,"annotations":[],"title":"","center":{"latitude":0,"longitude":0},}])",
      R"([{"id":"a","date":0,"annotations":[,],"title":"","center":{"latitude":0,"longitude":0}}])",
      R"([{"id":"a","date":0,"annotations":[],"title":"","center":{"latitude":0,"longitude":0},"x":[tru]}])",
      R"([{"id":"a","date":0,"annotations":[],"title":"","center":{"latitude":0,"longitude":0},"x":[true,false,null,{"":[]}]}])",
  };
  for (const char* text : texts) expectSameDecoding(text);
}

TEST(MeasurementJson, AgreesWithTheReferenceOnDamagedTexts) {
  std::vector<std::string> seeds = {fixture("garden.json"), fixture("tolerant_forms.json"),
                                    fixture("missing_center.json"), fixture("vertex_without_longitude.json")};
  const std::string significant = "{}[],:\"\\0123456789-+.eEtfnul \t\n\xC3\xA9\xFF";
  std::mt19937 random(7);
  auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
  for (int round = 0; round < 20000; ++round) {
    std::string text = seeds[pick(seeds.size())];
    for (int edits = 1 + static_cast<int>(pick(3)); edits > 0; --edits) {
      const std::size_t at = pick(text.size());
      switch (pick(4)) {
        case 0:
          text.erase(at, 1);
          break;
        case 1:
          text.insert(at, 1, significant[pick(significant.size())]);
          break;
        case 2:
          text[at] = significant[pick(significant.size())];
          break;
        default:
          text.insert(at, text.substr(pick(text.size()), 1 + pick(8)));
          break;
      }
      if (text.empty()) text = "[";
    }
    expectSameDecoding(text);
    if (::testing::Test::HasFailure()) return;
  }
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
  EXPECT_TRUE(Json::accept(*json)) << "the writer's text is plain JSON";
  const auto back = decodeMeasurements(*json);
  ASSERT_TRUE(back);
  expectSameList(list, *back, "round trip", /*bitwise=*/true);
}

TEST(MeasurementJson, WritesExactlyTheFiveMembers) {
  const auto json = encodeMeasurements({{"X", 730987200, {{1, 2}}, "", {3, 4}}});
  ASSERT_TRUE(json);
  const auto doc = Json::parse(*json);
  ASSERT_TRUE(doc.is_array());
  std::vector<std::string> keys;
  for (const auto& [key, value] : doc[0].items()) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<std::string>{"annotations", "center", "date", "id", "title"}));
  EXPECT_EQ(doc[0]["title"], "");
  EXPECT_EQ(doc[0]["center"], (Json{{"latitude", 3}, {"longitude", 4}}));
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
