// What the screensaver does when memory for a full-screen buffer cannot be
// had (a real allocation failure of this process), and that no exception
// leaves a window procedure.
#include <windows.h>

#include <gtest/gtest.h>

#include <new>
#include <vector>

#include "movie/compositor.h"
#include "shared/window.h"

namespace {

// Far more than any process can have: 200000 x 200000 pixels (160 GB).
constexpr int kHuge = 200000;

std::vector<uint32_t> Snapshot(const uint32_t* pixels, int w, int h) {
  return std::vector<uint32_t>(pixels, pixels + size_t(w) * size_t(h));
}

class ThrowingWindow : public Window {
 public:
  bool Create() {
    return CreateWin("QrvThrowingWindow", 0, WS_POPUP, "throwing", 0, 0, 64, 48, nullptr,
                     static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  }
  int handled = 0;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_APP) throw std::bad_alloc();
    if (msg == WM_APP + 1) {
      ++handled;
      return 42;
    }
    return Window::HandleMessage(msg, wp, lp);
  }
};

}  // namespace

TEST(OutOfMemory, CompositorKeepsTheLastPictureWhenABufferCannotBeHad) {
  Compositor c;
  ASSERT_TRUE(c.Resize(64, 48));
  std::vector<uint32_t> bg(16 * 12);
  for (size_t i = 0; i < bg.size(); ++i) bg[i] = 0xFF000000u | uint32_t(i * 997);
  ASSERT_TRUE(c.SetBackground(bg.data(), 16, 12));
  c.SetCoverVisible(false);
  const std::vector<uint32_t> before = Snapshot(c.Render(), 64, 48);

  // A client area whose back buffer cannot be allocated: the size and the
  // picture stay as they were.
  EXPECT_FALSE(c.Resize(kHuge, kHuge));
  EXPECT_EQ(c.Width(), 64);
  EXPECT_EQ(c.Height(), 48);
  c.InvalidateAll();
  EXPECT_EQ(Snapshot(c.Render(), 64, 48), before);

  // A background that cannot be copied: the one set before stays.
  EXPECT_FALSE(c.SetBackground(bg.data(), kHuge, kHuge));
  c.InvalidateAll();
  EXPECT_EQ(Snapshot(c.Render(), 64, 48), before);

  // And the compositor still works once memory can be had.
  EXPECT_TRUE(c.Resize(32, 24));
  ASSERT_NE(c.Render(), nullptr);
  EXPECT_EQ(c.Width(), 32);
}

TEST(OutOfMemory, NoExceptionLeavesAWindowProcedure) {
  ThrowingWindow w;
  ASSERT_TRUE(w.Create());
  // The handler throws; the window procedure answers 0 and the program goes on.
  EXPECT_EQ(SendMessageA(w.hwnd(), WM_APP, 0, 0), 0);
  EXPECT_TRUE(IsWindow(w.hwnd()));
  EXPECT_EQ(SendMessageA(w.hwnd(), WM_APP + 1, 0, 0), 42);
  EXPECT_EQ(w.handled, 1);
}
