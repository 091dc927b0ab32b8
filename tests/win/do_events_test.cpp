#include <windows.h>

#include <gtest/gtest.h>

#include "shared/do_events.h"

namespace {
int g_seen = 0;
LRESULT CALLBACK CountingProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_APP) ++g_seen;
  return DefWindowProcA(h, m, w, l);
}
}  // namespace

TEST(DoEvents, RunsPendingMessagesAndKeepsAQuitForTheMainLoop) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = CountingProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "QrvDoEventsTest";
  RegisterClassA(&wc);
  HWND w = CreateWindowA("QrvDoEventsTest", "", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(w, nullptr);
  g_seen = 0;
  PostMessageA(w, WM_APP, 0, 0);
  PostMessageA(w, WM_APP, 0, 0);
  PostQuitMessage(7);
  PostMessageA(w, WM_APP, 0, 0);
  DoEvents();
  EXPECT_GE(g_seen, 2);
  MSG msg;
  bool quit_seen = false;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      quit_seen = true;
      EXPECT_EQ(msg.wParam, 7u);
    } else {
      DispatchMessageA(&msg);
    }
  }
  EXPECT_TRUE(quit_seen);
  EXPECT_EQ(g_seen, 3);
  DestroyWindow(w);
}
