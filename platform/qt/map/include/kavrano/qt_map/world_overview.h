#pragma once

#include <QImage>
#include <QString>

namespace kavrano {

struct WorldOverview {
  /// Drawn from the mapped file, not copied: it holds the file open until its
  /// last copy goes. Null when the file is missing or not a complete overview
  /// of this version.
  QImage image;
  /// Where the picture comes from, for the credit line while it shows.
  QString credit;
};

/// The world overview at `path` (world_overview_format.h).
[[nodiscard]] WorldOverview openWorldOverview(const QString& path);

}  // namespace kavrano
