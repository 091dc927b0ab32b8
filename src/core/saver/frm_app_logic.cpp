#include "saver/frm_app_logic.h"

#include <cmath>

#include "saver/movie_frame.h"
#include "settings/first_run.h"
#include "settings/numeric.h"

namespace Module1 {
int16_t StartCursorX = 0;
int16_t StartCursorY = 0;
}  // namespace Module1

int RoundToPixel(double value) {
  if (!std::isfinite(value)) return 0;
  if (value > 2147483647.0) return 2147483647;
  if (value < -2147483648.0) return -2147483647 - 1;
  return static_cast<int>(std::nearbyint(value));  // default rounding: halves to even
}

bool MouseEndsRun(int x, int y, int start_x, int start_y) {
  return y > start_y + 15 && x > start_x + 15;
}

std::string FrmAppLogic::Read(const char* name) { return host_.Settings().ReadSetting(kAppName, name); }

void FrmAppLogic::Form_Load() {
  // Off while the run lasts; the unload puts back what was found here, so a
  // user (or policy) that had the screensaver off keeps it off.
  screen_save_active_ = host_.GetScreenSaveActive();
  loaded_ = true;
  host_.SetScreenSaveActive(false);
  host_.LoadMovie(MovieLayer::FlashLoad, host_.DataFolder() + "QrvLoad.is");
  host_.ShowCursor(false);
  PowerChanged();
  have_layout_ = host_.ReadDisplayLayout(&layout_);
}

void FrmAppLogic::PowerChanged() { host_.ApplyDrawLimits(ChooseDrawLimits(host_.ReadPowerState())); }

void FrmAppLogic::TimerLoad_Timer() {
  if (unloading_ || !loading_) return;
  ++load_step_;
  switch (load_step_) {
    case 1: Step1(); break;
    case 2: Step2(); break;
    case 3: Step3(); break;
    case 4: Step4(); break;
    case 5: Step5(); break;
    default: break;
  }
}

void FrmAppLogic::Step1() {
  EnsureSettingsInitialised(host_.Settings());
  const std::string folder = host_.DataFolder();
  if (!host_.FileExists(folder + "(Default).vsi")) {
    host_.StopLoadTimer();
    host_.ShowSystemModalMessage("An important file is missing, please reinstall the ScreenSaver", "ScreenSaver");
    Form_Unload();
    return;
  }
  if (!host_.FileExists(folder + Read("FileID") + ".vsi")) {
    host_.Settings().WriteSetting(kAppName, "FileID", "(Default)");
  }
}

void FrmAppLogic::Step2() {
  const std::string folder = host_.DataFolder();
  host_.LoadMovie(MovieLayer::Movie, folder + Read("FileID") + ".vsi");
  host_.LoadMovie(MovieLayer::MovTitle, folder + "QrvTtl.is");
  host_.StopMovie(MovieLayer::MovTitle);
  host_.StopMovie(MovieLayer::Movie);
}

void FrmAppLogic::Step3() {
  host_.SetImgFondoVisible(false);
  music_.PrepareMusic(host_.Settings());
}

void FrmAppLogic::Step4() {
  uint32_t w = 0, h = 0;
  int cw = 0, ch = 0;
  host_.GetClientSize(&cw, &ch);
  if (!host_.GetDisplayMode(&w, &h)) {
    // Without a display mode the client area is the best measure of the screen.
    w = cw > 0 ? static_cast<uint32_t>(cw) : 0;
    h = ch > 0 ? static_cast<uint32_t>(ch) : 0;
  }
  PlaceMovies(w, h);
}

void FrmAppLogic::PlaceMovies(double width, double height) {
  int cw = 0, ch = 0;
  host_.GetClientSize(&cw, &ch);
  const MovieFrame f = MovieFrameFor(width, height);
  host_.PlaceMovie(f.left, f.top, f.width, f.height);
  host_.PlaceTitle(static_cast<float>(cw), static_cast<float>(ch));
}

void FrmAppLogic::PlaceCursor() {
  float left = 0, top = 0;
  host_.GetMovieOrigin(&left, &top);
  host_.SetCursorPos(RoundToPixel(left + 10.0), RoundToPixel(top + 10.0));
  int x = 0, y = 0;
  host_.GetCursorPos(&x, &y);
  Module1::StartCursorX = static_cast<int16_t>(x);
  Module1::StartCursorY = static_cast<int16_t>(y);
}

bool FrmAppLogic::DisplayChanged(bool forced) {
  if (!loaded_ || unloading_) return false;
  DisplayLayout now;
  if (!host_.ReadDisplayLayout(&now) || now.primary.Empty()) return false;
  if (have_layout_ && now == layout_ && !forced) return false;
  const bool resized = !have_layout_ || now.primary.Width() != layout_.primary.Width() ||
                       now.primary.Height() != layout_.primary.Height();
  layout_ = now;
  have_layout_ = true;
  host_.PlaceWindow(now.primary);
  const CoverPlan plan = PlanCovers(host_.CoverAreas(), now.others);
  if (!plan.Empty()) host_.ChangeCovers(plan);
  // Before step 4 the movies have no place yet; step 4 reads the new size.
  if (load_step_ >= 4) PlaceMovies(now.primary.Width(), now.primary.Height());
  if (!loading_) {
    // A desktop picture taken at the old size would be stretched: take it again.
    if (captured_ && resized) host_.CaptureDesktopBackground();
    PlaceCursor();
  }
  host_.LayoutApplied();
  return true;
}

void FrmAppLogic::Step5() {
  music_.StartMusic(host_.Settings());
  host_.DoEvents();
  if (unloading_) return;  // the pending input ended the run
  host_.SetCoverVisible(false);
  loading_ = false;
  captured_ = Val(Read("UseBackground")) == 1;
  if (captured_) host_.CaptureDesktopBackground();
  PlaceCursor();
  host_.StopPlayMovie(MovieLayer::FlashLoad);
  host_.StopMovie(MovieLayer::FlashLoad);
  // ImageMask, the input catcher over the background, needs no showing: the
  // window itself takes every click and move from here on.
  host_.SetImgFondoVisible(true);
  host_.PlayMovie(MovieLayer::Movie);
  host_.PlayMovie(MovieLayer::MovTitle);
  host_.StopLoadTimer();
}

void FrmAppLogic::MouseMove() {
  if (loading_ || unloading_) return;  // the cover has no mouse watch
  int x = 0, y = 0;
  host_.GetCursorPos(&x, &y);
  if (!MouseEndsRun(x, y, Module1::StartCursorX, Module1::StartCursorY)) return;
  // The system moves the cursor when monitors come, go or change size; such
  // a move is no sign of the user. The new layout sets a new reference.
  if (DisplayChanged()) return;
  Form_Unload();
}

void FrmAppLogic::Form_Unload() {
  // Input that arrives during the unload's message pump asks again; the steps
  // below must run once only, or the cursor count and activation would skew.
  if (unloading_) return;
  unloading_ = true;
  int cw = 0, ch = 0;
  host_.GetClientSize(&cw, &ch);
  host_.SetCursorPos(RoundToPixel(cw / 2.0), RoundToPixel(ch / 2.0));
  // The music's poll timer goes first, then the movies, then the devices.
  music_.StopMusic([this] {
    host_.StopMovie(MovieLayer::Movie);
    host_.StopMovie(MovieLayer::MovTitle);
  });
  if (loaded_) host_.SetScreenSaveActive(screen_save_active_);
  host_.ShowCursor(true);
  host_.ExitProgram();
}
