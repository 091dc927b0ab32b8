#include "text/ansi_case.h"

#include <gtest/gtest.h>

#include <string>

// Both visualisation lists (the settings dialog's and the one rebuilt after a
// download) show names through ProperCase, so one table covers both.
TEST(ProperCase, LowersThenRaisesWordStartsInTheAnsiCodePage) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"my visual", "My Visual"},
      {"(Default)", "(default)"},
      {"WAVES", "Waves"},
      {"hELLO wORLD 2", "Hello World 2"},
      {"a\tb\nc\vd\fe\rf", "A\tB\nC\vD\fE\rF"},
      {"x  y", "X  Y"},
      {"", ""},
      {"9lives", "9lives"},
      {std::string("ab\0cd", 5), std::string("Ab\0Cd", 5)},
      {"\xF1" "and\xFA", "\xD1" "and\xFA"},  // ñandú -> Ñandú
      {"EL \xD1O\xD1O", "El \xD1o\xF1o"},              // EL ÑOÑO -> El Ñoño
      {"\x8A\x9A \xFF\x9F", "\x8A\x9A \x9F\xFF"},      // Šš ÿŸ -> Šš Ÿÿ
      {"stra\xDF" "e \xD7 \xF7", "Stra\xDF" "e \xD7 \xF7"},  // ß, × and ÷ stay
  };
  for (const auto& c : cases) EXPECT_EQ(ProperCase(c.in), c.out) << c.in;
}

TEST(AnsiCase, UpperAndLowerAreInversesOnLetters) {
  for (int i = 0; i < 256; ++i) {
    const char c = static_cast<char>(i);
    if (UpperAnsi(c) != c) EXPECT_EQ(LowerAnsi(UpperAnsi(c)), c) << i;
    if (LowerAnsi(c) != c) EXPECT_EQ(UpperAnsi(LowerAnsi(c)), c) << i;
  }
}
