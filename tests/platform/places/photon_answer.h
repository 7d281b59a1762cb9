#pragma once

#include <QByteArray>
#include <initializer_list>

#include "local_http_server.h"

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

/// A handler giving every request the same answer.
inline LocalHttpServer::Handler always(LocalHttpServer::Response response) {
  return [response](const LocalHttpServer::Request&) { return response; };
}
inline LocalHttpServer::Handler photonServes(std::initializer_list<PhotonFeature> features, int delayMs = 0) {
  return always({200, {}, photonAnswer(features), delayMs});
}

}  // namespace kavrano::test
