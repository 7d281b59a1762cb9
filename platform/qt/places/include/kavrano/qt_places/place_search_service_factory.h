#pragma once

#include <QString>
#include <memory>

#include "kavrano/places/place_search_service.h"

namespace kavrano {

/// The public Photon instance, used when no geocoder is given.
inline constexpr const char* kDefaultGeocoderUrl = "https://photon.komoot.io";

/// The service chosen, or an error text for the user when the choice is invalid.
struct PlaceSearchServiceChoice {
  std::shared_ptr<PlaceSearchService> service;
  QString error;
};

/// From the text of `--geocoder`: empty for the default geocoder, "offline" for
/// the shipped gazetteer alone, or an http(s) base URL. An online geocoder always
/// has the gazetteer behind it for when the network fails.
[[nodiscard]] PlaceSearchServiceChoice makePlaceSearchService(const QString& option);

}  // namespace kavrano
