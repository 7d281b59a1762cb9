#pragma once

#include <functional>

namespace kavrano {

/// The active search shown over a screen, as its results screen sees it.
class SearchPresentation {
 public:
  virtual ~SearchPresentation() = default;
  /// Closes the search; `completion` runs on the main thread once it is closed
  /// (after the closing animation when `animated`), never from inside this call.
  virtual void dismiss(bool animated, std::function<void()> completion) = 0;
};

}  // namespace kavrano
