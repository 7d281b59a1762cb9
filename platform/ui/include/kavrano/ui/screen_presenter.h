#pragma once

#include <functional>
#include <memory>

#include "kavrano/ui/alert_controller.h"
#include "kavrano/ui/view_controller.h"

namespace kavrano {

/// What one screen presents over itself: a full-screen screen (cross-dissolve)
/// or an alert, one at a time. Completions run on the main thread once the
/// change is over (after its animation when animated), never inside the call.
class ScreenPresenter {
 public:
  virtual ~ScreenPresenter() = default;
  /// Takes ownership of `screen.controller`.
  virtual void presentScreen(Screen screen, bool animated, std::function<void()> completion = {}) = 0;
  virtual void presentAlert(std::shared_ptr<AlertController> alert, bool animated,
                            std::function<void()> completion = {}) = 0;
  /// Whether a screen or an alert is presented over this screen now.
  [[nodiscard]] virtual bool isPresenting() const = 0;
  /// Takes down what is presented; the completion runs even when nothing was.
  virtual void dismiss(bool animated, std::function<void()> completion = {}) = 0;
};

}  // namespace kavrano
