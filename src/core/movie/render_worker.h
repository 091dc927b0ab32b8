#pragma once
// The renderer's side of a movie layer: the movie's objects and buffers, and
// the thread that draws them. The renderer is built without thread support,
// so only one render runs at a time in the whole program; a render that hangs
// costs only its own player its movie, and a program that ends while such a
// render runs does not tear the renderer down under it.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace rlottie {
class Animation;
}

// The renderer's two copies of a movie and the buffers it draws into. The
// second copy only measures each frame's geometry (see Extent) before the
// first one rasterizes it: the tree a copy describes a frame with points into
// paths that its next render frees.
struct MovieEngine {
  MovieEngine();
  ~MovieEngine();
  std::unique_ptr<rlottie::Animation> animation, probe;
  size_t movie_w = 0, movie_h = 0;
  std::vector<float> extents;     // per frame, in movie units; < 0 until measured
  std::vector<uint32_t> render;   // what the renderer drew (maybe smaller)
  std::vector<uint32_t> middle;   // a quarter-size render doubled once
  std::vector<uint32_t> output;   // the picture at content size

  // One job: draw `frame` into a w x h picture. With shrink 2 or 4 it is
  // drawn at half or a quarter of that size and doubled back once or twice;
  // with stretch_w x stretch_h set (0 otherwise), smaller than w x h, it is drawn at that
  // size and stretched back to w x h.
  size_t frame = 0;
  int w = 0, h = 0;
  int shrink = 1;
  int stretch_w = 0, stretch_h = 0;
  bool drawn = false;  // the last job's picture is in output

  // How far from the origin (in movie units) anything frame f rasterizes
  // reaches; infinity when a coordinate is not a number.
  float Extent(size_t f);
  // Runs the job on the calling thread. The caller holds the renderer.
  void Draw();
};

// Runs the engine's job on the calling thread, waiting for the renderer first
// for however long it takes.
void DrawHoldingRenderer(MovieEngine& engine);

// A thread that runs one player's renders when asked. A job waits for the
// renderer; the player waits for the job:
//  - a job that finishes in time is drawn;
//  - a job that has not started when the player stops waiting is withdrawn:
//    that frame is skipped, the player keeps its movie. The player stops
//    waiting at once when the renderer is held by a render that was given
//    up, since nobody can tell when that one ends;
//  - a job that runs longer than the time allowed is given up: it keeps the
//    renderer until it ends (if ever), and the player drops its movie.
// Everything the thread touches is shared or never destroyed, so a job that
// was given up can finish later without touching the player.
class RenderWorker {
 public:
  enum class Result { Drawn, Skipped, GivenUp };

  // start_hook, when set, runs on the worker thread each time a job starts
  // (the job then holds the renderer); tests hold renders with it.
  RenderWorker(std::shared_ptr<MovieEngine> engine, std::function<void()> start_hook);
  ~RenderWorker();
  RenderWorker(const RenderWorker&) = delete;
  RenderWorker& operator=(const RenderWorker&) = delete;

  // Runs the engine's job, allowing it timeout_ms from its start (and as
  // long to start).
  Result Draw(int timeout_ms);

  // Blocks until no render that was given up runs any more.
  static void WaitForAbandonedRenders();

 private:
  enum class State { Idle, Pending, Running, Done };
  struct Shared {
    std::shared_ptr<MovieEngine> engine;
    std::function<void()> start_hook;
    State state = State::Idle;
    std::chrono::steady_clock::time_point started;
    bool quit = false, abandoned = false;
  };
  static void Loop(Shared& s);

  std::shared_ptr<Shared> shared_;
  std::thread thread_;
  bool abandoned_ = false;
};
