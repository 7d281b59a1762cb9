#include "kavrano/tools/world_tiles.h"

#include <sqlite3.h>

#include <QBuffer>
#include <QFile>
#include <QPainter>
#include <QSaveFile>
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <memory>
#include <numbers>
#include <vector>

#include "kavrano/qt_world/world_overview_format.h"

namespace kavrano {

namespace {

constexpr int kTile = 256;
constexpr int kQuality = 85;  // zooms 0–4 of a 2048 × 1024 source come to about 2 MB

/// The picture as linear RGB rows, so sampling needs no QImage calls per pixel.
struct Plane {
  int width = 0, height = 0;
  std::vector<float> rgb;  // width * height * 3
  [[nodiscard]] const float* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

Plane planeOf(const QImage& image) {
  const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
  Plane plane{rgb.width(), rgb.height(), {}};
  plane.rgb.reserve(static_cast<size_t>(plane.width) * plane.height * 3);
  for (int y = 0; y < plane.height; ++y) {
    const uchar* row = rgb.constScanLine(y);
    plane.rgb.insert(plane.rgb.end(), row, row + static_cast<std::ptrdiff_t>(plane.width) * 3);
  }
  return plane;
}

/// Plain 2 × 2 averaging: Qt's smooth scaling picks SIMD paths by CPU, and the
/// shipped file should not depend on the machine that built it.
Plane halved(const Plane& p) {
  Plane h{p.width / 2, p.height / 2, {}};
  h.rgb.resize(static_cast<size_t>(h.width) * h.height * 3);
  for (int y = 0; y < h.height; ++y)
    for (int x = 0; x < h.width; ++x)
      for (int c = 0; c < 3; ++c)
        h.rgb[(static_cast<size_t>(y) * h.width + x) * 3 + c] =
            (p.at(2 * x, 2 * y)[c] + p.at(2 * x + 1, 2 * y)[c] + p.at(2 * x, 2 * y + 1)[c] +
             p.at(2 * x + 1, 2 * y + 1)[c]) /
            4.0f;
  return h;
}

/// Bilinear at picture coordinates in pixels (centres at +0.5); x wraps, y clamps.
void sample(const Plane& p, double u, double v, uchar* out) {
  u -= 0.5;
  v = std::clamp(v - 0.5, 0.0, p.height - 1.0);
  const double fx = std::floor(u), fy = std::floor(v);
  const double ax = u - fx, ay = v - fy;
  const int x0 = ((static_cast<int>(fx) % p.width) + p.width) % p.width, x1 = (x0 + 1) % p.width;
  const int y0 = static_cast<int>(fy), y1 = std::min(y0 + 1, p.height - 1);
  for (int c = 0; c < 3; ++c) {
    const double top = p.at(x0, y0)[c] * (1 - ax) + p.at(x1, y0)[c] * ax;
    const double bottom = p.at(x0, y1)[c] * (1 - ax) + p.at(x1, y1)[c] * ax;
    out[c] = static_cast<uchar>(std::lround(std::clamp(top * (1 - ay) + bottom * ay, 0.0, 255.0)));
  }
}

QImage tileImage(const Plane& p, int z, int tx, int ty) {
  QImage image(kTile, kTile, QImage::Format_RGB888);
  const double worldPixels = static_cast<double>(kTile) * (1 << z);
  // Longitude is linear in both projections, so each column's picture x is fixed.
  std::vector<double> us(kTile);
  for (int px = 0; px < kTile; ++px) us[px] = (tx * kTile + px + 0.5) / worldPixels * p.width;
  for (int py = 0; py < kTile; ++py) {
    const double y = (ty * kTile + py + 0.5) / worldPixels;  // 0 at the north edge of the square world
    const double latitude = std::atan(std::sinh(std::numbers::pi * (1 - 2 * y))) * 180 / std::numbers::pi;
    const double v = (90 - latitude) / 180 * p.height;
    uchar* row = image.scanLine(py);
    for (int px = 0; px < kTile; ++px) sample(p, us[px], v, row + static_cast<std::ptrdiff_t>(px) * 3);
  }
  return image;
}

// Finest first: each zoom samples the coarsest copy still at least as fine as
// its own tiles.
std::vector<Plane> levelsOf(const QImage& picture) {
  std::vector<Plane> levels{planeOf(picture)};
  while (levels.back().width >= 4 && levels.back().height >= 4) levels.push_back(halved(levels.back()));
  return levels;
}

const Plane& planeFor(const std::vector<Plane>& levels, int z) {
  const Plane* plane = &levels.front();
  for (const Plane& level : levels)
    if (level.width >= kTile * (1 << z)) plane = &level;
  return *plane;
}

struct CloseDatabase {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct Finalize {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};

}  // namespace

QString writeWorldTiles(const QImage& equirectangular, const QString& path, int maxZoom, const QString& attribution) {
  if (equirectangular.isNull() || equirectangular.width() < 2 || equirectangular.height() < 2)
    return QStringLiteral("the source picture is empty or unreadable");
  if (maxZoom < 0 || maxZoom > 8) return QStringLiteral("zoom %1 is out of 0–8").arg(maxZoom);

  // A new file each time: rows appended to an old one would change the output.
  QFile::remove(path);
  sqlite3* opened = nullptr;
  const int status = sqlite3_open(path.toUtf8().constData(), &opened);
  std::unique_ptr<sqlite3, CloseDatabase> db(opened);
  if (status != SQLITE_OK) return QStringLiteral("cannot create %1").arg(path);
  auto exec = [&](const char* sql) { return sqlite3_exec(db.get(), sql, nullptr, nullptr, nullptr) == SQLITE_OK; };
  if (!exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
            "CREATE TABLE metadata (name text, value text);"
            "CREATE TABLE tiles (zoom_level integer, tile_column integer, tile_row integer, tile_data blob);"
            "CREATE UNIQUE INDEX tile_index ON tiles (zoom_level, tile_column, tile_row);"
            "BEGIN;"))
    return QStringLiteral("cannot write %1: %2").arg(path, QString::fromUtf8(sqlite3_errmsg(db.get())));

  sqlite3_stmt* raw = nullptr;
  sqlite3_prepare_v2(db.get(), "INSERT INTO metadata VALUES (?1, ?2)", -1, &raw, nullptr);
  std::unique_ptr<sqlite3_stmt, Finalize> meta(raw);
  const QList<std::pair<QString, QString>> metadata = {
      {QStringLiteral("name"), QStringLiteral("Kavrano built-in world")},
      {QStringLiteral("format"), QStringLiteral("jpg")},
      {QStringLiteral("minzoom"), QStringLiteral("0")},
      {QStringLiteral("maxzoom"), QString::number(maxZoom)},
      {QStringLiteral("bounds"), QStringLiteral("-180,-85.0511,180,85.0511")},
      {QStringLiteral("attribution"), attribution}};
  for (const auto& [name, value] : metadata) {
    const QByteArray n = name.toUtf8(), v = value.toUtf8();
    sqlite3_bind_text(meta.get(), 1, n.constData(), static_cast<int>(n.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(meta.get(), 2, v.constData(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    if (sqlite3_step(meta.get()) != SQLITE_DONE) return QStringLiteral("cannot write the metadata of %1").arg(path);
    sqlite3_reset(meta.get());
  }

  sqlite3_prepare_v2(db.get(), "INSERT INTO tiles VALUES (?1, ?2, ?3, ?4)", -1, &raw, nullptr);
  std::unique_ptr<sqlite3_stmt, Finalize> insert(raw);
  const std::vector<Plane> levels = levelsOf(equirectangular);
  for (int z = 0; z <= maxZoom; ++z) {
    const int n = 1 << z;
    const Plane* plane = &planeFor(levels, z);
    for (int x = 0; x < n; ++x) {
      for (int y = 0; y < n; ++y) {
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        if (!tileImage(*plane, z, x, y).save(&buffer, "JPEG", kQuality))
          return QStringLiteral("cannot encode JPEG (is Qt's image format plugin there?)");
        sqlite3_bind_int(insert.get(), 1, z);
        sqlite3_bind_int(insert.get(), 2, x);
        sqlite3_bind_int(insert.get(), 3, n - 1 - y);  // TMS rows count from the south
        sqlite3_bind_blob(insert.get(), 4, jpeg.constData(), static_cast<int>(jpeg.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(insert.get()) != SQLITE_DONE) return QStringLiteral("cannot write a tile to %1").arg(path);
        sqlite3_reset(insert.get());
      }
    }
  }
  if (!exec("COMMIT;")) return QStringLiteral("cannot finish %1").arg(path);
  return {};
}

QString writeWorldOverview(const QImage& equirectangular, const QString& path, int zoom, const QString& credit) {
  namespace fmt = world_overview_format;
  if (equirectangular.isNull() || equirectangular.width() < 2 || equirectangular.height() < 2)
    return QStringLiteral("the source picture is empty or unreadable");
  if (zoom < 0 || zoom > 2) return QStringLiteral("zoom %1 is out of 0–2").arg(zoom);
  const QByteArray creditBytes = credit.toUtf8();
  if (creditBytes.size() > qsizetype{fmt::kMaxCreditBytes})
    return QStringLiteral("the credit is longer than %1 bytes").arg(fmt::kMaxCreditBytes);
  const int n = 1 << zoom;
  const std::vector<Plane> levels = levelsOf(equirectangular);
  QImage square(kTile * n, kTile * n, QImage::Format_RGB32);
  {
    QPainter painter(&square);
    for (int x = 0; x < n; ++x)
      for (int y = 0; y < n; ++y)
        painter.drawImage(x * kTile, y * kTile, tileImage(planeFor(levels, zoom), zoom, x, y));
  }
  QByteArray bytes;
  auto putU32 = [&](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes.append(static_cast<char>((v >> (8 * i)) & 0xff));
  };
  bytes.append(fmt::kMagic, sizeof fmt::kMagic);
  putU32(fmt::kVersion);
  putU32(static_cast<std::uint32_t>(square.width()));
  putU32(static_cast<std::uint32_t>(creditBytes.size()));
  for (int y = 0; y < square.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(square.constScanLine(y));
    for (int x = 0; x < square.width(); ++x) putU32(0xff000000u | row[x]);
  }
  bytes.append(creditBytes);
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
    return QStringLiteral("cannot write %1").arg(path);
  return {};
}

}  // namespace kavrano
