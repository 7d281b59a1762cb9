#include "kavrano/settings/settings_view_controller.h"

#include <gtest/gtest.h>

#include "fake_ui.h"
#include "kavrano/core/memory_preference_store.h"
#include "kavrano/core/unit_converter.h"
#include "kavrano/settings/unit_change_view_controller.h"

namespace kavrano {
namespace {

using Mode = UnitChangeViewController::DisplayMode;

class SettingsViewControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PreferenceStore::installStandard(store);
    AnalyticsService::configure(std::make_shared<JournalEventRecorder>(journal));
    settings.setNavigationController(&nav);
    settings.viewWillAppear(true);
    journal.clear();
  }
  void TearDown() override { AnalyticsService::configure(nullptr); }
  UnitChangeViewController* pushedUnits() { return qobject_cast<UnitChangeViewController*>(nav.stack.back().get()); }
  static std::unique_ptr<UnitChangeViewController> openUnits(Mode mode) {
    auto screen = std::make_unique<UnitChangeViewController>(mode);
    screen->viewDidLoad();
    return screen;
  }

  std::shared_ptr<MemoryPreferenceStore> store = std::make_shared<MemoryPreferenceStore>();
  Journal journal;
  FakeNavigationController nav{journal};
  FakeUrlOpener urls;
  SettingsViewController settings{urls};
};

TEST_F(SettingsViewControllerTest, EachUnitScreenListsItsKindInOrderWithTheStoredOrDefaultOneChecked) {
  auto length = openUnits(Mode::length);
  EXPECT_EQ(length->title(), "Length unit");
  EXPECT_EQ(length->symbols(), QStringList({"cm", "m", "km", "in", "ft", "yd", "mi"}));
  EXPECT_EQ(length->selectedSymbol(), "m");

  store->setString("mi", "LENGTH_UNIT");
  store->setString("acre", "AREA_UNIT");  // unknown text: the default
  EXPECT_EQ(openUnits(Mode::length)->selectedSymbol(), "mi");
  EXPECT_EQ(openUnits(Mode::area)->selectedSymbol(), "m²");
}

TEST_F(SettingsViewControllerTest, UnitRowsPushTheUnitScreenWhoseTouchIsStoredAtOnceAndTheLabelsFollow) {
  settings.selectRow(SettingsViewController::unitSection, 0);
  ASSERT_EQ(nav.stack.size(), 1u);
  UnitChangeViewController* length = pushedUnits();
  ASSERT_NE(length, nullptr);
  EXPECT_EQ(length->displayMode(), Mode::length);
  length->viewDidLoad();
  int changes = 0;
  QObject::connect(length, &UnitChangeViewController::selectedSymbolChanged, [&] { ++changes; });
  length->selectRow(4);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(store->stringForKey("LENGTH_UNIT"), "ft");
  EXPECT_EQ(UnitConverter::shared().selectedAreaUnit(), AreaUnit::squareMeters) << "only its own kind";
  length->selectRow(4);  // the checked row again
  length->selectRow(7);  // past the end
  EXPECT_EQ(length->selectedSymbol(), "ft");
  EXPECT_EQ(store->stringForKey("LENGTH_UNIT"), "ft");

  settings.viewWillAppear(true);
  EXPECT_EQ(settings.lengthUnitText(), "Length unit: ft");

  // Rows that are neither links nor unit rows do nothing.
  settings.selectRow(SettingsViewController::unitSection, 2);
  settings.selectRow(SettingsViewController::usageSection, 0);
  settings.selectRow(3, 0);
  EXPECT_EQ(nav.stack.size(), 1u);
  EXPECT_TRUE(urls.opened.empty());
  EXPECT_EQ(journal.filter(QStringLiteral("event ")), QStringList());
}

TEST_F(SettingsViewControllerTest, LinksOpenTheStoreAndThePrivacyPageAndLogOnlyWhileAllowed) {
  settings.selectRow(SettingsViewController::otherApplicationsSection, 0);
  EXPECT_EQ(journal, QStringList({"event developer_tapped"}));
  settings.appUsageSwitchChanged(false);
  journal.clear();
  settings.selectRow(SettingsViewController::otherApplicationsSection, 0);
  EXPECT_TRUE(journal.isEmpty());
  settings.seeMoreTapped();

  const QUrl store(QString::fromLatin1(SettingsViewController::kOtherApplicationsAddress));
  const QUrl privacy(QString::fromLatin1(SettingsViewController::kPrivacyPolicyAddress));
  EXPECT_EQ(urls.opened, (std::vector<QUrl>{store, store, privacy}));
  EXPECT_EQ(privacy.scheme(), "https");
}

}  // namespace
}  // namespace kavrano
