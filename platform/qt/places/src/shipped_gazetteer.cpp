#include "kavrano/qt_places/shipped_gazetteer.h"

#include <QResource>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#endif

// Q_INIT_RESOURCE must be used outside any namespace.
static void initGazetteerResource() { Q_INIT_RESOURCE(gazetteer); }

namespace kavrano {

namespace {

// Opening checks every record, which brings all 6.5 MB of the index into the
// process; a search then reads a few dozen pages of it. They are clean pages of
// the program file, so they are handed back, to be read again when needed
// (a reclaim, never a loss: the same call only swaps out memory of our own).
void handBackPages(std::span<const std::byte> bytes) {
#if defined(__linux__) && defined(MADV_PAGEOUT)
  const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  // Offsets from the start rather than addresses, so the pointer is never rebuilt from an integer.
  const auto address = reinterpret_cast<std::uintptr_t>(bytes.data());
  const auto begin = (address + page - 1) & ~(page - 1);
  const auto end = (address + bytes.size()) & ~(page - 1);
  if (end > begin) (void)madvise(const_cast<std::byte*>(bytes.data()) + (begin - address), end - begin, MADV_PAGEOUT);
#else
  (void)bytes;
#endif
}

}  // namespace

std::shared_ptr<const GazetteerIndex> shippedGazetteer() {
  static const std::shared_ptr<const GazetteerIndex> index = []() -> std::shared_ptr<const GazetteerIndex> {
    initGazetteerResource();
    // Stored uncompressed (see CMakeLists.txt), so data() is the bytes themselves.
    const QResource resource(QStringLiteral(":/kavrano/places/gazetteer.bin"));
    if (!resource.isValid() || resource.compressionAlgorithm() != QResource::NoCompression) return nullptr;
    const auto bytes =
        std::span(reinterpret_cast<const std::byte*>(resource.data()), static_cast<std::size_t>(resource.size()));
    auto opened = GazetteerIndex::open(bytes);
    handBackPages(bytes);
    if (!opened) return nullptr;
    return std::make_shared<const GazetteerIndex>(*opened);
  }();
  return index;
}

}  // namespace kavrano
