#pragma once
#include <windows.h>

#include "shared/window.h"

// A window of the running screensaver (the main window and the covers of the
// other monitors). It paints itself whole without erasing first, so nothing
// flickers, and lets no other screensaver start over it, while the display
// may still power off as the user's power plan says.
class SaverWindow : public Window {
 protected:
  // Draws `area` (client coordinates) of the window.
  virtual void Paint(HDC dc, const RECT& area) = 0;
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
};
