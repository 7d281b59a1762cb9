#include "kavrano/qt_places/gazetteer_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>

#include "kavrano/qt_places/gazetteer_format.h"
#include "kavrano/qt_places/gazetteer_index_writer.h"
#include "kavrano/qt_places/place_name_folder.h"
#include "kavrano/qt_places/shipped_gazetteer.h"

namespace kavrano {
namespace {

constexpr double kDegrees = 1e-5;  // the index's resolution

std::span<const std::byte> bytesOf(const std::string& s) {
  return {reinterpret_cast<const std::byte*>(s.data()), s.size()};
}

// The index that ships: what users get when they type.
TEST(ShippedGazetteer, PrefixesIgnoreAccentsAndCaseMostPopulousFirstAndLookupsFindTheSuggestedPlace) {
  const auto index = shippedGazetteer();
  ASSERT_NE(index, nullptr) << "the gazetteer resource is missing or unreadable";
  EXPECT_GT(index->size(), 125'000u) << "the world's towns of a thousand";
  const auto zur = index->suggestions("zur", 10);
  ASSERT_FALSE(zur.empty());
  EXPECT_EQ(zur.front().name, "Zürich");
  EXPECT_EQ(zur.front().subtitle, "Zurich, Switzerland");
  EXPECT_NEAR(zur.front().coordinate.latitude, 47.36667, 1e-3);
  EXPECT_NEAR(zur.front().coordinate.longitude, 8.55, 1e-3);
  for (const char* typed : {"sao p", "SÃO P"}) {
    const auto saoP = index->suggestions(typed, 10);
    ASSERT_FALSE(saoP.empty()) << typed;
    EXPECT_EQ(saoP.front().name, "São Paulo") << typed;
    EXPECT_EQ(saoP.front().subtitle, "São Paulo, Brazil") << typed;
  }
  const auto places = index->suggestions("san", 10);
  ASSERT_EQ(places.size(), 10u);
  for (std::size_t i = 1; i < places.size(); ++i) EXPECT_GE(places[i - 1].population, places[i].population) << i;
  for (const auto& p : places) EXPECT_EQ(PlaceNameFolder::fold(p.name).substr(0, 3), "san") << p.name;
  // A country code alone would fail here: subtitles name the country.
  EXPECT_EQ(index->suggestions("paris", 1).front().subtitle, "Île-de-France, France");
  for (const char* nothing : {"", "  -  ", "qxqzv"}) EXPECT_TRUE(index->suggestions(nothing, 10).empty()) << nothing;
  EXPECT_TRUE(index->suggestions("zur", 0).empty());

  // Title, space, subtitle: what the place search asks for.
  const auto zurich = index->lookUp("Zürich Zurich, Switzerland", 5);
  ASSERT_EQ(zurich.size(), 1u);
  EXPECT_EQ(zurich.front().name, "Zürich");
  // "Paris Texas" style: the subtitle picks the smaller namesake.
  const auto texan = index->lookUp("Paris Texas, United States", 5);
  ASSERT_FALSE(texan.empty());
  EXPECT_NEAR(texan.front().coordinate.longitude, -95.55, 0.05);
  // A bare name, or one with a subtitle from another source, takes the biggest place of that name.
  EXPECT_EQ(index->lookUp("Paris ", 5).front().subtitle, "Île-de-France, France");
  EXPECT_EQ(index->lookUp("São Paulo Centro, SP, Brasil", 5).front().subtitle, "São Paulo, Brazil");
  EXPECT_TRUE(index->lookUp("Nowhere-at-all Moon", 5).empty());
  EXPECT_TRUE(index->lookUp("", 5).empty());
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
  for (const auto& p : spring) order.push_back(std::string(p.name) + ", " + std::string(p.subtitle));
  ASSERT_EQ(order,
            (std::vector<std::string>{"Springfield, Missouri, United States", "Springfield, Illinois, United States",
                                      "Spring, Texas, United States", "Springvale, Victoria, Australia"}));
  EXPECT_EQ(spring[1].population, 114'000u);
  EXPECT_NEAR(spring[1].coordinate.latitude, 39.8, kDegrees);
  EXPECT_EQ(index->suggestions("spring", 2).size(), 2u);

  // The exact name comes before longer names that start with it.
  const auto exact = index->lookUp("Spring", 10);
  ASSERT_EQ(exact.size(), 1u);
  EXPECT_EQ(exact[0].name, "Spring");
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
  EXPECT_FALSE(opens([&](std::string& b) {
    const std::uint32_t far = 1'000'000;
    std::memcpy(b.data() + r + gazetteer_format::field::kNameOffset, &far, 4);
  })) << "a name outside the texts";
  EXPECT_FALSE(opens([&](std::string& b) { std::swap_ranges(b.begin() + r, b.begin() + r + n, b.begin() + r + n); }))
      << "swapped records break the key order binary search needs";
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
