#include "saver/display_layout.h"

#include <gtest/gtest.h>

namespace {
const ScreenRect kRight{1024, 0, 1984, 540};
const ScreenRect kLeft{-960, 0, 0, 540};
const ScreenRect kBelow{0, 768, 1280, 1792};
const ScreenRect kRightSmaller{1024, 0, 1824, 600};
const ScreenRect kEmpty{5, 5, 5, 900};
}  // namespace

TEST(PlanCovers, KeepsWhatStaysClosesWhatWentOpensWhatCame) {
  const struct {
    const char* name;
    std::vector<ScreenRect> covers, monitors;
    std::vector<size_t> close;
    std::vector<ScreenRect> open;
  } cases[] = {
      {"nothing changed", {kRight, kLeft}, {kRight, kLeft}, {}, {}},
      {"listed in another order", {kRight, kLeft}, {kLeft, kRight}, {}, {}},
      {"a monitor removed", {kRight, kLeft}, {kLeft}, {0}, {}},
      {"the last one removed", {kRight}, {}, {0}, {}},
      {"a monitor added", {kRight}, {kRight, kBelow}, {}, {kBelow}},
      {"the first one added", {}, {kLeft}, {}, {kLeft}},
      {"a monitor changed its mode", {kLeft, kRight}, {kLeft, kRightSmaller}, {1}, {kRightSmaller}},
      {"all replaced", {kRight, kLeft}, {kBelow}, {0, 1}, {kBelow}},
      {"an empty monitor gets no cover", {}, {kEmpty, kRight}, {}, {kRight}},
      {"a cover over an empty monitor closes", {kEmpty}, {kEmpty}, {0}, {}},
      {"mirrored outputs get one cover", {}, {kRight, kRight}, {}, {kRight}},
      {"a second cover of one monitor closes", {kRight, kRight}, {kRight}, {1}, {}},
  };
  for (const auto& c : cases) {
    const CoverPlan plan = PlanCovers(c.covers, c.monitors);
    EXPECT_EQ(plan.close, c.close) << c.name;
    EXPECT_EQ(plan.open, c.open) << c.name;
    EXPECT_EQ(plan.Empty(), c.close.empty() && c.open.empty()) << c.name;
  }
}
