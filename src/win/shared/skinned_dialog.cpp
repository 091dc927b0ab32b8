#include "shared/skinned_dialog.h"

#include <vector>

#include "frm_properties_ids.h"
#include "resource.h"
#include "shared/trace.h"

namespace {
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);

GetDpiForWindowFn DpiForWindowEntry() {
  static const GetDpiForWindowFn entry = [] {
    HMODULE user32 = GetModuleHandleA("user32.dll");
    return user32 ? reinterpret_cast<GetDpiForWindowFn>(
                        reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow")))
                  : nullptr;
  }();
  return entry;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM list) {
  try {  // no exception may unwind through the system's enumeration
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
    return TRUE;
  } catch (...) {
    TraceCaughtException("the list of a dialog's controls");
    return FALSE;
  }
}

// A child's rectangle in its parent's client coordinates.
RECT PlaceInParent(HWND child) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r;
}
}  // namespace

int WindowDpi(HWND window) {
  if (GetDpiForWindowFn entry = DpiForWindowEntry()) {
    const UINT dpi = entry(window);
    if (dpi > 0) return static_cast<int>(dpi);
  }
  const WindowDc dc(window);
  const int dpi = dc ? GetDeviceCaps(dc.get(), LOGPIXELSY) : 0;
  return dpi > 0 ? dpi : 96;
}

const Picture& DialogBackground() {
  static const Picture picture = LoadPictureResource(IDR_DIALOG_BG);
  return picture;
}

void SkinnedDialog::InitSkin() { dpi_ = WindowDpi(hwnd()); }

HFONT SkinnedDialog::DialogFont() const {
  return font_ ? font_.get() : reinterpret_cast<HFONT>(SendMessageA(hwnd(), WM_GETFONT, 0, 0));
}

INT_PTR SkinnedDialog::LabelOverPicture(HDC dc) {
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 255));  // the picture is dark
  return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
}

INT_PTR SkinnedDialog::OnMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled) {
  if (msg != WM_DPICHANGED) {
    handled = false;
    return 0;
  }
  const int new_dpi = LOWORD(wp);
  if (new_dpi > 0 && lp) ApplyDpi(new_dpi, *reinterpret_cast<const RECT*>(lp));
  handled = true;
  return 0;
}

void SkinnedDialog::ApplyDpi(int new_dpi, const RECT& r) {
  const int old_dpi = dpi_;
  dpi_ = new_dpi;
  SetWindowPos(hwnd(), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
  if (old_dpi == new_dpi) return;
  // Every control (and every control of a page) scaled about its parent's
  // top-left corner. The places are read before any moves.
  std::vector<HWND> children;
  EnumChildWindows(hwnd(), &CollectChild, reinterpret_cast<LPARAM>(&children));
  if (ScalesControls()) {
    std::vector<RECT> places;
    places.reserve(children.size());
    for (HWND child : children) places.push_back(PlaceInParent(child));
    for (size_t i = 0; i < children.size(); ++i) {
      const RECT& p = places[i];
      MoveWindow(children[i], MulDiv(p.left, new_dpi, old_dpi), MulDiv(p.top, new_dpi, old_dpi),
                 MulDiv(p.right - p.left, new_dpi, old_dpi), MulDiv(p.bottom - p.top, new_dpi, old_dpi), FALSE);
    }
  }
  // The dialog's font at the new size, for every control that used it. The
  // template's font stays with the dialog manager, which made it and
  // deletes it.
  HFONT old_font = DialogFont();
  LOGFONTA lf{};
  if (old_font && GetObjectA(old_font, sizeof lf, &lf)) {
    lf.lfHeight = MulDiv(lf.lfHeight, new_dpi, old_dpi);
    ScopedFont font(CreateFontIndirectA(&lf));
    if (font) {
      for (HWND child : children)
        if (reinterpret_cast<HFONT>(SendMessageA(child, WM_GETFONT, 0, 0)) == old_font)
          SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
      font_ = std::move(font);  // the old one goes only now that nothing uses it
    }
  }
  OnDpiChanged(old_dpi, new_dpi);
  RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}
