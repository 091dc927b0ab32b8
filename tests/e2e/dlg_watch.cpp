// Watches the download dialog from outside, as a user's eyes would, and
// writes every change to stdout: "MS what text", MS = milliseconds since the
// watch began. dlg_watch SECONDS [--ok] [--no] [--poll MS]
//   caption/message/percent/elapsed/remaining/rate  a label or the caption changed
//   cancel_button X Y   screen centre of the Cancel button (once)
//   msgbox TEXT         a message box titled "Download Visualisations"; with
//                       --ok it is answered OK, with --no a Yes/No one No
//   closed              the dialog has gone (the watch ends)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {
constexpr int kIds[] = {3002, 3003, 3005, 3007, 3009};  // the dialog's labels
const char* const kNames[] = {"message", "percent", "elapsed", "remaining", "rate"};
HWND g_dialog = nullptr, g_box = nullptr;

BOOL CALLBACK Find(HWND h, LPARAM) {
  char cls[64] = {};
  GetClassNameA(h, cls, sizeof cls);
  if (std::strcmp(cls, "#32770") != 0 || !IsWindowVisible(h)) return TRUE;
  if (GetDlgItem(h, kIds[0])) {
    g_dialog = h;
  } else {
    char title[128] = {};
    GetWindowTextA(h, title, sizeof title);
    if (std::strcmp(title, "Download Visualisations") == 0 && GetDlgItem(h, 0xFFFF)) g_box = h;
  }
  return TRUE;
}

std::string Text(HWND h) {
  char buf[512] = {};
  GetWindowTextA(h, buf, sizeof buf);
  return buf;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const DWORD limit = static_cast<DWORD>(std::atoi(argv[1])) * 1000;
  bool answer = false, no = false;
  DWORD poll = 5;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--ok") == 0) answer = true;
    if (std::strcmp(argv[i], "--no") == 0) no = true;
    if (std::strcmp(argv[i], "--poll") == 0 && i + 1 < argc) poll = static_cast<DWORD>(std::atoi(argv[++i]));
  }
  const DWORD t0 = GetTickCount();
  std::string last[6];
  bool seen = false, told_button = false, told_box = false;
  while (GetTickCount() - t0 < limit) {
    g_dialog = nullptr;
    g_box = nullptr;
    EnumWindows(&Find, 0);
    const unsigned long ms = GetTickCount() - t0;
    if (g_dialog) {
      seen = true;
      const std::string cap = Text(g_dialog);
      if (cap != last[5]) std::printf("%lu caption %s\n", ms, (last[5] = cap).c_str());
      for (int i = 0; i < 5; ++i) {
        const std::string t = Text(GetDlgItem(g_dialog, kIds[i]));
        if (t != last[i]) std::printf("%lu %s %s\n", ms, kNames[i], (last[i] = t).c_str());
      }
      if (!told_button) {
        RECT r;
        GetWindowRect(GetDlgItem(g_dialog, IDCANCEL), &r);
        std::printf("%lu cancel_button %ld %ld\n", ms, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
        told_button = true;
      }
    } else if (seen && !g_box && !no) {
      std::printf("%lu closed\n", ms);
      std::fflush(stdout);
      return 0;
    }
    if (g_box && !told_box) {
      std::printf("%lu msgbox %s\n", ms, Text(GetDlgItem(g_box, 0xFFFF)).c_str());
      told_box = true;
      if (no && GetDlgItem(g_box, IDNO)) {
        PostMessageA(g_box, WM_COMMAND, IDNO, 0);
      } else if (answer) {
        PostMessageA(g_box, WM_COMMAND, IDOK, 0);
      }
    }
    if (!g_box) told_box = false;
    std::fflush(stdout);
    Sleep(poll);
  }
  std::printf("%lu timeout\n", static_cast<unsigned long>(GetTickCount() - t0));
  return 1;
}
