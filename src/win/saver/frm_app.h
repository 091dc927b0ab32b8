#pragma once
#include <memory>
#include <string>

#include "movie/compositor.h"
#include "music/win_music_host.h"
#include "saver/frm_app_layers.h"
#include "saver/frm_app_logic.h"
#include "saver/frame_intervals.h"
#include "saver/monitor_covers.h"
#include "shared/picture.h"
#include "saver/saver_window.h"

class SettingsPort;

// The full-screen screensaver window: black, borderless, topmost, maximized.
class FrmApp : public SaverWindow, private FrmAppHost {
 public:
  FrmApp();
  ~FrmApp() override;
  // Creates the window, runs its load, shows it maximized and runs its message
  // loop. The run ends through the unload, which ends the process.
  int ShowModal();

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  // FrmAppHost
  SettingsPort& Settings() override;
  bool FileExists(const std::string& path) override;
  std::string DataFolder() override;
  void ShowSystemModalMessage(const std::string& text, const std::string& title) override;
  void LoadMovie(MovieLayer layer, const std::string& path) override;
  void PlayMovie(MovieLayer layer) override;
  void StopMovie(MovieLayer layer) override;
  void StopPlayMovie(MovieLayer layer) override;
  void PlaceMovie(float left, float top, float width, float height) override;
  void GetMovieOrigin(float* left, float* top) override;
  void PlaceTitle(float width, float height) override;
  void SetImgFondoVisible(bool visible) override;
  void SetCoverVisible(bool visible) override;
  void CaptureDesktopBackground() override;
  void DoEvents() override;
  bool GetDisplayMode(uint32_t* width, uint32_t* height) override;
  void GetClientSize(int* width, int* height) override;
  void SetCursorPos(int x, int y) override;
  void GetCursorPos(int* x, int* y) override;
  void ShowCursor(bool show) override;
  bool GetScreenSaveActive() override;
  void SetScreenSaveActive(bool active) override;
  void StopLoadTimer() override;
  PowerState ReadPowerState() override;
  void ApplyDrawLimits(const DrawLimits& limits) override;
  bool ReadDisplayLayout(DisplayLayout* layout) override;
  void PlaceWindow(const ScreenRect& primary) override;
  std::vector<ScreenRect> CoverAreas() override;
  void ChangeCovers(const CoverPlan& plan) override;
  void LayoutApplied() override;
  void ExitProgram() override;

  void Form_Resize();
  void TmBucle_Timer();
  void Paint(HDC dc, const RECT& area) override;
  // Advances the movies; repaints when the picture changed and arms the frame
  // timer for the next change, so nothing is drawn while nothing moves.
  void Animate();
  void CountFrame(double now);
  // The other monitors show the background once the primary does.
  void SyncCovers();

  std::unique_ptr<SettingsPort> settings_;
  WinMusicHost music_host_;
  Module1::MusicPlayer music_;
  FrmAppLogic logic_;
  HWND txt_end_ = nullptr;
  Compositor compositor_;
  FrmAppLayers layers_;  // compositor_'s layers
  MonitorCovers covers_;  // the monitors other than the primary
  // Debug switch: with QRV_FRAME_STATS naming a file, the intervals between
  // presented frames are summarised there every few seconds.
  std::string frame_stats_path_;
  FrameIntervals frame_intervals_;
  double frame_stats_written_ms_ = 0;
  // Debug switch: with QRV_DISPLAY_LOG naming a file, every relayout adds a
  // line there with what the windows became and how long it took.
  std::string display_log_path_;
  double layout_read_ms_ = 0;  // when the monitors were last read...
  double layout_read_took_ms_ = 0;  // ... and how long that took
  int relayouts_ = 0;
  ScreenRect primary_;  // where the last relayout put the window; empty before
};
