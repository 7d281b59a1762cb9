#include "kavrano/qt_map/fixed_position_source.h"

#include <QDateTime>
#include <QTimer>

namespace kavrano {

FixedPositionSource::FixedPositionSource(const QGeoCoordinate& coordinate, QObject* parent)
    : QGeoPositionInfoSource(parent), info_(coordinate, QDateTime::currentDateTimeUtc()) {
  info_.setAttribute(QGeoPositionInfo::HorizontalAccuracy, 5.0);  // as good as a phone's fix
}

QGeoPositionInfo FixedPositionSource::lastKnownPosition(bool) const { return info_; }

void FixedPositionSource::startUpdates() { requestUpdate(); }

void FixedPositionSource::requestUpdate(int) {
  // Asynchronous, as real sources are: callers connect after starting.
  QTimer::singleShot(0, this, [this] {
    info_.setTimestamp(QDateTime::currentDateTimeUtc());
    emit positionUpdated(info_);
  });
}

}  // namespace kavrano
