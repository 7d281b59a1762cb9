#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "kavrano/core/coordinate.h"
#include "kavrano/places/place_completer.h"

namespace kavrano {

/// A source of places: completers for typed fragments, and searches that turn a
/// natural-language query into coordinates. One service is shared by every
/// screen for the life of the process.
class PlaceSearchService {
 public:
  /// The matches in the source's order (possibly none), or no value when the
  /// search failed (network down, bad answer).
  using SearchCompletion = std::function<void(std::optional<QList<Coordinate>>)>;

  virtual ~PlaceSearchService() = default;

  [[nodiscard]] virtual std::unique_ptr<PlaceCompleter> makeCompleter() = 0;

  /// Starts a search and returns at once. The completion is called once, later,
  /// on the main thread, even if whoever started the search is gone by then (it
  /// is kept with the request). Only destroying the service itself may end an
  /// open search without a call.
  virtual void search(const QString& query, SearchCompletion completion) = 0;
};

}  // namespace kavrano
