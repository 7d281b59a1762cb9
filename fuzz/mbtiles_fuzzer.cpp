// An MBTiles file given with --tiles: the input is the whole file. Opening it and
// reading tiles and metadata never crashes, and every tile decodes within bounds.
#include <unistd.h>

#include <QByteArray>
#include <QImage>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "kavrano/qt_map/mbtiles_reader.h"
#include "kavrano/qt_map/tile_source.h"
#include "qt_fuzz_setup.h"

namespace {

QString scratchFile() {
  static const QString path = QStringLiteral("/tmp/kavrano-mbtiles-fuzz-%1.mbtiles").arg(::getpid());
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) { return kavrano::fuzz::startQt(argc, argv); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray path = scratchFile().toLocal8Bit();
  if (FILE* file = std::fopen(path.constData(), "wb")) {
    if (size > 0) std::fwrite(data, 1, size, file);
    std::fclose(file);
  } else {
    return 0;
  }
  {
    kavrano::MbtilesReader reader;
    if (reader.open(scratchFile())) {
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
  std::remove(path.constData());
  return 0;
}
