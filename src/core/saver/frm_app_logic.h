#pragma once
// The screensaver window's behaviour, step by step, written against a small
// host interface so that the order of the steps and their rules can be checked
// without a window. The Win32 form implements FrmAppHost.
#include <cstdint>
#include <string>
#include <vector>

#include "music/music_player.h"
#include "saver/display_layout.h"
#include "saver/power_policy.h"
#include "settings/settings_port.h"

enum class MovieLayer { FlashLoad, Movie, MovTitle };

class FrmAppHost {
 public:
  virtual ~FrmAppHost() = default;
  virtual SettingsPort& Settings() = 0;
  virtual bool FileExists(const std::string& path) = 0;
  // The program's folder followed by "\QR06V2XLM\".
  virtual std::string DataFolder() = 0;
  // An OK-only, system-modal message box; returns when it is closed.
  virtual void ShowSystemModalMessage(const std::string& text, const std::string& title) = 0;

  virtual void LoadMovie(MovieLayer layer, const std::string& path) = 0;
  virtual void PlayMovie(MovieLayer layer) = 0;
  virtual void StopMovie(MovieLayer layer) = 0;
  virtual void StopPlayMovie(MovieLayer layer) = 0;
  virtual void PlaceMovie(float left, float top, float width, float height) = 0;
  virtual void GetMovieOrigin(float* left, float* top) = 0;
  virtual void PlaceTitle(float width, float height) = 0;

  virtual void SetImgFondoVisible(bool visible) = 0;
  virtual void SetCoverVisible(bool visible) = 0;
  virtual void CaptureDesktopBackground() = 0;

  virtual void DoEvents() = 0;
  // Current display mode's size; false when it cannot be read.
  virtual bool GetDisplayMode(uint32_t* width, uint32_t* height) = 0;
  virtual void GetClientSize(int* width, int* height) = 0;
  virtual void SetCursorPos(int x, int y) = 0;
  virtual void GetCursorPos(int* x, int* y) = 0;
  virtual void ShowCursor(bool show) = 0;
  // The system's screensaver activation for this session; reading it gives
  // true when it cannot be read.
  virtual bool GetScreenSaveActive() = 0;
  virtual void SetScreenSaveActive(bool active) = 0;
  virtual void StopLoadTimer() = 0;
  // The power source and the session as they are now; mains power and a
  // local session when the host cannot tell.
  virtual PowerState ReadPowerState() { return PowerState{}; }
  // Limits every movie layer's frame rate and render resolution.
  virtual void ApplyDrawLimits(const DrawLimits&) {}

  // The monitors as they are now; false when they cannot be read.
  virtual bool ReadDisplayLayout(DisplayLayout*) { return false; }
  // Moves the main window over the primary monitor, its client area with it.
  virtual void PlaceWindow(const ScreenRect&) {}
  // The monitors that have a cover now, and the change that matches them to
  // the monitors: covers closed, covers opened (showing what the others show).
  virtual std::vector<ScreenRect> CoverAreas() { return {}; }
  virtual void ChangeCovers(const CoverPlan&) {}
  // A relayout has been applied (to show it at once, and to report it).
  virtual void LayoutApplied() {}
  // Ends the process at once. A host used in tests may return.
  virtual void ExitProgram() = 0;
};

namespace Module1 {
// Reference point of the mouse test: where the cursor stood when loading ended.
extern int16_t StartCursorX;
extern int16_t StartCursorY;
}  // namespace Module1

// Rounds halves to the even neighbour, as the window's coordinate rounding does.
int RoundToPixel(double value);

// True when the cursor has moved more than 15 pixels right AND down from the start.
bool MouseEndsRun(int x, int y, int start_x, int start_y);

class FrmAppLogic {
 public:
  // `music` is the one player of the run: loading opens and starts the
  // configured song on it, the unload stops it.
  FrmAppLogic(FrmAppHost& host, Module1::MusicPlayer& music) : host_(host), music_(music) {}

  // The form's load: activation read and switched off, loader movie, cursor hidden.
  void Form_Load();
  // One TimerLoad tick: LoadStep + 1, then that step.
  void TimerLoad_Timer();
  // A mouse move anywhere on the window, once loading is over.
  void MouseMove();
  // The unload: runs its steps once, whoever asks first; later requests do nothing.
  void Form_Unload();
  // The power source or the session may have changed (and at load): the
  // movies get the limits that the state now calls for.
  void PowerChanged();
  // The monitors may have changed: a message said so (`forced`), or the
  // watch or a mouse move looks. When they did, or when forced, the main
  // window takes the primary monitor, the covers follow the other monitors,
  // the movies are laid out for the new size, and once loading is over the
  // cursor is placed at the movie's corner again as the new reference point,
  // so that a cursor the system moved does not end the run. True when a
  // relayout ran.
  bool DisplayChanged(bool forced = false);

  int16_t LoadStep() const { return load_step_; }
  bool Loading() const { return loading_; }
  bool Unloading() const { return unloading_; }

 private:
  void Step1();
  void Step2();
  void Step3();
  void Step4();
  void Step5();
  // Step 4's layout for a screen of that size; the title takes the client area.
  void PlaceMovies(double width, double height);
  // The cursor at the movie's corner + 10, and where it really is as the reference.
  void PlaceCursor();
  std::string Read(const char* name);

  FrmAppHost& host_;
  Module1::MusicPlayer& music_;
  int16_t load_step_ = 0;
  bool loading_ = true;
  bool unloading_ = false;
  bool loaded_ = false;             // the load has run...
  bool screen_save_active_ = true;  // ... and read the activation as this
  bool captured_ = false;           // the background is the captured desktop
  bool have_layout_ = false;        // the monitors were read...
  DisplayLayout layout_;            // ... as this, last time
};
