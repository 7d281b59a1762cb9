#pragma once

#include <QObject>
#include <memory>

#include "kavrano/measure/search_view_delegate.h"
#include "kavrano/places/place_search_service.h"

namespace kavrano {

/// Stands in for the measuring view model: prints the chosen suggestion, looks
/// it up and prints the coordinate (or why there is none).
class SelectionPrinter : public QObject, public SearchViewDelegate {
  Q_OBJECT
  Q_INTERFACES(kavrano::SearchViewDelegate)
 public:
  explicit SelectionPrinter(std::shared_ptr<PlaceSearchService> places, QObject* parent = nullptr);
  void didSelectCompletion(const PlaceSuggestion& completion) override;

 signals:
  /// After the coordinate is printed; "" when the lookup found nothing.
  void coordinatePrinted(const QString& text);

 private:
  std::shared_ptr<PlaceSearchService> places_;
};

}  // namespace kavrano
