// Memory freed while the app works is kept for the next use, and handed back
// once the window has rested, whichever thread made it: tiles are decoded on
// pool threads. A process of its own, since the heap's settings are global.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QTest>
#include <QtConcurrent>
#include <vector>

#include "kavrano/app/memory_tuning.h"
#include "process_probe.h"

namespace kavrano {
namespace {

constexpr qint64 kMiB = 1 << 20;

TEST(MemoryAtRest, TilesDecodedOnPoolThreadsAreHandedBackOnceTheWindowRests) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer's allocator holds freed blocks in quarantine; glibc's heaps, "
                  "which this checks, are not in use";
#endif
  QQmlEngine engine;
  QQuickWindow window;
  window.resize(64, 64);
  releaseFreedMemoryAtRest(window, engine);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  const qint64 before = residentBytes();

  std::vector<QImage> tiles(96);  // 24 MiB, as a few screens of imagery
  QtConcurrent::blockingMap(tiles, [](QImage& tile) {
    tile = QImage(256, 256, QImage::Format_RGB32);
    tile.fill(Qt::darkGreen);
  });
  ASSERT_GT(residentBytes() - before, 20 * kMiB);
  tiles.clear();
  window.update();  // the frame that lets go of them; rest counts from there
  EXPECT_TRUE(QTest::qWaitFor([&] { return residentBytes() - before < 4 * kMiB; }, 20'000))
      << (residentBytes() - before) / kMiB << " MiB of freed tiles still resident";
}

}  // namespace
}  // namespace kavrano

int main(int argc, char** argv) {
  kavrano::keepFreedMemoryForReuse();  // first, as the app's main does
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
