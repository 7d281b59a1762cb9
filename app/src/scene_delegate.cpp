#include "kavrano/app/scene_delegate.h"

#include <QGeoPositionInfoSource>
#include <QNetworkAccessManager>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>

#include "kavrano/measure/map_measure_view_controller.h"
#include "kavrano/qt_map/map_sources.h"
#include "kavrano/qt_map/quick_map_view.h"
#include "kavrano/qt_places/place_search_service_factory.h"
#include "kavrano/qt_places/quick_search_presentation.h"
#include "kavrano/qt_ui/quick_cross_dissolve.h"

namespace kavrano {

namespace {

struct PendingMapSources {
  std::unique_ptr<TileSource> satellite;
  std::unique_ptr<TileSource> standard;
  QGeoPositionInfoSource* position = nullptr;
};

}  // namespace

SceneDelegate::SceneDelegate() : screens_(urlOpener_) {}

SceneDelegate::~SceneDelegate() {
  // Screens first (they hold the services below by reference), then the window.
  rootPresenter_.reset();
  measurePresenter_.reset();
  window_.reset();
}

bool SceneDelegate::connect(const AppOptions& options, QString& error) {
  QQuickStyle::setStyle(QStringLiteral("Material"));
  // The product's accent: the blue of links and primary buttons (an environment
  // setting of the style; a user's own choice wins).
  if (!qEnvironmentVariableIsSet("QT_QUICK_CONTROLS_MATERIAL_ACCENT")) {
    qputenv("QT_QUICK_CONTROLS_MATERIAL_ACCENT", "Blue");
  }

  PlaceSearchServiceChoice places = makePlaceSearchService(options.geocoder);
  if (!places.service) {
    error = places.error;
    return false;
  }
  places_ = places.service;

  network_ = makeTileNetwork(this);
  auto sources = std::make_shared<PendingMapSources>();
  sources->satellite = makeTileSource(options.tiles, MapType::Satellite, network_, error);
  if (!sources->satellite) return false;
  sources->standard = makeTileSource(options.tiles, MapType::Standard, network_, error);
  if (!sources->standard) return false;
  sources->position = makePositionSource(options.position, this, error);
  if (!sources->position && !error.isEmpty()) return false;

  locationAuthorization_ = std::make_unique<DesktopLocationAuthorization>(sources->position != nullptr);
  searchPresentation_ = std::make_unique<QuickSearchPresentation>();
  engine_ = std::make_unique<QQmlEngine>();

  window_ = std::make_unique<QQuickWindow>();
  window_->setTitle(QStringLiteral("Kavrano"));
  window_->setColor(Qt::black);
  window_->resize(kWidth, kHeight);
  window_->reportContentOrientationChange(Qt::PortraitOrientation);  // portrait only, on phones too
  auto* layer = new QQuickItem(window_->contentItem());
  layer->setObjectName(QStringLiteral("presentationLayer"));
  fillParent(layer);
  rootPresenter_ = std::make_unique<QuickScreenPresenter>(*engine_, layer);
  measurePresenter_ = std::make_unique<QuickScreenPresenter>(*engine_, layer);

  auto* measure = new MapMeasureViewController(MapMeasureServices{
      places_, *searchPresentation_, scheduler_, haptics_, *locationAuthorization_, *measurePresenter_, urlOpener_,
      screens_, AppFeedbackServices{feedbackForm_, storeReview_, relevantActions_}});
  measure_ = measure;
  Screen measureScreen{
      measure,
      {{QStringLiteral("searchPresentation"), QVariant::fromValue<QObject*>(searchPresentation_.get())}},
      [this, sources](QObject* view) {
        auto* container = view->findChild<QQuickItem*>(QStringLiteral("mapContainer"));
        auto* label = view->findChild<QQuickItem*>(QStringLiteral("areaLabel"));
        if (!container || !label) qFatal("MapMeasureViewController.qml lacks the map or the label");
        auto* map = new QuickMapView(container);
        // Owned by the screen, which lets go of it after its data source.
        map->setParent(measure_);
        map->setObjectName(QStringLiteral("map"));
        fillParent(map);
        map->setTileSource(MapType::Satellite, std::move(sources->satellite));
        map->setTileSource(MapType::Standard, std::move(sources->standard));
        map->setPositionSource(sources->position);
        map_ = map;
        measure_->viewDidLoad({map, makeCrossDissolve(map), makeCrossDissolve(label)});
      }};

  auto* navigation = new MainNavigationController(*engine_, std::move(measureScreen));
  navigation_ = navigation;
  // Until the introduction exists, the root presents the main navigation at once.
  rootPresenter_->presentScreen(
      {navigation, {}, [navigation](QObject* view) { navigation->attachView(qobject_cast<QQuickItem*>(view)); }}, false,
      {});
  window_->show();
  return true;
}

}  // namespace kavrano
