#include "kavrano/core/unit_converter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

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

TEST_F(UnitConverterTest, TextsInTheUnitedStatesLocale) {
  struct Case {
    double value;
    const char* symbol;
    const char* text;
  };
  const Case lengths[] = {
      {1234.5678, "m", "1,234.57 m"},
      {1234.5678, "km", "1.23 km"},
      {1500, "km", "1.5 km"},
      {2000, "km", "2 km"},
      {100, "ft", "328.08 ft"},
      {100, "cm", "10,000 cm"},
      {1609.34, "mi", "1 mi"},
      {0.004, "m", "0 m"},
      {0.125, "m", "0.12 m"},
      {0.375, "m", "0.38 m"},
      {0, "m", "0 m"},
      {12.3456, "in", "486.05 in"},
      {12.3456, "yd", "13.5 yd"},
  };
  for (const auto& c : lengths) {
    converter.setLengthUnit(c.symbol);
    EXPECT_EQ(converter.lengthText(c.value), c.text) << c.value << " " << c.symbol;
  }
  const Case areas[] = {
      {10000, "ha", "1 ha"},
      {10000, "ac", "2.47 ac"},
      {123456, "ft\u00B2", "1,328,869.9 ft\u00B2"},
      {4046.86, "ac", "1 ac"},
      {1, "km\u00B2", "0 km\u00B2"},
      {2590000, "mi\u00B2", "1 mi\u00B2"},
      {250, "a", "2.5 a"},
      {836.127, "yd\u00B2", "1,000 yd\u00B2"},
  };
  for (const auto& c : areas) {
    converter.setAreaUnit(c.symbol);
    EXPECT_EQ(converter.areaText(c.value), c.text) << c.value << " " << c.symbol;
  }
}

TEST_F(UnitConverterTest, NothingStoredUsesTheRegisteredDefaults) {
  EXPECT_EQ(converter.lengthText(12.3456), "12.35 m");
  EXPECT_EQ(converter.areaText(12.3456), "12.35 m\u00B2");
  EXPECT_TRUE(store.storedEntries().empty()) << "defaults must never be written";
}

TEST_F(UnitConverterTest, RecognitionIsExactAndFallsBackToTheBaseUnit) {
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
}

TEST_F(UnitConverterTest, StoringAChoiceWritesTheUnitsOwnSymbol) {
  converter.setAreaUnit("ha");
  EXPECT_EQ(converter.selectedAreaUnit(), AreaUnit::hectares);
  EXPECT_EQ(store.stringForKey("AREA_UNIT"), "ha");
  converter.setLengthUnit("furlong");
  EXPECT_EQ(store.stringForKey("LENGTH_UNIT"), "m");
  converter.setAreaUnit("acre");
  EXPECT_EQ(store.stringForKey("AREA_UNIT"), "m\u00B2");
  for (AreaUnit unit : kAllAreaUnits) {
    converter.setAreaUnit(symbol(unit));
    EXPECT_EQ(converter.selectedAreaUnit(), unit) << symbol(unit);
  }
  for (LengthUnit unit : kAllLengthUnits) {
    converter.setLengthUnit(symbol(unit));
    EXPECT_EQ(converter.selectedLengthUnit(), unit) << symbol(unit);
  }
}

TEST(NumberLocale, ResolvedFromOverrideThenEnvironment) {
  setUserNumberLocaleOverride(std::nullopt);
  setenv("LC_ALL", "", 1);
  setenv("LC_NUMERIC", "de_DE.UTF-8", 1);
  setenv("LANG", "fr_FR.UTF-8", 1);
  EXPECT_EQ(userNumberLocale(), "de_DE");
  setenv("LC_ALL", "pt_BR.ISO-8859-1@euro", 1);
  EXPECT_EQ(userNumberLocale(), "pt_BR");
  setenv("LC_ALL", "C.UTF-8", 1);
  EXPECT_EQ(userNumberLocale(), "C");
  unsetenv("LC_ALL");
  unsetenv("LC_NUMERIC");
  EXPECT_EQ(userNumberLocale(), "fr_FR");
  unsetenv("LANG");
  EXPECT_EQ(userNumberLocale(), "C");
  setUserNumberLocaleOverride("en_GB");
  EXPECT_EQ(userNumberLocale(), "en_GB");
  setUserNumberLocaleOverride(std::nullopt);
}

TEST(NumberLocale, SeparatorsFollowTheLocale) {
  struct Case {
    const char* locale;
    double value;
    const char* text;
  };
  const Case cases[] = {
      {"de_DE", 1234.5678, "1.234,57"},                                      // comma decimal, full-stop grouping
      {"en_US", 1234.5678, "1,234.57"}, {"C", 1234.5678, "1234.57"},         // POSIX: no grouping
      {"C", 1234567.125, "1234567.12"}, {"en_IN", 12345678, "1,23,45,678"},  // Indian grouping sizes
      {"en_US", -0.125, "-0.12"},
  };
  for (const auto& c : cases) EXPECT_EQ(decimalText(c.value, c.locale), c.text) << c.locale << " " << c.value;
  setUserNumberLocaleOverride("de_DE");
  EXPECT_EQ(UnitConverter::lengthText(1234.5678, LengthUnit::meters), "1.234,57 m");
  setUserNumberLocaleOverride(std::nullopt);
}

TEST(NumberLocale, NonFiniteValuesStillGiveText) {
  for (double v : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()})
    EXPECT_FALSE(decimalText(v, "en_US").empty());
}

}  // namespace
}  // namespace kavrano
