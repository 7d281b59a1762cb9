#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "kavrano/qt_places/gazetteer_place.h"

namespace kavrano {

/// The world's populated places (at least 1,000 inhabitants), searched in a
/// compiled index that is read where it lies: the bytes are not copied and must
/// outlive the index. Immutable, so one index serves every thread.
class GazetteerIndex {
 public:
  /// None when the bytes are not a complete, consistent index of this version.
  [[nodiscard]] static std::optional<GazetteerIndex> open(std::span<const std::byte> bytes);

  [[nodiscard]] std::size_t size() const { return count_; }
  /// The place of record `i` (below size()), in the index's own order.
  [[nodiscard]] GazetteerPlace place(std::size_t i) const;

  /// Places whose folded name starts with the folded fragment, most populous
  /// first; none for a fragment that folds to nothing.
  [[nodiscard]] std::vector<GazetteerPlace> suggestions(std::string_view fragment, std::size_t limit) const;

  /// Places for a query "name subtitle": those whose name and subtitle both
  /// match exactly (as folded) first; failing that, those named by the longest
  /// leading part of the query that is a whole place name. Most populous first.
  [[nodiscard]] std::vector<GazetteerPlace> lookUp(std::string_view query, std::size_t limit) const;

 private:
  GazetteerIndex(const std::byte* records, std::size_t count, const char* texts)
      : records_(records), count_(count), texts_(texts) {}

  [[nodiscard]] const std::byte* record(std::size_t i) const;
  [[nodiscard]] std::string_view key(std::size_t i) const;
  [[nodiscard]] std::pair<std::size_t, std::size_t> prefixRange(std::string_view prefix) const;
  [[nodiscard]] std::pair<std::size_t, std::size_t> equalRange(std::string_view key) const;

  const std::byte* records_;
  std::size_t count_;
  const char* texts_;
};

/// Gives the index when it is first needed: opening it checks every record,
/// which start-up leaves to another thread. Null when there is none.
using GazetteerIndexSource = std::function<std::shared_ptr<const GazetteerIndex>()>;

}  // namespace kavrano
