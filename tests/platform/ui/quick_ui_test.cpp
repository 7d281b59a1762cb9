// The platform's user-interface services on Qt Quick, under the offscreen
// platform: presentation, alerts, the feedback form,
// cross-dissolves and the desktop stand-ins; and the animated-image loader:
// timing from the GIF's own bytes, decoding with Qt's reader, the diagnostics,
// and the pictures the app ships.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>

#include "kavrano/qt_images/animated_image.h"
#include "kavrano/qt_images/resource_image_source.h"
#include "kavrano/qt_ui/desktop_services.h"
#include "kavrano/qt_ui/quick_cross_dissolve.h"
#include "kavrano/qt_ui/quick_screens.h"
#include "view_warnings.h"

namespace kavrano {
namespace {

QQuickItem* findItem(QQuickItem* root, const QString& name) {
  if (!root || root->objectName() == name) return root;
  for (QQuickItem* child : root->childItems())
    if (QQuickItem* found = findItem(child, name)) return found;
  return nullptr;
}

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
  alert->addAction({QStringLiteral("Cancel"), AlertActionStyle::Cancel, {}});
  alert->addAction({QStringLiteral("Save"), AlertActionStyle::Default, [&](const AlertAction&) {
                      log << alert->textFields[0]->text.value_or("none") +
                                 (presenter.isPresenting() ? " while shown" : "");
                    }});
  bool shown = false;
  presenter.presentAlert(alert, true, [&] { shown = true; });
  EXPECT_TRUE(presenter.isPresenting());
  ASSERT_TRUE(QTest::qWaitFor([&] { return shown; }, 2000));

  QQuickItem* view = presenter.presentedView();
  QQuickItem* field = findItem(view, QStringLiteral("alertTextField0"));
  ASSERT_NE(field, nullptr);
  EXPECT_EQ(field->property("placeholderText").toString(), "Title");
  EXPECT_TRUE(field->hasActiveFocus()) << "an alert's first field takes the keyboard";
  for (const char c : QByteArrayLiteral("Lot 7a")) QTest::keyClick(&window, c);
  EXPECT_EQ(field->property("text").toString(), "Lot a") << "the delegate refused the digit";

  QQuickItem* save = findItem(view, QStringLiteral("alertButtonSave"));
  QQuickItem* cancel = findItem(view, QStringLiteral("alertButtonCancel"));
  ASSERT_TRUE(save && cancel);
  EXPECT_LT(cancel->mapToScene({}).x(), save->mapToScene({}).x()) << "cancel on the left";
  click(save);
  EXPECT_TRUE(log.isEmpty()) << "the handler waits for the dismissal";
  ASSERT_TRUE(QTest::qWaitFor([&] { return !log.isEmpty(); }, 2000));
  EXPECT_EQ(log, QStringList{"Lot a"});
}

TEST_F(QuickUi, OnePresentationAtATimeAndAnUnanimatedDismissalIsImmediate) {
  QuickFeedbackFormPresenter form;
  form.presentFrom(presenter, {QStringLiteral("Kavrano"), [&] { log << "yes"; }, [&] { log << "no"; }});
  ASSERT_TRUE(presenter.isPresenting());
  presenter.presentAlert(std::make_shared<AlertController>(QStringLiteral("Late"), QString()), false);
  EXPECT_EQ(findItem(presenter.presentedView(), QStringLiteral("alertCard")), nullptr) << "refused while presenting";

  QQuickItem* no = findItem(presenter.presentedView(), QStringLiteral("negativeButton"));
  ASSERT_NE(no, nullptr);
  QTest::qWait(400);
  click(no);
  click(no);
  EXPECT_EQ(log, QStringList{"no"}) << "one answer per form";
  EXPECT_TRUE(presenter.isPresenting()) << "the host takes the form down";

  bool done = false;
  presenter.dismiss(false, [&] { done = true; });
  EXPECT_FALSE(presenter.isPresenting());
  EXPECT_FALSE(done) << "never inside the call";
  ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 1000));
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
    // One answer; no change, no report.
    EXPECT_EQ(reports, std::vector{hasSource.value_or(true) ? LocationAuthorizationStatus::AuthorizedWhenInUse
                                                            : LocationAuthorizationStatus::Denied});
  }
}

// A GIF89a of 2 × 2 pixels over a black-and-white palette, a frame per {delay in
// centiseconds (none: no control extension), colour index 0 or 1 of all its
// pixels}. The frame's LZW data sends a clear code before every pixel, so every
// code stays 3 bits wide: 4 bytes, written out.
// `canvas` changes only the logical screen's size, as a hostile file would.
QByteArray writeGif(const std::vector<std::pair<std::optional<int>, int>>& frames, QSize canvas = {2, 2}) {
  QByteArray out = "GIF89a";
  for (const int side : {canvas.width(), canvas.height()}) out += char(side & 0xff) + QByteArray(1, char(side >> 8));
  out += QByteArray::fromHex("800000000000ffffff");  // a table of 2 colours
  for (const auto& [centiseconds, color] : frames) {
    if (centiseconds)
      out += QByteArray::fromHex("21f90400") + char(*centiseconds & 0xff) + char(*centiseconds >> 8) + '\0' + '\0';
    // At 0,0, 2 × 2, no local table; LZW code size 2, then one block.
    out += QByteArray::fromHex(QByteArray("2c0000000002000200000204") + (color ? "0cc33005" : "04411005") + "00");
  }
  return out + ';';
}

QList<int> colorsOf(const AnimatedImage& picture) {
  QList<int> colors;
  for (const QImage& image : picture.images) colors << (qGray(image.pixel(1, 1)) > 128 ? 1 : 0);
  return colors;
}

TEST(AnimatedImage, FramesRepeatForTheirShareOfTheCommonDivisorWithAFloorOfATenthAndEmptyOnesGiveNothing) {
  const auto picture = animatedImageWithData(writeGif({{10, 0}, {20, 1}, {30, 0}}));
  ASSERT_TRUE(picture);
  EXPECT_EQ(colorsOf(*picture), (QList<int>{0, 1, 1, 0, 0, 0}));
  EXPECT_DOUBLE_EQ(picture->duration, 0.6);
  EXPECT_EQ(picture->images.front().size(), QSize(2, 2));

  // 2 cs as stored: below the floor.
  const auto fast = animatedImageWithData(writeGif({{2, 0}, {2, 1}}));
  ASSERT_TRUE(fast);
  EXPECT_EQ(fast->images.size(), 2);
  EXPECT_DOUBLE_EQ(fast->duration, 0.2);
  EXPECT_DOUBLE_EQ(frameDelay(GifFrameProperties{0.02, 0.02}), 0.1);
  EXPECT_DOUBLE_EQ(frameDelay(GifFrameProperties{0, 0.5}), 0.5) << "a stored 0 falls back to the played value";

  const QImage still(2, 2, QImage::Format_RGB32);
  // Finer than a GIF can store: 0.2999 s is 299 ms, so g = 1 ms (rounding would give 300 and 100).
  const AnimatedImage fine =
      animatedImageWithFrames({{still, GifFrameProperties{0.2999, 0.2999}}, {still, GifFrameProperties{0.1, 0.1}}});
  EXPECT_EQ(fine.images.size(), 399);
  EXPECT_DOUBLE_EQ(fine.duration, 0.399);

  const auto none = animatedImageWithData(writeGif({}));
  ASSERT_TRUE(none) << "a GIF without frames is still a picture";
  EXPECT_TRUE(none->images.isEmpty());
  EXPECT_EQ(none->duration, 0.0);

  // A control extension times only the image after it; the next one plays 0.1 s.
  const auto untimed = animatedImageWithData(writeGif({{20, 1}, {std::nullopt, 0}}));
  ASSERT_TRUE(untimed);
  EXPECT_EQ(colorsOf(*untimed), (QList<int>{1, 1, 0}));

  // A frame that does not decode goes with its delay.
  const AnimatedImage gappy = animatedImageWithFrames(
      {{still, GifFrameProperties{0.1, 0.1}}, {QImage(), GifFrameProperties{0.5, 0.5}}, {still, std::nullopt}});
  EXPECT_EQ(gappy.images.size(), 2);
  EXPECT_DOUBLE_EQ(gappy.duration, 0.2);
}

TEST(AnimatedImage, MissingUnreadableAndCorruptFilesSayWhyAndGiveNoImage) {
  QTemporaryDir dir;
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.gif")));  // exists, but holds no bytes
  QFile broken(dir.filePath(QStringLiteral("broken.gif")));
  ASSERT_TRUE(broken.open(QIODevice::WriteOnly) && broken.write("PNG? no, nothing at all") && broken.flush());

  for (const auto& [name, why] : {std::pair{"nowhere", "The image \"nowhere\" does not exist\n"},
                                  {"folder", "The image \"folder\" cannot be turned into data\n"},
                                  {"broken", "image doesn't exist\n"}}) {
    testing::internal::CaptureStdout();
    EXPECT_FALSE(animatedImageNamed(QLatin1String(name), dir.path()));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), why);
  }

  // Every truncation of a good file: no crash, never more than the whole.
  const QByteArray good = writeGif({{10, 0}, {20, 1}, {30, 0}});
  testing::internal::CaptureStdout();
  for (qsizetype length = 0; length < good.size(); ++length) {
    const auto picture = animatedImageWithData(good.left(length));
    EXPECT_LE(picture ? picture->images.size() : 0, 6) << length;
  }
  testing::internal::GetCapturedStdout();
}

TEST(AnimatedImage, GifsPastTheBoundsAreRefusedBeforeDecoding) {
  // Each case: a small file that describes too many pixels, the line on standard output.
  const std::vector<std::pair<QByteArray, std::string>> refused{
      {writeGif({{10, 0}}, {65535, 65535}), "image too large: 65535 x 65535 pixels, more than 4096 a side\n"},
      {writeGif({{10, 0}}, {4097, 1}), "image too large: 4097 x 2 pixels, more than 4096 a side\n"},
      {writeGif(std::vector<std::pair<std::optional<int>, int>>(5, {10, 0}), {4096, 4096}),
       "image too large: 320 MiB decoded, more than 256\n"},
      {writeGif(std::vector<std::pair<std::optional<int>, int>>(kMaxGifFrames + 1, {10, 0})),
       "image too large: more than 1000 frames\n"}};
  for (const auto& [gif, why] : refused) {
    testing::internal::CaptureStdout();
    EXPECT_FALSE(animatedImageWithData(gif)) << why;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), why);
  }
  // An image descriptor larger than its canvas counts too.
  QByteArray wide = writeGif({{10, 0}});
  wide[wide.size() - 12] = char(0xff);  // the high byte of the frame's width: 2 + 255 × 256
  testing::internal::CaptureStdout();
  EXPECT_FALSE(animatedImageWithData(wide));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "image too large: 65282 x 65282 pixels, more than 4096 a side\n");

  const auto most =
      animatedImageWithData(writeGif(std::vector<std::pair<std::optional<int>, int>>(kMaxGifFrames, {10, 1})));
  ASSERT_TRUE(most) << "the bound itself is allowed";
  EXPECT_EQ(most->images.size(), static_cast<qsizetype>(kMaxGifFrames));

  // 655.35 s beside 0.11 s: 65,546 entries on the common 10 ms step, so a coarser clock.
  const QImage still(2, 2, QImage::Format_RGB32);
  const AnimatedImage slow =
      animatedImageWithFrames({{still, GifFrameProperties{655.35, 655.35}}, {still, GifFrameProperties{0.11, 0.11}}});
  EXPECT_EQ(slow.images.size(), 9932) << "66 ms steps: 9930 of the first frame, 2 of the second";
  EXPECT_DOUBLE_EQ(slow.duration, 655.46);
}

TEST(AppPictures, ShipSmallAndPlayForAFewSeconds) {
  ResourceImageSource source;
  for (const char* name : {"intro1", "intro2"}) {
    EXPECT_LT(QFile(QStringLiteral(":/kavrano/intro/%1.gif").arg(QLatin1String(name))).size(), 1 << 20) << name;
    const auto picture = pictureOf(source.animatedImage(QLatin1String(name)));
    EXPECT_GT(picture.images.size(), 10) << name;
    EXPECT_TRUE(picture.duration >= 2.0 && picture.duration <= 12.0) << name << ": " << picture.duration;
  }
  for (const char* name : {"logoCornerRadius", "intro3"}) {
    const auto picture = pictureOf(source.image(QLatin1String(name)));
    ASSERT_EQ(picture.images.size(), 1) << name;
    EXPECT_GE(std::max(picture.images[0].width(), picture.images[0].height()), 512) << name;
  }
  EXPECT_FALSE(source.image(QStringLiteral("absent")).isValid()) << "an empty slot";
}

}  // namespace
}  // namespace kavrano

int main(int argc, char** argv) {
  failOnViewWarnings();
  qputenv("QT_QPA_PLATFORM", "offscreen");  // never a display, also when listing tests
  QGuiApplication app(argc, argv);
  QQuickStyle::setStyle(QStringLiteral("Material"));
  kavrano::registerQuickUiTypes();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

#include "quick_ui_test.moc"
