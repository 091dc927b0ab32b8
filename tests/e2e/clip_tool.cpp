// The end-to-end scripts' access to the clipboard of the Wine session:
//   clip_tool set TEXT   puts TEXT on the clipboard as CF_TEXT
//   clip_tool get        prints the clipboard's CF_TEXT, without a newline
//   clip_tool keep SECS  stays for SECS seconds: Wine keeps the clipboard only
//                        while its session lives, and the session ends soon
//                        after its last program, so a script that reads the
//                        clipboard after a program has ended keeps one running
// Exit code 0 on success; 2 when the clipboard cannot be opened or holds no
// text; 1 on wrong usage.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
// Another process may hold the clipboard for a moment (the X11 bridge does).
bool OpenClipboardPatiently() {
  for (int i = 0; i < 50; ++i) {
    if (OpenClipboard(nullptr)) return true;
    Sleep(20);
  }
  return false;
}

int SetText(const char* text) {
  const size_t n = std::strlen(text) + 1;
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, n);
  if (!mem) return 2;
  std::memcpy(GlobalLock(mem), text, n);
  GlobalUnlock(mem);
  if (!OpenClipboardPatiently()) {
    GlobalFree(mem);
    return 2;
  }
  EmptyClipboard();
  const bool ok = SetClipboardData(CF_TEXT, mem) != nullptr;
  CloseClipboard();
  if (!ok) GlobalFree(mem);
  return ok ? 0 : 2;
}

int GetText() {
  if (!OpenClipboardPatiently()) return 2;
  int rc = 2;
  if (HANDLE h = GetClipboardData(CF_TEXT)) {
    if (const char* text = static_cast<const char*>(GlobalLock(h))) {
      std::fputs(text, stdout);
      GlobalUnlock(h);
      rc = 0;
    }
  }
  CloseClipboard();
  return rc;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "set") == 0) return SetText(argv[2]);
  if (argc == 2 && std::strcmp(argv[1], "get") == 0) return GetText();
  if (argc == 3 && std::strcmp(argv[1], "keep") == 0) {
    Sleep(static_cast<DWORD>(std::atoi(argv[2])) * 1000);
    return 0;
  }
  std::fputs("usage: clip_tool set TEXT | clip_tool get | clip_tool keep SECONDS\n", stderr);
  return 1;
}
