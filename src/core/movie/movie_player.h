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
#include <vector>

struct MovieEngine;
class RenderThread;

// A rectangle of the window in whole pixels; it may reach outside the window.
struct PixelRect {
  int x = 0, y = 0, w = 0, h = 0;
  bool Empty() const { return w <= 0 || h <= 0; }
  bool operator==(const PixelRect& o) const { return x == o.x && y == o.y && w == o.w && h == o.h; }
  bool operator!=(const PixelRect& o) const { return !(*this == o); }
};

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

  // ---- Properties (the values the control understood; case does not matter) ----
  // "Window": the frame is opaque, painted with BGColor; "Transparent": only
  // the movie's own pixels cover what lies below.
  const std::string& WMode() const { return wmode_; }
  void SetWMode(const std::string& v);
  // Start playing as soon as a movie is loaded (the control's Play property).
  bool PlayOnLoad() const { return play_on_load_; }
  void SetPlayOnLoad(bool v) { play_on_load_ = v; }
  // Restart at the end; otherwise the last frame stays.
  bool Loop() const { return loop_; }
  void SetLoop(bool v);
  // "High" and "Low" render at full and half resolution. "AutoHigh" starts at
  // full and "AutoLow" at half resolution; both switch to half when a render
  // takes longer than half a frame interval, and back to full when a full
  // render is predicted to fit comfortably. Half resolution is upscaled.
  const std::string& Quality() const { return quality_; }
  void SetQuality(const std::string& v);
  // "ShowAll": the movie keeps its proportions, centred in the frame;
  // "ExactFit": it is stretched to the frame.
  const std::string& Scale() const { return scale_; }
  void SetScale(const std::string& v);
  // "RRGGBB" in hex, used in "Window" mode; empty or unreadable means black.
  const std::string& BGColor() const { return bgcolor_; }
  void SetBGColor(const std::string& v);
  // Kept for the window; there is no context menu.
  bool Menu() const { return menu_; }
  void SetMenu(bool v) { menu_ = v; }

  // ---- State ----
  bool Loaded() const { return engine_ != nullptr; }
  bool Playing() const { return playing_; }
  size_t CurrentFrame() const { return frame_; }
  size_t TotalFrames() const { return total_frames_; }
  double FrameRate() const { return fps_; }  // as clamped to (0, 120]
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
  // Resolution factor of the last render: 1 (full) or 0.5 (half).
  double RenderScale() const { return render_scale_; }
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
  // The time allowed to players created from now on (default 2000 ms).
  static void SetDefaultRenderTimeoutMs(int ms);
  // Blocks until no render that was given up runs any more.
  static void WaitForAbandonedRenders();
  // Test seam: called on the render thread when a render starts (it then
  // holds the renderer), with the player that asked for it; the pointer only
  // identifies the player and may be stale. An empty function removes it.
  static void SetRenderStartHookForTesting(std::function<void(const MoviePlayer*)> hook);

 private:
  void Unload();
  void Touch() { ++revision_; }
  bool Transparent() const;
  bool ExactFit() const;
  void ResetQualityScale();
  bool RenderFrame(const PixelRect& content);

  // Properties.
  float left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  std::string wmode_ = "Window";
  bool play_on_load_ = true;
  bool loop_ = true;
  std::string quality_ = "High";
  std::string scale_ = "ShowAll";
  std::string bgcolor_;
  uint32_t fill_color_ = 0xFF000000u;
  bool menu_ = true;

  // Movie and clock. The engine holds the renderer's objects and buffers; the
  // render thread shares it.
  std::shared_ptr<MovieEngine> engine_;
  std::unique_ptr<RenderThread> worker_;
  int render_timeout_ms_;
  size_t movie_w_ = 0, movie_h_ = 0;
  size_t total_frames_ = 1;
  double fps_ = 30;
  size_t frame_ = 0;
  bool playing_ = false;
  bool anchored_ = false;
  double anchor_ms_ = 0;
  size_t anchor_frame_ = 0;
  uint64_t revision_ = 1;

  // Rendering.
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

// Doubles a premultiplied picture (src_w x src_h) by averaging neighbours and
// writes the top-left dst_w x dst_h of it (dst_w <= 2*src_w, dst_h <= 2*src_h).
void Upscale2x(const uint32_t* src, int src_w, int src_h, uint32_t* dst, int dst_w, int dst_h);
void Upscale2xScalar(const uint32_t* src, int src_w, int src_h, uint32_t* dst, int dst_w, int dst_h);
