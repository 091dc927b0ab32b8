#include "scene.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "saver/movie_frame.h"

namespace fs = std::filesystem;

namespace {

const std::string kData = std::string(QRV_SOURCE_DIR) + "/data/QR06V2XLM";

TEST(Scene, LayoutFollowsTheWindowSize) {
  // The frame of the visualisation: 3.375 % left, 15.5 % top, 93.625 % wide, 75.33334 % high.
  const MovieFrame f = MovieFrameFor(1024, 768);
  EXPECT_FLOAT_EQ(f.left, 34.56f);
  EXPECT_FLOAT_EQ(f.top, 119.04f);
  EXPECT_FLOAT_EQ(f.width, 958.72f);
  EXPECT_NEAR(f.height, 578.56f, 0.01f);

  std::vector<std::string> warnings;
  Scene scene(kData, "", {}, 0, 0, [&](const std::string& w) { warnings.push_back(w); });
  EXPECT_TRUE(warnings.empty());
  ASSERT_TRUE(scene.Resize(1920, 1080));
  PixelRect r = scene.Visualisation().FrameRect();
  EXPECT_EQ(r, (PixelRect{65, 167, 1797, 814}));
  // A small preview window gets the same proportions.
  ASSERT_TRUE(scene.Resize(320, 240));
  r = scene.Visualisation().FrameRect();
  EXPECT_EQ(r, (PixelRect{11, 37, 299, 181}));
}

TEST(Scene, BadOrMissingVisualisationWarnsOnceAndPlaysTheDefault) {
  char tmpl[] = "/tmp/qrv_scene_XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  std::ofstream(dir + "/broken.vsi") << "{\"v\":\"5.5.2\",\"fr\":30,\"w\":";  // cut short
  std::ofstream(dir + "/notjson.vsi") << "hello";
  for (const std::string choice : {dir + "/broken.vsi", dir + "/notjson.vsi", dir + "/missing.vsi", std::string("NoSuchName")}) {
    std::vector<std::string> warnings;
    Scene scene(kData, choice, {}, 0, 0, [&](const std::string& w) { warnings.push_back(w); });
    ASSERT_EQ(warnings.size(), 1u) << choice;
    EXPECT_NE(warnings[0].find("playing the default one"), std::string::npos) << warnings[0];
    EXPECT_TRUE(scene.Visualisation().Loaded()) << choice;
    EXPECT_TRUE(scene.Visualisation().Playing()) << choice;
  }
  fs::remove_all(dir);
}

TEST(Scene, ComposesBackgroundMovieAndTitle) {
  // A red background: the margins around the frame keep it, the frame shows the movie.
  const std::vector<uint32_t> red(8 * 6, 0xFFFF0000u);
  Scene scene(kData, "", red, 8, 6, [](const std::string&) {});
  ASSERT_TRUE(scene.Resize(400, 300));
  ASSERT_TRUE(scene.Tick(0));
  const uint32_t* px = scene.Render();
  ASSERT_NE(px, nullptr);
  // Bottom-left corner lies outside the frame and, in the shipped title, uncovered.
  EXPECT_EQ(px[299 * 400 + 0], 0xFFFF0000u);
  // Something other than the background inside the frame.
  const PixelRect f = scene.Visualisation().FrameRect();
  int differ = 0;
  for (int y = f.y; y < f.y + f.h; y += 4)
    for (int x = f.x; x < f.x + f.w; x += 4) differ += px[y * 400 + x] != 0xFFFF0000u;
  EXPECT_GT(differ, 100);
}

TEST(Scene, TheCoreDrawLimitsReachEveryLayer) {
  Scene scene(kData, "", {}, 0, 0, [](const std::string&) {});
  scene.SetQuality(QualityChoice::High);
  ASSERT_TRUE(scene.Resize(640, 480));
  const Compositor& layers = scene.Layers();
  // Renders one picture at now_ms; for each loaded layer, how long until its
  // next frame and at what resolution it was drawn.
  struct Seen {
    std::string name;
    double gap_ms;
    double scale;
  };
  auto draw = [&](double now_ms) {
    scene.InvalidateAll();
    scene.Tick(now_ms);
    EXPECT_NE(scene.Render(), nullptr);
    std::vector<Seen> seen;
    for (size_t i = 0; i < layers.LayerCount(); ++i) {
      const MoviePlayer& p = layers.LayerAt(i);
      if (!p.Loaded() || !p.Playing()) continue;
      seen.push_back({layers.LayerName(i), p.NextFrameDueMs(now_ms) - now_ms, p.RenderScale()});
    }
    return seen;
  };

  // On mains, each movie at its own rate and, at High quality, full resolution.
  std::vector<Seen> seen = draw(0);
  ASSERT_GE(seen.size(), 2u);  // the visualisation and the title
  for (const Seen& s : seen) {
    EXPECT_LE(s.gap_ms, 1000.0 / 24 + 1) << s.name;
    EXPECT_EQ(s.scale, 1) << s.name;
  }
  // On battery: the core's limits, in every player.
  PowerState battery;
  battery.on_battery = true;
  scene.ApplyDrawLimits(ChooseDrawLimits(battery));
  seen = draw(1000);
  for (const Seen& s : seen) {
    EXPECT_GE(s.gap_ms, 1000.0 / kSavingMaxFps - 1) << s.name;
    EXPECT_EQ(s.scale, kSavingRenderScale) << s.name;
  }
  // Back on mains: lifted again.
  scene.ApplyDrawLimits(ChooseDrawLimits(PowerState{}));
  seen = draw(2000);
  for (const Seen& s : seen) {
    EXPECT_LE(s.gap_ms, 1000.0 / 24 + 1) << s.name;
    EXPECT_EQ(s.scale, 1) << s.name;
  }
}

}  // namespace
