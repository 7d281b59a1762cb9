// Tile bytes from a server or an MBTiles file, decoded as the map decodes them.
#include <QByteArray>
#include <QImage>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "kavrano/qt_map/tile_source.h"
#include "qt_fuzz_setup.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) { return kavrano::fuzz::startQt(argc, argv); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QImage image =
      kavrano::decodeTileImage(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
  if (!image.isNull() && (image.width() > 1024 || image.height() > 1024)) {
    std::fprintf(stderr, "tile_image: %d x %d decoded\n", image.width(), image.height());
    std::abort();
  }
  return 0;
}
