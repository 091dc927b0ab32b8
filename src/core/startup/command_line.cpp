#include "startup/command_line.h"

#include <cctype>

std::string TrimBlanks(const std::string& text) {
  const char* blanks = " \t";
  const auto first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return std::string();
  const auto last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

std::string CommandText(const std::string& args) {
  std::string text = TrimBlanks(args);
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

RunMode ParseRunMode(const std::string& args) {
  const std::string sw = CommandText(args).substr(0, 2);
  if (sw == "/C") return RunMode::Configure;
  if (sw == "/P") return RunMode::Preview;
  return RunMode::Run;  // "", "/S" and anything unrecognised
}

int32_t ParseParentHandle(const std::string& text, bool* has_digits) {
  const std::string t = TrimBlanks(text);
  size_t start = t.size();
  while (start > 0 && t[start - 1] >= '0' && t[start - 1] <= '9') --start;
  if (has_digits) *has_digits = start < t.size();
  uint32_t value = 0;
  for (size_t i = start; i < t.size(); ++i) value = value * 10u + static_cast<uint32_t>(t[i] - '0');
  return static_cast<int32_t>(value);
}
