#include "saver/frame_intervals.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

void FrameIntervals::Add(double now_ms) {
  if (started_ && intervals_.size() < kMaxIntervals) {
    try {
      intervals_.push_back(now_ms - last_ms_);
    } catch (...) {
      // No memory for the report: it counts what it has.
    }
  }
  started_ = true;
  last_ms_ = now_ms;
}

double FrameIntervals::Percentile(double p) const {
  if (intervals_.empty()) return 0;
  std::vector<double> sorted(intervals_);
  std::sort(sorted.begin(), sorted.end());
  const double rank = std::ceil(std::clamp(p, 0.0, 100.0) / 100.0 * double(sorted.size()));
  const size_t i = rank < 1 ? 0 : size_t(rank) - 1;
  return sorted[std::min(i, sorted.size() - 1)];
}

std::string FrameIntervals::Summary() const {
  char line[160];
  std::snprintf(line, sizeof line, "frames %zu, interval ms p50 %.1f p90 %.1f p99 %.1f max %.1f",
                intervals_.size() + (started_ ? 1 : 0), Percentile(50), Percentile(90), Percentile(99),
                Percentile(100));
  return line;
}
