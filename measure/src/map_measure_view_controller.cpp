#include "kavrano/measure/map_measure_view_controller.h"

#include <cstdio>

#include "kavrano/core/analytics.h"
#include "kavrano/core/unit_converter.h"
#include "kavrano/ui/navigation_controller.h"

namespace kavrano {

MapMeasureViewController::MapMeasureViewController(MapMeasureServices services, QObject* parent)
    : ViewController(parent),
      CanAskAppFeedback(services.feedback),
      services_(std::move(services)),
      viewModel_(services_.places),
      searchController_(services_.places, services_.searchPresentation) {}

MapMeasureViewController::~MapMeasureViewController() = default;

QUrl MapMeasureViewController::viewUrl() const {
  return QUrl(QStringLiteral("qrc:/qt-project.org/imports/Kavrano/Measure/MapMeasureViewController.qml"));
}

MapView& MapMeasureViewController::map() const {
  if (!outlets_.mapView) qFatal("MapMeasureViewController: the view has no map");
  return *outlets_.mapView;
}

void MapMeasureViewController::viewDidLoad(MapMeasureOutlets outlets) {
  if (!outlets.mapView || !outlets.mapTransition || !outlets.labelTransition) {
    qFatal("MapMeasureViewController: the view lacks the map or a transition");
  }
  outlets_ = std::move(outlets);
  if (NavigationController* stack = navigationController()) stack->setNavigationBarHidden(true, false);
  setClearButton(false);
  services_.feedbackGenerator.prepare();  // so the first tick comes without delay
  services_.locationAuthorization.requestWhenInUseAuthorization();

  const QPointer<MapMeasureViewController> self(this);
  mapDataSource_ = std::make_unique<MapDataSource>(map(), services_.scheduler, outlets_.mapTransition,
                                                   [self](const std::vector<std::shared_ptr<Annotation>>& annotations) {
                                                     if (self) self->annotationsUpdated(annotations);
                                                   });

  searchController_.setDelegate(&viewModel_);
  viewModel_.onSearchFetched = [self](std::optional<Coordinate> coordinate) {
    if (self) self->searchFetched(coordinate);
  };
}

void MapMeasureViewController::viewWillAppear(bool animated) {
  ViewController::viewWillAppear(animated);
  // Pushed screens show the bar; coming back hides it again.
  if (NavigationController* stack = navigationController()) stack->setNavigationBarHidden(true, true);
}

void MapMeasureViewController::viewDidAppear(bool animated) {
  ViewController::viewDidAppear(animated);
  appFeedbackHostDidAppear();
}

void MapMeasureViewController::setClearButton(bool armed) {
  clearEnabled_ = armed;
  clearBackground_ = armed ? kArmedBackground : kIdleBackground;
  emit clearButtonChanged();
}

void MapMeasureViewController::setAreaText(const QString& text) {
  if (text == areaText_) return;
  areaText_ = text;
  emit areaTextChanged();
}

void MapMeasureViewController::annotationsUpdated(const std::vector<std::shared_ptr<Annotation>>& annotations) {
  MeasureAnalytics::logEvent("added_pin");
  services_.feedbackGenerator.impactOccurred();

  const std::size_t n = annotations.size();
  QString text;
  if (n >= 1) {
    setClearButton(true);
    if (n == 1) {
      text = QStringLiteral("Add another point to measure");
    } else if (n == 2) {
      text = QStringLiteral("Add more points to get area");
    } else {
      const double area = viewModel_.measuredArea(annotations);
      text = QStringLiteral("Area: %1").arg(QString::fromStdString(UnitConverter::shared().areaText(area)));
      if (services_.presenter.isPresenting()) services_.presenter.dismiss(false);
      askForAppFeedback();
    }
  }
  const QPointer<MapMeasureViewController> self(this);
  outlets_.labelTransition(kLabelTransitionSeconds, [self, text] {
    if (self) self->setAreaText(text);
  });
}

void MapMeasureViewController::clearTapped() {
  MeasureAnalytics::logEvent("cleared_pins");
  if (mapDataSource_) mapDataSource_->clear();
  setClearButton(false);
  setAreaText(QStringLiteral("Tap on the map to measure"));
}

void MapMeasureViewController::saveTapped() {
  if (!mapDataSource_) qFatal("MapMeasureViewController: save before the view was loaded");
  if (mapDataSource_->annotations.empty()) {
    auto alert = std::make_shared<AlertController>(
        QStringLiteral("Point needed"),
        QStringLiteral("You must add at least one point to the map before saving a measurement"));
    alert->addAction({QStringLiteral("OK"), AlertActionStyle::Default, {}});
    services_.presenter.presentAlert(alert, true);
    return;
  }

  auto alert = std::make_shared<AlertController>(QStringLiteral("Save measurement"),
                                                 QStringLiteral("Give a title to your measurement"));
  alert->addTextField([this](AlertTextField& field) {
    field.placeholder = QStringLiteral("Title");
    field.autocapitalization = TextAutocapitalization::Sentences;
    field.setDelegate(this);
  });
  // The alert owns its actions: the handler must not own the alert back.
  const std::weak_ptr<AlertController> weakAlert = alert;
  const QPointer<MapMeasureViewController> self(this);
  saveAlertAction_ = alert->addAction(
      {QStringLiteral("Save"), AlertActionStyle::Default, [weakAlert, self](const AlertAction&) {
         QString title = QStringLiteral("Measurement");
         if (auto shown = weakAlert.lock(); shown && !shown->textFields.empty() && shown->textFields.front()->text) {
           title = *shown->textFields.front()->text;
         }
         if (self) self->saveNamed(title);
       }});
  alert->addAction({QStringLiteral("Cancel"), AlertActionStyle::Cancel, {}});
  services_.presenter.presentAlert(alert, true);
}

void MapMeasureViewController::saveNamed(const QString& title) {
  const Result<void> saved = viewModel_.saveMeasurement(mapDataSource_->annotations, title, map());
  if (!saved) {
    // Never "Success" for what did not reach the disk; the points stay for another try.
    auto failure = std::make_shared<AlertController>(
        QStringLiteral("Not saved"),
        QStringLiteral("The measurement could not be saved. %1. Your points are still on the map.")
            .arg(QString::fromStdString(saved.failure().reason)));
    failure->addAction({QStringLiteral("OK"), AlertActionStyle::Default, {}});
    services_.presenter.presentAlert(failure, true);
    return;
  }
  auto success =
      std::make_shared<AlertController>(QStringLiteral("Success"), QStringLiteral("Measurement saved successfuly"));
  success->addAction({QStringLiteral("OK"), AlertActionStyle::Default, {}});
  services_.presenter.presentAlert(success, true);
  MeasureAnalytics::logEvent("persisted_measurement");
}

bool MapMeasureViewController::shouldChangeCharacters(AlertTextField&, int, int, const QString&) { return true; }

void MapMeasureViewController::loadTapped() {
  NavigationController* stack = navigationController();
  if (!stack) return;
  stack->pushViewController(services_.screens.makeMeasurementSelectionScreen(this), true);
}

void MapMeasureViewController::settingsTapped() {
  NavigationController* stack = navigationController();
  if (!stack) return;
  Screen settings =
      services_.screens.instantiateViewController(QStringLiteral("Main"), QStringLiteral("SettingsViewController"));
  if (!settings.controller) qFatal("The collection of views \"Main\" has no SettingsViewController");
  stack->pushViewController(std::move(settings), true);
}

void MapMeasureViewController::didSelectMeasurement(const PersistedMeasurement& measurement) {
  if (NavigationController* stack = navigationController()) stack->popViewController(true);
  MeasureAnalytics::logEvent("selected_persisted");

  services_.scheduler.schedule(this, kOpenDelay, [this, record = measurement] {
    auto vertices = viewModel_.annotations(record);
    // A stored centre off the Earth gives way to the first point that is on it.
    std::optional<Coordinate> centre = Coordinate{record.center.latitude, record.center.longitude};
    if (!isOnEarth(*centre)) centre = vertices.empty() ? std::nullopt : std::optional(vertices.front()->coordinate());
    const QPointer<MapMeasureViewController> self(this);
    outlets_.mapTransition(kOpenTransitionSeconds, [self, vertices = std::move(vertices)] {
      if (!self || !self->mapDataSource_) return;
      self->mapDataSource_->clear();
      self->mapDataSource_->annotations = vertices;
      self->mapDataSource_->redraw();
    });
    if (centre) map().setRegion(*centre, kRegionMetres, kRegionMetres, true);
  });
}

void MapMeasureViewController::searchFetched(std::optional<Coordinate> coordinate) {
  if (!coordinate) return;
  map().setRegion(*coordinate, kRegionMetres, kRegionMetres, true);
}

void MapMeasureViewController::locationTapped() {
  isFoccusingOnLocation_ = !isFoccusingOnLocation_;
  if (isFoccusingOnLocation_) {
    services_.locationAuthorization.requestWhenInUseAuthorization();
    map().setShowsUserLocation(true);
    map().setUserTrackingMode(UserTrackingMode::Follow);
    focusIcon_ = QStringLiteral("location.fill");
  } else {
    map().setShowsUserLocation(false);
    map().setUserTrackingMode(UserTrackingMode::None);
    focusIcon_ = QStringLiteral("location");
  }
  emit focusIconChanged();
}

void MapMeasureViewController::openSupportMail() {
  const QString link =
      QStringLiteral("mailto:%1?subject=Support Request for Kavrano").arg(QLatin1String(kSupportAddress));
  // The characters a URL query may hold unescaped; everything else, blanks
  // included, is percent-encoded.
  const QByteArray encoded = QUrl::toPercentEncoding(link, "!$&'()*+,-./:;=?@_~");
  const QUrl url(QString::fromLatin1(encoded), QUrl::StrictMode);
  if (!url.isValid()) return;
  if (services_.urlOpener.canOpenUrl(url)) {
    services_.urlOpener.openUrl(url);
  } else {
    std::printf("Failed to open mail\n");
    std::fflush(stdout);
  }
}

}  // namespace kavrano
