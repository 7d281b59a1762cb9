#include "kavrano/measure/search_view_controller.h"

#include <gtest/gtest.h>

#include "qt_printers.h"

#include "fake_places.h"

namespace kavrano {
namespace {

using namespace test;

class RecordingDelegate : public QObject, public SearchViewDelegate {
  Q_OBJECT
  Q_INTERFACES(kavrano::SearchViewDelegate)
 public:
  void didSelectCompletion(const PlaceSuggestion& completion) override { chosen.push_back(completion); }
  QList<PlaceSuggestion> chosen;
};

const QList<PlaceSuggestion> kZur{{"Zürich", "Zurich, Switzerland"}, {"Zurich", "Ontario, Canada"}, {"Zurbarán", ""}};

class SearchViewControllerTest : public ::testing::Test {
 protected:
  SearchViewControllerTest() { screen_->setDelegate(&delegate_); }
  FakePlaceCompleter& completer() { return *places_->completers.at(0); }
  QString cell(int row, const char* role) {
    const QAbstractItemModel& model = *screen_->suggestions();
    return model.data(model.index(row, 0), model.roleNames().key(role)).toString();
  }
  // Types, and the completer answers.
  void show(const QString& text, const QList<PlaceSuggestion>& answer) {
    screen_->updateSearchResults(text);
    completer().answer(answer);
  }

  std::shared_ptr<FakePlaceSearchService> places_ = std::make_shared<FakePlaceSearchService>();
  FakeSearchPresentation presentation_;
  std::unique_ptr<SearchViewController> screen_ = std::make_unique<SearchViewController>(places_, presentation_);
  RecordingDelegate delegate_;
};

TEST_F(SearchViewControllerTest, EachTextGoesToTheCompleterAndEachAnswerReplacesTheRows) {
  screen_->updateSearchResults("zur");
  EXPECT_EQ(completer().delegate(), &screen_->manager());
  completer().answer(kZur);
  ASSERT_EQ(screen_->suggestions()->rowCount(), 3);
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(std::pair(cell(i, "title"), cell(i, "subtitle")), std::pair(kZur[i].title, kZur[i].subtitle));

  show("", {});
  EXPECT_EQ(screen_->suggestions()->rowCount(), 0);
  EXPECT_EQ(completer().fragments, (QList<QString>{"zur", ""}));

  // A failing completer leaves the last list.
  show("be", {{"Bern", "Bern, Switzerland"}});
  completer().fail();
  EXPECT_EQ(screen_->suggestions()->rowCount(), 1);
}

TEST_F(SearchViewControllerTest, TheTappedSuggestionIsReportedOnlyAfterTheSearchHasClosed) {
  show("zur", kZur);
  screen_->didSelectRow(2);
  ASSERT_EQ(presentation_.dismissals.size(), 1u);
  EXPECT_TRUE(presentation_.dismissals[0].animated);
  const QList<PlaceSuggestion> zug{{"Zug", "Zug, Switzerland"}};
  completer().answer(zug);  // a shorter list arrives during the animation
  EXPECT_TRUE(delegate_.chosen.isEmpty()) << "reported before the search closed";
  presentation_.finish();
  EXPECT_EQ(delegate_.chosen, (QList<PlaceSuggestion>{kZur[2]}));
  EXPECT_EQ(screen_->locationSugestion(), zug) << "the list is kept for the next time the search opens";
}

TEST_F(SearchViewControllerTest, ChoicesWithNobodyToTellAreDropped) {
  show("zur", kZur);
  screen_->didSelectRow(3);  // no such row
  screen_->didSelectRow(-1);
  EXPECT_TRUE(presentation_.dismissals.empty());

  screen_->setDelegate(nullptr);
  screen_->didSelectRow(0);
  presentation_.finish(0);

  auto leaving = std::make_unique<RecordingDelegate>();
  screen_->setDelegate(leaving.get());
  screen_->didSelectRow(0);
  leaving.reset();
  presentation_.finish(1);

  screen_->setDelegate(&delegate_);
  screen_->didSelectRow(0);
  screen_.reset();  // the screen is gone when the closing ends
  presentation_.finish(2);
  EXPECT_TRUE(delegate_.chosen.isEmpty());
}

}  // namespace
}  // namespace kavrano

#include "search_view_controller_test.moc"
