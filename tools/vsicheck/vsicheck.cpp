// vsicheck: checks movies (.vsi, Lottie JSON) the way the saver loads them.
//
//   vsicheck [--json] [--sheet OUT.png] [--size WxH] FILE...
//
// For each file it prints one line (one JSON object with --json): whether the
// saver accepts it and, if not, why; its frames, frame rate and size; the
// features used that will not show; the median time to render one frame at
// the size the saver gives a movie on a 1920 x 1080 screen; that time times
// the frame rate as the share of one processor core (cpu_estimate: 0.25 is a
// quarter of a core); and whether no frame has a visible pixel.
// --sheet writes a contact sheet of 12 frames spread over the movie (with
// several files: OUT-1.png, OUT-2.png, ... in the order of the files
// accepted), each frame WxH pixels (--size, default 320x180).
//
// Exit status: 0 every file accepted, 2 any refused, 1 bad arguments.

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wsign-conversion"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif
#include "stb/stb_image_write.h"
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "movie/lottie_validator.h"
#include "movie/movie_player.h"
#include "rapidjson/stringbuffer.h"
#include "rapidjson/writer.h"

namespace {

constexpr int kExitUsage = 1;
constexpr int kExitRefused = 2;
constexpr int kSheetFrames = 12;
constexpr int kSheetColumns = 4;
constexpr int kEmptySamples = 120;  // frames looked at for a visible pixel

struct Report {
  std::string file;
  bool accepted = false;
  std::string reason;
  size_t frames = 0;
  double fps = 0;
  size_t w = 0, h = 0;
  std::vector<std::string> unsupported;
  double render_ms = 0;
  double cpu = 0;
  bool empty = true;
};

void Usage() { std::fprintf(stderr, "usage: vsicheck [--json] [--sheet OUT.png] [--size WxH] FILE...\n"); }

bool ParseSize(const std::string& s, int* w, int* h) {
  const size_t x = s.find_first_of("xX");
  if (x == std::string::npos || x == 0 || x + 1 >= s.size() || s.size() > 11) return false;
  long v[2] = {0, 0};
  const std::string parts[2] = {s.substr(0, x), s.substr(x + 1)};
  for (int i = 0; i < 2; ++i) {
    for (char c : parts[i]) {
      if (c < '0' || c > '9') return false;
      v[i] = v[i] * 10 + (c - '0');
    }
    if (v[i] < 16 || v[i] > 4096) return false;
  }
  *w = static_cast<int>(v[0]);
  *h = static_cast<int>(v[1]);
  return true;
}

bool ReadFile(const std::string& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes->resize(lottie_limits::kMaxBytes + 1);  // one byte more tells a file that is too large
  in.read(&(*bytes)[0], static_cast<std::streamsize>(bytes->size()));
  bytes->resize(static_cast<size_t>(in.gcount()));
  return true;
}

// The frame numbers to look at: n spread evenly from the first to the last.
std::vector<size_t> Spread(size_t total, size_t n) {
  std::vector<size_t> out;
  if (total <= n) {
    for (size_t i = 0; i < total; ++i) out.push_back(i);
    return out;
  }
  for (size_t i = 0; i < n; ++i) out.push_back(i * (total - 1) / (n - 1));
  return out;
}

// A player placed as the saver places its movie, rendering on this thread.
void Prepare(MoviePlayer& p, float left, float top, float width, float height) {
  p.SetWMode("Transparent");
  p.SetScale("ShowAll");
  p.SetQuality("High");
  p.SetLoop(true);
  p.SetRenderTimeoutMs(0);
  p.SetPlacement(left, top, width, height);
}

// Moves a playing player (anchored at time 0 on frame 0) to frame f.
void Seek(MoviePlayer& p, size_t f) { p.Advance(static_cast<double>(f) * 1000.0 / p.FrameRate() + 1e-3); }

bool Visible(const LayerPicture& pic) {
  if (!pic.pixels) return false;
  const size_t n = static_cast<size_t>(pic.rect.w) * static_cast<size_t>(pic.rect.h);
  for (size_t i = 0; i < n; ++i) {
    if (pic.pixels[i] >> 24) return true;
  }
  return false;
}

double NowMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

void Measure(const std::string& bytes, Report* r) {
  // On a 1920 x 1080 screen the saver gives the movie this frame.
  MoviePlayer p;
  Prepare(p, 1920 * 3.375f / 100, 1080 * 15.5f / 100, 1920 * 93.625f / 100, 1080 * 75.33334f / 100);
  if (!p.LoadMovieData(bytes)) return;
  r->frames = p.TotalFrames();
  r->fps = p.FrameRate();
  r->w = p.MovieWidth();
  r->h = p.MovieHeight();
  p.Advance(0);
  std::vector<double> times;
  for (size_t f : Spread(r->frames, kSheetFrames)) {
    Seek(p, f);
    const double start = NowMs();
    const LayerPicture pic = p.Picture();
    times.push_back(NowMs() - start);
    if (Visible(pic)) r->empty = false;
  }
  std::sort(times.begin(), times.end());
  const size_t n = times.size();
  r->render_ms = n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
  r->cpu = r->render_ms * r->fps / 1000.0;
  if (!r->empty) return;
  // Nothing seen yet: look at more frames, smaller.
  MoviePlayer small;
  Prepare(small, 0, 0, 480, 270);
  if (!small.LoadMovieData(bytes)) return;
  small.Advance(0);
  for (size_t f : Spread(r->frames, kEmptySamples)) {
    Seek(small, f);
    if (Visible(small.Picture())) {
      r->empty = false;
      return;
    }
  }
}

// 12 frames in a 4 x 3 grid over a grey checkerboard.
bool WriteSheet(const std::string& bytes, const std::string& out, int cw, int ch) {
  MoviePlayer p;
  Prepare(p, 0, 0, static_cast<float>(cw), static_cast<float>(ch));
  if (!p.LoadMovieData(bytes)) return false;
  const int rows = (kSheetFrames + kSheetColumns - 1) / kSheetColumns;
  const int sw = cw * kSheetColumns, sh = ch * rows;
  std::vector<unsigned char> rgb(static_cast<size_t>(sw) * static_cast<size_t>(sh) * 3);
  for (int y = 0; y < sh; ++y) {
    for (int x = 0; x < sw; ++x) {
      const unsigned char g = ((x / 8 + y / 8) % 2) ? 0x99 : 0x66;
      unsigned char* d = &rgb[(static_cast<size_t>(y) * static_cast<size_t>(sw) + static_cast<size_t>(x)) * 3];
      d[0] = d[1] = d[2] = g;
    }
  }
  p.Advance(0);
  int cell = 0;
  for (size_t f : Spread(p.TotalFrames(), kSheetFrames)) {
    Seek(p, f);
    const LayerPicture pic = p.Picture();
    const int ox = (cell % kSheetColumns) * cw, oy = (cell / kSheetColumns) * ch;
    ++cell;
    if (!pic.pixels) continue;
    for (int y = 0; y < pic.rect.h; ++y) {
      for (int x = 0; x < pic.rect.w; ++x) {
        const int px = pic.rect.x + x, py = pic.rect.y + y;
        if (px < 0 || py < 0 || px >= cw || py >= ch) continue;
        const uint32_t s = pic.pixels[static_cast<size_t>(y) * static_cast<size_t>(pic.rect.w) + static_cast<size_t>(x)];
        const uint32_t a = s >> 24;
        unsigned char* d =
            &rgb[(static_cast<size_t>(oy + py) * static_cast<size_t>(sw) + static_cast<size_t>(ox + px)) * 3];
        // Premultiplied source over the background.
        for (int c = 0; c < 3; ++c) {
          const uint32_t sc = (s >> (16 - 8 * c)) & 0xFF;
          d[c] = static_cast<unsigned char>(std::min<uint32_t>(255, sc + d[c] * (255 - a) / 255));
        }
      }
    }
  }
  return stbi_write_png(out.c_str(), sw, sh, 3, rgb.data(), sw * 3) != 0;
}

std::string Json(const Report& r) {
  rapidjson::StringBuffer buf;
  rapidjson::Writer<rapidjson::StringBuffer> w(buf);
  w.StartObject();
  w.Key("file");
  w.String(r.file.c_str(), static_cast<rapidjson::SizeType>(r.file.size()));
  w.Key("accepted");
  w.Bool(r.accepted);
  w.Key("reason");
  w.String(r.reason.c_str(), static_cast<rapidjson::SizeType>(r.reason.size()));
  w.Key("frames");
  w.Uint64(r.frames);
  w.Key("fps");
  w.Double(r.fps);
  w.Key("w");
  w.Uint64(r.w);
  w.Key("h");
  w.Uint64(r.h);
  w.Key("unsupported");
  w.StartArray();
  for (const std::string& u : r.unsupported) w.String(u.c_str(), static_cast<rapidjson::SizeType>(u.size()));
  w.EndArray();
  // A refused file has no figures.
  w.Key("render_ms_1080p");
  r.accepted ? w.Double(static_cast<double>(static_cast<long long>(r.render_ms * 100 + 0.5)) / 100) : w.Null();
  w.Key("cpu_estimate");
  r.accepted ? w.Double(static_cast<double>(static_cast<long long>(r.cpu * 1000 + 0.5)) / 1000) : w.Null();
  w.Key("empty");
  r.accepted ? w.Bool(r.empty) : w.Null();
  w.EndObject();
  return std::string(buf.GetString(), buf.GetSize());
}

std::string Line(const Report& r) {
  if (!r.accepted) return r.file + ": refused: " + r.reason;
  char figures[256];
  std::snprintf(figures, sizeof figures, ": accepted: %zu frames at %g fps, %zux%zu, %.2f ms a frame at 1080p, cpu %.3f",
                r.frames, r.fps, r.w, r.h, r.render_ms, r.cpu);
  std::string line = r.file + figures;
  if (r.empty) line += ", empty (no frame has a visible pixel)";
  if (!r.unsupported.empty()) {
    line += ", will not show:";
    for (size_t i = 0; i < r.unsupported.size(); ++i) line += (i ? ", " : " ") + r.unsupported[i];
  }
  return line;
}

}  // namespace

int main(int argc, char** argv) {
  bool json = false;
  std::string sheet;
  int cw = 320, ch = 180;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--json") {
      json = true;
    } else if (a == "--sheet" && i + 1 < argc) {
      sheet = argv[++i];
    } else if (a == "--size" && i + 1 < argc) {
      if (!ParseSize(argv[++i], &cw, &ch)) {
        std::fprintf(stderr, "vsicheck: --size wants WxH, each 16 to 4096\n");
        return kExitUsage;
      }
    } else if (a.size() > 1 && a[0] == '-') {
      Usage();
      return kExitUsage;
    } else {
      files.push_back(a);
    }
  }
  if (files.empty()) {
    Usage();
    return kExitUsage;
  }
  int status = 0;
  int sheets = 0;
  for (const std::string& file : files) {
    Report r;
    r.file = file;
    std::string bytes;
    if (!ReadFile(file, &bytes)) {
      r.reason = "the file cannot be read";
    } else {
      const LottieCheck check = ValidateLottie(bytes);
      r.accepted = check.ok;
      r.reason = check.reason;
      r.unsupported = check.unsupported;
      if (r.accepted) Measure(bytes, &r);
      if (r.accepted && r.frames == 0) {
        r.accepted = false;
        r.reason = "the renderer cannot load it";
      }
    }
    if (!r.accepted) status = kExitRefused;
    std::printf("%s\n", (json ? Json(r) : Line(r)).c_str());
    std::fflush(stdout);
    if (r.accepted && !sheet.empty()) {
      std::string out = sheet;
      if (files.size() > 1) {
        const size_t dot = out.rfind('.');
        const std::string n = "-" + std::to_string(++sheets);
        out = dot == std::string::npos ? out + n : out.substr(0, dot) + n + out.substr(dot);
      }
      if (!WriteSheet(bytes, out, cw, ch)) {
        std::fprintf(stderr, "vsicheck: cannot write %s\n", out.c_str());
        if (status == 0) status = kExitUsage;
      }
    }
  }
  return status;
}
