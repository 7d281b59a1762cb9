#pragma once

#include <string_view>

namespace kavrano::interop {

inline constexpr std::string_view kKmlNamespace = "http://www.opengis.net/kml/2.2";
/// The namespaces of KML 2.0 and 2.1, still met in files from older globes.
inline constexpr std::string_view kOldKmlNamespaces[] = {
    "http://earth.google.com/kml/2.0", "http://earth.google.com/kml/2.1", "http://earth.google.com/kml/2.2"};
inline constexpr std::string_view kGpx11Namespace = "http://www.topografix.com/GPX/1/1";
inline constexpr std::string_view kGpx10Namespace = "http://www.topografix.com/GPX/1/0";
/// Our own GPX extension elements: the measurement's id, date, areas and perimeter.
inline constexpr std::string_view kKavranoGpxNamespace = "urn:x-kavrano:gpx-measurement:1";

}  // namespace kavrano::interop
