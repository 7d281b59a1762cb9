#include "kavrano/qt_places/http_place_search_service.h"

#include "kavrano/qt_places/http_place_completer.h"
#include "kavrano/qt_places/photon_request.h"

namespace kavrano {

HttpPlaceSearchService::HttpPlaceSearchService(HttpGeocoderOptions options)
    : options_(std::move(options)), network_(std::make_shared<QNetworkAccessManager>()) {}

std::unique_ptr<PlaceCompleter> HttpPlaceSearchService::makeCompleter() {
  return std::make_unique<HttpPlaceCompleter>(network_, options_);
}

void HttpPlaceSearchService::search(const QString& query, SearchCompletion completion) {
  (void)sendPhotonRequest(*network_, options_, query, options_.searchLimit,
                          [completion = std::move(completion)](auto places) {
                            if (!places) {
                              completion(std::nullopt);
                              return;
                            }
                            QList<Coordinate> matches;
                            for (const PhotonPlace& p : *places) matches.push_back(p.coordinate);
                            completion(matches);
                          });
}

}  // namespace kavrano
