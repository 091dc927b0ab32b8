#include "shared/files.h"

#include "shared/handles.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace Module1 {

bool FileExists(const std::string& path) {
  if (path.empty()) return false;
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string GetShortPath(const std::string& path) {
  constexpr DWORD kSize = 255;
  char buffer[kSize];
  std::fill(buffer, buffer + kSize, ' ');
  const DWORD n = GetShortPathNameA(path.c_str(), buffer, kSize);
  // On success n is the length without the NUL, so at most kSize - 1. A larger
  // n is the size the call would have needed: nothing was written then.
  if (n == 0 || n >= kSize) return "";
  return std::string(buffer, n);
}

std::string ProgramFolder() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return "";
    if (n < buffer.size()) {
      std::string path(buffer.data(), n);
      const size_t slash = path.find_last_of('\\');
      return slash == std::string::npos ? std::string() : path.substr(0, slash);
    }
    buffer.resize(buffer.size() * 2);  // the name was cut short
  }
}

std::vector<std::string> ListFiles(const std::string& folder, const std::string& pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  const FindHandle search(FindFirstFileA((folder + pattern).c_str(), &found));
  if (!search) return names;  // no folder, or nothing in it
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (FindNextFileA(search.get(), &found));
  return names;
}

}  // namespace Module1
