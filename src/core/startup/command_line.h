#pragma once
#include <cstdint>
#include <string>

// The three ways the system's screensaver machinery starts the program.
enum class RunMode { Configure = 1, Run = 2, Preview = 3 };

// Removes leading and trailing blanks (spaces and tabs).
std::string TrimBlanks(const std::string& text);

// Trimmed, upper-cased command text: what the mode decision looks at.
std::string CommandText(const std::string& args);

// The mode chosen by the first two characters of the command text.
RunMode ParseRunMode(const std::string& args);

// The number formed by the decimal digits at the very end of the trimmed text.
// has_digits is false when the text does not end in a digit; the result is 0 then.
// A digit run too long for 32 bits wraps as a 32-bit signed integer would.
int32_t ParseParentHandle(const std::string& text, bool* has_digits = nullptr);
