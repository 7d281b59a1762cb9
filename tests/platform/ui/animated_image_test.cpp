// The animated-image loader: timing from the GIF's own bytes, decoding with
// Qt's reader, the diagnostics, and the pictures the app ships.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "kavrano/qt_images/animated_image.h"
#include "kavrano/qt_images/resource_image_source.h"

namespace kavrano {
namespace {

// A GIF89a of 2 × 2 pixels over a black-and-white palette, a frame per {delay in
// centiseconds (none: no control extension), colour index 0 or 1 of all its
// pixels}. The frame's LZW data sends a clear code before every pixel, so every
// code stays 3 bits wide: 4 bytes, written out.
QByteArray writeGif(const std::vector<std::pair<std::optional<int>, int>>& frames) {
  QByteArray out = "GIF89a" + QByteArray::fromHex("02000200800000000000ffffff");  // 2 × 2, a table of 2 colours
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

TEST(AnimatedImage, FramesRepeatForTheirShareOfTheCommonDivisorWithAFloorOfATenth) {
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
}

TEST(AnimatedImage, EmptyAndUndecodedFramesGiveNothingToShow) {
  const auto none = animatedImageWithData(writeGif({}));
  ASSERT_TRUE(none) << "a GIF without frames is still a picture";
  EXPECT_TRUE(none->images.isEmpty());
  EXPECT_EQ(none->duration, 0.0);

  // A control extension times only the image after it; the next one plays 0.1 s.
  const auto untimed = animatedImageWithData(writeGif({{20, 1}, {std::nullopt, 0}}));
  ASSERT_TRUE(untimed);
  EXPECT_EQ(colorsOf(*untimed), (QList<int>{1, 1, 0}));

  // A frame that does not decode goes with its delay.
  const QImage still(2, 2, QImage::Format_RGB32);
  const AnimatedImage gappy = animatedImageWithFrames(
      {{still, GifFrameProperties{0.1, 0.1}}, {QImage(), GifFrameProperties{0.5, 0.5}}, {still, std::nullopt}});
  EXPECT_EQ(gappy.images.size(), 2);
  EXPECT_DOUBLE_EQ(gappy.duration, 0.2);
}

TEST(AnimatedImage, MissingUnreadableAndCorruptFilesSayWhyAndGiveNoImage) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.gif")));  // exists, but holds no bytes
  QFile broken(dir.filePath(QStringLiteral("broken.gif")));
  ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
  broken.write("PNG? no, nothing at all");
  broken.close();

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

TEST(AppPictures, ShipSmallAndPlayForAFewSeconds) {
  ResourceImageSource source;
  for (const char* name : {"intro1", "intro2"}) {
    QFile file(QStringLiteral(":/kavrano/intro/%1.gif").arg(QLatin1String(name)));
    EXPECT_LT(file.size(), 1 << 20) << name;
    const QVariant value = source.animatedImage(QLatin1String(name));
    ASSERT_TRUE(value.isValid()) << name;
    const auto picture = pictureOf(value);
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
