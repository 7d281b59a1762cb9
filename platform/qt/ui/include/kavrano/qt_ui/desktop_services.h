#pragma once

#include <QObject>
#include <chrono>
#include <optional>

#include "kavrano/ui/haptics.h"
#include "kavrano/ui/location_authorization.h"
#include "kavrano/ui/scheduler.h"
#include "kavrano/ui/store_review.h"
#include "kavrano/ui/url_opener.h"

namespace kavrano {

/// The main queue of Qt's event loop: a single-shot timer bound to the context.
class QtMainQueueScheduler final : public Scheduler {
 public:
  void schedule(const QObject* context, std::chrono::milliseconds delay, std::function<void()> step) override;
};

/// Desktops have no haptic engine: the ticks are only counted.
class DesktopImpactFeedbackGenerator final : public ImpactFeedbackGenerator {
 public:
  explicit DesktopImpactFeedbackGenerator(ImpactFeedbackStyle style = ImpactFeedbackStyle::Medium) : style_(style) {}
  [[nodiscard]] ImpactFeedbackStyle style() const { return style_; }
  void prepare() override { ++prepareCount_; }
  void impactOccurred() override { ++impactCount_; }
  [[nodiscard]] int impactCount() const { return impactCount_; }
  [[nodiscard]] int prepareCount() const { return prepareCount_; }

 private:
  ImpactFeedbackStyle style_;
  int impactCount_ = 0;
  int prepareCount_ = 0;
};

/// Desktops ask no one: use is allowed when a position source exists, denied
/// otherwise. The answer comes on the main queue, as a phone's would, and waits
/// until it is known whether there is a source (the system's is looked for
/// after start).
class DesktopLocationAuthorization final : public QObject, public LocationAuthorization {
  Q_OBJECT
 public:
  explicit DesktopLocationAuthorization(std::optional<bool> hasPositionSource, QObject* parent = nullptr)
      : QObject(parent), hasPositionSource_(hasPositionSource) {}
  void requestWhenInUseAuthorization() override;
  [[nodiscard]] LocationAuthorizationStatus status() const override { return status_; }
  /// Now known; a request that waited for it is answered.
  void setHasPositionSource(bool hasPositionSource);

 private:
  void answer();

  std::optional<bool> hasPositionSource_;
  bool requested_ = false;
  LocationAuthorizationStatus status_ = LocationAuthorizationStatus::NotDetermined;
};

/// Hands addresses to the desktop (QDesktopServices).
class DesktopUrlOpener final : public UrlOpener {
 public:
  [[nodiscard]] bool canOpenUrl(const QUrl& url) const override;
  void openUrl(const QUrl& url) override;
};

/// The desktop has no store: requests are counted and nothing is shown.
class DesktopStoreReviewController final : public StoreReviewController {
 public:
  void requestReview() override { ++requestCount_; }
  [[nodiscard]] int requestCount() const { return requestCount_; }

 private:
  int requestCount_ = 0;
};

}  // namespace kavrano
