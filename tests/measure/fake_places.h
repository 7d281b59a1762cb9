#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "kavrano/places/place_search_service.h"
#include "kavrano/places/search_presentation.h"

namespace kavrano::test {

/// A completer the test answers by hand.
class FakePlaceCompleter : public PlaceCompleter {
 public:
  void setQueryFragment(const QString& fragment) override { fragments.push_back(fragment); }
  [[nodiscard]] QString queryFragment() const override { return fragments.value(fragments.size() - 1); }
  [[nodiscard]] QList<PlaceSuggestion> results() const override { return results_; }
  void answer(QList<PlaceSuggestion> results) {
    results_ = std::move(results);
    reportResults();
  }
  void fail() { reportFailure(); }

  QList<QString> fragments;

 private:
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

/// Records dismissals; the test finishes them (the end of the closing animation).
class FakeSearchPresentation : public SearchPresentation {
 public:
  struct Dismissal {
    bool animated;
    std::function<void()> completion;
  };
  void dismiss(bool animated, std::function<void()> completion) override {
    dismissals.push_back({animated, std::move(completion)});
  }
  void finish(std::size_t i = 0) { dismissals.at(i).completion(); }

  std::vector<Dismissal> dismissals;
};

}  // namespace kavrano::test
