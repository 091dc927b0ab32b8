// Prints the monitors that the system reports, one a line:
//   NAME LEFT,TOP-RIGHT,BOTTOM [primary]
// so that the end-to-end scripts can show and check what the screensaver sees.
#include <windows.h>

#include <cstdio>

static BOOL CALLBACK PrintMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM) {
  MONITORINFOEXA info{};
  info.cbSize = sizeof info;
  if (GetMonitorInfoA(monitor, &info)) {
    const RECT& r = info.rcMonitor;
    std::printf("%s %ld,%ld-%ld,%ld%s\n", info.szDevice, r.left, r.top, r.right, r.bottom,
                (info.dwFlags & MONITORINFOF_PRIMARY) ? " primary" : "");
  }
  return TRUE;
}

int main() {
  SetProcessDPIAware();  // device pixels, as the screensaver sees them
  EnumDisplayMonitors(nullptr, nullptr, &PrintMonitor, 0);
  return 0;
}
