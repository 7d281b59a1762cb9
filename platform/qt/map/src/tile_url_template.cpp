#include "kavrano/qt_map/tile_url_template.h"

namespace kavrano {

TileUrlTemplate::TileUrlTemplate(QString text, QStringList subdomains)
    : text_(std::move(text)), subdomains_(std::move(subdomains)) {
  if (subdomains_.isEmpty()) subdomains_ = {QString()};
  const bool placeholders = text_.contains(QLatin1String("{z}")) && text_.contains(QLatin1String("{x}")) &&
                            text_.contains(QLatin1String("{y}"));
  // The first tile and the one with the longest numbers: a placeholder in the host or
  // the port can make a URL that works for the one and not for the other.
  constexpr int kDeepest = 30;
  constexpr int kLast = (1 << kDeepest) - 1;
  valid_ = placeholders;
  for (const TileId& probe : {TileId{0, 0, 0}, TileId{kDeepest, kLast, kLast}}) {
    const QUrl address = placeholders ? url(probe) : QUrl();
    valid_ = valid_ && address.isValid() && !address.host().isEmpty() &&
             (address.scheme() == QLatin1String("http") || address.scheme() == QLatin1String("https"));
  }
}

QUrl TileUrlTemplate::url(const TileId& tile) const {
  QString s = text_;
  s.replace(QLatin1String("{z}"), QString::number(tile.z));
  s.replace(QLatin1String("{x}"), QString::number(tile.x));
  s.replace(QLatin1String("{y}"), QString::number(tile.y));
  const auto pick = static_cast<qsizetype>((static_cast<unsigned>(tile.x) + static_cast<unsigned>(tile.y)) %
                                           static_cast<unsigned>(subdomains_.size()));
  s.replace(QLatin1String("{s}"), subdomains_.at(pick));
  return QUrl(s, QUrl::StrictMode);
}

}  // namespace kavrano
