#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

// A 32-bit top-down BGRA picture in memory.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  bool empty() const { return pixels.empty(); }
};

// Header of a 32-bit top-down DIB of the given size.
BITMAPINFO TopDownBitmapInfo(int width, int height);

// Decodes a PNG or JPEG held as an RCDATA resource of this program.
Picture LoadPictureResource(int id);

// Draws the picture at its own size with its top left corner at x, y.
void DrawPicture(HDC dc, const Picture& pic, int x, int y);

// Draws the picture stretched over rect of dc (smooth halftone scaling).
void DrawPictureStretched(HDC dc, const Picture& pic, const RECT& rect);

// The picture resampled to width x height with a triangle filter that widens
// when shrinking, so that edges stay smooth at every scale. Empty when the
// source is empty or a size is not positive.
Picture ScalePictureSmooth(const Picture& pic, int width, int height);
