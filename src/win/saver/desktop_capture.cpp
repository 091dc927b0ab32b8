#include "saver/desktop_capture.h"

HBITMAP CopyEntirePicture(HWND from) {
  HDC src = GetDC(from);
  if (!src) return nullptr;
  HBITMAP result = nullptr;
  HDC mem = CreateCompatibleDC(src);
  if (mem) {
    RECT rc{0, 0, 0, 0};
    GetClientRect(from, &rc);
    const int w = rc.right, h = rc.bottom;
    HBITMAP bmp = (w > 0 && h > 0) ? CreateCompatibleBitmap(src, w, h) : nullptr;
    if (bmp) {
      HGDIOBJ old = SelectObject(mem, bmp);
      BitBlt(mem, 0, 0, w, h, src, 0, 0, SRCCOPY);
      SelectObject(mem, old);
      result = bmp;
    }
    DeleteDC(mem);
  }
  ReleaseDC(from, src);
  return result;
}

Picture PictureFromBitmap(HBITMAP bitmap) {
  Picture pic;
  BITMAP info{};
  if (!bitmap || !GetObjectA(bitmap, sizeof info, &info) || info.bmWidth <= 0 || info.bmHeight <= 0) return pic;
  BITMAPINFO bmi = TopDownBitmapInfo(info.bmWidth, info.bmHeight);
  try {
    pic.pixels.resize(static_cast<size_t>(info.bmWidth) * info.bmHeight);
  } catch (...) {
    return pic;  // no memory for the pixels: the capture fails, the built-in picture stays
  }
  HDC screen = GetDC(nullptr);
  const int lines = GetDIBits(screen, bitmap, 0, info.bmHeight, pic.pixels.data(), &bmi, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (lines != info.bmHeight) return Picture{};
  pic.width = info.bmWidth;
  pic.height = info.bmHeight;
  for (uint32_t& p : pic.pixels) p |= 0xFF000000u;  // a screen copy is opaque
  return pic;
}

Picture CaptureDesktopInto(HWND window) {
  HDC dc = GetDC(window);
  if (dc) {
    // Where the system cannot draw the wallpaper in this process it fills
    // with the brush selected in the DC: make that the desktop colour.
    HGDIOBJ old_brush = SelectObject(dc, GetSysColorBrush(COLOR_BACKGROUND));
    PaintDesktop(dc);
    SelectObject(dc, old_brush);
    ReleaseDC(window, dc);
  }
  HBITMAP bmp = CopyEntirePicture(window);
  Picture pic = PictureFromBitmap(bmp);
  if (bmp) DeleteObject(bmp);
  return pic;
}
