// The saved list's reader against nlohmann-json as the reference: on fixtures and
// on thousands of damaged variants of them, both must accept and reject the same
// texts and read the same values.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <set>
#include <sstream>

#include "kavrano/core/persisted_measurement.h"

namespace kavrano {
namespace {

using Json = nlohmann::json;

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
  if (!ours) return;
  ASSERT_EQ(ours->size(), reference->size()) << text;
  for (std::size_t i = 0; i < ours->size(); ++i) {
    const auto &a = (*ours)[i], &b = (*reference)[i];
    EXPECT_EQ(a.id, b.id) << text;
    EXPECT_EQ(a.title, b.title) << text;
    EXPECT_EQ(a.date, b.date) << text;
    EXPECT_EQ(a.center.latitude, b.center.latitude) << text;
    EXPECT_EQ(a.center.longitude, b.center.longitude) << text;
    ASSERT_EQ(a.annotations.size(), b.annotations.size()) << text;
    for (std::size_t v = 0; v < a.annotations.size(); ++v) {
      EXPECT_EQ(a.annotations[v].latitude, b.annotations[v].latitude) << text;
      EXPECT_EQ(a.annotations[v].longitude, b.annotations[v].longitude) << text;
    }
  }
}

std::string fixture(const std::string& name) {
  std::ifstream in(std::string(KAVRANO_FIXTURES) + "/" + name, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(MeasurementJsonReader, AgreesWithTheReferenceOnEdgeTexts) {
  const char* texts[] = {
      "[]",
      " \t\r\n[ \n]\n",
      "[ ]x",
      "[,]",
      "[{}]",
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

TEST(MeasurementJsonReader, RefusesNestingDeeperThanItFollows) {
  std::string deep = R"([{"id":"a","date":0,"annotations":[],"title":"","center":{"latitude":0,"longitude":0},"x":)";
  deep += std::string(100000, '[') + std::string(100000, ']') + "}]";
  EXPECT_FALSE(decodeMeasurements(deep));  // and does not run out of stack
}

TEST(MeasurementJsonReader, AgreesWithTheReferenceOnDamagedTexts) {
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

}  // namespace
}  // namespace kavrano
