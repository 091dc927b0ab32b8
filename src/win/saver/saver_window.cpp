#include "saver/saver_window.h"

#include "shared/handles.h"

LRESULT SaverWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SYSCOMMAND:
      if ((wp & 0xFFF0) == SC_SCREENSAVE) return 0;
      break;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      const PaintDc dc(hwnd());
      Paint(dc.get(), dc.dirty());
      return 0;
    }
    default:
      break;
  }
  return Window::HandleMessage(msg, wp, lp);
}
