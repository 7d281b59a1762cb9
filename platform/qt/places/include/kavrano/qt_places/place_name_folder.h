#pragma once

#include <string>
#include <string_view>

namespace kavrano {

/// The one spelling under which place names are indexed and typed fragments are
/// matched: accents dropped, case folded, dashes as spaces, apostrophes and dots
/// dropped, spaces collapsed and trimmed. "Saint-Étienne" and "saint etienne" fold
/// alike. The build-time index compiler and the run-time search share it, so the
/// two can never disagree. Thread-safe; invalid UTF-8 bytes are dropped.
class PlaceNameFolder {
 public:
  [[nodiscard]] static std::string fold(std::string_view utf8);
};

}  // namespace kavrano
