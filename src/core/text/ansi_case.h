#pragma once
// Letter case of the program's ANSI texts (Windows-1252: "ñ" is 0xF1 and
// its capital "Ñ" 0xD1). File names of visualisations come from the data
// folder through the ANSI functions, so their case must be changed in that
// code page, not byte by byte in ASCII only.
#include <string>

char UpperAnsi(char c);
char LowerAnsi(char c);
std::string UpperAnsi(std::string text);
std::string LowerAnsi(std::string text);

// Lower case, then upper case for the first character and every one that
// follows a blank (space, tab, LF, VT, FF, CR or NUL): "my visual" becomes
// "My Visual", "(Default)" becomes "(default)".
std::string ProperCase(const std::string& text);
