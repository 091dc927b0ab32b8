#include "shared/twips.h"

void TwipLayout::Apply(HWND dialog, int dpi, int client_w, int client_h, const TwipPlace* places, size_t count) {
  dpi_ = dpi > 0 ? dpi : 96;
  RECT r{0, 0, X(client_w), Y(client_h)};
  AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrA(dialog, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrA(dialog, GWL_EXSTYLE)));
  RECT cur;
  GetWindowRect(dialog, &cur);
  const int w = r.right - r.left, h = r.bottom - r.top;
  SetWindowPos(dialog, nullptr, (cur.left + cur.right - w) / 2, (cur.top + cur.bottom - h) / 2, w, h,
               SWP_NOZORDER | SWP_NOACTIVATE);
  Place(dialog, dpi_, places, count);
}

void TwipLayout::Place(HWND dialog, int dpi, const TwipPlace* places, size_t count) {
  dpi_ = dpi > 0 ? dpi : 96;
  for (size_t i = 0; i < count; ++i) {
    const TwipPlace& p = places[i];
    MoveWindow(GetDlgItem(dialog, p.id), X(p.x), Y(p.y), X(p.w), Y(p.h), FALSE);
  }
}
