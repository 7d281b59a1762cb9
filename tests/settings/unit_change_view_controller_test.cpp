#include "kavrano/settings/unit_change_view_controller.h"

#include <gtest/gtest.h>

#include "kavrano/core/memory_preference_store.h"
#include "kavrano/core/unit_converter.h"

namespace kavrano {
namespace {

using Mode = UnitChangeViewController::DisplayMode;

class UnitChangeViewControllerTest : public ::testing::Test {
 protected:
  void SetUp() override { PreferenceStore::installStandard(store); }

  static std::unique_ptr<UnitChangeViewController> open(Mode mode) {
    auto screen = std::make_unique<UnitChangeViewController>(mode);
    screen->viewDidLoad();
    return screen;
  }

  std::shared_ptr<MemoryPreferenceStore> store = std::make_shared<MemoryPreferenceStore>();
};

TEST_F(UnitChangeViewControllerTest, ListsEveryUnitOfItsKindInOrderWithTheStoredOrDefaultOneChecked) {
  auto length = open(Mode::length);
  EXPECT_EQ(length->title(), "Length unit");
  EXPECT_EQ(length->symbols(), QStringList({"cm", "m", "km", "in", "ft", "yd", "mi"}));
  EXPECT_EQ(length->selectedSymbol(), "m");
  auto area = open(Mode::area);
  EXPECT_EQ(area->title(), "Area unit");
  EXPECT_EQ(area->symbols(), QStringList({"m²", "km²", "ft²", "yd²", "mi²", "a", "ha", "ac"}));
  EXPECT_EQ(area->selectedSymbol(), "m²");

  store->setString("mi", "LENGTH_UNIT");
  store->setString("acre", "AREA_UNIT");  // unknown text: the default
  EXPECT_EQ(open(Mode::length)->selectedSymbol(), "mi");
  EXPECT_EQ(open(Mode::area)->selectedSymbol(), "m²");
}

TEST_F(UnitChangeViewControllerTest, ATouchMovesTheCheckAndStoresOnlyItsOwnKindAtOnce) {
  auto length = open(Mode::length);
  int changes = 0;
  QObject::connect(length.get(), &UnitChangeViewController::selectedSymbolChanged, [&] { ++changes; });
  length->selectRow(4);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(store->stringForKey("LENGTH_UNIT"), "ft");
  EXPECT_EQ(UnitConverter::shared().selectedAreaUnit(), AreaUnit::squareMeters);
  length->selectRow(4);  // the checked row again
  length->selectRow(7);  // past the end
  EXPECT_EQ(length->selectedSymbol(), "ft");
  EXPECT_EQ(store->stringForKey("LENGTH_UNIT"), "ft");

  open(Mode::area)->selectRow(6);
  EXPECT_EQ(store->stringForKey("AREA_UNIT"), "ha");
  EXPECT_EQ(UnitConverter::shared().selectedLengthUnit(), LengthUnit::feet);
}

}  // namespace
}  // namespace kavrano
