#pragma once
#include <string>

// The numeric value of a text: its leading decimal number, leading blanks
// skipped, reading stopped at the first character that cannot continue the
// number (a NUL included). A text without a number is 0.
double Val(const std::string& text);
double Val(const char* text, size_t max_len);
