// A stand-in for the display control panel's preview area: a window with a
// 152x112 child area, whose handle it writes to the file named on its command
// line. It destroys itself (and so the embedded preview) when it is sent
// WM_CLOSE, or after two minutes at most.
#include <windows.h>

#include <cstdio>

namespace {
HWND g_area = nullptr;
LRESULT CALLBACK HostProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  switch (m) {
    case WM_TIMER:
    case WM_CLOSE:
      DestroyWindow(h);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(h, m, w, l);
  }
}
}  // namespace

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR cmd, int) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = HostProc;
  wc.hInstance = inst;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = "QrvPreviewHost";
  RegisterClassA(&wc);
  HWND host = CreateWindowA("QrvPreviewHost", "QrvPreviewHost", WS_POPUP | WS_VISIBLE, 100, 100, 252, 212, nullptr,
                            nullptr, inst, nullptr);
  g_area = CreateWindowA("STATIC", "", WS_CHILD | WS_VISIBLE | SS_WHITERECT, 50, 50, 152, 112, host, nullptr, inst,
                         nullptr);
  SetTimer(host, 1, 120000, nullptr);
  if (cmd && *cmd) {
    FILE* f = std::fopen(cmd, "w");
    if (f) {
      std::fprintf(f, "%lu\n", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(g_area)));
      std::fclose(f);
    }
  }
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
