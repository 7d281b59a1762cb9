#pragma once

#include <QByteArray>
#include <QList>
#include <optional>

#include "kavrano/core/coordinate.h"
#include "kavrano/places/place_suggestion.h"

namespace kavrano {

/// One usable feature of a Photon answer.
struct PhotonPlace {
  PlaceSuggestion suggestion;
  Coordinate coordinate;
};

/// Reads a Photon geocoder answer (a GeoJSON FeatureCollection). The body is
/// untrusted: anything but a JSON object with a "features" array gives no
/// value; a feature without a name or without a valid [lon, lat] point is
/// skipped, and a field of the wrong type counts as absent.
class PhotonResponseReader {
 public:
  [[nodiscard]] static std::optional<QList<PhotonPlace>> read(const QByteArray& body);
};

}  // namespace kavrano
