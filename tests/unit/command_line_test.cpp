#include "startup/command_line.h"

#include <gtest/gtest.h>

TEST(CommandLine, OnlyTheFirstTwoCharactersPickTheMode) {
  const struct { const char* args; RunMode mode; } cases[] = {
      {"", RunMode::Run},           {"/s", RunMode::Run},          {"  /S  ", RunMode::Run},
      {"/x", RunMode::Run},         {"-s", RunMode::Run},          {"s", RunMode::Run},
      {"/a", RunMode::Run},         {"/", RunMode::Run},           {"/c", RunMode::Configure},
      {"/C", RunMode::Configure},   {"/c:5678", RunMode::Configure}, {"\t/c 12", RunMode::Configure},
      {"/p 1234", RunMode::Preview}, {"/Preview", RunMode::Preview}, {"/PX", RunMode::Preview},
      {"/p", RunMode::Preview},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseRunMode(c.args), c.mode) << '"' << c.args << '"';
}

TEST(CommandLine, ParentHandleIsTheTrailingDigitRun) {
  const struct { const char* text; int32_t value; bool digits; } cases[] = {
      {"/P 1234", 1234, true},  {"/P:1234", 1234, true},   {"/P1234", 1234, true},
      {"/P 12 34  ", 34, true}, {"/P", 0, false},          {"/P 12x", 0, false},
      {"", 0, false},           {"/P 4294967295", -1, true}, {"/P 00042", 42, true},
  };
  for (const auto& c : cases) {
    bool digits = !c.digits;
    EXPECT_EQ(ParseParentHandle(c.text, &digits), c.value) << c.text;
    EXPECT_EQ(digits, c.digits) << c.text;
  }
}
