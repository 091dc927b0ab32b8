// Feeds arbitrary bytes through what a downloaded movie goes through:
// validation, loading, and rendering a few frames at two small sizes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "movie/movie_player.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  MoviePlayer player;
  player.SetWMode("Transparent");
  player.SetQuality("High");
  player.SetRenderTimeoutMs(0);  // render here, so libFuzzer sees a hang as one
  player.SetPlacement(0, 0, 48, 36);
  if (!player.LoadMovieData(bytes)) return 0;
  const double frame_ms = 1000.0 / player.FrameRate();
  const double last = double(player.TotalFrames() - 1);
  player.SetLoop(false);
  player.Advance(0);
  player.Picture();
  player.Advance(frame_ms * last / 2);
  player.Picture();
  player.SetScale("ExactFit");
  player.SetPlacement(0, 0, 23, 41);
  player.Advance(frame_ms * last);
  player.Picture();
  return 0;
}
