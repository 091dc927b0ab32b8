#include "settings/numeric.h"

#include <gtest/gtest.h>

TEST(Numeric, LeadingNumberOfTheText) {
  const struct { const char* text; double value; } cases[] = {
      {"", 0},        {"abc", 0},      {"1", 1},        {"  1", 1},     {"01", 1},
      {"1.0", 1},     {"1abc", 1},     {" 12 34", 12},  {"-3", -3},     {"+7", 7},
      {".5", 0.5},    {"1e2", 100},    {"1e", 1},       {"2.5x", 2.5},  {"-", 0},
      {"1e999", 0},   {"\t42", 42},
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(Val(c.text), c.value) << '"' << c.text << '"';
}

TEST(Numeric, StopsAtNulInsideABuffer) {
  const char reply[8] = {'1', '2', '\0', '9', '9', 'x', 'x', 'x'};
  EXPECT_DOUBLE_EQ(Val(reply, sizeof reply), 12);
  const char unterminated[3] = {'4', '5', '6'};
  EXPECT_DOUBLE_EQ(Val(unterminated, sizeof unterminated), 456);
}
