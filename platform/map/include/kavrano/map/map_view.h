#pragma once

#include <QPointF>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "kavrano/core/coordinate.h"
#include "kavrano/map/annotation.h"
#include "kavrano/map/annotation_view.h"
#include "kavrano/map/map_type.h"
#include "kavrano/map/map_view_delegate.h"
#include "kavrano/map/overlay.h"
#include "kavrano/map/tap_gesture_recognizer.h"
#include "kavrano/map/user_tracking_mode.h"

namespace kavrano {

/// The map as the measuring screens use it. Every call and every delegate
/// question happens on the main thread. Points are in the view's own
/// coordinates (device-independent pixels, origin top left).
class MapView {
 public:
  virtual ~MapView() = default;

  virtual void setMapType(MapType type) = 0;
  [[nodiscard]] virtual MapType mapType() const = 0;

  virtual void setShowsUserLocation(bool shows) = 0;
  [[nodiscard]] virtual bool showsUserLocation() const = 0;
  virtual void setUserTrackingMode(UserTrackingMode mode) = 0;
  [[nodiscard]] virtual UserTrackingMode userTrackingMode() const = 0;
  /// The own position's latest fix in this run; none before the first.
  [[nodiscard]] virtual std::optional<Coordinate> userLocationFix() const = 0;
  /// Where the platform last knew the device to be, maybe in an earlier run and
  /// long ago; none when it knows nothing.
  [[nodiscard]] virtual std::optional<Coordinate> lastKnownUserLocation() const = 0;

  /// Not owned; the delegate must outlive its use or be reset to null.
  virtual void setDelegate(MapViewDelegate* delegate) = 0;
  virtual void addGestureRecognizer(std::shared_ptr<TapGestureRecognizer> recognizer) = 0;

  [[nodiscard]] virtual Coordinate convertPointToCoordinate(QPointF point) const = 0;

  /// The camera may come no closer than `minCenterCoordinateDistance` metres to
  /// the centre coordinate (see the implementation for its visible span).
  virtual void setCameraZoomRange(double minCenterCoordinateDistance, bool animated) = 0;

  [[nodiscard]] virtual Coordinate centerCoordinate() const = 0;
  /// Same point as `centerCoordinate()` for a map that never tilts.
  [[nodiscard]] virtual Coordinate cameraCenterCoordinate() const = 0;
  /// Shows at least `metresNorthSouth` × `metresEastWest` around `centre`, centred.
  virtual void setRegion(Coordinate centre, double metresNorthSouth, double metresEastWest, bool animated) = 0;

  [[nodiscard]] virtual std::vector<std::shared_ptr<Annotation>> annotations() const = 0;
  virtual void addAnnotation(std::shared_ptr<Annotation> annotation) = 0;
  /// Removes those of the given annotations that are shown; their views become reusable.
  virtual void removeAnnotations(const std::vector<std::shared_ptr<Annotation>>& annotations) = 0;

  [[nodiscard]] virtual std::vector<std::shared_ptr<Overlay>> overlays() const = 0;
  virtual void addOverlay(std::shared_ptr<Overlay> overlay) = 0;
  virtual void removeOverlays(const std::vector<std::shared_ptr<Overlay>>& overlays) = 0;

  /// A view kept for reuse under `identifier`, or none.
  [[nodiscard]] virtual std::shared_ptr<AnnotationView> dequeueReusableAnnotationView(const QString& identifier) = 0;
};

/// The identifier under which the standard markers would be found; nothing is
/// kept under it unless a delegate made views with it.
inline const QString kDefaultAnnotationViewReuseIdentifier = QStringLiteral("MapDefaultAnnotationView");

}  // namespace kavrano
