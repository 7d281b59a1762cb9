#pragma once

#include <QByteArray>
#include <initializer_list>

namespace kavrano::test {

/// A Photon answer with one feature per (name, city, country, lat, lon).
struct PhotonFeature {
  const char* name;
  const char* city;
  const char* country;
  double latitude;
  double longitude;
};
inline QByteArray photonAnswer(std::initializer_list<PhotonFeature> features) {
  QByteArray out = R"({"type":"FeatureCollection","features":[)";
  bool first = true;
  for (const PhotonFeature& f : features) {
    if (!first) out += ',';
    first = false;
    out += R"({"type":"Feature","geometry":{"type":"Point","coordinates":[)" +
           QByteArray::number(f.longitude, 'g', 10) + ',' + QByteArray::number(f.latitude, 'g', 10) +
           R"(]},"properties":{"name":")" + f.name + R"(","city":")" + f.city + R"(","country":")" + f.country +
           R"("}})";
  }
  return out + "]}";
}

}  // namespace kavrano::test
