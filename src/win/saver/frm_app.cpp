#include "saver/frm_app.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "registry/settings_store.h"
#include "saver/desktop_capture.h"
#include "resource.h"
#include "shared/do_events.h"
#include "shared/files.h"
#include "shared/message_pump.h"

namespace {
constexpr UINT_PTR kTimerLoad = 1;  // drives the load sequence
constexpr UINT_PTR kTmBucle = 2;    // keeps the window on top, maximized and focused
constexpr UINT_PTR kTmMusic = 3;    // music loop watch
constexpr UINT_PTR kFrame = 4;      // next movie frame due

double NowMs() {
  static LARGE_INTEGER freq = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(freq.QuadPart);
}
constexpr int kTxtEndId = 100;
}  // namespace

FrmApp::FrmApp()
    : settings_(std::make_unique<RegistrySettings>()),
      music_host_(
          [this](unsigned ms) {
            if (ms == 0) KillTimer(hwnd(), kTmMusic);
            else SetTimer(hwnd(), kTmMusic, ms, nullptr);
          },
          [] { ::DoEvents(); }),
      music_(music_host_),
      logic_(*this, music_),
      layers_(AddFrmAppLayers(compositor_)),
      covers_({[this] { logic_.MouseMove(); }, [this] { logic_.Form_Unload(); }}) {
  char path[MAX_PATH];
  const DWORD n = GetEnvironmentVariableA("QRV_FRAME_STATS", path, MAX_PATH);
  if (n > 0 && n < MAX_PATH) frame_stats_path_ = path;
  const DWORD m = GetEnvironmentVariableA("QRV_DISPLAY_LOG", path, MAX_PATH);
  if (m > 0 && m < MAX_PATH) display_log_path_ = path;
}
FrmApp::~FrmApp() = default;

int FrmApp::ShowModal() {
  {
    const Picture built_in = LoadPictureResource(IDR_BACKGROUND);  // the compositor keeps its own copy
    compositor_.SetBackground(built_in.pixels.data(), built_in.width, built_in.height);
    covers_.Open();
    covers_.SetPicture(built_in);
  }
  const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  if (!CreateWin("QrvSaver2006Window", WS_EX_TOPMOST, WS_POPUP | WS_CLIPCHILDREN, "QrvSaver2006", 0, 0, sw, sh,
                 nullptr, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))))
    return 1;
  txt_end_ = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 0, 0, 10, 10, hwnd(),
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTxtEndId)), GetModuleHandleA(nullptr),
                             nullptr);
  // The key catcher sits off-screen: it only has to hold the focus.
  MoveWindow(txt_end_, -10, -10, 1, 1, FALSE);
  logic_.Form_Load();
  SetTimer(hwnd(), kTimerLoad, 800, nullptr);
  SetTimer(hwnd(), kTmBucle, 400, nullptr);
  ShowWindow(hwnd(), SW_MAXIMIZE);
  SetForegroundWindow(hwnd());
  SetFocus(txt_end_);
  RunMessageLoop();
  return 0;
}

LRESULT FrmApp::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_TIMER:
      if (wp == kTimerLoad) logic_.TimerLoad_Timer();
      else if (wp == kTmBucle) TmBucle_Timer();
      else if (wp == kTmMusic) music_.TmMusic_Tick(*settings_);
      else if (wp == kFrame) Animate();
      return 0;
    case WM_SIZE:
      Form_Resize();
      return 0;
    case WM_DISPLAYCHANGE:
      // A mode changed, or a monitor came or went. (Wine does not always say
      // so; the watch of TmBucle then sees the new monitors.)
      logic_.DisplayChanged(true);
      return 0;
    case WM_WINDOWPOSCHANGING:
      if (!primary_.Empty()) {
        // Once the window has been laid out on the monitors, it keeps the
        // primary's place and size, whoever asks for another (Wine sizes a
        // maximized window back to the old screen after a mode change).
        auto* pos = reinterpret_cast<WINDOWPOS*>(lp);
        if (!(pos->flags & SWP_NOMOVE)) {
          pos->x = primary_.left;
          pos->y = primary_.top;
        }
        if (!(pos->flags & SWP_NOSIZE)) {
          pos->cx = primary_.Width();
          pos->cy = primary_.Height();
        }
      }
      break;
    case WM_DPICHANGED:
      // The window stays over its whole monitor, whatever size the system
      // suggests for the new scale.
      logic_.DisplayChanged(true);
      return 0;
    case WM_POWERBROADCAST:
      // Mains or battery, or the battery saver, changed (older systems say
      // so with the power status; newer ones with a power setting).
      if (wp == PBT_APMPOWERSTATUSCHANGE || wp == PBT_POWERSETTINGCHANGE) logic_.PowerChanged();
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wp) == kTxtEndId && HIWORD(wp) == EN_CHANGE) logic_.Form_Unload();
      return 0;
    case WM_MOUSEMOVE:
      logic_.MouseMove();
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_XBUTTONDOWN:
      logic_.Form_Unload();
      return 0;
    case WM_CLOSE:
      logic_.Form_Unload();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return SaverWindow::HandleMessage(msg, wp, lp);
}

void FrmApp::Paint(HDC dc, const RECT& area) {
  const uint32_t* pixels = compositor_.Render();
  const int w = compositor_.Width(), h = compositor_.Height();
  if (!pixels) return;
  BITMAPINFO bmi = TopDownBitmapInfo(w, h);
  const RECT clip{std::max(0L, area.left), std::max(0L, area.top), std::min<LONG>(w, area.right),
                  std::min<LONG>(h, area.bottom)};
  if (clip.right <= clip.left || clip.bottom <= clip.top) return;
  // Source rows count from the bottom of the picture for a top-down DIB too.
  SetDIBitsToDevice(dc, clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top, clip.left,
                    h - clip.bottom, 0, h, pixels, &bmi, DIB_RGB_COLORS);
}

void FrmApp::Animate() {
  const double now = NowMs();
  if (compositor_.Tick(now)) {
    // Only what changed goes to the screen: a moving visualisation leaves the
    // margins and the title alone.
    const PixelRect r = compositor_.PendingRect();
    const RECT rc{r.x, r.y, r.x + r.w, r.y + r.h};
    InvalidateRect(hwnd(), &rc, FALSE);
    if (!frame_stats_path_.empty()) CountFrame(now);
  }
  const double due = compositor_.NextDueMs(NowMs());
  if (due == std::numeric_limits<double>::infinity()) {
    KillTimer(hwnd(), kFrame);
    return;
  }
  const double wait = due - NowMs();
  SetTimer(hwnd(), kFrame, wait < 1.0 ? 1u : static_cast<UINT>(std::min(wait, 1000.0)), nullptr);
}

void FrmApp::CountFrame(double now) {
  frame_intervals_.Add(now);
  if (now - frame_stats_written_ms_ < 5000) return;
  frame_stats_written_ms_ = now;
  if (FILE* f = std::fopen(frame_stats_path_.c_str(), "w")) {
    std::fprintf(f, "%s\n", frame_intervals_.Summary().c_str());
    std::fclose(f);
  }
}

void FrmApp::Form_Resize() {
  RECT rc{0, 0, 0, 0};
  GetClientRect(hwnd(), &rc);
  compositor_.Resize(rc.right, rc.bottom);
  Animate();
  if (!display_log_path_.empty()) {
    if (FILE* f = std::fopen(display_log_path_.c_str(), "a")) {
      std::fprintf(f, "size %ldx%ld zoomed %d\n", rc.right, rc.bottom, IsZoomed(hwnd()) ? 1 : 0);
      std::fclose(f);
    }
  }
}

void FrmApp::TmBucle_Timer() {
  logic_.DisplayChanged();
  SetWindowPos(hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  covers_.StayOnTop();
  if (!IsZoomed(hwnd())) ShowWindow(hwnd(), SW_MAXIMIZE);
  SetFocus(txt_end_);
}

SettingsPort& FrmApp::Settings() { return *settings_; }
bool FrmApp::FileExists(const std::string& path) { return Module1::FileExists(path); }
std::string FrmApp::DataFolder() { return Module1::ProgramFolder() + "\\QR06V2XLM\\"; }

void FrmApp::ShowSystemModalMessage(const std::string& text, const std::string& title) {
  // The watch would pull this window back over the message; the cursor is
  // shown so the message can be answered with the mouse.
  KillTimer(hwnd(), kTmBucle);
  ::ShowCursor(TRUE);
  MessageBoxA(hwnd(), text.c_str(), title.c_str(), MB_OK | MB_SYSTEMMODAL);
  ::ShowCursor(FALSE);
}

void FrmApp::LoadMovie(MovieLayer layer, const std::string& path) {
  layers_[layer].LoadMovie(0, path);
  Animate();
}
void FrmApp::PlayMovie(MovieLayer layer) {
  layers_[layer].Play();
  Animate();
}
void FrmApp::StopMovie(MovieLayer layer) {
  layers_[layer].Stop();
  Animate();
}
void FrmApp::StopPlayMovie(MovieLayer layer) {
  layers_[layer].StopPlay();
  Animate();
}

void FrmApp::PlaceMovie(float left, float top, float width, float height) {
  layers_.Movie.SetPlacement(left, top, width, height);
  Animate();
}
void FrmApp::GetMovieOrigin(float* left, float* top) {
  *left = layers_.Movie.Left();
  *top = layers_.Movie.Top();
}
void FrmApp::PlaceTitle(float width, float height) {
  layers_.MovTitle.SetWidth(width);
  layers_.MovTitle.SetHeight(height);
  Animate();
}

void FrmApp::SetImgFondoVisible(bool visible) {
  compositor_.SetBackgroundVisible(visible);
  SyncCovers();
  Animate();
}
void FrmApp::SetCoverVisible(bool visible) {
  compositor_.SetCoverVisible(visible);
  SyncCovers();
  Animate();
}
void FrmApp::SyncCovers() { covers_.ShowBackground(compositor_.BackgroundVisible() && !compositor_.CoverVisible()); }
void FrmApp::CaptureDesktopBackground() {
  // The wallpaper replaces the built-in picture; a failed capture keeps it.
  const Picture captured = CaptureDesktopInto(hwnd());
  if (!captured.empty()) {
    compositor_.SetBackground(captured.pixels.data(), captured.width, captured.height);
  }
  // The desktop was painted straight into the window: show our picture again.
  compositor_.InvalidateAll();
  Animate();
  covers_.CaptureDesktop();
}


void FrmApp::DoEvents() { ::DoEvents(); }

bool FrmApp::GetDisplayMode(uint32_t* width, uint32_t* height) {
  DEVMODEA dm{};
  dm.dmSize = sizeof dm;
  if (!EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &dm)) return false;
  *width = dm.dmPelsWidth;
  *height = dm.dmPelsHeight;
  return true;
}

void FrmApp::GetClientSize(int* width, int* height) {
  RECT rc{0, 0, 0, 0};
  GetClientRect(hwnd(), &rc);
  *width = rc.right;
  *height = rc.bottom;
}

void FrmApp::SetCursorPos(int x, int y) { ::SetCursorPos(x, y); }
void FrmApp::GetCursorPos(int* x, int* y) {
  POINT pt{0, 0};
  ::GetCursorPos(&pt);
  *x = pt.x;
  *y = pt.y;
}
void FrmApp::ShowCursor(bool show) { ::ShowCursor(show ? TRUE : FALSE); }
bool FrmApp::GetScreenSaveActive() {
  BOOL active = TRUE;
  if (!SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &active, 0)) return true;
  return active != FALSE;
}
void FrmApp::SetScreenSaveActive(bool active) {
  // For this session only: the user's profile is never written, so a run that
  // is killed cannot leave the screensaver switched off (or on) for good.
  SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, active ? TRUE : FALSE, nullptr, SPIF_SENDWININICHANGE);
}
void FrmApp::StopLoadTimer() { KillTimer(hwnd(), kTimerLoad); }
PowerState FrmApp::ReadPowerState() {
  PowerState state;
  SYSTEM_POWER_STATUS power{};
  if (GetSystemPowerStatus(&power)) {
    state.on_battery = power.ACLineStatus == 0;
    state.battery_saver = (power.Reserved1 & 1) != 0;  // the system status flag
  }
  state.remote_session = GetSystemMetrics(SM_REMOTESESSION) != 0;
  // Measurement switch: run as if on battery, where no battery can be had.
  char flag[8];
  if (GetEnvironmentVariableA("QRV_ASSUME_BATTERY", flag, sizeof flag) > 0 && flag[0] == '1') state.on_battery = true;
  return state;
}

void FrmApp::ApplyDrawLimits(const DrawLimits& limits) {
  for (size_t i = 0; i < compositor_.LayerCount(); ++i) {
    compositor_.LayerAt(i).SetDrawLimits(limits.max_fps, limits.max_render_scale);
  }
  Animate();
}

bool FrmApp::ReadDisplayLayout(DisplayLayout* layout) {
  layout_read_ms_ = NowMs();
  const bool listed = ListMonitors(layout);
  layout_read_took_ms_ = NowMs() - layout_read_ms_;
  if (!listed) return false;
  if (layout->primary.Empty()) {
    // No monitor says it is the primary: the primary screen's size at 0,0.
    layout->primary = ScreenRect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  return true;
}

void FrmApp::PlaceWindow(const ScreenRect& primary) {
  // The client area (and with it the compositor) follows at once (WM_SIZE).
  // Wine leaves the on-screen size of a maximized window to the window
  // manager, so the window is restored, placed and maximized again; while it
  // is restored, WM_WINDOWPOSCHANGING keeps it over the primary.
  primary_ = primary;
  RECT now{0, 0, 0, 0};
  GetWindowRect(hwnd(), &now);
  if (ScreenRect{now.left, now.top, now.right, now.bottom} == primary) return;  // nothing to move
  const bool zoomed = IsZoomed(hwnd()) != FALSE;
  if (zoomed) ShowWindow(hwnd(), SW_SHOWNOACTIVATE);
  SetWindowPos(hwnd(), HWND_TOPMOST, primary.left, primary.top, primary.Width(), primary.Height(), SWP_NOACTIVATE);
  if (zoomed) ShowWindow(hwnd(), SW_MAXIMIZE);
}

std::vector<ScreenRect> FrmApp::CoverAreas() { return covers_.Areas(); }
void FrmApp::ChangeCovers(const CoverPlan& plan) { covers_.Change(plan); }

void FrmApp::LayoutApplied() {
  ++relayouts_;
  compositor_.InvalidateAll();
  Animate();
  UpdateWindow(hwnd());  // the new layout goes to the screen now, not at the next idle moment
  if (display_log_path_.empty()) return;
  RECT wr{0, 0, 0, 0}, cr{0, 0, 0, 0};
  GetWindowRect(hwnd(), &wr);
  GetClientRect(hwnd(), &cr);
  FILE* f = std::fopen(display_log_path_.c_str(), "a");
  if (!f) return;
  std::fprintf(f, "relayout %d took %.0f ms (reading the monitors %.0f ms): window %ld,%ld %ldx%ld client %ldx%ld compositor %dx%d movie %.2f,%.2f %.2fx%.2f title %.0fx%.0f reference %d,%d covers",
               relayouts_, NowMs() - layout_read_ms_, layout_read_took_ms_, wr.left, wr.top, wr.right - wr.left, wr.bottom - wr.top,
               cr.right, cr.bottom, compositor_.Width(), compositor_.Height(), layers_.Movie.Left(),
               layers_.Movie.Top(), layers_.Movie.Width(), layers_.Movie.Height(), layers_.MovTitle.Width(),
               layers_.MovTitle.Height(), Module1::StartCursorX, Module1::StartCursorY);
  for (const ScreenRect& r : covers_.Areas()) std::fprintf(f, " %d,%d-%d,%d", r.left, r.top, r.right, r.bottom);
  std::fprintf(f, "\n");
  std::fclose(f);
}

void FrmApp::ExitProgram() { ExitProcess(0); }
