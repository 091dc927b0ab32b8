#pragma once
// Which frame of a movie is on screen at a given time. Pure: time is passed
// in (milliseconds on any steady clock), so the same calls give the same
// frames. A clock that plays is anchored at the first time it sees: the
// frame then on screen stays for one whole frame interval from there.
#include <cstddef>

class FrameClock {
 public:
  // A movie of total_frames frames at fps frames a second (fps > 0), standing
  // at frame 0, stopped.
  void Reset(double fps, size_t total_frames);

  void Play();  // a movie without loop that stands at its end stays there
  void Stop();  // the frame stays
  // Restart at the end; otherwise the last frame stays and playing stops.
  void SetLoop(bool loop);
  bool Loop() const { return loop_; }

  // At most this many frame changes a second (frames in between are
  // skipped, the movie keeps its pace); 0 or less: every frame.
  void SetMaxFps(double max_fps) { max_fps_ = max_fps; }

  // Moves to now_ms. Returns true when the frame changed.
  bool Advance(double now_ms);
  // When the next frame is due (at or after now_ms); +infinity when none is.
  double NextDueMs(double now_ms) const;

  size_t Frame() const { return frame_; }
  bool Playing() const { return playing_; }
  double Fps() const { return fps_; }
  size_t TotalFrames() const { return total_frames_; }

 private:
  double fps_ = 30;
  double max_fps_ = 0;
  size_t total_frames_ = 1;
  size_t frame_ = 0;
  bool loop_ = true;
  bool playing_ = false;
  bool anchored_ = false;
  double anchor_ms_ = 0;
  size_t anchor_frame_ = 0;
};
