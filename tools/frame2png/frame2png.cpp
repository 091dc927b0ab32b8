// frame2png: the screensaver's screen at frame N, composed in memory by the
// program's own compositor with the saver window's layers, as the screen
// shows it once loading is over: the built-in background, the default
// visualisation in its frame and the title over everything, both started
// together. Deterministic: the same arguments give the same picture.
//
//   frame2png <WxH> <frame> <out.png> [--high] [--data DIR] [--background FILE] [--steady K]
//                   [--budget PIXELS]
//   frame2png ssim <a.png> <b.png>
//
// --high renders both movies at full resolution ("High", no render-pixel
// budget); by default they use the qualities and budgets the window gives
// them. --budget sets the visualisation's render-pixel budget (0: none). DIR is the data folder (default: the
// source tree's data/QR06V2XLM), FILE the background picture (default: the
// program's built-in one).
//
// --steady K then runs K more frames the way the window does (tick to the next
// due time, compose what changed), all on this thread, and prints how many
// pixels were composed and at what scale the movies rendered: a fixed amount
// of work for instruction counts (say, under valgrind's callgrind). The
// picture written is then the last one composed.
//
// "ssim" prints the structural similarity of two pictures of the same size
// (1 means the same): the mean over 8 x 8 windows, 4 pixels apart, of their
// luma, with the usual constants for 8-bit values.
//
// Exit status: 0 written (or compared), 1 bad arguments or output not written, 2 a movie or
// the background could not be loaded.
// The renderer carries the image reader's code; only its declarations here.
#include <stb/stb_image.h>
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "movie/compositor.h"
#include "saver/frm_app_layers.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: frame2png <WxH> <frame> <out.png> [--high] [--data DIR] [--background FILE] [--steady K] [--budget PIXELS]\n"
               "       frame2png ssim <a.png> <b.png>\n");
  return 1;
}

bool LoadLuma(const char* path, std::vector<double>* luma, int* w, int* h) {
  int channels = 0;
  unsigned char* p = stbi_load(path, w, h, &channels, 3);
  if (!p) return false;
  luma->resize(size_t(*w) * size_t(*h));
  for (size_t i = 0; i < luma->size(); ++i) {
    (*luma)[i] = 0.299 * p[3 * i] + 0.587 * p[3 * i + 1] + 0.114 * p[3 * i + 2];
  }
  stbi_image_free(p);
  return true;
}

int Ssim(const char* a_path, const char* b_path) {
  std::vector<double> a, b;
  int aw = 0, ah = 0, bw = 0, bh = 0;
  if (!LoadLuma(a_path, &a, &aw, &ah) || !LoadLuma(b_path, &b, &bw, &bh)) {
    std::fprintf(stderr, "frame2png: cannot read the pictures\n");
    return 2;
  }
  if (aw != bw || ah != bh || aw < 8 || ah < 8) {
    std::fprintf(stderr, "frame2png: the pictures differ in size or are too small\n");
    return 1;
  }
  constexpr double c1 = (0.01 * 255) * (0.01 * 255), c2 = (0.03 * 255) * (0.03 * 255);
  double sum = 0;
  long windows = 0;
  for (int y = 0; y + 8 <= ah; y += 4) {
    for (int x = 0; x + 8 <= aw; x += 4) {
      double ma = 0, mb = 0, va = 0, vb = 0, cov = 0;
      for (int j = 0; j < 8; ++j) {
        for (int i = 0; i < 8; ++i) {
          const size_t k = size_t(y + j) * size_t(aw) + size_t(x + i);
          ma += a[k];
          mb += b[k];
        }
      }
      ma /= 64;
      mb /= 64;
      for (int j = 0; j < 8; ++j) {
        for (int i = 0; i < 8; ++i) {
          const size_t k = size_t(y + j) * size_t(aw) + size_t(x + i);
          va += (a[k] - ma) * (a[k] - ma);
          vb += (b[k] - mb) * (b[k] - mb);
          cov += (a[k] - ma) * (b[k] - mb);
        }
      }
      va /= 63;
      vb /= 63;
      cov /= 63;
      sum += ((2 * ma * mb + c1) * (2 * cov + c2)) / ((ma * ma + mb * mb + c1) * (va + vb + c2));
      ++windows;
    }
  }
  std::printf("%.5f\n", sum / double(windows));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "ssim") == 0) return Ssim(argv[2], argv[3]);
  if (argc < 4) return Usage();
  int w = 0, h = 0;
  if (std::sscanf(argv[1], "%dx%d", &w, &h) != 2 || w <= 0 || h <= 0 || w > 16384 || h > 16384) return Usage();
  char* end = nullptr;
  const long frame = std::strtol(argv[2], &end, 10);
  if (!end || *end || frame < 0) return Usage();
  const std::string out = argv[3];
  bool high = false;
  long steady = 0;
  long long budget = -1;
  std::string data = std::string(QRV_SOURCE_DIR) + "/data/QR06V2XLM/";
  std::string background = std::string(QRV_SOURCE_DIR) + "/src/win/res/background.png";
  for (int i = 4; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--high") {
      high = true;
    } else if (a == "--data" && i + 1 < argc) {
      data = std::string(argv[++i]) + "/";
    } else if (a == "--background" && i + 1 < argc) {
      background = argv[++i];
    } else if (a == "--budget" && i + 1 < argc) {
      budget = std::strtoll(argv[++i], &end, 10);
      if (!end || *end || budget < 0) return Usage();
    } else if (a == "--steady" && i + 1 < argc) {
      steady = std::strtol(argv[++i], &end, 10);
      if (!end || *end || steady < 0) return Usage();
    } else {
      return Usage();
    }
  }

  Compositor c;
  const FrmAppLayers layers = AddFrmAppLayers(c);
  if (!c.Resize(w, h)) return 2;
  int bw = 0, bh = 0, channels = 0;
  unsigned char* bg = stbi_load(background.c_str(), &bw, &bh, &channels, 4);
  if (!bg) {
    std::fprintf(stderr, "frame2png: cannot read %s\n", background.c_str());
    return 2;
  }
  std::vector<uint32_t> bg_pixels(size_t(bw) * size_t(bh));
  for (size_t i = 0; i < bg_pixels.size(); ++i) {
    const unsigned char* p = bg + 4 * i;
    bg_pixels[i] = 0xFF000000u | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
  }
  stbi_image_free(bg);
  c.SetBackground(bg_pixels.data(), bw, bh);

  // The window's placement for its client size (see the saver's load).
  const double W = w, H = h;
  layers.Movie.SetPlacement(float(W * 3.375 / 100), float(H * 15.5 / 100), float(W * 93.625 / 100),
                            float(H * 75.33334 / 100));
  layers.MovTitle.SetPlacement(0, 0, float(w), float(h));
  for (MoviePlayer* p : {&layers.Movie, &layers.MovTitle}) {
    p->SetRenderTimeoutMs(0);  // wait however long a render takes
    if (high) {
      p->SetQuality(RenderQuality::High);
      p->SetRenderPixelBudget(0);
    }
  }
  if (budget >= 0) layers.Movie.SetRenderPixelBudget(uint64_t(budget));
  layers.Movie.LoadMovie(0, data + "(Default).vsi");
  layers.MovTitle.LoadMovie(0, data + "QrvTtl.is");
  if (!layers.Movie.Loaded() || !layers.MovTitle.Loaded()) {
    std::fprintf(stderr, "frame2png: cannot load the movies from %s\n", data.c_str());
    return 2;
  }
  c.SetCoverVisible(false);
  layers.Movie.Play();
  layers.MovTitle.Play();
  c.Tick(0);
  // Half a frame past frame N's start, so that rounding never lands before it.
  double now = (double(frame) + 0.5) * 1000.0 / layers.Movie.FrameRate();
  c.Tick(now);
  const uint32_t* px = c.Render();
  if (!px) return 2;
  if (steady > 0) {
    double composed = 0;
    for (long i = 0; i < steady; ++i) {
      now = c.NextDueMs(now);
      if (!c.Tick(now)) continue;
      const PixelRect r = c.PendingRect();
      composed += double(r.w) * double(r.h);
      px = c.Render();
    }
    std::printf("frame2png: %ld steady frames, %.0f pixels composed a frame, movie scale %.2f, title scale %.2f\n",
                steady, composed / double(steady), layers.Movie.RenderScale(), layers.MovTitle.RenderScale());
  }

  std::vector<unsigned char> rgb(size_t(w) * size_t(h) * 3);
  for (size_t i = 0; i < size_t(w) * size_t(h); ++i) {
    rgb[3 * i] = uint8_t(px[i] >> 16);
    rgb[3 * i + 1] = uint8_t(px[i] >> 8);
    rgb[3 * i + 2] = uint8_t(px[i]);
  }
  if (!stbi_write_png(out.c_str(), w, h, 3, rgb.data(), w * 3)) {
    std::fprintf(stderr, "frame2png: cannot write %s\n", out.c_str());
    return 1;
  }
  std::printf("frame2png: frame %ld at %dx%d (movie %zu, title %zu) -> %s\n", frame, w, h,
              layers.Movie.CurrentFrame(), layers.MovTitle.CurrentFrame(), out.c_str());
  return 0;
}
