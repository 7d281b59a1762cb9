#include "kavrano/qt_map/tile_url_template.h"

namespace kavrano {

TileUrlTemplate::TileUrlTemplate(QString text, QStringList subdomains)
    : text_(std::move(text)), subdomains_(std::move(subdomains)) {
  if (subdomains_.isEmpty()) subdomains_ = {QString()};
  const bool placeholders = text_.contains(QLatin1String("{z}")) && text_.contains(QLatin1String("{x}")) &&
                            text_.contains(QLatin1String("{y}"));
  const QUrl probe = placeholders ? url({0, 0, 0}) : QUrl();
  valid_ = probe.isValid() && !probe.host().isEmpty() &&
           (probe.scheme() == QLatin1String("http") || probe.scheme() == QLatin1String("https"));
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
