// The least a full-screen 30 fps animation costs: a topmost window over the
// whole primary screen, a 32-bit DIB section of its size in which one row
// changes per frame, all of it presented with one BitBlt, 30 times a second.
// Runs until it is closed or killed; measured beside the screensaver.
#include <windows.h>

#include <cstdint>

namespace {

int g_w = 0, g_h = 0, g_row = 0, g_tick = 0;
HDC g_mem = nullptr;
uint32_t* g_bits = nullptr;

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_TIMER: {
      uint32_t* row = g_bits + size_t(g_row) * size_t(g_w);
      for (int x = 0; x < g_w; ++x) row[x] = 0xFF000000u | uint32_t(g_tick * 0x010101u);
      g_row = (g_row + 1) % g_h;
      ++g_tick;
      HDC dc = GetDC(hwnd);
      BitBlt(dc, 0, 0, g_w, g_h, g_mem, 0, 0, SRCCOPY);
      ReleaseDC(hwnd, dc);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(hwnd, msg, wp, lp);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  g_w = GetSystemMetrics(SM_CXSCREEN);
  g_h = GetSystemMetrics(SM_CYSCREEN);
  WNDCLASSA wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = "CpuFloor";
  RegisterClassA(&wc);
  HWND hwnd = CreateWindowExA(WS_EX_TOPMOST, "CpuFloor", "CpuFloor", WS_POPUP | WS_VISIBLE, 0, 0, g_w, g_h, nullptr,
                              nullptr, instance, nullptr);
  if (!hwnd) return 1;
  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
  bmi.bmiHeader.biWidth = g_w;
  bmi.bmiHeader.biHeight = -g_h;
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!dib) return 1;
  g_bits = static_cast<uint32_t*>(bits);
  g_mem = CreateCompatibleDC(nullptr);
  SelectObject(g_mem, dib);
  SetTimer(hwnd, 1, 33, nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
