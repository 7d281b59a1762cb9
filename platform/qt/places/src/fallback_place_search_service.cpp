#include "kavrano/qt_places/fallback_place_search_service.h"

#include "kavrano/qt_places/fallback_place_completer.h"

namespace kavrano {

FallbackPlaceSearchService::FallbackPlaceSearchService(std::shared_ptr<PlaceSearchService> primary,
                                                       std::shared_ptr<PlaceSearchService> secondary,
                                                       std::chrono::milliseconds patience)
    : primary_(std::move(primary)), secondary_(std::move(secondary)), patience_(patience) {}

std::unique_ptr<PlaceCompleter> FallbackPlaceSearchService::makeCompleter() {
  return std::make_unique<FallbackPlaceCompleter>(primary_->makeCompleter(), secondary_->makeCompleter(), patience_);
}

void FallbackPlaceSearchService::search(const QString& query, SearchCompletion completion) {
  primary_->search(query, [secondary = secondary_, query, completion = std::move(completion)](auto matches) {
    if (matches) {
      completion(std::move(matches));
    } else {
      secondary->search(query, completion);
    }
  });
}

}  // namespace kavrano
