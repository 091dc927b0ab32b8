#include "movie/pixel_ops.h"

#include <algorithm>
#include <limits>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

namespace {

inline uint32_t AverageUp(uint32_t a, uint32_t b) {
  return (a | b) - (((a ^ b) & 0xFEFEFEFEu) >> 1);
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

// ---- Stretching a premultiplied picture ----

namespace {

// Where a destination pixel samples the source: between i0 and i1 = i0 + 1
// (or i0 at the edges), weight f / 128 on i1.
struct UpTap {
  int i0, i1;
  int f;
};

std::vector<UpTap> UpTaps(int n_src, int n_dst) {
  std::vector<UpTap> t(static_cast<size_t>(n_dst));
  for (int i = 0; i < n_dst; ++i) {
    // In 1/128 pixel: (i + 0.5) * n_src / n_dst - 0.5, kept inside the source.
    const int64_t pos = ((2 * int64_t(i) + 1) * n_src * 128 / n_dst - 128) / 2;
    const int64_t p = std::clamp<int64_t>(pos, 0, int64_t(n_src - 1) * 128);
    const int i0 = int(p >> 7);
    t[size_t(i)] = UpTap{i0, std::min(i0 + 1, n_src - 1), int(p & 127)};
  }
  return t;
}

// a + (b - a) * f / 128 for each byte, rounded; f in 0..127.
inline uint32_t Lerp128(uint32_t a, uint32_t b, int f) {
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const int x = int((a >> shift) & 0xFF), y = int((b >> shift) & 0xFF);
    out |= uint32_t(x + (((y - x) * f + 64) >> 7)) << shift;
  }
  return out;
}

}  // namespace

void UpscaleBilinearScalar(const uint32_t* src, int src_w, int src_h, uint32_t* dst, int dst_w, int dst_h) {
  if (src_w <= 0 || src_h <= 0 || dst_w <= 0 || dst_h <= 0) return;
  const std::vector<UpTap> xs = UpTaps(src_w, dst_w), ys = UpTaps(src_h, dst_h);
  std::vector<uint32_t> mid(static_cast<size_t>(src_w));
  for (int y = 0; y < dst_h; ++y) {
    const UpTap& ty = ys[size_t(y)];
    const uint32_t* r0 = src + size_t(ty.i0) * size_t(src_w);
    const uint32_t* r1 = src + size_t(ty.i1) * size_t(src_w);
    for (int x = 0; x < src_w; ++x) mid[size_t(x)] = Lerp128(r0[x], r1[x], ty.f);
    uint32_t* out = dst + size_t(y) * size_t(dst_w);
    for (int x = 0; x < dst_w; ++x) {
      const UpTap& tx = xs[size_t(x)];
      out[x] = Lerp128(mid[size_t(tx.i0)], mid[size_t(tx.i1)], tx.f);
    }
  }
}

void UpscaleBilinear(const uint32_t* src, int src_w, int src_h, uint32_t* dst, int dst_w, int dst_h) {
#if defined(__SSE2__)
  if (src_w <= 0 || src_h <= 0 || dst_w <= 0 || dst_h <= 0) return;
  const std::vector<UpTap> xs = UpTaps(src_w, dst_w), ys = UpTaps(src_h, dst_h);
  std::vector<uint32_t> mid(static_cast<size_t>(src_w));
  const __m128i zero = _mm_setzero_si128();
  const __m128i c64 = _mm_set1_epi16(64);
  // a + ((b - a) * f + 64) >> 7 on 16-bit lanes; |b - a| * f stays below 2^15.
  auto lerp = [&](__m128i a, __m128i b, __m128i f) {
    return _mm_add_epi16(a, _mm_srai_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_sub_epi16(b, a), f), c64), 7));
  };
  int last_row = -1, last_f = -1;
  for (int y = 0; y < dst_h; ++y) {
    const UpTap& ty = ys[size_t(y)];
    // Rows that sample the source at the same place share the mixed row.
    if (ty.i0 != last_row || ty.f != last_f) {
      const uint32_t* r0 = src + size_t(ty.i0) * size_t(src_w);
      const uint32_t* r1 = src + size_t(ty.i1) * size_t(src_w);
      const __m128i fy = _mm_set1_epi16(int16_t(ty.f));
      int x = 0;
      for (; x + 4 <= src_w; x += 4) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r0 + x));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r1 + x));
        const __m128i lo = lerp(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero), fy);
        const __m128i hi = lerp(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero), fy);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(mid.data() + x), _mm_packus_epi16(lo, hi));
      }
      for (; x < src_w; ++x) mid[size_t(x)] = Lerp128(r0[x], r1[x], ty.f);
      last_row = ty.i0;
      last_f = ty.f;
    }
    uint32_t* out = dst + size_t(y) * size_t(dst_w);
    const uint32_t* m = mid.data();
    int x = 0;
    // Two destination pixels a step: their left and right taps side by side.
    for (; x + 2 <= dst_w; x += 2) {
      const UpTap& t0 = xs[size_t(x)];
      const UpTap& t1 = xs[size_t(x) + 1];
      const __m128i a = _mm_unpacklo_epi8(_mm_unpacklo_epi32(_mm_cvtsi32_si128(int(m[t0.i0])),
                                                             _mm_cvtsi32_si128(int(m[t1.i0]))), zero);
      const __m128i b = _mm_unpacklo_epi8(_mm_unpacklo_epi32(_mm_cvtsi32_si128(int(m[t0.i1])),
                                                             _mm_cvtsi32_si128(int(m[t1.i1]))), zero);
      const __m128i f = _mm_unpacklo_epi64(_mm_set1_epi16(int16_t(t0.f)), _mm_set1_epi16(int16_t(t1.f)));
      _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(lerp(a, b, f), zero));
    }
    for (; x < dst_w; ++x) {
      const UpTap& tx = xs[size_t(x)];
      out[x] = Lerp128(m[tx.i0], m[tx.i1], tx.f);
    }
  }
#else
  UpscaleBilinearScalar(src, src_w, src_h, dst, dst_w, dst_h);
#endif
}
