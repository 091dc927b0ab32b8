// Shapes of real-world movies that exporters write and the player must play:
// numbers that cannot matter, long movies, images flagged loosely, whole
// numbers written as decimals, the forms of early exporters. Each is loaded
// and rendered, and its picture checked; what must stay refused says why,
// with the JSON path.
#include <gtest/gtest.h>

#include <string>

#include "movie/lottie_validator.h"
#include "movie/movie_player.h"
#include "movie_fixtures.h"

namespace {

using namespace movie_fixtures;

std::string Replace(std::string s, const std::string& from, const std::string& to) {
  const size_t at = s.find(from);
  if (at != std::string::npos) s.replace(at, from.size(), to);
  return s;
}

// A 2 x 2 opaque red PNG.
const char kRedPng[] =
    "data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAAAIAAAACCAYAAABytg0kAAAAEUlEQVR4nGP4z8DwH4QZYAwAR8oH+WdZbrcAAAAASUVORK5CYII=";

// Renders frame `frame` of a 10 x 10 movie at 10 x 10 and returns the pixel
// at (x, y), 0xAARRGGBB; 0 when nothing was drawn.
uint32_t PixelAt(MoviePlayer& p, double frame, int x, int y) {
  p.SetLoop(false);
  p.Advance(0);
  p.Advance(frame * 1000.0 / p.FrameRate());
  const LayerPicture pic = p.Picture();
  if (!pic.pixels) return 0;
  return pic.pixels[(y - pic.rect.y) * pic.rect.w + (x - pic.rect.x)];
}

// Each channel within 8 of the other's (edges are smoothed).
bool Near(uint32_t a, uint32_t b) {
  for (int shift = 0; shift < 32; shift += 8) {
    const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    if (d > 8 || d < -8) return false;
  }
  return true;
}

MoviePlayer& Placed(MoviePlayer& p) {
  p.SetWMode("Transparent");
  p.SetPlacement(0, 0, 10, 10);
  p.SetRenderTimeoutMs(30000);
  return p;
}

}  // namespace

// Every case must load and draw: `x`, `y` is a pixel that must be opaque
// `color`, and `clear_x` (when >= 0) a pixel on the same row that must stay empty.
TEST(RealWorldMovies, GenuineAnimationsPlay) {
  const std::string box_left = BoxGroup(5, 10, 2.5, 5);
  // A null layer moved 5 to the right carries its child; both numbered
  // past what a 32-bit integer holds.
  const std::string parent =
      R"({"ddd":0,"ind":4294967297,"ty":3,"nm":"mover","sr":1,"ks":{"o":{"a":0,"k":100},"r":{"a":0,"k":0},)"
      R"("p":{"a":0,"k":[5,0,0]},"a":{"a":0,"k":[0,0,0]},"s":{"a":0,"k":[100,100,100]}},"ao":0,"ip":0,"op":10,"st":0})";
  const std::string child = Replace(ShapeLayer(box_left), "\"ind\":1,", "\"ind\":99999999999,\"parent\":4294967297,");
  // The colour holds white from frame 0 to 9; its easing is absurd but has
  // nothing to ease.
  const std::string still_color =
      R"({"a":1,"k":[{"t":0,"s":[1,1,1,1],"e":[1,1,1,1],"i":{"x":[0.5],"y":[1e15]},"o":{"x":[-1e12],"y":[0]}},)"
      R"({"t":9,"s":[1,1,1,1],"i":{"x":[0.5],"y":[1e300]},"o":{"x":[0],"y":[0]}}]})";
  const std::string image_layer =
      R"({"ddd":0,"ind":1,"ty":2,"nm":"pic","refId":"img","sr":1,"ks":{"o":{"a":0,"k":100},"r":{"a":0,"k":0},)"
      R"("p":{"a":0,"k":[0,0,0]},"a":{"a":0,"k":[0,0,0]},"s":{"a":0,"k":[500,500,100]}},"ao":0,"ip":0,"op":10,"st":0})";
  const std::string decimal_header = R"("w":10.0,"h":10.0,"fr":10.0,"ip":0.0,"op":10.0)";
  // An outline through the corners (1,1) (9,1) (9,9) (1,9), open in its data
  // and marked closed on the shape, as early exporters wrote it; stroked 2 wide.
  const std::string marked_closed =
      R"({"ty":"gr","it":[{"ty":"sh","closed":true,"ks":{"a":0,"k":{"i":[[0,0],[0,0],[0,0],[0,0]],)"
      R"("o":[[0,0],[0,0],[0,0],[0,0]],"v":[[1,1],[9,1],[9,9],[1,9]]}}},)"
      R"({"ty":"st","c":{"a":0,"k":[1,1,1,1]},"o":{"a":0,"k":100},"w":{"a":0,"k":2},"lc":1,"lj":1},)"
      R"({"ty":"tr","p":{"a":0,"k":[0,0]},"a":{"a":0,"k":[0,0]},"s":{"a":0,"k":[100,100]},"r":{"a":0,"k":0},"o":{"a":0,"k":100}}]})";
  const auto made_by = [](const std::string& doc, const char* version) {
    return Replace(doc, "\"v\":\"5.5.2\"", std::string("\"v\":\"") + version + "\"");
  };
  struct Case {
    const char* name;
    std::string bytes;
    double frame;
    int x, y;
    uint32_t color;
    int clear_x;
  };
  const Case cases[] = {
      {"huge layer indices keep parent and child paired", Doc(Header(), parent + "," + child), 0, 7, 5, 0xFFFFFFFFu, 2},
      {"huge easing on a colour that does not change",
       Doc(Header(), ShapeLayer(BoxGroup(10, 10, 5, 5, still_color))), 4, 5, 5, 0xFFFFFFFFu, -1},
      {"10001 frames", BoxMovie(10, 10, 10, 10001), 10000, 5, 5, 0xFFFFFFFFu, -1},
      {"three hours at 60 fps", BoxMovie(10, 10, 60, 648000), 647999, 5, 5, 0xFFFFFFFFu, -1},
      {"image as a data: URI without the embedded flag",
       Doc(Header(), image_layer, std::string(R"([{"id":"img","w":2,"h":2,"u":"images/","p":")") + kRedPng + "\"}]"),
       0, 5, 5, 0xFFFF0000u, -1},
      {"whole numbers written as decimals",
       Doc(decimal_header, Replace(Replace(ShapeLayer(box_left), "\"ty\":4", "\"ty\":4.0"), "\"ind\":1", "\"ind\":1.0")),
       0, 2, 5, 0xFFFFFFFFu, 7},
      {"colours of an early exporter run 0..255",
       made_by(Doc(Header(), ShapeLayer(BoxGroup(10, 10, 5, 5, Static("[128,0,0,255]")))), "4.0.0"), 0, 5, 5,
       0xFF800000u, -1},
      {"a path an early exporter marks closed on its shape", made_by(Doc(Header(), ShapeLayer(marked_closed)), "4.4.0"),
       0, 1, 5, 0xFFFFFFFFu, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const LottieCheck check = ValidateLottie(c.bytes);
    EXPECT_TRUE(check.ok) << check.reason;
    MoviePlayer p;
    if (!Placed(p).LoadMovieData(c.bytes)) {
      ADD_FAILURE() << "not loaded";
      continue;
    }
    const uint32_t got = PixelAt(p, c.frame, c.x, c.y);
    EXPECT_TRUE(Near(got, c.color)) << std::hex << got;
    if (c.clear_x >= 0) EXPECT_EQ(PixelAt(p, c.frame, c.clear_x, c.y), 0u);
  }
}

// A red 10 x 10 solid painted by a fill effect, as one exporter writes every
// shape: the effect's colour and opacity become the solid's when they hold
// still; otherwise the effect stays (not shown) and is reported. Pixels are
// premultiplied.
TEST(RealWorldMovies, AFillEffectOnASolidBecomesItsColour) {
  const auto solid = [](const std::string& colour, const std::string& opacity, const std::string& feather) {
    const auto param = [](int ty, const char* nm, const std::string& v) {
      return std::string(R"({"ty":)") + std::to_string(ty) + R"(,"nm":")" + nm + R"(","v":)" + v + "}";
    };
    const std::string fill = R"({"ty":21,"nm":"Fill","ef":[)" + param(10, "Fill Mask", Static("0")) + "," +
                             param(7, "All Masks", Static("0")) + "," + param(2, "Color", colour) + "," +
                             param(7, "Invert", Static("0")) + "," + param(0, "Horizontal Feather", feather) + "," +
                             param(0, "Vertical Feather", Static("0")) + "," + param(0, "Opacity", opacity) + "]}";
    return Doc(Header(), R"({"ddd":0,"ind":1,"ty":1,"nm":"s","sr":1,"ks":)" + Transform() +
                             R"(,"ao":0,"sc":"#ff0000","sw":10,"sh":10,"ip":0,"op":10,"st":0,"ef":[)" + fill + "]}");
  };
  // Keyframes that hold one value, as the exporter writes a still colour.
  const std::string held_blue =
      R"({"a":1,"k":[{"t":0,"s":[0,0,1,1],"e":[0,0,1,1],"h":1},{"t":1,"h":1,"s":[0,0,1,1]}]})";
  struct Case {
    const char* name;
    std::string bytes;
    uint32_t color;
    bool reported;
  };
  const Case cases[] = {
      {"a still colour", solid(held_blue, Static("1"), Static("0")), 0xFF0000FFu, false},
      {"a still colour at half opacity", solid(Static("[0,0,1,1]"), Static("0.5"), Static("0")), 0x7F00007Fu, false},
      {"a colour that changes", solid(RampColor(), Static("1"), Static("0")), 0xFFFF0000u, true},
      {"a feathered fill", solid(held_blue, Static("1"), Static("3")), 0xFFFF0000u, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const LottieCheck check = ValidateLottie(c.bytes);
    ASSERT_TRUE(check.ok) << check.reason;
    EXPECT_EQ(check.unsupported.size(), c.reported ? 1u : 0u);
    MoviePlayer p;
    ASSERT_TRUE(Placed(p).LoadMovieData(c.bytes));
    const uint32_t got = PixelAt(p, 0, 5, 5);
    EXPECT_TRUE(Near(got, c.color)) << std::hex << got;
  }
}

TEST(RealWorldMovies, AMovieLongerThanTheFrameClockPlaysItsBeginning) {
  MoviePlayer p;
  ASSERT_TRUE(Placed(p).LoadMovieData(Doc(Header(10, 10, 10, 0, 9e8), ShapeLayer(BoxGroup(10, 10, 5, 5), 1000000))));
  EXPECT_EQ(p.TotalFrames(), 1000000u);
  EXPECT_EQ(PixelAt(p, 999999, 5, 5), 0xFFFFFFFFu);
}

// What stays refused names the place in the file and says why.
TEST(RealWorldMovies, RefusalsNameThePathAndTheReason) {
  const std::string moving_color =
      R"({"a":1,"k":[{"t":0,"s":[0,0,0,1],"e":[1,1,1,1],"i":{"x":[0.5],"y":[1e15]},"o":{"x":[0],"y":[0]}},{"t":9,"s":[1,1,1,1]}]})";
  const std::string image_layer = R"({"ddd":0,"ind":1,"ty":2,"refId":"img","ks":{},"ip":0,"op":10,"st":0})";
  struct Case {
    const char* name;
    std::string bytes;
    std::string reason;
  };
  const Case cases[] = {
      {"huge easing on a colour that changes", Doc(Header(), ShapeLayer(BoxGroup(10, 10, 5, 5, moving_color))),
       "layers[0].shapes[0].it[1].c.k[0].i.y[0]: a number out of range"},
      {"an image in a folder beside the file",
       Doc(Header(), image_layer, R"([{"id":"img","w":2,"h":2,"u":"images/","p":"img_0.png"}])"),
       "assets[0]: an image asset names a folder (\"images/\"); a movie must carry its images inside"},
      {"an image file", Doc(Header(), image_layer, R"([{"id":"img","w":2,"h":2,"u":"","p":"img_0.png","e":0}])"),
       "assets[0]: an image asset names a file (\"img_0.png\"); a movie must carry its images inside"},
      {"a repeated key", Doc(Header(), Replace(ShapeLayer(BoxGroup(1, 1, 1, 1)), "\"nm\":\"box\"", "\"nm\":\"a\",\"nm\":\"b\"")),
       "layers[0].nm: an object repeats the key \"nm\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const LottieCheck check = ValidateLottie(c.bytes);
    EXPECT_FALSE(check.ok);
    EXPECT_EQ(check.reason, c.reason);
    MoviePlayer p;
    EXPECT_FALSE(p.LoadMovieData(c.bytes));
  }
}

// A stroked, rounded rectangle whose size grows from next to nothing: its
// first frame strokes an outline too small to have a border, which the
// stroker once copied from a null pointer (reported by the sanitizers).
TEST(RealWorldMovies, AStrokedRectangleGrowingFromNothingDraws) {
  const std::string rect =
      R"({"ty":"gr","it":[{"ty":"rc","d":1,"s":{"a":1,"k":[{"t":0,"s":[1e-5,1e-5],"e":[8,8],"i":{"x":[1],"y":[1]},)"
      R"("o":{"x":[0],"y":[0]}},{"t":9,"s":[8,8]}]},"p":{"a":0,"k":[5,5]},"r":{"a":0,"k":2}},)"
      R"({"ty":"st","c":{"a":0,"k":[1,1,1,1]},"o":{"a":0,"k":100},"w":{"a":0,"k":2},"lc":2,"lj":1,"ml":4},)"
      R"({"ty":"tr","p":{"a":0,"k":[0,0]},"a":{"a":0,"k":[0,0]},"s":{"a":0,"k":[100,100]},"r":{"a":0,"k":0},"o":{"a":0,"k":100}}]})";
  MoviePlayer p;
  ASSERT_TRUE(Placed(p).LoadMovieData(Doc(Header(), ShapeLayer(rect))));
  EXPECT_EQ(PixelAt(p, 0, 0, 0), 0u);
  EXPECT_TRUE(Near(PixelAt(p, 9, 1, 5), 0xFFFFFFFFu));  // the left edge of the full-grown outline
}
