#pragma once

#include <QList>
#include <QObject>
#include <functional>
#include <memory>
#include <optional>

#include "kavrano/core/coordinate.h"
#include "kavrano/places/place_completer.h"
#include "kavrano/places/place_search_service.h"
#include "kavrano/places/place_suggestion.h"

namespace kavrano {

/// The screens' access to place search: completes typed fragments into
/// suggestions and turns a chosen suggestion into a coordinate. Each user keeps
/// its own; it holds no device position.
class LocationManager : public QObject, public PlaceCompleterDelegate {
  Q_OBJECT
 public:
  using SearchCompletion = std::function<void(const QList<PlaceSuggestion>&)>;
  using CoordinateCompletion = std::function<void(std::optional<Coordinate>)>;

  /// The completer is made now; its delegate is left unset for the user to set.
  explicit LocationManager(std::shared_ptr<PlaceSearchService> places, QObject* parent = nullptr);
  ~LocationManager() override;

  [[nodiscard]] PlaceCompleter& searchCompleter() { return *searchCompleter_; }
  [[nodiscard]] const SearchCompletion& searchCompletion() const { return searchCompletion_; }
  /// Receives every new list of suggestions; the initial one does nothing.
  void setSearchCompletion(SearchCompletion completion);

  void completerDidUpdateResults(PlaceCompleter& completer) override;

  /// Looks up "title subtitle" and returns at once. `completion` is called later,
  /// at most once: with the first match, with none when nothing matched, and not
  /// at all when the lookup failed. The lookup need not outlive this object.
  void fetchCoordinate(const PlaceSuggestion& suggestion, CoordinateCompletion completion);

 private:
  std::shared_ptr<PlaceSearchService> places_;
  std::unique_ptr<PlaceCompleter> searchCompleter_;
  SearchCompletion searchCompletion_;
};

}  // namespace kavrano
