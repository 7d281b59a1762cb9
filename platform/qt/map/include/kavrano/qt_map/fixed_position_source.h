#pragma once

#include <QGeoPositionInfoSource>

namespace kavrano {

/// A position that never changes, for `--position LAT,LON`: reported once on
/// every start and every request.
class FixedPositionSource : public QGeoPositionInfoSource {
  Q_OBJECT
 public:
  FixedPositionSource(const QGeoCoordinate& coordinate, QObject* parent = nullptr);

  [[nodiscard]] QGeoPositionInfo lastKnownPosition(bool fromSatellitePositioningMethodsOnly = false) const override;
  [[nodiscard]] PositioningMethods supportedPositioningMethods() const override { return AllPositioningMethods; }
  [[nodiscard]] int minimumUpdateInterval() const override { return 0; }
  [[nodiscard]] Error error() const override { return NoError; }

 public slots:
  void startUpdates() override;
  void stopUpdates() override {}
  void requestUpdate(int timeout = 0) override;

 private:
  QGeoPositionInfo info_;
};

}  // namespace kavrano
