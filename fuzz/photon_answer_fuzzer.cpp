// A geocoder answer from the network: never crashes; every place it gives has a
// name and a coordinate on the Earth.
#include <QByteArray>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "kavrano/qt_places/photon_response_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto body = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const auto places = kavrano::PhotonResponseReader::read(body);
  if (!places) return 0;
  for (const auto& place : *places) {
    if (place.suggestion.title.isEmpty() || !kavrano::isOnEarth(place.coordinate)) {
      std::fprintf(stderr, "photon_answer: a place without a name or off the Earth\n");
      std::abort();
    }
  }
  return 0;
}
