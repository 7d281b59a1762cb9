#include "kavrano/core/unit_converter.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <tuple>

#include "kavrano/core/memory_preference_store.h"
#include "kavrano/core/number_text.h"

namespace kavrano {
namespace {

class UnitConverterTest : public ::testing::Test {
 protected:
  void SetUp() override { setUserNumberLocaleOverride("en_US"); }
  void TearDown() override { setUserNumberLocaleOverride(std::nullopt); }
  MemoryPreferenceStore store;
  UnitConverter converter{store};
};

TEST_F(UnitConverterTest, DefaultsRecognitionStoredChoicesAndTexts) {
  EXPECT_EQ(converter.lengthText(12.3456), "12.35 m");
  EXPECT_EQ(converter.areaText(12.3456), "12.35 m\u00B2");
  EXPECT_TRUE(store.storedEntries().empty()) << "defaults must never be written";

  // Recognition is exact and falls back to the base unit.
  for (const char* foreign : {"M", "meters", " m", ""}) {
    store.setString(foreign, "LENGTH_UNIT");
    EXPECT_EQ(converter.selectedLengthUnit(), LengthUnit::meters) << foreign;
    EXPECT_EQ(store.stringForKey("LENGTH_UNIT"), foreign) << "an unrecognised text stays until a choice is made";
  }
  for (const char* foreign : {"m2", "M\u00B2", "ha "}) {
    store.setString(foreign, "AREA_UNIT");
    EXPECT_EQ(converter.selectedAreaUnit(), AreaUnit::squareMeters) << foreign;
  }
  store.setInteger(5, "AREA_UNIT");  // a value of another type from elsewhere
  EXPECT_EQ(converter.selectedAreaUnit(), AreaUnit::squareMeters);

  // A choice is stored as the unit's own symbol; an unknown one as the base unit's.
  converter.setLengthUnit("furlong");
  EXPECT_EQ(store.stringForKey("LENGTH_UNIT"), "m");
  converter.setAreaUnit("acre");
  EXPECT_EQ(store.stringForKey("AREA_UNIT"), "m\u00B2");
  for (AreaUnit unit : kAllAreaUnits) {
    converter.setAreaUnit(symbol(unit));
    EXPECT_EQ(converter.selectedAreaUnit(), unit) << symbol(unit);
    EXPECT_EQ(store.stringForKey("AREA_UNIT"), symbol(unit));
  }
  for (LengthUnit unit : kAllLengthUnits) {
    converter.setLengthUnit(symbol(unit));
    EXPECT_EQ(converter.selectedLengthUnit(), unit) << symbol(unit);
  }

  // Texts in the United States locale. Each case: metres or square metres, the unit chosen, " = ", the text shown.
  const auto expectTexts = [&](bool area, std::initializer_list<std::string> cases) {
    for (const std::string& c : cases) {
      double value = 0;
      std::string unit;
      std::istringstream(c) >> value >> unit;
      area ? converter.setAreaUnit(unit) : converter.setLengthUnit(unit);
      EXPECT_EQ(area ? converter.areaText(value) : converter.lengthText(value), c.substr(c.find(" = ") + 3)) << c;
    }
  };
  expectTexts(false,
              {"1234.5678 m = 1,234.57 m", "1234.5678 km = 1.23 km", "1500 km = 1.5 km", "2000 km = 2 km",
               "100 ft = 328.08 ft", "100 cm = 10,000 cm", "1609.34 mi = 1 mi", "0.004 m = 0 m", "0.125 m = 0.12 m",
               "0.375 m = 0.38 m", "0 m = 0 m", "12.3456 in = 486.05 in", "12.3456 yd = 13.5 yd"});
  expectTexts(true, {"10000 ha = 1 ha", "10000 ac = 2.47 ac", "123456 ft² = 1,328,869.9 ft²", "4046.86 ac = 1 ac",
                     "1 km² = 0 km²", "2590000 mi² = 1 mi²", "250 a = 2.5 a", "836.127 yd² = 1,000 yd²"});
}

TEST(NumberLocale, ResolvedFromOverrideThenEnvironment) {
  setUserNumberLocaleOverride(std::nullopt);
  // LC_ALL, LC_NUMERIC, LANG (none: unset), then the locale they give.
  for (const auto& [all, numeric, lang, expected] :
       std::vector<std::array<const char*, 4>>{{"", "de_DE.UTF-8", "fr_FR.UTF-8", "de_DE"},
                                               {"pt_BR.ISO-8859-1@euro", "de_DE.UTF-8", "fr_FR.UTF-8", "pt_BR"},
                                               {"C.UTF-8", "de_DE.UTF-8", "fr_FR.UTF-8", "C"},
                                               {nullptr, nullptr, "fr_FR.UTF-8", "fr_FR"},
                                               {nullptr, nullptr, nullptr, "C"}}) {
    for (const auto& [name, value] : {std::pair{"LC_ALL", all}, {"LC_NUMERIC", numeric}, {"LANG", lang}})
      value ? setenv(name, value, 1) : unsetenv(name);
    EXPECT_EQ(userNumberLocale(), expected) << all << " " << numeric << " " << lang;
  }
  setUserNumberLocaleOverride("en_GB");
  EXPECT_EQ(userNumberLocale(), "en_GB");
  setUserNumberLocaleOverride(std::nullopt);
}

TEST(NumberLocale, SeparatorsFollowTheLocale) {
  for (const auto& [locale, value, text] : std::vector<std::tuple<const char*, double, const char*>>{
           {"de_DE", 1234.5678, "1.234,57"},  // comma decimal, full-stop grouping
           {"en_US", 1234.5678, "1,234.57"},
           {"C", 1234.5678, "1234.57"},  // POSIX: no grouping
           {"C", 1234567.125, "1234567.12"},
           {"en_IN", 12345678, "1,23,45,678"},  // Indian grouping sizes
           {"en_US", -0.125, "-0.12"}})
    EXPECT_EQ(decimalText(value, locale), text) << locale << " " << value;
  for (double v : {NAN, INFINITY}) EXPECT_FALSE(decimalText(v, "en_US").empty()) << "non-finite values still give text";
  setUserNumberLocaleOverride("de_DE");
  EXPECT_EQ(UnitConverter::lengthText(1234.5678, LengthUnit::meters), "1.234,57 m");
  setUserNumberLocaleOverride(std::nullopt);
}

}  // namespace
}  // namespace kavrano
