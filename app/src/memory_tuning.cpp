#include "kavrano/app/memory_tuning.h"

#include <QPointer>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QTimer>
#include <cstdlib>  // defines __GLIBC__ on glibc systems
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace kavrano {

namespace {
// Longer than a pause between taps, so that a working user keeps the reuse;
// the map lets go of its tiles after 3 s, and its last frame comes then.
constexpr int kRestMs = 5000;
}  // namespace

void keepFreedMemoryForReuse() {
#if defined(__GLIBC__)
  // Blocks up to 32 MiB come from the heap, and the heap keeps up to 64 MiB free.
  // A tap's dissolves take and give back a few megabytes of window pictures,
  // which otherwise came back as fresh pages every time (600 page faults, 7 ms
  // of a 14 ms tap).
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  // One heap for every thread. Tiles are decoded on pool threads, each of which
  // would get a heap of its own, and glibc hands back the free end of such a
  // heap only on a large free past the trim threshold, never at malloc_trim:
  // 5 MiB of freed tiles stayed resident at rest. The decoders take the lock
  // for a few blocks per tile.
  mallopt(M_ARENA_MAX, 1);
#endif
}

void releaseFreedMemoryAtRest(QQuickWindow& window, QQmlEngine& engine) {
  auto* rest = new QTimer(&window);
  rest->setSingleShot(true);
  rest->setInterval(kRestMs);
  rest->callOnTimeout([engine = QPointer<QQmlEngine>(&engine)] {
    if (engine) engine->trimComponentCache();
#if defined(__GLIBC__)
    // The heap's free end, and free pages in its middle too.
    malloc_trim(0);
#endif
  });
  // Emitted on the render thread where there is one: queued to the timer's.
  QObject::connect(&window, &QQuickWindow::frameSwapped, rest, qOverload<>(&QTimer::start));
  rest->start();
}

}  // namespace kavrano
