#include "settings_dialog/frm_properties.h"

#include <windows.h>

#include "resource.h"

namespace {
INT_PTR CALLBACK PlaceholderProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wp) == IDCANCEL || LOWORD(wp) == IDOK) {
        EndDialog(dlg, LOWORD(wp));
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}
}  // namespace

void ShowFrmProperties() {
  DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PROPERTIES_PLACEHOLDER), nullptr,
                  &PlaceholderProc, 0);
}
