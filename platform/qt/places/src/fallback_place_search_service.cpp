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
  // One answer: the primary's when it comes in time and succeeds, else the
  // secondary's, asked on the primary's failure or once patience runs out.
  struct Pending {
    SearchCompletion completion;
    bool answered = false;
    bool askedSecondary = false;
  };
  auto pending = std::make_shared<Pending>(Pending{std::move(completion)});
  auto answer = [pending](std::optional<QList<Coordinate>> matches) {
    if (pending->answered) return;
    pending->answered = true;
    pending->completion(std::move(matches));
  };
  auto askSecondary = [pending, answer, secondary = secondary_, query] {
    if (pending->answered || pending->askedSecondary) return;
    pending->askedSecondary = true;
    secondary->search(query, answer);
  };
  primary_->search(query, [answer, askSecondary](std::optional<QList<Coordinate>> matches) {
    if (matches) {
      answer(std::move(matches));
    } else {
      askSecondary();
    }
  });
  QTimer::singleShot(patience_, QCoreApplication::instance(), askSecondary);
}

}  // namespace kavrano
