#pragma once
// A window's picture, composed in memory from a table of movie layers and
// blitted once per change. Each layer belongs to one of two groups:
//  - Cover: the loading cover, black, with its layers on it; while the cover
//    is shown, only it is visible;
//  - Scene: the background picture (stretched to the client area; black when
//    there is none or it is hidden), with the scene's layers on it.
// Within a group the layers lie in the order they were added, bottom to top.
//
// The window calls Tick(now) from its timer and repaints (Render, then blit)
// only when Tick returns true; NextDueMs(now) says when to tick again.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "movie/movie_player.h"
#include "movie/pixel_ops.h"

enum class LayerGroup { Cover, Scene };

class Compositor {
 public:
  Compositor();
  ~Compositor();
  Compositor(const Compositor&) = delete;
  Compositor& operator=(const Compositor&) = delete;

  // ---- Layers ----
  // Adds an empty layer of that name on top of its group and returns its
  // player, which lives as long as the compositor. A name already in the
  // table gives the layer that has it, unchanged.
  MoviePlayer& AddLayer(const std::string& name, LayerGroup group);
  // The layer of that name; null when there is none.
  MoviePlayer* FindLayer(const std::string& name);
  const MoviePlayer* FindLayer(const std::string& name) const;
  // The table, in the order the layers were added.
  size_t LayerCount() const { return layers_.size(); }
  MoviePlayer& LayerAt(size_t i) { return layers_.at(i)->player; }
  const MoviePlayer& LayerAt(size_t i) const { return layers_.at(i)->player; }
  const std::string& LayerName(size_t i) const { return layers_.at(i)->name; }
  LayerGroup GroupOf(size_t i) const { return layers_.at(i)->group; }

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

  // Moves every layer's clock to now_ms. True when the picture changed since
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
  struct Layer {
    std::string name;
    LayerGroup group;
    MoviePlayer player;
    Seen seen;
  };
  bool Visible(const Layer& layer) const { return (layer.group == LayerGroup::Cover) == cover_visible_; }
  void CheckAll();
  void Check(Layer& layer);
  void PrepareBackground();
  Part Prepare(Layer& layer);
  void ComposeRow(int y, int x0, int x1, const Part* parts, size_t count);

  std::vector<std::unique_ptr<Layer>> layers_;
  std::vector<Part> parts_;  // the visible layers' pictures while composing
  int width_ = 0, height_ = 0;
  std::vector<uint32_t> buffer_;

  std::vector<uint32_t> background_;  // as given, alpha forced to 255
  int background_w_ = 0, background_h_ = 0;
  std::vector<uint32_t> background_scaled_;  // stretched to the client area
  int scaled_w_ = 0, scaled_h_ = 0;
  bool background_visible_ = true;
  bool cover_visible_ = true;

  PixelRect dirty_;  // what Render must compose again
  bool starved_ = false;  // the last Render could not compose
  static constexpr double kRetryMs = 250;
};
