#pragma once

#include <QObject>

#include "kavrano/core/user_settings.h"
#include "kavrano/ui/feedback_form_presenter.h"
#include "kavrano/ui/screen_presenter.h"
#include "kavrano/ui/store_review.h"

namespace kavrano {

/// The platform pieces the rating policy reaches. `relevantActions` stands for
/// the process (tests give each simulated run its own).
struct AppFeedbackServices {
  FeedbackFormPresenter& feedbackForm;
  StoreReviewController& storeReview;
  RelevantActionCounter& relevantActions;
};

/// The rating and feedback policy, adopted by the screen that hosts it: the form
/// is offered once per installation; a favourable answer requests a store review
/// now and at every later appearance; an unfavourable one opens a support mail.
/// The flags live in UserSettings::shared().
class CanAskAppFeedback {
 public:
  /// The name the form shows.
  static constexpr const char* kApplicationName = "Kavrano";

  /// Offers the form over the host unless it was offered before.
  void askForAppFeedback();
  /// Run each time the host has appeared.
  void appFeedbackHostDidAppear();
  /// Opens a new message to support; only the unfavourable answer calls it.
  virtual void openSupportMail() = 0;

 protected:
  explicit CanAskAppFeedback(AppFeedbackServices services) : services_(services) {}
  virtual ~CanAskAppFeedback() = default;

  /// The host screen; the form's callbacks hold it weakly.
  [[nodiscard]] virtual QObject& feedbackHost() = 0;
  /// Presents over the host screen.
  [[nodiscard]] virtual ScreenPresenter& feedbackPresenter() = 0;

 private:
  void answered(bool favourable);

  AppFeedbackServices services_;
};

}  // namespace kavrano
