#include "movie/frame_clock.h"

#include <algorithm>
#include <cmath>
#include <limits>

void FrameClock::Reset(double fps, size_t total_frames) {
  fps_ = fps > 0 ? fps : 30;
  total_frames_ = std::max<size_t>(total_frames, 1);
  frame_ = 0;
  playing_ = false;
  anchored_ = false;
}

void FrameClock::Play() {
  if (playing_) return;
  if (!loop_ && frame_ + 1 >= total_frames_) return;
  playing_ = true;
  anchored_ = false;
}

void FrameClock::Stop() {
  playing_ = false;
  anchored_ = false;
}

void FrameClock::SetLoop(bool loop) {
  loop_ = loop;
  anchored_ = false;  // the clock restarts from the frame on screen
}

bool FrameClock::Advance(double now_ms) {
  if (!playing_ || std::isnan(now_ms)) return false;
  if (!anchored_ || now_ms < anchor_ms_) {
    anchored_ = true;
    anchor_ms_ = now_ms;
    anchor_frame_ = frame_;
    return false;
  }
  // The small allowance keeps exact multiples of the frame time from
  // rounding down.
  const double steps = std::floor((now_ms - anchor_ms_) * fps_ / 1000.0 + 1e-7);
  const double target = static_cast<double>(anchor_frame_) + steps;
  const double total = static_cast<double>(total_frames_);
  size_t next;
  if (loop_) {
    next = static_cast<size_t>(std::fmod(target, total));
  } else if (target >= total - 1) {
    next = total_frames_ - 1;
    playing_ = false;  // the last frame stays
    anchored_ = false;
  } else {
    next = static_cast<size_t>(target);
  }
  if (next == frame_) return false;
  frame_ = next;
  return true;
}

double FrameClock::NextDueMs(double now_ms) const {
  if (!playing_) return std::numeric_limits<double>::infinity();
  if (!anchored_ || now_ms < anchor_ms_) return now_ms;
  const double frame_ms = 1000.0 / (max_fps_ > 0 && max_fps_ < fps_ ? max_fps_ : fps_);
  const double steps = std::floor((now_ms - anchor_ms_) / frame_ms + 1e-7);
  return std::max(now_ms, anchor_ms_ + (steps + 1) * frame_ms);
}
