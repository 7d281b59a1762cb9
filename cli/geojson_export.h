#pragma once

#include <nlohmann/json.hpp>
#include <vector>

#include "kavrano/core/persisted_measurement.h"

namespace kavrano::cli {

/// The saved measurements as an RFC 7946 FeatureCollection, one Feature per record
/// in stored order: a Polygon for three or more vertices (closed ring, counter-
/// clockwise), a LineString for two, a Point for one, no geometry for none.
/// Members come in the order people read them ("type" first). Properties carry
/// the app's spherical area beside GeographicLib's ellipsoidal one.
[[nodiscard]] nlohmann::ordered_json geoJsonFeatureCollection(const std::vector<PersistedMeasurement>& measurements);

}  // namespace kavrano::cli
