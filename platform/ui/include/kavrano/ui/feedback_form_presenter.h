#pragma once

#include <QString>
#include <functional>

#include "kavrano/ui/screen_presenter.h"

namespace kavrano {

/// What the feedback form is given: the app's name for its texts and one
/// callback per kind of answer.
struct FeedbackFormDependencies {
  QString applicationName;
  std::function<void()> onPositiveFeedback;
  std::function<void()> onNegativeFeedback;
};

/// The form asking whether the user enjoys the app. It stays presented until the
/// host dismisses it, which each callback is expected to do.
class FeedbackFormPresenter {
 public:
  virtual ~FeedbackFormPresenter() = default;
  virtual void presentFrom(ScreenPresenter& host, FeedbackFormDependencies dependencies) = 0;
};

}  // namespace kavrano
