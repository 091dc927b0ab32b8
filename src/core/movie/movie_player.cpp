#include "movie/movie_player.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <limits>
#include <new>

#include "movie/lottie_validator.h"
#include "rlottie.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr double kFallbackFrameRate = 30;
constexpr double kMaxFrameRate = 120;
constexpr size_t kMaxTotalFrames = 10000000;
// Largest picture rendered at full resolution; beyond it the layer renders at
// half resolution, and beyond twice each side it is not drawn at all.
constexpr uint64_t kMaxRenderPixels = uint64_t{8192} * 4608;
constexpr int kMaxRenderSide = 16384;

bool EqualsNoCase(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return i == a.size() && b[i] == '\0';
}

double SteadyMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// [lo, hi) in window coordinates, rounded to whole pixels; false when the
// values cannot make a rectangle.
bool ToPixels(double lo, double hi, int* start, int* length) {
  constexpr double kLimit = 1e8;
  if (!std::isfinite(lo) || !std::isfinite(hi) || std::fabs(lo) > kLimit || std::fabs(hi) > kLimit) return false;
  const long a = std::lround(lo), b = std::lround(hi);
  *start = static_cast<int>(a);
  *length = static_cast<int>(std::max(0L, b - a));
  return true;
}

inline uint32_t AverageUp(uint32_t a, uint32_t b) {
  return (a | b) - (((a ^ b) & 0xFEFEFEFEu) >> 1);
}

}  // namespace

MoviePlayer::MoviePlayer() : cost_clock_(SteadyMs) {}
MoviePlayer::~MoviePlayer() = default;

// ---- Operations ----

void MoviePlayer::LoadMovie(int layer, const std::string& path) {
  if (layer != 0) return;
  std::string bytes;
  try {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      Unload();
      return;
    }
    // One byte more than allowed tells a file that is too large.
    bytes.resize(lottie_limits::kMaxBytes + 1);
    in.read(&bytes[0], static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
  } catch (...) {
    Unload();
    return;
  }
  LoadMovieData(bytes);
}

bool MoviePlayer::LoadMovieData(const std::string& bytes) {
  Unload();
  if (!ValidateLottie(bytes).ok) return false;
  try {
    std::unique_ptr<rlottie::Animation> animation =
        rlottie::Animation::loadFromData(bytes, std::string(), std::string(), /*cachePolicy=*/false);
    if (!animation) return false;
    size_t w = 0, h = 0;
    animation->size(w, h);
    if (w == 0 || h == 0) return false;
    double fps = animation->frameRate();
    if (std::isnan(fps) || fps <= 0) fps = kFallbackFrameRate;
    fps = std::min(fps, kMaxFrameRate);
    const size_t total = animation->totalFrame();
    animation_ = std::move(animation);
    movie_w_ = w;
    movie_h_ = h;
    fps_ = fps;
    total_frames_ = std::clamp<size_t>(total, 1, kMaxTotalFrames);
  } catch (...) {
    Unload();
    return false;
  }
  frame_ = 0;
  playing_ = play_on_load_;
  anchored_ = false;
  ResetQualityScale();
  Touch();
  return true;
}

void MoviePlayer::Unload() {
  animation_.reset();
  movie_w_ = movie_h_ = 0;
  total_frames_ = 1;
  fps_ = kFallbackFrameRate;
  frame_ = 0;
  playing_ = false;
  anchored_ = false;
  rendered_ = false;
  std::vector<uint32_t>().swap(render_);
  std::vector<uint32_t>().swap(output_);
  Touch();
}

void MoviePlayer::Play() {
  if (!animation_ || playing_) return;
  // A movie that does not loop and stands at its end stays there.
  if (!loop_ && frame_ + 1 >= total_frames_) return;
  playing_ = true;
  anchored_ = false;
}

void MoviePlayer::Stop() {
  playing_ = false;
  anchored_ = false;
}

void MoviePlayer::StopPlay() { Stop(); }

// ---- Placement and properties ----

void MoviePlayer::SetLeft(float v) { SetPlacement(v, top_, width_, height_); }
void MoviePlayer::SetTop(float v) { SetPlacement(left_, v, width_, height_); }
void MoviePlayer::SetWidth(float v) { SetPlacement(left_, top_, v, height_); }
void MoviePlayer::SetHeight(float v) { SetPlacement(left_, top_, width_, v); }

void MoviePlayer::SetPlacement(float left, float top, float width, float height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  Touch();
}

void MoviePlayer::SetWMode(const std::string& v) {
  wmode_ = v;
  Touch();
}

void MoviePlayer::SetLoop(bool v) {
  loop_ = v;
  anchored_ = false;  // the clock restarts from the frame on screen
}

void MoviePlayer::SetQuality(const std::string& v) {
  quality_ = v;
  ResetQualityScale();
  rendered_ = false;
  Touch();
}

void MoviePlayer::SetScale(const std::string& v) {
  scale_ = v;
  Touch();
}

void MoviePlayer::SetBGColor(const std::string& v) {
  bgcolor_ = v;
  fill_color_ = 0xFF000000u;
  if (v.size() == 6 && v.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos) {
    fill_color_ |= static_cast<uint32_t>(std::stoul(v, nullptr, 16));
  }
  Touch();
}

void MoviePlayer::SetCostClock(std::function<double()> clock) {
  cost_clock_ = clock ? std::move(clock) : std::function<double()>(SteadyMs);
}

bool MoviePlayer::Transparent() const { return EqualsNoCase(wmode_, "Transparent"); }
bool MoviePlayer::ExactFit() const { return EqualsNoCase(scale_, "ExactFit"); }

void MoviePlayer::ResetQualityScale() {
  quality_scale_ = (EqualsNoCase(quality_, "Low") || EqualsNoCase(quality_, "AutoLow")) ? 0.5 : 1.0;
  slow_renders_ = fast_renders_ = 0;
}

// ---- Frame clock ----

bool MoviePlayer::Advance(double now_ms) {
  if (!animation_ || !playing_ || std::isnan(now_ms)) return false;
  if (!anchored_ || now_ms < anchor_ms_) {
    anchored_ = true;
    anchor_ms_ = now_ms;
    anchor_frame_ = frame_;
    return false;
  }
  // The small allowance keeps exact multiples of the frame time from
  // rounding down.
  const double steps = std::floor((now_ms - anchor_ms_) * fps_ / 1000.0 + 1e-7);
  const double target = static_cast<double>(anchor_frame_) + steps;
  const double total = static_cast<double>(total_frames_);
  size_t next;
  if (loop_) {
    next = static_cast<size_t>(std::fmod(target, total));
  } else if (target >= total - 1) {
    next = total_frames_ - 1;
    playing_ = false;  // the last frame stays
    anchored_ = false;
  } else {
    next = static_cast<size_t>(target);
  }
  if (next == frame_) return false;
  frame_ = next;
  Touch();
  return true;
}

double MoviePlayer::NextFrameDueMs(double now_ms) const {
  if (!animation_ || !playing_) return std::numeric_limits<double>::infinity();
  if (!anchored_ || now_ms < anchor_ms_) return now_ms;
  const double frame_ms = 1000.0 / fps_;
  const double steps = std::floor((now_ms - anchor_ms_) / frame_ms + 1e-7);
  return std::max(now_ms, anchor_ms_ + (steps + 1) * frame_ms);
}

// ---- Drawing ----

PixelRect MoviePlayer::FrameRect() const {
  PixelRect r;
  if (!ToPixels(left_, double(left_) + width_, &r.x, &r.w) || !ToPixels(top_, double(top_) + height_, &r.y, &r.h)) {
    return PixelRect{};
  }
  return r;
}

PixelRect MoviePlayer::ContentRect() const {
  if (!animation_) return PixelRect{};
  if (ExactFit()) return FrameRect();
  if (!(width_ > 0) || !(height_ > 0)) return PixelRect{};
  const double mw = double(movie_w_), mh = double(movie_h_);
  const double s = std::min(double(width_) / mw, double(height_) / mh);
  const double fw = mw * s, fh = mh * s;
  const double x = left_ + (width_ - fw) / 2, y = top_ + (height_ - fh) / 2;
  PixelRect r;
  if (!ToPixels(x, x + fw, &r.x, &r.w) || !ToPixels(y, y + fh, &r.y, &r.h)) return PixelRect{};
  return r;
}

PixelRect MoviePlayer::Footprint() const { return Transparent() ? ContentRect() : FrameRect(); }

LayerPicture MoviePlayer::Picture() {
  LayerPicture pic;
  if (!Transparent()) {
    pic.fill = FrameRect();
    pic.fill_color = fill_color_;
  }
  if (!animation_) return pic;
  const PixelRect content = ContentRect();
  if (content.Empty()) return pic;
  if (!rendered_ || rendered_frame_ != frame_ || rendered_rect_.w != content.w || rendered_rect_.h != content.h) {
    if (!RenderFrame(content)) return pic;
  }
  pic.pixels = output_.data();
  pic.rect = content;
  return pic;
}

bool MoviePlayer::RenderFrame(const PixelRect& content) {
  rendered_ = false;
  const int w = content.w, h = content.h;
  if (w > kMaxRenderSide || h > kMaxRenderSide) return false;
  double scale = quality_scale_;
  const bool forced_half = uint64_t(w) * uint64_t(h) > kMaxRenderPixels;
  if (forced_half) scale = 0.5;
  const int rw = scale < 1 ? (w + 1) / 2 : w;
  const int rh = scale < 1 ? (h + 1) / 2 : h;
  if (uint64_t(rw) * uint64_t(rh) > kMaxRenderPixels) return false;

  const double started = cost_clock_();
  try {
    std::vector<uint32_t>& target = scale < 1 ? render_ : output_;
    target.resize(size_t(rw) * size_t(rh));
    rlottie::Surface surface(target.data(), size_t(rw), size_t(rh), size_t(rw) * 4);
    // The picture is already fitted to its rectangle, so the renderer stretches.
    animation_->renderSync(frame_, surface, /*keepAspectRatio=*/false);
    if (scale < 1) {
      output_.resize(size_t(w) * size_t(h));
      Upscale2x(render_.data(), rw, rh, output_.data(), w, h);
    }
  } catch (...) {
    std::vector<uint32_t>().swap(render_);
    std::vector<uint32_t>().swap(output_);
    return false;
  }
  const double cost = cost_clock_() - started;

  rendered_ = true;
  rendered_frame_ = frame_;
  rendered_rect_ = content;
  render_scale_ = scale;

  // The Auto qualities follow the render cost: half resolution after two
  // renders over budget, full again after eight renders whose full-size cost
  // (four times the pixels) would stay well inside the budget.
  const bool automatic = EqualsNoCase(quality_, "AutoHigh") || EqualsNoCase(quality_, "AutoLow");
  if (automatic && !forced_half) {
    const double budget = 0.5 * 1000.0 / fps_;
    if (quality_scale_ >= 1) {
      slow_renders_ = cost > budget ? slow_renders_ + 1 : 0;
      if (slow_renders_ >= 2) {
        quality_scale_ = 0.5;
        slow_renders_ = fast_renders_ = 0;
      }
    } else {
      fast_renders_ = cost * 4 < budget * 0.5 ? fast_renders_ + 1 : 0;
      if (fast_renders_ >= 8) {
        quality_scale_ = 1;
        slow_renders_ = fast_renders_ = 0;
      }
    }
  }
  return true;
}

// ---- Upscaling ----

void Upscale2xScalar(const uint32_t* src, int src_w, int src_h, uint32_t* dst, int dst_w, int dst_h) {
  if (src_w <= 0 || src_h <= 0) return;
  std::vector<uint32_t> mid(static_cast<size_t>(src_w));
  for (int y = 0; y < dst_h; ++y) {
    const int iy = y >> 1;
    const uint32_t* row = src + size_t(iy) * size_t(src_w);
    if (y & 1) {
      const uint32_t* below = src + size_t(std::min(iy + 1, src_h - 1)) * size_t(src_w);
      for (int x = 0; x < src_w; ++x) mid[size_t(x)] = AverageUp(row[x], below[x]);
      row = mid.data();
    }
    uint32_t* out = dst + size_t(y) * size_t(dst_w);
    for (int x = 0; x < dst_w; ++x) {
      const int ix = x >> 1;
      out[x] = (x & 1) ? AverageUp(row[ix], row[std::min(ix + 1, src_w - 1)]) : row[ix];
    }
  }
}

void Upscale2x(const uint32_t* src, int src_w, int src_h, uint32_t* dst, int dst_w, int dst_h) {
#if defined(__SSE2__)
  if (src_w <= 0 || src_h <= 0) return;
  std::vector<uint32_t> mid(static_cast<size_t>(src_w));
  for (int y = 0; y < dst_h; ++y) {
    const int iy = y >> 1;
    const uint32_t* row = src + size_t(iy) * size_t(src_w);
    if (y & 1) {
      const uint32_t* below = src + size_t(std::min(iy + 1, src_h - 1)) * size_t(src_w);
      int x = 0;
      for (; x + 4 <= src_w; x += 4) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(below + x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(mid.data() + x), _mm_avg_epu8(a, b));
      }
      for (; x < src_w; ++x) mid[size_t(x)] = AverageUp(row[x], below[x]);
      row = mid.data();
    }
    uint32_t* out = dst + size_t(y) * size_t(dst_w);
    int ix = 0;
    // Four source pixels give eight: each one, then its average with the next.
    for (; ix + 5 <= src_w && 2 * ix + 8 <= dst_w; ix += 4) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + ix));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + ix + 1));
      const __m128i m = _mm_avg_epu8(a, b);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * ix), _mm_unpacklo_epi32(a, m));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * ix + 4), _mm_unpackhi_epi32(a, m));
    }
    for (int x = 2 * ix; x < dst_w; ++x) {
      const int sx = x >> 1;
      out[x] = (x & 1) ? AverageUp(row[sx], row[std::min(sx + 1, src_w - 1)]) : row[sx];
    }
  }
#else
  Upscale2xScalar(src, src_w, src_h, dst, dst_w, dst_h);
#endif
}
