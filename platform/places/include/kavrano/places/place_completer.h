#pragma once

#include <QList>
#include <QString>

#include "kavrano/places/place_completer_delegate.h"
#include "kavrano/places/place_suggestion.h"

namespace kavrano {

/// Completes a partly typed place or address. Setting a fragment returns at once;
/// the completer answers later on the main thread, through its delegate, with a
/// new list (an empty fragment gives an empty list). Answers for a fragment that
/// has since been replaced are never reported.
class PlaceCompleter {
 public:
  virtual ~PlaceCompleter() = default;

  virtual void setQueryFragment(const QString& fragment) = 0;
  [[nodiscard]] virtual QString queryFragment() const = 0;
  /// The latest list, in the source's order.
  [[nodiscard]] virtual QList<PlaceSuggestion> results() const = 0;

  /// Not owned; null stops the reports. The delegate must outlive the completer
  /// or be reset first.
  void setDelegate(PlaceCompleterDelegate* delegate) { delegate_ = delegate; }
  [[nodiscard]] PlaceCompleterDelegate* delegate() const { return delegate_; }

 protected:
  void reportResults() {
    if (delegate_) delegate_->completerDidUpdateResults(*this);
  }
  void reportFailure() {
    if (delegate_) delegate_->completerDidFail(*this);
  }

 private:
  PlaceCompleterDelegate* delegate_ = nullptr;
};

}  // namespace kavrano
