// Build-time: the shipped world imagery as MBTiles, from an equirectangular picture.
#include <QGuiApplication>
#include <QImageReader>
#include <cstdio>

#include "kavrano/tools/world_tiles.h"

int main(int argc, char** argv) {
  // QGuiApplication for the JPEG plugin; nothing is shown.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() != 5 && args.size() != 6) {
    std::fprintf(stderr, "usage: kavrano_world_tiles SOURCE.jpg OUT.mbtiles MAX-ZOOM ATTRIBUTION [OUT.overview]\n");
    return 2;
  }
  bool ok = false;
  const int maxZoom = args[3].toInt(&ok);
  QImageReader reader(args[1]);
  reader.setAllocationLimit(256);  // MB; a 2048 × 1024 source needs 8
  const QImage source = reader.read();
  if (source.isNull()) {
    std::fprintf(stderr, "kavrano_world_tiles: %s: %s\n", qPrintable(args[1]), qPrintable(reader.errorString()));
    return 1;
  }
  QString error = kavrano::writeWorldTiles(source, args[2], ok ? maxZoom : -1, args[4]);
  // Zoom 1: a phone's width of world, enough for the first frame.
  if (error.isEmpty() && args.size() == 6) error = kavrano::writeWorldOverview(source, args[5], 1, args[4]);
  if (!error.isEmpty()) {
    std::fprintf(stderr, "kavrano_world_tiles: %s\n", qPrintable(error));
    return 1;
  }
  return 0;
}
