#pragma once

#include <memory>

#include "kavrano/places/place_search_service.h"
#include "kavrano/qt_places/gazetteer_index.h"

namespace kavrano {

/// Places from the offline gazetteer. A search never fails unless there is no
/// index; it answers on the next turn of the event loop.
class GazetteerPlaceSearchService : public PlaceSearchService {
 public:
  explicit GazetteerPlaceSearchService(GazetteerIndexSource index);

  [[nodiscard]] std::unique_ptr<PlaceCompleter> makeCompleter() override;
  void search(const QString& query, SearchCompletion completion) override;

 private:
  GazetteerIndexSource index_;
};

}  // namespace kavrano
