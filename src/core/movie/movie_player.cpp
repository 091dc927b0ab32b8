#include "movie/movie_player.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <functional>
#include <limits>
#include <new>

#include "movie/lottie_validator.h"
#include "movie/render_worker.h"
#include "rlottie.h"

namespace {

constexpr double kFallbackFrameRate = 30;
constexpr double kMaxFrameRate = 120;
constexpr size_t kMaxTotalFrames = 10000000;
// Largest picture rendered at full resolution; beyond it the layer renders at
// half resolution, and beyond twice each side it is not drawn at all.
constexpr uint64_t kMaxRenderPixels = uint64_t{8192} * 4608;
constexpr int kMaxRenderSide = 16000;

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

}  // namespace

// ---- Property values ----

WindowMode ParseWindowMode(const std::string& v) {
  return EqualsNoCase(v, "Transparent") ? WindowMode::Transparent : WindowMode::Window;
}

RenderQuality ParseRenderQuality(const std::string& v) {
  if (EqualsNoCase(v, "Low")) return RenderQuality::Low;
  if (EqualsNoCase(v, "AutoHigh")) return RenderQuality::AutoHigh;
  if (EqualsNoCase(v, "AutoLow")) return RenderQuality::AutoLow;
  return RenderQuality::High;
}

ScaleMode ParseScaleMode(const std::string& v) {
  return EqualsNoCase(v, "ExactFit") ? ScaleMode::ExactFit : ScaleMode::ShowAll;
}

uint32_t ParseColor(const std::string& v) {
  uint32_t color = 0xFF000000u;
  if (v.size() == 6 && v.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos) {
    color |= static_cast<uint32_t>(std::stoul(v, nullptr, 16));
  }
  return color;
}

// ---- Players ----

void MoviePlayer::WaitForAbandonedRenders() { RenderWorker::WaitForAbandonedRenders(); }

void MoviePlayer::SetRenderStartHookForTesting(std::function<void()> hook) {
  render_start_hook_ = std::move(hook);
  worker_.reset();  // the next render starts a thread that runs the new hook
}

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
  const LottieCheck check = ValidateLottie(bytes);
  if (!check.ok) return false;
  try {
    auto engine = std::make_shared<MovieEngine>();
    engine->animation = rlottie::Animation::loadFromData(check.movie, std::string(), std::string(), false);
    engine->probe = rlottie::Animation::loadFromData(check.movie, std::string(), std::string(), false);
    if (!engine->animation || !engine->probe) return false;
    size_t w = 0, h = 0;
    engine->animation->size(w, h);
    if (w == 0 || h == 0) return false;
    double fps = engine->animation->frameRate();
    if (std::isnan(fps) || fps <= 0) fps = kFallbackFrameRate;
    fps = std::min(fps, kMaxFrameRate);
    const size_t total_frames = std::clamp<size_t>(engine->animation->totalFrame(), 1, kMaxTotalFrames);
    engine->movie_w = movie_w_ = w;
    engine->movie_h = movie_h_ = h;
    engine->extents.assign(total_frames, -1.0f);
    clock_.Reset(fps, total_frames);
    engine_ = std::move(engine);
  } catch (...) {
    Unload();
    return false;
  }
  if (play_on_load_) clock_.Play();
  ResetQualityScale();
  Touch();
  return true;
}

void MoviePlayer::Unload() {
  worker_.reset();
  kept_ = false;
  engine_.reset();
  movie_w_ = movie_h_ = 0;
  clock_.Reset(kFallbackFrameRate, 1);
  rendered_ = false;
  Touch();
}

void MoviePlayer::Play() {
  if (engine_) clock_.Play();
}

void MoviePlayer::Stop() { clock_.Stop(); }

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

void MoviePlayer::SetWMode(WindowMode v) {
  wmode_ = v;
  Touch();
}

void MoviePlayer::SetQuality(RenderQuality v) {
  quality_ = v;
  ResetQualityScale();
  rendered_ = false;
  Touch();
}

void MoviePlayer::SetScale(ScaleMode v) {
  scale_ = v;
  Touch();
}

void MoviePlayer::SetBGColor(uint32_t rgb) {
  fill_color_ = 0xFF000000u | rgb;
  Touch();
}

void MoviePlayer::SetDrawLimits(double max_fps, double max_render_scale) {
  clock_.SetMaxFps(max_fps);
  max_render_scale = max_render_scale < 0.5 ? 0.25 : max_render_scale < 1 ? 0.5 : 1;
  if (max_render_scale == max_render_scale_) return;
  max_render_scale_ = max_render_scale;
  rendered_ = false;  // drawn again at the new resolution
  Touch();
}

void MoviePlayer::SetRenderPixelBudget(uint64_t pixels) {
  if (pixels == pixel_budget_) return;
  pixel_budget_ = pixels;
  rendered_ = false;  // drawn again at the new resolution
  Touch();
}

void MoviePlayer::SetCostClock(std::function<double()> clock) {
  cost_clock_ = clock ? std::move(clock) : std::function<double()>(SteadyMs);
}

void MoviePlayer::ResetQualityScale() {
  quality_scale_ = (quality_ == RenderQuality::Low || quality_ == RenderQuality::AutoLow) ? 0.5 : 1.0;
  slow_renders_ = fast_renders_ = 0;
}

// ---- Frame clock ----

bool MoviePlayer::Advance(double now_ms) {
  if (!engine_ || !clock_.Advance(now_ms)) return false;
  Touch();
  return true;
}

double MoviePlayer::NextFrameDueMs(double now_ms) const {
  if (!engine_) return std::numeric_limits<double>::infinity();
  return clock_.NextDueMs(now_ms);
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
  if (!engine_) return PixelRect{};
  if (scale_ == ScaleMode::ExactFit) return FrameRect();
  if (!(width_ > 0) || !(height_ > 0)) return PixelRect{};
  const double mw = double(movie_w_), mh = double(movie_h_);
  const double s = std::min(double(width_) / mw, double(height_) / mh);
  const double fw = mw * s, fh = mh * s;
  const double x = left_ + (width_ - fw) / 2, y = top_ + (height_ - fh) / 2;
  PixelRect r;
  if (!ToPixels(x, x + fw, &r.x, &r.w) || !ToPixels(y, y + fh, &r.y, &r.h)) return PixelRect{};
  return r;
}

PixelRect MoviePlayer::Footprint() const { return wmode_ == WindowMode::Transparent ? ContentRect() : FrameRect(); }

LayerPicture MoviePlayer::Picture() {
  LayerPicture pic;
  if (wmode_ == WindowMode::Window) {
    pic.fill = FrameRect();
    pic.fill_color = fill_color_;
  }
  if (!engine_) return pic;
  const PixelRect content = ContentRect();
  if (content.Empty()) return pic;
  if (!rendered_ || rendered_frame_ != clock_.Frame() || rendered_rect_.w != content.w || rendered_rect_.h != content.h) {
    if (!RenderFrame(content)) return pic;
  }
  pic.pixels = engine_->output.data();
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
  scale = std::min(scale, max_render_scale_);
  if (scale < 1 && uint64_t((w + 1) / 2) * uint64_t((h + 1) / 2) > kMaxRenderPixels) return false;

  MovieEngine& engine = *engine_;
  engine.frame = clock_.Frame();
  engine.w = w;
  engine.h = h;
  engine.shrink = scale < 0.5 ? 4 : scale < 1 ? 2 : 1;
  engine.stretch_w = engine.stretch_h = 0;
  const double pixels = double(w) * double(h);
  if (pixel_budget_ > 0 && pixels * scale * scale > double(pixel_budget_)) {
    // Fewer pixels than the quality asks for: rendered smaller and stretched.
    scale = std::sqrt(double(pixel_budget_) / pixels);
    engine.stretch_w = std::clamp(int(std::lround(w * scale)), 1, w);
    engine.stretch_h = std::clamp(int(std::lround(h * scale)), 1, h);
  }
  const double started = cost_clock_();
  if (render_timeout_ms_ <= 0) {
    DrawHoldingRenderer(engine);
  } else {
    try {
      if (!worker_) worker_ = std::make_unique<RenderWorker>(engine_, render_start_hook_);
    } catch (...) {
      return false;  // no thread to be had: nothing is drawn
    }
    switch (worker_->Draw(render_timeout_ms_)) {
      case RenderWorker::Result::Drawn:
        break;
      case RenderWorker::Result::Skipped:
        // The renderer was busy with another movie: this frame is skipped and
        // the last picture stays, if it has the same size.
        return kept_ && kept_w_ == w && kept_h_ == h;
      case RenderWorker::Result::GivenUp:
        // The renderer is stuck on this movie: drop it, the layer stays empty.
        Unload();
        return false;
    }
  }
  const double cost = cost_clock_() - started;
  kept_ = engine.drawn;
  if (!engine.drawn) return false;
  kept_w_ = w;
  kept_h_ = h;

  rendered_ = true;
  rendered_frame_ = clock_.Frame();
  rendered_rect_ = content;
  render_scale_ = scale;

  // The Auto qualities follow the render cost: half resolution after two
  // renders over budget, full again after eight renders whose full-size cost
  // (the cost per pixel times the full picture's pixels) would stay well
  // inside the budget.
  const bool automatic = quality_ == RenderQuality::AutoHigh || quality_ == RenderQuality::AutoLow;
  if (automatic && !forced_half) {
    const double budget = 0.5 * 1000.0 / clock_.Fps();
    if (quality_scale_ >= 1) {
      slow_renders_ = cost > budget ? slow_renders_ + 1 : 0;
      if (slow_renders_ >= 2) {
        quality_scale_ = 0.5;
        slow_renders_ = fast_renders_ = 0;
      }
    } else {
      fast_renders_ = cost / (scale * scale) < budget * 0.5 ? fast_renders_ + 1 : 0;
      if (fast_renders_ >= 8) {
        quality_scale_ = 1;
        slow_renders_ = fast_renders_ = 0;
      }
    }
  }
  return true;
}
