#pragma once
// The times between the frames a window presents, for a debug report of how
// steady the animation runs.
#include <cstddef>
#include <string>
#include <vector>

class FrameIntervals {
 public:
  // A frame was presented at now_ms (any steady clock).
  void Add(double now_ms);
  size_t Intervals() const { return intervals_.size(); }
  // The p-th percentile (0..100) of the intervals in milliseconds, nearest
  // rank; 0 when there are none.
  double Percentile(double p) const;
  // "frames N, interval ms p50 A p90 B p99 C max D"
  std::string Summary() const;

 private:
  static constexpr size_t kMaxIntervals = size_t{1} << 20;  // hours at 60 fps
  std::vector<double> intervals_;
  double last_ms_ = 0;
  bool started_ = false;
};
