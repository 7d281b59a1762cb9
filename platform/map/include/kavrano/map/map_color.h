#pragma once

namespace kavrano {

/// An sRGB colour with straight (not premultiplied) alpha, each channel 0…1.
/// Our own type so that screens can choose colours while linking QtCore only.
struct MapColor {
  double red = 0.0;
  double green = 0.0;
  double blue = 0.0;
  double alpha = 1.0;

  [[nodiscard]] static constexpr MapColor white() { return {1.0, 1.0, 1.0, 1.0}; }
  [[nodiscard]] static constexpr MapColor black() { return {0.0, 0.0, 0.0, 1.0}; }
  /// The usual "light grey" of phone toolkits: two thirds white.
  [[nodiscard]] static constexpr MapColor lightGray() { return {2.0 / 3.0, 2.0 / 3.0, 2.0 / 3.0, 1.0}; }
  [[nodiscard]] constexpr MapColor withAlpha(double a) const { return {red, green, blue, a}; }

  friend constexpr bool operator==(const MapColor&, const MapColor&) = default;
};

}  // namespace kavrano
