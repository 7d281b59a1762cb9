// An MBTiles file given with --tiles: the input is the whole file. Opening it and
// reading tiles and metadata never crashes, and every tile decodes within bounds.
#include <QImage>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "kavrano/qt_map/mbtiles_reader.h"
#include "kavrano/qt_map/tile_source.h"
#include "qt_fuzz_setup.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) { return kavrano::fuzz::startQt(argc, argv); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kavrano::fuzz::ScratchFile file("mbtiles", data, size);
  if (!file.written()) return 0;
  {
    kavrano::MbtilesReader reader;
    if (reader.open(file.path())) {
      (void)reader.metadata(QStringLiteral("format"));
      (void)reader.metadata(QStringLiteral("maxzoom"));
      for (const kavrano::TileId tile :
           {kavrano::TileId{0, 0, 0}, kavrano::TileId{1, 1, 0}, kavrano::TileId{1, 0, 1}}) {
        if (const auto bytes = reader.tile(tile)) {
          const QImage image = kavrano::decodeTileImage(*bytes);
          if (!image.isNull() && (image.width() > 1024 || image.height() > 1024)) std::abort();
        }
      }
    }
  }
  return 0;
}
