#pragma once

namespace kavrano {

/// Asks the app store to offer a rating prompt; the store decides whether to show it.
class StoreReviewController {
 public:
  virtual ~StoreReviewController() = default;
  virtual void requestReview() = 0;
};

}  // namespace kavrano
