#pragma once
#include <string>

// Reads the switch from the command-line arguments and runs the mode it picks.
// Returns the process exit code.
int Main(const std::string& args);
