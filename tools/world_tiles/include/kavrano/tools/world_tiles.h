#pragma once

#include <QImage>
#include <QString>

namespace kavrano {

/// Reprojects a plate carrée picture of the whole Earth (longitude −180° at the
/// left edge to 180° at the right, latitude 90° at the top to −90° at the bottom,
/// any size) into Web Mercator tiles of 256 × 256 for zooms 0 to `maxZoom`
/// (0–8), written as JPEG into a new MBTiles file at `path` (replaced if there).
/// Every output pixel samples the picture bilinearly at its centre, from a copy
/// halved by 2 × 2 averaging until it is no finer than that zoom, so small zooms
/// do not shimmer; longitude wraps across the antimeridian. The same picture
/// gives the same file on every run. Returns an empty text, or what went wrong.
[[nodiscard]] QString writeWorldTiles(const QImage& equirectangular, const QString& path, int maxZoom,
                                      const QString& attribution);

/// The same picture as one Web Mercator square of 256 × 2^`zoom` pixels (zoom
/// 0–2), sampled as the tiles are, written uncompressed with its `credit`
/// (world_overview_format.h) to `path`. Returns an empty text, or what went wrong.
[[nodiscard]] QString writeWorldOverview(const QImage& equirectangular, const QString& path, int zoom,
                                         const QString& credit);

}  // namespace kavrano
