#pragma once

#include "kavrano/ui/view_controller.h"

namespace kavrano {

/// A stack of screens with a navigation bar (title and back button).
class NavigationController {
 public:
  virtual ~NavigationController() = default;
  /// Shows `screen` on top; the stack owns it until it is popped.
  virtual void pushViewController(Screen screen, bool animated) = 0;
  /// Removes the top screen unless it is the root.
  virtual void popViewController(bool animated) = 0;
  virtual void setNavigationBarHidden(bool hidden, bool animated) = 0;
  [[nodiscard]] virtual bool isNavigationBarHidden() const = 0;
};

}  // namespace kavrano
