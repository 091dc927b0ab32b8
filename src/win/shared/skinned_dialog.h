#pragma once
// Base of the dialogs that draw the program's background picture under their
// controls: the picture (decoded once for the whole program), one rule for
// the colours of labels over it, one reader of the window's own DPI, and the
// reaction to a DPI change (a move to another monitor): the dialog takes the
// rectangle that the system suggests, its controls are laid out again and its
// fonts are made again for the new DPI.
#include <windows.h>

#include "shared/dialog.h"
#include "shared/handles.h"
#include "shared/picture.h"

// Pixels per inch of `window`'s monitor: the window's own DPI where the
// system can tell it (GetDpiForWindow, looked up at run time so that older
// systems still run the program), else the DPI of the window's device context.
int WindowDpi(HWND window);

// The dialogs' background picture, decoded on first use and kept.
const Picture& DialogBackground();

class SkinnedDialog : public Dialog {
 public:
  using Dialog::Dialog;

  // The DPI that the dialog is laid out for.
  int Dpi() const { return dpi_; }
  // `points` at the dialog's DPI, in pixels.
  int PointsToPixels(int points) const { return MulDiv(points, dpi_, 72); }
  // The font of the dialog's controls at the current DPI.
  HFONT DialogFont() const;

 protected:
  // Call first in OnInit: reads the dialog's DPI.
  void InitSkin();
  // The rule for a label over the picture: transparent, white text. Returns
  // the brush for WM_CTLCOLORSTATIC.
  static INT_PTR LabelOverPicture(HDC dc);
  // After the dialog has taken its new rectangle and its controls their new
  // places and the dialog's font: make the dialog's own fonts and pictures
  // again. Template dialogs have their controls scaled by the base; a dialog
  // that places its controls itself does it here.
  virtual void OnDpiChanged(int /*old_dpi*/, int /*new_dpi*/) {}
  // Whether the base scales the controls' places with the DPI (template
  // dialogs); false for a dialog that places them itself.
  virtual bool ScalesControls() const { return true; }

  // WM_DPICHANGED; the derived OnMessage hands other messages on.
  INT_PTR OnMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled) override;

 private:
  void ApplyDpi(int new_dpi, const RECT& suggested);

  int dpi_ = 96;
  ScopedFont font_;  // the dialog's font at the current DPI, once it changed
};
