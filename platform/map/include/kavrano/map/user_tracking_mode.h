#pragma once

namespace kavrano {

/// Whether the map keeps the own position in its centre. The raw values are part
/// of the screens' contract.
enum class UserTrackingMode : int {
  None = 0,
  /// Recentres on every position update; panning by hand returns to None.
  Follow = 1,
};

}  // namespace kavrano
