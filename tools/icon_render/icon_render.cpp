// kavrano_icon_render ICON.svg SIZE OUT.png: the icon drawn at SIZE × SIZE pixels
// on a transparent ground.
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: kavrano_icon_render ICON.svg SIZE OUT.png\n", stderr);
    return 2;
  }
  // No application object: the icon has no text, so raster drawing needs no
  // platform (and none is there at build time).
  QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
  bool isNumber = false;
  const int size = QByteArray(argv[2]).toInt(&isNumber);
  if (!svg.isValid() || !isNumber || size < 1 || size > 4096) {
    std::fprintf(stderr, "kavrano_icon_render: cannot draw %s at %s px\n", argv[1], argv[2]);
    return 1;
  }
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  svg.render(&painter);
  painter.end();
  if (!image.save(QString::fromLocal8Bit(argv[3]), "PNG")) {
    std::fprintf(stderr, "kavrano_icon_render: cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
