// Every control does what it shows: the real app under the offscreen platform,
// pressed and typed into as a user would, each case named after the behaviour it
// guards. Every test is a process of its own (ctest runs them one by one), with
// its own data directory.
#include <gtest/gtest.h>

#include <QDir>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTcpServer>
#include <QTemporaryDir>

#include "kavrano/core/persistance_manager.h"
#include "kavrano/interop/measurement_import.h"
#include "kavrano/qt_map/quick_map_view.h"
#include "local_http_server.h"
#include "user_session.h"
#include "view_warnings.h"

namespace kavrano::testing {
namespace {

constexpr char kIdle[] = "Tap on the map to measure";
constexpr char kSearchField[] = "Search a place or address";
const QPoint kFieldMiddle{195, 420};

std::vector<PersistedAnnotation> triangle() {
  return {{kFieldsLatitude, kFieldsLongitude},
          {kFieldsLatitude + 0.0005, kFieldsLongitude},
          {kFieldsLatitude, kFieldsLongitude + 0.0005}};
}

PersistedMeasurement record(const std::string& id, const std::string& title) {
  return {id, 0.0, triangle(), title, {kFieldsLatitude, kFieldsLongitude}};
}

QList<QQuickItem*> rowsOf(UserSession& s, const QString& list) {
  QQuickItem* view = s.named(list, QAccessible::List);
  if (!view) return {};
  return s.all([view](QQuickItem* item) {
    const QAccessible::Role role = QAccessible::queryAccessibleInterface(item)
                                       ? QAccessible::queryAccessibleInterface(item)->role()
                                       : QAccessible::NoRole;
    return (role == QAccessible::Button || role == QAccessible::ListItem) && view->isAncestorOf(item);
  });
}

/// Types a fragment into the place search and waits for its first suggestion.
QQuickItem* searchFor(UserSession& s, const QByteArray& fragment) {
  s.tap(QString::fromLatin1(kSearchField));
  s.type(fragment);
  QQuickItem* first = nullptr;
  (void)QTest::qWaitFor([&] {
    const auto rows = rowsOf(s, "Search results");
    first = rows.isEmpty() ? nullptr : rows.front();
    return first != nullptr;
  });
  return first;
}

/// Opens the saved list and waits for the row of `title`, with the list at rest.
QQuickItem* openSavedList(UserSession& s, const QString& title) {
  s.tap(QStringLiteral("My measurements"));
  QQuickItem* row = s.await(title);
  return row && s.settle() ? row : nullptr;
}

void saveOnePoint(UserSession& s) {
  s.tapMap(kFieldMiddle);
  ASSERT_TRUE(s.await("Add another point to measure"));
  s.tap(QStringLiteral("Save measurement"));
  ASSERT_TRUE(s.await("Give a title to your measurement"));
}

TEST(Controls, DisabledClearButtonDoesNotAddAPoint) {
  UserSession s;
  ASSERT_TRUE(s.started) << qPrintable(s.error);
  QQuickItem* clear = s.named("Clear all points");
  ASSERT_NE(clear, nullptr);
  EXPECT_TRUE(accessibleState(clear).disabled) << "idle until a point is placed";
  QSignalSpy mapTaps(s.scene.mapView(), &QuickMapView::tapped);
  // Off its centre, so that the tap at its centre below is no double tap.
  s.tap(clear->mapToScene(QPointF(clear->width() / 2, 6)).toPoint());
  EXPECT_TRUE(mapTaps.isEmpty()) << "the tap reached the map";
  EXPECT_TRUE(s.named(kIdle));
  EXPECT_EQ(s.scene.haptics().impactCount(), 0);

  s.tapMap(kFieldMiddle);
  ASSERT_TRUE(s.await("Add another point to measure"));
  EXPECT_FALSE(accessibleState(clear).disabled);
  s.tap(QStringLiteral("Clear all points"));
  EXPECT_TRUE(s.await(kIdle));
}

TEST(Controls, SideLabelsAreReadByAssistiveTechnology) {
  UserSession s;
  ASSERT_TRUE(s.started) << qPrintable(s.error);
  QAccessibleInterface* map = QAccessible::queryAccessibleInterface(s.named("Map", QAccessible::Graphic));
  ASSERT_NE(map, nullptr);
  // After the start's zoom to the fields, which would take the labels off screen.
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return s.scene.mapView()->camera().zoom > 15 && !s.scene.mapView()->isAnimating(); }));
  s.tapMap(kFieldMiddle);
  s.tapMap(kFieldMiddle + QPoint(90, 0));
  s.tapMap(kFieldMiddle + QPoint(0, 90));
  ASSERT_TRUE(QTest::qWaitFor([&] { return map->childCount() == 3; }))
      << "a label per side, found " << map->childCount();

  QStringList read, shown;
  for (int i = 0; i < map->childCount(); ++i) {
    QAccessibleInterface* label = map->child(i);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->role(), QAccessible::StaticText);
    EXPECT_EQ(label->parent(), map);
    EXPECT_EQ(map->indexOfChild(label), i);
    EXPECT_TRUE(map->rect().contains(label->rect().center())) << "read where it is drawn";
    read << label->text(QAccessible::Name);
  }
  for (const auto& annotation : s.scene.mapView()->annotations()) {
    if (annotation->title()) shown << *annotation->title();
  }
  read.sort();
  shown.sort();
  EXPECT_EQ(read, shown);
  EXPECT_EQ(read.size(), 3);

  s.tap(QStringLiteral("Clear all points"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return map->childCount() == 0; })) << "no label is read once cleared";
}

TEST(Controls, IdleClearButtonIsLightGreyAtThreeQuarters) {
  UserSession s;
  ASSERT_TRUE(s.started) << qPrintable(s.error);
  QQuickItem* clear = s.named("Clear all points");
  ASSERT_NE(clear, nullptr);
  // Beside the icon, inside the round button, and the map there without it:
  // two drawings in one turn of the event loop, so no tile lands between them.
  const QPoint probe = clear->mapToScene(QPointF(8, clear->height() / 2)).toPoint();
  auto pixel = [&] { return s.window()->grabWindow().pixelColor(probe); };
  ASSERT_TRUE(s.settle());
  const QColor shown = pixel();
  clear->setVisible(false);
  const QColor below = pixel();
  const double grey = 2.0 / 3.0 * 255;
  auto blend = [&](int under) { return 0.75 * grey + 0.25 * under; };
  EXPECT_NEAR(shown.red(), blend(below.red()), 3.0);
  EXPECT_NEAR(shown.green(), blend(below.green()), 3.0);
  EXPECT_NEAR(shown.blue(), blend(below.blue()), 3.0);
}

TEST(Controls, TitleTypedAfterASearchGoesIntoTheDialog) {
  UserSession s;
  ASSERT_TRUE(s.started) << qPrintable(s.error);
  QQuickItem* suggestion = searchFor(s, "Lausan");
  ASSERT_NE(suggestion, nullptr);
  s.tap(suggestion);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !s.named("Search results"); }));
  ASSERT_NO_FATAL_FAILURE(saveOnePoint(s));
  s.type("Town");
  s.press(Qt::Key_Return);  // the dialog's default action
  ASSERT_TRUE(s.await("Success"));
  s.press(Qt::Key_Return);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !s.named("Success"); }));
  const auto records = PersistanceManager().loadMeasurements();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].title, "Town");
  EXPECT_EQ(s.named(kSearchField)->property("text").toString(), "Lausan") << "the search keeps its own text";
  EXPECT_FALSE(s.named("Search results")) << "the results stay closed behind the dialog";
}

TEST(Controls, ChoosingASuggestionClosesTheSearch) {
  UserSession s;
  ASSERT_TRUE(s.started) << qPrintable(s.error);
  QQuickItem* suggestion = searchFor(s, "Lausan");
  ASSERT_NE(suggestion, nullptr);
  s.tap(suggestion);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !s.named("Search results"); }));
  QQuickItem* field = s.named(kSearchField);
  ASSERT_NE(field, nullptr);
  EXPECT_FALSE(field->hasActiveFocus()) << "the keyboard goes with the search";
  EXPECT_FALSE(s.named("Cancel"));

  s.tap(field);  // the field again: the results for the text it holds
  EXPECT_TRUE(field->hasActiveFocus());
  EXPECT_TRUE(QTest::qWaitFor([&] { return !rowsOf(s, "Search results").isEmpty(); }));
}

TEST(Controls, UntouchedTitleIsSavedAsTheEmptyTitle) {
  UserSession s;
  ASSERT_TRUE(s.started) << qPrintable(s.error);
  ASSERT_NO_FATAL_FAILURE(saveOnePoint(s));
  s.tap(QStringLiteral("Save"));
  ASSERT_TRUE(s.await("Success"));
  const auto records = PersistanceManager().loadMeasurements();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].title, "");
}

TEST(Controls, SavedListKeepsItsPlaceAfterADelete) {
  Prepared prepared;
  for (int i = 1; i <= 40; ++i) prepared.records.push_back(record(std::to_string(i), "Plot " + std::to_string(i)));
  UserSession s(prepared);
  ASSERT_TRUE(s.started) << qPrintable(s.error);
  ASSERT_TRUE(openSavedList(s, "Plot 1"));
  s.swipe({195, 700}, {195, 250}, 300);  // to the middle: at the end, any delete pulls the list down
  QQuickItem* list = s.named("My Measurements", QAccessible::List);
  ASSERT_NE(list, nullptr);
  ASSERT_TRUE(s.settle());
  ASSERT_GT(list->property("contentY").toDouble(), 100.0) << "scrolled down";

  // A row in the middle of the screen goes; the one above it stays where it was.
  QQuickItem *above = nullptr, *doomed = nullptr;
  QList<QQuickItem*> rows = rowsOf(s, "My Measurements");
  std::sort(rows.begin(), rows.end(),
            [](QQuickItem* a, QQuickItem* b) { return a->mapToScene({}).y() < b->mapToScene({}).y(); });
  for (QQuickItem* row : rows) {
    const double y = row->mapToScene(QPointF(0, 0)).y();
    if (y > 300 && y < 500 && above && !doomed) doomed = row;
    if (!doomed) above = row;
  }
  ASSERT_TRUE(above && doomed);
  const QString aboveTitle = accessibleName(above), doomedTitle = accessibleName(doomed);
  const double aboveY = above->mapToScene(QPointF(0, 0)).y();
  s.rightClick(doomed);
  s.tap(QStringLiteral("Delete"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !s.named(doomedTitle) && s.settled(); }));
  QQuickItem* still = s.named(aboveTitle);
  ASSERT_NE(still, nullptr) << qPrintable(aboveTitle + " went off screen");
  EXPECT_NEAR(still->mapToScene(QPointF(0, 0)).y(), aboveY, 1.0);
}

TEST(Controls, SwipedRowShowsItsTitleOnWhite) {
  Prepared prepared;
  prepared.records.push_back(record("1", "Meadow by the lake"));
  UserSession s(prepared);
  ASSERT_TRUE(s.started) << qPrintable(s.error);
  QQuickItem* row = openSavedList(s, "Meadow by the lake");
  ASSERT_NE(row, nullptr);
  const QPoint start = row->mapToScene(QPointF(300, row->height() / 2)).toPoint();
  s.swipe(start, start - QPoint(200, 0));
  QQuickItem* remove = nullptr;
  ASSERT_TRUE(QTest::qWaitFor([&] { return (remove = s.named("Delete", QAccessible::Button)) && s.settled(); }));
  const QImage shot = s.window()->grabWindow();
  const int y = UserSession::centre(row).y();
  EXPECT_GT(shot.pixelColor(remove->mapToScene({}).toPoint().x() - 4, y).lightness(), 250) << "no grey over the row";
  // The title's first letter is where it was before the swipe.
  int inked = 0;
  for (int x = 16; x < 40; ++x) inked += shot.pixelColor(x, y).lightness() < 128 ? 1 : 0;
  EXPECT_GT(inked, 0) << "the title slid off the screen";
}

// Chooses "Export…" in the row's menu (of a right click, or of a long press),
// then answers the save dialog (offscreen, Qt's own) with `name` in the folder
// it opens in.
void exportRow(UserSession& s, const QString& title, const QString& name, bool longPress = false) {
  QQuickItem* row = s.await(title);
  ASSERT_NE(row, nullptr);
  ASSERT_TRUE(s.settle());
  const QString exportItem = QStringLiteral("Export\u2026");
  if (longPress) {
    s.longPress(row);
  } else {
    s.rightClick(row);
  }
  s.tap(exportItem);
  QQuickItem* field = nullptr;
  ASSERT_TRUE(QTest::qWaitFor([&] {
    const auto found = s.all([](QQuickItem* i) { return i->objectName() == "fileNameTextField" && i->isVisible(); });
    field = found.isEmpty() ? nullptr : found.front();
    return field != nullptr;
  })) << "no save dialog";
  ASSERT_TRUE(s.settle());
  s.tap(field);
  QTest::keyClick(s.window(), Qt::Key_A, Qt::ControlModifier);
  s.type(name.toUtf8());
  // Qt's buttons are known by their text alone.
  const auto save = s.all([](QQuickItem* i) {
    return i->inherits("QQuickAbstractButton") && i->isVisible() && i->property("text") == QStringLiteral("Save");
  });
  ASSERT_EQ(save.size(), 1);
  s.tap(save.front());
}

TEST(Controls, ExportedRowReadsBackWithItsCoordinatesAndTitle) {
  const std::string title = "Wiese S\u00fcd & <Ost> \"2\"";
  Prepared prepared;
  prepared.records.push_back(record("1", "Other"));
  prepared.records.push_back(record("2", title));
  QTemporaryDir home;  // where the dialog opens
  qputenv("HOME", QFile::encodeName(home.path()));
  UserSession s(prepared);
  ASSERT_TRUE(s.started) << qPrintable(s.error);
  ASSERT_TRUE(openSavedList(s, "Other"));

  const QString kml = home.filePath(QStringLiteral("plot.kml"));
  ASSERT_NO_FATAL_FAILURE(exportRow(s, QString::fromStdString(title), QStringLiteral("plot.kml")));
  ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(kml); }));
  const auto read = interop::importMeasurementFile(QFile::encodeName(kml).toStdString(), 0.0);
  ASSERT_FALSE(read.error) << *read.error;
  ASSERT_EQ(read.records.size(), 1u);
  EXPECT_EQ(read.records[0].title, title);
  // The ring is written counter-clockwise from the first vertex; this one was drawn clockwise.
  auto want = triangle();
  std::reverse(want.begin() + 1, want.end());
  ASSERT_EQ(read.records[0].annotations.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(read.records[0].annotations[i].latitude, want[i].latitude) << i;
    EXPECT_EQ(read.records[0].annotations[i].longitude, want[i].longitude) << i;
  }
  EXPECT_FALSE(s.named(QStringLiteral("Not exported"))) << "a written file is not a failure";

  // Into a folder that is not there, from the long press's menu: told, and the list stays.
  ASSERT_NO_FATAL_FAILURE(exportRow(s, QStringLiteral("Other"), QStringLiteral("gone/plot.gpx"), true));
  ASSERT_TRUE(s.await(QStringLiteral("Not exported")));
  EXPECT_TRUE(s.named(QStringLiteral("plot.gpx could not be written: No such file or directory")));
  s.tap(QStringLiteral("OK"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !s.named(QStringLiteral("Not exported")); }));
  EXPECT_TRUE(s.named(QStringLiteral("Other")));
}

TEST(Controls, ChosenUnitIsReportedChecked) {
  UserSession s;
  ASSERT_TRUE(s.started) << qPrintable(s.error);
  s.tap(QStringLiteral("Settings"));
  s.tap(QStringLiteral("Area unit: m²"));
  ASSERT_TRUE(s.await("ha"));
  QQuickItem* hectares = s.named("ha", QAccessible::ListItem);
  ASSERT_NE(hectares, nullptr);
  QQuickItem* metres = s.named(QStringLiteral("m²"), QAccessible::ListItem);
  EXPECT_TRUE(accessibleState(metres).checked);
  EXPECT_TRUE(accessibleState(metres).checkable);
  EXPECT_FALSE(accessibleState(hectares).checked);
  ASSERT_TRUE(s.settle());
  s.tap(hectares);
  EXPECT_TRUE(QTest::qWaitFor([&] { return accessibleState(hectares).checked; }));
  EXPECT_FALSE(accessibleState(metres).checked);
}

TEST(Controls, UsageSwitchIsSetWithoutAnimation) {
  Prepared prepared;
  prepared.sendUsageData = false;
  UserSession s(prepared);
  ASSERT_TRUE(s.started) << qPrintable(s.error);
  s.tap(QStringLiteral("Settings"));
  QQuickItem* usage = s.await("Send usage data");
  ASSERT_NE(usage, nullptr);
  // The thumb is at the off end from the screen's first frame on.
  auto* track = usage->property("indicator").value<QQuickItem*>();
  ASSERT_TRUE(track && !track->childItems().isEmpty());
  EXPECT_FALSE(accessibleState(usage).checked);
  EXPECT_EQ(track->childItems().front()->x(), 2.0);
}

TEST(Controls, IntroductionCardDissolvesInOnFirstStart) {
  Prepared prepared;
  prepared.introShown = false;
  UserSession s(prepared);
  ASSERT_TRUE(s.started) << qPrintable(s.error);
  // The card's white top edge, seen the moment the card is shown and again
  // once the 0.25 s dissolve is over.
  QColor first;
  QQuickItem* title = nullptr;
  ASSERT_TRUE(QTest::qWaitFor([&] {
    if (!s.scene.intro()->cardVisible() || !(title = s.named("Welcome to Kavrano", QAccessible::StaticText))) {
      return false;
    }
    QQuickItem* card = title->parentItem()->parentItem();
    first = s.window()->grabWindow().pixelColor(card->mapToScene(QPointF(card->width() / 2, 8)).toPoint());
    return true;
  }));
  EXPECT_LT(first.lightness(), 200) << "shown at once, not dissolved";
  QQuickItem* card = title->parentItem()->parentItem();
  const QPoint edge = card->mapToScene(QPointF(card->width() / 2, 8)).toPoint();
  EXPECT_TRUE(QTest::qWaitFor([&] { return s.window()->grabWindow().pixelColor(edge).lightness() > 250; }, 2000));
}

TEST(Controls, LeavingScreenTakesNoInput) {
  Prepared prepared;
  prepared.records.push_back(record("1", "Garden"));
  UserSession s(prepared);
  ASSERT_TRUE(s.started) << qPrintable(s.error);
  QQuickItem* row = openSavedList(s, "Garden");
  ASSERT_NE(row, nullptr);
  const QPoint at = UserSession::centre(row);
  s.tap(at);
  s.tap(at);  // while the list slides away
  // Opened: its points are drawn (one tick for them all) and every dissolve is over.
  ASSERT_TRUE(QTest::qWaitFor([&] { return s.scene.haptics().impactCount() > 0 && s.settled(); }));
  EXPECT_EQ(s.scene.haptics().impactCount(), 1) << "opened once, and no point added under the list";
  EXPECT_EQ(s.scene.navigation()->depth(), 1);
}

TEST(Controls, FadingAlertTakesNoTap) {
  UserSession s;
  ASSERT_TRUE(s.started) << qPrintable(s.error);
  ASSERT_NO_FATAL_FAILURE(saveOnePoint(s));
  s.tap(QStringLiteral("Save"));
  QQuickItem* ok = s.await("OK");
  ASSERT_NE(ok, nullptr);
  ASSERT_TRUE(s.settle());
  const QPoint at = UserSession::centre(ok);
  s.tap(at);
  s.tap(at);  // while the alert fades out, over the map
  EXPECT_TRUE(QTest::qWaitFor([&] { return !s.named("OK") && s.settled(); }));
  EXPECT_EQ(s.scene.haptics().impactCount(), 1) << "a point was added under the alert";
  EXPECT_TRUE(s.named("Add another point to measure"));
}

TEST(Controls, SearchResultsStartRightUnderTheBar) {
  UserSession s;
  ASSERT_TRUE(s.started) << qPrintable(s.error);
  QQuickItem* first = searchFor(s, "Lausanne");
  ASSERT_NE(first, nullptr);
  QQuickItem* bar = s.named(kSearchField)->parentItem();
  const double barBottom = bar->mapToScene(QPointF(0, bar->height())).y();
  const double rowTop = first->mapToScene(QPointF(0, 0)).y();
  EXPECT_LE(rowTop, barBottom) << "no blank band between the bar and the first result";
  EXPECT_GE(rowTop + first->height() / 2, barBottom) << "the first result's text is below the bar";
}

// Rows of 60, each named by its place; a place without a subtitle shows its
// title alone.
TEST(Controls, SearchRowsAreNamedByTheirPlaceAndAnEmptySubtitleIsNotShown) {
  LocalHttpServer server([](const LocalHttpServer::Request&) {
    const char* places[][2] = {{"8.54, 47.37", R"("name":"Zürich","state":"Zurich","country":"Switzerland")"},
                               {"-6.6, 38.6", R"("name":"Zurbarán")"}};
    QByteArrayList features;
    for (const auto& [at, properties] : places) {
      features << QByteArray(R"({"type":"Feature","geometry":{"type":"Point","coordinates":[)") + at +
                      "]},\"properties\":{" + properties + "}}";
    }
    return LocalHttpServer::Response{200,
                                     {{"Content-Type", "application/json"}},
                                     R"({"type":"FeatureCollection","features":[)" + features.join(',') + "]}"};
  });
  ASSERT_TRUE(server.listening());
  Prepared prepared;
  prepared.geocoder = QString::fromLatin1(server.baseUrl());
  UserSession s(prepared);
  ASSERT_TRUE(s.started) << qPrintable(s.error);
  ASSERT_NE(searchFor(s, "Zur"), nullptr);
  QList<QQuickItem*> rows;
  ASSERT_TRUE(QTest::qWaitFor([&] { return (rows = rowsOf(s, "Search results")).size() == 2; }));
  std::sort(rows.begin(), rows.end(),
            [](QQuickItem* a, QQuickItem* b) { return a->mapToScene({}).y() < b->mapToScene({}).y(); });
  EXPECT_EQ(accessibleName(rows[0]), QStringLiteral("Zürich, Zurich, Switzerland"));
  EXPECT_EQ(rows[1]->mapToScene({}).y() - rows[0]->mapToScene({}).y(), 60.0);
  auto textsIn = [&](QQuickItem* row) {
    return s.all([row](QQuickItem* item) { return item->inherits("QQuickText") && row->isAncestorOf(item); }).size();
  };
  EXPECT_EQ(textsIn(rows[0]), 2);
  EXPECT_EQ(textsIn(rows[1]), 1) << "an empty subtitle is hidden";
}

// Titles and place names are whatever a file, a user or a server made them:
// markup in them is shown as the characters it is, and fetches nothing.
TEST(Controls, UntrustedTextIsShownAsPlainText) {
  int fetched = 0;
  QByteArray markup;
  LocalHttpServer server([&](const LocalHttpServer::Request& request) {
    if (request.path.startsWith("/tracker")) {
      ++fetched;
      return LocalHttpServer::Response{404, {}, {}};
    }
    QJsonObject properties{{"name", QString::fromUtf8(markup)}, {"city", QString::fromUtf8(markup)}};
    QJsonObject feature{{"type", "Feature"},
                        {"geometry", QJsonObject{{"type", "Point"}, {"coordinates", QJsonArray{6.63, 46.51}}}},
                        {"properties", properties}};
    QJsonObject body{{"type", "FeatureCollection"}, {"features", QJsonArray{feature}}};
    return LocalHttpServer::Response{200, {{"Content-Type", "application/json"}}, QJsonDocument(body).toJson()};
  });
  ASSERT_TRUE(server.listening());
  markup = "<b>Bold</b><img src='" + server.baseUrl() + "/tracker'>";

  Prepared prepared;
  prepared.geocoder = QString::fromLatin1(server.baseUrl());
  prepared.records.push_back(record("1", markup.toStdString()));
  UserSession s(prepared);
  ASSERT_TRUE(s.started) << qPrintable(s.error);

  // Interpreted, the markup would show one short word; as text it runs long.
  auto shownAsText = [&](const QString& where) {
    const auto texts = s.all([&](QQuickItem* item) {
      return item->inherits("QQuickText") && item->property("text").toString().contains(QString::fromUtf8(markup));
    });
    EXPECT_FALSE(texts.isEmpty()) << qPrintable(where);
    for (QQuickItem* text : texts) {
      EXPECT_GT(text->property("contentWidth").toDouble(), 150.0)
          << qPrintable(where + ": " + text->objectName() + " shows markup as markup");
    }
  };
  ASSERT_TRUE(openSavedList(s, QString::fromUtf8(markup)));
  shownAsText("the saved list");
  s.tap(QStringLiteral("Back"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return s.scene.navigation()->depth() == 1 && s.settled(); }));
  ASSERT_NE(searchFor(s, "Bold"), nullptr);
  ASSERT_TRUE(s.settle());
  shownAsText("the search results");
  // Drawn: an image in the text would be asked for now.
  (void)s.window()->grabWindow();
  EXPECT_FALSE(QTest::qWaitFor([&] { return fetched > 0; }, 1000)) << "an image in a text was fetched";
}

// The keys a desktop user reaches for -----------------------------------------

/// The map once the start's follow of the position and its zoom are over.
QuickMapView* settledMap(UserSession& s) {
  QuickMapView* map = s.scene.mapView();
  const bool settled = map && QTest::qWaitFor([map] {
                         return map->userTrackingMode() == UserTrackingMode::None && !map->isAnimating();
                       });
  return settled ? map : nullptr;
}

QString focused(UserSession& s) { return accessibleName(s.window()->activeFocusItem()); }

/// Presses Tab until the control named `name` has the keyboard.
[[nodiscard]] bool tabTo(UserSession& s, const QString& name) {
  for (int i = 0; i < 20 && focused(s) != name; ++i) s.press(Qt::Key_Tab);
  return focused(s) == name;
}

/// The map among `item`'s descendants, or null.
QuickMapView* mapIn(QQuickItem* item) {
  if (auto* map = qobject_cast<QuickMapView*>(item)) return map;
  for (QQuickItem* child : item->childItems())
    if (QuickMapView* map = mapIn(child)) return map;
  return nullptr;
}

// Grabs the first frame of the first Qt Quick window shown, and the map's credit
// line in it: the frame is grabbed again at once, before anything queued after it
// has run.
class FirstFrame : public QObject {
 public:
  FirstFrame() { qApp->installEventFilter(this); }
  QImage image;
  QString credit;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* window = qobject_cast<QQuickWindow*>(watched);
    if (event->type() == QEvent::Show && window && !hooked_) {
      hooked_ = true;
      connect(
          window, &QQuickWindow::frameSwapped, this,
          [this, window] {
            image = window->grabWindow();
            if (QuickMapView* map = mapIn(window->contentItem())) credit = map->credit();
          },
          static_cast<Qt::ConnectionType>(Qt::DirectConnection | Qt::SingleShotConnection));
    }
    return false;
  }

 private:
  bool hooked_ = false;
};

TEST(OfflineStart, FirstFrameShowsTheWorldNotThePlaceholder) {
  // A port nothing listens on: every tile fails, as with no network.
  QTcpServer closed;
  ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
  const quint16 port = closed.serverPort();
  closed.close();
  FirstFrame first;
  Prepared prepared;
  prepared.tiles = QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(port);
  UserSession s(prepared);
  ASSERT_TRUE(s.started) << qPrintable(s.error);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !first.image.isNull(); }));
  QuickMapView* map = s.scene.mapView();
  ASSERT_NE(map, nullptr);
  const QImage shot = first.image.convertToFormat(QImage::Format_RGB32);
  QDir().mkpath(QStringLiteral(KAVRANO_SHOTS_DIR));
  first.image.save(QStringLiteral(KAVRANO_SHOTS_DIR "/offline-first-frame.png"));
  const QRect area = map->mapRectToScene(QRectF(0, 0, map->width(), map->height())).toRect() & shot.rect();
  ASSERT_FALSE(area.isEmpty());
  qsizetype placeholder = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) placeholder += shot.pixel(x, y) == qRgb(0xd9, 0xd6, 0xcf);
  EXPECT_LT(placeholder, area.width() * area.height() / 10) << "the first frame is a void";
  EXPECT_EQ(first.credit, QStringLiteral("NASA Visible Earth")) << "the credit names what the first frame shows";
}

TEST(Keys, MapMovesWithArrowsAndZoomsWithPlusMinusAndDoubleClick) {
  UserSession s;
  ASSERT_TRUE(s.started) << qPrintable(s.error);
  QuickMapView* map = settledMap(s);
  ASSERT_NE(map, nullptr);
  EXPECT_TRUE(map->hasActiveFocus()) << "the keyboard starts on the map";

  // Where the ground that was in the middle went.
  const QPointF middle(map->width() / 2, map->height() / 2);
  auto groundMoved = [&](Qt::Key key) {
    const Coordinate before = map->centerCoordinate();
    s.press(key);
    return map->convertCoordinateToPoint(before) - middle;
  };
  const double across = 0.2 * map->width(), down = 0.2 * map->height();
  const struct {
    Qt::Key key;
    QPointF moved;
  } arrows[] = {
      {Qt::Key_Right, {-across, 0}}, {Qt::Key_Left, {across, 0}}, {Qt::Key_Down, {0, -down}}, {Qt::Key_Up, {0, down}}};
  for (const auto& arrow : arrows) {
    const QPointF moved = groundMoved(arrow.key);
    EXPECT_NEAR(moved.x(), arrow.moved.x(), 0.5) << arrow.key;
    EXPECT_NEAR(moved.y(), arrow.moved.y(), 0.5) << arrow.key;
  }

  auto zoomChange = [&](Qt::Key key, Qt::KeyboardModifiers modifiers) {
    const double before = map->camera().zoom;
    QTest::keyClick(s.window(), key, modifiers);
    EXPECT_TRUE(QTest::qWaitFor([map] { return !map->isAnimating(); }));
    return map->camera().zoom - before;
  };
  EXPECT_NEAR(zoomChange(Qt::Key_Minus, {}), -1.0, 1e-9);
  EXPECT_NEAR(zoomChange(Qt::Key_Minus, Qt::KeypadModifier), -1.0, 1e-9);
  EXPECT_NEAR(zoomChange(Qt::Key_Plus, Qt::ShiftModifier), 1.0, 1e-9);
  EXPECT_NEAR(zoomChange(Qt::Key_Equal, {}), 1.0, 1e-9);
  EXPECT_NEAR(zoomChange(Qt::Key_Plus, Qt::ControlModifier), 0.0, 1e-9) << "Ctrl shortcuts are not the map's";
  EXPECT_EQ(s.scene.haptics().impactCount(), 0);

  // The ground under the pointer stays there; the first click placed its point.
  const QPoint at(100, 300);
  const Coordinate under = map->convertPointToCoordinate(map->mapFromScene(at));
  const double zoom = map->camera().zoom;
  QTest::mouseDClick(s.window(), Qt::LeftButton, {}, at);
  ASSERT_TRUE(QTest::qWaitFor([map] { return !map->isAnimating(); }));
  EXPECT_NEAR(map->camera().zoom, zoom + 1.0, 1e-9);
  const QPointF now = map->mapToScene(map->convertCoordinateToPoint(under));
  EXPECT_NEAR(now.x(), at.x(), 0.5);
  EXPECT_NEAR(now.y(), at.y(), 0.5);
  EXPECT_EQ(s.scene.haptics().impactCount(), 1) << "one point, not two";
}

TEST(Keys, SearchOpensWithCtrlFOrSlashAndClosesWithEscape) {
  UserSession s;
  ASSERT_TRUE(s.started) << qPrintable(s.error);
  QuickMapView* map = settledMap(s);
  ASSERT_NE(map, nullptr);
  QQuickItem* field = s.named(kSearchField);
  ASSERT_NE(field, nullptr);

  QTest::keyClick(s.window(), Qt::Key_F, Qt::ControlModifier);
  EXPECT_TRUE(field->hasActiveFocus());
  s.type("Lausan");
  EXPECT_TRUE(QTest::qWaitFor([&] { return !rowsOf(s, "Search results").isEmpty(); }));
  s.press(Qt::Key_Escape);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !s.named("Search results"); }));
  EXPECT_EQ(field->property("text").toString(), "") << "as Cancel does";
  EXPECT_TRUE(map->hasActiveFocus()) << "the arrows move the map again";

  s.type("/");
  EXPECT_TRUE(field->hasActiveFocus());
  s.type("a/b");
  EXPECT_EQ(field->property("text").toString(), "a/b") << "a slash in the field is text";
  s.press(Qt::Key_Escape);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !s.named("Search results"); }));
  EXPECT_TRUE(map->hasActiveFocus());
}

TEST(Keys, MapTapEndsTextEditing) {
  UserSession s;
  ASSERT_TRUE(s.started) << qPrintable(s.error);
  QuickMapView* map = settledMap(s);
  ASSERT_NE(map, nullptr);
  ASSERT_TRUE(tabTo(s, QString::fromLatin1(kSearchField)));
  QQuickItem* field = s.named(kSearchField);
  ASSERT_NE(field, nullptr);
  ASSERT_TRUE(field->hasActiveFocus());
  s.tapMap(QPoint(195, 500));
  EXPECT_FALSE(field->hasActiveFocus()) << "the field still edits after a tap on the map";
  EXPECT_TRUE(map->hasActiveFocus());
  EXPECT_FALSE(s.named("Search results"));
}

TEST(Keys, DialogAnswersEscapeTabSpaceAndReturn) {
  UserSession s;
  ASSERT_TRUE(s.started) << qPrintable(s.error);
  QuickMapView* map = settledMap(s);
  ASSERT_NE(map, nullptr);
  const QString dialog = QStringLiteral("Give a title to your measurement");
  ASSERT_NO_FATAL_FAILURE(saveOnePoint(s));
  s.type("Plot");
  s.press(Qt::Key_Escape);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !s.named(dialog); }));
  EXPECT_TRUE(map->hasActiveFocus()) << "the keyboard goes back where it was";

  // Return presses the button Tab reached, not the default one.
  ASSERT_TRUE(tabTo(s, "Save measurement"));
  s.press(Qt::Key_Return);
  ASSERT_TRUE(s.await(dialog));
  s.type("A");
  s.press(Qt::Key_Tab);
  EXPECT_EQ(focused(s), "Cancel");
  s.press(Qt::Key_Return);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !s.named(dialog); }));
  EXPECT_EQ(focused(s), "Save measurement");

  // Tab goes round the dialog, never to the screen beneath.
  s.press(Qt::Key_Space);
  ASSERT_TRUE(s.await(dialog));
  s.type("B");
  QStringList order;
  for (int i = 0; i < 3; ++i) {
    s.press(Qt::Key_Tab);
    order << focused(s);
  }
  EXPECT_EQ(order.join(" | ").toStdString(), "Cancel | Save | Title");
  s.press(Qt::Key_Backtab);
  EXPECT_EQ(focused(s), "Save");
  s.press(Qt::Key_Space);
  ASSERT_TRUE(s.await("Success"));
  s.press(Qt::Key_Escape);  // an alert with OK alone
  EXPECT_TRUE(QTest::qWaitFor([&] { return !s.named("Success"); }));
  EXPECT_EQ(focused(s), "Save measurement");

  const auto records = PersistanceManager().loadMeasurements();
  ASSERT_EQ(records.size(), 1u) << "neither Escape nor Cancel saved";
  EXPECT_EQ(records[0].title, "B");
}

// In reading order, every button once; then Return and Space press the one reached.
TEST(Keys, TabReachesEveryButtonInReadingOrder) {
  UserSession s;
  ASSERT_TRUE(s.started) << qPrintable(s.error);
  ASSERT_NE(settledMap(s), nullptr);
  s.tapMap(kFieldMiddle);  // the clear button takes part once there is a point
  ASSERT_TRUE(s.await("Add another point to measure"));
  QStringList order;
  for (int i = 0; i < 7; ++i) {
    s.press(Qt::Key_Tab);
    order << focused(s);
  }
  EXPECT_EQ(order.join(" | ").toStdString(),
            "Search a place or address | My measurements | Settings | Follow my position | Clear all points | "
            "Save measurement | Map");
  EXPECT_FALSE(s.named("Search results")) << "a field reached with Tab waits for typing";

  s.press(Qt::Key_Backtab);
  s.press(Qt::Key_Backtab);
  ASSERT_EQ(focused(s), "Clear all points");
  s.press(Qt::Key_Space);
  ASSERT_TRUE(s.await(kIdle));

  ASSERT_TRUE(tabTo(s, "Settings"));
  s.press(Qt::Key_Return);
  ASSERT_TRUE(s.await("Send usage data"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return s.scene.navigation()->depth() == 2; }));
  QStringList settings;
  for (int i = 0; i < 12 && !settings.contains(focused(s)); ++i) {
    settings << focused(s);
    s.press(Qt::Key_Tab);
  }
  const auto buttons = s.all([](QQuickItem* item) {
    const QAccessibleInterface* a = QAccessible::queryAccessibleInterface(item);
    const QAccessible::Role role = a ? a->role() : QAccessible::NoRole;
    return item->isEnabled() && (item->inherits("QQuickAbstractButton") || role == QAccessible::Button);
  });
  ASSERT_FALSE(buttons.isEmpty());
  for (QQuickItem* button : buttons)
    EXPECT_TRUE(settings.contains(accessibleName(button))) << qPrintable(accessibleName(button));

  ASSERT_TRUE(tabTo(s, QStringLiteral("Area unit: m²"))) << qPrintable(settings.join(" | "));
  s.press(Qt::Key_Return);  // a row of the styled controls, which take Space alone
  ASSERT_TRUE(s.await("ha"));
}

}  // namespace
}  // namespace kavrano::testing

int main(int argc, char** argv) {
  failOnViewWarnings();
  qputenv("QT_QPA_PLATFORM", "offscreen");  // never a display, also when listing tests
  QTemporaryDir cache;
  qputenv("XDG_CACHE_HOME", cache.path().toUtf8());  // not the user's tile cache
  QGuiApplication app(argc, argv);
  // As with a screen reader running: controls then keep their accessible state
  // up to date themselves.
  QAccessible::setActive(true);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
