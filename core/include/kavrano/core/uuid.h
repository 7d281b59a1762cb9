#pragma once

#include <string>

namespace kavrano {

/// A new random (version 4) UUID in canonical upper-case text, 36 characters.
[[nodiscard]] std::string makeUuidString();

}  // namespace kavrano
