#pragma once

#include <QString>

namespace kavrano {

/// A completion of a typed fragment, shown as title over subtitle.
struct PlaceSuggestion {
  QString title;     // "Zürich"
  QString subtitle;  // "Zurich, Switzerland"; may be empty

  friend bool operator==(const PlaceSuggestion&, const PlaceSuggestion&) = default;
};

}  // namespace kavrano
