// Inputs the fuzzer found that once crashed or hung the player, replayed
// through validation, loading and rendering.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "movie/lottie_validator.h"
#include "movie/movie_player.h"
#include "movie_fixtures.h"

namespace {

std::vector<std::string> RegressionFiles() {
  const std::string dir = std::string(QRV_SOURCE_DIR) + "/tests/unit/fuzz_regressions/";
  std::vector<std::string> files;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      if (e->d_name[0] != '.') files.push_back(dir + e->d_name);
    }
    closedir(d);
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

// What each input must do. Refused: the check turns it away and the player
// stays empty. Otherwise it loads, and its first, middle and last frames are
// rendered at a small and a full-screen size without a render being given
// up: Drawn, they give a picture; OutOfReach, their geometry reaches too far
// from the picture to be drawn, and the layer shows nothing.
enum class Outcome { Refused, Drawn, OutOfReach };
struct Expectation {
  const char* file;
  Outcome outcome;
};
constexpr Expectation kExpected[] = {
    {"crash_image_layer_without_image.json", Outcome::Refused},
    {"hang_dashes_on_far_flung_path.json", Outcome::OutOfReach},
    {"hang_star_scaled_past_32k_pixels.json", Outcome::OutOfReach},
    {"hang_tiny_dashes_on_long_curve.json", Outcome::Drawn},
    {"leak_layer_name_given_twice.json", Outcome::Refused},
};

TEST(FuzzRegressions, EachInputIsRefusedOrPlayed) {
  const std::vector<std::string> files = RegressionFiles();
  ASSERT_EQ(files.size(), std::size(kExpected)) << "every file in fuzz_regressions needs its expectation here";
  for (const Expectation& e : kExpected) {
    SCOPED_TRACE(e.file);
    const std::string path = std::string(QRV_SOURCE_DIR) + "/tests/unit/fuzz_regressions/" + e.file;
    ASSERT_NE(std::find(files.begin(), files.end(), path), files.end());
    const std::string bytes = Read(path);
    EXPECT_EQ(ValidateLottie(bytes).ok, e.outcome != Outcome::Refused);
    for (const auto& size : {std::pair<float, float>{48, 36}, {1920, 1080}}) {
      MoviePlayer p;
      p.SetWMode("Transparent");
      p.SetPlacement(0, 0, size.first, size.second);
      p.SetRenderTimeoutMs(30000);
      const bool loaded = p.LoadMovieData(bytes);
      if (e.outcome == Outcome::Refused) {
        EXPECT_FALSE(loaded);
        EXPECT_FALSE(p.Loaded());
        EXPECT_EQ(p.Picture().pixels, nullptr);
        continue;
      }
      ASSERT_TRUE(loaded);
      const double frame_ms = 1000.0 / p.FrameRate();
      p.SetLoop(false);
      for (double f : {0.0, double(p.TotalFrames() - 1) / 2, double(p.TotalFrames() - 1)}) {
        p.Advance(f * frame_ms);
        EXPECT_EQ(p.Picture().pixels != nullptr, e.outcome == Outcome::Drawn)
            << "frame " << f << " at " << size.first << " wide";
      }
      EXPECT_TRUE(p.Loaded()) << "a render was given up";
    }
  }
}

TEST(MoviePlayer, ARenderThatTakesTooLongIsGivenUp) {
  using namespace movie_fixtures;
  // Two hundred outlined circles filling a 1024 x 1024 picture take far
  // longer than the 1 ms allowed here.
  const std::string circles =
      R"({"ty":"gr","it":[{"ty":"el","d":1,"s":{"a":0,"k":[380,380]},"p":{"a":0,"k":[200,200]}},)"
      R"({"ty":"st","c":{"a":0,"k":[1,1,1,1]},"o":{"a":0,"k":100},"w":{"a":0,"k":9},"lc":2,"lj":2},)"
      R"({"ty":"fl","c":{"a":0,"k":[1,0,0,0.5]},"o":{"a":0,"k":100},"r":1},)"
      R"({"ty":"rp","c":{"a":0,"k":200},"o":{"a":0,"k":0},"m":1,"tr":{"ty":"tr","p":{"a":0,"k":[0.1,0.1]},)"
      R"("a":{"a":0,"k":[0,0]},"s":{"a":0,"k":[100,100]},"r":{"a":0,"k":0.3},"so":{"a":0,"k":100},"eo":{"a":0,"k":100}}}]})";
  MoviePlayer p;
  p.SetPlacement(0, 0, 1024, 1024);
  ASSERT_TRUE(p.LoadMovieData(Doc(Header(400, 400), ShapeLayer(circles))));
  p.SetRenderTimeoutMs(1);
  // A render that has not even started within the time allowed is withdrawn
  // and the frame skipped (a busy machine may not run the thread that soon);
  // one that started and ran over is given up with the movie.
  int asked = 0;
  while (p.Loaded()) {
    EXPECT_EQ(p.Picture().pixels, nullptr);
    ++asked;
  }
  EXPECT_GE(asked, 1);
  EXPECT_EQ(p.Picture().pixels, nullptr);
  // The player takes a movie again at once, and draws it once the render
  // that was given up has ended.
  p.SetRenderTimeoutMs(30000);
  p.SetPlacement(0, 0, 10, 10);
  ASSERT_TRUE(p.LoadMovieData(BoxMovie()));
  MoviePlayer::WaitForAbandonedRenders();
  EXPECT_NE(p.Picture().pixels, nullptr);
}
