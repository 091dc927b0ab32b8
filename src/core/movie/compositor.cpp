#include "movie/compositor.h"

#include <algorithm>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

PixelRect Intersect(const PixelRect& a, const PixelRect& b) {
  const int x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
  const long x1 = std::min(long(a.x) + a.w, long(b.x) + b.w);
  const long y1 = std::min(long(a.y) + a.h, long(b.y) + b.h);
  if (x1 <= x0 || y1 <= y0) return PixelRect{};
  return PixelRect{x0, y0, int(x1 - x0), int(y1 - y0)};
}

PixelRect Union(const PixelRect& a, const PixelRect& b) {
  if (a.Empty()) return b;
  if (b.Empty()) return a;
  const int x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
  const long x1 = std::max(long(a.x) + a.w, long(b.x) + b.w);
  const long y1 = std::max(long(a.y) + a.h, long(b.y) + b.h);
  const long kMax = std::numeric_limits<int>::max();
  return PixelRect{x0, y0, int(std::min(x1 - x0, kMax)), int(std::min(y1 - y0, kMax))};
}

// x * a / 255, rounded to nearest, for x and a in 0..255.
inline uint32_t MulDiv255(uint32_t x, uint32_t a) {
  const uint32_t t = x * a + 128;
  return (t + (t >> 8)) >> 8;
}

inline uint32_t BlendPixel(uint32_t d, uint32_t s) {
  const uint32_t ia = 255 - (s >> 24);
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const uint32_t c = ((s >> shift) & 0xFF) + MulDiv255((d >> shift) & 0xFF, ia);
    out |= std::min(c, 255u) << shift;
  }
  return out;
}

}  // namespace

// ---- Blending ----

void BlendOverOntoScalar(uint32_t* dst, const uint32_t* under, const uint32_t* src, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const uint32_t s = src[i];
    if (s == 0) {
      dst[i] = under[i];
    } else {
      dst[i] = (s >> 24) == 255 ? s : BlendPixel(under[i], s);
    }
  }
}

void BlendOverScalar(uint32_t* dst, const uint32_t* src, size_t count) { BlendOverOntoScalar(dst, dst, src, count); }

#if defined(__SSE2__)
void BlendOverOntoSse2(uint32_t* dst, const uint32_t* under, const uint32_t* src, size_t count) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i ones = _mm_set1_epi32(-1);
  const __m128i c255 = _mm_set1_epi32(255);
  const __m128i c128 = _mm_set1_epi16(128);
  const __m128i c257 = _mm_set1_epi16(257);
  size_t i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    // Fully transparent source leaves what lies under; fully opaque replaces it.
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(s, zero)) == 0xFFFF) {
      if (dst != under) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(under + i)));
      }
      continue;
    }
    if ((_mm_movemask_epi8(_mm_cmpeq_epi8(s, ones)) & 0x8888) == 0x8888) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), s);
      continue;
    }
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(under + i));
    // 255 - alpha of each pixel, repeated in the four 16-bit lanes of its channels.
    __m128i ia = _mm_sub_epi32(c255, _mm_srli_epi32(s, 24));
    ia = _mm_or_si128(ia, _mm_slli_epi32(ia, 16));
    const __m128i ia_lo = _mm_unpacklo_epi32(ia, ia);
    const __m128i ia_hi = _mm_unpackhi_epi32(ia, ia);
    // t = x * ia + 128; t * 257 >> 16 is the rounded t / 255.
    const __m128i lo = _mm_mulhi_epu16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), ia_lo), c128), c257);
    const __m128i hi = _mm_mulhi_epu16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), ia_hi), c128), c257);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_adds_epu8(s, _mm_packus_epi16(lo, hi)));
  }
  BlendOverOntoScalar(dst + i, under + i, src + i, count - i);
}

void BlendOverSse2(uint32_t* dst, const uint32_t* src, size_t count) { BlendOverOntoSse2(dst, dst, src, count); }
#endif

void BlendOverOnto(uint32_t* dst, const uint32_t* under, const uint32_t* src, size_t count) {
#if defined(__SSE2__)
  BlendOverOntoSse2(dst, under, src, count);
#else
  BlendOverOntoScalar(dst, under, src, count);
#endif
}

void BlendOver(uint32_t* dst, const uint32_t* src, size_t count) { BlendOverOnto(dst, dst, src, count); }

void StretchBilinear(const uint32_t* src, int src_w, int src_h, uint32_t* dst, int dst_w, int dst_h) {
  if (src_w <= 0 || src_h <= 0 || dst_w <= 0 || dst_h <= 0) return;
  // Source position of each destination column, in 1/256 pixel: the centres
  // of the two pictures line up.
  struct Tap {
    int i0, i1;
    uint32_t f;
  };
  auto taps = [](int n_src, int n_dst) {
    std::vector<Tap> t(static_cast<size_t>(n_dst));
    for (int i = 0; i < n_dst; ++i) {
      const double pos = (i + 0.5) * n_src / n_dst - 0.5;
      const double p = std::clamp(pos, 0.0, double(n_src - 1));
      const int i0 = static_cast<int>(p);
      t[size_t(i)] = Tap{i0, std::min(i0 + 1, n_src - 1), static_cast<uint32_t>((p - i0) * 256 + 0.5)};
    }
    return t;
  };
  const std::vector<Tap> xs = taps(src_w, dst_w), ys = taps(src_h, dst_h);
  auto mix = [](uint32_t a, uint32_t b, uint32_t f) {
    // f in 0..256; mixes the blue-red pair and the green byte separately.
    const uint32_t rb = (((a & 0xFF00FFu) * (256 - f) + (b & 0xFF00FFu) * f) >> 8) & 0xFF00FFu;
    const uint32_t g = (((a & 0xFF00u) * (256 - f) + (b & 0xFF00u) * f) >> 8) & 0xFF00u;
    return rb | g;
  };
  for (int y = 0; y < dst_h; ++y) {
    const Tap& ty = ys[size_t(y)];
    const uint32_t* r0 = src + size_t(ty.i0) * size_t(src_w);
    const uint32_t* r1 = src + size_t(ty.i1) * size_t(src_w);
    uint32_t* out = dst + size_t(y) * size_t(dst_w);
    for (int x = 0; x < dst_w; ++x) {
      const Tap& tx = xs[size_t(x)];
      const uint32_t top = mix(r0[tx.i0], r0[tx.i1], tx.f);
      const uint32_t bottom = mix(r1[tx.i0], r1[tx.i1], tx.f);
      out[x] = 0xFF000000u | mix(top, bottom, ty.f);
    }
  }
}

// ---- Compositor ----

Compositor::Compositor() {
  FlashLoad.SetWMode("Window");
  FlashLoad.SetPlayOnLoad(true);
  FlashLoad.SetLoop(false);
  FlashLoad.SetQuality("High");
  FlashLoad.SetMenu(true);
  FlashLoad.SetScale("ShowAll");
  FlashLoad.SetBGColor("000000");
  FlashLoad.SetPlacement(16, 16, 113, 43);

  MovTitle.SetWMode("Transparent");
  MovTitle.SetPlayOnLoad(false);
  MovTitle.SetLoop(false);
  MovTitle.SetQuality("AutoHigh");
  MovTitle.SetMenu(false);
  MovTitle.SetScale("ExactFit");
  MovTitle.SetBGColor("");

  Movie.SetWMode("Transparent");
  Movie.SetPlayOnLoad(false);
  Movie.SetLoop(true);
  Movie.SetQuality("AutoLow");
  Movie.SetMenu(true);
  Movie.SetScale("ShowAll");
  Movie.SetBGColor("");
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

void Compositor::Check(MoviePlayer& layer, Seen& seen, bool visible) {
  if (layer.Revision() == seen.revision) return;
  const PixelRect now = layer.Footprint();
  if (visible) {
    Invalidate(seen.footprint);
    Invalidate(now);
  }
  seen.revision = layer.Revision();
  seen.footprint = now;
}

bool Compositor::Tick(double now_ms) {
  FlashLoad.Advance(now_ms);
  Movie.Advance(now_ms);
  MovTitle.Advance(now_ms);
  Check(FlashLoad, seen_load_, cover_visible_);
  Check(Movie, seen_movie_, !cover_visible_);
  Check(MovTitle, seen_title_, !cover_visible_);
  return !Intersect(dirty_, PixelRect{0, 0, width_, height_}).Empty();
}

PixelRect Compositor::PendingRect() const { return Intersect(dirty_, PixelRect{0, 0, width_, height_}); }

double Compositor::NextDueMs(double now_ms) const {
  const PixelRect client{0, 0, width_, height_};
  // After a picture that could not be composed, try again a little later.
  if (starved_) return now_ms + kRetryMs;
  if (!Intersect(dirty_, client).Empty()) return now_ms;
  double due = std::numeric_limits<double>::infinity();
  auto consider = [&](const MoviePlayer& layer, const Seen& seen) {
    if (layer.Revision() != seen.revision) due = now_ms;
    due = std::min(due, layer.NextFrameDueMs(now_ms));
  };
  if (cover_visible_) {
    consider(FlashLoad, seen_load_);
  } else {
    consider(Movie, seen_movie_);
    consider(MovTitle, seen_title_);
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

Compositor::Part Compositor::Prepare(MoviePlayer& layer, Seen& seen) {
  Part part;
  part.pic = layer.Picture();
  const uint64_t revision = layer.Revision();
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
void Compositor::ComposeRow(int y, int x0, int x1, const Part* parts, int count) {
  uint32_t* row = buffer_.data() + size_t(y) * size_t(width_);
  const uint32_t* under = nullptr;
  if (!cover_visible_ && background_visible_ && !background_.empty()) {
    under = background_scaled_.data() + size_t(y) * size_t(width_);
  }
  // The columns [a, b) of this row that part i's picture covers, and its pixels there.
  auto covered = [&](int i, int* a, int* b) -> const uint32_t* {
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

  int i = 0, a = 0, b = 0;
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
  Check(FlashLoad, seen_load_, cover_visible_);
  Check(Movie, seen_movie_, !cover_visible_);
  Check(MovTitle, seen_title_, !cover_visible_);
  const PixelRect clip = Intersect(dirty_, PixelRect{0, 0, width_, height_});
  if (clip.Empty()) {
    dirty_ = PixelRect{};
    return buffer_.data();
  }

  Part parts[2];
  int count = 0;
  try {
    if (cover_visible_) {
      parts[count++] = Prepare(FlashLoad, seen_load_);
    } else {
      if (background_visible_) PrepareBackground();
      parts[count++] = Prepare(Movie, seen_movie_);
      parts[count++] = Prepare(MovTitle, seen_title_);
    }
  } catch (...) {
    // A buffer could not be had: this frame is skipped, the last picture
    // stays, and the part is composed again later.
    starved_ = true;
    return buffer_.data();
  }
  starved_ = false;
  dirty_ = PixelRect{};
  for (int y = clip.y; y < clip.y + clip.h; ++y) ComposeRow(y, clip.x, clip.x + clip.w, parts, count);
  return buffer_.data();
}
