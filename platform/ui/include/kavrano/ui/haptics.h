#pragma once

namespace kavrano {

/// How strong a tick feels: light for turning a page, medium for a point on the map.
enum class ImpactFeedbackStyle { Light, Medium };

/// The tick a phone plays under the finger. Desktops have none. Its style is
/// fixed when the generator is made.
class ImpactFeedbackGenerator {
 public:
  virtual ~ImpactFeedbackGenerator() = default;
  /// Wakes the engine so that the first tick comes without delay.
  virtual void prepare() = 0;
  virtual void impactOccurred() = 0;
};

}  // namespace kavrano
