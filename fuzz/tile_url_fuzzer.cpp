// A tile URL template given with --tiles. A template found valid gives a valid
// http(s) URL for every tile, not only for the one it was checked on.
#include <QString>
#include <QUrl>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "kavrano/qt_map/tile_url_template.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kavrano::TileUrlTemplate url(
      QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
  if (!url.isValid()) return 0;
  for (const kavrano::TileId tile :
       {kavrano::TileId{0, 0, 0}, kavrano::TileId{5, 3, 7}, kavrano::TileId{22, 4194303, 4194303}}) {
    const QUrl address = url.url(tile);
    if (!address.isValid() ||
        (address.scheme() != QLatin1String("http") && address.scheme() != QLatin1String("https"))) {
      std::fprintf(stderr, "tile_url: %s gave %s\n", qPrintable(url.text()), qPrintable(address.toString()));
      std::abort();
    }
  }
  return 0;
}
