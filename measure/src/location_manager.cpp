#include "kavrano/measure/location_manager.h"

namespace kavrano {

LocationManager::LocationManager(std::shared_ptr<PlaceSearchService> places, QObject* parent)
    : QObject(parent),
      places_(std::move(places)),
      searchCompleter_(places_->makeCompleter()),
      searchCompletion_([](const QList<PlaceSuggestion>&) {}) {}

LocationManager::~LocationManager() {
  if (searchCompleter_->delegate() == this) searchCompleter_->setDelegate(nullptr);
}

void LocationManager::setSearchCompletion(SearchCompletion completion) {
  searchCompletion_ = completion ? std::move(completion) : [](const QList<PlaceSuggestion>&) {};
}

void LocationManager::completerDidUpdateResults(PlaceCompleter& completer) { searchCompletion_(completer.results()); }

void LocationManager::fetchCoordinate(const PlaceSuggestion& suggestion, CoordinateCompletion completion) {
  // An empty subtitle still leaves the separating space.
  const QString query = suggestion.title + QLatin1Char(' ') + suggestion.subtitle;
  places_->search(query, [completion = std::move(completion)](std::optional<QList<Coordinate>> matches) {
    if (!matches) return;
    if (matches->isEmpty()) {
      completion(std::nullopt);
    } else {
      completion(matches->first());
    }
  });
}

}  // namespace kavrano
