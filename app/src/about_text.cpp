#include "kavrano/app/about_text.h"

#include "kavrano/qt_map/map_sources.h"
#include "kavrano/qt_places/places_attribution.h"

namespace kavrano {

QString aboutText() {
  // No licence has been granted for the product: it is the maker's.
  return QStringLiteral(
             "Kavrano %1\n"
             "Measures lengths and areas on satellite imagery.\n"
             "https://kavrano.app\n"
             "\n"
             "Copyright 2026 the Kavrano authors. All rights reserved.\n"
             "\n"
             "Place data: %2\n"
             "\n"
             "Map imagery: the satellite map shows \"%3\" (Esri World Imagery), the "
             "standard map \"%4\" (tile.openstreetmap.org; data under the ODbL). Imagery given with --tiles "
             "carries its own credit, shown on the map.\n"
             "\n"
             "Built-in world (offline, and wherever imagery is missing): NASA Visible Earth imagery; land, "
             "coasts and borders from Natural Earth 1:10m (both public domain); place names from GeoNames.\n")
      .arg(QStringLiteral(KAVRANO_VERSION), QString::fromUtf8(kPlacesAttribution),
           defaultImagery(MapType::Satellite).attribution, defaultImagery(MapType::Standard).attribution);
}

}  // namespace kavrano
