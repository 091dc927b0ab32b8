#pragma once
// Operations on 32-bit pictures: rectangles of the window, premultiplied
// blending, stretching and doubling. Pixels are 0xAARRGGBB words, rows
// top-down, blue in the low byte (a DIB section's layout).
#include <cstddef>
#include <cstdint>

// A rectangle of the window in whole pixels; it may reach outside the window.
struct PixelRect {
  int x = 0, y = 0, w = 0, h = 0;
  bool Empty() const { return w <= 0 || h <= 0; }
  bool operator==(const PixelRect& o) const { return x == o.x && y == o.y && w == o.w && h == o.h; }
  bool operator!=(const PixelRect& o) const { return !(*this == o); }
};

// The common part of two rectangles; empty when they do not meet.
PixelRect Intersect(const PixelRect& a, const PixelRect& b);
// The smallest rectangle holding both; an empty one adds nothing.
PixelRect Union(const PixelRect& a, const PixelRect& b);

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

// Doubles a premultiplied picture (src_w x src_h) by averaging neighbours and
// writes the top-left dst_w x dst_h of it (dst_w <= 2*src_w, dst_h <= 2*src_h).
void Upscale2x(const uint32_t* src, int src_w, int src_h, uint32_t* dst, int dst_w, int dst_h);
void Upscale2xScalar(const uint32_t* src, int src_w, int src_h, uint32_t* dst, int dst_w, int dst_h);

// Bilinear stretch of a premultiplied picture (src_w x src_h) up to a larger
// dst_w x dst_h, the centres of the two pictures lined up, in 1/128 pixel
// steps. All variants give the same bytes.
void UpscaleBilinear(const uint32_t* src, int src_w, int src_h, uint32_t* dst, int dst_w, int dst_h);
void UpscaleBilinearScalar(const uint32_t* src, int src_w, int src_h, uint32_t* dst, int dst_w, int dst_h);
