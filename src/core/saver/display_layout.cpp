#include "saver/display_layout.h"

#include <algorithm>

CoverPlan PlanCovers(const std::vector<ScreenRect>& covers, const std::vector<ScreenRect>& monitors) {
  // The monitors that need a cover: no empty ones, each rectangle once.
  std::vector<ScreenRect> wanted;
  for (const ScreenRect& m : monitors) {
    if (!m.Empty() && std::find(wanted.begin(), wanted.end(), m) == wanted.end()) wanted.push_back(m);
  }
  CoverPlan plan;
  std::vector<bool> taken(wanted.size(), false);
  for (size_t i = 0; i < covers.size(); ++i) {
    const auto it = std::find(wanted.begin(), wanted.end(), covers[i]);
    const size_t at = size_t(it - wanted.begin());
    if (it == wanted.end() || taken[at]) {
      plan.close.push_back(i);
    } else {
      taken[at] = true;
    }
  }
  for (size_t j = 0; j < wanted.size(); ++j) {
    if (!taken[j]) plan.open.push_back(wanted[j]);
  }
  return plan;
}
