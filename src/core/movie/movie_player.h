#pragma once
// One movie layer: the player that stands where the window once held a
// browser-plugin movie control. It loads a Lottie file (checked first by
// ValidateLottie), keeps its own frame clock, and renders its current frame
// into a premultiplied BGRA picture that the Compositor lays into the window.
//
// Time is always passed in (milliseconds on any steady clock), so the frame
// clock is deterministic. Nothing here throws: a file that is missing, too
// large, invalid or refused leaves the layer empty.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "movie/frame_clock.h"
#include "movie/pixel_ops.h"

struct MovieEngine;
class RenderWorker;

// The values of the string properties, read once when they are set (case
// does not matter; an unknown value gives the first one of each list).
enum class WindowMode { Window, Transparent };
enum class RenderQuality { High, Low, AutoHigh, AutoLow };
enum class ScaleMode { ShowAll, ExactFit };
WindowMode ParseWindowMode(const std::string& v);
RenderQuality ParseRenderQuality(const std::string& v);
ScaleMode ParseScaleMode(const std::string& v);
// "RRGGBB" in hex as 0xFFRRGGBB; empty or unreadable means black.
uint32_t ParseColor(const std::string& v);

// What a layer shows right now.
struct LayerPicture {
  // The movie's frame: premultiplied BGRA (0xAARRGGBB words), top-down,
  // rect.w * rect.h pixels, placed at rect. Null when there is nothing to draw.
  const uint32_t* pixels = nullptr;
  PixelRect rect;
  // "Window" mode: the whole frame is painted opaque with this colour
  // (0xFFRRGGBB) under the movie. fill.Empty() in "Transparent" mode.
  PixelRect fill;
  uint32_t fill_color = 0xFF000000u;
};

class MoviePlayer {
 public:
  MoviePlayer();
  ~MoviePlayer();
  MoviePlayer(const MoviePlayer&) = delete;
  MoviePlayer& operator=(const MoviePlayer&) = delete;

  // ---- Operations ----
  // Loads the movie file at path into the given layer. Only layer 0 exists;
  // other layers are ignored. On any failure the layer is empty afterwards.
  void LoadMovie(int layer, const std::string& path);
  // The same from bytes already in memory. Returns whether a movie is loaded.
  bool LoadMovieData(const std::string& bytes);
  void Play();      // start or resume playing
  void Stop();      // stop playing; the frame stays on screen
  void StopPlay();  // stop playing (same effect as Stop)

  // ---- Placement, in window pixels ----
  float Left() const { return left_; }
  float Top() const { return top_; }
  float Width() const { return width_; }
  float Height() const { return height_; }
  void SetLeft(float v);
  void SetTop(float v);
  void SetWidth(float v);
  void SetHeight(float v);
  void SetPlacement(float left, float top, float width, float height);

  // ---- Properties (the values the control understood) ----
  // Window: the frame is opaque, painted with BGColor; Transparent: only the
  // movie's own pixels cover what lies below.
  WindowMode WMode() const { return wmode_; }
  void SetWMode(WindowMode v);
  void SetWMode(const std::string& v) { SetWMode(ParseWindowMode(v)); }
  // Start playing as soon as a movie is loaded (the control's Play property).
  bool PlayOnLoad() const { return play_on_load_; }
  void SetPlayOnLoad(bool v) { play_on_load_ = v; }
  // Restart at the end; otherwise the last frame stays.
  bool Loop() const { return clock_.Loop(); }
  void SetLoop(bool v) { clock_.SetLoop(v); }
  // High and Low render at full and half resolution. AutoHigh starts at full
  // and AutoLow at half resolution; both switch to half when a render takes
  // longer than half a frame interval, and back to full when a full render
  // is predicted to fit comfortably. Half resolution is upscaled.
  RenderQuality Quality() const { return quality_; }
  void SetQuality(RenderQuality v);
  void SetQuality(const std::string& v) { SetQuality(ParseRenderQuality(v)); }
  // ShowAll: the movie keeps its proportions, centred in the frame;
  // ExactFit: it is stretched to the frame.
  ScaleMode Scale() const { return scale_; }
  void SetScale(ScaleMode v);
  void SetScale(const std::string& v) { SetScale(ParseScaleMode(v)); }
  // The colour (0xFFRRGGBB) the frame is painted with in Window mode.
  uint32_t BGColor() const { return fill_color_; }
  void SetBGColor(uint32_t rgb);
  void SetBGColor(const std::string& v) { SetBGColor(ParseColor(v)); }
  // Kept for the window; there is no context menu.
  bool Menu() const { return menu_; }
  void SetMenu(bool v) { menu_ = v; }

  // ---- State ----
  bool Loaded() const { return engine_ != nullptr; }
  bool Playing() const { return clock_.Playing(); }
  size_t CurrentFrame() const { return clock_.Frame(); }
  size_t TotalFrames() const { return clock_.TotalFrames(); }
  double FrameRate() const { return clock_.Fps(); }  // as clamped to (0, 120]
  size_t MovieWidth() const { return movie_w_; }
  size_t MovieHeight() const { return movie_h_; }

  // ---- Frame clock ----
  // Moves the frame clock to now_ms. Returns true when the frame to show changed.
  bool Advance(double now_ms);
  // When the next frame is due (at or after now_ms); +infinity when none is.
  double NextFrameDueMs(double now_ms) const;

  // ---- Drawing ----
  // Grows whenever what the layer shows may have changed (frame, load,
  // placement, mode, scale, colour, quality).
  uint64_t Revision() const { return revision_; }
  // The placement rounded to whole pixels, and the part the movie covers.
  PixelRect FrameRect() const;
  PixelRect ContentRect() const;
  // Every pixel this layer may paint: the frame in "Window" mode, else the content.
  PixelRect Footprint() const;
  // Renders the current frame if it is not rendered yet, and returns the
  // picture. Its pixels stay valid until the next Picture, load or unload.
  // All members are for one thread (the window's); only the renderer itself
  // runs elsewhere.
  LayerPicture Picture();
  // Resolution factor of the last render: 1 (full), 0.5 or 0.25, or less
  // than the quality gives under the render-pixel budget.
  double RenderScale() const { return render_scale_; }
  // At most this many pixels rendered per frame (0: no limit): a larger
  // picture is rendered at the scale that fits and stretched back.
  void SetRenderPixelBudget(uint64_t pixels);
  uint64_t RenderPixelBudget() const { return pixel_budget_; }
  // Limits set from outside the movie (say, on battery power): at most
  // max_fps frame changes a second (0: every frame), and renders at no more
  // than max_render_scale of the full resolution (1, 0.5 or 0.25).
  void SetDrawLimits(double max_fps, double max_render_scale);
  // Clock (milliseconds) used only to time renders for the Auto qualities.
  void SetCostClock(std::function<double()> clock);
  // Renders run on a worker thread, one at a time in the whole program. A
  // render that runs longer than this (counted from its start) is given up,
  // and the layer stays empty from then on (the worker is left to finish on
  // its own). A render that cannot start in that time, or while a render
  // given up still holds the renderer, is withdrawn: that frame is skipped
  // and the last picture stays. 0 renders on the calling thread and waits
  // however long it takes (the fuzzer uses that to see slow inputs).
  void SetRenderTimeoutMs(int ms) { render_timeout_ms_ = ms; }
  int RenderTimeoutMs() const { return render_timeout_ms_; }
  static constexpr int kDefaultRenderTimeoutMs = 2000;
  // Blocks until no render that was given up runs any more.
  static void WaitForAbandonedRenders();
  // Test seam: runs on the render thread each time one of this player's
  // renders starts (it then holds the renderer). Empty removes it.
  void SetRenderStartHookForTesting(std::function<void()> hook);

 private:
  void Unload();
  void Touch() { ++revision_; }
  void ResetQualityScale();
  bool RenderFrame(const PixelRect& content);

  // Properties.
  float left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  WindowMode wmode_ = WindowMode::Window;
  bool play_on_load_ = true;
  RenderQuality quality_ = RenderQuality::High;
  ScaleMode scale_ = ScaleMode::ShowAll;
  uint32_t fill_color_ = 0xFF000000u;
  bool menu_ = true;

  // Movie and clock. The engine holds the renderer's objects and buffers; the
  // render thread shares it.
  std::shared_ptr<MovieEngine> engine_;
  std::unique_ptr<RenderWorker> worker_;
  std::function<void()> render_start_hook_;
  int render_timeout_ms_ = kDefaultRenderTimeoutMs;
  size_t movie_w_ = 0, movie_h_ = 0;
  FrameClock clock_;
  uint64_t revision_ = 1;

  // Rendering.
  double max_render_scale_ = 1;
  uint64_t pixel_budget_ = 0;
  double quality_scale_ = 1;  // what the next render will use
  double render_scale_ = 1;   // what the last render used
  int slow_renders_ = 0, fast_renders_ = 0;
  std::function<double()> cost_clock_;
  bool rendered_ = false;
  size_t rendered_frame_ = 0;
  bool kept_ = false;  // the engine's output holds the last picture drawn...
  int kept_w_ = 0, kept_h_ = 0;  // ... of this size
  PixelRect rendered_rect_;
};
