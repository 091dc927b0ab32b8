// A stand-in for the display control panel's preview area: a window with a
// 152x112 child area, whose handle it writes to the file named on its command
// line. Once a second it describes what is embedded in the area into the same
// file with ".child" appended: the child's class, client size, visibility, and
// how many of its printed pixels are not the area's own white. It destroys
// itself (and so the embedded preview) when the file "<file>.close" appears,
// on WM_CLOSE, or after two minutes.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {
HWND g_area = nullptr;
std::string g_report;

void Describe() {
  HWND child = GetWindow(g_area, GW_CHILD);
  FILE* f = std::fopen(g_report.c_str(), "w");
  if (!f) return;
  if (!child) {
    std::fprintf(f, "none\n");
    std::fclose(f);
    return;
  }
  char cls[64] = "";
  GetClassNameA(child, cls, sizeof cls);
  RECT rc{}, area{};
  GetClientRect(child, &rc);
  GetClientRect(g_area, &area);
  // Print the child into a bitmap of ours and count what is not white.
  long coloured = -1;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bmi{};
  bmi.bmiHeader = {sizeof(BITMAPINFOHEADER), rc.right, -rc.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(mem, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (dib && bits) {
    HGDIOBJ old = SelectObject(mem, dib);
    RECT all{0, 0, rc.right, rc.bottom};
    FillRect(mem, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    if (PrintWindow(child, mem, 0)) {
      coloured = 0;
      const auto* px = static_cast<const unsigned*>(bits);
      for (long i = 0; i < long(rc.right) * rc.bottom; ++i)
        if ((px[i] & 0xFFFFFF) != 0xFFFFFF) ++coloured;
    }
    SelectObject(mem, old);
    DeleteObject(dib);
  }
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  std::fprintf(f, "%s %ldx%ld area %ldx%ld visible %d coloured %ld\n", cls, rc.right, rc.bottom, area.right,
               area.bottom, IsWindowVisible(child) ? 1 : 0, coloured);
  std::fclose(f);
}

LRESULT CALLBACK HostProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  switch (m) {
    case WM_TIMER:
      if (w == 2) {
        Describe();
        // The test asks for the end by creating "<file>.close".
        if (GetFileAttributesA((g_report.substr(0, g_report.size() - 6) + ".close").c_str()) != INVALID_FILE_ATTRIBUTES)
          DestroyWindow(h);
        return 0;
      }
      DestroyWindow(h);
      return 0;
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
  HWND host = CreateWindowA("QrvPreviewHost", "QrvPreviewHost", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 100, 100,
                            252, 212, nullptr, nullptr, inst, nullptr);
  g_area = CreateWindowA("STATIC", "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | SS_WHITERECT, 50, 50, 152, 112,
                         host, nullptr, inst, nullptr);
  SetTimer(host, 1, 120000, nullptr);
  SetTimer(host, 2, 1000, nullptr);
  if (cmd && *cmd) {
    g_report = std::string(cmd) + ".child";
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
