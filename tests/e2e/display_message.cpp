// Sends the screensaver window a message that says the display changed, as
// the system sends it: displaychange (WM_DISPLAYCHANGE, with the primary's
// size) or dpichanged (WM_DPICHANGED to 144 dots per inch, with a suggested
// rectangle half the screen's size, which the window must not take).
// Exits 0 when the window took the message, 1 when there is no window, 2 on
// a bad argument.
#include <windows.h>

#include <cstdio>
#include <cstring>

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

int main(int argc, char** argv) {
  SetProcessDPIAware();
  if (argc != 2) return 2;
  HWND w = FindWindowA("QrvSaver2006Window", nullptr);
  if (!w) {
    std::printf("no screensaver window\n");
    return 1;
  }
  const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  DWORD_PTR result = 0;
  LRESULT ok = 0;
  if (std::strcmp(argv[1], "displaychange") == 0) {
    ok = SendMessageTimeoutA(w, WM_DISPLAYCHANGE, 32, MAKELPARAM(sw, sh), SMTO_ABORTIFHUNG, 10000, &result);
  } else if (std::strcmp(argv[1], "dpichanged") == 0) {
    RECT suggested{0, 0, sw / 2, sh / 2};
    ok = SendMessageTimeoutA(w, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested),
                             SMTO_ABORTIFHUNG, 10000, &result);
  } else {
    return 2;
  }
  std::printf("%s: %s\n", argv[1], ok ? "taken" : "not taken");
  return ok ? 0 : 1;
}
