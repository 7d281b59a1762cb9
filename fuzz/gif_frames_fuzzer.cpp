// A GIF picture: its blocks read, its bounds checked and the frames decoded by Qt,
// as the introduction does. Never crashes; never more frames than the bound.
#include <QByteArray>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "kavrano/qt_images/animated_image.h"
#include "qt_fuzz_setup.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);  // the refusals print a line each
  return kavrano::fuzz::startQt(argc, argv);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const auto picture = kavrano::animatedImageWithData(bytes);
  if (picture && static_cast<std::size_t>(picture->images.size()) > kavrano::kMaxLoopImages + kavrano::kMaxGifFrames) {
    std::fprintf(stderr, "gif_frames: a loop of %lld entries\n", static_cast<long long>(picture->images.size()));
    std::abort();
  }
  return 0;
}
