#pragma once

#include <QString>
#include <ostream>

#include "kavrano/places/place_suggestion.h"

// Readable failure messages: GoogleTest prints unknown types as bytes.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace kavrano {
inline void PrintTo(const PlaceSuggestion& s, std::ostream* os) {
  *os << "{\"" << s.title.toStdString() << "\", \"" << s.subtitle.toStdString() << "\"}";
}
}  // namespace kavrano
