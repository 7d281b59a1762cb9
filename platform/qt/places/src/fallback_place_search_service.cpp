#include "kavrano/qt_places/fallback_place_search_service.h"

#include <QCoreApplication>
#include <QTimer>

#include "kavrano/qt_places/fallback_place_completer.h"

namespace kavrano {

FallbackPlaceSearchService::FallbackPlaceSearchService(std::shared_ptr<PlaceSearchService> primary,
                                                       std::shared_ptr<PlaceSearchService> secondary,
                                                       std::chrono::milliseconds patience)
    : primary_(std::move(primary)), secondary_(std::move(secondary)), patience_(patience) {}

std::unique_ptr<PlaceCompleter> FallbackPlaceSearchService::makeCompleter() {
  return std::make_unique<FallbackPlaceCompleter>(primary_->makeCompleter(), secondary_->makeCompleter(), patience_);
}

void FallbackPlaceSearchService::search(const QString& query, SearchCompletion completion) {
  // The first answer that found something wins, whichever source gave it. The
  // secondary is asked when the primary finds nothing, fails, or is late; "no
  // match" waits for both, since a slow primary may still know a street the
  // secondary does not. No answer only when both failed.
  struct Pending {
    SearchCompletion completion;
    bool done = false;
    bool askedSecondary = false;
    bool primaryAnswered = false;
    bool secondaryAnswered = false;
    bool nothingFound = false;  // a source answered with no match
  };
  auto pending = std::make_shared<Pending>(Pending{std::move(completion)});
  auto found = [pending](std::optional<QList<Coordinate>>& matches) {
    if (pending->done) return true;
    if (matches && !matches->isEmpty()) {
      pending->done = true;
      pending->completion(std::move(matches));
      return true;
    }
    pending->nothingFound = pending->nothingFound || matches.has_value();
    return false;
  };
  auto settle = [pending] {
    if (pending->done || !pending->primaryAnswered || !pending->secondaryAnswered) return;
    pending->done = true;
    pending->completion(pending->nothingFound ? std::optional<QList<Coordinate>>(QList<Coordinate>{}) : std::nullopt);
  };
  auto askSecondary = [pending, found, settle, secondary = secondary_, query] {
    if (pending->done || pending->askedSecondary) return;
    pending->askedSecondary = true;
    secondary->search(query, [pending, found, settle](std::optional<QList<Coordinate>> matches) {
      pending->secondaryAnswered = true;
      if (!found(matches)) settle();
    });
  };
  primary_->search(query, [pending, found, settle, askSecondary](std::optional<QList<Coordinate>> matches) {
    pending->primaryAnswered = true;
    if (found(matches)) return;
    askSecondary();
    settle();
  });
  QTimer::singleShot(patience_, QCoreApplication::instance(), askSecondary);
}

}  // namespace kavrano
