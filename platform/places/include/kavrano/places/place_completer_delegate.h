#pragma once

namespace kavrano {

class PlaceCompleter;

/// Told when a completer has a new list of suggestions, or could not get one.
class PlaceCompleterDelegate {
 public:
  virtual ~PlaceCompleterDelegate() = default;
  virtual void completerDidUpdateResults(PlaceCompleter& completer) = 0;
  /// The last list stays in `results()`.
  virtual void completerDidFail(PlaceCompleter& completer) { (void)completer; }
};

}  // namespace kavrano
