#include "settings/numeric.h"

#include <cmath>
#include <cstdlib>

size_t NumberEnd(const char* text, size_t max_len, size_t start, bool* digits) {
  auto at = [&](size_t k) -> char { return k < max_len ? text[k] : '\0'; };
  auto is_digit = [&](size_t k) { return at(k) >= '0' && at(k) <= '9'; };
  size_t i = start;
  if (at(i) == '+' || at(i) == '-') ++i;
  *digits = false;
  while (is_digit(i)) { ++i; *digits = true; }
  if (at(i) == '.') {
    ++i;
    while (is_digit(i)) { ++i; *digits = true; }
  }
  if (*digits && (at(i) == 'e' || at(i) == 'E')) {
    size_t j = i + 1;
    if (at(j) == '+' || at(j) == '-') ++j;
    if (is_digit(j)) {
      while (is_digit(j)) ++j;
      i = j;
    }
  }
  return i;
}

double Val(const char* text, size_t max_len) {
  // The longest prefix that forms [blanks][number].
  size_t i = 0;
  while (i < max_len && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool digits = false;
  const size_t end = NumberEnd(text, max_len, i, &digits);
  if (!digits) return 0.0;
  const double v = std::strtod(std::string(text + i, end - i).c_str(), nullptr);
  return std::isfinite(v) ? v : 0.0;
}

double Val(const std::string& text) { return Val(text.c_str(), text.size()); }
