#pragma once

#include <memory>

#include "kavrano/qt_places/gazetteer_index.h"

namespace kavrano {

/// The gazetteer compiled into the program. Opened once, on first use, where it
/// lies in the program's read-only data; none if the build left it out.
[[nodiscard]] std::shared_ptr<const GazetteerIndex> shippedGazetteer();

}  // namespace kavrano
