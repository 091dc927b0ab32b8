// Gradient fills drawn by the renderer across a wide picture: the colour at
// every point follows the gradient's geometry, also far along a long row
// (a row is filled in pieces), for opaque gradients (written straight into
// the picture) and translucent ones (blended over what is below).
#include <gtest/gtest.h>

#include <rlottie.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kW = 4096;
constexpr int kH = 8;

// A kW x kH movie: one rectangle over the whole picture filled with `fill`,
// over a red rectangle when `redBelow`.
std::string Movie(const std::string& fill, bool redBelow) {
  const std::string ks =
      R"("ks":{"o":{"a":0,"k":100},"r":{"a":0,"k":0},"p":{"a":0,"k":[0,0]},"a":{"a":0,"k":[0,0]},"s":{"a":0,"k":[100,100]}})";
  const std::string rect = R"({"ty":"rc","d":1,"s":{"a":0,"k":[)" + std::to_string(kW) + "," +
                           std::to_string(kH) + R"(]},"p":{"a":0,"k":[)" + std::to_string(kW / 2) + "," +
                           std::to_string(kH / 2) + R"(]},"r":{"a":0,"k":0}})";
  std::string layers = R"({"ty":4,"ind":1,"ip":0,"op":1,"st":0,)" + ks + R"(,"shapes":[)" + rect + "," + fill + "]}";
  if (redBelow)
    layers += R"(,{"ty":4,"ind":2,"ip":0,"op":1,"st":0,)" + ks + R"(,"shapes":[)" + rect +
              R"(,{"ty":"fl","o":{"a":0,"k":100},"r":1,"c":{"a":0,"k":[1,0,0,1]}}]})";
  return R"({"v":"5.5.2","fr":30,"ip":0,"op":1,"w":)" + std::to_string(kW) + R"(,"h":)" + std::to_string(kH) +
         R"(,"layers":[)" + layers + "]}";
}

// A black-to-white gradient fill; `type` 1 linear from the left edge to the
// right one, 2 radial around the left edge's middle reaching the right edge.
// `alpha` is the opacity of both stops.
std::string Gradient(int type, double alpha) {
  const std::string a = std::to_string(alpha);
  return R"({"ty":"gf","o":{"a":0,"k":100},"r":1,"t":)" + std::to_string(type) +
         R"(,"s":{"a":0,"k":[0,)" + std::to_string(kH / 2) + R"(]},"e":{"a":0,"k":[)" + std::to_string(kW) + "," +
         std::to_string(kH / 2) + R"(]},"h":{"a":0,"k":0},"a":{"a":0,"k":0},"g":{"p":2,"k":{"a":0,"k":[0,0,0,0,1,1,1,1,0,)" +
         a + ",1," + a + "]}}}";
}

struct Case {
  const char* name;
  int type;
  double alpha;
  bool redBelow;
};

TEST(RendererGradient, ColourFollowsTheGradientAlongAWideRow) {
  const Case cases[] = {
      {"linear, opaque", 1, 1.0, false},
      {"radial, opaque", 2, 1.0, false},
      {"linear, half transparent over red", 1, 0.5, true},
      {"radial, half transparent over red", 2, 0.5, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto anim = rlottie::Animation::loadFromData(Movie(Gradient(c.type, c.alpha), c.redBelow), c.name, "", false);
    ASSERT_TRUE(anim);
    std::vector<uint32_t> px(size_t(kW) * kH, 0u);
    rlottie::Surface surface(px.data(), kW, kH, size_t(kW) * 4);
    anim->renderSync(0, surface, false);
    // The middle row, where the radial gradient's distance is x itself.
    int worst = 0, worstX = 0;
    for (int x = 0; x < kW; ++x) {
      const uint32_t p = px[size_t(kH / 2) * kW + x];
      const double grey = 255.0 * (x + 0.5) / kW;
      const double red = c.redBelow ? grey * c.alpha + 255.0 * (1 - c.alpha) : grey;
      const double green = c.redBelow ? grey * c.alpha : grey;
      const int dr = std::abs(int((p >> 16) & 0xFF) - int(std::lround(red)));
      const int dg = std::abs(int((p >> 8) & 0xFF) - int(std::lround(green)));
      const int da = std::abs(int(p >> 24) - 255);
      const int d = std::max(dr, std::max(dg, da));
      if (d > worst) {
        worst = d;
        worstX = x;
      }
    }
    EXPECT_LE(worst, 4) << "at x = " << worstX;
  }
}

}  // namespace
