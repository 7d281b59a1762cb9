#pragma once

namespace kavrano {

/// What the map shows underneath the overlays. The raw values are part of the
/// screens' contract (1 is satellite imagery).
enum class MapType : int {
  Standard = 0,
  Satellite = 1,
};

}  // namespace kavrano
