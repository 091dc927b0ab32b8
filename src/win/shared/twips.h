#pragma once
// Dialogs laid out in twips (1/1440 inch), the unit their places are given
// in, turned into pixels at the display's own DPI.
#include <windows.h>

#include <cstddef>

struct TwipPlace {
  int id, x, y, w, h;
};

class TwipLayout {
 public:
  // Reads the display's DPI, gives the dialog a client area of `client_w` x
  // `client_h` twips about its current centre, and puts each control at its
  // place.
  template <size_t N>
  void Apply(HWND dialog, int client_w, int client_h, const TwipPlace (&places)[N]) {
    Apply(dialog, client_w, client_h, places, N);
  }
  void Apply(HWND dialog, int client_w, int client_h, const TwipPlace* places, size_t count);

  int X(int twips) const { return MulDiv(twips, dpi_x_, 1440); }
  int Y(int twips) const { return MulDiv(twips, dpi_y_, 1440); }
  int dpi_y() const { return dpi_y_; }

 private:
  int dpi_x_ = 96, dpi_y_ = 96;
};
