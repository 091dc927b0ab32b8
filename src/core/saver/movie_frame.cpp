#include "saver/movie_frame.h"

MovieFrame MovieFrameFor(double W, double H) {
  MovieFrame f;
  f.left = static_cast<float>(W * 3.375 / 100);
  f.top = static_cast<float>(H * 15.5 / 100);
  f.width = static_cast<float>(W * 93.625 / 100);
  f.height = static_cast<float>(H * 75.33334 / 100);
  return f;
}
