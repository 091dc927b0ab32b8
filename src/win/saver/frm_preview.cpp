#include "saver/frm_preview.h"

#include "resource.h"
#include "shared/handles.h"

namespace {
constexpr UINT_PTR kParentWatch = 1;
}

bool FrmPreview::Load() {
  picture_ = LoadPictureResource(IDR_PREVIEW);
  return CreateWin("QrvSaver2006Preview", 0, WS_POPUP | WS_CLIPSIBLINGS, "", 0, 0, 153, 113, nullptr,
                   static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}

void FrmPreview::EmbedInto(HWND parent) {
  parent_ = parent;
  RECT rc{0, 0, 0, 0};
  GetClientRect(parent, &rc);
  SetWindowTextA(hwnd(), "Preview");
  // A window cannot be popup and child at once: the child style replaces the popup one.
  LONG_PTR style = GetWindowLongPtrA(hwnd(), GWL_STYLE);
  SetWindowLongPtrA(hwnd(), GWL_STYLE, (style & ~static_cast<LONG_PTR>(WS_POPUP)) | WS_CHILD);
  SetParent(hwnd(), parent);  // a child has a parent, not an owner: this is all it needs
  SetWindowPos(hwnd(), nullptr, 0, 0, rc.right, rc.bottom, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  // The parent normally destroys us with itself; if it lives in another process
  // that has died, nobody would, so the form also checks that its parent lives.
  SetTimer(hwnd(), kParentWatch, 1000, nullptr);
}

LRESULT FrmPreview::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT: {
      const PaintDc dc(hwnd());
      RECT rc;
      GetClientRect(hwnd(), &rc);
      if (picture_.empty()) FillRect(dc.get(), &rc, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
      DrawPictureStretched(dc.get(), picture_, rc);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_TIMER:
      if (wp == kParentWatch && parent_ && !IsWindow(parent_)) DestroyWindow(hwnd());
      return 0;
    case WM_DESTROY:
      KillTimer(hwnd(), kParentWatch);
      PostQuitMessage(0);
      return 0;
    default:
      return Window::HandleMessage(msg, wp, lp);
  }
}
