// The built-in world's overview file: the input is the whole file. Opening it
// never crashes, and an overview it accepts is square, within its bound, and
// every pixel of it can be read from the mapped bytes; its credit is within its bound.

#include <QImage>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "kavrano/qt_map/world_overview.h"
#include "qt_fuzz_setup.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) { return kavrano::fuzz::startQt(argc, argv); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kavrano::fuzz::ScratchFile file("overview", data, size);
  if (!file.written()) return 0;
  {
    const auto [overview, credit] = kavrano::openWorldOverview(file.path());
    if (credit.size() > 256) std::abort();
    if (!overview.isNull()) {
      if (overview.width() != overview.height() || overview.width() > 1024) std::abort();
      std::uint32_t sum = 0;
      for (int y = 0; y < overview.height(); ++y)
        for (int x = 0; x < overview.width(); ++x) sum += overview.pixel(x, y);
      if (sum == 1) std::fprintf(stderr, " ");  // keeps the reads
    }
  }
  return 0;
}
