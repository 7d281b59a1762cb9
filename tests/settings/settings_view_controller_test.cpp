#include "kavrano/settings/settings_view_controller.h"

#include <gtest/gtest.h>

#include "fake_ui.h"
#include "kavrano/core/memory_preference_store.h"

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
