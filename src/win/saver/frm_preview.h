#pragma once
#include "shared/picture.h"
#include "shared/window.h"

// The still picture shown inside the display control panel's preview window.
class FrmPreview : public Window {
 public:
  // Creates the (hidden) borderless form with its built-in picture.
  bool Load();
  // Turns the form into a child of parent, filling its client area, and shows it.
  void EmbedInto(HWND parent);

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  Picture picture_;
  HWND parent_ = nullptr;
};
