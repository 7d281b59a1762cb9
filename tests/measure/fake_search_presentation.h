#pragma once

#include <functional>
#include <vector>

#include "kavrano/places/search_presentation.h"

namespace kavrano::test {

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
