#include "kavrano/onboarding/can_ask_app_feedback.h"

#include <QPointer>

#include "kavrano/core/analytics.h"

namespace kavrano {

void CanAskAppFeedback::appFeedbackHostDidAppear() {
  UserSettings& settings = UserSettings::shared();
  if (settings.achievedSuccess()) {
    services_.storeReview.requestReview();
    return;
  }
  if (services_.relevantActions.countRelevantAction(settings.userDefaults, kRelevantActionCountKey) &&
      !settings.didRequest()) {
    askForAppFeedback();
  }
}

void CanAskAppFeedback::askForAppFeedback() {
  UserSettings& settings = UserSettings::shared();
  if (settings.didRequest()) return;
  // Set before the form shows, so it is offered once even if never answered.
  settings.setDidRequest(true);

  const QPointer<QObject> host(&feedbackHost());
  auto answer = [this, host](bool favourable) {
    if (host) answered(favourable);
  };
  services_.feedbackForm.presentFrom(feedbackPresenter(), {QString::fromLatin1(kApplicationName),
                                                           [answer] { answer(true); }, [answer] { answer(false); }});
}

void CanAskAppFeedback::answered(bool favourable) {
  const QPointer<QObject> host(&feedbackHost());
  StoreReviewController& storeReview = services_.storeReview;
  feedbackPresenter().dismiss(true, [this, host, favourable, &storeReview] {
    UserSettings& settings = UserSettings::shared();
    MeasureAnalytics::logEvent(favourable ? "positive_review" : "negative_review");
    settings.setAchievedSuccess(favourable);
    if (favourable) {
      storeReview.requestReview();
    } else if (host) {
      openSupportMail();
    }
  });
}

}  // namespace kavrano
