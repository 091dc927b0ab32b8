#pragma once
// The screensaver window's picture, composed in memory and blitted once per
// change. Bottom to top: the background picture (stretched to the client
// area; black when there is none or it is hidden), the visualisation `Movie`
// (fitted in its frame), and the title `MovTitle` (over the whole client
// area). While the loading cover is shown, it alone is visible: black, with
// the loader `FlashLoad` at (16, 16), 113 by 43 pixels.
//
// The window calls Tick(now) from its timer and repaints (Render, then blit)
// only when Tick returns true; NextDueMs(now) says when to tick again.
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "movie/movie_player.h"

class Compositor {
 public:
  // The players start with the settings the window's design gives them:
  //   FlashLoad: Window, plays on load, no loop, High, ShowAll, BGColor 000000,
  //              at (16, 16) 113 x 43;
  //   Movie:     Transparent, stopped on load, loops, AutoLow, ShowAll;
  //   MovTitle:  Transparent, stopped on load, no loop, AutoHigh, ExactFit.
  Compositor();

  MoviePlayer FlashLoad;  // the loader, inside the cover
  MoviePlayer Movie;      // the visualisation
  MoviePlayer MovTitle;   // the title overlay

  // The client area. The back buffer is width * height pixels. False when
  // that buffer cannot be had: the last picture and its size stay.
  bool Resize(int width, int height);
  int Width() const { return width_; }
  int Height() const { return height_; }

  // The background picture: width * height 32-bit pixels, top-down rows,
  // blue in the low byte (a DIB section's layout). Its alpha byte is ignored:
  // the picture is opaque. Null or an empty size removes it. False when its
  // copy cannot be had: the picture set before stays.
  bool SetBackground(const uint32_t* pixels, int width, int height);
  void SetBackgroundVisible(bool visible);
  bool BackgroundVisible() const { return background_visible_; }

  // The black loading cover; shown from the start.
  void SetCoverVisible(bool visible);
  bool CoverVisible() const { return cover_visible_; }

  // Marks part or all of the picture for composing again (say, after the
  // window lost its contents); changes made through this class need no call.
  void Invalidate(const PixelRect& r);
  void InvalidateAll();

  // Moves the players' clocks to now_ms. True when the picture changed since
  // the last Render (a visible layer's frame, a placement, a visibility, the
  // background, the size).
  bool Tick(double now_ms);
  // Composes what changed and returns the back buffer: width * height
  // premultiplied BGRA pixels, top-down, alpha 255 everywhere. Null when the
  // client area is empty. When a buffer that composing needs cannot be had,
  // the last picture is returned unchanged and composed again later.
  const uint32_t* Render();
  // The part of the picture that the next Render composes anew (within the
  // client area); the window needs to present only that part.
  PixelRect PendingRect() const;
  // When Tick should run next: now_ms when a repaint is pending, the earliest
  // next frame of a visible playing layer, or +infinity when nothing will
  // change by itself.
  double NextDueMs(double now_ms) const;

 private:
  struct Seen {
    uint64_t revision = 0;
    PixelRect footprint;
    // Rows of a picture that is composed again unchanged are measured once:
    // [first, end) of its non-transparent pixels, so the blend skips the rest.
    uint64_t composed_revision = 0;
    uint64_t spans_revision = 0;
    std::vector<std::pair<int, int>> spans;
  };
  struct Part {
    LayerPicture pic;
    const std::vector<std::pair<int, int>>* spans = nullptr;
  };
  void Check(MoviePlayer& layer, Seen& seen, bool visible);
  void PrepareBackground();
  Part Prepare(MoviePlayer& layer, Seen& seen);
  void ComposeRow(int y, int x0, int x1, const Part* parts, int count);

  int width_ = 0, height_ = 0;
  std::vector<uint32_t> buffer_;

  std::vector<uint32_t> background_;  // as given, alpha forced to 255
  int background_w_ = 0, background_h_ = 0;
  std::vector<uint32_t> background_scaled_;  // stretched to the client area
  int scaled_w_ = 0, scaled_h_ = 0;
  bool background_visible_ = true;
  bool cover_visible_ = true;

  Seen seen_load_, seen_movie_, seen_title_;
  PixelRect dirty_;  // what Render must compose again
  bool starved_ = false;  // the last Render could not compose
  static constexpr double kRetryMs = 250;
};

// Premultiplied source-over: dst = src + dst * (255 - src alpha) / 255 for
// each of count pixels, rounded exactly; all variants give the same bytes.
void BlendOverScalar(uint32_t* dst, const uint32_t* src, size_t count);
#if defined(__SSE2__)
void BlendOverSse2(uint32_t* dst, const uint32_t* src, size_t count);
#endif
void BlendOver(uint32_t* dst, const uint32_t* src, size_t count);  // the fastest available
// The same laid over `under` instead of dst (they may be the same pixels).
void BlendOverOntoScalar(uint32_t* dst, const uint32_t* under, const uint32_t* src, size_t count);
#if defined(__SSE2__)
void BlendOverOntoSse2(uint32_t* dst, const uint32_t* under, const uint32_t* src, size_t count);
#endif
void BlendOverOnto(uint32_t* dst, const uint32_t* under, const uint32_t* src, size_t count);

// Bilinear stretch of an opaque picture to dst_w x dst_h.
void StretchBilinear(const uint32_t* src, int src_w, int src_h, uint32_t* dst, int dst_w, int dst_h);
