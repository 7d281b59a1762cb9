#pragma once

#include <QString>

namespace kavrano {

/// `kavrano --about`: the version, the product's licence, and the credits that
/// the licences of the place data and the imagery ask for. Also installed as the
/// package's copyright file, so both always say the same.
[[nodiscard]] QString aboutText();

}  // namespace kavrano
