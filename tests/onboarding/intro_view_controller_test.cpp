#include "kavrano/onboarding/intro_view_controller.h"

#include <gtest/gtest.h>

#include "fake_scheduler.h"
#include "fake_ui.h"
#include "kavrano/core/memory_preference_store.h"
#include "kavrano/core/user_settings.h"

namespace kavrano {
namespace {

using namespace std::chrono_literals;
using Status = LocationAuthorizationStatus;

/// Pictures as their names; "intro2" is missing, like a resource left out.
class FakeImageSource final : public ImageSource {
 public:
  QVariant image(const QString& name) override { return QStringLiteral("still ") + name; }
  QVariant animatedImage(const QString& name) override {
    return name == QLatin1String("intro2") ? QVariant() : QVariant(QStringLiteral("animated ") + name);
  }
};

struct Page {
  QString title;
  QString description;
  QVariant image;
};

class IntroViewControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PreferenceStore::installStandard(store);
    intro = std::make_unique<IntroViewController>(
        IntroServices{presenter, location, haptics, scheduler, images, [] {
                        return Screen{new FakeScreen(QStringLiteral("MainNavigationController")), {}, {}};
                      }});
    intro->viewDidLoad([this](double seconds, std::function<void()> changes) {
      journal << QStringLiteral("dissolve %1").arg(seconds);
      changes();
    });
  }

  Page shown() const { return {intro->cardTitle(), intro->cardDescription(), intro->image()}; }
  void press(int times) {
    for (int i = 0; i < times; ++i) intro->actionButtonTapped();
  }
  /// The user answers the permission request; the report reaches the main queue.
  void answer(Status status) {
    location.report(status);
    scheduler.advance(0ms);
  }

  std::shared_ptr<MemoryPreferenceStore> store = std::make_shared<MemoryPreferenceStore>();
  Journal journal;
  FakeScreenPresenter presenter{journal};
  FakeLocationAuthorization location{journal};
  FakeImpactFeedbackGenerator haptics{journal};
  FakeScheduler scheduler;
  FakeImageSource images;
  std::unique_ptr<IntroViewController> intro;
};

TEST_F(IntroViewControllerTest, FirstStartWalksFourPagesThenAsksForThePosition) {
  EXPECT_EQ(journal, QStringList{"prepare"});
  EXPECT_FALSE(intro->cardVisible()) << "hidden until the first page is shown";

  intro->viewDidAppear(true);
  EXPECT_TRUE(intro->cardVisible());
  EXPECT_EQ(journal.mid(1), QStringList{"dissolve 0.25"});
  EXPECT_EQ(shown().title, "Welcome to Kavrano");
  EXPECT_EQ(shown().description,
            "Kavrano allows you to take length and area measurements using satellite maps with ease.");
  EXPECT_EQ(shown().image, "still logoCornerRadius");
  EXPECT_EQ(intro->imageHeight(), 0.0) << "the first page keeps the view's own height";
  EXPECT_EQ(intro->actionTitle(), "") << "the view's own title";

  const Page expected[] = {
      {"Measure Length",
       "To measure length, simply touch two regions of the map to form a straight line with the measurement.",
       "animated intro1"},
      {"Measure Area",
       "To measure area, add three or more regions to form a closed space and calculate the measurement.", QVariant()},
      {"Measurement Units",
       "Kavrano is compatible with multiple measurement units. You can change the default units on the Settings "
       "menu.",
       "still intro3"},
  };
  for (int i = 0; i < 3; ++i) {
    journal.clear();
    press(1);
    EXPECT_EQ(journal, (QStringList{"tick", "dissolve 0.25"})) << i;
    EXPECT_EQ(intro->currentIndex(), i + 1);
    EXPECT_EQ(shown().title, expected[i].title);
    EXPECT_EQ(shown().description, expected[i].description);
    EXPECT_EQ(shown().image, expected[i].image) << "a missing picture is an empty slot";
    EXPECT_EQ(intro->imageHeight(), 168.0);
    EXPECT_EQ(intro->actionTitle(), i == 2 ? "Start" : "") << i;
  }
  EXPECT_TRUE(intro->actionEnabled());

  journal.clear();
  press(1);
  EXPECT_EQ(journal, (QStringList{"tick", "dissolve 0.25", "requestWhenInUse"}));
  EXPECT_FALSE(intro->actionEnabled());
  EXPECT_EQ(shown().title, "Measurement Units") << "the card keeps the last page";
  EXPECT_FALSE(UserSettings::shared().didShowIntro()) << "only once the user has answered";
  press(1);
  EXPECT_EQ(intro->currentIndex(), 4) << "the disabled button does nothing";

  journal.clear();
  location.report(Status::Denied);
  EXPECT_TRUE(journal.isEmpty()) << "the report waits for the main queue";
  scheduler.advance(0ms);
  EXPECT_EQ(journal, QStringList{"present MainNavigationController 1"});
  EXPECT_TRUE(UserSettings::shared().didShowIntro());
}

TEST_F(IntroViewControllerTest, ReportsBeforeTheLastPageChangeNothing) {
  answer(Status::NotDetermined);  // the one at set-up
  intro->viewDidAppear(true);
  press(2);
  answer(Status::AuthorizedWhenInUse);  // decided elsewhere meanwhile
  EXPECT_TRUE(presenter.screens.empty());
  EXPECT_FALSE(UserSettings::shared().didShowIntro());
  EXPECT_EQ(intro->currentIndex(), 2);
  EXPECT_TRUE(intro->actionEnabled());
}

TEST_F(IntroViewControllerTest, EveryAnswerFinishesTheIntroductionOnce) {
  for (Status status : {Status::AuthorizedWhenInUse, Status::Denied, Status::Restricted}) {
    store = std::make_shared<MemoryPreferenceStore>();  // a first start each time
    SetUp();
    journal.clear();
    intro->viewDidAppear(true);
    press(4);
    answer(status);
    answer(status);  // a later report: the main screen is already up
    EXPECT_EQ(journal.count("present MainNavigationController 1"), 1) << static_cast<int>(status);
    EXPECT_TRUE(UserSettings::shared().didShowIntro());
  }
}

TEST_F(IntroViewControllerTest, APermissionDecidedBeforeFinishesWithoutAsking) {
  location.current = Status::Denied;  // answered in an earlier run that ended on the last page
  intro->viewDidAppear(true);
  press(3);
  journal.clear();
  press(1);
  EXPECT_EQ(journal, (QStringList{"tick", "dissolve 0.25", "present MainNavigationController 1"}));
  EXPECT_TRUE(UserSettings::shared().didShowIntro());
}

TEST_F(IntroViewControllerTest, LaterStartsPresentTheMainScreenAtOnceWithoutTheCard) {
  UserSettings::shared().setDidShowIntro(true);
  journal.clear();
  intro->viewDidAppear(false);
  EXPECT_EQ(journal, QStringList{"present MainNavigationController 0"});
  EXPECT_FALSE(intro->cardVisible());
}

TEST_F(IntroViewControllerTest, AReportForAScreenThatIsGoneDoesNothing) {
  intro->viewDidAppear(true);
  press(4);
  location.report(Status::AuthorizedWhenInUse);
  intro.reset();
  scheduler.advance(0ms);
  EXPECT_FALSE(UserSettings::shared().didShowIntro());
  EXPECT_TRUE(presenter.screens.empty());
}

}  // namespace
}  // namespace kavrano
