#pragma once

#include <QString>

namespace kavrano {

/// Writes an MBTiles file of imagery-like tiles (fields of varied greens and
/// browns between hedges) a few hundred metres around the place, at `zoom`
/// only. The same place gives the same pictures on every run. False when the
/// file cannot be written.
[[nodiscard]] bool writeFieldsImagery(const QString& path, double latitude, double longitude, int zoom);

}  // namespace kavrano
