#pragma once

#include <QObject>

#include "kavrano/places/place_suggestion.h"

namespace kavrano {

/// Receives the suggestion chosen in the place search. Implemented by a QObject
/// that declares Q_INTERFACES(kavrano::SearchViewDelegate), so the search can
/// hold it weakly.
class SearchViewDelegate {
 public:
  virtual ~SearchViewDelegate() = default;
  virtual void didSelectCompletion(const PlaceSuggestion& completion) = 0;
};

}  // namespace kavrano

Q_DECLARE_INTERFACE(kavrano::SearchViewDelegate, "app.kavrano.SearchViewDelegate")
