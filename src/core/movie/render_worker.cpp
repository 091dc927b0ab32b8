#include "movie/render_worker.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <mutex>

#include "rlottie.h"
#include "rlottiecommon.h"

#include "movie/pixel_ops.h"

namespace {

// How far from the picture's origin a frame's geometry may reach and still be
// drawn. The rasterizer walks every cell a segment crosses, so its work grows
// with the reach, and it leaves out segments longer than about 39,000 pixels:
// within this reach no segment is that long.
constexpr float kMaxRasterCoordinate = 16000;

}  // namespace

MovieEngine::MovieEngine() = default;
MovieEngine::~MovieEngine() = default;

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
};

RenderGate& Gate() {
  static RenderGate* gate = new RenderGate;
  return *gate;
}

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

}  // namespace

void DrawHoldingRenderer(MovieEngine& engine) {
  RenderGate& gate = Gate();
  {
    std::unique_lock<std::mutex> lock(gate.mutex);
    gate.changed.wait(lock, [&gate] { return !gate.busy; });
    gate.busy = true;
  }
  engine.Draw();
  {
    std::lock_guard<std::mutex> lock(gate.mutex);
    gate.busy = false;
  }
  gate.changed.notify_all();
}

void MovieEngine::Draw() {
  drawn = false;
  try {
    const bool stretched = stretch_w > 0 && stretch_h > 0 && (stretch_w < w || stretch_h < h);
    const int rw = stretched ? stretch_w : (w + shrink - 1) / shrink;
    const int rh = stretched ? stretch_h : (h + shrink - 1) / shrink;
    const double reach = double(Extent(frame)) * std::max(double(rw) / double(movie_w), double(rh) / double(movie_h));
    if (!(reach <= kMaxRasterCoordinate)) return;
    std::vector<uint32_t>& target = stretched || shrink > 1 ? render : output;
    target.resize(size_t(rw) * size_t(rh));
    rlottie::Surface surface(target.data(), size_t(rw), size_t(rh), size_t(rw) * 4);
    // The picture is already fitted to its rectangle, so the renderer stretches.
    animation->renderSync(frame, surface, /*keepAspectRatio=*/false);
    if (stretched) {
      output.resize(size_t(w) * size_t(h));
      UpscaleBilinear(render.data(), rw, rh, output.data(), w, h);
    } else if (shrink == 2) {
      output.resize(size_t(w) * size_t(h));
      Upscale2x(render.data(), rw, rh, output.data(), w, h);
    } else if (shrink == 4) {
      const int mw = (w + 1) / 2, mh = (h + 1) / 2;
      middle.resize(size_t(mw) * size_t(mh));
      Upscale2x(render.data(), rw, rh, middle.data(), mw, mh);
      output.resize(size_t(w) * size_t(h));
      Upscale2x(middle.data(), mw, mh, output.data(), w, h);
    }
    drawn = true;
  } catch (...) {
    std::vector<uint32_t>().swap(render);
    std::vector<uint32_t>().swap(middle);
    std::vector<uint32_t>().swap(output);
  }
}

RenderWorker::RenderWorker(std::shared_ptr<MovieEngine> engine, std::function<void()> start_hook)
    : shared_(std::make_shared<Shared>()) {
  shared_->engine = std::move(engine);
  shared_->start_hook = std::move(start_hook);
  thread_ = std::thread([s = shared_] { Loop(*s); });
}

RenderWorker::~RenderWorker() {
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

RenderWorker::Result RenderWorker::Draw(int timeout_ms) {
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

void RenderWorker::Loop(Shared& s) {
  RenderGate& gate = Gate();
  std::unique_lock<std::mutex> lock(gate.mutex);
  for (;;) {
    gate.changed.wait(lock, [&] { return s.quit || (s.state == State::Pending && !gate.busy); });
    if (s.quit) return;  // a job still pending is dropped with its player
    s.state = State::Running;
    s.started = std::chrono::steady_clock::now();
    gate.busy = true;
    lock.unlock();
    if (s.start_hook) s.start_hook();
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

void RenderWorker::WaitForAbandonedRenders() {
  RenderGate& gate = Gate();
  std::unique_lock<std::mutex> lock(gate.mutex);
  gate.changed.wait(lock, [&gate] { return gate.abandoned_running == 0; });
}

