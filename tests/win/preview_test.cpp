// The preview form inside a parent window of the same process, read back from
// the screen: the control panel's case, where Wine cannot show a child window
// of one process inside a window of another.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "resource.h"
#include "saver/frm_preview.h"
#include "shared/picture.h"

namespace {
constexpr int kW = 152, kH = 112;  // the control panel's preview area

void PumpFor(DWORD ms) {
  const DWORD end = GetTickCount() + ms;
  do {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    Sleep(10);
  } while (static_cast<LONG>(end - GetTickCount()) > 0);
}

// The pixels of a w x h rectangle of dc, as 0x00RRGGBB.
std::vector<uint32_t> Grab(HDC dc, int x, int y, int w, int h) {
  std::vector<uint32_t> out(static_cast<size_t>(w) * h);
  HDC mem = CreateCompatibleDC(dc);
  BITMAPINFO bmi = TopDownBitmapInfo(w, h);
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(mem, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (dib && bits) {
    HGDIOBJ old = SelectObject(mem, dib);
    BitBlt(mem, 0, 0, w, h, dc, x, y, SRCCOPY);
    GdiFlush();
    const auto* px = static_cast<const uint32_t*>(bits);
    for (size_t i = 0; i < out.size(); ++i) out[i] = px[i] & 0xFFFFFF;
    SelectObject(mem, old);
    DeleteObject(dib);
  }
  DeleteDC(mem);
  return out;
}

bool Near(uint32_t a, uint32_t b, int tolerance) {
  for (int shift = 0; shift < 24; shift += 8)
    if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > tolerance) return false;
  return true;
}
}  // namespace

TEST(Preview, ShowsItsPictureOverTheWholeAreaOfItsParent) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = "QrvPreviewTestParent";
  RegisterClassA(&wc);
  HWND parent = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, "", WS_POPUP | WS_VISIBLE |
                                WS_CLIPCHILDREN, 100, 100, kW, kH, nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(parent, nullptr);
  PumpFor(200);

  FrmPreview preview;
  ASSERT_TRUE(preview.Load());
  preview.EmbedInto(parent);
  PumpFor(500);
  RECT rc{};
  GetClientRect(preview.hwnd(), &rc);
  EXPECT_EQ(GetParent(preview.hwnd()), parent);
  EXPECT_TRUE(IsWindowVisible(preview.hwnd()));
  EXPECT_EQ(rc.right, kW);
  EXPECT_EQ(rc.bottom, kH);

  // What the area should show: the built-in picture stretched over it.
  const Picture picture = LoadPictureResource(IDR_PREVIEW);
  ASSERT_FALSE(picture.empty());
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bmi = TopDownBitmapInfo(kW, kH);
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(mem, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_TRUE(dib && bits);
  HGDIOBJ old = SelectObject(mem, dib);
  DrawPictureStretched(mem, picture, RECT{0, 0, kW, kH});
  const std::vector<uint32_t> want = Grab(mem, 0, 0, kW, kH);
  SelectObject(mem, old);
  DeleteObject(dib);
  DeleteDC(mem);

  // What the screen shows there.
  POINT origin{0, 0};
  ClientToScreen(parent, &origin);
  const std::vector<uint32_t> got = Grab(screen, origin.x, origin.y, kW, kH);
  ReleaseDC(nullptr, screen);

  size_t alike = 0, white = 0;
  for (size_t i = 0; i < got.size(); ++i) {
    if (Near(got[i], want[i], 24)) ++alike;
    if (got[i] == 0xFFFFFF) ++white;
  }
  EXPECT_GE(alike * 100, got.size() * 98) << alike << " of " << got.size() << " pixels show the picture, "
                                          << white << " are the parent's white";

  DestroyWindow(parent);  // takes the preview with it
  PumpFor(100);           // and its quit message
  EXPECT_FALSE(IsWindow(preview.hwnd()));
}
