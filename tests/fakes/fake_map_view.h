#pragma once

#include <QString>
#include <QStringList>
#include <map>
#include <optional>
#include <vector>

#include "kavrano/map/map_view.h"

namespace kavrano {

/// A map view that records what it was asked and draws nothing. Points map to
/// coordinates linearly, and views given by the delegate are remembered per
/// annotation so tests can inspect them.
class FakeMapView : public MapView {
 public:
  struct Region {
    Coordinate centre;
    double metresNorthSouth = 0.0;
    double metresEastWest = 0.0;
    bool animated = false;
  };

  /// Every call in order, e.g. "setMapType 1", "addAnnotation", "setRegion".
  QStringList calls;
  std::vector<Region> regions;
  Coordinate centre;
  std::optional<Coordinate> fix;        // the own position's latest fix
  std::optional<Coordinate> lastKnown;  // what the position source remembers

  void setMapType(MapType type) override {
    type_ = type;
    calls << QStringLiteral("setMapType %1").arg(static_cast<int>(type));
  }
  [[nodiscard]] MapType mapType() const override { return type_; }
  void setShowsUserLocation(bool shows) override {
    showsUser_ = shows;
    calls << QStringLiteral("setShowsUserLocation %1").arg(shows);
  }
  [[nodiscard]] bool showsUserLocation() const override { return showsUser_; }
  void setUserTrackingMode(UserTrackingMode mode) override {
    tracking_ = mode;
    calls << QStringLiteral("setUserTrackingMode %1").arg(static_cast<int>(mode));
  }
  [[nodiscard]] UserTrackingMode userTrackingMode() const override { return tracking_; }
  [[nodiscard]] std::optional<Coordinate> userLocationFix() const override { return fix; }
  [[nodiscard]] std::optional<Coordinate> lastKnownUserLocation() const override { return lastKnown; }
  /// A fix from the position source: taken only while the position is shown,
  /// followed by the camera in follow mode, then reported to the delegate.
  void deliverFix(Coordinate c) {
    if (!showsUser_) return;
    fix = c;
    if (tracking_ == UserTrackingMode::Follow) centre = c;
    if (delegate_) delegate_->didUpdateUserLocation(*this);
  }
  void setDelegate(MapViewDelegate* delegate) override {
    delegate_ = delegate;
    calls << QStringLiteral("setDelegate");
  }
  [[nodiscard]] MapViewDelegate* delegate() const { return delegate_; }
  void addGestureRecognizer(std::shared_ptr<TapGestureRecognizer> recognizer) override {
    recognizers_.push_back(std::move(recognizer));
    calls << QStringLiteral("addGestureRecognizer");
  }
  [[nodiscard]] const auto& gestureRecognizers() const { return recognizers_; }
  // 1 px = 1e-4° (about 11 m), y down.
  [[nodiscard]] Coordinate convertPointToCoordinate(QPointF p) const override { return {-p.y() / 1e4, p.x() / 1e4}; }
  void setCameraZoomRange(double minDistance, bool animated) override {
    calls << QStringLiteral("setCameraZoomRange %1 %2").arg(minDistance).arg(animated);
  }
  [[nodiscard]] Coordinate centerCoordinate() const override { return centre; }
  [[nodiscard]] Coordinate cameraCenterCoordinate() const override { return centre; }
  void setRegion(Coordinate c, double ns, double ew, bool animated) override {
    regions.push_back({c, ns, ew, animated});
    centre = c;
    calls << QStringLiteral("setRegion");
  }

  [[nodiscard]] std::vector<std::shared_ptr<Annotation>> annotations() const override { return annotations_; }
  void addAnnotation(std::shared_ptr<Annotation> annotation) override {
    calls << QStringLiteral("addAnnotation");
    if (auto view = delegate_ ? delegate_->viewForAnnotation(*this, annotation) : nullptr)
      views_[annotation.get()] = view;
    annotations_.push_back(std::move(annotation));
  }
  void removeAnnotations(const std::vector<std::shared_ptr<Annotation>>& gone) override {
    calls << QStringLiteral("removeAnnotations %1").arg(gone.size());
    for (const auto& a : gone) {
      if (!std::erase(annotations_, a)) continue;
      if (auto view = viewFor(a.get())) offerReusableView(view);
      views_.erase(a.get());
    }
  }
  [[nodiscard]] std::vector<std::shared_ptr<Overlay>> overlays() const override { return overlays_; }
  void addOverlay(std::shared_ptr<Overlay> overlay) override {
    calls << QStringLiteral("addOverlay");
    overlays_.push_back(std::move(overlay));
  }
  void removeOverlays(const std::vector<std::shared_ptr<Overlay>>& gone) override {
    calls << QStringLiteral("removeOverlays %1").arg(gone.size());
    for (const auto& o : gone) std::erase(overlays_, o);
  }
  [[nodiscard]] std::shared_ptr<AnnotationView> dequeueReusableAnnotationView(const QString& identifier) override {
    calls << QStringLiteral("dequeue %1").arg(identifier);
    auto& pool = reusable_[identifier];
    if (pool.empty()) return nullptr;
    auto view = std::move(pool.back());
    pool.pop_back();
    return view;
  }

  /// What the delegate answered for a shown annotation (null: the standard marker).
  [[nodiscard]] std::shared_ptr<AnnotationView> viewFor(const Annotation* a) const {
    auto it = views_.find(a);
    return it == views_.end() ? nullptr : it->second;
  }
  /// Puts a view into the reuse pool, as if its annotation had been removed.
  void offerReusableView(std::shared_ptr<AnnotationView> view) {
    reusable_[view->reuseIdentifier()].push_back(std::move(view));
  }

  /// A tap at `point`: every recogniser fires, as the real map does.
  void tap(QPointF point) {
    for (const auto& r : recognizers_) r->recognize(point);
  }

 private:
  MapType type_ = MapType::Standard;
  bool showsUser_ = false;
  UserTrackingMode tracking_ = UserTrackingMode::None;
  MapViewDelegate* delegate_ = nullptr;
  std::vector<std::shared_ptr<TapGestureRecognizer>> recognizers_;
  std::vector<std::shared_ptr<Annotation>> annotations_;
  std::vector<std::shared_ptr<Overlay>> overlays_;
  std::map<const Annotation*, std::shared_ptr<AnnotationView>> views_;
  std::map<QString, std::vector<std::shared_ptr<AnnotationView>>> reusable_;
};

}  // namespace kavrano
