#pragma once

#include <QtQmlIntegration/qqmlintegration.h>
#include <QObject>
#include <QPointer>
#include <memory>
#include <optional>

#include "kavrano/map/map_view.h"
#include "kavrano/measure/map_data_source.h"
#include "kavrano/measure/map_measure_view_model.h"
#include "kavrano/measure/measure_screen_factory.h"
#include "kavrano/measure/measurement_selection_delegate.h"
#include "kavrano/measure/search_view_controller.h"
#include "kavrano/onboarding/can_ask_app_feedback.h"
#include "kavrano/places/search_presentation.h"
#include "kavrano/ui/alert_controller.h"
#include "kavrano/ui/haptics.h"
#include "kavrano/ui/location_authorization.h"
#include "kavrano/ui/scheduler.h"
#include "kavrano/ui/screen_presenter.h"
#include "kavrano/ui/url_opener.h"
#include "kavrano/ui/view_controller.h"
#include "kavrano/ui/view_transition.h"

namespace kavrano {

/// Everything the measuring screen reaches outside itself. All must outlive it.
struct MapMeasureServices {
  std::shared_ptr<PlaceSearchService> places;
  SearchPresentation& searchPresentation;
  Scheduler& scheduler;
  ImpactFeedbackGenerator& feedbackGenerator;
  LocationAuthorization& locationAuthorization;
  ScreenPresenter& presenter;
  UrlOpener& urlOpener;
  MeasureScreenFactory& screens;
  AppFeedbackServices feedback;
};

/// The parts of the view the screen drives, bound once the view exists.
struct MapMeasureOutlets {
  MapView* mapView = nullptr;
  ViewTransition mapTransition;    // cross-dissolve of the map
  ViewTransition labelTransition;  // cross-dissolve of the status label
};

/// The main screen: the satellite map on which the points of a measurement are
/// placed, a status label, the place search and five buttons (clear, save, saved
/// list, settings, follow own position). Its view is MapMeasureViewController.qml.
class MapMeasureViewController final : public kavrano::ViewController,
                                       public MeasurementSelectionDelegate,
                                       public TextFieldDelegate,
                                       public CanAskAppFeedback {
  Q_OBJECT
  QML_ELEMENT
  QML_UNCREATABLE("made by the app with its services")
  Q_INTERFACES(kavrano::MeasurementSelectionDelegate kavrano::TextFieldDelegate)
  Q_PROPERTY(QString areaText READ areaText NOTIFY areaTextChanged)
  Q_PROPERTY(bool clearEnabled READ clearEnabled NOTIFY clearButtonChanged)
  Q_PROPERTY(QString clearBackground READ clearBackground NOTIFY clearButtonChanged)
  Q_PROPERTY(QString focusIcon READ focusIcon NOTIFY focusIconChanged)
  Q_PROPERTY(bool following READ isFoccusingOnLocation NOTIFY focusIconChanged)
  Q_PROPERTY(QString searchPlaceholder READ searchPlaceholder CONSTANT)
  Q_PROPERTY(kavrano::SearchViewController* searchController READ searchControllerObject CONSTANT)

 public:
  static constexpr const char* kSupportAddress = "support@kavrano.app";
  static constexpr double kLabelTransitionSeconds = 0.1;
  static constexpr double kOpenTransitionSeconds = 0.25;
  /// After the list's pop has begun, so the opening is seen on the map.
  static constexpr std::chrono::milliseconds kOpenDelay{500};
  static constexpr double kRegionMetres = 200.0;
  // "#AARRGGBB": the platform's system red, and light grey (2/3 white) at 0.75.
  static constexpr const char* kArmedBackground = "#ffff3b30";
  static constexpr const char* kIdleBackground = "#bfaaaaaa";

  explicit MapMeasureViewController(MapMeasureServices services, QObject* parent = nullptr);
  ~MapMeasureViewController() override;

  [[nodiscard]] QUrl viewUrl() const override;

  /// The view exists: binds it and sets the screen up (map, search, first texts).
  void viewDidLoad(MapMeasureOutlets outlets);
  void viewWillAppear(bool animated) override;
  void viewDidAppear(bool animated) override;

  Q_INVOKABLE void clearTapped();
  Q_INVOKABLE void saveTapped();
  Q_INVOKABLE void loadTapped();
  Q_INVOKABLE void settingsTapped();
  Q_INVOKABLE void locationTapped();

  void didSelectMeasurement(const PersistedMeasurement& measurement) override;
  bool shouldChangeCharacters(AlertTextField& field, int start, int length, const QString& replacement) override;
  void openSupportMail() override;

  [[nodiscard]] QString areaText() const { return areaText_; }
  [[nodiscard]] bool clearEnabled() const { return clearEnabled_; }
  [[nodiscard]] QString clearBackground() const { return QString::fromLatin1(clearBackground_); }
  [[nodiscard]] QString focusIcon() const { return focusIcon_; }
  [[nodiscard]] static QString searchPlaceholder() { return QStringLiteral("Search a place or address"); }
  [[nodiscard]] bool isFoccusingOnLocation() const { return isFoccusingOnLocation_; }
  [[nodiscard]] MapDataSource* mapDataSource() const { return mapDataSource_.get(); }
  [[nodiscard]] MapMeasureViewModel& viewModel() { return viewModel_; }
  [[nodiscard]] SearchViewController& searchController() { return searchController_; }
  [[nodiscard]] std::shared_ptr<AlertAction> saveAlertAction() const { return saveAlertAction_; }

 signals:
  void areaTextChanged();
  void clearButtonChanged();
  void focusIconChanged();

 protected:
  QObject& feedbackHost() override { return *this; }
  ScreenPresenter& feedbackPresenter() override { return services_.presenter; }

 private:
  void annotationsUpdated(const std::vector<std::shared_ptr<Annotation>>& annotations);
  void searchFetched(std::optional<Coordinate> coordinate);
  void setClearButton(bool armed);
  void setAreaText(const QString& text);
  void saveNamed(const QString& title);
  MapView& map() const;

  MapMeasureServices services_;
  MapMeasureOutlets outlets_;
  MapMeasureViewModel viewModel_;
  std::unique_ptr<MapDataSource> mapDataSource_;
  SearchViewController searchController_;
  bool isFoccusingOnLocation_ = false;
  std::shared_ptr<AlertAction> saveAlertAction_;

  QString areaText_ = QStringLiteral("Tap on the map to measure");
  bool clearEnabled_ = false;
  const char* clearBackground_ = kIdleBackground;
  QString focusIcon_ = QStringLiteral("location");

  [[nodiscard]] SearchViewController* searchControllerObject() { return &searchController_; }
};

}  // namespace kavrano
