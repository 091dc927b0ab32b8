#pragma once
// Fitting a picture onto a monitor of another shape.

struct CropRect {
  int x = 0, y = 0, w = 0, h = 0;
  bool operator==(const CropRect& o) const { return x == o.x && y == o.y && w == o.w && h == o.h; }
};

// The part of a src_w by src_h picture that, scaled by one factor in both
// directions, fills a dst_w by dst_h area exactly: the whole picture when the
// shapes agree, otherwise a centred band cut from the longer side. So the
// picture is never distorted and the area is never left partly empty. An
// empty result (w or h 0) when either size is empty.
CropRect FillCrop(int src_w, int src_h, int dst_w, int dst_h);
