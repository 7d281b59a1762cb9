// The platform's user-interface services on Qt Quick, under the offscreen
// platform: presentation, alerts, the navigation stack, the feedback form,
// cross-dissolves and the desktop stand-ins.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTest>

#include "kavrano/qt_ui/desktop_services.h"
#include "kavrano/qt_ui/quick_cross_dissolve.h"
#include "kavrano/qt_ui/quick_screens.h"

namespace kavrano {
namespace {

QQuickItem* findItem(QQuickItem* root, const QString& name) {
  if (!root || root->objectName() == name) return root;
  for (QQuickItem* child : root->childItems())
    if (QQuickItem* found = findItem(child, name)) return found;
  return nullptr;
}

// A screen that records its appearances.
struct ProbeScreen final : ViewController {
  ProbeScreen(QString title, QStringList& log) : title(std::move(title)), log(log) {}
  [[nodiscard]] QUrl viewUrl() const override { return QUrl(QStringLiteral("qrc:/probe/ProbeScreen.qml")); }
  void viewWillAppear(bool animated) override { log << QStringLiteral("%1 will %2").arg(title).arg(animated); }
  void viewDidAppear(bool animated) override { log << QStringLiteral("%1 did %2").arg(title).arg(animated); }
  QString title;
  QStringList& log;
};

/// Refuses every digit.
class NoDigits final : public QObject, public TextFieldDelegate {
  Q_OBJECT
  Q_INTERFACES(kavrano::TextFieldDelegate)
 public:
  bool shouldChangeCharacters(AlertTextField&, int, int, const QString& replacement) override {
    return !replacement.contains(QRegularExpression(QStringLiteral("\\d")));
  }
};

class QuickUi : public ::testing::Test {
 protected:
  void SetUp() override {
    window.resize(390, 844);
    fillParent(layer);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  }
  void click(QQuickItem* item) {
    QTest::mouseClick(&window, Qt::LeftButton, {}, item->mapToScene({item->width() / 2, item->height() / 2}).toPoint());
  }

  QQmlEngine engine;
  QQuickWindow window;
  QQuickItem* layer = new QQuickItem(window.contentItem());
  QuickScreenPresenter presenter{engine, layer};
  QStringList log;
};

TEST_F(QuickUi, AnAlertButtonDismissesFirstThenRunsItsHandlerWithTheTypedText) {
  auto alert = std::make_shared<AlertController>(QStringLiteral("Save measurement"), QStringLiteral("Give a title"));
  NoDigits delegate;
  alert->addTextField([&](AlertTextField& f) {
    f.placeholder = QStringLiteral("Title");
    f.setDelegate(&delegate);
  });
  std::optional<QString> typed;
  bool presentingDuringHandler = true;
  alert->addAction({QStringLiteral("Cancel"), AlertActionStyle::Cancel, {}});
  alert->addAction({QStringLiteral("Save"), AlertActionStyle::Default, [&](const AlertAction&) {
                      typed = alert->textFields[0]->text;
                      presentingDuringHandler = presenter.isPresenting();
                    }});
  bool shown = false;
  presenter.presentAlert(alert, true, [&] { shown = true; });
  EXPECT_TRUE(presenter.isPresenting());
  ASSERT_TRUE(QTest::qWaitFor([&] { return shown; }, 2000));

  QQuickItem* view = presenter.presentedView();
  QQuickItem* field = findItem(view, QStringLiteral("alertTextField0"));
  ASSERT_NE(field, nullptr);
  EXPECT_EQ(field->property("placeholderText").toString(), "Title");
  field->forceActiveFocus();
  for (const char c : QByteArrayLiteral("Lot 7a")) QTest::keyClick(&window, c);
  EXPECT_EQ(field->property("text").toString(), "Lot a") << "the delegate refused the digit";

  QQuickItem* save = findItem(view, QStringLiteral("alertButtonSave"));
  QQuickItem* cancel = findItem(view, QStringLiteral("alertButtonCancel"));
  ASSERT_TRUE(save && cancel);
  EXPECT_LT(cancel->mapToScene({}).x(), save->mapToScene({}).x()) << "cancel on the left";
  click(save);
  EXPECT_FALSE(typed) << "the handler waits for the dismissal";
  ASSERT_TRUE(QTest::qWaitFor([&] { return typed.has_value(); }, 2000));
  EXPECT_EQ(*typed, "Lot a");
  EXPECT_FALSE(presentingDuringHandler);
}

TEST_F(QuickUi, OnePresentationAtATimeAndAnUnanimatedDismissalIsImmediate) {
  std::vector<std::string> answers;
  QuickFeedbackFormPresenter form;
  form.presentFrom(presenter,
                   {QStringLiteral("Kavrano"), [&] { answers.push_back("yes"); }, [&] { answers.push_back("no"); }});
  ASSERT_TRUE(presenter.isPresenting());
  presenter.presentAlert(std::make_shared<AlertController>(QStringLiteral("Late"), QString()), false);
  EXPECT_EQ(findItem(presenter.presentedView(), QStringLiteral("alertCard")), nullptr) << "refused while presenting";

  QQuickItem* no = findItem(presenter.presentedView(), QStringLiteral("negativeButton"));
  ASSERT_NE(no, nullptr);
  QTest::qWait(400);
  click(no);
  click(no);
  EXPECT_EQ(answers, std::vector<std::string>{"no"}) << "one answer per form";
  EXPECT_TRUE(presenter.isPresenting()) << "the host takes the form down";

  bool done = false;
  presenter.dismiss(false, [&] { done = true; });
  EXPECT_FALSE(presenter.isPresenting());
  EXPECT_FALSE(done) << "never inside the call";
  ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 1000));
}

TEST_F(QuickUi, TheStackTellsScreensWhenTheyAppearAndShowsTheTopTitle) {
  auto* stack = new MainNavigationController(engine, {new ProbeScreen(QStringLiteral("root"), log), {}, {}});
  presenter.presentScreen({stack, {}, [stack](QObject* view) { stack->attachView(qobject_cast<QQuickItem*>(view)); }},
                          false, {});
  ASSERT_TRUE(QTest::qWaitFor([&] { return log.size() == 2; }, 1000));
  EXPECT_EQ(log, (QStringList{"root will 0", "root did 0"}));

  stack->pushViewController({new ProbeScreen(QStringLiteral("list"), log), {}, {}}, true);
  EXPECT_EQ(stack->depth(), 2);
  ASSERT_TRUE(QTest::qWaitFor([&] { return log.size() == 4; }, 2000));
  EXPECT_EQ(log.mid(2), (QStringList{"list will 1", "list did 1"}));
  QQuickItem* title = findItem(presenter.presentedView(), QStringLiteral("navigationTitle"));
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->property("text").toString(), "Probe");
  QQuickItem* back = findItem(presenter.presentedView(), QStringLiteral("backButton"));
  ASSERT_TRUE(back && back->isVisible());

  stack->setNavigationBarHidden(true, false);
  EXPECT_FALSE(findItem(presenter.presentedView(), QStringLiteral("navigationBar"))->isVisible());
  stack->setNavigationBarHidden(false, false);
  click(back);
  EXPECT_EQ(stack->depth(), 1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return log.size() == 6; }, 2000));
  EXPECT_EQ(log.mid(4), (QStringList{"root will 1", "root did 1"}));
  stack->popViewController(true);
  EXPECT_EQ(stack->depth(), 1) << "the root stays";
}

TEST_F(QuickUi, ACrossDissolveRunsTheChangesOverAStillThatLooksLikeTheItemAndFades) {
  QQmlComponent component(&engine);
  component.setData(
      "import QtQuick\nRectangle { color: \"black\"; Rectangle { objectName: \"box\"; width: 100; height: 40; "
      "color: \"red\" } Text { objectName: \"label\"; x: 20; y: 60; width: 300; height: 48; text: \"Tap on the map\"; "
      "color: \"white\"; verticalAlignment: Text.AlignVCenter } }",
      QUrl());
  auto* root = qobject_cast<QQuickItem*>(component.create());
  root->setParent(layer);
  root->setParentItem(layer);
  fillParent(root);
  QTest::qWait(50);
  auto* box = root->findChild<QQuickItem*>(QStringLiteral("box"));
  auto* label = root->findChild<QQuickItem*>(QStringLiteral("label"));

  const auto colour = [&] { return box->property("color").value<QColor>(); };
  makeCrossDissolve(box)(0.1, [&] { box->setProperty("color", QColor(Qt::blue)); });
  EXPECT_EQ(colour(), QColor(Qt::blue)) << "the changes run at once";
  EXPECT_EQ(root->childItems().size(), 3) << "the still lies over the box";
  EXPECT_EQ(window.grabWindow().pixelColor(10, 10), QColor(Qt::red)) << "the old look, until it fades";
  ASSERT_TRUE(QTest::qWaitFor([&] { return root->childItems().size() == 2; }, 1000)) << "the still is gone";
  EXPECT_EQ(window.grabWindow().pixelColor(10, 10), QColor(Qt::blue));

  // Regression: a text's boundingRect() is its text's, not the item's; the
  // still was cut to the text and stretched over the whole item.
  const QImage before = window.grabWindow().copy(0, 50, 360, 90);
  makeCrossDissolve(label)(1.0, [&] { label->setProperty("text", QStringLiteral("Add another point")); });
  const QImage during = window.grabWindow().copy(0, 50, 360, 90).convertToFormat(before.format());
  int differing = 0;  // beyond the texture's rounding
  for (int y = 0; y < before.height(); ++y)
    for (int x = 0; x < before.width(); ++x)
      differing += std::abs(qGray(before.pixel(x, y)) - qGray(during.pixel(x, y))) > 24;
  EXPECT_EQ(differing, 0);

  box->setVisible(false);
  makeCrossDissolve(box)(0.1, [&] { box->setProperty("color", QColor(Qt::green)); });
  EXPECT_EQ(colour(), QColor(Qt::green)) << "nothing to see: at once";
}

// Unknown at first: the system's source is looked for after start.
TEST(DesktopServices, AuthorisationIsAnsweredLaterFromThePositionSourceOnceThatIsKnown) {
  for (const std::optional<bool> hasSource : {std::optional(true), std::optional(false), std::optional<bool>()}) {
    DesktopLocationAuthorization authorization(hasSource);
    std::vector<LocationAuthorizationStatus> reports;
    authorization.onChange = [&](LocationAuthorizationStatus s) { reports.push_back(s); };
    authorization.requestWhenInUseAuthorization();
    EXPECT_TRUE(reports.empty()) << "never inside the call";
    if (!hasSource) {
      QTest::qWait(20);
      EXPECT_TRUE(reports.empty()) << "no answer before the source is known";
      authorization.setHasPositionSource(true);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !reports.empty(); }, 1000));
    authorization.requestWhenInUseAuthorization();
    QTest::qWait(10);
    EXPECT_EQ(reports, std::vector{hasSource.value_or(true) ? LocationAuthorizationStatus::AuthorizedWhenInUse
                                                            : LocationAuthorizationStatus::Denied})
        << "one answer; no change, no report";
  }
}

}  // namespace
}  // namespace kavrano

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");  // never a display, also when listing tests
  QGuiApplication app(argc, argv);
  QQuickStyle::setStyle(QStringLiteral("Material"));
  kavrano::registerQuickUiTypes();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

#include "quick_ui_test.moc"
