#pragma once
// Rewrites a Lottie movie into the form the renderer reads, before it is
// checked: numbers the renderer's parser would refuse or that cannot change
// the picture are made harmless, embedded images are marked as embedded, and
// text layers that carry their glyph outlines become shape layers (the
// renderer draws no text). It also lists the features used that will not show.
#include <string>
#include <vector>

struct PreparedLottie {
  // The movie to check and to hand the renderer. When the file cannot be read
  // as JSON (or is nested too deeply to read safely) it is the input unchanged,
  // and the check that follows says what is wrong.
  std::string text;
  // Features used that will not show, in plain words, each named once.
  std::vector<std::string> unsupported;
};

PreparedLottie PrepareLottie(const std::string& bytes);
