#include "settings/numeric.h"

#include <cmath>
#include <cstdlib>

double Val(const char* text, size_t max_len) {
  // Collect the longest prefix that forms [blanks][sign][digits][.digits][e[sign]digits].
  std::string num;
  size_t i = 0;
  auto at = [&](size_t k) -> char { return k < max_len ? text[k] : '\0'; };
  while (at(i) == ' ' || at(i) == '\t') ++i;
  if (at(i) == '+' || at(i) == '-') num += text[i++];
  bool digits = false;
  while (at(i) >= '0' && at(i) <= '9') { num += text[i++]; digits = true; }
  if (at(i) == '.') {
    num += text[i++];
    while (at(i) >= '0' && at(i) <= '9') { num += text[i++]; digits = true; }
  }
  if (!digits) return 0.0;
  if (at(i) == 'e' || at(i) == 'E') {
    size_t j = i + 1;
    std::string exp = "e";
    if (at(j) == '+' || at(j) == '-') exp += text[j++];
    bool exp_digits = false;
    while (at(j) >= '0' && at(j) <= '9') { exp += text[j++]; exp_digits = true; }
    if (exp_digits) num += exp;
  }
  const double v = std::strtod(num.c_str(), nullptr);
  return std::isfinite(v) ? v : 0.0;
}

double Val(const std::string& text) { return Val(text.c_str(), text.size()); }
