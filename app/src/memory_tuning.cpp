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
#endif
}

void releaseFreedMemoryAtRest(QQuickWindow& window, QQmlEngine& engine) {
  auto* rest = new QTimer(&window);
  rest->setSingleShot(true);
  rest->setInterval(kRestMs);
  rest->callOnTimeout([engine = QPointer<QQmlEngine>(&engine)] {
    if (engine) engine->trimComponentCache();
#if defined(__GLIBC__)
    // Every arena, free pages in the middle of each too: tiles are decoded on
    // pool threads, in arenas of their own.
    malloc_trim(0);
#endif
  });
  // Emitted on the render thread where there is one: queued to the timer's.
  QObject::connect(&window, &QQuickWindow::frameSwapped, rest, qOverload<>(&QTimer::start));
  rest->start();
}

}  // namespace kavrano
