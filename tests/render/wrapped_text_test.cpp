// Wrapped text keeps the lines of the last few widths it was asked: the
// kept lines must follow both the width and the text, also once more
// widths have been asked than it keeps.

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "reader_fixture.h"
#include "widgets/rich_text.h"

namespace vrok {
namespace {

TEST(WrappedText, KeptLinesFollowTheWidthAndTheText) {
  test::EnsureQtApp();
  const std::u16string words = u"one two three four five six seven eight nine ten <B>eleven</B>";
  WrappedText kept;
  kept.Set(words, PageFontSpec());
  const int line = QtMeasurer().LineHeight(PageFontSpec());
  // Widths asked in turn, each against text that never answered before.
  for (const int width : {1000, 40, 40, 1000, 120, 40, 1000, 60, 200, 80, 90, 40, 1000, 60}) {
    WrappedText fresh;
    fresh.Set(words, PageFontSpec());
    EXPECT_EQ(kept.HeightFor(width), fresh.HeightFor(width)) << width;
  }
  EXPECT_EQ(kept.HeightFor(1000), line);
  EXPECT_GT(kept.HeightFor(40), 3 * line);

  // Drawing at one width does not change the answer for another.
  QImage canvas(40, 400, QImage::Format_ARGB32);
  canvas.fill(Qt::white);
  {
    QPainter g(&canvas);
    kept.Draw(g, QRect(0, 0, 40, 400), Qt::black);
  }
  EXPECT_EQ(kept.HeightFor(1000), line);

  // New text at the same width is broken anew.
  const int narrow = kept.HeightFor(40);
  kept.Set(u"one", PageFontSpec());
  EXPECT_EQ(kept.HeightFor(40), line);
  kept.Set(words, PageFontSpec());
  EXPECT_EQ(kept.HeightFor(40), narrow);
}

}  // namespace
}  // namespace vrok
