// The own position from an NMEA log given with --position: bounded before it is held.
#include "kavrano/qt_map/nmea_log.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QGeoPositionInfoSource>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "kavrano/qt_map/map_sources.h"

namespace kavrano {
namespace {

const QByteArray kFirst = "$GPRMC,120000.00,A,4807.038,N,01131.000,E,0.0,0.0,010124,,,A*59";
const QByteArray kSecond = "$GPRMC,120001.00,A,4807.038,N,01131.000,E,0.0,0.0,010124,,,A*58";

TEST(NmeaLog, LinesLongerThanASentenceCanBeAreLeftOut) {
  const QByteArray longest(kMaxNmeaLineBytes, 'x');
  // Each case: the file's bytes, the lines the reader is given.
  for (const auto& [bytes, lines] : std::initializer_list<std::pair<QByteArray, QByteArray>>{
           {"a\nb\r\nc", "a\r\nb\r\nc\r\n"},
           {"\n\r\n\n", ""},
           {longest + "\n" + longest + "y\n" + kFirst, longest + "\r\n" + kFirst + "\r\n"},
           {QByteArray(5 << 20, '$'), ""}}) {
    EXPECT_EQ(boundedNmeaLines(bytes), lines) << bytes.left(40).toStdString();
  }
}

TEST(NmeaLog, AFileLargerThanTheBoundIsRefusedUnread) {
  QTemporaryDir dir;
  QFile huge(dir.filePath(QStringLiteral("huge.nmea")));
  ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(kMaxNmeaLogBytes + 1));  // sparse: no disk used
  huge.close();
  const auto refused = makePositionSource(huge.fileName(), nullptr);
  ASSERT_FALSE(refused);
  EXPECT_EQ(QString::fromStdString(refused.failure().reason), "NMEA file larger than 64 MiB: " + huge.fileName());
}

TEST(NmeaLog, SentencesAroundAnOverlongLineStillPlay) {
  QTemporaryDir dir;
  QFile log(dir.filePath(QStringLiteral("walk.nmea")));
  ASSERT_TRUE(log.open(QIODevice::WriteOnly));
  log.write(QByteArray(8 << 20, 'x') + "\r\n" + kFirst + "\r\n" + kSecond + "\r\n");
  log.close();
  const auto replay = makePositionSource(log.fileName(), nullptr);
  ASSERT_TRUE(replay) << replay.failure().reason;
  std::unique_ptr<QGeoPositionInfoSource> source(replay.value());
  ASSERT_NE(source, nullptr);
  QSignalSpy updates(source.get(), &QGeoPositionInfoSource::positionUpdated);
  source->startUpdates();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !updates.isEmpty(); }));
  const QGeoCoordinate at = updates.first().first().value<QGeoPositionInfo>().coordinate();
  EXPECT_NEAR(at.latitude(), 48 + 7.038 / 60, 1e-9);
  EXPECT_NEAR(at.longitude(), 11 + 31.0 / 60, 1e-9);
}

}  // namespace
}  // namespace kavrano

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
