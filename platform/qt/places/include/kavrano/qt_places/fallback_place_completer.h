#pragma once

#include <QTimer>
#include <chrono>
#include <memory>

#include "kavrano/places/place_completer.h"

namespace kavrano {

/// Asks the primary completer; when it fails, or has not answered within
/// `patience`, the secondary answers the same fragment meanwhile, and a late
/// primary answer still replaces it. Answers for a fragment that has since
/// changed are dropped.
class FallbackPlaceCompleter : public PlaceCompleter, private PlaceCompleterDelegate {
 public:
  FallbackPlaceCompleter(std::unique_ptr<PlaceCompleter> primary, std::unique_ptr<PlaceCompleter> secondary,
                         std::chrono::milliseconds patience);
  ~FallbackPlaceCompleter() override;

  void setQueryFragment(const QString& fragment) override;
  [[nodiscard]] QString queryFragment() const override { return fragment_; }
  [[nodiscard]] QList<PlaceSuggestion> results() const override { return results_; }

 private:
  void completerDidUpdateResults(PlaceCompleter& completer) override;
  void completerDidFail(PlaceCompleter& completer) override;
  void askSecondary();

  std::unique_ptr<PlaceCompleter> primary_;
  std::unique_ptr<PlaceCompleter> secondary_;
  QTimer patience_;
  bool primaryAnswered_ = false;
  bool secondaryAsked_ = false;
  QString fragment_;
  QList<PlaceSuggestion> results_;
};

}  // namespace kavrano
