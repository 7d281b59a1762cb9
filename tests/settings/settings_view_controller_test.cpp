#include "kavrano/settings/settings_view_controller.h"

#include <gtest/gtest.h>

#include "event_recorder.h"
#include "fake_ui.h"
#include "kavrano/core/memory_preference_store.h"
#include "kavrano/core/unit_converter.h"
#include "kavrano/core/user_settings.h"
#include "kavrano/settings/unit_change_view_controller.h"

namespace kavrano {
namespace {

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

  std::shared_ptr<MemoryPreferenceStore> store = std::make_shared<MemoryPreferenceStore>();
  Journal journal;
  FakeNavigationController nav{journal};
  FakeUrlOpener urls;
  SettingsViewController settings{urls};
};

TEST_F(SettingsViewControllerTest, FirstStartShowsDefaults) {
  EXPECT_EQ(settings.title(), "Settings");
  EXPECT_TRUE(settings.sendUsageData());
  EXPECT_EQ(settings.lengthUnitText(), "Length unit: m");
  EXPECT_EQ(settings.areaUnitText(), "Area unit: m²");
  EXPECT_FALSE(nav.barHidden);
}

TEST_F(SettingsViewControllerTest, SwitchStoresAtOnceAndIsReadBackOnAppearing) {
  settings.appUsageSwitchChanged(false);
  EXPECT_FALSE(UserSettings::shared().sendUsageData());
  EXPECT_FALSE(store->boolForKey("SEND_USAGE_DATA"));

  SettingsViewController reopened{urls};
  reopened.viewWillAppear(false);
  EXPECT_FALSE(reopened.sendUsageData());
  UserSettings::shared().setSendUsageData(true);
  reopened.viewWillAppear(false);
  EXPECT_TRUE(reopened.sendUsageData());
}

TEST_F(SettingsViewControllerTest, UnitRowsPushTheUnitScreenAndTheLabelsFollowItsChoice) {
  settings.selectRow(SettingsViewController::unitSection, 1);
  ASSERT_EQ(nav.stack.size(), 1u);
  auto* unitScreen = qobject_cast<UnitChangeViewController*>(nav.stack.back().get());
  ASSERT_NE(unitScreen, nullptr);
  EXPECT_EQ(unitScreen->displayMode(), UnitChangeViewController::DisplayMode::area);
  unitScreen->viewDidLoad();
  unitScreen->selectRow(7);
  settings.viewWillAppear(true);
  EXPECT_EQ(settings.areaUnitText(), "Area unit: ac");

  settings.selectRow(SettingsViewController::unitSection, 0);
  ASSERT_EQ(nav.stack.size(), 2u);
  EXPECT_EQ(qobject_cast<UnitChangeViewController*>(nav.stack.back().get())->displayMode(),
            UnitChangeViewController::DisplayMode::length);

  settings.selectRow(SettingsViewController::unitSection, 2);
  settings.selectRow(SettingsViewController::usageSection, 0);
  settings.selectRow(3, 0);
  EXPECT_EQ(nav.stack.size(), 2u);
  EXPECT_TRUE(urls.opened.empty());
  EXPECT_EQ(journal.filter(QStringLiteral("event ")), QStringList());
}

TEST_F(SettingsViewControllerTest, LinksOpenTheStoreAndThePrivacyPageAndLogOnlyWhileAllowed) {
  const QUrl store(QString::fromLatin1(SettingsViewController::kOtherApplicationsAddress));
  settings.selectRow(SettingsViewController::otherApplicationsSection, 0);
  EXPECT_EQ(journal, QStringList({"event developer_tapped"}));
  ASSERT_EQ(urls.opened.size(), 1u);
  EXPECT_EQ(urls.opened[0], store);

  settings.appUsageSwitchChanged(false);
  journal.clear();
  settings.selectRow(SettingsViewController::otherApplicationsSection, 0);
  EXPECT_TRUE(journal.isEmpty());
  ASSERT_EQ(urls.opened.size(), 2u);
  EXPECT_EQ(urls.opened[1], store);

  settings.seeMoreTapped();
  ASSERT_EQ(urls.opened.size(), 3u);
  EXPECT_EQ(urls.opened[2].scheme(), "https");
  EXPECT_EQ(urls.opened[2], QUrl(QString::fromLatin1(SettingsViewController::kPrivacyPolicyAddress)));
}

}  // namespace
}  // namespace kavrano
