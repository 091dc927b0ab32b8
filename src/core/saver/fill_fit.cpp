#include "saver/fill_fit.h"

#include <cstdint>

CropRect FillCrop(int src_w, int src_h, int dst_w, int dst_h) {
  if (src_w <= 0 || src_h <= 0 || dst_w <= 0 || dst_h <= 0) return CropRect{};
  // Compare the shapes in 64-bit integers: src_w/src_h against dst_w/dst_h.
  const int64_t wide = int64_t{src_w} * dst_h, tall = int64_t{dst_w} * src_h;
  CropRect r{0, 0, src_w, src_h};
  if (wide > tall) {
    // The picture is wider than the area: keep its full height, cut the sides.
    r.w = static_cast<int>((int64_t{src_h} * dst_w * 2 + dst_h) / (2 * int64_t{dst_h}));
    if (r.w < 1) r.w = 1;
    r.x = (src_w - r.w) / 2;
  } else if (wide < tall) {
    // Taller than the area: keep the full width, cut top and bottom.
    r.h = static_cast<int>((int64_t{src_w} * dst_h * 2 + dst_w) / (2 * int64_t{dst_w}));
    if (r.h < 1) r.h = 1;
    r.y = (src_h - r.h) / 2;
  }
  return r;
}
