#pragma once
// Shared file helpers of Module1, on the Win32 file API (ANSI entry points).
#include <string>
#include <vector>

namespace Module1 {

// True when the attributes of path (a file or a folder) can be read; false on
// any error, an empty path included.
bool FileExists(const std::string& path);

// The short (8.3) form of an existing path, asked for with a 255-character
// buffer; "" when the path does not exist or its short form does not fit.
std::string GetShortPath(const std::string& path);

// The folder that holds the program file, without a trailing backslash
// ("C:" for a program in the root of drive C).
std::string ProgramFolder();

// The names of the files (not folders) that match `pattern` in `folder`
// (which ends in a backslash, or is "" for the current directory), in the
// order the file system gives them; none when the folder does not exist.
std::vector<std::string> ListFiles(const std::string& folder, const std::string& pattern);

}  // namespace Module1
