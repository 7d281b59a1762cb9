#include "kavrano/qt_places/fallback_place_completer.h"

namespace kavrano {

FallbackPlaceCompleter::FallbackPlaceCompleter(std::unique_ptr<PlaceCompleter> primary,
                                               std::unique_ptr<PlaceCompleter> secondary,
                                               std::chrono::milliseconds patience)
    : primary_(std::move(primary)), secondary_(std::move(secondary)) {
  primary_->setDelegate(this);
  secondary_->setDelegate(this);
  patience_.setSingleShot(true);
  patience_.setInterval(patience);
  // A network that swallows requests fails only at the timeout; nobody waits
  // that long for suggestions.
  patience_.callOnTimeout([this] { askSecondary(); });
}

FallbackPlaceCompleter::~FallbackPlaceCompleter() {
  primary_->setDelegate(nullptr);
  secondary_->setDelegate(nullptr);
}

void FallbackPlaceCompleter::setQueryFragment(const QString& fragment) {
  fragment_ = fragment;
  primaryAnswered_ = false;
  secondaryAsked_ = false;
  patience_.start();
  primary_->setQueryFragment(fragment);
}

void FallbackPlaceCompleter::askSecondary() {
  if (secondaryAsked_) return;
  secondaryAsked_ = true;
  secondary_->setQueryFragment(fragment_);
}

void FallbackPlaceCompleter::completerDidUpdateResults(PlaceCompleter& completer) {
  if (completer.queryFragment() != fragment_) return;
  if (&completer == primary_.get()) {
    primaryAnswered_ = true;
    patience_.stop();
  } else if (primaryAnswered_) {
    return;  // the primary's answer came first and stays
  }
  results_ = completer.results();
  reportResults();
}

void FallbackPlaceCompleter::completerDidFail(PlaceCompleter& completer) {
  if (&completer == primary_.get()) {
    patience_.stop();
    askSecondary();
  } else {
    reportFailure();
  }
}

}  // namespace kavrano
