#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "movie/compositor.h"
#include "saver/frm_app_layers.h"
#include "movie_fixtures.h"

using namespace movie_fixtures;

namespace {

constexpr uint32_t kBlack = 0xFF000000u;
constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kBlue = 0xFF0000FFu;
constexpr uint32_t kRed = 0xFFFF0000u;
constexpr uint32_t kGreen = 0xFF00FF00u;
constexpr uint32_t kYellow = 0xFFFFFF00u;

// Independent reference: round(x * (255 - a) / 255) added to src, per byte.
uint32_t ReferenceBlend(uint32_t d, uint32_t s) {
  const uint32_t ia = 255 - (s >> 24);
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const uint32_t x = (d >> shift) & 0xFF;
    const uint32_t scaled = (2 * x * ia + 255) / 510;
    out |= std::min<uint32_t>(255, ((s >> shift) & 0xFF) + scaled) << shift;
  }
  return out;
}

// A 20 x 12 picture of four solid quadrants: blue, red / green, yellow.
std::vector<uint32_t> Quadrants() {
  std::vector<uint32_t> bg(20 * 12);
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 20; ++x) bg[size_t(y * 20 + x)] = y < 6 ? (x < 10 ? kBlue : kRed) : (x < 10 ? kGreen : kYellow);
  }
  return bg;
}

// The saver window's layers, patient with slow renders.
FrmAppLayers SaverLayers(Compositor& c) {
  const FrmAppLayers layers = AddFrmAppLayers(c);
  MakePatient(c);
  return layers;
}
MoviePlayer& Movie(Compositor& c) { return *c.FindLayer("Movie"); }
MoviePlayer& Title(Compositor& c) { return *c.FindLayer("MovTitle"); }

struct Screen {
  Compositor c;
  const FrmAppLayers layers = SaverLayers(c);
  MoviePlayer& FlashLoad = layers.FlashLoad;
  MoviePlayer& Movie = layers.Movie;
  MoviePlayer& MovTitle = layers.MovTitle;
  const uint32_t* px = nullptr;
  explicit Screen(int w = 100, int h = 60) {
    c.Resize(w, h);
    const std::vector<uint32_t> bg = Quadrants();
    c.SetBackground(bg.data(), 20, 12);
  }
  void Show() {
    c.SetCoverVisible(false);
    px = c.Render();
  }
  uint32_t At(int x, int y) const { return px[size_t(y) * size_t(c.Width()) + size_t(x)]; }
};

}  // namespace

TEST(Blend, ScalarMatchesTheRoundedFormulaForEveryAlphaAndValue) {
  for (uint32_t a = 0; a < 256; ++a) {
    for (uint32_t d = 0; d < 256; ++d) {
      // A premultiplied source: its colour bytes never exceed alpha.
      const uint32_t s = (a << 24) | ((a / 2) << 16) | ((a / 3) << 8) | (a & 0x55);
      const uint32_t dst = (d << 24) | (d << 16) | ((255 - d) << 8) | d;
      uint32_t out = dst;
      BlendOverScalar(&out, &s, 1);
      ASSERT_EQ(out, ReferenceBlend(dst, s)) << "a=" << a << " d=" << d;
    }
  }
}

#if defined(__SSE2__)
TEST(Blend, Sse2AndScalarGiveTheSameBytes) {
  std::mt19937 rng(2006);
  for (size_t n : {size_t(0), size_t(1), size_t(3), size_t(4), size_t(7), size_t(64), size_t(1001)}) {
    std::vector<uint32_t> src(n), dst(n);
    for (size_t i = 0; i < n; ++i) {
      // Mix transparent, opaque, premultiplied and arbitrary (invalid) pixels.
      const uint32_t r = rng();
      switch (r % 5) {
        case 0: src[i] = 0; break;
        case 1: src[i] = 0xFF000000u | (r >> 8); break;
        case 2: {
          const uint32_t a = r >> 24;
          src[i] = (a << 24) | ((((r >> 16) & 0xFF) * a / 255) << 16) | ((((r >> 8) & 0xFF) * a / 255) << 8) |
                   ((r & 0xFF) * a / 255);
          break;
        }
        default: src[i] = rng(); break;
      }
      dst[i] = rng();
    }
    // Runs of four alike exercise the whole-block shortcuts.
    if (n >= 64) {
      for (size_t i = 8; i < 12; ++i) src[i] = 0;
      for (size_t i = 16; i < 20; ++i) src[i] = 0xFF123456u;
    }
    std::vector<uint32_t> a = dst, b = dst;
    BlendOverSse2(a.data(), src.data(), n);
    BlendOverScalar(b.data(), src.data(), n);
    EXPECT_EQ(a, b) << n;
  }
}
#endif

TEST(Compositor, BackgroundIsStretchedOverTheClientArea) {
  Screen s(100, 60);
  s.Show();
  ASSERT_NE(s.px, nullptr);
  EXPECT_EQ(s.At(0, 0), kBlue);
  EXPECT_EQ(s.At(99, 0), kRed);
  EXPECT_EQ(s.At(0, 59), kGreen);
  EXPECT_EQ(s.At(99, 59), kYellow);
  EXPECT_EQ(s.At(20, 10), kBlue);  // inside a quadrant: nothing mixed in
  EXPECT_NE(s.At(50, 10), kBlue);  // at the seam the colours are mixed
  EXPECT_NE(s.At(50, 10), kRed);
  for (int y = 0; y < 60; ++y) ASSERT_EQ(s.At(50, y) >> 24, 0xFFu) << "opaque everywhere";

  // An alpha byte of 0 in the picture (as GDI leaves it) is still opaque.
  const uint32_t gdi[1] = {0x00336699u};
  s.c.SetBackground(gdi, 1, 1);
  EXPECT_TRUE(s.c.Tick(0));
  s.px = s.c.Render();
  EXPECT_EQ(s.At(70, 30), 0xFF336699u);

  s.c.SetBackgroundVisible(false);
  s.px = s.c.Render();
  EXPECT_EQ(s.At(70, 30), kBlack);
  s.c.SetBackgroundVisible(true);
  s.c.SetBackground(nullptr, 0, 0);
  s.px = s.c.Render();
  EXPECT_EQ(s.At(70, 30), kBlack);
}

TEST(Compositor, MovieIsFittedInItsFrame) {
  const struct {
    const char* scale;
    uint32_t at_25, at_35, at_65;  // along y = 20, frame x 20..60
  } cases[] = {
      {"ShowAll", kBlue, kWhite, kRed},  // content x 30..50: the quadrant colours show beside it
      {"ExactFit", kWhite, kWhite, kRed},
  };
  for (const auto& c : cases) {
    Screen s(100, 60);
    s.Movie.SetScale(c.scale);
    s.Movie.SetPlacement(20, 10, 40, 20);
    s.Movie.LoadMovie(0, "");  // nothing yet
    ASSERT_TRUE(s.Movie.LoadMovieData(BoxMovie()));
    s.Show();
    EXPECT_EQ(s.At(25, 20), c.at_25) << c.scale;
    EXPECT_EQ(s.At(35, 20), c.at_35) << c.scale;
    EXPECT_EQ(s.At(65, 20), c.at_65) << c.scale;
    EXPECT_EQ(s.At(35, 9), kBlue) << c.scale;   // above the frame
    EXPECT_EQ(s.At(35, 36), kGreen) << c.scale;  // below the frame
    EXPECT_EQ(s.At(35, 29), kWhite) << c.scale;
  }
}

TEST(Compositor, TitleLiesOverEverything) {
  Screen s(100, 60);
  s.Movie.SetPlacement(0, 0, 100, 60);
  s.Movie.SetScale("ExactFit");
  ASSERT_TRUE(s.Movie.LoadMovieData(BoxMovie(10, 10, 10, 10, Static("[1,1,1,1]"))));
  // The title: a half-transparent black box over the left half of a wide movie.
  s.MovTitle.SetPlacement(0, 0, 100, 60);
  ASSERT_TRUE(s.MovTitle.LoadMovieData(
      Doc(Header(20, 10), ShapeLayer(BoxGroup(10, 10, 5, 5, Static("[0,0,0,1]"), "50")))));
  s.Show();
  const uint32_t half_white = s.At(10, 30);
  EXPECT_EQ(half_white >> 24, 0xFFu);
  EXPECT_NEAR(int(half_white & 0xFF), 128, 2);
  EXPECT_EQ(half_white & 0xFF, (half_white >> 8) & 0xFF);
  EXPECT_EQ(s.At(90, 30), kWhite);  // the title's transparent half
}

TEST(Compositor, CoverHidesEverythingButTheLoader) {
  Screen s(200, 100);
  s.Movie.SetPlacement(0, 0, 200, 100);
  ASSERT_TRUE(s.Movie.LoadMovieData(BoxMovie()));
  s.MovTitle.SetPlacement(0, 0, 200, 100);
  ASSERT_TRUE(s.MovTitle.LoadMovieData(BoxMovie()));
  ASSERT_TRUE(s.FlashLoad.LoadMovieData(BoxMovie()));
  ASSERT_TRUE(s.c.CoverVisible());
  const uint32_t* px = s.c.Render();
  auto at = [&](int x, int y) { return px[size_t(y) * 200 + size_t(x)]; };
  // The loader's frame is (16,16) 113 x 43: its square movie sits in the
  // middle, x 51..94, on the loader's black.
  EXPECT_EQ(at(60, 30), kWhite);
  EXPECT_EQ(at(93, 58), kWhite);
  EXPECT_EQ(at(20, 30), kBlack);
  EXPECT_EQ(at(100, 30), kBlack);
  EXPECT_EQ(at(5, 5), kBlack);
  EXPECT_EQ(at(150, 80), kBlack);
  EXPECT_EQ(at(60, 62), kBlack);

  // Without the cover the loader is gone and the others show.
  s.c.SetCoverVisible(false);
  px = s.c.Render();
  EXPECT_EQ(at(5, 5), kWhite);
  EXPECT_EQ(at(150, 80), kWhite);
}

TEST(Compositor, TickReportsOnlyRealChanges) {
  Screen s(100, 60);
  s.Movie.SetPlacement(0, 0, 100, 60);
  ASSERT_TRUE(s.Movie.LoadMovieData(RampMovie()));
  s.Show();
  EXPECT_FALSE(s.c.Tick(0)) << "just rendered";
  EXPECT_TRUE(std::isinf(s.c.NextDueMs(0))) << "the movie is stopped";
  EXPECT_FALSE(s.c.Tick(5000));

  s.Movie.Play();
  EXPECT_DOUBLE_EQ(s.c.NextDueMs(6000), 6000);
  EXPECT_FALSE(s.c.Tick(6000));  // the clock starts
  EXPECT_DOUBLE_EQ(s.c.NextDueMs(6000), 6100);
  EXPECT_FALSE(s.c.Tick(6099));
  EXPECT_TRUE(s.c.Tick(6100));
  EXPECT_DOUBLE_EQ(s.c.NextDueMs(6100), 6100) << "a repaint is pending";
  s.c.Render();
  EXPECT_FALSE(s.c.Tick(6100));
  EXPECT_DOUBLE_EQ(s.c.NextDueMs(6100), 6200);

  // Changes made by the window count too.
  s.Movie.Stop();
  EXPECT_FALSE(s.c.Tick(7000));
  s.Movie.SetPlacement(10, 0, 90, 60);
  EXPECT_TRUE(s.c.Tick(7000));
  s.c.Render();
  s.c.SetBackgroundVisible(false);
  EXPECT_TRUE(s.c.Tick(7000));
  s.c.Render();
  s.c.Resize(100, 60);
  EXPECT_FALSE(s.c.Tick(7000)) << "same size";
  s.c.Resize(120, 60);
  EXPECT_TRUE(s.c.Tick(7000));
  s.c.Render();

  // A playing layer under the cover is not watched.
  s.c.SetCoverVisible(true);
  s.c.Render();
  s.Movie.Play();
  EXPECT_FALSE(s.c.Tick(8000));
  EXPECT_FALSE(s.c.Tick(8500));
  EXPECT_TRUE(std::isinf(s.c.NextDueMs(8500)));
}

TEST(Compositor, RepaintingWhatChangedMatchesAFullComposition) {
  // One compositor follows a playing movie frame by frame, repainting only
  // what changed; a fresh one composes the same state from scratch.
  auto setup = [](Compositor& c) {
    SaverLayers(c);
    c.Resize(90, 50);
    const std::vector<uint32_t> bg = Quadrants();
    c.SetBackground(bg.data(), 20, 12);
    Movie(c).SetPlacement(12.5f, 7.25f, 50, 30);
    Movie(c).SetQuality("Low");  // deterministic, and through the upscaler
    Title(c).SetQuality("High");
    Movie(c).SetPlayOnLoad(true);
    EXPECT_TRUE(Movie(c).LoadMovieData(RampMovie()));
    Title(c).SetPlacement(0, 0, 90, 50);
    EXPECT_TRUE(Title(c).LoadMovieData(Doc(Header(20, 10), ShapeLayer(BoxGroup(10, 10, 5, 5, Static("[1,0,0,1]"), "40")))));
    c.SetCoverVisible(false);
  };
  Compositor follower;
  setup(follower);
  follower.Tick(0);
  follower.Render();
  for (int step = 1; step <= 12; ++step) {
    const double now = step * 100.0;
    ASSERT_TRUE(follower.Tick(now)) << step;
    if (step == 6) Movie(follower).SetPlacement(30, 2, 40, 40);  // moves mid-run
    const uint32_t* got = follower.Render();

    Compositor fresh;
    setup(fresh);
    Movie(fresh).Stop();
    while (Movie(fresh).CurrentFrame() != Movie(follower).CurrentFrame()) {
      Movie(fresh).Play();
      Movie(fresh).Advance(0);
      Movie(fresh).Advance(100);
      Movie(fresh).Stop();
    }
    Movie(fresh).SetPlacement(Movie(follower).Left(), Movie(follower).Top(), Movie(follower).Width(),
                             Movie(follower).Height());
    const uint32_t* want = fresh.Render();
    ASSERT_EQ(std::vector<uint32_t>(got, got + 90 * 50), std::vector<uint32_t>(want, want + 90 * 50)) << step;
  }
}

// The table of layers as a front end builds it: scene layers stack in the
// order they were added, cover layers show only with the cover, and a name
// names one layer.
TEST(Compositor, LayersStackInTheOrderTheyWereAdded) {
  Compositor c;
  c.Resize(40, 20);
  MoviePlayer& low = c.AddLayer("Low", LayerGroup::Scene);
  MoviePlayer& high = c.AddLayer("High", LayerGroup::Scene);
  MoviePlayer& cover = c.AddLayer("Cover", LayerGroup::Cover);
  EXPECT_EQ(&c.AddLayer("Low", LayerGroup::Cover), &low);
  EXPECT_EQ(c.FindLayer("High"), &high);
  EXPECT_EQ(c.FindLayer("high"), nullptr);
  ASSERT_EQ(c.LayerCount(), 3u);
  EXPECT_EQ(c.LayerName(1), "High");
  EXPECT_EQ(c.GroupOf(0), LayerGroup::Scene);
  MakePatient(c);

  // Low fills the screen in red; High covers the left half in green; the
  // cover's layer fills it in blue.
  for (MoviePlayer* p : {&low, &high, &cover}) p->SetWMode("Transparent");
  low.SetScale("ExactFit");
  low.SetPlacement(0, 0, 40, 20);
  ASSERT_TRUE(low.LoadMovieData(BoxMovie(10, 10, 10, 10, Static("[1,0,0,1]"))));
  high.SetScale("ExactFit");
  high.SetPlacement(0, 0, 20, 20);
  ASSERT_TRUE(high.LoadMovieData(BoxMovie(10, 10, 10, 10, Static("[0,1,0,1]"))));
  cover.SetScale("ExactFit");
  cover.SetPlacement(0, 0, 40, 20);
  ASSERT_TRUE(cover.LoadMovieData(BoxMovie(10, 10, 10, 10, Static("[0,0,1,1]"))));

  const uint32_t* px = c.Render();
  EXPECT_EQ(px[10 * 40 + 10], kBlue);
  EXPECT_EQ(px[10 * 40 + 30], kBlue);
  c.SetCoverVisible(false);
  px = c.Render();
  EXPECT_EQ(px[10 * 40 + 10], kGreen);
  EXPECT_EQ(px[10 * 40 + 30], kRed);
}
