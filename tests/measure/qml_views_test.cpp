// Loads the place search's results view under the offscreen platform: a missing
// QML module or a broken binding fails here, not on a user's phone.
#include <gtest/gtest.h>
#include <QAccessible>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>
#include <QTest>

#include "qt_printers.h"

#include "fake_places.h"
#include "kavrano/measure/search_view_controller.h"
#include "view_warnings.h"

namespace kavrano {
namespace {

using namespace test;

QString accessibleName(QObject* item) {
  QAccessibleInterface* a = QAccessible::queryAccessibleInterface(item);
  return a ? a->text(QAccessible::Name) : QString();
}

// Rows live in the visual tree, not as QObject children of the view.
void collect(QQuickItem* item, const QString& name, QList<QQuickItem*>& out) {
  if (item->objectName() == name) out.push_back(item);
  for (QQuickItem* child : item->childItems()) collect(child, name, out);
}
QList<QQuickItem*> itemsNamed(QQuickItem* root, const QString& name) {
  QList<QQuickItem*> out;
  collect(root, name, out);
  std::sort(out.begin(), out.end(), [](auto* a, auto* b) { return a->mapToScene({}).y() < b->mapToScene({}).y(); });
  return out;
}

TEST(QmlViews, ResultsScreenShowsTitleOverSubtitleInRowsOf60) {
  auto places = std::make_shared<FakePlaceSearchService>();
  FakeSearchPresentation presentation;
  SearchViewController controller{places, presentation};
  QQuickWindow window;
  window.resize(390, 844);
  QQmlEngine engine;
  QQmlComponent component(&engine, QUrl("qrc:/kavrano/measure/SearchViewController.qml"));
  std::unique_ptr<QObject> view(
      component.createWithInitialProperties({{"controller", QVariant::fromValue<QObject*>(&controller)}}));
  auto* root = qobject_cast<QQuickItem*>(view.get());
  ASSERT_NE(root, nullptr) << qPrintable(component.errorString());
  root->setParentItem(window.contentItem());
  root->setSize(window.size());
  window.show();

  controller.updateSearchResults("zur");
  places->completers.at(0)->answer({{"Zürich", "Zurich, Switzerland"}, {"Zurbarán", ""}});

  auto* table = root->findChild<QQuickItem*>("tableView");
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->property("count").toInt(), 2);
  EXPECT_EQ(table->property("topMargin").toReal(), 60);
  EXPECT_EQ(table->property("bottomMargin").toReal(), window.screen()->size().height() / 2.0);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

  const QList<QQuickItem*> titles = itemsNamed(root, "titleLabel");
  const QList<QQuickItem*> descriptions = itemsNamed(root, "descriptionLabel");
  ASSERT_EQ(titles.size(), 2);
  ASSERT_EQ(descriptions.size(), 2);
  EXPECT_EQ(descriptions[0]->property("text").toString(), "Zurich, Switzerland");
  EXPECT_GT(descriptions[0]->mapToScene({}).y(), titles[0]->mapToScene({}).y()) << "subtitle below the title";
  EXPECT_TRUE(descriptions[0]->isVisible());
  EXPECT_FALSE(descriptions[1]->isVisible()) << "an empty subtitle takes no room";
  QQuickItem* row = titles[0];
  while (row && row->parentItem() != table->property("contentItem").value<QQuickItem*>()) row = row->parentItem();
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(titles[0]->property("text").toString(), "Zürich");
  EXPECT_EQ(row->height(), 60);
  EXPECT_GT(titles[1]->mapToScene({}).y(), titles[0]->mapToScene({}).y() + 59);
  EXPECT_EQ(accessibleName(row), "Zürich, Zurich, Switzerland");
  EXPECT_EQ(accessibleName(titles[0]), "Zürich") << "a label's accessible name is its text";

  // A tap on the first row closes the search.
  QTest::mouseClick(&window, Qt::LeftButton, {}, row->mapToScene({20, 30}).toPoint());
  EXPECT_EQ(presentation.dismissals.size(), 1u);
}

}  // namespace
}  // namespace kavrano

int main(int argc, char** argv) {
  failOnViewWarnings();
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
