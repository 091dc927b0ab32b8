#include <windows.h>
#include <commctrl.h>

#include "startup/main.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR cmd_line, int) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&icc);
  return Main(cmd_line ? cmd_line : "");
}
