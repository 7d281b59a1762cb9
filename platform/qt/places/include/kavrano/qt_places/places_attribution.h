#pragma once

namespace kavrano {

/// Shown in the app's about text; the licence of the offline place data requires it.
inline constexpr const char* kPlacesAttribution =
    "Offline place search uses data from GeoNames (geonames.org), licensed under "
    "CC BY 4.0 (creativecommons.org/licenses/by/4.0). Online search uses the Photon "
    "geocoder with data from OpenStreetMap contributors (ODbL).";

}  // namespace kavrano
