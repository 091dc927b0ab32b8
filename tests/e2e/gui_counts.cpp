// Prints what a running program holds, for scripts/soak.sh:
//   gui_counts <exe name>   ->   "pid P gdi G user U handles H"
// GDI and USER objects come from GetGuiResources, handles from
// GetProcessHandleCount. Exit status 1 when no such program runs.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: gui_counts <exe name>\n");
    return 1;
  }
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return 1;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  DWORD pid = 0;
  for (BOOL ok = Process32First(snap, &entry); ok; ok = Process32Next(snap, &entry)) {
    if (_stricmp(entry.szExeFile, argv[1]) == 0) pid = entry.th32ProcessID;
  }
  CloseHandle(snap);
  if (!pid) {
    std::fprintf(stderr, "gui_counts: %s is not running\n", argv[1]);
    return 1;
  }
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
  if (!process) return 1;
  DWORD handles = 0;
  GetProcessHandleCount(process, &handles);
  std::printf("pid %lu gdi %lu user %lu handles %lu\n", static_cast<unsigned long>(pid),
              static_cast<unsigned long>(GetGuiResources(process, GR_GDIOBJECTS)),
              static_cast<unsigned long>(GetGuiResources(process, GR_USEROBJECTS)),
              static_cast<unsigned long>(handles));
  CloseHandle(process);
  return 0;
}
