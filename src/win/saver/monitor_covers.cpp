#include "saver/monitor_covers.h"

#include "saver/desktop_capture.h"
#include "saver/saver_window.h"
#include "saver/fill_fit.h"
#include "shared/handles.h"
#include "shared/trace.h"

namespace {
BOOL CALLBACK CollectMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM param) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (GetMonitorInfoA(monitor, &info)) {
    auto* layout = reinterpret_cast<DisplayLayout*>(param);
    const ScreenRect r{info.rcMonitor.left, info.rcMonitor.top, info.rcMonitor.right, info.rcMonitor.bottom};
    try {  // no exception may unwind through the system's enumeration
      if (info.dwFlags & MONITORINFOF_PRIMARY) layout->primary = r;
      else layout->others.push_back(r);
    } catch (...) {
      TraceCaughtException("the monitor list");
      return FALSE;
    }
  }
  return TRUE;
}
}  // namespace

bool ListMonitors(DisplayLayout* layout) {
  *layout = DisplayLayout{};
  return EnumDisplayMonitors(nullptr, nullptr, &CollectMonitor, reinterpret_cast<LPARAM>(layout)) != FALSE;
}

class MonitorCovers::Cover : public SaverWindow {
 public:
  Cover(const Input& input, const RECT& area) : input_(input), area_(area) {}

  bool Open() {
    // A tool window: topmost, no task bar button, never activated by a click.
    return CreateWin("QrvSaver2006Cover", WS_EX_TOPMOST | WS_EX_TOOLWINDOW, WS_POPUP, "QrvSaver2006",
                     area_.left, area_.top, Width(), Height(), nullptr,
                     static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))) &&
           (ShowWindow(hwnd(), SW_SHOWNOACTIVATE), UpdateWindow(hwnd()), true);
  }

  // Draws `picture` scaled to fill this monitor into the cover's bitmap.
  void SetPicture(const Picture& picture) {
    const CropRect crop = FillCrop(picture.width, picture.height, Width(), Height());
    if (crop.w <= 0 || crop.h <= 0) return;
    const WindowDc screen(hwnd());
    if (!screen) return;
    ScopedBitmap bitmap(CreateCompatibleBitmap(screen.get(), Width(), Height()));
    const MemoryDc mem(bitmap ? CreateCompatibleDC(screen.get()) : nullptr);
    if (!mem) return;
    {
      const Selection select(mem.get(), bitmap.get());
      BITMAPINFO bmi = TopDownBitmapInfo(picture.width, picture.height);
      const int old_mode = SetStretchBltMode(mem.get(), HALFTONE);
      SetBrushOrgEx(mem.get(), 0, 0, nullptr);
      // Source rows count from the bottom of the picture for a top-down DIB too.
      StretchDIBits(mem.get(), 0, 0, Width(), Height(), crop.x, picture.height - crop.y - crop.h, crop.w, crop.h,
                    picture.pixels.data(), &bmi, DIB_RGB_COLORS, SRCCOPY);
      SetStretchBltMode(mem.get(), old_mode);
    }
    bitmap_ = std::move(bitmap);
    if (shown_) InvalidateRect(hwnd(), nullptr, FALSE);
  }

  void CaptureDesktop() {
    const Picture captured = CaptureDesktopInto(hwnd());
    if (!captured.empty()) SetPicture(captured);
    // The desktop was painted straight into the window: show our picture again.
    InvalidateRect(hwnd(), nullptr, FALSE);
  }

  void ShowBackground(bool shown) {
    if (shown == shown_) return;
    shown_ = shown;
    InvalidateRect(hwnd(), nullptr, FALSE);
  }

  const RECT& Area() const { return area_; }

  void StayOnTop() {
    SetWindowPos(hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
    switch (msg) {
      case WM_MOUSEACTIVATE:
        // The keyboard focus stays with the screensaver window's key catcher.
        return MA_NOACTIVATE;
      case WM_MOUSEMOVE:
        input_.mouse_move();
        return 0;
      case WM_LBUTTONDOWN:
      case WM_RBUTTONDOWN:
      case WM_MBUTTONDOWN:
      case WM_XBUTTONDOWN:
      case WM_CHAR:
      case WM_CLOSE:
        input_.unload();
        return 0;
      case WM_DPICHANGED:
        // The cover belongs to its monitor; it keeps its place and size.
        return 0;
      default:
        break;
    }
    return SaverWindow::HandleMessage(msg, wp, lp);
  }

 private:
  int Width() const { return area_.right - area_.left; }
  int Height() const { return area_.bottom - area_.top; }

  void Paint(HDC dc, const RECT& r) override {
    if (shown_ && bitmap_) {
      const MemoryDc mem(CreateCompatibleDC(dc));
      if (mem) {
        const Selection select(mem.get(), bitmap_.get());
        BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, mem.get(), r.left, r.top, SRCCOPY);
        return;
      }
    }
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  }

  const Input& input_;
  RECT area_;
  ScopedBitmap bitmap_;  // the picture at the monitor's size
  bool shown_ = false;
};

MonitorCovers::MonitorCovers(Input input) : input_(std::move(input)) {}
MonitorCovers::~MonitorCovers() = default;

void MonitorCovers::Open() {
  DisplayLayout layout;
  ListMonitors(&layout);
  Change(PlanCovers(Areas(), layout.others));
}

bool MonitorCovers::OpenCover(const RECT& area) {
  auto cover = std::make_unique<Cover>(input_, area);
  if (!cover->Open()) return false;
  if (!picture_.empty()) cover->SetPicture(picture_);
  if (desktop_) cover->CaptureDesktop();
  cover->ShowBackground(shown_);
  covers_.push_back(std::move(cover));
  return true;
}

std::vector<ScreenRect> MonitorCovers::Areas() const {
  std::vector<ScreenRect> areas;
  for (const auto& c : covers_) {
    const RECT& a = c->Area();
    areas.push_back(ScreenRect{a.left, a.top, a.right, a.bottom});
  }
  return areas;
}

void MonitorCovers::Change(const CoverPlan& plan) {
  // Highest index first, so the lower ones still name the same covers.
  for (auto it = plan.close.rbegin(); it != plan.close.rend(); ++it) {
    if (*it < covers_.size()) covers_.erase(covers_.begin() + std::ptrdiff_t(*it));
  }
  for (const ScreenRect& r : plan.open) OpenCover(RECT{r.left, r.top, r.right, r.bottom});
}

void MonitorCovers::SetPicture(const Picture& picture) {
  picture_ = picture;
  desktop_ = false;
  for (auto& c : covers_) c->SetPicture(picture);
}
void MonitorCovers::CaptureDesktop() {
  desktop_ = true;
  for (auto& c : covers_) c->CaptureDesktop();
}
void MonitorCovers::ShowBackground(bool shown) {
  shown_ = shown;
  for (auto& c : covers_) c->ShowBackground(shown);
}
void MonitorCovers::StayOnTop() {
  for (auto& c : covers_) c->StayOnTop();
}
