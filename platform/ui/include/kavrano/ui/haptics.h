#pragma once

namespace kavrano {

/// The tick a phone plays under the finger (medium impact). Desktops have none.
class ImpactFeedbackGenerator {
 public:
  virtual ~ImpactFeedbackGenerator() = default;
  /// Wakes the engine so that the first tick comes without delay.
  virtual void prepare() = 0;
  virtual void impactOccurred() = 0;
};

}  // namespace kavrano
