#pragma once

#include <QPointer>
#include <QQuickItem>
#include <QTimer>
#include <QVariantAnimation>
#include <map>
#include <memory>
#include <vector>

#include "kavrano/map/map_view.h"
#include "kavrano/map/user_location_annotation.h"
#include "kavrano/qt_map/map_camera.h"
#include "kavrano/qt_map/map_gestures.h"
#include "kavrano/qt_map/overlay_render_node.h"
#include "kavrano/qt_map/overlay_shape.h"
#include "kavrano/qt_map/tile_layer.h"
#include "kavrano/qt_map/world_overview.h"

class QGeoPositionInfoSource;
class QGeoPositionInfo;

namespace kavrano {

class MapRootNode;

/// The satellite map: raster tiles in Web Mercator, overlays and annotation views
/// drawn as scene-graph nodes, pan/flick, pinch and wheel zoom, taps, and the own
/// position. With the keyboard: arrows pan, + (or =) and - zoom; a mouse
/// double-click zooms in about the pointer. Tiles and positions come from sources the app hands in.
///
/// Overlays are antialiased paths painted with QPainter: inside a render node of
/// ours on the software scene graph (with the annotation pictures, one node for
/// all), into a view-sized texture on hardware back ends (annotation pictures
/// there are image nodes, one per picture).
///
/// Annotation coordinates are read when an annotation is added; to move one,
/// remove and add it again (the screens rebuild everything on every change).
///
/// MapGestures tells the hand's gestures apart; this item turns them into camera
/// moves. What the render side keeps between frames lives in MapRootNode, and
/// the frame is built in quick_map_view_paint.cpp.
class QuickMapView : public QQuickItem, public MapView {
  Q_OBJECT
 public:
  explicit QuickMapView(QQuickItem* parent = nullptr);
  ~QuickMapView() override;

  /// The imagery per map type; a type without a source shows placeholders.
  void setTileSource(MapType type, std::unique_ptr<TileSource> source);
  /// The own position; taken over (re-parented). Null: no position.
  void setPositionSource(QGeoPositionInfoSource* source);
  [[nodiscard]] const UserLocationAnnotation& userLocation() const { return *userLocation_; }
  [[nodiscard]] const MapCamera& camera() const { return camera_; }
  void setCamera(QPointF worldCentre, double zoom);
  [[nodiscard]] double maximumZoom() const;
  [[nodiscard]] TileLayer& tileLayer() { return *layerFor(type_); }
  /// The built-in world, drawn (scaled up beyond its own zooms) wherever the
  /// imagery has no tile and no ancestor in yet, so that an offline map still
  /// shows the Earth. Asked for only while the imagery has such holes.
  void setWorldSource(std::unique_ptr<TileSource> source);
  [[nodiscard]] TileLayer& worldLayer() { return *world_; }
  /// The whole world in one small Web Mercator square (openWorldOverview),
  /// drawn synchronously where neither the imagery nor the world has a tile
  /// yet: an offline start's first frame shows the Earth, not a void.
  void setWorldOverview(WorldOverview overview);
  /// The credit line of the last frame: the sources of what it showed (the
  /// imagery's, the world's, the overview's), joined; the imagery's while
  /// nothing is drawn yet.
  [[nodiscard]] QString credit() const;

  // MapView
  void setMapType(MapType type) override;
  [[nodiscard]] MapType mapType() const override { return type_; }
  void setShowsUserLocation(bool shows) override;
  [[nodiscard]] bool showsUserLocation() const override { return showsUser_; }
  void setUserTrackingMode(UserTrackingMode mode) override;
  [[nodiscard]] UserTrackingMode userTrackingMode() const override { return tracking_; }
  [[nodiscard]] std::optional<Coordinate> userLocationFix() const override;
  [[nodiscard]] std::optional<Coordinate> lastKnownUserLocation() const override;
  void setDelegate(MapViewDelegate* delegate) override { delegate_ = delegate; }
  void addGestureRecognizer(std::shared_ptr<TapGestureRecognizer> recognizer) override;
  [[nodiscard]] Coordinate convertPointToCoordinate(QPointF point) const override;
  void setCameraZoomRange(double minCenterCoordinateDistance, bool animated) override;
  [[nodiscard]] Coordinate centerCoordinate() const override;
  [[nodiscard]] Coordinate cameraCenterCoordinate() const override { return centerCoordinate(); }
  void setRegion(Coordinate centre, double metresNorthSouth, double metresEastWest, bool animated) override;
  [[nodiscard]] std::vector<std::shared_ptr<Annotation>> annotations() const override;
  void addAnnotation(std::shared_ptr<Annotation> annotation) override;
  void removeAnnotations(const std::vector<std::shared_ptr<Annotation>>& annotations) override;
  [[nodiscard]] std::vector<std::shared_ptr<Overlay>> overlays() const override;
  void addOverlay(std::shared_ptr<Overlay> overlay) override;
  void removeOverlays(const std::vector<std::shared_ptr<Overlay>>& overlays) override;
  [[nodiscard]] std::shared_ptr<AnnotationView> dequeueReusableAnnotationView(const QString& identifier) override;

  /// The view point where a coordinate is drawn (the inverse of convertPointToCoordinate).
  [[nodiscard]] QPointF convertCoordinateToPoint(Coordinate coordinate) const;
  [[nodiscard]] bool isAnimating() const;

  /// What assistive technology announces; the app may put it in the user's language.
  [[nodiscard]] const QString& accessibleName() const { return accessibleName_; }
  [[nodiscard]] const QString& accessibleDescription() const { return accessibleDescription_; }
  void setAccessibleText(QString name, QString description);
  /// A text an annotation view shows (a side's length), with its frame in this
  /// item's coordinates: what assistive technology reads out of the map.
  struct ShownText {
    QString text;
    QRectF frame;
  };
  [[nodiscard]] std::vector<ShownText> shownTexts() const;

 signals:
  void cameraChanged();
  void userTrackingModeChanged();
  /// After the tap recognisers ran; for diagnostics and the viewer.
  void tapped(QPointF point);

 protected:
  QSGNode* updatePaintNode(QSGNode* old, UpdatePaintNodeData* data) override;
  void updatePolish() override;
  void geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseUngrabEvent() override;
  void touchEvent(QTouchEvent* event) override;
  void touchUngrabEvent() override;
  void wheelEvent(QWheelEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void endTextEditing();
  struct Shown {
    std::shared_ptr<Annotation> annotation;
    std::shared_ptr<AnnotationView> view;  // null: the standard marker
    QPointF world;
  };
  struct ShownOverlay {
    std::shared_ptr<Overlay> overlay;
    std::shared_ptr<OverlayRenderer> renderer;
    std::unique_ptr<OverlayShape> shape;
  };
  TileLayer* layerFor(MapType type) const;
  void redraw();
  void changed();
  void rest();
  void applyZoomLimit();
  void stopAnimations();
  void animateTo(QPointF worldCentre, double zoom);
  /// Zooms by `levels`, animated, keeping the world point under `anchor` there;
  /// steps taken during the animation add up.
  void zoomStep(double levels, QPointF anchor);
  void panBy(QPointF viewDelta);
  void endFollowByHand();
  MapGestures::Handlers gestureHandlers();
  void positionUpdated(const QGeoPositionInfo& info);
  std::shared_ptr<AnnotationView> askForView(const std::shared_ptr<Annotation>& annotation);
  // The frame, in drawing order.
  void paintImagery(MapRootNode& root);
  /// Place names, only where the built-in world shows.
  void paintLabels(MapRootNode& root);
  /// Only `wanting`'s world tiles are asked for, as with the imagery.
  void updateWorldPieces(const MapCamera& wanting);
  std::vector<OverlayRenderNode::Picture> annotationPictures(MapRootNode& root);
  void paintOverlaysAndAnnotations(MapRootNode& root, std::vector<OverlayRenderNode::Picture> pictures);
  void paintCredit(MapRootNode& root);
  std::vector<OverlayDrawItem> overlayItems();
  [[nodiscard]] std::optional<OverlayDrawItem> accuracyCircle() const;

  MapCamera camera_;
  MapType type_ = MapType::Satellite;
  std::unique_ptr<TileLayer> satellite_;
  std::unique_ptr<TileLayer> standard_;
  bool showsUser_ = false;
  UserTrackingMode tracking_ = UserTrackingMode::None;
  MapViewDelegate* delegate_ = nullptr;
  std::vector<std::shared_ptr<TapGestureRecognizer>> recognizers_;
  std::optional<double> minDistance_;
  std::vector<TileLayer::Piece> pieces_;  // decided at polish, drawn at sync
  std::unique_ptr<TileLayer> world_;
  std::vector<TileLayer::Piece> worldPieces_;  // empty while the imagery has no holes
  WorldOverview overview_;
  bool imageryShown_ = false, worldShown_ = false, overviewShown_ = false;
  std::vector<QRectF> builtinShown_;  // world units where the last frame drew the built-in world
  std::vector<Shown> shown_;
  std::vector<ShownOverlay> overlays_;
  std::map<QString, std::vector<std::shared_ptr<AnnotationView>>> reusable_;
  std::shared_ptr<UserLocationAnnotation> userLocation_;
  std::shared_ptr<AnnotationView> userLocationView_;
  QPointer<QGeoPositionInfoSource> position_;
  MapGestures gestures_;
  double pinchStartZoom_ = 0;
  QPointF pinchWorldAnchor_;
  QVariantAnimation cameraAnimation_;
  QPointF animFromCentre_, animToCentre_;
  double animFromZoom_ = 0, animToZoom_ = 0;
  QString accessibleName_ = QStringLiteral("Map");
  QString accessibleDescription_ = QStringLiteral("Satellite map. Tap to place a point; drag to move; pinch to zoom.");
  QVariantAnimation flick_;
  QPointF flickFrom_, flickTravel_;  // world units
  QTimer rest_;
};

}  // namespace kavrano
