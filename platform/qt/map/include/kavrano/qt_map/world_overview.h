#pragma once

#include <QImage>
#include <QString>

namespace kavrano {

/// The world overview at `path` (world_overview_format.h), drawn from the mapped
/// file, not copied: the image holds the file open until its last copy goes.
/// Null when the file is missing or not a complete overview of this version.
[[nodiscard]] QImage openWorldOverview(const QString& path);

}  // namespace kavrano
