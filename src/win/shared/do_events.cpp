#include "shared/do_events.h"

#include <windows.h>

#include "shared/message_pump.h"

void DoEvents() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    DispatchThreadMessage(msg);
  }
}

void DoEventsEvery(unsigned interval_ms) {
  static DWORD last = 0;
  const DWORD now = GetTickCount();
  if (now - last < interval_ms) return;
  last = now;
  DoEvents();
}
