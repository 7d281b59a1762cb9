#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kavrano/core/coordinate.h"

namespace kavrano {

/// Compiles places into the byte layout that `GazetteerIndex` reads. Places with
/// the same name and subtitle are merged into the most populous one: the search
/// could not tell them apart.
class GazetteerIndexWriter {
 public:
  /// Texts in UTF-8; a name or subtitle longer than 65,535 bytes, or a name that
  /// folds to nothing, is skipped.
  void add(std::string name, std::string subtitle, Coordinate coordinate, std::uint32_t population);

  /// The whole index; empty if the texts exceed 4 GiB.
  [[nodiscard]] std::string build() const;

 private:
  struct Entry {
    std::string key;
    std::string name;
    std::string subtitle;
    Coordinate coordinate;
    std::uint32_t population;
  };
  std::vector<Entry> entries_;
};

}  // namespace kavrano
