#include "kavrano/measure/map_measure_view_controller.h"

#include <gtest/gtest.h>
#include <limits>

#include "fake_map_view.h"
#include "fake_places.h"
#include "fake_scheduler.h"
#include "fake_ui.h"
#include "kavrano/core/measurement_manager.h"
#include "kavrano/core/memory_preference_store.h"
#include "kavrano/core/number_text.h"
#include "kavrano/core/unit_converter.h"

namespace kavrano {
namespace {

using namespace std::chrono_literals;

class FakeScreenFactory final : public MeasureScreenFactory {
 public:
  Screen makeMeasurementSelectionScreen(QObject* d) override {
    delegate = d;
    return {std::make_unique<FakeScreen>(QStringLiteral("MeasurementSelectionViewController")), {}, {}};
  }
  Screen instantiateViewController(const QString&, const QString& identifier) override {
    return {std::make_unique<FakeScreen>(identifier), {}, {}};
  }
  QObject* delegate = nullptr;
};

// An alert as the user reads it: title, message, [field placeholders], buttons.
QString shown(const AlertController& alert) {
  QStringList parts{alert.title, alert.message};
  for (const auto& field : alert.textFields) parts << '[' + field->placeholder + ']';
  for (const auto& action : alert.actions)
    parts << action->title + (action->style == AlertActionStyle::Cancel ? " (cancel)" : "");
  return parts.join(" | ");
}

class MapMeasureViewControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setUserNumberLocaleOverride("en_US");
    PreferenceStore::installStandard(store);
    AnalyticsService::configure(std::make_shared<JournalEventRecorder>(journal));
    UserSettings::shared().setDidRequest(true);  // the rating policy has its own tests
    controller = std::make_unique<MapMeasureViewController>(
        MapMeasureServices{places, search, scheduler, haptics, location, presenter, urls, screens,
                           AppFeedbackServices{form, review, counter}});
    controller->setNavigationController(&nav);
    map.centre = {47.37, 8.54};
    map.fix = map.centre;  // known before the start-up follow ends; tests without one reset it
    controller->viewDidLoad({&map, transition("map"), transition("label")});
    loadJournal = journal;
    journal.clear();
  }
  void TearDown() override {
    controller.reset();
    AnalyticsService::configure(nullptr);
    setUserNumberLocaleOverride(std::nullopt);
  }

  ViewTransition transition(const QString& view) {
    return [this, view](double seconds, std::function<void()> changes) {
      journal << QStringLiteral("%1 dissolve %2").arg(view).arg(seconds);
      changes();
    };
  }
  /// Taps the map at offsets that make a square of about 111 m a side south-east of (0, 0):
  /// 1 px = 1e-4° (about 11 m), y down: (x, y) → (−y, x) × 1e-4.
  void tapCorner(int i) { map.tap(kCorners[i]); }
  static constexpr QPointF kCorners[] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
  QStringList labelTexts() const {
    QStringList texts;
    for (const auto& a : map.annotations())
      if (a->title()) texts << *a->title();
    return texts;
  }
  std::size_t vertexCount() const { return map.annotations().size() - labelTexts().size(); }
  auto lastRegion() const {
    const auto& r = map.regions.back();
    return std::tuple(r.centre.latitude, r.centre.longitude, r.metresNorthSouth, r.metresEastWest, r.animated);
  }

  std::shared_ptr<MemoryPreferenceStore> store = std::make_shared<MemoryPreferenceStore>();
  Journal journal, loadJournal;
  std::shared_ptr<test::FakePlaceSearchService> places = std::make_shared<test::FakePlaceSearchService>();
  test::FakeSearchPresentation search;
  FakeScheduler scheduler;
  FakeImpactFeedbackGenerator haptics{journal};
  FakeLocationAuthorization location{journal};
  FakeScreenPresenter presenter{journal};
  FakeUrlOpener urls;
  FakeScreenFactory screens;
  FakeFeedbackFormPresenter form{journal};
  FakeStoreReviewController review{journal};
  RelevantActionCounter counter;
  FakeNavigationController nav{journal};
  FakeMapView map;
  std::unique_ptr<MapMeasureViewController> controller;
};

TEST_F(MapMeasureViewControllerTest, LoadingSetsUpInOrderAndStartsIdle) {
  EXPECT_EQ(loadJournal, (QStringList{"barHidden 1 0", "prepare", "requestWhenInUse"}));

  // The map follows the user for a second, then stays where it is.
  map.calls.clear();
  scheduler.advance(999ms);
  EXPECT_TRUE(map.calls.isEmpty());
  scheduler.advance(1ms);
  EXPECT_EQ(map.calls, (QStringList{"setShowsUserLocation 0", "setUserTrackingMode 0", "setRegion"}));
  EXPECT_EQ(lastRegion(), std::tuple(47.37, 8.54, 200.0, 200.0, true));
}

// No fix by the end of the start-up follow: the last known position stands in.
TEST_F(MapMeasureViewControllerTest, WithoutAFixAtOneSecondTheZoomGoesToTheLastKnownPosition) {
  map.fix.reset();
  map.lastKnown = Coordinate{46.95, 7.45};
  map.calls.clear();
  scheduler.advance(1s);
  EXPECT_EQ(map.calls, (QStringList{"setShowsUserLocation 0", "setUserTrackingMode 0", "setRegion"}));
  EXPECT_EQ(lastRegion(), std::tuple(46.95, 7.45, 200.0, 200.0, true));
}

// Nothing known at all: the wide view stays and the position keeps coming
// until the first fix, which gets the zoom, late or never.
TEST_F(MapMeasureViewControllerTest, WithNoPositionKnownTheZoomWaitsForTheFirstFix) {
  map.fix.reset();
  map.calls.clear();
  scheduler.advance(1s);
  EXPECT_EQ(map.calls, QStringList{"setUserTrackingMode 0"}) << "not to 0°, 0°";
  scheduler.advance(60s);
  EXPECT_TRUE(map.showsUserLocation()) << "updates keep flowing";
  EXPECT_TRUE(map.regions.empty());

  map.deliverFix({46.95, 7.45});
  EXPECT_EQ(map.calls, (QStringList{"setUserTrackingMode 0", "setShowsUserLocation 0", "setRegion"}));
  EXPECT_EQ(lastRegion(), std::tuple(46.95, 7.45, 200.0, 200.0, true));
  map.setShowsUserLocation(true);
  map.deliverFix({1, 1});
  EXPECT_EQ(map.regions.size(), 1u) << "once";
}

TEST_F(MapMeasureViewControllerTest, AFirstFixAfterTheUserMovedTheMapLeavesTheMapWhereItIs) {
  map.fix.reset();
  scheduler.advance(1s);
  map.centre = {10, 20};  // a pan
  map.calls.clear();
  map.deliverFix({46.95, 7.45});
  EXPECT_EQ(map.calls, QStringList{"setShowsUserLocation 0"});
  EXPECT_TRUE(map.regions.empty());
}

TEST_F(MapMeasureViewControllerTest, AFirstFixWhileTheUserFollowsAgainKeepsTheFollow) {
  map.fix.reset();
  scheduler.advance(1s);
  controller->locationTapped();  // follow me
  map.calls.clear();
  map.deliverFix({46.95, 7.45});
  EXPECT_TRUE(map.calls.isEmpty());
  EXPECT_TRUE(map.showsUserLocation());
}

TEST_F(MapMeasureViewControllerTest, AThirdPointTakesDownWhatIsPresentedAndAsksForFeedbackOnce) {
  store->setBool(false, "DID_REQUEST");
  tapCorner(0);
  tapCorner(1);
  controller->saveTapped();  // the save dialog is up when the third point lands
  journal.clear();
  tapCorner(2);
  EXPECT_EQ(journal, (QStringList{"map dissolve 0.2", "event added_pin", "tick", "dismiss 0", "feedbackForm Kavrano",
                                  "present FeedbackForm 1", "label dissolve 0.1"}));
  tapCorner(3);
  EXPECT_EQ(journal.count("dismiss 0"), 2) << "the form is taken down on every later point";
  EXPECT_EQ(form.forms.size(), 1u);
}

TEST_F(MapMeasureViewControllerTest, SavingNeedsAPointAndTellsAnEmptiedTitleFromAnUntouchedOne) {
  controller->saveTapped();
  ASSERT_EQ(presenter.alerts.size(), 1u);
  EXPECT_EQ(shown(*presenter.alerts[0]),
            "Point needed | You must add at least one point to the map before saving a measurement | OK");
  presenter.press("OK");

  tapCorner(0);  // one point is enough
  controller->saveTapped();
  presenter.alerts.back()->textFields[0]->proposeEdit(0, 0, "");  // emptied by the user: a value, empty
  journal.clear();
  presenter.press("Save");
  EXPECT_EQ(journal, (QStringList{"alert Success 1", "event persisted_measurement"}));
  controller->saveTapped();
  presenter.press("Save");  // never touched: no value
  controller->saveTapped();
  presenter.press("Cancel");

  const auto saved = controller->viewModel().persistanceManager.loadMeasurements();
  ASSERT_EQ(saved.size(), 2u);
  EXPECT_EQ(saved[0].title, "");
  EXPECT_EQ(saved[1].title, "Measurement");
  EXPECT_EQ(saved[0].id.size(), 36u);
  EXPECT_NE(saved[0].id, saved[1].id);
  EXPECT_LE(saved[0].date, saved[1].date);
}

TEST_F(MapMeasureViewControllerTest, ASaveThatDidNotReachTheDiskSaysWhyKeepsThePointsAndLogsNothing) {
  tapCorner(0);
  tapCorner(1);
  PreferenceStore::installStandard(
      std::make_shared<MemoryPreferenceStore>(Failure{"The disk is full", Failure::Kind::diskFull}));
  controller->saveTapped();
  journal.clear();
  presenter.press("Save");
  EXPECT_EQ(journal, (QStringList{"alert Not saved 1"}));
  EXPECT_EQ(shown(*presenter.alerts.back()),
            "Not saved | The measurement could not be saved. The disk is full. Your points are still on the map. | OK");
  EXPECT_EQ(vertexCount(), 2u);

  // Once the disk has room again, the same points save.
  PreferenceStore::installStandard(store);
  controller->saveTapped();
  journal.clear();
  presenter.press("Save");
  EXPECT_EQ(journal, (QStringList{"alert Success 1", "event persisted_measurement"}));
  ASSERT_EQ(controller->viewModel().persistanceManager.loadMeasurements().size(), 1u);
  EXPECT_EQ(controller->viewModel().persistanceManager.loadMeasurements()[0].annotations.size(), 2u);
}

// Neither a due opening nor the end of the start-up follow touch a screen that is gone.
TEST_F(MapMeasureViewControllerTest, StepsDueAfterTheScreenIsGoneDoNothing) {
  PersistedMeasurement record;
  record.annotations = {{0, 0}, {0, 0.001}};
  controller->didSelectMeasurement(record);
  controller.reset();
  journal.clear();
  map.calls.clear();
  scheduler.advance(1s);
  EXPECT_TRUE(journal.isEmpty());
  EXPECT_TRUE(map.calls.isEmpty());
  EXPECT_EQ(map.delegate(), nullptr);
}

TEST_F(MapMeasureViewControllerTest, StoredPointsOffTheEarthAreLeftOutOfTheDrawingAndTheArea) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<Coordinate> square{{0, 0}, {0, 0.001}, {0.001, 0.001}, {0.001, 0}};
  PersistedMeasurement record;
  record.annotations = {{0, 0},   {200, 0},       {0, 0.001}, {0, 500},   {1e308, 1e308},
                        {nan, 0}, {0.001, 0.001}, {-90.5, 0}, {0.001, 0}, {0, -180.001}};
  record.center = {200, 0};
  scheduler.advance(1s);  // past the zoom that ends the first follow
  controller->didSelectMeasurement(record);
  scheduler.advance(500ms);

  QStringList kept;
  for (const auto& vertex : controller->mapDataSource()->annotations)
    kept << QStringLiteral("%1,%2").arg(vertex->coordinate().latitude).arg(vertex->coordinate().longitude);
  EXPECT_EQ(kept, (QStringList{"0,0", "0,0.001", "0.001,0.001", "0.001,0"}));
  EXPECT_EQ(labelTexts().size(), 4);
  EXPECT_EQ(
      controller->areaText(),
      "Area: " + QString::fromStdString(UnitConverter::shared().areaText(MeasurementManager().polygonArea(square))));
  EXPECT_EQ(lastRegion(), std::tuple(0.0, 0.0, 200.0, 200.0, true)) << "the first point stands in for the centre";

  // Nothing left on the Earth: nothing drawn, the map stays where it was.
  const auto regions = map.regions.size();
  record.annotations = {{100, 0}, {0, 200}, {nan, nan}};
  controller->didSelectMeasurement(record);
  scheduler.advance(500ms);
  EXPECT_TRUE(controller->mapDataSource()->annotations.empty());
  EXPECT_EQ(controller->areaText(), "");
  EXPECT_EQ(map.regions.size(), regions);
}

TEST_F(MapMeasureViewControllerTest, AChosenSuggestionIsLoggedLookedUpAndTheMapMovesToItsFirstMatch) {
  auto& model = controller->viewModel();
  std::vector<std::optional<Coordinate>> answers;
  model.onSearchFetched = [&, moveMap = model.onSearchFetched](std::optional<Coordinate> c) {
    answers.push_back(c);
    moveMap(c);
  };
  model.didSelectCompletion({"Zürich", "Zurich, Switzerland"});
  model.didSelectCompletion({"Nowhere", ""});
  model.didSelectCompletion({"Offline", "Place"});
  EXPECT_EQ(journal.count("event selected_address"), 3);
  ASSERT_EQ(places->searches.size(), 3u);
  EXPECT_EQ(places->searches[0].query, "Zürich Zurich, Switzerland");
  EXPECT_EQ(places->searches[1].query, "Nowhere ");

  // The managers that started the lookups are gone; the answers still arrive.
  const std::size_t before = map.regions.size();
  places->searches[1].completion(QList<Coordinate>{});
  places->searches[2].completion(std::nullopt);  // failed: no answer at all
  EXPECT_EQ(map.regions.size(), before);
  places->searches[0].completion(QList<Coordinate>{{47.37, 8.54}, {1, 1}});
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_FALSE(answers[0]);
  EXPECT_EQ(lastRegion(), std::tuple(47.37, 8.54, 200.0, 200.0, true));
}

TEST_F(MapMeasureViewControllerTest, AppearanceHidesTheBarAndRunsTheRatingCheck) {
  store->setBool(true, "ACHIEVED_SUCCESS");
  controller->viewWillAppear(true);
  controller->viewDidAppear(true);
  EXPECT_EQ(journal, (QStringList{"barHidden 1 1", "requestReview"}));

  controller->setNavigationController(nullptr);
  journal.clear();
  controller->settingsTapped();
  controller->loadTapped();
  EXPECT_TRUE(journal.isEmpty()) << "no stack, nothing shown";
}

TEST_F(MapMeasureViewControllerTest, SupportMailIsAPercentEncodedMailtoLink) {
  controller->openSupportMail();
  ASSERT_EQ(urls.opened.size(), 1u);
  EXPECT_EQ(urls.opened[0].toString(QUrl::FullyEncoded),
            "mailto:support@kavrano.app?subject=Support%20Request%20for%20Kavrano");

  urls.canOpen = false;
  testing::internal::CaptureStdout();
  controller->openSupportMail();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Failed to open mail\n");
  EXPECT_EQ(urls.opened.size(), 1u);
}

TEST_F(MapMeasureViewControllerTest, WithUsageDataOffNothingIsLoggedAndAllElseWorks) {
  UserSettings::shared().setSendUsageData(false);
  tapCorner(0);
  controller->saveTapped();
  presenter.press("Save");
  controller->clearTapped();
  controller->viewModel().didSelectCompletion({"A", "B"});
  EXPECT_FALSE(journal.join('|').contains("event"));
  EXPECT_EQ(journal.count("tick"), 1);
  EXPECT_EQ(controller->viewModel().persistanceManager.loadMeasurements().size(), 1u);
  EXPECT_EQ(places->searches.size(), 1u);
}

}  // namespace
}  // namespace kavrano
