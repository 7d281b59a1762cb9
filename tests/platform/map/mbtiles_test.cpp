#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QSignalSpy>
#include <QTemporaryDir>

#include "kavrano/qt_map/mbtiles_reader.h"
#include "kavrano/qt_map/mbtiles_tile_source.h"
#include "map_test_support.h"

namespace kavrano {
namespace {

/// Writes an MBTiles file whose tile (z, x, TMS row) holds `bytes`.
void makeMbtiles(const QString& path, const QList<std::tuple<int, int, int, QByteArray>>& tiles) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
  sqlite3_exec(db,
               "CREATE TABLE metadata (name text, value text);"
               "CREATE TABLE tiles (zoom_level integer, tile_column integer, tile_row integer, tile_data blob);"
               "INSERT INTO metadata VALUES ('maxzoom', '3'), ('attribution', '<a href=\"x\">Survey</a> 2024');",
               nullptr, nullptr, nullptr);
  for (const auto& [z, x, row, bytes] : tiles) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO tiles VALUES (?, ?, ?, ?)", -1, &st, nullptr);
    sqlite3_bind_int(st, 1, z);
    sqlite3_bind_int(st, 2, x);
    sqlite3_bind_int(st, 3, row);
    sqlite3_bind_blob(st, 4, bytes.constData(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
    sqlite3_step(st);
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
}

TEST(Mbtiles, ReadsRowsInTmsOrderAndRefusesFilesThatAreNotTileSets) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("area.mbtiles"));
  // At zoom 2 the XYZ row 0 (north) is TMS row 3.
  makeMbtiles(path, {{2, 1, 3, "north"}, {2, 1, 0, "south"}});
  MbtilesReader reader;
  ASSERT_TRUE(reader.open(path)) << reader.errorText().toStdString();
  EXPECT_EQ(reader.tile({2, 1, 0}).value_or("none"), "north");
  EXPECT_EQ(reader.tile({2, 1, 3}).value_or("none"), "south");
  EXPECT_FALSE(reader.tile({2, 0, 0}).has_value());
  EXPECT_FALSE(reader.tile({2, 4, 0}).has_value()) << "outside the zoom level's grid";
  EXPECT_EQ(reader.maxZoom(), 3);

  MbtilesReader missing;
  EXPECT_FALSE(missing.open(dir.filePath(QStringLiteral("nothing.mbtiles"))));
  QFile text(dir.filePath(QStringLiteral("text.mbtiles")));
  ASSERT_TRUE(text.open(QIODevice::WriteOnly));
  text.write("this is not a database at all, just some words to fill a page");
  text.close();
  MbtilesReader notSqlite;
  EXPECT_FALSE(notSqlite.open(text.fileName()));
  EXPECT_FALSE(notSqlite.errorText().isEmpty());
  EXPECT_FALSE(notSqlite.tile({0, 0, 0}).has_value());
}

TEST(Mbtiles, SourceDecodesOffTheCallerAndReportsMissingAndBrokenTiles) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("area.mbtiles"));
  makeMbtiles(path, {{1, 0, 1, test::pngOf(Qt::red)}, {1, 1, 1, "garbage bytes"}});
  auto reader = std::make_shared<MbtilesReader>();
  ASSERT_TRUE(reader->open(path));
  MbtilesTileSource source(reader);
  EXPECT_EQ(source.attribution(), QStringLiteral("Survey 2024")) << "markup is dropped";
  QSignalSpy ready(&source, &TileSource::tileReady);
  QSignalSpy unavailable(&source, &TileSource::tileUnavailable);
  source.request({1, 0, 0});
  source.request({1, 1, 0});
  source.request({1, 0, 1});
  ASSERT_TRUE(test::waitUntil([&] { return ready.size() + unavailable.size() == 3; }));
  ASSERT_EQ(ready.size(), 1);
  EXPECT_EQ(ready[0][0].value<TileId>(), (TileId{1, 0, 0}));
  EXPECT_EQ(ready[0][1].value<QImage>().pixelColor(128, 128), QColor(Qt::red));
}

}  // namespace
}  // namespace kavrano
