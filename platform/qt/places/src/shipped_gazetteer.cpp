#include "kavrano/qt_places/shipped_gazetteer.h"

#include <QResource>

// Q_INIT_RESOURCE must be used outside any namespace.
static void initGazetteerResource() { Q_INIT_RESOURCE(gazetteer); }

namespace kavrano {

std::shared_ptr<const GazetteerIndex> shippedGazetteer() {
  static const std::shared_ptr<const GazetteerIndex> index = []() -> std::shared_ptr<const GazetteerIndex> {
    initGazetteerResource();
    // Stored uncompressed (see CMakeLists.txt), so data() is the bytes themselves.
    const QResource resource(QStringLiteral(":/kavrano/places/gazetteer.bin"));
    if (!resource.isValid() || resource.compressionAlgorithm() != QResource::NoCompression) return nullptr;
    const auto bytes =
        std::span(reinterpret_cast<const std::byte*>(resource.data()), static_cast<std::size_t>(resource.size()));
    auto opened = GazetteerIndex::open(bytes);
    if (!opened) return nullptr;
    return std::make_shared<const GazetteerIndex>(*opened);
  }();
  return index;
}

}  // namespace kavrano
