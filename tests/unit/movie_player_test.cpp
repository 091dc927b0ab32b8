#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "movie/lottie_validator.h"
#include "movie/movie_player.h"
#include "movie_fixtures.h"

using namespace movie_fixtures;

namespace {

// Frame numbers seen at the given times, with the clock started at 0.
std::vector<size_t> FramesAt(MoviePlayer& p, std::initializer_list<double> times) {
  std::vector<size_t> out;
  for (double t : times) {
    p.Advance(t);
    out.push_back(p.CurrentFrame());
  }
  return out;
}

uint32_t Grey(const LayerPicture& pic) { return pic.pixels ? (pic.pixels[0] & 0xFF) : 0; }

std::string TempPath(const char* name) { return ::testing::TempDir() + name; }

}  // namespace

TEST(MoviePlayer, LoopingMovieRestartsAtItsEnd) {
  PatientPlayer p;
  ASSERT_TRUE(p.LoadMovieData(RampMovie()));
  EXPECT_EQ(p.TotalFrames(), 10u);
  EXPECT_DOUBLE_EQ(p.FrameRate(), 10);
  EXPECT_TRUE(p.Playing());  // plays on load by default
  EXPECT_EQ(FramesAt(p, {1000, 1099, 1100, 1950, 2000, 2050, 2100, 3250, 11000}),
            (std::vector<size_t>{0, 0, 1, 9, 0, 0, 1, 2, 0}));
  EXPECT_TRUE(p.Playing());
}

TEST(MoviePlayer, MovieWithoutLoopHoldsItsLastFrame) {
  PatientPlayer p;
  p.SetLoop(false);
  ASSERT_TRUE(p.LoadMovieData(RampMovie()));
  EXPECT_EQ(FramesAt(p, {0, 500, 899, 900, 1000, 5000}), (std::vector<size_t>{0, 5, 8, 9, 9, 9}));
  EXPECT_FALSE(p.Playing());
  EXPECT_TRUE(std::isinf(p.NextFrameDueMs(5000)));
  // Play at the end changes nothing.
  p.Play();
  EXPECT_FALSE(p.Advance(6000));
  EXPECT_FALSE(p.Advance(7000));
  EXPECT_EQ(p.CurrentFrame(), 9u);
}

TEST(MoviePlayer, StopKeepsTheFrameAndPlayResumesFromIt) {
  PatientPlayer p;
  ASSERT_TRUE(p.LoadMovieData(RampMovie()));
  p.Advance(0);
  EXPECT_TRUE(p.Advance(300));
  const uint64_t before = p.Revision();
  p.Stop();
  EXPECT_FALSE(p.Advance(2000));
  EXPECT_EQ(p.CurrentFrame(), 3u);
  EXPECT_EQ(p.Revision(), before);
  EXPECT_TRUE(std::isinf(p.NextFrameDueMs(2000)));
  p.Play();
  EXPECT_FALSE(p.Advance(5000));  // the clock restarts here, at frame 3
  EXPECT_DOUBLE_EQ(p.NextFrameDueMs(5000), 5100);
  EXPECT_DOUBLE_EQ(p.NextFrameDueMs(5040), 5100);
  EXPECT_TRUE(p.Advance(5100));
  EXPECT_EQ(p.CurrentFrame(), 4u);
  p.StopPlay();
  EXPECT_FALSE(p.Advance(9000));
  EXPECT_EQ(p.CurrentFrame(), 4u);
}

TEST(MoviePlayer, StoppedOnLoadShowsTheFirstFrame) {
  PatientPlayer p;
  p.SetPlayOnLoad(false);
  ASSERT_TRUE(p.LoadMovieData(RampMovie()));
  EXPECT_FALSE(p.Playing());
  EXPECT_FALSE(p.Advance(0));
  EXPECT_FALSE(p.Advance(1000));
  EXPECT_EQ(p.CurrentFrame(), 0u);
}

TEST(MoviePlayer, TheFrameOnScreenFollowsTheClock) {
  PatientPlayer p;
  p.SetPlacement(0, 0, 10, 10);
  ASSERT_TRUE(p.LoadMovieData(RampMovie()));
  p.Advance(0);
  uint32_t last = Grey(p.Picture());
  EXPECT_EQ(last, 0u);  // black at frame 0
  for (int f = 1; f < 10; ++f) {
    p.Advance(f * 100.0);
    const LayerPicture pic = p.Picture();
    ASSERT_NE(pic.pixels, nullptr);
    EXPECT_EQ(pic.pixels[0] >> 24, 0xFFu);
    EXPECT_GT(Grey(pic), last) << "frame " << f;
    last = Grey(pic);
  }
  EXPECT_EQ(last, 0xFFu);
}

TEST(MoviePlayer, BadFilesLeaveTheLayerEmpty) {
  const std::string good_path = TempPath("movie_good.vsi");
  const std::string big_path = TempPath("movie_big.vsi");
  const std::string bad_path = TempPath("movie_bad.vsi");
  {
    std::ofstream(good_path, std::ios::binary) << RampMovie();
    std::string big = RampMovie();
    big.resize(lottie_limits::kMaxBytes + 1, ' ');
    std::ofstream(big_path, std::ios::binary) << big;
    std::ofstream(bad_path, std::ios::binary) << R"({"v":"5","w":10,"h":10,"fr":0,"ip":0,"op":10,"layers":[]})";
  }
  PatientPlayer p;
  p.SetPlacement(0, 0, 10, 10);
  for (const std::string& path :
       {big_path, bad_path, TempPath("movie_missing.vsi"), ::testing::TempDir(), std::string()}) {
    p.LoadMovie(0, good_path);
    ASSERT_TRUE(p.Loaded());
    p.LoadMovie(0, path);
    EXPECT_FALSE(p.Loaded()) << path;
    EXPECT_FALSE(p.Playing()) << path;
    EXPECT_EQ(p.Picture().pixels, nullptr) << path;
    EXPECT_TRUE(p.Picture().fill == p.FrameRect()) << "Window mode still paints its frame";
  }
  // Only layer 0 exists: loading elsewhere leaves the movie alone.
  p.LoadMovie(0, good_path);
  p.LoadMovie(1, bad_path);
  EXPECT_TRUE(p.Loaded());
  std::remove(good_path.c_str());
  std::remove(big_path.c_str());
  std::remove(bad_path.c_str());
}

TEST(MoviePlayer, ScaleFitsTheMovieInItsFrame) {
  const struct {
    const char* scale;
    float l, t, w, h;
    PixelRect content;
  } cases[] = {
      {"ShowAll", 0, 0, 40, 20, {10, 0, 20, 20}},   // pillar-boxed
      {"ShowAll", 5, 7, 20, 60, {5, 27, 20, 20}},   // letter-boxed
      {"showall", 0, 0, 10, 10, {0, 0, 10, 10}},
      {"ExactFit", 0, 0, 40, 20, {0, 0, 40, 20}},
      {"EXACTFIT", 2.4f, 2.6f, 10, 10, {2, 3, 10, 10}},
      {"ShowAll", 0, 0, 0, 20, {0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    PatientPlayer p;
    p.SetScale(c.scale);
    p.SetPlacement(c.l, c.t, c.w, c.h);
    ASSERT_TRUE(p.LoadMovieData(BoxMovie()));
    EXPECT_TRUE(p.ContentRect() == c.content) << c.scale << " " << c.w << "x" << c.h;
    const LayerPicture pic = p.Picture();
    if (c.content.Empty()) {
      EXPECT_EQ(pic.pixels, nullptr);
      continue;
    }
    ASSERT_NE(pic.pixels, nullptr);
    EXPECT_TRUE(pic.rect == c.content);
    // The white box covers the whole fitted picture, corners included.
    const size_t n = size_t(pic.rect.w) * size_t(pic.rect.h);
    EXPECT_EQ(pic.pixels[0], 0xFFFFFFFFu) << c.scale;
    EXPECT_EQ(pic.pixels[n - 1], 0xFFFFFFFFu) << c.scale;
  }
}

TEST(MoviePlayer, WindowModePaintsTheFrameWithItsColour) {
  const struct {
    const char* wmode;
    const char* bgcolor;
    bool filled;
    uint32_t color;
  } cases[] = {
      {"Window", "000000", true, 0xFF000000u},
      {"window", "FF8000", true, 0xFFFF8000u},
      {"Window", "", true, 0xFF000000u},
      {"Window", "nonsense", true, 0xFF000000u},
      {"Transparent", "FF8000", false, 0},
  };
  for (const auto& c : cases) {
    PatientPlayer p;
    p.SetWMode(c.wmode);
    p.SetBGColor(c.bgcolor);
    p.SetPlacement(3, 4, 40, 20);
    ASSERT_TRUE(p.LoadMovieData(BoxMovie()));
    const LayerPicture pic = p.Picture();
    EXPECT_EQ(!pic.fill.Empty(), c.filled) << c.wmode;
    if (c.filled) {
      EXPECT_TRUE(pic.fill == (PixelRect{3, 4, 40, 20}));
      EXPECT_EQ(pic.fill_color, c.color) << c.bgcolor;
    }
    EXPECT_TRUE(p.Footprint() == (c.filled ? p.FrameRect() : p.ContentRect()));
  }
}

TEST(MoviePlayer, QualityChoosesTheRenderResolution) {
  // Each render "takes" cost_ms on the fake clock; the budget at 10 fps is
  // half of 100 ms.
  const struct {
    const char* quality;
    double cost_ms;
    std::vector<double> scales;  // after renders 1, 2, ...
  } cases[] = {
      {"High", 500, {1, 1, 1, 1}},
      {"Low", 0, {0.5, 0.5, 0.5}},
      {"AutoHigh", 60, {1, 1, 0.5, 0.5, 0.5}},  // two slow renders, then half
      {"AutoHigh", 40, {1, 1, 1, 1, 1}},
      {"AutoLow", 1, {0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 1, 1}},  // eight quick ones, then full
      {"AutoLow", 10, {0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5}},
  };
  for (const auto& c : cases) {
    PatientPlayer p;
    double fake_now = 0;
    bool started = false;
    p.SetCostClock([&] {
      started = !started;
      return fake_now += started ? 0 : c.cost_ms;
    });
    p.SetQuality(c.quality);
    p.SetPlacement(0, 0, 41, 21);
    ASSERT_TRUE(p.LoadMovieData(BoxMovie(10, 10, 10, 20)));
    p.Advance(0);
    for (size_t i = 0; i < c.scales.size(); ++i) {
      p.Advance(100.0 * double(i));
      const LayerPicture pic = p.Picture();
      ASSERT_NE(pic.pixels, nullptr);
      EXPECT_EQ(p.RenderScale(), c.scales[i]) << c.quality << " render " << i + 1;
      // At either resolution the picture has the content's size and the box
      // fills it.
      EXPECT_EQ(pic.rect.w, 21);
      EXPECT_EQ(pic.rect.h, 21);
      EXPECT_EQ(pic.pixels[21 * 10 + 10], 0xFFFFFFFFu);
      EXPECT_EQ(pic.pixels[21 * 21 - 1], 0xFFFFFFFFu);
    }
  }
}

TEST(MoviePlayer, RevisionMarksEveryVisibleChange) {
  PatientPlayer p;
  ASSERT_TRUE(p.LoadMovieData(RampMovie()));
  const struct {
    const char* what;
    std::function<void()> change;
    bool visible;
  } cases[] = {
      {"placement", [&] { p.SetPlacement(1, 2, 3, 4); }, true},
      {"same placement", [&] { p.SetPlacement(1, 2, 3, 4); }, false},
      {"left", [&] { p.SetLeft(5); }, true},
      {"scale", [&] { p.SetScale("ExactFit"); }, true},
      {"wmode", [&] { p.SetWMode("Transparent"); }, true},
      {"colour", [&] { p.SetBGColor("FFFFFF"); }, true},
      {"loop", [&] { p.SetLoop(false); }, false},
      {"menu", [&] { p.SetMenu(false); }, false},
      {"load", [&] { p.LoadMovieData(RampMovie()); }, true},
  };
  for (const auto& c : cases) {
    const uint64_t before = p.Revision();
    c.change();
    EXPECT_EQ(p.Revision() != before, c.visible) << c.what;
  }
}

TEST(Upscale2x, VectorAndScalarAgreeAndKeepSourcePixels) {
  std::mt19937 rng(7);
  for (const auto& size : {std::pair<int, int>{1, 1}, {3, 2}, {4, 4}, {9, 5}, {37, 11}}) {
    const int sw = size.first, sh = size.second;
    std::vector<uint32_t> src(size_t(sw) * size_t(sh));
    for (auto& v : src) v = rng();
    for (int dw : {2 * sw, 2 * sw - 1}) {
      for (int dh : {2 * sh, 2 * sh - 1}) {
        if (dw <= 0 || dh <= 0) continue;
        std::vector<uint32_t> a(size_t(dw) * size_t(dh)), b(a.size());
        Upscale2x(src.data(), sw, sh, a.data(), dw, dh);
        Upscale2xScalar(src.data(), sw, sh, b.data(), dw, dh);
        EXPECT_EQ(a, b) << sw << "x" << sh << " -> " << dw << "x" << dh;
        // Even rows and columns are the source pixels themselves.
        for (int y = 0; y < dh; y += 2) {
          for (int x = 0; x < dw; x += 2) {
            ASSERT_EQ(a[size_t(y) * size_t(dw) + size_t(x)], src[size_t(y / 2) * size_t(sw) + size_t(x / 2)]);
          }
        }
      }
    }
  }
  // Between black and white lies the rounded-up middle grey.
  const uint32_t two[2] = {0xFF000000u, 0xFFFFFFFFu};
  uint32_t out[4];
  Upscale2xScalar(two, 2, 1, out, 4, 1);
  EXPECT_EQ(out[1], 0xFF808080u);
}

TEST(UpscaleBilinear, VectorAndScalarAgreeAndKeepFlatAreasFlat) {
  std::mt19937 rng(11);
  for (const auto& size : {std::pair<int, int>{1, 1}, {3, 2}, {5, 7}, {37, 11}}) {
    const int sw = size.first, sh = size.second;
    std::vector<uint32_t> src(size_t(sw) * size_t(sh));
    // Premultiplied: no colour byte above the alpha.
    for (auto& v : src) {
      const uint32_t a = rng() & 0xFF, r = rng();
      v = a << 24 | ((r & 0xFF) * a / 255) << 16 | ((r >> 8 & 0xFF) * a / 255) << 8 | ((r >> 16 & 0xFF) * a / 255);
    }
    for (const auto& dst : {std::pair<int, int>{sw, sh}, {sw + 1, sh * 2}, {sw * 3 - 1, sh + 5}, {sw * 5, sh * 3}}) {
      const int dw = dst.first, dh = dst.second;
      std::vector<uint32_t> a(size_t(dw) * size_t(dh)), b(a.size());
      UpscaleBilinear(src.data(), sw, sh, a.data(), dw, dh);
      UpscaleBilinearScalar(src.data(), sw, sh, b.data(), dw, dh);
      EXPECT_EQ(a, b) << sw << "x" << sh << " -> " << dw << "x" << dh;
    }
  }
  // A flat picture stays flat at any size, and its corners are the source's.
  std::vector<uint32_t> flat(6 * 4, 0x80402010u), out(17 * 9);
  UpscaleBilinear(flat.data(), 6, 4, out.data(), 17, 9);
  for (uint32_t v : out) ASSERT_EQ(v, 0x80402010u);
  // Black to white three times as wide: black, a ramp, white; a third of
  // the way across lies a third of the way up (85), give or take a step.
  const uint32_t two[2] = {0xFF000000u, 0xFFFFFFFFu};
  uint32_t six[6];
  UpscaleBilinear(two, 2, 1, six, 6, 1);
  EXPECT_EQ(six[0], 0xFF000000u);
  EXPECT_EQ(six[5], 0xFFFFFFFFu);
  for (int i = 1; i < 6; ++i) EXPECT_GE(six[i] & 0xFF, six[i - 1] & 0xFF);
  EXPECT_NEAR(double(six[2] & 0xFF), 85, 2);
}

// A render-pixel budget renders a large picture smaller and stretches it
// back to the content's size; without it the quality decides alone.
TEST(MoviePlayer, RenderPixelBudgetLimitsTheRenderedPixels) {
  PatientPlayer p;
  p.SetQuality("High");
  p.SetPlacement(0, 0, 200, 100);
  ASSERT_TRUE(p.LoadMovieData(BoxMovie(10, 10, 30, 90)));
  p.SetRenderPixelBudget(5000);
  p.Advance(0);
  LayerPicture pic = p.Picture();
  ASSERT_NE(pic.pixels, nullptr);
  EXPECT_EQ(pic.rect.w, 100);
  EXPECT_EQ(pic.rect.h, 100);
  EXPECT_NEAR(p.RenderScale(), std::sqrt(0.5), 1e-9);
  // The box still fills the picture, corners included.
  EXPECT_EQ(pic.pixels[0], 0xFFFFFFFFu);
  EXPECT_EQ(pic.pixels[100 * 100 - 1], 0xFFFFFFFFu);
  EXPECT_EQ(pic.pixels[50 * 100 + 50], 0xFFFFFFFFu);

  const uint64_t before = p.Revision();
  p.SetRenderPixelBudget(0);
  EXPECT_GT(p.Revision(), before) << "the layer is drawn again at full resolution";
  ASSERT_NE(p.Picture().pixels, nullptr);
  EXPECT_EQ(p.RenderScale(), 1);
  // A budget the quality already keeps to changes nothing.
  p.SetQuality("Low");
  p.SetRenderPixelBudget(2500);
  ASSERT_NE(p.Picture().pixels, nullptr);
  EXPECT_EQ(p.RenderScale(), 0.5);
}

// Limits from outside (battery power): at most 15 frame changes a second
// while the movie keeps its pace, renders at a quarter of the resolution;
// lifting them gives every frame at full resolution again.
TEST(MoviePlayer, DrawLimitsCapTheFrameRateAndTheResolution) {
  PatientPlayer p;
  p.SetPlacement(0, 0, 40, 40);
  ASSERT_TRUE(p.LoadMovieData(BoxMovie(10, 10, 30, 90)));
  p.SetDrawLimits(15, 0.25);
  p.Play();
  p.Advance(0);
  std::vector<size_t> frames;
  double now = 0;
  for (int i = 0; i < 4; ++i) {
    now = p.NextFrameDueMs(now);
    ASSERT_TRUE(p.Advance(now));
    frames.push_back(p.CurrentFrame());
  }
  EXPECT_NEAR(now, 4 * 1000.0 / 15, 1e-6);
  EXPECT_EQ(frames, (std::vector<size_t>{2, 4, 6, 8}));
  const LayerPicture quarter = p.Picture();
  ASSERT_NE(quarter.pixels, nullptr);
  EXPECT_EQ(p.RenderScale(), 0.25);
  // Doubled twice, the box fills the picture to its last pixel.
  EXPECT_EQ(quarter.pixels[40 * 40 - 1], 0xFFFFFFFFu);
  EXPECT_EQ(quarter.pixels[20 * 40 + 20], 0xFFFFFFFFu);

  const uint64_t before = p.Revision();
  p.SetDrawLimits(0, 1);
  EXPECT_GT(p.Revision(), before) << "the layer is drawn again at full resolution";
  const double next = p.NextFrameDueMs(now);
  EXPECT_NEAR(next - now, 1000.0 / 30, 1e-6);
  ASSERT_TRUE(p.Advance(next));
  EXPECT_EQ(p.CurrentFrame(), 9u);
  ASSERT_NE(p.Picture().pixels, nullptr);
  EXPECT_EQ(p.RenderScale(), 1);
}
