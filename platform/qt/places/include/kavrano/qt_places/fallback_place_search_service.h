#pragma once

#include <chrono>
#include <memory>

#include "kavrano/places/place_search_service.h"

namespace kavrano {

/// The online source with the offline one behind it. Suggestions: whatever the
/// primary cannot answer (no network, a broken answer) the secondary answers; a
/// primary's "no match" is an answer. Searches: the first answer that found
/// something wins; "no match" only once both have answered with nothing or
/// failed, and no answer only when both failed.
class FallbackPlaceSearchService : public PlaceSearchService {
 public:
  /// `patience`: how long suggestions wait for the primary before the secondary
  /// answers meanwhile, and how long a search waits for it before the secondary
  /// is asked too (a network that swallows requests would otherwise hold the
  /// user for the primary's whole timeout).
  FallbackPlaceSearchService(std::shared_ptr<PlaceSearchService> primary, std::shared_ptr<PlaceSearchService> secondary,
                             std::chrono::milliseconds patience = std::chrono::seconds(2));

  [[nodiscard]] std::unique_ptr<PlaceCompleter> makeCompleter() override;
  void search(const QString& query, SearchCompletion completion) override;

 private:
  std::shared_ptr<PlaceSearchService> primary_;
  std::shared_ptr<PlaceSearchService> secondary_;
  std::chrono::milliseconds patience_;
};

}  // namespace kavrano
