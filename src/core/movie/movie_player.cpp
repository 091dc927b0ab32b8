#include "movie/movie_player.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <limits>
#include <mutex>
#include <new>
#include <thread>

#include "movie/lottie_validator.h"
#include "rlottie.h"
#include "rlottiecommon.h"

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
constexpr int kMaxRenderSide = 16000;
// How far from the picture's origin a frame's geometry may reach and still be
// drawn. The rasterizer walks every cell a segment crosses, so its work grows
// with the reach, and it leaves out segments longer than about 39,000 pixels:
// within this reach no segment is that long.
constexpr float kMaxRasterCoordinate = 16000;

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

// ---- Engine and render thread ----

// The renderer's two copies of a movie and the buffers it draws into. The
// second copy only measures each frame's geometry (see Extent) before the
// first one rasterizes it: the tree a copy describes a frame with points into
// paths that its next render frees.
struct MovieEngine {
  std::unique_ptr<rlottie::Animation> animation, probe;
  size_t movie_w = 0, movie_h = 0;
  std::vector<float> extents;     // per frame, in movie units; < 0 until measured
  std::vector<uint32_t> render;   // what the renderer drew (maybe half size)
  std::vector<uint32_t> output;   // the picture at content size

  // One job: draw `frame` into a w x h picture, at half resolution if asked.
  size_t frame = 0;
  int w = 0, h = 0;
  bool half = false;
  bool drawn = false;

  float Extent(size_t f);
  void Draw();
};

// How far from the origin (in movie units) anything the renderer rasterizes
// for frame f reaches: paths, stroke outlines (width times the miter limit),
// masks, clips and image corners. Infinity when a coordinate is not a number.
float MovieEngine::Extent(size_t f) {
  if (f >= extents.size()) return std::numeric_limits<float>::infinity();
  if (extents[f] >= 0) return extents[f];
  float reach = 0;
  auto take = [&reach](float v) {
    v = std::fabs(v);
    if (!(v <= reach)) reach = std::isnan(v) ? std::numeric_limits<float>::infinity() : v;
  };
  auto points = [&take](const float* p, size_t floats, float pad) {
    if (!p) return;
    for (size_t i = 0; i < floats; ++i) take(std::fabs(p[i]) + pad);
  };
  const LOTLayerNode* root = probe->renderTree(f, movie_w, movie_h);
  std::vector<const LOTLayerNode*> pending{root};
  while (!pending.empty()) {
    const LOTLayerNode* layer = pending.back();
    pending.pop_back();
    if (!layer) continue;
    points(layer->mClipPath.ptPtr, layer->mClipPath.ptCount, 0);
    for (size_t i = 0; layer->mMaskList.ptr && i < layer->mMaskList.size; ++i) {
      const LOTMask& mask = layer->mMaskList.ptr[i];
      points(mask.mPath.ptPtr, 2 * mask.mPath.ptCount, 0);  // counted in points here
    }
    for (size_t i = 0; layer->mNodeList.ptr && i < layer->mNodeList.size; ++i) {
      const LOTNode* node = layer->mNodeList.ptr[i];
      if (!node) continue;
      const float pad = node->mStroke.enable ? node->mStroke.width * std::max(1.0f, node->mStroke.miterLimit) : 0;
      take(pad);
      points(node->mPath.ptPtr, node->mPath.ptCount, pad);
      if (node->mImageInfo.data) {
        const auto& m = node->mImageInfo.mMatrix;
        const float iw = float(node->mImageInfo.width), ih = float(node->mImageInfo.height);
        for (const float x : {0.0f, iw}) {
          for (const float y : {0.0f, ih}) {
            take(x * m.m11 + y * m.m21 + m.m31);
            take(x * m.m12 + y * m.m22 + m.m32);
          }
        }
      }
    }
    for (size_t i = 0; layer->mLayerList.ptr && i < layer->mLayerList.size; ++i) {
      pending.push_back(layer->mLayerList.ptr[i]);
    }
  }
  extents[f] = reach;
  return reach;
}

namespace {

// The renderer is built without thread support: its rasterizer keeps its
// work buffers in one shared object, so only one render may run at a time in
// the whole program, whatever the movie. The gate says whether one runs; all
// render threads and the players waiting on them share its mutex.
//
// The gate is never destroyed: a render that was given up may still run
// while the program ends.
struct RenderGate {
  std::mutex mutex;
  std::condition_variable changed;
  bool busy = false;            // a render holds the renderer
  bool busy_abandoned = false;  // ... and the player that asked for it gave it up
  int abandoned_running = 0;    // renders given up that have not ended yet
  std::function<void(const MoviePlayer*)> start_hook;
};

RenderGate& Gate() {
  static RenderGate* gate = new RenderGate;
  return *gate;
}

std::atomic<int> g_default_render_timeout_ms{2000};

// Static destructors tear down the renderer's shared objects. A render that
// was given up may still be running inside them then, so a program that
// ends while one runs ends at once, without its static destructors. The
// handler is registered anew at each give-up: handlers run in the reverse
// order of registration, so it runs before the destructors of everything
// built before the render that it guards.
#if defined(__GLIBC__)
void EndWhileRendering(int status, void*) {
  std::unique_lock<std::mutex> lock(Gate().mutex);
  if (Gate().abandoned_running > 0) {
    std::fflush(nullptr);
    std::_Exit(status);
  }
}
void GuardProgramEnd() { on_exit(EndWhileRendering, nullptr); }
#else
void EndWhileRendering() {
  std::unique_lock<std::mutex> lock(Gate().mutex);
  // The exit status is not known here; the process ends as a failure.
  if (Gate().abandoned_running > 0) {
    std::fflush(nullptr);
    std::_Exit(EXIT_FAILURE);
  }
}
void GuardProgramEnd() { std::atexit(EndWhileRendering); }
#endif

// Runs f while holding the renderer, on the calling thread.
template <class F>
void WithRenderer(F f) {
  RenderGate& gate = Gate();
  {
    std::unique_lock<std::mutex> lock(gate.mutex);
    gate.changed.wait(lock, [&gate] { return !gate.busy; });
    gate.busy = true;
  }
  f();
  {
    std::lock_guard<std::mutex> lock(gate.mutex);
    gate.busy = false;
  }
  gate.changed.notify_all();
}

}  // namespace

void MovieEngine::Draw() {
  drawn = false;
  try {
    const int rw = half ? (w + 1) / 2 : w;
    const int rh = half ? (h + 1) / 2 : h;
    const double reach = double(Extent(frame)) * std::max(double(rw) / double(movie_w), double(rh) / double(movie_h));
    if (!(reach <= kMaxRasterCoordinate)) return;
    std::vector<uint32_t>& target = half ? render : output;
    target.resize(size_t(rw) * size_t(rh));
    rlottie::Surface surface(target.data(), size_t(rw), size_t(rh), size_t(rw) * 4);
    // The picture is already fitted to its rectangle, so the renderer stretches.
    animation->renderSync(frame, surface, /*keepAspectRatio=*/false);
    if (half) {
      output.resize(size_t(w) * size_t(h));
      Upscale2x(render.data(), rw, rh, output.data(), w, h);
    }
    drawn = true;
  } catch (...) {
    std::vector<uint32_t>().swap(render);
    std::vector<uint32_t>().swap(output);
  }
}

// A thread that runs one player's renders when asked. A job waits for the
// renderer (see RenderGate); the player waits for the job:
//  - a job that finishes in time is drawn;
//  - a job that has not started when the player stops waiting is withdrawn:
//    that frame is skipped, the player keeps its movie. The player stops
//    waiting at once when the renderer is held by a render that was given
//    up, since nobody can tell when that one ends;
//  - a job that runs longer than the time allowed is given up: it keeps the
//    renderer until it ends (if ever), and the player drops its movie.
// Everything the thread touches is shared or never destroyed, so a job that
// was given up can finish later without touching the player.
class RenderThread {
 public:
  enum class Result { Drawn, Skipped, GivenUp };

  RenderThread(std::shared_ptr<MovieEngine> engine, const MoviePlayer* owner) : shared_(std::make_shared<Shared>()) {
    shared_->engine = std::move(engine);
    shared_->owner = owner;
    thread_ = std::thread([s = shared_] { Loop(*s); });
  }
  ~RenderThread() {
    RenderGate& gate = Gate();
    {
      std::lock_guard<std::mutex> lock(gate.mutex);
      shared_->quit = true;
    }
    gate.changed.notify_all();
    if (abandoned_) {
      thread_.detach();
    } else {
      thread_.join();
    }
  }

  Result Draw(int timeout_ms) {
    using Clock = std::chrono::steady_clock;
    RenderGate& gate = Gate();
    std::unique_lock<std::mutex> lock(gate.mutex);
    Shared& s = *shared_;
    s.state = State::Pending;
    gate.changed.notify_all();
    const auto allowed = std::chrono::milliseconds(timeout_ms);
    auto deadline = Clock::now() + allowed;
    for (;;) {
      if (s.state == State::Done) {
        s.state = State::Idle;
        return Result::Drawn;
      }
      if (s.state == State::Pending && (gate.busy_abandoned || Clock::now() >= deadline)) {
        s.state = State::Idle;  // withdrawn: the thread will not start it
        return Result::Skipped;
      }
      // A job's time counts from its start, not from the wait for the renderer.
      if (s.state == State::Running) deadline = s.started + allowed;
      if (s.state == State::Running && Clock::now() >= deadline) {
        s.abandoned = true;
        gate.busy_abandoned = true;
        ++gate.abandoned_running;
        abandoned_ = true;
        GuardProgramEnd();
        return Result::GivenUp;
      }
      gate.changed.wait_until(lock, deadline);
    }
  }

 private:
  enum class State { Idle, Pending, Running, Done };
  struct Shared {
    std::shared_ptr<MovieEngine> engine;
    const MoviePlayer* owner = nullptr;  // identifies the player; never dereferenced
    State state = State::Idle;
    std::chrono::steady_clock::time_point started;
    bool quit = false, abandoned = false;
  };
  static void Loop(Shared& s) {
    RenderGate& gate = Gate();
    std::unique_lock<std::mutex> lock(gate.mutex);
    for (;;) {
      gate.changed.wait(lock, [&] { return s.quit || (s.state == State::Pending && !gate.busy); });
      if (s.quit) return;  // a job still pending is dropped with its player
      s.state = State::Running;
      s.started = std::chrono::steady_clock::now();
      gate.busy = true;
      const std::function<void(const MoviePlayer*)> hook = gate.start_hook;
      lock.unlock();
      if (hook) hook(s.owner);
      s.engine->Draw();
      lock.lock();
      gate.busy = false;
      if (s.abandoned) {
        gate.busy_abandoned = false;
        --gate.abandoned_running;
      }
      s.state = State::Done;
      gate.changed.notify_all();
      if (s.abandoned) return;
    }
  }

  std::shared_ptr<Shared> shared_;
  std::thread thread_;
  bool abandoned_ = false;
};

void MoviePlayer::SetRenderStartHookForTesting(std::function<void(const MoviePlayer*)> hook) {
  std::lock_guard<std::mutex> lock(Gate().mutex);
  Gate().start_hook = std::move(hook);
}

void MoviePlayer::WaitForAbandonedRenders() {
  RenderGate& gate = Gate();
  std::unique_lock<std::mutex> lock(gate.mutex);
  gate.changed.wait(lock, [&gate] { return gate.abandoned_running == 0; });
}

void MoviePlayer::SetDefaultRenderTimeoutMs(int ms) { g_default_render_timeout_ms = ms; }

MoviePlayer::MoviePlayer() : render_timeout_ms_(g_default_render_timeout_ms), cost_clock_(SteadyMs) {}
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
    total_frames_ = std::clamp<size_t>(engine->animation->totalFrame(), 1, kMaxTotalFrames);
    engine->movie_w = movie_w_ = w;
    engine->movie_h = movie_h_ = h;
    engine->extents.assign(total_frames_, -1.0f);
    fps_ = fps;
    engine_ = std::move(engine);
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
  worker_.reset();
  kept_ = false;
  engine_.reset();
  movie_w_ = movie_h_ = 0;
  total_frames_ = 1;
  fps_ = kFallbackFrameRate;
  frame_ = 0;
  playing_ = false;
  anchored_ = false;
  rendered_ = false;
  Touch();
}

void MoviePlayer::Play() {
  if (!engine_ || playing_) return;
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
  if (!engine_ || !playing_ || std::isnan(now_ms)) return false;
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
  if (!engine_ || !playing_) return std::numeric_limits<double>::infinity();
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
  if (!engine_) return PixelRect{};
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
  if (!engine_) return pic;
  const PixelRect content = ContentRect();
  if (content.Empty()) return pic;
  if (!rendered_ || rendered_frame_ != frame_ || rendered_rect_.w != content.w || rendered_rect_.h != content.h) {
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
  if (scale < 1 && uint64_t((w + 1) / 2) * uint64_t((h + 1) / 2) > kMaxRenderPixels) return false;

  MovieEngine& engine = *engine_;
  engine.frame = frame_;
  engine.w = w;
  engine.h = h;
  engine.half = scale < 1;
  const double started = cost_clock_();
  if (render_timeout_ms_ <= 0) {
    WithRenderer([&engine] { engine.Draw(); });
  } else {
    try {
      if (!worker_) worker_ = std::make_unique<RenderThread>(engine_, this);
    } catch (...) {
      return false;  // no thread to be had: nothing is drawn
    }
    switch (worker_->Draw(render_timeout_ms_)) {
      case RenderThread::Result::Drawn:
        break;
      case RenderThread::Result::Skipped:
        // The renderer was busy with another movie: this frame is skipped and
        // the last picture stays, if it has the same size.
        return kept_ && kept_w_ == w && kept_h_ == h;
      case RenderThread::Result::GivenUp:
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
