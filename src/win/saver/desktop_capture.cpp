#include "saver/desktop_capture.h"

#include "shared/handles.h"

HBITMAP CopyEntirePicture(HWND from) {
  WindowDc src(from);
  if (!src) return nullptr;
  MemoryDc mem(CreateCompatibleDC(src.get()));
  if (!mem) return nullptr;
  RECT rc{0, 0, 0, 0};
  GetClientRect(from, &rc);
  const int w = rc.right, h = rc.bottom;
  ScopedBitmap bmp((w > 0 && h > 0) ? CreateCompatibleBitmap(src.get(), w, h) : nullptr);
  if (!bmp) return nullptr;
  {
    Selection into(mem.get(), bmp.get());
    BitBlt(mem.get(), 0, 0, w, h, src.get(), 0, 0, SRCCOPY);
  }  // the bitmap leaves the memory DC before it is handed over
  return bmp.release();
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
  int lines = 0;
  {
    WindowDc screen(nullptr);
    lines = GetDIBits(screen.get(), bitmap, 0, info.bmHeight, pic.pixels.data(), &bmi, DIB_RGB_COLORS);
  }
  if (lines != info.bmHeight) return Picture{};
  pic.width = info.bmWidth;
  pic.height = info.bmHeight;
  for (uint32_t& p : pic.pixels) p |= 0xFF000000u;  // a screen copy is opaque
  return pic;
}

Picture CaptureDesktopInto(HWND window) {
  {
    WindowDc dc(window);
    if (dc) {
      // Where the system cannot draw the wallpaper in this process it fills
      // with the brush selected in the DC: make that the desktop colour.
      Selection brush(dc.get(), GetSysColorBrush(COLOR_BACKGROUND));
      PaintDesktop(dc.get());
    }
  }
  ScopedBitmap bmp(CopyEntirePicture(window));
  return PictureFromBitmap(bmp.get());
}
