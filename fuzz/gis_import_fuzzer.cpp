// A GeoJSON, KML or GPX file handed to `kavrano FILE` or `kavrano-cli import`: each
// reader takes the same bytes, and whatever it answers must keep the promises the
// importer relies on: all or nothing, every bound held, every point on the Earth.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "kavrano/interop/measurement_import.h"

namespace {

using namespace kavrano::interop;

void check(const ImportResult& result) {
  if (result.error && !result.geometries.empty()) std::abort();  // never half a file
  if (result.geometries.size() > kMaxMeasurementsPerFile) std::abort();
  std::size_t vertices = 0;
  for (const ImportedGeometry& geometry : result.geometries) {
    if (geometry.vertices.size() > kMaxVerticesPerMeasurement) std::abort();
    if (geometry.name.size() > kMaxNameBytes) std::abort();
    if (geometry.date && !std::isfinite(*geometry.date)) std::abort();
    vertices += geometry.vertices.size();
    for (const kavrano::Coordinate& c : geometry.vertices) {
      if (!(std::abs(c.latitude) <= 90.0) || !(std::abs(c.longitude) <= 180.0)) std::abort();
    }
  }
  if (vertices > kMaxVerticesPerFile) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  check(readGeoJson(bytes));
  check(readKml(bytes));
  check(readGpx(bytes));
  return 0;
}
