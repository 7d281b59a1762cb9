#include "kavrano/qt_places/photon_response_reader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <cmath>

namespace kavrano {

namespace {

QString text(const QJsonObject& properties, const char* key) {
  return properties.value(QLatin1String(key)).toString().simplified();
}

std::optional<Coordinate> point(const QJsonObject& geometry) {
  const QJsonArray lonLat = geometry.value(QLatin1String("coordinates")).toArray();
  if (lonLat.size() < 2 || !lonLat[0].isDouble() || !lonLat[1].isDouble()) return std::nullopt;
  const Coordinate c{lonLat[1].toDouble(), lonLat[0].toDouble()};
  if (!std::isfinite(c.latitude) || !std::isfinite(c.longitude) || std::abs(c.latitude) > 90 ||
      std::abs(c.longitude) > 180) {
    return std::nullopt;
  }
  return c;
}

// Photon answers with OSM fields; the title is what the user would call the
// place, the subtitle where it is, from the nearest to the widest.
std::optional<PlaceSuggestion> suggestion(const QJsonObject& properties) {
  const QString name = text(properties, "name");
  const QString street = text(properties, "street");
  const QString address = (street + QLatin1Char(' ') + text(properties, "housenumber")).trimmed();

  PlaceSuggestion s;
  QStringList where;
  if (!name.isEmpty()) {
    s.title = name;
    if (!street.isEmpty()) where << address;
  } else if (!street.isEmpty()) {
    s.title = address;
  }
  for (const char* key : {"city", "state", "country"}) {
    const QString part = text(properties, key);
    if (part.isEmpty()) continue;
    if (s.title.isEmpty()) {
      s.title = part;
    } else if (part != s.title && !where.contains(part)) {
      where << part;
    }
  }
  if (s.title.isEmpty()) return std::nullopt;
  s.subtitle = where.join(QLatin1String(", "));
  return s;
}

}  // namespace

std::optional<QList<PhotonPlace>> PhotonResponseReader::read(const QByteArray& body) {
  QJsonParseError error;
  const QJsonDocument document = QJsonDocument::fromJson(body, &error);
  if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
  const QJsonValue features = document.object().value(QLatin1String("features"));
  if (!features.isArray()) return std::nullopt;

  QList<PhotonPlace> places;
  const QJsonArray array = features.toArray();
  for (qsizetype i = 0; i < array.size(); ++i) {
    const QJsonObject object = array.at(i).toObject();
    const auto coordinate = point(object.value(QLatin1String("geometry")).toObject());
    const auto s = suggestion(object.value(QLatin1String("properties")).toObject());
    if (coordinate && s) places.push_back({*s, *coordinate});
  }
  return places;
}

}  // namespace kavrano
