#include "text/ansi_case.h"

namespace {
// Windows-1252 pairs outside the two Latin-1 ranges: Š/š, Œ/œ, Ž/ž, Ÿ/ÿ.
constexpr unsigned char kUpperExtra[] = {0x8A, 0x8C, 0x8E, 0x9F};
constexpr unsigned char kLowerExtra[] = {0x9A, 0x9C, 0x9E, 0xFF};

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == '\0';
}
}  // namespace

char UpperAnsi(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  if (u >= 'a' && u <= 'z') return static_cast<char>(u - 32);
  // à..þ but not ÷ (a sign); ß has no single-letter capital.
  if (u >= 0xE0 && u <= 0xFE && u != 0xF7) return static_cast<char>(u - 32);
  for (size_t i = 0; i < sizeof kLowerExtra; ++i)
    if (u == kLowerExtra[i]) return static_cast<char>(kUpperExtra[i]);
  return c;
}

char LowerAnsi(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  if (u >= 'A' && u <= 'Z') return static_cast<char>(u + 32);
  // À..Þ but not × (a sign).
  if (u >= 0xC0 && u <= 0xDE && u != 0xD7) return static_cast<char>(u + 32);
  for (size_t i = 0; i < sizeof kUpperExtra; ++i)
    if (u == kUpperExtra[i]) return static_cast<char>(kLowerExtra[i]);
  return c;
}

std::string UpperAnsi(std::string text) {
  for (char& c : text) c = UpperAnsi(c);
  return text;
}

std::string LowerAnsi(std::string text) {
  for (char& c : text) c = LowerAnsi(c);
  return text;
}

std::string ProperCase(const std::string& text) {
  std::string out = LowerAnsi(text);
  for (size_t i = 0; i < out.size(); ++i)
    if (i == 0 || IsBlank(out[i - 1])) out[i] = UpperAnsi(out[i]);
  return out;
}
