#include "kavrano/onboarding/can_ask_app_feedback.h"

#include <gtest/gtest.h>

#include "fake_ui.h"
#include "kavrano/core/memory_preference_store.h"

namespace kavrano {
namespace {

/// The smallest host of the policy: records support mails.
class Host final : public QObject, public CanAskAppFeedback {
 public:
  Host(AppFeedbackServices services, ScreenPresenter& presenter, Journal& journal)
      : CanAskAppFeedback(services), presenter_(presenter), journal_(journal) {}
  void openSupportMail() override { journal_ << QStringLiteral("supportMail"); }

 protected:
  QObject& feedbackHost() override { return *this; }
  ScreenPresenter& feedbackPresenter() override { return presenter_; }

 private:
  ScreenPresenter& presenter_;
  Journal& journal_;
};

class CanAskAppFeedbackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PreferenceStore::installStandard(store);
    AnalyticsService::configure(std::make_shared<JournalEventRecorder>(journal));
  }
  void TearDown() override { AnalyticsService::configure(nullptr); }

  /// A new run of the app: fresh process flags, same stored preferences.
  std::unique_ptr<Host> startProcess() {
    counter = std::make_unique<RelevantActionCounter>();
    return std::make_unique<Host>(AppFeedbackServices{form, review, *counter}, presenter, journal);
  }
  std::int64_t count() const { return store->integerForKey(kRelevantActionCountKey); }
  bool flag(const char* key) const { return store->boolForKey(key); }

  std::shared_ptr<MemoryPreferenceStore> store = std::make_shared<MemoryPreferenceStore>();
  Journal journal;
  FakeScreenPresenter presenter{journal};
  FakeFeedbackFormPresenter form{journal};
  FakeStoreReviewController review{journal};
  std::unique_ptr<RelevantActionCounter> counter;
};

TEST_F(CanAskAppFeedbackTest, WithoutAreasTheFormComesOnTheSecondCountedRunOnly) {
  auto run1 = startProcess();
  run1->appFeedbackHostDidAppear();
  run1->appFeedbackHostDidAppear();  // back from the list: same run, counted once
  EXPECT_EQ(count(), 1);
  EXPECT_TRUE(form.forms.empty());

  auto run2 = startProcess();
  run2->appFeedbackHostDidAppear();
  EXPECT_EQ(count(), 2);
  ASSERT_EQ(form.forms.size(), 1u);
  EXPECT_EQ(form.forms[0].applicationName, "Kavrano");
  EXPECT_TRUE(flag("DID_REQUEST"));
  run2->appFeedbackHostDidAppear();
  EXPECT_EQ(form.forms.size(), 1u);

  auto run3 = startProcess();
  run3->appFeedbackHostDidAppear();
  EXPECT_EQ(count(), 3);
  EXPECT_EQ(form.forms.size(), 1u);
  EXPECT_FALSE(journal.contains("requestReview"));
}

TEST_F(CanAskAppFeedbackTest, AnAreaInTheFirstRunAsksOnceAndTheSecondRunThenStaysQuiet) {
  auto run1 = startProcess();
  run1->appFeedbackHostDidAppear();
  run1->askForAppFeedback();
  run1->askForAppFeedback();  // a fourth point
  EXPECT_EQ(form.forms.size(), 1u);
  EXPECT_TRUE(flag("DID_REQUEST")) << "set before the form shows";

  auto run2 = startProcess();
  run2->appFeedbackHostDidAppear();  // count reaches 2, but the form was offered
  EXPECT_EQ(count(), 2);
  EXPECT_EQ(form.forms.size(), 1u);
}

TEST_F(CanAskAppFeedbackTest, AFavourableAnswerReviewsNowAndAtEveryLaterAppearance) {
  auto run1 = startProcess();
  run1->askForAppFeedback();
  form.forms[0].onPositiveFeedback();
  EXPECT_EQ(journal.last(), "dismiss 1") << "the flags wait for the dismissal";
  EXPECT_FALSE(flag("ACHIEVED_SUCCESS"));
  presenter.finishDismissal();
  EXPECT_EQ(journal.mid(journal.size() - 2), (QStringList{"event positive_review", "requestReview"}));
  EXPECT_TRUE(flag("ACHIEVED_SUCCESS"));

  run1->appFeedbackHostDidAppear();
  auto run2 = startProcess();
  run2->appFeedbackHostDidAppear();
  EXPECT_EQ(journal.count("requestReview"), 3);
  EXPECT_EQ(count(), 0) << "favourable runs are not counted";

  // Favourable -> Asked: the mail opens and reviews stop.
  run2->askForAppFeedback();
  EXPECT_EQ(form.forms.size(), 1u);
  form.forms[0].onNegativeFeedback();
  presenter.finishDismissal();
  EXPECT_EQ(journal.mid(journal.size() - 2), (QStringList{"event negative_review", "supportMail"}));
  EXPECT_FALSE(flag("ACHIEVED_SUCCESS"));
  run2->appFeedbackHostDidAppear();
  EXPECT_EQ(journal.count("requestReview"), 3);
}

TEST_F(CanAskAppFeedbackTest, AnswersAfterTheHostIsGoneDoNothing) {
  auto run1 = startProcess();
  run1->askForAppFeedback();
  const auto answers = form.forms[0];
  run1.reset();
  const qsizetype before = journal.size();
  answers.onPositiveFeedback();
  answers.onNegativeFeedback();
  EXPECT_EQ(journal.size(), before);
  EXPECT_FALSE(flag("ACHIEVED_SUCCESS"));
}

TEST_F(CanAskAppFeedbackTest, WithUsageDataOffTheAnswersStillActButLogNothing) {
  UserSettings::shared().setSendUsageData(false);
  auto run1 = startProcess();
  run1->askForAppFeedback();
  form.forms[0].onNegativeFeedback();
  presenter.finishDismissal();
  EXPECT_TRUE(journal.contains("supportMail"));
  EXPECT_FALSE(journal.join(' ').contains("event"));
}

}  // namespace
}  // namespace kavrano
