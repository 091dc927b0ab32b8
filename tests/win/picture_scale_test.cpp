// Smooth scaling of the dialog's pictures: sizes, flat colours kept exactly,
// and edges blended rather than copied from the nearest pixel.
#include "shared/picture.h"

#include <gtest/gtest.h>

namespace {
Picture Flat(int w, int h, uint32_t colour) {
  Picture p;
  p.width = w;
  p.height = h;
  p.pixels.assign(static_cast<size_t>(w) * h, colour);
  return p;
}
uint32_t Channel(uint32_t p, int c) { return (p >> (8 * c)) & 0xFF; }
}  // namespace

TEST(ScalePictureSmooth, KeepsFlatColoursAtEverySize) {
  const Picture src = Flat(25, 25, 0xFF336699u);
  for (int size : {1, 12, 25, 38, 50, 100}) {
    const Picture out = ScalePictureSmooth(src, size, size + 3);
    ASSERT_EQ(out.width, size);
    ASSERT_EQ(out.height, size + 3);
    for (uint32_t p : out.pixels) ASSERT_EQ(p, 0xFF336699u) << size;
  }
  EXPECT_TRUE(ScalePictureSmooth(Picture{}, 10, 10).empty());
  EXPECT_TRUE(ScalePictureSmooth(src, 0, 10).empty());
}

TEST(ScalePictureSmooth, BlendsAnEdgeWhenEnlarging) {
  // Left half black, right half white, doubled: the pixels at the edge are
  // grey, the far ends stay pure.
  Picture src = Flat(4, 1, 0xFF000000u);
  src.pixels[2] = src.pixels[3] = 0xFFFFFFFFu;
  const Picture out = ScalePictureSmooth(src, 8, 2);
  EXPECT_EQ(Channel(out.pixels[0], 0), 0u);
  EXPECT_EQ(Channel(out.pixels[7], 0), 255u);
  const uint32_t mid_left = Channel(out.pixels[3], 0), mid_right = Channel(out.pixels[4], 0);
  EXPECT_GT(mid_left, 0u);
  EXPECT_LT(mid_right, 255u);
  EXPECT_LT(mid_left, mid_right);
  // Shrinking a one-pixel checker gives its average, not one of its colours.
  Picture checker = Flat(8, 8, 0xFF000000u);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      if ((x + y) % 2) checker.pixels[static_cast<size_t>(y) * 8 + x] = 0xFFFFFFFFu;
  const Picture small = ScalePictureSmooth(checker, 2, 2);
  for (uint32_t p : small.pixels) {
    EXPECT_GT(Channel(p, 1), 90u);
    EXPECT_LT(Channel(p, 1), 165u);
  }
}
