#include "saver/fill_fit.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
struct Case {
  int sw, sh, dw, dh;
  CropRect want;
};

TEST(FillCrop, CutsTheLongerSideAndKeepsTheShape) {
  const Case cases[] = {
      {800, 600, 1024, 768, {0, 0, 800, 600}},    // same shape, larger monitor
      {800, 600, 800, 600, {0, 0, 800, 600}},     // same size
      {800, 600, 1920, 1080, {0, 75, 800, 450}},  // wide monitor: top and bottom cut
      {800, 600, 1080, 1920, {231, 0, 338, 600}}, // portrait monitor: sides cut
      {800, 600, 1280, 1024, {25, 0, 750, 600}},  // 5:4
      {1920, 1080, 1920, 1080, {0, 0, 1920, 1080}},
      {1, 1000, 1000, 1, {0, 499, 1, 1}},         // extreme shapes never give an empty crop
  };
  for (const Case& c : cases) {
    const CropRect r = FillCrop(c.sw, c.sh, c.dw, c.dh);
    EXPECT_EQ(r, c.want) << c.sw << "x" << c.sh << " on " << c.dw << "x" << c.dh << ": got " << r.x << ","
                         << r.y << " " << r.w << "x" << r.h;
    // Inside the picture, centred, and of the monitor's shape to within a pixel.
    EXPECT_GE(r.x, 0);
    EXPECT_GE(r.y, 0);
    EXPECT_LE(r.x + r.w, c.sw);
    EXPECT_LE(r.y + r.h, c.sh);
    EXPECT_LE(std::abs((c.sw - r.w) - 2 * r.x), 1);
    EXPECT_LE(std::abs((c.sh - r.h) - 2 * r.y), 1);
    EXPECT_LE(std::abs(double(r.w) * c.dh / c.dw - r.h), 1.0);
  }
}

TEST(FillCrop, EmptySizesGiveNothing) {
  for (const Case& c : {Case{0, 600, 800, 600, {}}, Case{800, 0, 800, 600, {}}, Case{800, 600, 0, 600, {}},
                        Case{800, 600, 800, -5, {}}}) {
    EXPECT_EQ(FillCrop(c.sw, c.sh, c.dw, c.dh), CropRect{});
  }
}
}  // namespace
