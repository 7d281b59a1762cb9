#include "kavrano/onboarding/can_ask_app_feedback.h"

#include <gtest/gtest.h>

#include <deque>

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

/// A history of runs from a fresh install, and what it leaves. Steps: '|' a new
/// process (fresh process flags, the same store), 'A' the host appears, 'a' an
/// area asks, 'p'/'n' a favourable/unfavourable answer to the latest form, 'd'
/// the form's dismissal ends, 'x' the latest host goes away, 'u' usage data off.
struct Row {
  const char* steps;
  int countedRuns, forms, reviews;
  bool didRequest, success;
  const char* last;  // the journal's last two lines
};
const Row kRows[] = {
    // Without areas the second counted run offers the form, and only it.
    {"|AA", 1, 0, 0, false, false, ""},
    {"|AA|A", 2, 1, 0, true, false, "feedbackForm Kavrano, present FeedbackForm 1"},
    {"|AA|AA|A", 3, 1, 0, true, false, "feedbackForm Kavrano, present FeedbackForm 1"},
    // An area offers it at once, and once; the second run then stays quiet.
    {"|Aaa", 1, 1, 0, true, false, "feedbackForm Kavrano, present FeedbackForm 1"},
    {"|Aaa|A", 2, 1, 0, true, false, "feedbackForm Kavrano, present FeedbackForm 1"},
    // A favourable answer acts once the form is down, then reviews at every
    // appearance, uncounted, until an unfavourable one opens the mail instead.
    {"|ap", 0, 1, 0, true, false, "present FeedbackForm 1, dismiss 1"},
    {"|apd", 0, 1, 1, true, true, "event positive_review, requestReview"},
    {"|apdA|A", 0, 1, 3, true, true, "requestReview, requestReview"},
    {"|apdA|Aand", 0, 1, 3, true, false, "event negative_review, supportMail"},
    {"|apdA|AandA", 1, 1, 3, true, false, "event negative_review, supportMail"},
    // Answers after the host is gone do nothing; one given before opens no mail.
    {"|axpn", 0, 1, 0, true, false, "feedbackForm Kavrano, present FeedbackForm 1"},
    {"|anxd", 0, 1, 0, true, false, "dismiss 1, event negative_review"},
    // Without usage data the answers still act, but log nothing.
    {"u|and", 0, 1, 0, true, false, "dismiss 1, supportMail"},
};

TEST(CanAskAppFeedbackTest, RatingPolicyAcrossRuns) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.steps);
    auto store = std::make_shared<MemoryPreferenceStore>();
    PreferenceStore::installStandard(store);
    Journal journal;
    AnalyticsService::configure(std::make_shared<JournalEventRecorder>(journal));
    FakeScreenPresenter presenter{journal};
    FakeFeedbackFormPresenter form{journal};
    FakeStoreReviewController review{journal};
    std::deque<RelevantActionCounter> processes;
    std::vector<std::unique_ptr<Host>> hosts;
    for (const char* step = row.steps; *step; ++step) {
      const char c = *step;
      if (c == '|')
        hosts.push_back(
            std::make_unique<Host>(AppFeedbackServices{form, review, processes.emplace_back()}, presenter, journal));
      if (c == 'A') hosts.back()->appFeedbackHostDidAppear();
      if (c == 'a') hosts.back()->askForAppFeedback();
      if (c == 'p') form.forms.back().onPositiveFeedback();
      if (c == 'n') form.forms.back().onNegativeFeedback();
      if (c == 'd' && !presenter.pendingDismissals.empty()) presenter.finishDismissal();
      if (c == 'x') hosts.back().reset();
      if (c == 'u') UserSettings::shared().setSendUsageData(false);
    }
    EXPECT_EQ(store->integerForKey(kRelevantActionCountKey), row.countedRuns);
    EXPECT_EQ(form.forms.size(), static_cast<size_t>(row.forms));
    EXPECT_EQ(journal.count("requestReview"), row.reviews);
    EXPECT_EQ(store->boolForKey("DID_REQUEST"), row.didRequest);
    EXPECT_EQ(store->boolForKey("ACHIEVED_SUCCESS"), row.success);
    EXPECT_EQ(journal.mid(std::max<qsizetype>(0, journal.size() - 2)).join(", "), row.last);
  }
  AnalyticsService::configure(nullptr);
}

}  // namespace
}  // namespace kavrano
