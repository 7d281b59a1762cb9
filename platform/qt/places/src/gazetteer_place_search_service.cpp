#include "kavrano/qt_places/gazetteer_place_search_service.h"

#include <QCoreApplication>

#include "kavrano/qt_places/gazetteer_place_completer.h"

namespace kavrano {

namespace {
constexpr int kSuggestionLimit = 10;
constexpr std::size_t kSearchLimit = 5;
}  // namespace

GazetteerPlaceSearchService::GazetteerPlaceSearchService(GazetteerIndexSource index) : index_(std::move(index)) {}

std::unique_ptr<PlaceCompleter> GazetteerPlaceSearchService::makeCompleter() {
  return std::make_unique<GazetteerPlaceCompleter>(index_, kSuggestionLimit);
}

void GazetteerPlaceSearchService::search(const QString& query, SearchCompletion completion) {
  std::optional<QList<Coordinate>> matches;
  if (const auto index = index_()) {
    matches.emplace();
    for (const GazetteerPlace& p : index->lookUp(query.toStdString(), kSearchLimit)) matches->push_back(p.coordinate);
  }
  // The answer is ready now but, as with every source, arrives later: callers
  // may rely on the call returning first.
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [completion = std::move(completion), matches] { completion(matches); },
      Qt::QueuedConnection);
}

}  // namespace kavrano
