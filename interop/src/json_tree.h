#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "import_checks.h"

namespace kavrano::interop {

/// A parsed JSON value that remembers the line it stood on, for messages that
/// point into the file.
struct JsonNode {
  enum class Kind : unsigned char { null, boolean, number, string, array, object };
  Kind kind = Kind::null;
  bool boolean = false;
  double number = 0.0;
  std::size_t line = 0;
  std::string text;                ///< a string's value
  std::string key;                 ///< the member name, for a value inside an object
  std::vector<JsonNode> children;  ///< elements or members, in file order

  /// The member called `name` (the last one when it repeats), or none.
  [[nodiscard]] const JsonNode* member(std::string_view name) const;
};

/// Parses untrusted JSON with nlohmann-json. Throws ImportFailure on malformed text,
/// a number out of the double range, nesting deeper than kMaxNestingDepth or more
/// than kMaxJsonValues values.
[[nodiscard]] JsonNode parseJsonTree(std::string_view text);

}  // namespace kavrano::interop
