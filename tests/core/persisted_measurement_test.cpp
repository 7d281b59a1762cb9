// The saved list: its reader and writer, and the manager that keeps it in the preferences.
// nlohmann-json is the reference reader: on fixtures and on thousands of damaged variants
// of them, both must accept and reject the same texts and read the same values.
#include "kavrano/core/persisted_measurement.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>
#include <nlohmann/json.hpp>
#include <random>
#include <set>
#include <tuple>

#include "kavrano/core/memory_preference_store.h"
#include "kavrano/core/persistance_manager.h"
#include "measurement_json_reference.h"

namespace kavrano {
namespace {

using Json = nlohmann::json;

std::string fixture(const std::string& name) {
  std::ifstream in(std::string(KAVRANO_FIXTURES) + "/" + name, std::ios::binary);
  EXPECT_TRUE(in) << name;
  return {std::istreambuf_iterator<char>(in), {}};
}

void expectSameDecoding(const std::string& text) {
  const auto ours = decodeMeasurements(text);
  const auto reference = referenceDecode(text);
  if (ours.has_value() != reference.has_value() && hasRepeatedMember(text)) return;
  ASSERT_EQ(ours.has_value(), reference.has_value()) << "text: " << text;
  if (!ours) return;
  EXPECT_EQ(toJson(*ours), *reference) << "text: " << text;
}

TEST(MeasurementJson, ReadsTheFixturesAsTheReferenceDoesAndAnyFaultFailsTheWholeList) {
  for (const char* name : {"garden.json", "tolerant_forms.json"}) {
    EXPECT_TRUE(decodeMeasurements(fixture(name))) << name;
    expectSameDecoding(fixture(name));
  }
  EXPECT_TRUE(std::signbit(decodeMeasurements(fixture("tolerant_forms.json"))->at(1).annotations.at(0).latitude));

  for (const char* name : {"missing_center.json", "string_for_number.json", "number_for_string.json", "null_title.json",
                           "vertex_without_longitude.json", "top_level_object.json", "truncated.json",
                           "overflowing_number.json", "annotations_as_object.json"}) {
    EXPECT_FALSE(decodeMeasurements(fixture(name))) << name;
  }
  std::string deep = R"([{"id":"a","date":0,"annotations":[],"title":"","center":{"latitude":0,"longitude":0},"x":)";
  deep += std::string(100000, '[') + std::string(100000, ']') + "}]";
  EXPECT_FALSE(decodeMeasurements(deep));  // and does not run out of stack
}

TEST(MeasurementJson, AgreesWithTheReferenceOnEdgeTextsAndDamagedFixtures) {
  // A sound one-record list with the first `from` replaced.
  const auto with = [](const std::string& from, const std::string& to) {
    std::string text = R"([{"id":"a","date":0,"annotations":[],"title":"","center":{"latitude":0,"longitude":0}}])";
    return text.replace(text.find(from), from.size(), to);
  };
  for (const char* text :
       {"", "[", "[]]", "[] x", "null", "\"[]\"", "[[]]", "[1]", "[]", " \t\r\n[ \n]\n", "[,]", "[{}]"})
    expectSameDecoding(text);
  for (const std::string& text :
       {with(R"({"latitude":0,"longitude":0})", "[1,2]"), with(R"("a")", "\"\xFF\""),
        with(R"("a")", R"("\u0041\ud83c\udf0d")"), with(R"("a")", R"("\ud83c")"), with(R"("a")", R"("\udf0d")"),
        with(R"("id":"a")", R"("\u0069d":"escaped key")"), with(R"("title":"")", R"("title":"\u0000")"),
        with(R"("title":"")", "\"title\":\"tab\tinside\""), with(R"("title":"")", R"("title":"\x")"),
        with(R"("latitude":0,"longitude":0)", R"("latitude":1E+2,"longitude":-1e-2)"), with("[]", "[,]"),
        with("}}]", "},}]"), with("}}]", R"(},"x":[tru]}])"), with("}}]", R"(},"x":[true,false,null,{"":[]}]}])")})
    expectSameDecoding(text);
  for (const char* date :
       {"-0", "01", "1.", ".5", "+1", "1e-400", "123456789012345678901234567890", "9007199254740993"})
    expectSameDecoding(with("\"date\":0", std::string("\"date\":") + date));

  // Thousands of damaged variants of the fixtures.
  std::vector<std::string> seeds = {fixture("garden.json"), fixture("tolerant_forms.json"),
                                    fixture("missing_center.json"), fixture("vertex_without_longitude.json")};
  const std::string significant = "{}[],:\"\\0123456789-+.eEtfnul \t\n\xC3\xA9\xFF";
  std::mt19937 random(7);
  auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
  for (int round = 0; round < 20000; ++round) {
    std::string text = seeds[pick(seeds.size())];
    for (int edits = 1 + static_cast<int>(pick(3)); edits > 0; --edits) {
      const std::size_t at = pick(text.size());
      const char c = significant[pick(significant.size())];
      const std::size_t op = pick(4);
      if (op == 0) text.erase(at, 1);
      if (op == 1) text.insert(at, 1, c);
      if (op == 2) text[at] = c;
      if (op == 3) text.insert(at, text.substr(pick(text.size()), 1 + pick(8)));
      if (text.empty()) text = "[";
    }
    expectSameDecoding(text);
    if (::testing::Test::HasFailure()) return;
  }
}

// The app runs under the user's locale; a decimal comma there once made the reader's
// fallback take 1.5e-400 for 1.
TEST(MeasurementJson, NumbersReadTheSameUnderAGermanLocale) {
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
    GTEST_SKIP() << "de_DE.UTF-8 is not generated here (scripts/install-deps does it)";
  const auto point = [](const std::string& latitude, const std::string& longitude) {
    const auto list =
        decodeMeasurements(R"([{"id":"a","date":0.5,"annotations":[{"latitude":)" + latitude + R"(,"longitude":)" +
                           longitude + R"(}],"title":"","center":{"latitude":0,"longitude":0}}])");
    return list ? std::optional(std::pair(list->at(0).annotations.at(0), list->at(0).date)) : std::nullopt;
  };
  const auto underflow = point("1.5e-400", "-2.5e-400");
  ASSERT_TRUE(underflow);
  EXPECT_EQ(underflow->first.latitude, 0.0);
  EXPECT_FALSE(std::signbit(underflow->first.latitude));
  EXPECT_TRUE(std::signbit(underflow->first.longitude)) << underflow->first.longitude;
  EXPECT_EQ(underflow->second, 0.5);
  EXPECT_EQ(point("0." + std::string(400, '0') + "1", "1000e-402")->first.latitude, 0.0);
  EXPECT_EQ(point("1.25", "-0.5e1")->first.longitude, -5.0);
  EXPECT_FALSE(point("1e400", "0")) << "no double holds it";
  EXPECT_FALSE(point("1" + std::string(400, '0'), "0"));

  MemoryPreferenceStore store;
  store.setString(" +12,5", "TEXT");
  EXPECT_EQ(store.integerForKey("TEXT"), 12);
  store.setString("-99999999999999999999", "TEXT");
  EXPECT_EQ(store.integerForKey("TEXT"), std::numeric_limits<std::int64_t>::min());
  std::setlocale(LC_ALL, previous.c_str());
}

// What is read from the store is bounded before the reader allocates for it.
TEST(MeasurementJson, ListsBeyondTheStatedBoundsAreRefused) {
  std::string blank = "[" + std::string(kMaxMeasurementListBytes - 2, ' ') + "]";
  EXPECT_EQ(decodeMeasurements(blank).value().size(), 0u) << "at the bound";
  blank.insert(1, " ");
  EXPECT_FALSE(decodeMeasurements(blank)) << "one byte beyond";
  blank = {};
  blank.shrink_to_fit();

  const std::string vertex = R"({"latitude":0,"longitude":0})";
  std::string many = R"([{"id":"a","date":0,"title":"","center":{"latitude":0,"longitude":0},"annotations":[)";
  many.reserve(many.size() + (vertex.size() + 1) * (kMaxMeasurementListVertices + 1) + 4);
  for (std::size_t i = 0; i < kMaxMeasurementListVertices; ++i) (i ? many += ',' : many) += vertex;
  const auto atBound = decodeMeasurements(many + "]}]");
  ASSERT_TRUE(atBound);
  EXPECT_EQ(atBound->at(0).annotations.size(), kMaxMeasurementListVertices);
  EXPECT_FALSE(decodeMeasurements(many + "," + vertex + "]}]")) << "one vertex beyond";
}

TEST(MeasurementJson, WriterRoundTripsEveryBitInOrderAndRefusesWhatItCannotWrite) {
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
  list[2].title = "";

  const auto json = encodeMeasurements(list);
  ASSERT_TRUE(json);
  // Readers that take "-0" for the integer 0 would lose the sign.
  EXPECT_NE(json->find("-0.0"), std::string::npos);
  // Plain JSON, and exactly the five members in every record.
  for (const auto& record : Json::parse(*json)) EXPECT_EQ(record.size(), 5u) << record;
  const auto back = decodeMeasurements(*json);
  ASSERT_TRUE(back);
  EXPECT_EQ(toJson(*back).dump(), toJson(list).dump());
  EXPECT_EQ(encodeMeasurements({}), "[]");

  const PersistedMeasurement good{"A", 1, {{1, 2}}, "t", {1, 2}};
  std::vector<PersistedMeasurement> bad(5, good);
  bad[0].date = NAN;
  bad[1].annotations[0].latitude = INFINITY;
  bad[2].center.longitude = -INFINITY;
  bad[3].title = "\xC3";       // truncated UTF-8
  bad[4].id = "\xED\xA0\x80";  // an encoded surrogate
  for (std::size_t i = 0; i < bad.size(); ++i) EXPECT_FALSE(encodeMeasurements({good, bad[i]})) << i;
}

using Ids = std::vector<std::string>;
const std::string kKey = "PERSISTED_MEASUREMENTS";

PersistedMeasurement record(std::string id, std::string title = "t") {
  return {std::move(id), 730987200, {{1, 2}, {3, 4}}, std::move(title), {2, 3}};
}

Bytes bytes(std::string_view text) { return {text.begin(), text.end()}; }

class PersistanceManagerTest : public ::testing::Test {
 protected:
  Ids ids(const PersistanceManager* reader = nullptr) const {
    Ids out;
    for (const auto& m : (reader ? reader : &manager)->loadMeasurements()) out.push_back(m.id);
    return out;
  }
  std::multiset<PreferenceValue> setAside() const {
    std::multiset<PreferenceValue> values;
    for (const auto& [key, value] : store.storedEntries())
      if (key.starts_with(PersistanceManager::kSetAsidePrefix)) values.insert(value);
    return values;
  }

  MemoryPreferenceStore store;
  PersistanceManager manager{store};
};

TEST_F(PersistanceManagerTest, KeepsTheOrderOfSavingAndDeletesById) {
  PersistanceManager other(store);  // managers share the stored list
  EXPECT_TRUE(ids().empty());
  manager.appendMeasurement(record("A"));
  EXPECT_EQ(ids(&other), (Ids{"A"}));
  manager.appendMeasurement(record("B"));
  other.appendMeasurement(record("C"));
  manager.appendMeasurement(record("A", "same id again"));
  EXPECT_EQ(ids(), (Ids{"A", "B", "C", "A"}));

  manager.deleteMeasurement(record("B", "another title"));  // only the id counts
  EXPECT_EQ(ids(), (Ids{"A", "C", "A"}));
  other.deleteMeasurement(record("A"));  // every record with that id
  EXPECT_EQ(ids(), (Ids{"C"}));

  auto broken = record("B");  // cannot be encoded: the list stays as it was
  broken.center.latitude = std::numeric_limits<double>::quiet_NaN();
  const auto before = store.dataForKey(kKey);
  manager.appendMeasurement(broken);
  manager.deleteMeasurement(record("nobody"));
  EXPECT_EQ(store.dataForKey(kKey), before);

  manager.deleteMeasurement(record("C"));
  EXPECT_EQ(store.dataForKey(kKey), bytes("[]"));
  EXPECT_TRUE(ids().empty());
}

// A change encodes only the new record and copies the others' text: spacing,
// number forms and members of other names must come through as a valid list.
TEST_F(PersistanceManagerTest, ChangesKeepTheOtherRecordsAsTheyWereWritten) {
  const std::string other = R"({"id":"X","extra":[1,{"a":"]"}],"date":1E2,"annotations":[ ],"title":"]",)"
                            R"("center":{"longitude":-0.0,"latitude":5}})";
  for (const std::string& stored : {std::string("[ ]"), " [\n" + other + " ,\n" + other + "\n] \n"}) {
    store.setData(bytes(stored), kKey);
    const auto expected = decodeMeasurements(stored).value().size();
    EXPECT_TRUE(manager.appendMeasurement(record("A"))) << stored;
    EXPECT_TRUE(manager.appendMeasurement(record("B"))) << stored;
    ASSERT_EQ(ids().size(), expected + 2) << stored;
    EXPECT_EQ(ids().back(), "B") << stored;
    EXPECT_TRUE(manager.deleteMeasurement(record("A"))) << stored;
    EXPECT_TRUE(manager.deleteMeasurement(record("X"))) << stored;
    EXPECT_EQ(ids(), (Ids{"B"})) << stored;
    EXPECT_TRUE(setAside().empty()) << stored;
    const auto written = store.dataForKey(kKey).value();
    EXPECT_TRUE(nlohmann::json::accept(std::string(written.begin(), written.end()))) << stored;
  }
}

TEST_F(PersistanceManagerTest, UnreadableDataIsSetAsideBeforeItIsReplaced) {
  const Bytes unreadable = bytes("[{\"id\":\"A\",\"date\":1,\"annotations\":[],\"title\":\"lost?\"}]");
  store.setData(unreadable, kKey);
  EXPECT_TRUE(ids().empty());
  EXPECT_TRUE(setAside().empty()) << "reading alone changes nothing";
  manager.appendMeasurement(record("B"));
  EXPECT_EQ(ids(), (Ids{"B"}));
  EXPECT_EQ(setAside(), (std::multiset<PreferenceValue>{unreadable})) << "the bytes are kept exactly";
  manager.deleteMeasurement(record("B"));
  EXPECT_EQ(setAside().size(), 1u) << "a readable list is not set aside";

  // A value of another type reads as empty and is set aside too.
  store.setString("not a list", kKey);
  EXPECT_TRUE(ids().empty());
  manager.deleteMeasurement(record("X"));
  EXPECT_EQ(store.dataForKey(kKey), bytes("[]"));
  store.setData(bytes("{garbage"), kKey);
  manager.appendMeasurement(record("Y"));
  // A later set-aside never overwrites an earlier one.
  EXPECT_EQ(setAside(), (std::multiset<PreferenceValue>{unreadable, std::string("not a list"), bytes("{garbage")}));
}

}  // namespace
}  // namespace kavrano
