// Cost of one screensaver frame at 1920 x 1080: the background picture, a
// visualisation in its frame (left 3.375 %, top 15.5 %, 93.625 % x 75.33334 %
// of the screen), and the title stretched over everything.
//
//   WholeFrame/...       a new visualisation frame: render, upscale, compose
//   WholeFrameBoth/...   visualisation and title both change (the title's run)
//   Compose/...          composing only, pictures already rendered
//   Blend/...            one full-HD layer blended onto the back buffer
//   Render/...           the renderer alone, for the visualisation picture
//
// The movies are generated here, so the benchmark needs no data files.
// Times are wall-clock: the renderer runs on the players' worker threads while
// the calling thread waits.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "movie/compositor.h"
#include "saver/frm_app_layers.h"

namespace {

constexpr int kW = 1920, kH = 1080;

std::string Num(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%.3f", v);
  return b;
}

std::string Fixed(const std::string& k) { return "{\"a\":0,\"k\":" + k + "}"; }

// A linear change of a one-dimensional value over frames t0..t1.
std::string Ramp(double a, double b, int t0, int t1) {
  return "{\"a\":1,\"k\":[{\"t\":" + std::to_string(t0) + ",\"s\":[" + Num(a) + "],\"e\":[" + Num(b) +
         "],\"i\":{\"x\":[1],\"y\":[1]},\"o\":{\"x\":[0],\"y\":[0]}},{\"t\":" + std::to_string(t1) + ",\"s\":[" +
         Num(b) + "]}]}";
}

std::string Color(double r, double g, double b) { return Fixed("[" + Num(r) + "," + Num(g) + "," + Num(b) + ",1]"); }

std::string GroupTransform() {
  return R"({"ty":"tr","p":{"a":0,"k":[0,0]},"a":{"a":0,"k":[0,0]},"s":{"a":0,"k":[100,100]},"r":{"a":0,"k":0},)"
         R"("o":{"a":0,"k":100},"sk":{"a":0,"k":0},"sa":{"a":0,"k":0}})";
}

std::string Layer(int ind, double x, double y, const std::string& rotation, const std::string& opacity,
                  const std::string& items, int op) {
  return "{\"ddd\":0,\"ind\":" + std::to_string(ind) +
         ",\"ty\":4,\"sr\":1,\"ks\":{\"o\":" + opacity + ",\"r\":" + rotation + ",\"p\":" +
         Fixed("[" + Num(x) + "," + Num(y) + ",0]") +
         R"(,"a":{"a":0,"k":[0,0,0]},"s":{"a":0,"k":[100,100,100]}},"ao":0,"shapes":[{"ty":"gr","it":[)" + items + "," +
         GroupTransform() + "]}],\"ip\":0,\"op\":" + std::to_string(op) + ",\"st\":0,\"bm\":0}";
}

// The visualisation: 1100 x 500, 60 frames at 30 fps. A soft radial glow
// over the whole picture, sixteen turning rings and stars with outlines, and
// a spinner made by a repeater.
std::string Visualisation() {
  const int op = 60;
  std::string layers;
  int ind = 1;
  for (int i = 0; i < 16; ++i) {
    const double x = 80 + (i % 8) * 135, y = 130 + (i / 8) * 240;
    const double size = 90 + (i % 5) * 18;
    const std::string shape =
        i % 2 ? R"({"ty":"el","d":1,"s":)" + Fixed("[" + Num(size) + "," + Num(size * 0.6) + "]") +
                    R"(,"p":{"a":0,"k":[0,0]}})"
              : R"({"ty":"sr","sy":1,"d":1,"pt":{"a":0,"k":5},"p":{"a":0,"k":[0,0]},"r":{"a":0,"k":0},)"
                R"("ir":)" + Fixed(Num(size * 0.25)) + R"(,"is":{"a":0,"k":0},"or":)" + Fixed(Num(size * 0.6)) +
                    R"(,"os":{"a":0,"k":0}})";
    const std::string items = shape + R"(,{"ty":"st","c":)" + Color(1, 1, 1) +
                              R"(,"o":{"a":0,"k":90},"w":{"a":0,"k":6},"lc":2,"lj":2},{"ty":"fl","c":)" +
                              Color(0.2 + 0.05 * (i % 10), 0.4, 1.0 - 0.05 * i) + R"(,"o":{"a":0,"k":80},"r":1})";
    layers += (layers.empty() ? "" : ",") +
              Layer(ind++, x, y, Ramp(0, i % 2 ? 360 : -360, 0, op), Fixed("100"), items, op);
  }
  // Spinner: one bar repeated twelve times around the centre.
  const std::string bar = R"({"ty":"rc","d":1,"s":{"a":0,"k":[16,70]},"p":{"a":0,"k":[0,-90]},"r":{"a":0,"k":8}},)"
                          R"({"ty":"fl","c":)" + Color(1, 0.8, 0.2) + R"(,"o":{"a":0,"k":100},"r":1},)"
                          R"({"ty":"rp","c":{"a":0,"k":12},"o":{"a":0,"k":0},"m":1,"tr":{"ty":"tr","p":{"a":0,"k":[0,0]},)"
                          R"("a":{"a":0,"k":[0,0]},"s":{"a":0,"k":[100,100]},"r":{"a":0,"k":30},"so":{"a":0,"k":100},)"
                          R"("eo":{"a":0,"k":30}}})";
  layers += "," + Layer(ind++, 550, 250, Ramp(0, 360, 0, op), Fixed("100"), bar, op);
  // Glow: a radial gradient over the whole picture, breathing.
  const std::string glow = R"({"ty":"rc","d":1,"s":{"a":0,"k":[1100,500]},"p":{"a":0,"k":[0,0]},"r":{"a":0,"k":0}},)"
                           R"({"ty":"gf","o":{"a":0,"k":100},"r":1,"t":2,"s":{"a":0,"k":[0,0]},"e":{"a":0,"k":[560,0]},)"
                           R"("h":{"a":0,"k":0},"a":{"a":0,"k":0},"g":{"p":3,"k":{"a":0,"k":[0,0.1,0.2,0.6,0.5,0.05,)"
                           R"(0.1,0.3,1,0,0,0.1,0,0.9,0.5,0.5,1,0]}}})";
  layers += "," + Layer(ind++, 550, 250, Fixed("0"), Ramp(40, 90, 0, op), glow, op);
  return "{\"v\":\"5.5.2\",\"w\":1100,\"h\":500,\"fr\":30,\"ip\":0,\"op\":" + std::to_string(op) +
         ",\"assets\":[],\"layers\":[" + layers + "]}";
}

// The title: 1920 x 1080, 45 frames at 30 fps, fading in. Ten outlined
// letter blocks and an underline across the top of the screen; the rest is
// transparent.
std::string Title() {
  const int op = 45;
  std::string items;
  for (int i = 0; i < 10; ++i) {
    items += R"({"ty":"rc","d":1,"s":{"a":0,"k":[90,120]},"p":)" + Fixed("[" + Num(-630 + i * 140) + ",0]") +
             R"(,"r":{"a":0,"k":18}},)";
  }
  items += R"({"ty":"rc","d":1,"s":{"a":0,"k":[1400,10]},"p":{"a":0,"k":[0,90]},"r":{"a":0,"k":5}},)";
  items += R"({"ty":"st","c":)" + Color(0.1, 0.1, 0.3) + R"(,"o":{"a":0,"k":100},"w":{"a":0,"k":8},"lc":2,"lj":2},)";
  items += R"({"ty":"fl","c":)" + Color(1, 1, 1) + R"(,"o":{"a":0,"k":100},"r":1})";
  return "{\"v\":\"5.5.2\",\"w\":1920,\"h\":1080,\"fr\":30,\"ip\":0,\"op\":" + std::to_string(op) +
         ",\"assets\":[],\"layers\":[" + Layer(1, 960, 110, Fixed("0"), Ramp(0, 100, 0, 30), items, op) + "]}";
}

// The 800 x 600 built-in picture's stand-in: smooth colour bands.
std::vector<uint32_t> BackgroundPicture() {
  std::vector<uint32_t> px(800 * 600);
  for (int y = 0; y < 600; ++y) {
    for (int x = 0; x < 800; ++x) {
      const uint32_t r = uint32_t(128 + 127 * std::sin(x * 0.01)), g = uint32_t(y * 255 / 600),
                     b = uint32_t(128 + 127 * std::cos((x + y) * 0.007));
      px[size_t(y) * 800 + size_t(x)] = (r << 16) | (g << 8) | b;
    }
  }
  return px;
}

const char* QualityName(int64_t q) { return q == 0 ? "High" : q == 1 ? "Low" : "AutoLow"; }

// The window after its load sequence: cover gone, background shown, both
// movies playing.
struct Saver {
  Compositor c;
  const FrmAppLayers L = AddFrmAppLayers(c);
  double now = 0;
  explicit Saver(const char* quality, bool title_loops) {
    static const std::string vis = Visualisation(), title = Title();
    static const std::vector<uint32_t> bg = BackgroundPicture();
    c.Resize(kW, kH);
    c.SetBackground(bg.data(), 800, 600);
    L.Movie.SetQuality(quality);
    L.Movie.SetPlacement(float(kW * 3.375 / 100), float(kH * 15.5 / 100), float(kW * 93.625 / 100),
                         float(kH * 75.33334 / 100));
    L.MovTitle.SetPlacement(0, 0, kW, kH);
    L.MovTitle.SetLoop(title_loops);
    if (!L.Movie.LoadMovieData(vis) || !L.MovTitle.LoadMovieData(title)) std::abort();
    c.SetCoverVisible(false);
    L.Movie.Play();
    L.MovTitle.Play();
    c.Tick(now);
    c.Render();
    if (!title_loops) {  // let the title run to its end and hold
      for (int i = 0; i < 50; ++i) NextFrame();
    }
  }
  const uint32_t* NextFrame() {
    now = c.NextDueMs(now);
    c.Tick(now);
    return c.Render();
  }
};

void WholeFrame(benchmark::State& state) {
  Saver s(QualityName(state.range(0)), /*title_loops=*/false);
  for (auto _ : state) benchmark::DoNotOptimize(s.NextFrame());
  state.counters["scale"] = s.L.Movie.RenderScale();
}
BENCHMARK(WholeFrame)->Arg(0)->Arg(1)->Arg(2)->ArgName("q_high0_low1_autolow2")->Unit(benchmark::kMillisecond)->UseRealTime();

void WholeFrameBoth(benchmark::State& state) {
  Saver s(QualityName(state.range(0)), /*title_loops=*/true);
  for (auto _ : state) benchmark::DoNotOptimize(s.NextFrame());
  state.counters["scale"] = s.L.Movie.RenderScale();
}
BENCHMARK(WholeFrameBoth)->Arg(0)->Arg(1)->Arg(2)->ArgName("q_high0_low1_autolow2")->Unit(benchmark::kMillisecond)->UseRealTime();

// Composing what a new visualisation frame dirties (its picture's rectangle),
// or the whole screen; the pictures stay rendered.
void Compose(benchmark::State& state) {
  Saver s("High", /*title_loops=*/false);
  const bool whole = state.range(0) == 1;
  const PixelRect movie = s.L.Movie.ContentRect();
  for (auto _ : state) {
    if (whole) {
      s.c.InvalidateAll();
    } else {
      s.c.Invalidate(movie);
    }
    benchmark::DoNotOptimize(s.c.Render());
  }
}
BENCHMARK(Compose)->Arg(0)->Arg(1)->ArgName("whole")->Unit(benchmark::kMillisecond)->UseRealTime();

// Random premultiplied pixels; in each row only a centred run of
// (100 - clear_percent) % of the width is not fully transparent, as shapes
// leave whole stretches of a layer clear.
std::vector<uint32_t> RandomLayer(int clear_percent) {
  std::mt19937 rng(1);
  std::vector<uint32_t> px(size_t(kW) * kH, 0);
  const int run = kW * (100 - clear_percent) / 100, x0 = (kW - run) / 2;
  for (int y = 0; y < kH; ++y) {
    for (int x = x0; x < x0 + run; ++x) {
      const uint32_t r = rng();
      const uint32_t a = (r >> 24) | 1;
      px[size_t(y) * kW + size_t(x)] = (a << 24) | ((((r >> 16) & 0xFF) * a / 255) << 16) |
                                       ((((r >> 8) & 0xFF) * a / 255) << 8) | ((r & 0xFF) * a / 255);
    }
  }
  return px;
}

template <void (*Fn)(uint32_t*, const uint32_t*, size_t)>
void Blend(benchmark::State& state) {
  const size_t n = size_t(kW) * kH;
  const std::vector<uint32_t> src = RandomLayer(int(state.range(0)));
  std::vector<uint32_t> dst(n, 0xFF336699u);
  for (auto _ : state) {
    Fn(dst.data(), src.data(), n);
    benchmark::DoNotOptimize(dst.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(n) * 4);
}
// Argument: share of each row that is fully transparent, in percent.
BENCHMARK_TEMPLATE(Blend, BlendOverScalar)->Arg(0)->Arg(90)->ArgName("clear_pct")->Unit(benchmark::kMillisecond)->UseRealTime();
#if defined(__SSE2__)
BENCHMARK_TEMPLATE(Blend, BlendOverSse2)->Arg(0)->Arg(90)->ArgName("clear_pct")->Unit(benchmark::kMillisecond)->UseRealTime();
#endif

void Render(benchmark::State& state) {
  MoviePlayer p;
  p.SetQuality(QualityName(state.range(0)));
  p.SetPlacement(0, 0, float(kW * 93.625 / 100), float(kH * 75.33334 / 100));
  if (!p.LoadMovieData(Visualisation())) std::abort();
  double now = 0;
  p.Advance(now);
  for (auto _ : state) {
    now = p.NextFrameDueMs(now);
    p.Advance(now);
    benchmark::DoNotOptimize(p.Picture().pixels);
  }
}
BENCHMARK(Render)->Arg(0)->Arg(1)->ArgName("q_high0_low1")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
