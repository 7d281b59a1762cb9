#include "kavrano/app/scene_delegate.h"

#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGeoPositionInfoSource>
#include <QNetworkAccessManager>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QThreadPool>
#include <QTimer>
#include <cstdio>
#include <optional>

#include "kavrano/app/memory_tuning.h"
#include "kavrano/core/data_directory.h"
#include "kavrano/core/preference_store.h"
#include "kavrano/files/saving_measurement_file_importer.h"
#include "kavrano/measure/map_data_source.h"
#include "kavrano/measure/map_measure_view_controller.h"
#include "kavrano/qt_map/map_sources.h"
#include "kavrano/qt_map/quick_map_view.h"
#include "kavrano/qt_places/place_search_service_factory.h"
#include "kavrano/qt_places/quick_search_presentation.h"
#include "kavrano/qt_places/shipped_gazetteer.h"
#include "kavrano/qt_ui/quick_cross_dissolve.h"
#include "kavrano/qt_ui/return_presses_buttons.h"

namespace kavrano {

// What the map is given once the intro presents the main screen.
struct SceneDelegate::PendingMapSources {
  std::unique_ptr<TileSource> satellite;
  std::unique_ptr<TileSource> standard;
  std::unique_ptr<TileSource> world;  // beneath either, where their tiles are missing
  QGeoPositionInfoSource* position = nullptr;
};

SceneDelegate::SceneDelegate() = default;

SceneDelegate::~SceneDelegate() {
  // The start-up warm-up may still run (a start refused for a bad option); it
  // needs the application object, which goes after the scene.
  QThreadPool::globalInstance()->waitForDone();
  // Screens first (they hold the services below by reference), each view before
  // its controller, then the window.
  rootPresenter_.reset();
  measurePresenter_.reset();
  delete introView_.data();
  intro_.reset();
  window_.reset();
}

Result<void> SceneDelegate::connect(const AppOptions& options) {
  registerQuickUiTypes();
  // Once per process: a second window (a restart inside a test) keeps the style.
  if (QQuickStyle::name() != QLatin1String("Material")) QQuickStyle::setStyle(QStringLiteral("Material"));
  // The product's accent: the blue of links and primary buttons (an environment
  // setting of the style; a user's own choice wins).
  if (!qEnvironmentVariableIsSet("QT_QUICK_CONTROLS_MATERIAL_ACCENT")) {
    qputenv("QT_QUICK_CONTROLS_MATERIAL_ACCENT", "Blue");
  }

  network_ = makeTileNetwork(this);
  auto sources = std::make_shared<PendingMapSources>();
  auto satellite = makeTileSource(options.tiles, MapType::Satellite, network_);
  if (!satellite) return satellite.failure();
  sources->satellite = std::move(satellite).value();
  auto standard = makeTileSource(options.tiles, MapType::Standard, network_);
  if (!standard) return standard.failure();
  sources->standard = std::move(standard).value();
  // A position named on the command line is made (and checked) now; the system's
  // source loads plugins, so it is looked for once the first frame is out.
  std::optional<bool> hasPositionSource;
  if (!options.position.isEmpty()) {
    const auto position = makePositionSource(options.position, this);
    if (!position) return position.failure();
    sources->position = position.value();
    hasPositionSource = true;
  }
  PlaceSearchServiceChoice places = makePlaceSearchService(options.geocoder);
  if (!places.service) return Failure{places.error.toStdString(), Failure::Kind::invalidRequest};
  places_ = places.service;
  importFiles(options.files);

  locationAuthorization_ = std::make_unique<DesktopLocationAuthorization>(hasPositionSource);
  introLocationAuthorization_ = std::make_unique<DesktopLocationAuthorization>(hasPositionSource);
  searchPresentation_ = std::make_unique<QuickSearchPresentation>();
  engine_ = std::make_unique<QQmlEngine>();

  window_ = std::make_unique<QQuickWindow>();
  window_->setTitle(QStringLiteral("Kavrano"));
  window_->setColor(Qt::black);
  pressButtonsWithReturn(*window_);
  const QString dataDirectory =
      options.dataDirectory.isEmpty() ? QString::fromStdString(defaultDataDirectory().string()) : options.dataDirectory;
  windowSize_ = std::make_unique<WindowSizeMemory>(dataDirectory + '/' + WindowSizeMemory::kFileName);
  const QSize minimum(kMinimumWidth, kMinimumHeight);
  const QSize size = windowSize_->keptSize().value_or(QSize(kWidth, kHeight)).expandedTo(minimum);
  window_->setMinimumSize(minimum);
  window_->resize(size);
  // The content takes the window's size only when the window shows; sized now,
  // the views are laid out once, at their real size.
  window_->contentItem()->setSize(size);
  windowSize_->follow(*window_);
  releaseFreedMemoryAtRest(*window_, *engine_);
  window_->reportContentOrientationChange(Qt::PortraitOrientation);  // portrait only, on phones too

  // The intro's view under the layer in which it presents the main screen (and
  // the measuring screen its alerts).
  auto* introView = new QQuickItem(window_->contentItem());
  introView->setObjectName(QStringLiteral("introLayer"));
  fillParent(introView);
  auto* layer = new QQuickItem(window_->contentItem());
  layer->setObjectName(QStringLiteral("presentationLayer"));
  fillParent(layer);
  rootPresenter_ = std::make_unique<QuickScreenPresenter>(*engine_, layer);
  measurePresenter_ = std::make_unique<QuickScreenPresenter>(*engine_, layer);
  screens_ = std::make_unique<AppScreenFactory>(urlOpener_, fileExporter_, *measurePresenter_);

  intro_ = std::make_unique<IntroViewController>(IntroServices{*rootPresenter_, *introLocationAuthorization_,
                                                               introHaptics_, scheduler_, images_,
                                                               [this, sources] { return makeMainScreen(sources); }});
  // The first view's load imports Qt Quick, which keeps the loader thread busy
  // for milliseconds; meanwhile this thread finds the fonts the first frame needs.
  compileInBackground(*engine_, {intro_->viewUrl()});
  (void)QFontDatabase::families();
  showIntro(introView);

  window_->show();
  // The intro is in the shown window: on later starts it presents the main screen
  // now, so that the very first frame is the measuring screen. On the first
  // start it waits for the first frame: its card dissolves in, which needs a
  // window on screen to dissolve from.
  const bool introShown = UserSettings::shared().didShowIntro();
  if (introShown) intro_->viewDidAppear(false);
  // Work the first frame does not need waits until it is out (queued: the frame
  // is shown first): the shipped place index is checked on another core, so that
  // the first search finds it open; the built-in world, whose tiles load the
  // JPEG plugin, goes beneath the imagery; and the system's position source,
  // which loads plugins, is looked for unless one was named.
  QObject::connect(
      window_.get(), &QQuickWindow::frameSwapped, this,
      [this, sources, hasPositionSource, introShown, tiles = options.tiles] {
        if (!introShown) intro_->viewDidAppear(false);
        QThreadPool::globalInstance()->start([] { (void)shippedGazetteer(); });
        sources->world = makeWorldBeneath(tiles);
        if (map_ && sources->world) map_->setWorldSource(std::move(sources->world));
        if (hasPositionSource) return;
        const auto found = makePositionSource({}, this);
        QGeoPositionInfoSource* system = found ? found.value() : nullptr;
        if (map_) {
          map_->setPositionSource(system);
        } else {
          sources->position = system;  // the map, made later, takes it
        }
        locationAuthorization_->setHasPositionSource(system != nullptr);
        introLocationAuthorization_->setHasPositionSource(system != nullptr);
      },
      static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::SingleShotConnection));

  // The screens not shown at start, with the styled controls and their
  // modules, are compiled when first opened (from the disk cache after the
  // first run): compiled ahead, they were 6.5 MiB of a map at rest.
  return {};
}

void SceneDelegate::showNotice(const QString& message) {
  auto alert = std::make_shared<AlertController>(QStringLiteral("Nothing will be saved"), message);
  alert->addAction({QStringLiteral("OK"), AlertActionStyle::Default, {}});
  // Not the intro's presenter: that one hides what it covers, and the intro presents
  // the main screen through it while the notice may still be up.
  measurePresenter_->presentAlert(alert, false);
}

void SceneDelegate::showIntro(QQuickItem* layer) {
  IntroViewController* intro = intro_.get();
  introView_ = makeScreenView(*engine_, *intro, layer);
  rootPresenter_->setCoveredView(introView_);
  intro->viewDidLoad(makeCrossDissolve(introView_));
  intro->viewWillAppear(false);
}

Screen SceneDelegate::makeMainScreen(const std::shared_ptr<PendingMapSources>& sources) {
  auto measure = std::make_unique<MapMeasureViewController>(MapMeasureServices{
      places_, *searchPresentation_, scheduler_, haptics_, *locationAuthorization_, *measurePresenter_, urlOpener_,
      *screens_, AppFeedbackServices{feedbackForm_, storeReview_, relevantActions_}});
  measure_ = measure.get();
  Screen measureScreen{
      std::move(measure),
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
        map->setFocus(true);  // the keyboard's until the search or a dialog takes it
        map->setTileSource(MapType::Satellite, std::move(sources->satellite));
        map->setTileSource(MapType::Standard, std::move(sources->standard));
        if (sources->world) map->setWorldSource(std::move(sources->world));  // a map made after the first frame
        // Mapped, not decoded: the world's own tiles wait for the first frame.
        map->setWorldOverview(builtinWorldOverview());
        map->setPositionSource(sources->position);
        map_ = map;
        measure_->viewDidLoad({map, makeCrossDissolve(map), makeCrossDissolve(label)});
        showImportedFiles();
      }};

  auto navigation = std::make_unique<MainNavigationController>(*engine_, std::move(measureScreen));
  navigation_ = navigation.get();
  MainNavigationController* stack = navigation.get();
  return {std::move(navigation), {}, [stack](QObject* view) { stack->attachView(qobject_cast<QQuickItem*>(view)); }};
}

void SceneDelegate::importFiles(const QStringList& files) {
  fileImporter_ = std::make_unique<SavingMeasurementFileImporter>(PreferenceStore::standard());
  for (const QString& file : files) {
    auto imported = fileImporter_->importFile(QFile::encodeName(file).toStdString());
    for (const auto& warning : imported.warnings) std::fprintf(stderr, "kavrano: warning: %s\n", warning.c_str());
    if (imported.error) {
      std::fprintf(stderr, "kavrano: %s\n", imported.error->c_str());
      // The alert names the file as the user knows it, without the folders before it.
      QString message = QString::fromStdString(*imported.error);
      const QString path = QString::fromStdString(QFile::encodeName(file).toStdString());
      if (message.startsWith(path)) message.replace(0, path.size(), QFileInfo(file).fileName());
      importErrors_ << message;
    } else if (!importedToShow_ && !imported.records.empty()) {
      importedToShow_ = imported.records.front();
    }
  }
}

void SceneDelegate::showImportedFiles() {
  if (!importedToShow_ && importErrors_.isEmpty()) return;
  // After the start-up follow of the position, which would take the map away again.
  scheduler_.schedule(measure_, MapDataSource::kInitialFollow, [this] {
    auto show = [measure = measure_, record = importedToShow_](const AlertAction&) {
      if (measure && record) measure->didSelectMeasurement(*record);
    };
    importedToShow_.reset();
    if (importErrors_.isEmpty()) return show({});
    // First what could not be opened: a measurement shown under the alert would
    // dismiss it, as any new area does.
    auto alert = std::make_shared<AlertController>(QStringLiteral("File not opened"), importErrors_.join('\n'));
    alert->addAction({QStringLiteral("OK"), AlertActionStyle::Default, show});
    measurePresenter_->presentAlert(alert, true);
    importErrors_.clear();
  });
}

}  // namespace kavrano
