#include "kavrano/measure/map_measure_view_controller.h"

#include <gtest/gtest.h>

#include "event_recorder.h"
#include "fake_map_view.h"
#include "fake_place_search_service.h"
#include "fake_scheduler.h"
#include "fake_search_presentation.h"
#include "fake_ui.h"
#include "kavrano/core/memory_preference_store.h"
#include "kavrano/core/number_text.h"
#include "kavrano/core/unit_converter.h"
#include "kavrano/map/point_annotation.h"

namespace kavrano {
namespace {

using namespace std::chrono_literals;

class FakeScreenFactory final : public MeasureScreenFactory {
 public:
  Screen makeMeasurementSelectionScreen(QObject* d) override {
    delegate = d;
    return {new FakeScreen(QStringLiteral("MeasurementSelectionViewController")), {}, {}};
  }
  Screen instantiateViewController(const QString& storyboard, const QString& identifier) override {
    instantiated << storyboard + QLatin1Char('/') + identifier;
    return {new FakeScreen(identifier), {}, {}};
  }
  QStringList instantiated;
  QObject* delegate = nullptr;
};

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
  /// Taps the map at offsets that make a square of about 111 m a side near (0, 0).
  void tapCorner(int i) {
    static const QPointF corners[] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    map.tap(corners[i]);
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
  EXPECT_FALSE(controller->clearEnabled());
  EXPECT_EQ(controller->clearBackground(), "#bfaaaaaa");
  EXPECT_EQ(controller->focusIcon(), "location");
  EXPECT_EQ(controller->searchPlaceholder(), "Search a place or address");
  EXPECT_EQ(controller->searchController().delegate(), &controller->viewModel());
  EXPECT_EQ(map.mapType(), MapType::Satellite) << "the data source configured the map";
}

TEST_F(MapMeasureViewControllerTest, EachPointIsLoggedTickedAndDescribedInTheLabel) {
  tapCorner(0);
  EXPECT_EQ(journal, (QStringList{"map dissolve 0.2", "event added_pin", "tick", "label dissolve 0.1"}));
  EXPECT_EQ(controller->areaText(), "Add another point to measure");
  EXPECT_TRUE(controller->clearEnabled());
  EXPECT_EQ(controller->clearBackground(), "#ffff3b30");

  tapCorner(1);
  EXPECT_EQ(controller->areaText(), "Add more points to get area");

  tapCorner(2);
  const double triangle = controller->viewModel().measuredArea(controller->mapDataSource()->annotations);
  EXPECT_GT(triangle, 6000.0);
  EXPECT_EQ(controller->areaText(), "Area: " + QString::fromStdString(UnitConverter::shared().areaText(triangle)));

  UnitConverter::shared().setAreaUnit("ha");
  tapCorner(3);
  EXPECT_TRUE(controller->areaText().startsWith("Area: 1.2")) << qPrintable(controller->areaText());
  EXPECT_TRUE(controller->areaText().endsWith(" ha")) << qPrintable(controller->areaText());
  EXPECT_EQ(journal.count("tick"), 4);
  EXPECT_EQ(journal.count("event added_pin"), 4);
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

TEST_F(MapMeasureViewControllerTest, ClearEmptiesTheMapAndGoesIdleWithoutATick) {
  tapCorner(0);
  tapCorner(1);
  journal.clear();
  controller->clearTapped();
  EXPECT_EQ(journal, QStringList{"event cleared_pins"});
  EXPECT_TRUE(map.annotations().empty());
  EXPECT_TRUE(map.overlays().empty());
  EXPECT_TRUE(controller->mapDataSource()->annotations.empty());
  EXPECT_EQ(controller->areaText(), "Tap on the map to measure");
  EXPECT_FALSE(controller->clearEnabled());
  EXPECT_EQ(controller->clearBackground(), "#bfaaaaaa");

  controller->saveTapped();
  ASSERT_EQ(presenter.alerts.size(), 1u);
  const auto& alert = *presenter.alerts[0];
  EXPECT_EQ(alert.title, "Point needed");
  EXPECT_EQ(alert.message, "You must add at least one point to the map before saving a measurement");
  ASSERT_EQ(alert.actions.size(), 1u);
  EXPECT_EQ(alert.actions[0]->title, "OK");
  EXPECT_TRUE(alert.textFields.empty());
  EXPECT_EQ(journal.count("event persisted_measurement"), 0);
}

TEST_F(MapMeasureViewControllerTest, SavingAsksForATitleAndStoresWhatWasTyped) {
  map.centre = {0.0005, 0.0005};
  tapCorner(0);
  controller->saveTapped();
  ASSERT_EQ(presenter.alerts.size(), 1u);
  auto dialog = presenter.alerts[0];
  EXPECT_EQ(dialog->title, "Save measurement");
  EXPECT_EQ(dialog->message, "Give a title to your measurement");
  ASSERT_EQ(dialog->textFields.size(), 1u);
  EXPECT_EQ(dialog->textFields[0]->placeholder, "Title");
  EXPECT_EQ(dialog->textFields[0]->autocapitalization, TextAutocapitalization::Sentences);
  ASSERT_EQ(dialog->actions.size(), 2u);
  EXPECT_EQ(dialog->actions[0]->title, "Save");
  EXPECT_EQ(dialog->actions[0]->style, AlertActionStyle::Default);
  EXPECT_EQ(dialog->actions[1]->title, "Cancel");
  EXPECT_EQ(dialog->actions[1]->style, AlertActionStyle::Cancel);
  EXPECT_EQ(controller->saveAlertAction(), dialog->actions[0]);

  EXPECT_TRUE(dialog->textFields[0]->proposeEdit(0, 0, "Garden"));
  EXPECT_TRUE(dialog->textFields[0]->proposeEdit(6, 0, " plot"));
  journal.clear();
  presenter.press("Save");
  EXPECT_EQ(journal, (QStringList{"alert Success 1", "event persisted_measurement"}));
  EXPECT_EQ(presenter.alerts.back()->message, "Measurement saved successfuly");

  const auto saved = controller->viewModel().persistanceManager.loadMeasurements();
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0].title, "Garden plot");
  EXPECT_EQ(saved[0].annotations.size(), 1u) << "one point is enough";
  EXPECT_EQ(saved[0].center.latitude, 0.0005);
}

TEST_F(MapMeasureViewControllerTest, TitlesEmptyOrAbsentAndCancel) {
  tapCorner(0);
  controller->saveTapped();
  presenter.alerts.back()->textFields[0]->proposeEdit(0, 0, "");  // emptied by the user: a value, empty
  presenter.press("Save");
  controller->saveTapped();
  presenter.press("Save");  // never touched: no value
  controller->saveTapped();
  presenter.press("Cancel");

  const auto saved = controller->viewModel().persistanceManager.loadMeasurements();
  ASSERT_EQ(saved.size(), 2u);
  EXPECT_EQ(saved[0].title, "");
  EXPECT_EQ(saved[1].title, "Measurement");
}

TEST_F(MapMeasureViewControllerTest, OpeningASavedMeasurementPopsWaitsRedrawsAndCentres) {
  tapCorner(0);
  PersistedMeasurement record;
  record.title = "Field";
  record.annotations = {{1.0, 2.0}, {1.001, 2.0}, {1.001, 2.001}};
  record.center = {1.0005, 2.0005};

  controller->loadTapped();
  EXPECT_EQ(screens.delegate, controller.get());
  EXPECT_EQ(journal.last(), "push MeasurementSelectionViewController 1");
  journal.clear();
  qobject_cast<MeasurementSelectionDelegate*>(screens.delegate)->didSelectMeasurement(record);
  EXPECT_EQ(journal, (QStringList{"pop 1", "event selected_persisted"}));

  scheduler.advance(499ms);
  EXPECT_EQ(controller->mapDataSource()->annotations.size(), 1u);
  scheduler.advance(1ms);
  EXPECT_EQ(journal.mid(2), (QStringList{"map dissolve 0.25", "event added_pin", "tick", "label dissolve 0.1"}));
  const auto& shown = controller->mapDataSource()->annotations;
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[2]->coordinate().longitude, 2.001);
  EXPECT_TRUE(controller->areaText().startsWith("Area: "));
  ASSERT_FALSE(map.regions.empty());
  EXPECT_EQ(map.regions.back().centre.latitude, 1.0005);
  EXPECT_EQ(map.regions.back().metresNorthSouth, 200.0);
  EXPECT_EQ(map.regions.back().metresEastWest, 200.0);
  EXPECT_TRUE(map.regions.back().animated);
}

TEST_F(MapMeasureViewControllerTest, AChoiceWhoseScreenIsGoneIsNotOpened) {
  PersistedMeasurement record;
  record.annotations = {{1.0, 2.0}};
  controller->didSelectMeasurement(record);
  controller.reset();
  scheduler.advance(1s);  // must not touch the destroyed screen
  EXPECT_EQ(journal.count("event added_pin"), 0);
}

TEST_F(MapMeasureViewControllerTest, AFoundPlaceMovesTheMapAndNoPlaceLeavesIt) {
  const std::size_t before = map.regions.size();
  controller->viewModel().onSearchFetched(std::nullopt);
  EXPECT_EQ(map.regions.size(), before);
  controller->viewModel().onSearchFetched(Coordinate{47.37, 8.54});
  ASSERT_EQ(map.regions.size(), before + 1);
  EXPECT_EQ(map.regions.back().centre.longitude, 8.54);
  EXPECT_EQ(map.regions.back().metresEastWest, 200.0);
}

TEST_F(MapMeasureViewControllerTest, TheFocusButtonTogglesFollowingAndItsIcon) {
  controller->locationTapped();
  EXPECT_TRUE(controller->isFoccusingOnLocation());
  EXPECT_EQ(controller->focusIcon(), "location.fill");
  EXPECT_TRUE(map.showsUserLocation());
  EXPECT_EQ(map.userTrackingMode(), UserTrackingMode::Follow);
  EXPECT_EQ(journal.count("requestWhenInUse"), 1);
  controller->locationTapped();
  EXPECT_EQ(controller->focusIcon(), "location");
  EXPECT_FALSE(map.showsUserLocation());
  EXPECT_EQ(map.userTrackingMode(), UserTrackingMode::None);
  EXPECT_EQ(journal.count("requestWhenInUse"), 1);
}

TEST_F(MapMeasureViewControllerTest, SettingsPushAndAppearanceHidesTheBarAndRunsTheRatingCheck) {
  controller->settingsTapped();
  EXPECT_EQ(journal.last(), "push SettingsViewController 1");
  EXPECT_EQ(screens.instantiated, QStringList{"Main/SettingsViewController"}) << "from the collection \"Main\"";
  store->setBool(true, "ACHIEVED_SUCCESS");
  controller->viewWillAppear(true);
  controller->viewDidAppear(true);
  EXPECT_EQ(journal.mid(1), (QStringList{"barHidden 1 1", "requestReview"}));

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
  EXPECT_FALSE(journal.join('|').contains("event"));
  EXPECT_EQ(journal.count("tick"), 1);
  EXPECT_EQ(controller->viewModel().persistanceManager.loadMeasurements().size(), 1u);
}

}  // namespace
}  // namespace kavrano
