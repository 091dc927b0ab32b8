#include "movie/compositor.h"

#include <algorithm>
#include <cstring>
#include <limits>

// ---- Compositor ----

Compositor::Compositor() = default;
Compositor::~Compositor() = default;

MoviePlayer& Compositor::AddLayer(const std::string& name, LayerGroup group) {
  if (MoviePlayer* existing = FindLayer(name)) return *existing;
  auto layer = std::make_unique<Layer>();
  layer->name = name;
  layer->group = group;
  parts_.reserve(layers_.size() + 1);  // composing then needs no allocation
  layers_.push_back(std::move(layer));
  InvalidateAll();
  return layers_.back()->player;
}

MoviePlayer* Compositor::FindLayer(const std::string& name) {
  for (const auto& layer : layers_) {
    if (layer->name == name) return &layer->player;
  }
  return nullptr;
}

const MoviePlayer* Compositor::FindLayer(const std::string& name) const {
  return const_cast<Compositor*>(this)->FindLayer(name);
}

bool Compositor::Resize(int width, int height) {
  width = std::max(0, width);
  height = std::max(0, height);
  if (width == width_ && height == height_) return true;
  std::vector<uint32_t> buffer;
  // The pixel count may not even fit in a size_t (32-bit programs).
  if (uint64_t(width) * uint64_t(height) > buffer.max_size()) return false;
  try {
    buffer.assign(size_t(width) * size_t(height), 0xFF000000u);
  } catch (...) {
    return false;  // the last picture stays, at its size; a later Resize tries again
  }
  buffer_.swap(buffer);
  width_ = width;
  height_ = height;
  InvalidateAll();
  return true;
}

bool Compositor::SetBackground(const uint32_t* pixels, int width, int height) {
  std::vector<uint32_t> background;
  if (pixels && width > 0 && height > 0) {
    if (uint64_t(width) * uint64_t(height) > background.max_size()) return false;
    try {
      background.resize(size_t(width) * size_t(height));
    } catch (...) {
      return false;  // the picture shown so far stays
    }
    for (size_t i = 0; i < background.size(); ++i) background[i] = pixels[i] | 0xFF000000u;
  } else {
    width = height = 0;
  }
  background_.swap(background);
  background_w_ = width;
  background_h_ = height;
  scaled_w_ = scaled_h_ = 0;
  std::vector<uint32_t>().swap(background_scaled_);
  InvalidateAll();
  return true;
}

void Compositor::SetBackgroundVisible(bool visible) {
  if (visible == background_visible_) return;
  background_visible_ = visible;
  InvalidateAll();
}

void Compositor::SetCoverVisible(bool visible) {
  if (visible == cover_visible_) return;
  cover_visible_ = visible;
  InvalidateAll();
}

void Compositor::Invalidate(const PixelRect& r) { dirty_ = Union(dirty_, r); }
void Compositor::InvalidateAll() { dirty_ = PixelRect{0, 0, width_, height_}; }

void Compositor::Check(Layer& layer) {
  Seen& seen = layer.seen;
  if (layer.player.Revision() == seen.revision) return;
  const PixelRect now = layer.player.Footprint();
  if (Visible(layer)) {
    Invalidate(seen.footprint);
    Invalidate(now);
  }
  seen.revision = layer.player.Revision();
  seen.footprint = now;
}

void Compositor::CheckAll() {
  for (const auto& layer : layers_) Check(*layer);
}

bool Compositor::Tick(double now_ms) {
  for (const auto& layer : layers_) layer->player.Advance(now_ms);
  CheckAll();
  return !Intersect(dirty_, PixelRect{0, 0, width_, height_}).Empty();
}

PixelRect Compositor::PendingRect() const { return Intersect(dirty_, PixelRect{0, 0, width_, height_}); }

double Compositor::NextDueMs(double now_ms) const {
  const PixelRect client{0, 0, width_, height_};
  // After a picture that could not be composed, try again a little later.
  if (starved_) return now_ms + kRetryMs;
  if (!Intersect(dirty_, client).Empty()) return now_ms;
  double due = std::numeric_limits<double>::infinity();
  for (const auto& layer : layers_) {
    if (!Visible(*layer)) continue;
    if (layer->player.Revision() != layer->seen.revision) due = now_ms;
    due = std::min(due, layer->player.NextFrameDueMs(now_ms));
  }
  return due;
}

void Compositor::PrepareBackground() {
  if (background_.empty() || (scaled_w_ == width_ && scaled_h_ == height_)) return;
  scaled_w_ = scaled_h_ = 0;  // until the stretch below is complete
  background_scaled_.resize(size_t(width_) * size_t(height_));
  StretchBilinear(background_.data(), background_w_, background_h_, background_scaled_.data(), width_, height_);
  scaled_w_ = width_;
  scaled_h_ = height_;
}

Compositor::Part Compositor::Prepare(Layer& layer) {
  Seen& seen = layer.seen;
  Part part;
  part.pic = layer.player.Picture();
  const uint64_t revision = layer.player.Revision();
  const LayerPicture& pic = part.pic;
  if (pic.pixels && revision == seen.composed_revision && seen.spans_revision != revision) {
    seen.spans.resize(size_t(pic.rect.h));
    for (int y = 0; y < pic.rect.h; ++y) {
      const uint32_t* row = pic.pixels + size_t(y) * size_t(pic.rect.w);
      int first = 0, end = pic.rect.w;
      while (first < end && row[first] == 0) ++first;
      while (end > first && row[end - 1] == 0) --end;
      seen.spans[size_t(y)] = {first, end};
    }
    seen.spans_revision = revision;
  }
  seen.composed_revision = revision;
  if (pic.pixels && seen.spans_revision == revision) part.spans = &seen.spans;
  return part;
}

// One row of the back buffer from x0 to x1: the base, then each layer, so the
// row stays in cache while all of them are laid on it.
void Compositor::ComposeRow(int y, int x0, int x1, const Part* parts, size_t count) {
  uint32_t* row = buffer_.data() + size_t(y) * size_t(width_);
  const uint32_t* under = nullptr;
  if (!cover_visible_ && background_visible_ && !background_.empty()) {
    under = background_scaled_.data() + size_t(y) * size_t(width_);
  }
  // The columns [a, b) of this row that part i's picture covers, and its pixels there.
  auto covered = [&](size_t i, int* a, int* b) -> const uint32_t* {
    const LayerPicture& pic = parts[i].pic;
    const PixelRect& r = pic.rect;
    if (!pic.pixels || y < r.y || y - r.y >= r.h) return nullptr;
    *a = std::max(x0, r.x);
    *b = int(std::min<long>(x1, long(r.x) + r.w));
    if (parts[i].spans) {
      const std::pair<int, int>& span = (*parts[i].spans)[size_t(y - r.y)];
      *a = std::max(*a, r.x + span.first);
      *b = std::min(*b, r.x + span.second);
    }
    if (*a >= *b) return nullptr;
    return pic.pixels + size_t(y - r.y) * size_t(r.w) + size_t(*a - r.x);
  };

  size_t i = 0;
  int a = 0, b = 0;
  const uint32_t* src = nullptr;
  if (under && count > 0 && parts[0].pic.fill.Empty() && (src = covered(0, &a, &b)) != nullptr) {
    // The first layer is blended straight from the background, which saves
    // copying the background there first.
    std::memcpy(row + x0, under + x0, size_t(a - x0) * sizeof(uint32_t));
    BlendOverOnto(row + a, under + a, src, size_t(b - a));
    std::memcpy(row + b, under + b, size_t(x1 - b) * sizeof(uint32_t));
    i = 1;
  } else if (under) {
    std::memcpy(row + x0, under + x0, size_t(x1 - x0) * sizeof(uint32_t));
  } else {
    std::fill(row + x0, row + x1, 0xFF000000u);
  }
  for (; i < count; ++i) {
    const LayerPicture& pic = parts[i].pic;
    const PixelRect& f = pic.fill;
    if (!f.Empty() && y >= f.y && y - f.y < f.h) {
      const int fa = std::max(x0, f.x), fb = int(std::min<long>(x1, long(f.x) + f.w));
      if (fa < fb) std::fill(row + fa, row + fb, pic.fill_color);
    }
    if ((src = covered(i, &a, &b)) != nullptr) BlendOver(row + a, src, size_t(b - a));
  }
}

const uint32_t* Compositor::Render() {
  if (width_ <= 0 || height_ <= 0) return nullptr;
  CheckAll();
  const PixelRect clip = Intersect(dirty_, PixelRect{0, 0, width_, height_});
  if (clip.Empty()) {
    dirty_ = PixelRect{};
    return buffer_.data();
  }

  parts_.clear();
  try {
    if (!cover_visible_ && background_visible_) PrepareBackground();
    for (const auto& layer : layers_) {
      if (Visible(*layer)) parts_.push_back(Prepare(*layer));
    }
  } catch (...) {
    // A buffer could not be had: this frame is skipped, the last picture
    // stays, and the part is composed again later.
    starved_ = true;
    return buffer_.data();
  }
  starved_ = false;
  dirty_ = PixelRect{};
  for (int y = clip.y; y < clip.y + clip.h; ++y) ComposeRow(y, clip.x, clip.x + clip.w, parts_.data(), parts_.size());
  return buffer_.data();
}
