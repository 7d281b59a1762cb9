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

/// One start of the app on a fresh store, the permission as an earlier run left it.
struct Start {
  explicit Start(Status decided = Status::NotDetermined) {
    PreferenceStore::installStandard(std::make_shared<MemoryPreferenceStore>());
    location.current = decided;
    intro = std::make_unique<IntroViewController>(
        IntroServices{presenter, location, haptics, scheduler, images, [] {
                        return Screen{std::make_unique<FakeScreen>(QStringLiteral("MainNavigationController")), {}, {}};
                      }});
    intro->viewDidLoad([this](double seconds, std::function<void()> changes) {
      journal << QStringLiteral("dissolve %1").arg(seconds);
      changes();
    });
  }
  void press(int times) {
    while (times--) intro->actionButtonTapped();
  }
  /// The user answers the permission request; the report reaches the main queue.
  void answer(Status status) {
    location.report(status);
    scheduler.advance(0ms);
  }

  Journal journal;
  FakeScreenPresenter presenter{journal};
  FakeLocationAuthorization location{journal};
  FakeImpactFeedbackGenerator haptics{journal};
  FakeScheduler scheduler;
  FakeImageSource images;
  std::unique_ptr<IntroViewController> intro;
};

TEST(IntroViewControllerTest, FirstStartWalksFourPagesAndEveryAnswerFinishesOnce) {
  // A missing picture is an empty slot.
  const QVariant images[] = {"still logoCornerRadius", "animated intro1", QVariant(), "still intro3"};
  // The answer after the request; a permission decided in an earlier run needs none.
  const std::pair<Status, Status> cases[] = {{Status::NotDetermined, Status::Denied},
                                             {Status::NotDetermined, Status::AuthorizedWhenInUse},
                                             {Status::NotDetermined, Status::Restricted},
                                             {Status::Denied, Status::Denied}};
  for (int c = 0; c < 4; ++c) {
    SCOPED_TRACE(c);
    const auto [decided, answer] = cases[c];
    Start s(decided);
    EXPECT_EQ(s.journal, QStringList{"prepare"});
    EXPECT_FALSE(s.intro->cardVisible()) << "hidden until the first page is shown";
    s.intro->viewDidAppear(true);
    EXPECT_TRUE(s.intro->cardVisible());
    for (int i = 0; i < 4; ++i) {
      if (i > 0) {
        s.journal.clear();
        s.press(1);
      }
      EXPECT_EQ(s.journal, (QStringList{i ? "tick" : "prepare", "dissolve 0.25"}));
      EXPECT_EQ(s.intro->currentIndex(), i);
      EXPECT_EQ(s.intro->image(), images[i]);
      EXPECT_EQ(s.intro->imageHeight(), i ? 168.0 : 0.0) << "the first page keeps the view's own height";
      EXPECT_EQ(s.intro->actionTitle(), i == 3 ? "Start" : "") << "the view's own title until the last page";
      EXPECT_TRUE(s.intro->actionEnabled());
    }
    s.journal.clear();
    s.press(1);
    const QString asked = decided == Status::NotDetermined ? "requestWhenInUse" : "present MainNavigationController 1";
    EXPECT_EQ(s.journal, (QStringList{"tick", "dissolve 0.25", asked}));
    EXPECT_EQ(s.intro->cardTitle(), "Measurement Units") << "the card keeps the last page";
    if (decided == Status::NotDetermined) {
      EXPECT_FALSE(s.intro->actionEnabled());
      EXPECT_FALSE(UserSettings::shared().didShowIntro()) << "only once the user has answered";
      s.press(1);
      EXPECT_EQ(s.intro->currentIndex(), 4) << "the disabled button does nothing";
      s.location.report(answer);
      EXPECT_FALSE(s.journal.contains("present MainNavigationController 1")) << "the report waits for the main queue";
      s.scheduler.advance(0ms);
    }
    s.answer(answer);  // a later report: the main screen is already up
    EXPECT_EQ(s.journal.count("present MainNavigationController 1"), 1);
    EXPECT_TRUE(UserSettings::shared().didShowIntro());
  }
}

TEST(IntroViewControllerTest, ReportsBeforeTheLastPageOrForAScreenThatIsGoneChangeNothing) {
  Start s;
  s.answer(Status::NotDetermined);  // the one at set-up
  s.intro->viewDidAppear(true);
  s.press(2);
  s.answer(Status::AuthorizedWhenInUse);  // decided elsewhere meanwhile
  EXPECT_EQ(s.intro->currentIndex(), 2);
  EXPECT_TRUE(s.intro->actionEnabled());
  EXPECT_TRUE(s.presenter.screens.empty());

  Start gone;
  gone.intro->viewDidAppear(true);
  gone.press(4);
  gone.location.report(Status::AuthorizedWhenInUse);
  gone.intro.reset();
  gone.scheduler.advance(0ms);
  EXPECT_FALSE(UserSettings::shared().didShowIntro());
  EXPECT_TRUE(gone.presenter.screens.empty());
}

}  // namespace
}  // namespace kavrano
