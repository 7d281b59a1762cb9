#pragma once

#include <QObject>
#include <QPointer>
#include <chrono>
#include <memory>
#include <optional>

#include "kavrano/app/app_options.h"
#include "kavrano/app/app_screen_factory.h"
#include "kavrano/app/window_size_memory.h"
#include "kavrano/core/result.h"
#include "kavrano/core/user_settings.h"
#include "kavrano/files/measurement_file_importer.h"
#include "kavrano/files/writing_measurement_file_exporter.h"
#include "kavrano/measure/map_measure_view_controller.h"
#include "kavrano/onboarding/intro_view_controller.h"
#include "kavrano/qt_images/resource_image_source.h"
#include "kavrano/qt_map/quick_map_view.h"
#include "kavrano/qt_ui/desktop_services.h"
#include "kavrano/qt_ui/quick_screens.h"

class QQmlEngine;
class QQuickWindow;
class QNetworkAccessManager;

namespace kavrano {

class PlaceSearchService;
class QuickSearchPresentation;

/// The one window (390 × 844, portrait, resizable, its size kept between runs)
/// and the screen tree in it: the introduction is the root, and presents the main
/// navigation, whose root is the measuring screen. Owns the platform services the
/// screens use.
class SceneDelegate final : public QObject {
  Q_OBJECT
 public:
  static constexpr int kWidth = 390;
  static constexpr int kHeight = 844;
  /// The smallest phone screen the views are made for (320 × 568 points): the
  /// introduction's card just fits it.
  static constexpr int kMinimumWidth = 320;
  static constexpr int kMinimumHeight = 568;

  SceneDelegate();
  ~SceneDelegate() override;

  /// Makes the window and shows it. Fails, saying why to the user, when an option
  /// names an unusable source.
  [[nodiscard]] Result<void> connect(const AppOptions& options);

  /// An alert with one "OK" over whatever shows: for the one thing the user must
  /// hear at start (nothing of this run will be kept).
  void showNotice(const QString& message);

  [[nodiscard]] QQuickWindow* window() const { return window_.get(); }
  [[nodiscard]] QQmlEngine& engine() const { return *engine_; }
  [[nodiscard]] IntroViewController* intro() const { return intro_.get(); }
  /// The intro's light tick on each page.
  [[nodiscard]] DesktopImpactFeedbackGenerator& introHaptics() { return introHaptics_; }
  /// The main navigation and the screens in it exist once the intro has presented it.
  [[nodiscard]] MainNavigationController* navigation() const { return navigation_; }
  [[nodiscard]] MapMeasureViewController* measureController() const { return measure_; }
  [[nodiscard]] QuickMapView* mapView() const { return map_; }
  [[nodiscard]] QuickScreenPresenter& measurePresenter() const { return *measurePresenter_; }
  [[nodiscard]] DesktopImpactFeedbackGenerator& haptics() { return haptics_; }
  [[nodiscard]] DesktopStoreReviewController& storeReview() { return storeReview_; }

 private:
  struct PendingMapSources;
  [[nodiscard]] Screen makeMainScreen(const std::shared_ptr<PendingMapSources>& sources);
  /// Saves what the files on the command line hold; the first measurement is shown,
  /// and files that could not be read are named in an alert, once the map is there.
  void importFiles(const QStringList& files);
  void showImportedFiles();
  void showIntro(QQuickItem* layer);

  QtMainQueueScheduler scheduler_;
  DesktopImpactFeedbackGenerator haptics_;
  DesktopImpactFeedbackGenerator introHaptics_{ImpactFeedbackStyle::Light};
  ResourceImageSource images_;
  DesktopUrlOpener urlOpener_;
  DesktopStoreReviewController storeReview_;
  QuickFeedbackFormPresenter feedbackForm_;
  WritingMeasurementFileExporter fileExporter_;
  std::unique_ptr<AppScreenFactory> screens_;  // once there is a presenter for its alerts
  RelevantActionCounter relevantActions_;      // this process's
  std::shared_ptr<PlaceSearchService> places_;
  std::unique_ptr<QuickSearchPresentation> searchPresentation_;
  std::unique_ptr<DesktopLocationAuthorization> locationAuthorization_;
  std::unique_ptr<DesktopLocationAuthorization> introLocationAuthorization_;
  std::unique_ptr<QQmlEngine> engine_;
  std::unique_ptr<QQuickWindow> window_;
  std::unique_ptr<WindowSizeMemory> windowSize_;
  std::unique_ptr<QuickScreenPresenter> rootPresenter_;
  std::unique_ptr<QuickScreenPresenter> measurePresenter_;
  QNetworkAccessManager* network_ = nullptr;
  std::unique_ptr<IntroViewController> intro_;
  QPointer<QQuickItem> introView_;
  QPointer<MainNavigationController> navigation_;
  QPointer<MapMeasureViewController> measure_;
  QPointer<QuickMapView> map_;
  std::unique_ptr<MeasurementFileImporter> fileImporter_;
  std::optional<PersistedMeasurement> importedToShow_;
  QStringList importErrors_;
};

}  // namespace kavrano
