#pragma once

#include <QList>
#include <QString>
#include <memory>
#include <vector>

#include "kavrano/places/place_search_service.h"

namespace kavrano::test {

/// A completer the test answers by hand.
class FakePlaceCompleter : public PlaceCompleter {
 public:
  void setQueryFragment(const QString& fragment) override {
    fragment_ = fragment;
    fragments.push_back(fragment);
  }
  [[nodiscard]] QString queryFragment() const override { return fragment_; }
  [[nodiscard]] QList<PlaceSuggestion> results() const override { return results_; }

  void answer(QList<PlaceSuggestion> results) {
    results_ = std::move(results);
    reportResults();
  }
  void fail() { reportFailure(); }

  QList<QString> fragments;

 private:
  QString fragment_;
  QList<PlaceSuggestion> results_;
};

/// Records the searches asked for; the test completes them when it likes.
class FakePlaceSearchService : public PlaceSearchService {
 public:
  struct Search {
    QString query;
    SearchCompletion completion;
  };

  std::unique_ptr<PlaceCompleter> makeCompleter() override {
    auto completer = std::make_unique<FakePlaceCompleter>();
    completers.push_back(completer.get());
    return completer;
  }
  void search(const QString& query, SearchCompletion completion) override {
    searches.push_back({query, std::move(completion)});
  }

  std::vector<FakePlaceCompleter*> completers;  // owned by whoever asked
  std::vector<Search> searches;
};

}  // namespace kavrano::test
