#pragma once

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <optional>

#include "kavrano/qt_map/tile_id.h"

struct sqlite3;

namespace kavrano {

/// Reads tiles from an MBTiles file (SQLite; rows in TMS order, counted from the
/// south). Read-only; safe to call from several threads (calls are serialised).
class MbtilesReader {
 public:
  MbtilesReader() = default;
  ~MbtilesReader();
  MbtilesReader(const MbtilesReader&) = delete;
  MbtilesReader& operator=(const MbtilesReader&) = delete;

  /// False, with `errorText()` set, when the file is missing or has no tiles table.
  [[nodiscard]] bool open(const QString& path);
  [[nodiscard]] const QString& errorText() const { return error_; }

  /// No tile is larger: a longer blob is refused without being read.
  static constexpr qint64 kMaxTileBytes = 4LL * 1024 * 1024;

  /// The stored bytes (an image file, never checked here), or none; none also
  /// for a blob over the cap.
  [[nodiscard]] std::optional<QByteArray> tile(const TileId& tile) const;
  /// A value of the metadata table, or an empty text.
  [[nodiscard]] QString metadata(const QString& name) const;
  [[nodiscard]] int maxZoom() const { return maxZoom_; }

 private:
  sqlite3* db_ = nullptr;
  mutable QMutex mutex_;
  QString error_;
  int maxZoom_ = 22;
};

}  // namespace kavrano
