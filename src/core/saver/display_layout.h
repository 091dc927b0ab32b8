#pragma once
// The monitors as the running screensaver sees them, and what a change of
// them asks of its windows: the main window covers the primary monitor, and
// every other monitor has a cover window of its own.
#include <cstddef>
#include <vector>

// A rectangle in screen pixels: left and top inside, right and bottom outside.
struct ScreenRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool Empty() const { return right <= left || bottom <= top; }
  bool operator==(const ScreenRect& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
  bool operator!=(const ScreenRect& o) const { return !(*this == o); }
};

struct DisplayLayout {
  ScreenRect primary;
  std::vector<ScreenRect> others;  // the other monitors, as the system lists them
  bool operator==(const DisplayLayout& o) const { return primary == o.primary && others == o.others; }
  bool operator!=(const DisplayLayout& o) const { return !(*this == o); }
};

// What the covers must do to match the monitors: close the covers at the
// indices `close` (into the covers shown now, ascending) and open one over
// each rectangle of `open`. A cover whose monitor is still there, with the
// same place and size, stays as it is; a monitor that moved or changed its
// size gets a new cover. Empty monitors get none, and two monitors with the
// same rectangle (mirrored outputs) get one.
struct CoverPlan {
  std::vector<size_t> close;
  std::vector<ScreenRect> open;
  bool Empty() const { return close.empty() && open.empty(); }
};
CoverPlan PlanCovers(const std::vector<ScreenRect>& covers, const std::vector<ScreenRect>& monitors);
