#include "kavrano/settings/settings_view_controller.h"

#include <gtest/gtest.h>

#include "fake_ui.h"
#include "kavrano/core/memory_preference_store.h"
#include "kavrano/core/unit_converter.h"
#include "kavrano/core/user_settings.h"
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
  Mode pushedMode() { return qobject_cast<UnitChangeViewController*>(nav.stack.back().get())->displayMode(); }

  std::shared_ptr<MemoryPreferenceStore> store = std::make_shared<MemoryPreferenceStore>();
  Journal journal;
  FakeNavigationController nav{journal};
  FakeUrlOpener urls;
  SettingsViewController settings{urls};
};

TEST_F(SettingsViewControllerTest, FirstStartShowsDefaultsAndTheSwitchIsStoredAtOnceAndReadBackOnAppearing) {
  EXPECT_EQ((QStringList{settings.title(), settings.lengthUnitText(), settings.areaUnitText()}),
            (QStringList{"Settings", "Length unit: m", "Area unit: m²"}));
  EXPECT_TRUE(settings.sendUsageData());
  EXPECT_FALSE(nav.barHidden);

  settings.appUsageSwitchChanged(false);
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
  ASSERT_EQ(pushedMode(), Mode::area);
  auto* unitScreen = static_cast<UnitChangeViewController*>(nav.stack.back().get());
  unitScreen->viewDidLoad();
  unitScreen->selectRow(7);
  settings.viewWillAppear(true);
  EXPECT_EQ(settings.areaUnitText(), "Area unit: ac");

  settings.selectRow(SettingsViewController::unitSection, 0);
  ASSERT_EQ(nav.stack.size(), 2u);
  EXPECT_EQ(pushedMode(), Mode::length);

  // Rows that are not links or unit rows do nothing.
  settings.selectRow(SettingsViewController::unitSection, 2);
  settings.selectRow(SettingsViewController::usageSection, 0);
  settings.selectRow(3, 0);
  EXPECT_EQ(nav.stack.size(), 2u);
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
