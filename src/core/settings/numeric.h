#pragma once
#include <string>

// The numeric value of a text: its leading decimal number, leading blanks
// skipped, reading stopped at the first character that cannot continue the
// number (a NUL included). A text without a number is 0.
double Val(const std::string& text);
double Val(const char* text, size_t max_len);

// Where the decimal number that starts at `start` ends:
// [sign][digits][.digits][e[sign]digits], an exponent counting only with
// its digits. Reading stops at max_len or a NUL. `digits` tells whether the
// number had any digit before its exponent (without one it is no number).
size_t NumberEnd(const char* text, size_t max_len, size_t start, bool* digits);
