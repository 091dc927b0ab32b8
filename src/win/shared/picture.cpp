#include "shared/picture.h"

#include <stb/stb_image.h>

#include <memory>

BITMAPINFO TopDownBitmapInfo(int width, int height) {
  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
  bmi.bmiHeader.biWidth = width;
  bmi.bmiHeader.biHeight = -height;
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  return bmi;
}

Picture LoadPictureResource(int id) {
  Picture pic;
  HMODULE mod = GetModuleHandleA(nullptr);
  HRSRC res = FindResourceA(mod, MAKEINTRESOURCEA(id), reinterpret_cast<LPCSTR>(RT_RCDATA));
  if (!res) return pic;
  HGLOBAL mem = LoadResource(mod, res);
  const DWORD size = SizeofResource(mod, res);
  const void* data = mem ? LockResource(mem) : nullptr;
  if (!data || size == 0) return pic;
  int w = 0, h = 0, comp = 0;
  // The decoded pixels are freed however this ends.
  const std::unique_ptr<unsigned char, void (*)(void*)> rgba(
      stbi_load_from_memory(static_cast<const unsigned char*>(data), static_cast<int>(size), &w, &h, &comp, 4),
      stbi_image_free);
  if (!rgba) return pic;
  try {
    pic.pixels.resize(static_cast<size_t>(w) * h);
  } catch (...) {
    return Picture{};  // no memory for the copy: no picture
  }
  pic.width = w;
  pic.height = h;
  for (size_t i = 0; i < pic.pixels.size(); ++i) {
    const unsigned char* p = rgba.get() + i * 4;
    pic.pixels[i] = (uint32_t(p[3]) << 24) | (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
  }
  return pic;
}

void DrawPictureStretched(HDC dc, const Picture& pic, const RECT& rect) {
  if (pic.empty()) return;
  BITMAPINFO bmi = TopDownBitmapInfo(pic.width, pic.height);
  const int old_mode = SetStretchBltMode(dc, HALFTONE);
  SetBrushOrgEx(dc, 0, 0, nullptr);
  StretchDIBits(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, 0, 0, pic.width,
                pic.height, pic.pixels.data(), &bmi, DIB_RGB_COLORS, SRCCOPY);
  SetStretchBltMode(dc, old_mode);
}
