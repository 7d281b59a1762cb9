#pragma once

#include <QList>

#include "kavrano/places/place_completer.h"

namespace kavrano::test {

/// Records every report of a completer.
class RecordingCompleterDelegate : public PlaceCompleterDelegate {
 public:
  void completerDidUpdateResults(PlaceCompleter& completer) override { updates.push_back(completer.results()); }
  void completerDidFail(PlaceCompleter&) override { ++failures; }

  QList<QList<PlaceSuggestion>> updates;
  int failures = 0;
};

}  // namespace kavrano::test
