#pragma once

namespace kavrano {

/// The system font at a size in points (1/160 inch on phones; device-independent
/// pixels on desktops), regular or bold.
struct MapFont {
  double pointSize = 17.0;
  bool bold = false;

  [[nodiscard]] static constexpr MapFont boldSystem(double size) { return {size, true}; }
  [[nodiscard]] static constexpr MapFont system(double size) { return {size, false}; }

  friend constexpr bool operator==(const MapFont&, const MapFont&) = default;
};

}  // namespace kavrano
