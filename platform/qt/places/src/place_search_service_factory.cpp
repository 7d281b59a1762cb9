#include "kavrano/qt_places/place_search_service_factory.h"

#include <QUrl>

#include "kavrano/qt_places/fallback_place_search_service.h"
#include "kavrano/qt_places/gazetteer_place_search_service.h"
#include "kavrano/qt_places/http_place_search_service.h"
#include "kavrano/qt_places/shipped_gazetteer.h"

namespace kavrano {

PlaceSearchServiceChoice makePlaceSearchService(const QString& option) {
  auto offline = std::make_shared<GazetteerPlaceSearchService>(GazetteerIndexSource(&shippedGazetteer));
  if (option == QLatin1String("offline")) return {offline, {}};

  const QUrl url = option.isEmpty() ? QUrl(QString::fromLatin1(kDefaultGeocoderUrl)) : QUrl(option, QUrl::StrictMode);
  const QString scheme = url.scheme().toLower();
  if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) || url.host().isEmpty() ||
      url.hasQuery() || url.hasFragment()) {
    return {nullptr, QStringLiteral("--geocoder: expected \"offline\" or an http(s) base URL such as %1, got \"%2\"")
                         .arg(QString::fromLatin1(kDefaultGeocoderUrl), option)};
  }
  HttpGeocoderOptions options;
  options.baseUrl = url;
  return {std::make_shared<FallbackPlaceSearchService>(std::make_shared<HttpPlaceSearchService>(options), offline), {}};
}

}  // namespace kavrano
