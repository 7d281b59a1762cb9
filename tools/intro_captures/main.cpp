// Records the measuring screen of the real app, offscreen, while points are
// tapped on the offline fields imagery: "intro1" draws a length, "intro2" an
// area. Writes PNG frames and, per picture, a list of "<frame> <centiseconds>"
// lines into the output directory.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <cstdio>

#include "kavrano/app/app_delegate.h"
#include "kavrano/app/scene_delegate.h"
#include "kavrano/core/user_settings.h"
#include "kavrano/tools/fields_imagery.h"

namespace kavrano {
namespace {

constexpr double kLatitude = 46.5105, kLongitude = 6.6326;  // the fixture's fields
constexpr int kZoom = 17;
constexpr int kFrameMs = 100;  // the GIF's time step
// The lower part of the screen: where the points go, and the status panel.
const QRect kCrop(0, 600, 390, 222);
constexpr int kWidth = 300;  // a card's picture

class Recorder {
 public:
  Recorder(QQuickWindow& window, QString directory) : window_(window), directory_(std::move(directory)) {}

  void start(const QString& name) {
    name_ = name;
    frames_.clear();
  }
  /// Taps the map at `point` (window coordinates) and shows a finger there for a moment.
  void tap(QPoint point) {
    QTest::mouseClick(&window_, Qt::LeftButton, Qt::NoModifier, point);
    finger_ = point;
    fingerTimer_.start();
  }
  /// Takes a frame every step for `ms`.
  void record(int ms) {
    for (int elapsed = 0; elapsed < ms; elapsed += kFrameMs) {
      QElapsedTimer step;
      step.start();
      add(grab());
      QTest::qWait(std::max<int>(1, kFrameMs - static_cast<int>(step.elapsed())));
    }
  }
  /// Writes the frames, equal neighbours merged into one longer frame.
  bool finish() {
    QFile list(directory_ + QLatin1Char('/') + name_ + QStringLiteral(".frames"));
    if (!list.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    QTextStream out(&list);
    for (std::size_t i = 0; i < frames_.size(); ++i) {
      const QString file = QStringLiteral("%1-%2.png").arg(name_).arg(i, 3, 10, QLatin1Char('0'));
      if (!frames_[i].image.save(directory_ + QLatin1Char('/') + file)) return false;
      out << file << ' ' << frames_[i].centiseconds << '\n';
    }
    std::printf("%s: %zu frames\n", qPrintable(name_), frames_.size());
    return true;
  }

 private:
  struct Frame {
    QImage image;
    int centiseconds;
  };

  QImage grab() {
    QImage shot = window_.grabWindow().copy(kCrop);
    if (fingerTimer_.isValid() && fingerTimer_.elapsed() < 400) {
      // A fingertip, fading: the viewer sees where the touch went.
      QPainter p(&shot);
      p.setRenderHint(QPainter::Antialiasing);
      const double fade = 1.0 - static_cast<double>(fingerTimer_.elapsed()) / 400.0;
      p.setPen(QPen(QColor(255, 255, 255, static_cast<int>(230 * fade)), 3));
      p.setBrush(QColor(255, 255, 255, static_cast<int>(90 * fade)));
      p.drawEllipse(QPointF(finger_ - kCrop.topLeft()), 20, 20);
    }
    return shot.scaledToWidth(kWidth, Qt::SmoothTransformation).convertToFormat(QImage::Format_RGB32);
  }
  void add(const QImage& image) {
    if (!frames_.empty() && frames_.back().image == image) {
      frames_.back().centiseconds += kFrameMs / 10;
      return;
    }
    frames_.push_back({image, kFrameMs / 10});
  }

  QQuickWindow& window_;
  QString directory_;
  QString name_;
  std::vector<Frame> frames_;
  QPoint finger_;
  QElapsedTimer fingerTimer_;
};

int capture(const QString& outDirectory) {
  QTemporaryDir scratch;
  if (!scratch.isValid() || !QDir().mkpath(outDirectory)) return 1;
  const QString tiles = scratch.filePath(QStringLiteral("fields.mbtiles"));
  if (!writeFieldsImagery(tiles, kLatitude, kLongitude, kZoom)) return 1;

  AppDelegate app;
  const AppOptions options{scratch.filePath(QStringLiteral("data")), tiles, QStringLiteral("offline"),
                           QStringLiteral("%1,%2").arg(kLatitude).arg(kLongitude), QStringLiteral("en_US")};
  app.didFinishLaunching(options);
  UserSettings::shared().setDidShowIntro(true);  // straight to the measuring screen
  UserSettings::shared().setDidRequest(true);    // and no feedback form over it
  SceneDelegate scene;
  if (const auto shown = scene.connect(options); !shown) {
    std::fprintf(stderr, "kavrano-intro-capture: %s\n", shown.failure().reason.c_str());
    return 1;
  }
  QQuickWindow& window = *scene.window();
  if (!QTest::qWaitForWindowExposed(&window) ||
      !QTest::qWaitFor([&] { return scene.measureController() != nullptr; }, 5000)) {
    std::fprintf(stderr, "kavrano-intro-capture: the measuring screen did not come\n");
    return 1;
  }
  QTest::qWait(2500);  // the start-up follow, then the 200 m zoom

  Recorder recorder(window, outDirectory);
  recorder.start(QStringLiteral("intro1"));
  recorder.record(900);
  recorder.tap({84, 742});
  recorder.record(900);
  recorder.tap({306, 668});
  recorder.record(2400);
  if (!recorder.finish()) return 1;

  scene.measureController()->clearTapped();
  QTest::qWait(500);
  recorder.start(QStringLiteral("intro2"));
  recorder.record(800);
  const QPoint corners[] = {{92, 664}, {286, 640}, {318, 744}, {120, 752}};
  for (const QPoint& corner : corners) {
    recorder.tap(corner);
    recorder.record(700);
  }
  recorder.record(2000);
  return recorder.finish() ? 0 : 1;
}

}  // namespace
}  // namespace kavrano

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: kavrano-intro-capture OUTPUT-DIRECTORY\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  QGuiApplication app(argc, argv);
  return kavrano::capture(out);
}
