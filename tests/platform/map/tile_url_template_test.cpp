#include <gtest/gtest.h>

#include "kavrano/qt_map/tile_url_template.h"

namespace kavrano {
namespace {

TEST(TileUrlTemplate, FillsPlaceholdersPicksASteadySubdomainAndRefusesWhatCannotAddressTiles) {
  const TileUrlTemplate t(QStringLiteral("https://{s}.tiles.test/{z}/{x}/{y}.png"));
  ASSERT_TRUE(t.isValid());
  EXPECT_EQ(t.url({3, 5, 2}).toString(), QStringLiteral("https://b.tiles.test/3/5/2.png"));
  EXPECT_EQ(t.url({3, 5, 2}), t.url({3, 5, 2})) << "same tile, same host, so the cache works";
  EXPECT_EQ(t.url({1, 0, 0}).host(), QStringLiteral("a.tiles.test"));
  const TileUrlTemplate yx(QStringLiteral("http://127.0.0.1:8080/tile/{z}/{y}/{x}"));
  ASSERT_TRUE(yx.isValid());
  EXPECT_EQ(yx.url({19, 300000, 12}).toString(), QStringLiteral("http://127.0.0.1:8080/tile/19/12/300000"));
  for (const char* text : {"https://tiles.test/{z}/{x}.png", "tiles.test/{z}/{x}/{y}", "file:///{z}/{x}/{y}.png",
                           "ftp://tiles.test/{z}/{x}/{y}", "", "https:///{z}/{x}/{y}"})
    EXPECT_FALSE(TileUrlTemplate(QString::fromUtf8(text)).isValid()) << text;
}

}  // namespace
}  // namespace kavrano
