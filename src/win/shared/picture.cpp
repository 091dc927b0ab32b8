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

void DrawPicture(HDC dc, const Picture& pic, int x, int y) {
  if (pic.empty()) return;
  const BITMAPINFO bmi = TopDownBitmapInfo(pic.width, pic.height);
  SetDIBitsToDevice(dc, x, y, static_cast<DWORD>(pic.width), static_cast<DWORD>(pic.height), 0, 0, 0,
                    static_cast<UINT>(pic.height), pic.pixels.data(), &bmi, DIB_RGB_COLORS);
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

namespace {
// Weights of one output line: for every output pixel, the first source pixel
// and the normalised weights of the source pixels from there on.
struct Taps {
  std::vector<int> first;
  std::vector<std::vector<float>> weights;
};

Taps MakeTaps(int src, int dst) {
  Taps t;
  const float scale = static_cast<float>(src) / static_cast<float>(dst);
  const float support = scale > 1.0f ? scale : 1.0f;
  for (int i = 0; i < dst; ++i) {
    const float centre = (static_cast<float>(i) + 0.5f) * scale;
    int lo = static_cast<int>(centre - support);
    int hi = static_cast<int>(centre + support) + 1;
    if (lo < 0) lo = 0;
    if (hi > src) hi = src;
    std::vector<float> w;
    float sum = 0;
    for (int s = lo; s < hi; ++s) {
      const float d = (static_cast<float>(s) + 0.5f - centre) / support;
      const float v = d < 0 ? 1.0f + d : 1.0f - d;
      w.push_back(v > 0 ? v : 0);
      sum += w.back();
    }
    if (sum <= 0) {  // the nearest pixel alone
      lo = static_cast<int>(centre);
      if (lo >= src) lo = src - 1;
      w.assign(1, 1.0f);
      sum = 1.0f;
    }
    for (float& v : w) v /= sum;
    t.first.push_back(lo);
    t.weights.push_back(std::move(w));
  }
  return t;
}
}  // namespace

Picture ScalePictureSmooth(const Picture& pic, int width, int height) {
  Picture out;
  if (pic.empty() || width <= 0 || height <= 0) return out;
  const Taps tx = MakeTaps(pic.width, width), ty = MakeTaps(pic.height, height);
  // Horizontal pass into floats (4 channels), then vertical.
  std::vector<float> mid(static_cast<size_t>(width) * pic.height * 4);
  for (int y = 0; y < pic.height; ++y) {
    const uint32_t* row = &pic.pixels[static_cast<size_t>(y) * pic.width];
    for (int x = 0; x < width; ++x) {
      float acc[4] = {0, 0, 0, 0};
      const auto& w = tx.weights[x];
      for (size_t k = 0; k < w.size(); ++k) {
        const uint32_t p = row[tx.first[x] + static_cast<int>(k)];
        for (int c = 0; c < 4; ++c) acc[c] += w[k] * static_cast<float>((p >> (8 * c)) & 0xFF);
      }
      float* m = &mid[(static_cast<size_t>(y) * width + x) * 4];
      for (int c = 0; c < 4; ++c) m[c] = acc[c];
    }
  }
  out.width = width;
  out.height = height;
  out.pixels.resize(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    const auto& w = ty.weights[y];
    for (int x = 0; x < width; ++x) {
      float acc[4] = {0, 0, 0, 0};
      for (size_t k = 0; k < w.size(); ++k) {
        const float* m = &mid[(static_cast<size_t>(ty.first[y] + static_cast<int>(k)) * width + x) * 4];
        for (int c = 0; c < 4; ++c) acc[c] += w[k] * m[c];
      }
      uint32_t p = 0;
      for (int c = 0; c < 4; ++c) {
        const float v = acc[c] + 0.5f;
        p |= static_cast<uint32_t>(v < 0 ? 0 : (v > 255 ? 255 : v)) << (8 * c);
      }
      out.pixels[static_cast<size_t>(y) * width + x] = p;
    }
  }
  return out;
}
