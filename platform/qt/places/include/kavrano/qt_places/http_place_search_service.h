#pragma once

#include <QNetworkAccessManager>
#include <memory>

#include "kavrano/places/place_search_service.h"
#include "kavrano/qt_places/http_geocoder_options.h"

namespace kavrano {

/// Places from a Photon geocoder over HTTP: `GET {base}/api?q=…&limit=N`.
/// Any transport error, timeout, HTTP error status, oversized or unreadable
/// body counts as a failure. Main thread only.
class HttpPlaceSearchService : public PlaceSearchService {
 public:
  explicit HttpPlaceSearchService(HttpGeocoderOptions options);

  [[nodiscard]] std::unique_ptr<PlaceCompleter> makeCompleter() override;
  void search(const QString& query, SearchCompletion completion) override;

 private:
  HttpGeocoderOptions options_;
  std::shared_ptr<QNetworkAccessManager> network_;
};

}  // namespace kavrano
