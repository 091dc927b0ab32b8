#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "saver/display_layout.h"
#include "shared/picture.h"
#include "shared/window.h"

// The monitors as the system lists them now, in screen pixels: the primary,
// and the others in the system's order. The process is DPI aware per monitor
// (its manifest says so), so these are device pixels on every monitor,
// whatever its scale. False when the system could not list them.
bool ListMonitors(DisplayLayout* layout);

// The screensaver's windows on the monitors other than the primary one. The
// primary has the full screensaver window; every other monitor gets a plain
// topmost window that shows the background picture scaled to fill it. Each
// window draws its picture into a bitmap once and after that only copies the
// parts that the system asks it to repaint, so it costs nothing while it
// stays uncovered. Input on these windows goes to the callbacks, so the exit
// rules hold on every monitor.
class MonitorCovers {
 public:
  struct Input {
    std::function<void()> mouse_move;  // a mouse move over a cover
    std::function<void()> unload;      // a click, a character key or a close request
  };
  explicit MonitorCovers(Input input);
  ~MonitorCovers();
  MonitorCovers(const MonitorCovers&) = delete;
  MonitorCovers& operator=(const MonitorCovers&) = delete;

  // Opens one black window over each monitor that is not the primary one
  // (none on a single monitor), without taking the activation.
  void Open();
  size_t Count() const { return covers_.size(); }
  // The monitors that have a cover, in the covers' order.
  std::vector<ScreenRect> Areas() const;
  // Closes the covers that the plan names and opens the new ones, each
  // showing what the others show: the picture, or the desktop painted into
  // it when the others show the desktop, or black.
  void Change(const CoverPlan& plan);

  // The picture that the covers show once the background is shown: scaled to
  // fill each monitor, the middle kept. Drawn into each cover's bitmap here.
  void SetPicture(const Picture& picture);
  // Replaces each cover's picture with the desktop wallpaper painted into
  // that cover and copied back, so each monitor gets its own part of it. A
  // cover whose copy fails keeps the picture it had.
  void CaptureDesktop();
  // Black (false) or the picture (true).
  void ShowBackground(bool shown);
  // Puts the covers back on top of other topmost windows, without activating them.
  void StayOnTop();

 private:
  class Cover;
  bool OpenCover(const RECT& area);

  Input input_;
  std::vector<std::unique_ptr<Cover>> covers_;
  // What the covers show, for covers opened later.
  Picture picture_;
  bool desktop_ = false;  // the desktop painted into each cover
  bool shown_ = false;    // the picture rather than black
};
