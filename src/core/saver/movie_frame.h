#pragma once
// Where the visualisation sits on a screen of a given size: a frame that
// leaves 3.375 % of the width on the left, 3 % on the right, 15.5 % of the
// height at the top and about 9.17 % at the bottom. The title overlay covers
// the whole screen. Computed in double precision, kept as single precision,
// as the window's placement properties hold it.
struct MovieFrame {
  float left = 0, top = 0, width = 0, height = 0;
};

MovieFrame MovieFrameFor(double screen_width, double screen_height);
