#include "kavrano/qt_places/gazetteer_index.h"

#include <gtest/gtest.h>

#include <cstring>
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
class ShippedGazetteer : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(index_, nullptr) << "the gazetteer resource is missing or unreadable"; }
  std::shared_ptr<const GazetteerIndex> index_ = shippedGazetteer();
};

TEST_F(ShippedGazetteer, PrefixesIgnoreAccentsAndCaseMostPopulousFirst) {
  EXPECT_GT(index_->size(), 125'000u) << "the world's towns of a thousand";
  const auto zur = index_->suggestions("zur", 10);
  ASSERT_FALSE(zur.empty());
  EXPECT_EQ(zur.front().name, "Zürich");
  EXPECT_EQ(zur.front().subtitle, "Zurich, Switzerland");
  EXPECT_NEAR(zur.front().coordinate.latitude, 47.36667, 1e-3);
  EXPECT_NEAR(zur.front().coordinate.longitude, 8.55, 1e-3);
  const auto saoP = index_->suggestions("sao p", 10);
  ASSERT_FALSE(saoP.empty());
  EXPECT_EQ(saoP.front().name, "São Paulo");
  EXPECT_EQ(saoP.front().subtitle, "São Paulo, Brazil");
  EXPECT_EQ(index_->suggestions("SÃO P", 10).front().name, "São Paulo");

  const auto places = index_->suggestions("san", 10);
  ASSERT_EQ(places.size(), 10u);
  for (std::size_t i = 1; i < places.size(); ++i) EXPECT_GE(places[i - 1].population, places[i].population) << i;
  for (const auto& p : places) EXPECT_EQ(PlaceNameFolder::fold(p.name).substr(0, 3), "san") << p.name;
  // A country code alone would fail here: subtitles name the country.
  EXPECT_EQ(index_->suggestions("paris", 1).front().subtitle, "Île-de-France, France");

  for (const char* nothing : {"", "  -  ", "qxqzv"}) EXPECT_TRUE(index_->suggestions(nothing, 10).empty()) << nothing;
  EXPECT_TRUE(index_->suggestions("zur", 0).empty());
}

TEST_F(ShippedGazetteer, LookupOfASuggestionFindsThatPlace) {
  // Title, space, subtitle: what the place search asks for.
  const auto zurich = index_->lookUp("Zürich Zurich, Switzerland", 5);
  ASSERT_EQ(zurich.size(), 1u);
  EXPECT_EQ(zurich.front().name, "Zürich");

  // "Paris Texas" style: the subtitle picks the smaller namesake.
  const auto texan = index_->lookUp("Paris Texas, United States", 5);
  ASSERT_FALSE(texan.empty());
  EXPECT_NEAR(texan.front().coordinate.longitude, -95.55, 0.05);

  // A bare name, or one with a subtitle from another source, takes the biggest place of that name.
  EXPECT_EQ(index_->lookUp("Paris ", 5).front().subtitle, "Île-de-France, France");
  EXPECT_EQ(index_->lookUp("São Paulo Centro, SP, Brasil", 5).front().subtitle, "São Paulo, Brazil");
  EXPECT_TRUE(index_->lookUp("Nowhere-at-all Moon", 5).empty());
  EXPECT_TRUE(index_->lookUp("", 5).empty());
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
  ASSERT_EQ(spring.size(), 4u);
  EXPECT_EQ(spring[0].subtitle, "Missouri, United States");
  EXPECT_EQ(spring[1].subtitle, "Illinois, United States");
  EXPECT_EQ(spring[1].population, 114'000u);
  EXPECT_NEAR(spring[1].coordinate.latitude, 39.8, kDegrees);
  EXPECT_EQ(spring[2].name, "Spring");
  EXPECT_EQ(spring[3].name, "Springvale");
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
  ASSERT_TRUE(GazetteerIndex::open(bytesOf(good)));

  EXPECT_FALSE(GazetteerIndex::open({}));
  EXPECT_FALSE(GazetteerIndex::open(bytesOf(good.substr(0, good.size() - 1))));  // texts cut short
  std::string newerVersion = good;
  newerVersion[4] = 2;
  EXPECT_FALSE(GazetteerIndex::open(bytesOf(newerVersion)));

  std::string textOutside = good;
  const std::uint32_t far = 1'000'000;
  std::memcpy(textOutside.data() + gazetteer_format::kHeaderSize + gazetteer_format::field::kNameOffset, &far, 4);
  EXPECT_FALSE(GazetteerIndex::open(bytesOf(textOutside)));

  // Swapping the two records breaks the key order binary search needs.
  std::string unsorted = good;
  const std::size_t r = gazetteer_format::kHeaderSize, n = gazetteer_format::kRecordSize;
  std::string first = unsorted.substr(r, n);
  unsorted.replace(r, n, unsorted.substr(r + n, n));
  unsorted.replace(r + n, n, first);
  EXPECT_FALSE(GazetteerIndex::open(bytesOf(unsorted)));
}

}  // namespace
}  // namespace kavrano
