#pragma once
// Dialogs laid out in twips (1/1440 inch), the unit their places are given
// in, turned into pixels at the dialog's own DPI.
#include <windows.h>

#include <cstddef>

struct TwipPlace {
  int id, x, y, w, h;
};

class TwipLayout {
 public:
  // Takes `dpi` (the dialog's own), gives the dialog a client area of
  // `client_w` x `client_h` twips about its current centre, and puts each
  // control at its place.
  template <size_t N>
  void Apply(HWND dialog, int dpi, int client_w, int client_h, const TwipPlace (&places)[N]) {
    Apply(dialog, dpi, client_w, client_h, places, N);
  }
  void Apply(HWND dialog, int dpi, int client_w, int client_h, const TwipPlace* places, size_t count);
  // Takes `dpi` and puts each control at its place; the dialog keeps its
  // rectangle (after a DPI change the system chose it).
  template <size_t N>
  void Place(HWND dialog, int dpi, const TwipPlace (&places)[N]) {
    Place(dialog, dpi, places, N);
  }
  void Place(HWND dialog, int dpi, const TwipPlace* places, size_t count);

  int X(int twips) const { return MulDiv(twips, dpi_, 1440); }
  int Y(int twips) const { return MulDiv(twips, dpi_, 1440); }
  int dpi_y() const { return dpi_; }

 private:
  int dpi_ = 96;
};
