#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "kavrano/core/coordinate.h"
#include "kavrano/core/persistance_manager.h"
#include "kavrano/core/persisted_measurement.h"
#include "kavrano/map/annotation.h"
#include "kavrano/map/map_view.h"
#include "kavrano/measure/search_view_delegate.h"
#include "kavrano/places/place_search_service.h"

namespace kavrano {

/// The measuring screen's link to the core and the store: the area of the
/// current vertices, saving them, turning a saved record back into vertices, and
/// resolving a chosen place suggestion. Holds no measurement of its own.
class MapMeasureViewModel final : public QObject, public SearchViewDelegate {
  Q_OBJECT
  Q_INTERFACES(kavrano::SearchViewDelegate)

 public:
  using SearchFetched = std::function<void(std::optional<Coordinate>)>;

  explicit MapMeasureViewModel(std::shared_ptr<PlaceSearchService> places, QObject* parent = nullptr);

  /// Receives the coordinate of a chosen suggestion, or none; does nothing until replaced.
  SearchFetched onSearchFetched = [](std::optional<Coordinate>) {};
  PersistanceManager persistanceManager;

  /// Square metres enclosed by the vertices in list order; 0 below three.
  [[nodiscard]] double measuredArea(const std::vector<std::shared_ptr<Annotation>>& annotations) const;
  /// Stores a new record: the vertices, `title` as given, a new id, now, and the
  /// map camera's centre. Says why when the store could not keep it.
  Result<void> saveMeasurement(const std::vector<std::shared_ptr<Annotation>>& annotations, const QString& title,
                               const MapView& mapView);
  /// Untitled vertices at the record's points that are on the Earth (isOnEarth), in stored order.
  [[nodiscard]] std::vector<std::shared_ptr<Annotation>> annotations(const PersistedMeasurement& record) const;

  /// Logs "selected_address" and looks "title subtitle" up; the answer goes to
  /// `onSearchFetched` later (not at all when the lookup fails).
  void didSelectCompletion(const PlaceSuggestion& completion) override;

 private:
  std::shared_ptr<PlaceSearchService> places_;
};

}  // namespace kavrano
