// The desktop capture against real windows, GDI and the clipboard. Window
// drawing needs a display: CTest gives these tests a private Xvfb.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "saver/desktop_capture.h"

namespace {
constexpr COLORREF kTopLeft = RGB(255, 0, 0), kTopRight = RGB(0, 255, 0), kBottomLeft = RGB(0, 0, 255),
                   kBottomRight = RGB(255, 255, 0), kMagenta = RGB(255, 0, 255);

// The window paints its client area in four colours split at (split_x, split_y);
// with the split at the far corner it is one colour, kTopLeft.
struct Fill {
  int split_x, split_y;
  COLORREF top_left;
};

LRESULT CALLBACK QuadrantProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_ERASEBKGND) return 1;
  if (m == WM_PAINT) {
    const auto* f = reinterpret_cast<const Fill*>(GetWindowLongPtrA(w, GWLP_USERDATA));
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(w, &ps);
    RECT rc;
    GetClientRect(w, &rc);
    const RECT parts[4] = {{0, 0, f->split_x, f->split_y},
                           {f->split_x, 0, rc.right, f->split_y},
                           {0, f->split_y, f->split_x, rc.bottom},
                           {f->split_x, f->split_y, rc.right, rc.bottom}};
    const COLORREF colours[4] = {f->top_left, kTopRight, kBottomLeft, kBottomRight};
    for (int i = 0; i < 4; ++i) {
      HBRUSH b = CreateSolidBrush(colours[i]);
      FillRect(dc, &parts[i], b);
      DeleteObject(b);
    }
    EndPaint(w, &ps);
    return 0;
  }
  return DefWindowProcA(w, m, wp, lp);
}

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

// A top-most popup at the screen's origin whose client area is width x height.
class TestWindow {
 public:
  TestWindow(int width, int height, Fill fill) : fill_(fill) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = QuadrantProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QrvCaptureTest";
    RegisterClassA(&wc);  // fails harmlessly once registered
    hwnd_ = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "QrvCaptureTest", "", WS_POPUP, 0, 0, width, height,
                            nullptr, nullptr, wc.hInstance, nullptr);
    if (!hwnd_) return;
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&fill_));
    ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
    UpdateWindow(hwnd_);
    Pump();
  }
  ~TestWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
    Pump();
  }
  HWND hwnd() const { return hwnd_; }

 private:
  Fill fill_;
  HWND hwnd_ = nullptr;
};

uint32_t Bgra(COLORREF c) { return 0xFF000000u | GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c); }

// Window drawing that works at all: a pixel of the window reads back as drawn.
bool CanDrawWindows() {
  TestWindow w(8, 8, {8, 8, kMagenta});
  if (!w.hwnd()) return false;
  HDC dc = GetDC(w.hwnd());
  const COLORREF c = GetPixel(dc, 4, 4);
  ReleaseDC(w.hwnd(), dc);
  return c == kMagenta;
}

class DesktopCapture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CanDrawWindows()) << "window drawing does not work here; is DISPLAY set to a live X display?";
  }
};

std::string ClipboardText() {
  std::string text;
  if (!OpenClipboard(nullptr)) return "<clipboard busy>";
  if (HANDLE h = GetClipboardData(CF_TEXT)) {
    if (const char* p = static_cast<const char*>(GlobalLock(h))) {
      text = p;
      GlobalUnlock(h);
    }
  }
  CloseClipboard();
  return text;
}

bool PutClipboardText(const char* text) {
  const size_t n = std::strlen(text) + 1;
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, n);
  std::memcpy(GlobalLock(mem), text, n);
  GlobalUnlock(mem);
  if (!OpenClipboard(nullptr)) return false;
  EmptyClipboard();
  const bool ok = SetClipboardData(CF_TEXT, mem) != nullptr;
  CloseClipboard();
  return ok;
}
}  // namespace

TEST_F(DesktopCapture, CopiesTheClientAreaPixelForPixel) {
  // Odd, unequal sides and a split off the middle: a swapped, shifted or
  // upside-down copy shows in the quadrants.
  const int w = 203, h = 117, sx = 70, sy = 40;
  TestWindow win(w, h, {sx, sy, kTopLeft});
  ASSERT_NE(win.hwnd(), nullptr);
  HBITMAP bmp = CopyEntirePicture(win.hwnd());
  ASSERT_NE(bmp, nullptr);
  BITMAP info{};
  ASSERT_TRUE(GetObjectA(bmp, sizeof info, &info));
  EXPECT_EQ(info.bmWidth, w);
  EXPECT_EQ(info.bmHeight, h);
  const Picture pic = PictureFromBitmap(bmp);
  DeleteObject(bmp);
  ASSERT_EQ(pic.width, w);
  ASSERT_EQ(pic.height, h);
  int wrong = 0, first_x = -1, first_y = -1;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const COLORREF want = y < sy ? (x < sx ? kTopLeft : kTopRight) : (x < sx ? kBottomLeft : kBottomRight);
      if (pic.pixels[static_cast<size_t>(y) * w + x] != Bgra(want) && wrong++ == 0) first_x = x, first_y = y;
    }
  }
  EXPECT_EQ(wrong, 0) << "first wrong pixel at " << first_x << "," << first_y;
}

TEST_F(DesktopCapture, AnEmptyClientAreaGivesNothing) {
  const struct {
    int w, h;
  } cases[] = {{0, 0}, {0, 40}, {40, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
    TestWindow win(c.w, c.h, {0, 0, kMagenta});
    ASSERT_NE(win.hwnd(), nullptr);
    EXPECT_EQ(CopyEntirePicture(win.hwnd()), nullptr);
    EXPECT_TRUE(CaptureDesktopInto(win.hwnd()).empty());
  }
  EXPECT_TRUE(PictureFromBitmap(nullptr).empty());
}

TEST_F(DesktopCapture, KeepsWhatTheDesktopPaintLeftInTheWindow) {
  const int w = 160, h = 90;
  TestWindow win(w, h, {w, h, kMagenta});
  ASSERT_NE(win.hwnd(), nullptr);
  const Picture pic = CaptureDesktopInto(win.hwnd());
  ASSERT_EQ(pic.width, w);
  ASSERT_EQ(pic.height, h);
  // The desktop was painted over the window's own colour before the copy,
  // and the copy holds what the window shows now.
  HDC dc = GetDC(win.hwnd());
  const POINT probes[] = {{0, 0}, {w - 1, 0}, {0, h - 1}, {w - 1, h - 1}, {w / 2, h / 2}};
  for (const POINT& p : probes) {
    SCOPED_TRACE(testing::Message() << p.x << "," << p.y);
    const uint32_t got = pic.pixels[static_cast<size_t>(p.y) * w + p.x];
    EXPECT_NE(got, Bgra(kMagenta));
    EXPECT_EQ(got, Bgra(GetPixel(dc, p.x, p.y)));
  }
  ReleaseDC(win.hwnd(), dc);
}

TEST_F(DesktopCapture, LeavesTheUsersClipboardAlone) {
  TestWindow win(64, 48, {64, 48, kMagenta});
  ASSERT_NE(win.hwnd(), nullptr);
  const char* text = "the user's own clipboard text";
  ASSERT_TRUE(PutClipboardText(text));
  ASSERT_EQ(ClipboardText(), text);
  const DWORD sequence = GetClipboardSequenceNumber();
  EXPECT_FALSE(CaptureDesktopInto(win.hwnd()).empty());
  EXPECT_EQ(GetClipboardSequenceNumber(), sequence) << "the clipboard was written to";
  EXPECT_EQ(ClipboardText(), text);
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_BITMAP));
}

// How many more GDI objects this process can make now: 1x1 bitmaps are made
// until the table refuses one, then deleted again.
static size_t FreeGdiSlots(size_t limit) {
  std::vector<HGDIOBJ> made;
  while (made.size() < limit) {
    HBITMAP b = CreateBitmap(1, 1, 1, 1, nullptr);
    if (!b) break;
    made.push_back(b);
  }
  for (HGDIOBJ o : made) DeleteObject(o);
  return made.size();
}

TEST_F(DesktopCapture, ReleasesEveryGdiObjectItMakes) {
  TestWindow win(16, 16, {8, 8, kTopLeft});
  ASSERT_NE(win.hwnd(), nullptr);
  // Fill the process's GDI handle table (Windows' quota or Wine's table)
  // up to a small headroom: a capture that keeps even one object then runs
  // out of handles long before the loop ends. GetGuiResources would be the
  // direct measure, but Wine answers 0; so the free places in the table are
  // counted before and after instead.
  const size_t kHeadroom = 200;
  std::vector<HGDIOBJ> filler;
  filler.reserve(70000);
  bool full = false;
  while (filler.size() < 200000) {
    HBITMAP b = CreateBitmap(1, 1, 1, 1, nullptr);
    if (!b) {
      full = true;
      break;
    }
    filler.push_back(b);
  }
  ASSERT_TRUE(full) << "the GDI table never filled up (" << filler.size() << " objects made)";
  ASSERT_GT(filler.size(), kHeadroom);
  for (size_t i = 0; i < kHeadroom; ++i) {
    DeleteObject(filler.back());
    filler.pop_back();
  }
  // One capture first: the system makes a few objects of its own the first
  // time (the desktop colour's brush, the screen's DC) and keeps them.
  if (HBITMAP b = CopyEntirePicture(win.hwnd())) DeleteObject(b);
  (void)CaptureDesktopInto(win.hwnd());
  const size_t free_before = FreeGdiSlots(kHeadroom * 2);
  const DWORD gdi_before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  int failed_copies = 0, failed_captures = 0;
  for (int i = 0; i < 1000; ++i) {
    if (HBITMAP b = CopyEntirePicture(win.hwnd())) DeleteObject(b);
    else ++failed_copies;
    if (CaptureDesktopInto(win.hwnd()).empty()) ++failed_captures;
  }
  const DWORD gdi_after = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  const size_t free_after = FreeGdiSlots(kHeadroom * 2);
  for (HGDIOBJ o : filler) DeleteObject(o);
  // The table was full but for the headroom (a few places may have gone to
  // objects the system keeps for the window).
  EXPECT_GT(free_before, kHeadroom / 2);
  EXPECT_LE(free_before, kHeadroom);
  EXPECT_EQ(free_after, free_before) << "the captures kept GDI objects";
  EXPECT_EQ(failed_copies, 0);
  EXPECT_EQ(failed_captures, 0);
  EXPECT_EQ(gdi_after, gdi_before);
}
