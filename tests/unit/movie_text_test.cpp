// Text layers that carry their glyph outlines are drawn: placed by size,
// tracking, line height and justification, in their colours, one document
// after another; text without outlines is reported and draws nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "movie/lottie_validator.h"
#include "movie/movie_player.h"
#include "movie_fixtures.h"

namespace {

using namespace movie_fixtures;

// One glyph, "I": a block 50 wide and 70 tall on the baseline in units of a
// 100-point font, advancing 60, as exporters write it whatever size it was
// taken from ("size" 56 here). At font size 20 it is 10 x 14 pixels and
// advances 12.
const char kChars[] =
    R"([{"ch":"I","size":56,"style":"Regular","w":60,"fFamily":"Block","data":{"shapes":[{"ty":"gr","it":[)"
    R"({"ty":"sh","ks":{"a":0,"k":{"i":[[0,0],[0,0],[0,0],[0,0]],"o":[[0,0],[0,0],[0,0],[0,0]],)"
    R"("v":[[0,-70],[50,-70],[50,0],[0,0]],"c":true}}}]}]}}])";

// A document: text, justification, tracking, line height, extra keys.
std::string Document(const std::string& text, int j, int tr = 0, int lh = 30, const std::string& paint =
                                                                                  R"("fc":[1,0,0])") {
  return R"({"s":20,"f":"Block-Regular","t":")" + text + R"(","j":)" + std::to_string(j) + R"(,"tr":)" +
         std::to_string(tr) + R"(,"lh":)" + std::to_string(lh) + "," + paint + "}";
}

// A 100 x 100 movie whose text layer sits with its first baseline at (50, 50).
std::string TextMovie(const std::string& keyed_documents) {
  const std::string layer =
      R"({"ddd":0,"ind":1,"ty":5,"nm":"text","sr":1,"ks":{"o":{"a":0,"k":100},"r":{"a":0,"k":0},)"
      R"("p":{"a":0,"k":[50,50,0]},"a":{"a":0,"k":[0,0,0]},"s":{"a":0,"k":[100,100,100]}},"ao":0,"ip":0,"op":10,)"
      R"("st":0,"bm":0,"t":{"d":{"k":)" + keyed_documents + R"(},"p":{},"m":{"g":1,"a":{"a":0,"k":[0,0]}},"a":[]}})";
  std::string doc = Doc(Header(100, 100), layer);
  doc.insert(doc.size() - 1, std::string(R"(,"fonts":{"list":[{"fName":"Block-Regular","fFamily":"Block",)"
                                         R"("fStyle":"Regular","ascent":70}]},"chars":)") + kChars);
  return doc;
}

std::string Still(const std::string& document) { return TextMovie(R"([{"t":0,"s":)" + document + "}]"); }

uint32_t PixelAt(MoviePlayer& p, double frame, int x, int y) {
  p.SetLoop(false);
  p.Advance(0);
  p.Advance(frame * 1000.0 / p.FrameRate());
  const LayerPicture pic = p.Picture();
  if (!pic.pixels) return 0;
  return pic.pixels[(y - pic.rect.y) * pic.rect.w + (x - pic.rect.x)];
}

constexpr uint32_t kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kNone = 0;

}  // namespace

TEST(MovieText, GlyphsArePlacedAndPainted) {
  struct Probe {
    int x, y;
    uint32_t color;
  };
  struct Case {
    const char* name;
    std::string movie;
    std::vector<Probe> probes;  // at frame 0
  };
  const Case cases[] = {
      // Glyphs at x 50..60 and 62..72, 14 tall above the baseline at 50.
      {"left", Still(Document("II", 0)), {{55, 45, kRed}, {67, 45, kRed}, {61, 45, kNone}, {45, 45, kNone},
                                          {55, 38, kRed}, {55, 34, kNone}, {55, 52, kNone}}},
      // The line (12 wide: the advances, less the last tracking) ends at 50, the glyph at 38..48 ...
      {"right", Still(Document("I", 1)), {{45, 45, kRed}, {39, 45, kRed}, {36, 45, kNone}, {49, 45, kNone},
                                          {55, 45, kNone}}},
      // ... or is centred on it: the glyph at 44..54.
      {"centre", Still(Document("I", 2)), {{46, 45, kRed}, {52, 45, kRed}, {42, 45, kNone}, {56, 45, kNone}}},
      // 500 thousandths of an em at size 20: 10 more pixels between glyphs (the second at 72..82).
      {"tracking", Still(Document("II", 0, 500)), {{55, 45, kRed}, {77, 45, kRed}, {67, 45, kNone}}},
      // The second line's baseline 30 lower.
      {"line height", Still(Document("I\\rI", 0, 0, 30)), {{55, 45, kRed}, {55, 75, kRed}, {55, 60, kNone}}},
      // A stroke 4 wide straddles the outline, outside the fill.
      {"stroke", Still(Document("I", 0, 0, 30, R"("fc":[1,0,0],"sc":[0,1,0],"sw":4,"of":false)")),
       {{55, 45, kRed}, {49, 45, kGreen}, {46, 45, kNone}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const LottieCheck check = ValidateLottie(c.movie);
    ASSERT_TRUE(check.ok) << check.reason;
    EXPECT_TRUE(check.unsupported.empty());
    for (const Probe& probe : c.probes) {
      MoviePlayer p;
      p.SetWMode("Transparent");
      p.SetPlacement(0, 0, 100, 100);
      p.SetRenderTimeoutMs(30000);
      ASSERT_TRUE(p.LoadMovieData(c.movie));
      const uint32_t got = PixelAt(p, 0, probe.x, probe.y);
      // Inside a glyph the colour is exact; empty pixels have no alpha at all.
      EXPECT_EQ(got, probe.color) << "at " << probe.x << "," << probe.y << ": " << std::hex << got;
    }
  }
}

TEST(MovieText, KeyedDocumentsTakeTurns) {
  const std::string movie = TextMovie(R"([{"t":0,"s":)" + Document("I", 0) + R"(},{"t":5,"s":)" +
                                      Document("II", 0, 0, 30, R"("fc":[0,1,0])") + "}]");
  for (const auto& [frame, first, second] : {std::tuple<int, uint32_t, uint32_t>{0, kRed, kNone},
                                             {4, kRed, kNone}, {5, kGreen, kGreen}, {9, kGreen, kGreen}}) {
    SCOPED_TRACE(frame);
    MoviePlayer p;
    p.SetWMode("Transparent");
    p.SetPlacement(0, 0, 100, 100);
    p.SetRenderTimeoutMs(30000);
    ASSERT_TRUE(p.LoadMovieData(movie));
    EXPECT_EQ(PixelAt(p, frame, 55, 45), first);
    MoviePlayer q;
    q.SetWMode("Transparent");
    q.SetPlacement(0, 0, 100, 100);
    q.SetRenderTimeoutMs(30000);
    ASSERT_TRUE(q.LoadMovieData(movie));
    EXPECT_EQ(PixelAt(q, frame, 67, 45), second);
  }
}

TEST(MovieText, TextWithoutOutlinesIsReportedAndDrawsNothing) {
  std::string movie = Still(Document("IX", 0));  // no outline for "X"
  const LottieCheck check = ValidateLottie(movie);
  ASSERT_TRUE(check.ok) << check.reason;
  EXPECT_NE(std::find(check.unsupported.begin(), check.unsupported.end(), "text without glyphs"),
            check.unsupported.end());
  MoviePlayer p;
  p.SetWMode("Transparent");
  p.SetPlacement(0, 0, 100, 100);
  p.SetRenderTimeoutMs(30000);
  ASSERT_TRUE(p.LoadMovieData(movie));
  EXPECT_EQ(PixelAt(p, 0, 55, 45), kNone);
}
