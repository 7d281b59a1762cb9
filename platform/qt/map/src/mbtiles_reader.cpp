#include "kavrano/qt_map/mbtiles_reader.h"

#include <sqlite3.h>

#include <QFileInfo>
#include <QUrl>

namespace kavrano {

namespace {

struct Statement {
  sqlite3_stmt* s = nullptr;
  ~Statement() { sqlite3_finalize(s); }
};

}  // namespace

MbtilesReader::~MbtilesReader() { sqlite3_close(db_); }

bool MbtilesReader::open(const QString& path) {
  if (!QFileInfo(path).isFile()) {
    error_ = QStringLiteral("no such file: %1").arg(path);
    return false;
  }
  // Read-only and immutable: we never write, and nobody should while we read.
  const QByteArray uri = "file:" + QUrl::toPercentEncoding(QFileInfo(path).absoluteFilePath(), "/") + "?immutable=1";
  if (sqlite3_open_v2(uri.constData(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_FULLMUTEX, nullptr) !=
      SQLITE_OK) {
    error_ = QStringLiteral("cannot open %1: %2").arg(path, QString::fromUtf8(sqlite3_errmsg(db_)));
    sqlite3_close(db_);
    db_ = nullptr;
    return false;
  }
  // SQLite refuses any longer value before making it, whether a stored blob or
  // one a view computes (a zeroblob() of 300 MB is a few bytes of file).
  sqlite3_limit(db_, SQLITE_LIMIT_LENGTH, static_cast<int>(kMaxTileBytes));
  // A tile is read once, then decoded and kept as an image; the system's file
  // cache serves a read again. SQLite's own cache of 2 MB per file stayed full.
  sqlite3_exec(db_, "PRAGMA cache_size = -128", nullptr, nullptr, nullptr);
  Statement st;
  if (sqlite3_prepare_v2(db_, "SELECT 1 FROM tiles LIMIT 1", -1, &st.s, nullptr) != SQLITE_OK) {
    error_ = QStringLiteral("%1 is not an MBTiles file: %2").arg(path, QString::fromUtf8(sqlite3_errmsg(db_)));
    sqlite3_close(db_);
    db_ = nullptr;
    return false;
  }
  bool ok = false;
  const int z = metadata(QStringLiteral("maxzoom")).toInt(&ok);
  if (ok && z >= 0 && z <= 30) maxZoom_ = z;
  return true;
}

std::optional<QByteArray> MbtilesReader::tile(const TileId& t) const {
  if (!db_ || !t.valid()) return std::nullopt;
  QMutexLocker lock(&mutex_);
  Statement st;
  if (sqlite3_prepare_v2(db_, "SELECT tile_data FROM tiles WHERE zoom_level=?1 AND tile_column=?2 AND tile_row=?3", -1,
                         &st.s, nullptr) != SQLITE_OK)
    return std::nullopt;
  sqlite3_bind_int(st.s, 1, t.z);
  sqlite3_bind_int(st.s, 2, t.x);
  sqlite3_bind_int(st.s, 3, (1 << t.z) - 1 - t.y);  // TMS counts rows from the south
  if (sqlite3_step(st.s) != SQLITE_ROW) return std::nullopt;
  const auto* data = static_cast<const char*>(sqlite3_column_blob(st.s, 0));
  const int size = sqlite3_column_bytes(st.s, 0);
  return QByteArray(data, size);
}

QString MbtilesReader::metadata(const QString& name) const {
  if (!db_) return {};
  QMutexLocker lock(&mutex_);
  Statement st;
  if (sqlite3_prepare_v2(db_, "SELECT value FROM metadata WHERE name=?1", -1, &st.s, nullptr) != SQLITE_OK) return {};
  const QByteArray key = name.toUtf8();
  sqlite3_bind_text(st.s, 1, key.constData(), static_cast<int>(key.size()), SQLITE_TRANSIENT);
  if (sqlite3_step(st.s) != SQLITE_ROW) return {};
  return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st.s, 0)));
}

}  // namespace kavrano
