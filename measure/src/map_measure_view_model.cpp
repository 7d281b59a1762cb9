#include "kavrano/measure/map_measure_view_model.h"

#include "kavrano/core/analytics.h"
#include "kavrano/core/measurement_geometry.h"
#include "kavrano/core/measurement_manager.h"
#include "kavrano/core/reference_date.h"
#include "kavrano/core/uuid.h"
#include "kavrano/map/point_annotation.h"
#include "kavrano/measure/location_manager.h"

namespace kavrano {

MapMeasureViewModel::MapMeasureViewModel(std::shared_ptr<PlaceSearchService> places, QObject* parent)
    : QObject(parent), places_(std::move(places)) {}

double MapMeasureViewModel::measuredArea(const std::vector<std::shared_ptr<Annotation>>& annotations) const {
  std::vector<Coordinate> ring;
  ring.reserve(annotations.size());
  for (const auto& vertex : annotations) ring.push_back(vertex->coordinate());
  return MeasurementManager().polygonArea(ring);
}

Result<void> MapMeasureViewModel::saveMeasurement(const std::vector<std::shared_ptr<Annotation>>& annotations,
                                                  const QString& title, const MapView& mapView) {
  PersistedMeasurement record;
  std::vector<Coordinate> vertices;
  vertices.reserve(annotations.size());
  for (const auto& vertex : annotations) vertices.push_back(vertex->coordinate());
  record.annotations = annotationsOf(vertices);
  const Coordinate centre = mapView.cameraCenterCoordinate();
  record.center = {centre.latitude, centre.longitude};
  record.title = title.toStdString();
  record.id = makeUuidString();
  record.date = secondsSinceReferenceDateNow();
  return persistanceManager.appendMeasurement(record);
}

std::vector<std::shared_ptr<Annotation>> MapMeasureViewModel::annotations(const PersistedMeasurement& record) const {
  std::vector<std::shared_ptr<Annotation>> vertices;
  vertices.reserve(record.annotations.size());
  for (const auto& coordinate : coordinatesOf(record.annotations)) {
    // A point off the Earth can be neither drawn nor measured; the rest of the record still opens.
    if (isOnEarth(coordinate)) vertices.push_back(std::make_shared<PointAnnotation>(coordinate));
  }
  return vertices;
}

void MapMeasureViewModel::didSelectCompletion(const PlaceSuggestion& completion) {
  MeasureAnalytics::logEvent("selected_address");
  // A manager per lookup, released at once: the request keeps the answer alive.
  LocationManager manager(places_);
  manager.fetchCoordinate(completion, onSearchFetched);
}

}  // namespace kavrano
