// The network coming back as the system reports it: Qt's own network
// information backend (the NetworkManager plugin, the one Linux loads) talks
// to a NetworkManager of ours on a private system bus, so the whole path the
// app takes, from the plugin's D-Bus signal to the tiles asked again, runs as
// shipped. Its own process: the system bus and the backend are process-wide.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QGuiApplication>
#include <QNetworkAccessManager>
#include <QNetworkInformation>
#include <QProcess>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <optional>

#include "kavrano/qt_map/map_sources.h"
#include "kavrano/qt_map/network_tile_source.h"
#include "kavrano/qt_map/quick_map_view.h"
#include "local_http_server.h"

namespace kavrano {

/// The address of a D-Bus daemon of this test's own, standing in for the system bus.
std::optional<QString> gBusAddress;

/// The part of NetworkManager the backend reads: its state, as a D-Bus
/// property, and the signal that tells it changed. Lives on a thread of its own
/// because the backend reads it with a blocking call from the UI thread.
class FakeNetworkManager : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.NetworkManager")
  Q_PROPERTY(uint State READ state)
  Q_PROPERTY(uint Connectivity READ connectivity)

 public:
  static constexpr uint kDisconnected = 20;     // NM_STATE_DISCONNECTED
  static constexpr uint kConnectedGlobal = 70;  // NM_STATE_CONNECTED_GLOBAL

  explicit FakeNetworkManager(const QString& busAddress)
      : bus_(QDBusConnection::connectToBus(busAddress, QStringLiteral("fake-network-manager"))) {}

  bool publish() {
    return bus_.registerObject(kPath, this, QDBusConnection::ExportAllProperties) &&
           bus_.registerService(QStringLiteral("org.freedesktop.NetworkManager"));
  }
  [[nodiscard]] uint state() const { return state_; }
  [[nodiscard]] uint connectivity() const { return state_ == kConnectedGlobal ? 4 : 1; }  // full / none

  void setState(uint state) {
    state_ = state;
    QDBusMessage changed =
        QDBusMessage::createSignal(kPath, QStringLiteral("org.freedesktop.DBus.Properties"), "PropertiesChanged");
    changed << QStringLiteral("org.freedesktop.NetworkManager")
            << QVariantMap{{QStringLiteral("State"), state}, {QStringLiteral("Connectivity"), connectivity()}}
            << QStringList{};
    bus_.send(changed);
  }

 private:
  static constexpr auto kPath = "/org/freedesktop/NetworkManager";
  QDBusConnection bus_;
  uint state_ = kDisconnected;
};

namespace {

QByteArray pngOf(const QColor& color) {
  QImage image(256, 256, QImage::Format_RGB32);
  image.fill(color);
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return buffer.data();
}

bool near(QColor a, QColor b) {
  return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()) < 12;
}

// Offline from the start, the view still, the tiles' next try an hour away:
// only the system's word that the network is back brings them.
TEST(NetworkReachability, TilesMissingWhileOfflineAreAskedAgainWhenTheSystemReportsTheNetworkBack) {
  if (!gBusAddress) GTEST_SKIP() << "no dbus-daemon to stand in for the system bus";
  FakeNetworkManager manager(*gBusAddress);
  QThread managerThread;
  manager.moveToThread(&managerThread);
  managerThread.start();
  const auto stopManager = qScopeGuard([&] {
    managerThread.quit();
    managerThread.wait();
  });
  bool published = false;
  QMetaObject::invokeMethod(
      &manager, [&] { published = manager.publish(); }, Qt::BlockingQueuedConnection);
  ASSERT_TRUE(published) << "our NetworkManager owns its name on the private bus";

  LocalHttpServer server([](const LocalHttpServer::Request&) {
    return LocalHttpServer::Response{200, {}, pngOf(Qt::darkGreen)};
  });
  const QString url = QString::fromUtf8(server.baseUrl() + "/{z}/{x}/{y}");
  server.goAway();
  QTemporaryDir cacheDir;
  std::unique_ptr<QNetworkAccessManager> network(makeTileNetwork(nullptr, cacheDir.path(), 1 << 20));
  NetworkTileSource::Options options;  // the system's watch, as the app has it
  options.timeoutMs = 300;
  options.maxAttempts = 1;
  options.firstUnavailableRetryMs = 3'600'000;
  auto* source = new NetworkTileSource(TileUrlTemplate(url), options, network.get());
  QSignalSpy unavailable(source, &TileSource::tileUnavailable);

  QQuickWindow window;
  auto* map = new QuickMapView(window.contentItem());
  window.resize(256, 256);
  map->setSize({256, 256});
  map->setTileSource(MapType::Satellite, std::unique_ptr<TileSource>(source));
  window.show();
  map->setCamera({0.5, 0.5}, 1.0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return unavailable.size() >= 4; })) << "the four tiles of the view failed";
  ASSERT_NE(QNetworkInformation::instance(), nullptr) << "the failure loaded the system's backend";
  EXPECT_EQ(QNetworkInformation::instance()->backendName(), QStringLiteral("networkmanager"));
  EXPECT_EQ(QNetworkInformation::instance()->reachability(), QNetworkInformation::Reachability::Disconnected);

  ASSERT_TRUE(server.listenAgain());
  const qsizetype before = server.requests.size();
  QTest::qWait(200);  // nothing comes of the server being back alone
  EXPECT_EQ(server.requests.size(), before);
  QMetaObject::invokeMethod(&manager, [&] { manager.setState(FakeNetworkManager::kConnectedGlobal); });
  EXPECT_TRUE(QTest::qWaitFor([&] { return near(window.grabWindow().pixelColor(64, 64), QColor(Qt::darkGreen)); }))
      << "the view's tiles drawn without a pan";
  EXPECT_EQ(QNetworkInformation::instance()->reachability(), QNetworkInformation::Reachability::Online);
}

}  // namespace
}  // namespace kavrano

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir cache;
  qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
  QGuiApplication app(argc, argv);
  // Before anything opens the system bus: Qt opens it once per process.
  QProcess bus;
  const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
  if (!daemon.isEmpty()) {
    bus.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    if (bus.waitForReadyRead(10'000)) {
      kavrano::gBusAddress = QString::fromUtf8(bus.readLine().trimmed());
      qputenv("DBUS_SYSTEM_BUS_ADDRESS", kavrano::gBusAddress->toUtf8());
    }
  }
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  bus.terminate();
  bus.waitForFinished(5'000);
  return result;
}

#include "network_reachability_test.moc"
